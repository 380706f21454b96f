#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out, err;
};

// Runs the installed tool with a shell command line, in `dir`.
Result cli(const fs::path& dir, const std::string& args) {
  const fs::path errFile = dir / "stderr.txt";
  const std::string line =
      "cd '" + dir.string() + "' && '" ACCELSPEC_CLI "' " + args + " 2>'" + errFile.string() + "'";
  Result r;
  FILE* p = popen(line.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream e(errFile, std::ios::binary);
  r.err.assign(std::istreambuf_iterator<char>(e), {});
  return r;
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

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
                       "response a.aks out.spo --jobs 2",
                       "response x/a.aks y/a.brl --out-dir ."};
  for (const char* args : bad) {
    Result r = cli(dir, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("Использование"), std::string::npos) << args;
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

}  // namespace
