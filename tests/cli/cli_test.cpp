// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "tests/cli/cli_runner.hpp"

namespace {

namespace fs = std::filesystem;

using Result = accelspec::test::CliResult;
using accelspec::test::put;
using accelspec::test::slurp;

Result cli(const fs::path& dir, const std::string& args) {
  return accelspec::test::runCli(dir, args);
}

int lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("accelspec-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    put(dir / "in.spv",
        " 1.00000000000000E+0000  1.00000000000000E+0000\r\n"
        " 5.00000000000000E+0000  3.00000000000000E+0000\r\n"
        " 1.00000000000000E+0001  2.00000000000000E+0000\r\n");
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(Cli, UsageAndBadCalls) {
  Result help = cli(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("accelspec-cli synth"), std::string::npos);
  const char* bad[] = {"",
                       "frobnicate a b",
                       "synth in.spv",
                       "synth in.spv out.aks --duration",
                       "synth in.spv out.aks --colour red",
                       "window in.aks out.aks --from 1",
                       "convert in.xyz out.xyz",
                       "response a.aks b.aks --out-dir . --jobs 0",
                       "response a.aks b.aks --out-dir . --jobs \xD1\x8F",
                       "response a.aks out.spo --jobs 2",
                       "response x/a.aks y/a.brl --out-dir ."};
  for (const char* args : bad) {
    Result r = cli(dir, args);
    EXPECT_EQ(r.status, 2) << args;
    // A wrong call says why in one line and where its help is; only no command at all shows
    // the whole usage.
    EXPECT_EQ(r.err.find("Использование") != std::string::npos, *args == '\0') << args;
    if (*args) {
      EXPECT_EQ(r.err.rfind("accelspec-cli: ", 0), 0u) << args;
      EXPECT_NE(r.err.find("\nПодробнее: accelspec-cli "), std::string::npos) << args;
      EXPECT_EQ(lines(r.err), 2) << args;
    }
  }
}

TEST_F(Cli, SynthesisThenResponseThenWindow) {
  Result s = cli(dir, "synth in.spv rec.aks --duration 1 --samples 5 --step 0.25");
  ASSERT_EQ(s.status, 0) << s.err;
  const std::string rec = slurp(dir / "rec.aks");
  EXPECT_EQ(rec.substr(0, 5), "5 1\r\n");
  EXPECT_EQ(lines(rec), 6);
  EXPECT_NE(rec.find(" 2.50000000000000E-0001 "), std::string::npos);

  Result r = cli(dir, "response rec.aks out.spo --fbeg 2 --fend 3 --df 0.5 --damping 0.05");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string spo = slurp(dir / "out.spo");
  EXPECT_EQ(lines(spo), 3);
  EXPECT_EQ(spo.substr(0, 23), " 2.00000000000000E+0000");

  Result w = cli(dir, "window rec.aks cut.aks --from 0.25 --to 0.75");
  ASSERT_EQ(w.status, 0) << w.err;
  EXPECT_EQ(slurp(dir / "cut.aks").substr(0, 5), "3 1\r\n");
}

TEST_F(Cli, ConvertImportsARecordAndKeepsAConfiguration) {
  put(dir / "rec.brl", "3 whatever\r\n1 10.0 0.5\r\n2 10.5 -1\r\n3 11.0 2\r\n");
  Result r = cli(dir, "convert rec.brl rec.aks");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(dir / "rec.aks"),
            "3 1\r\n"
            " 0.00000000000000E+0000  5.00000000000000E-0001\r\n"
            " 5.00000000000000E-0001 -1.00000000000000E+0000\r\n"
            " 1.00000000000000E+0000  2.00000000000000E+0000\r\n");
  Result k = cli(dir, "convert in.spv copy.txt --kind spv");
  ASSERT_EQ(k.status, 0) << k.err;
  EXPECT_EQ(slurp(dir / "copy.txt"), slurp(dir / "in.spv"));
}

TEST_F(Cli, FailuresPrintTheWindowsMessageAndWriteNothing) {
  struct Case {
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"synth missing.spv out.aks", "File not found.\n"},
      {"synth in.spv out.aks --step 0,5", "'0,5' is not a valid floating point value.\n"},
      {"synth in.spv out.aks --samples 12.5", "'12.5' is not a valid integer value.\n"},
      {"response in.spv out.aks --kind aks", "Invalid numeric input.\n"},
  };
  for (const auto& c : cases) {
    Result r = cli(dir, c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.message) << c.args;
    EXPECT_FALSE(fs::exists(dir / "out.aks")) << c.args;
  }
}

TEST_F(Cli, ManyRecordsInParallelGiveTheSameFilesAsOneByOne) {
  ASSERT_EQ(cli(dir, "synth in.spv a.aks").status, 0);
  ASSERT_EQ(cli(dir, "synth in.spv b.aks --duration 10").status, 0);
  ASSERT_EQ(cli(dir, "synth in.spv c.aks --step 0.008").status, 0);
  ASSERT_EQ(cli(dir, "response a.aks a1.spo --df 1").status, 0);
  ASSERT_EQ(cli(dir, "response c.aks c1.spo --df 1").status, 0);
  fs::create_directories(dir / "out");
  Result r = cli(dir, "response a.aks b.aks c.aks missing.aks --out-dir out --jobs 2 --df 1");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "missing.aks: File not found.\n");
  EXPECT_EQ(slurp(dir / "out" / "a.spo"), slurp(dir / "a1.spo"));
  EXPECT_TRUE(fs::exists(dir / "out" / "b.spo"));
  EXPECT_EQ(slurp(dir / "out" / "c.spo"), slurp(dir / "c1.spo"));
  EXPECT_FALSE(fs::exists(dir / "out" / "missing.spo"));
}

TEST_F(Cli, AnOutputThatIsAnInputIsRefusedAndNothingIsWritten) {
  ASSERT_EQ(cli(dir, "synth in.spv rec.aks --samples 20").status, 0);
  const std::string record = slurp(dir / "rec.aks");
  put(dir / "rec.spo", record);  // a record under the spectrum's extension
  fs::create_symlink("rec.aks", dir / "link.aks");
  fs::create_hard_link(dir / "rec.aks", dir / "hard.aks");
  fs::create_directories(dir / "sub");
  const char* cases[] = {
      "response rec.aks rec.aks",
      "response rec.aks link.aks",
      "response link.aks ./rec.aks",
      "window rec.aks hard.aks --from 0 --to 0.01",
      "convert rec.aks sub/../rec.aks",
      "response rec.spo --kind aks --out-dir .",
      "response sub/x.aks rec.spo --kind aks --out-dir .",
  };
  for (const char* args : cases) {
    Result r = cli(dir, args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.err.find("файл результата совпадает с входным файлом"), std::string::npos)
        << args << "\n"
        << r.err;
    EXPECT_EQ(slurp(dir / "rec.aks"), record) << args;
    EXPECT_EQ(slurp(dir / "rec.spo"), record) << args;
    EXPECT_FALSE(fs::exists(dir / "x.spo")) << args;
  }
}

TEST_F(Cli, OnlyAnOptionWhereAnOptionStandsAsksForHelp) {
  ASSERT_EQ(cli(dir, "synth in.spv rec.aks --samples 20").status, 0);
  fs::create_directories(dir / "help");
  struct Case {
    const char* args;
    int status;
    bool usage;
    const char* written;
  };
  const Case cases[] = {
      {"help", 0, true, ""},
      {"-h", 0, true, ""},
      {"synth in.spv out.aks --help", 0, true, ""},
      {"response rec.aks -h --df 1", 0, true, ""},
      {"convert help out.spv --kind spv", 1, false, ""},
      {"convert --kind spv -- -h out.spv", 1, false, ""},
      {"response rec.aks --out-dir help --df 1", 0, false, "help/rec.spo"},
      {"window rec.aks --help=1", 2, false, ""},
  };
  for (const auto& c : cases) {
    Result r = cli(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_EQ(r.out.find("Использование") != std::string::npos, c.usage) << c.args;
    if (*c.written) {
      EXPECT_TRUE(fs::exists(dir / c.written)) << c.args;
    }
  }
  EXPECT_FALSE(fs::exists(dir / "out.spv"));
  EXPECT_FALSE(fs::exists(dir / "out.aks"));
}

// Runs the tool in `dir` with `args`, its standard output into a pipe whose reader is gone when
// `closedOutput`, and a file size limit of `sizeLimit` bytes when not 0.
Result runChild(const fs::path& dir, std::vector<std::string> args, bool closedOutput,
                rlim_t sizeLimit) {
  int fds[2];
  if (::pipe(fds) != 0) return {-1, "", "pipe"};
  if (closedOutput) ::close(fds[0]);
  const std::string errPath = (dir / "stderr.txt").string();
  args.insert(args.begin(), ACCELSPEC_CLI);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (errFd < 0 || ::chdir(dir.c_str()) != 0 || ::dup2(fds[1], 1) < 0 || ::dup2(errFd, 2) < 0)
      ::_exit(127);
    if (sizeLimit) {
      const rlimit limit{sizeLimit, sizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  if (!closedOutput) ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  Result r{WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status), "", ""};
  r.err = slurp(errPath);
  return r;
}

TEST_F(Cli, AFileSizeLimitOrAClosedPipeIsReportedNotAKill) {
  Result full = runChild(dir, {"synth", "in.spv", "rec.aks"}, false, 4096);
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "Disk full.\n");
  EXPECT_FALSE(fs::exists(dir / "rec.aks"));

  Result pipe = runChild(dir, {"--help"}, true, 0);
  EXPECT_EQ(pipe.status, 1);
  EXPECT_EQ(pipe.err, "accelspec-cli: не удалось записать в стандартный вывод\n");
}

TEST_F(Cli, ResultsThatFollowTheRulesButHoldNothingAreWarnedAbout) {
  ASSERT_EQ(cli(dir, "synth in.spv rec.aks --samples 20 --step 0.05").status, 0);
  put(dir / "empty.spv", "");
  put(dir / "zero.aks",
      "3 1\r\n"
      " 0.00000000000000E+0000  0.00000000000000E+0000\r\n"
      " 1.00000000000000E-0001  0.00000000000000E+0000\r\n"
      " 2.00000000000000E-0001  0.00000000000000E+0000\r\n");
  struct Case {
    const char* args;
    const char* warnings;
  };
  const std::string all = "предупреждение: все отсчёты акселерограммы равны нулю\n";
  const Case cases[] = {
      {"synth in.spv out.aks --samples 20", ""},
      {"synth empty.spv out.aks --samples 20",
       "предупреждение: в спектре воздействия меньше двух точек\n"
       "предупреждение: все отсчёты акселерограммы равны нулю\n"},
      {"synth in.spv out.aks --samples 20 --step -0.004",
       "предупреждение: шаг по времени отрицателен\n"
       "предупреждение: все отсчёты акселерограммы равны нулю\n"},
      {"synth in.spv out.aks --samples 20 --duration -20",
       "предупреждение: длительность отрицательна\n"
       "предупреждение: все отсчёты акселерограммы равны нулю\n"},
      {"synth in.spv out.aks --samples 0", "предупреждение: акселерограмма пуста (отсчётов: 0)\n"},
      {"window rec.aks out.aks --from 0.1 --to 0.5", ""},
      {"window rec.aks out.aks --from 0.5 --to 1.0",
       "предупреждение: окно выходит за конец записи на 1 отсчёт: там нули\n"},
      {"window rec.aks out.aks --from 5 --to 6",
       "предупреждение: окно выходит за конец записи на 101 отсчёт: там нули\n"
       "предупреждение: все отсчёты акселерограммы равны нулю\n"},
      {"window rec.aks out.aks --from 0.5 --to 0.2",
       "предупреждение: конец окна раньше его начала\n"
       "предупреждение: акселерограмма пуста (отсчётов: -5)\n"},
      {"response rec.aks out.spo --fbeg 1 --fend 2", ""},
      {"response rec.aks out.spo --fbeg 5 --fend 2",
       "предупреждение: спектр ответа пуст: ни одной частоты от Fbeg до Fend с шагом DF\n"},
      {"response rec.aks out.spo --fbeg 1 --fend 2 --damping -0.05",
       "предупреждение: затухание отрицательно\n"},
      {"response zero.aks out.spo --fbeg 1 --fend 2",
       "предупреждение: все значения спектра ответа равны нулю\n"},
  };
  for (const auto& c : cases) {
    fs::remove(dir / "out.aks");
    fs::remove(dir / "out.spo");
    Result r = cli(dir, c.args);
    EXPECT_EQ(r.status, 0) << c.args;
    EXPECT_EQ(r.err, c.warnings) << c.args;
    EXPECT_TRUE(fs::exists(dir / "out.aks") || fs::exists(dir / "out.spo")) << c.args;
  }
  // Several records: each warning names its record.
  Result batch = cli(dir, "response rec.aks zero.aks --out-dir . --fbeg 1 --fend 2 --jobs 2");
  EXPECT_EQ(batch.status, 0);
  EXPECT_EQ(batch.err, "zero.aks: предупреждение: все значения спектра ответа равны нулю\n");
}

TEST_F(Cli, TheManualPageDocumentsEveryCommandOfTheUsage) {
  const std::string usage = cli(dir, "--help").out;
  // The English page and the Russian one.
  for (const char* page : {"man/accelspec-cli.1.in", "man/ru/accelspec-cli.1.in"}) {
    const std::string manual = slurp(fs::path(ACCELSPEC_TEST_DATA) / ".." / "packaging" / page);
    ASSERT_FALSE(manual.empty()) << page;
    std::istringstream lines(usage);
    std::string line;
    int commands = 0;
    const std::string prefix = "  accelspec-cli ";
    while (std::getline(lines, line)) {
      if (line.rfind(prefix, 0) != 0 || line.rfind(prefix + "-", 0) == 0) continue;
      const std::string name =
          line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size());
      ++commands;
      EXPECT_NE(manual.find("\n.SS " + name + "\n"), std::string::npos) << page << " " << name;
      EXPECT_NE(manual.find("\n.B accelspec-cli " + name + "\n"), std::string::npos)
          << page << " " << name;
    }
    EXPECT_GE(commands, 4);
  }
}

}  // namespace
