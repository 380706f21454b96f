// SPDX-License-Identifier: MIT
// accelspec-cli's help, wrong calls and the shared texts: each command's own help, the one-line
// reason of a wrong call, one parser of the rule options for check and match, Russian counts.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <new>
#include <string>

#include "cli/command.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/textio.hpp"
#include "records/scan.hpp"
#include "tests/cli/cli_runner.hpp"

namespace {

namespace fs = std::filesystem;
using accelspec::test::CliResult;
using accelspec::test::runCli;

class CliHelp : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("accelspec-help-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    accelspec::test::put(dir / "in.spv", "1 1\n5 3\n10 2\n");
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(CliHelp, EachCommandExplainsEveryOptionWithAnExample) {
  for (const accelspec::cli::Command* c : accelspec::cli::commands()) {
    const CliResult own = runCli(dir, c->name + " --help");
    const CliResult asked = runCli(dir, "help " + c->name);
    EXPECT_EQ(own.status, 0) << c->name;
    EXPECT_EQ(asked.status, 0) << c->name;
    EXPECT_EQ(own.out, asked.out) << c->name;
    EXPECT_TRUE(own.err.empty()) << c->name;
    for (const std::string& option : c->options)
      EXPECT_TRUE(has(own.out, "  --" + option + " ") || has(own.out, ", --" + option + " "))
          << c->name << " --" << option;
    EXPECT_TRUE(has(own.out, "Пример:\n  accelspec-cli " + c->name + " ")) << c->name;
    EXPECT_TRUE(has(own.out, "по умолчанию") || c->options.size() <= 3) << c->name;
    // Exit status 3 belongs to the commands that judge.
    EXPECT_EQ(has(own.out, ", 3 "), c->name == "check" || c->name == "match" ||
                                        c->name == "select" || c->name == "suite check")
        << c->name;
    // Another command's usage is not there.
    EXPECT_FALSE(has(own.out, c->name == "synth" ? "accelspec-cli window" : "accelspec-cli synth"))
        << c->name;
  }
  const CliResult all = runCli(dir, "--help");
  EXPECT_EQ(all.status, 0);
  EXPECT_TRUE(has(all.out, "accelspec-cli --version\n"));
  EXPECT_TRUE(
      has(all.out, "2 неверный вызов, 3 записи не прошли проверку (check), набор не выполняет"));
  EXPECT_TRUE(has(all.out, "accelspec-cli КОМАНДА --help"));
}

TEST_F(CliHelp, AWrongCallSaysWhyInOneLineAndWhereToReadMore) {
  struct Case {
    const char* args;
    const char* err;
  };
  const Case cases[] = {
      {"synth in.spv",
       "accelspec-cli: команде synth нужно файлов: 2\n"
       "Подробнее: accelspec-cli synth --help\n"},
      {"synth in.spv out.aks --colour red",
       "accelspec-cli: неизвестный параметр --colour\n"
       "Подробнее: accelspec-cli synth --help\n"},
      {"frobnicate a b",
       "accelspec-cli: неизвестная команда frobnicate\n"
       "Подробнее: accelspec-cli --help\n"},
      {"help frobnicate",
       "accelspec-cli: неизвестная команда frobnicate\n"
       "Подробнее: accelspec-cli --help\n"},
      {"check in.spv --rule srp",
       "accelspec-cli: не указан целевой спектр --target\n"
       "Подробнее: accelspec-cli check --help\n"},
  };
  for (const auto& c : cases) {
    const CliResult r = runCli(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_TRUE(r.out.empty()) << c.args;
  }
  // Nothing at all is no wrong call of a command: the usage says what there is.
  EXPECT_TRUE(has(runCli(dir, "").err, "Использование:"));
}

// check and match read --rule, --damping, --quantity and the range with one parser: the same
// call is refused by both with the same words.
TEST_F(CliHelp, CheckAndMatchReadTheRuleOptionsAlike) {
  struct Case {
    const char* options;
    const char* err;
  };
  const Case cases[] = {
      {"--rule srp --damping 0", "--damping: ожидается число больше нуля (с точкой)"},
      {"--rule srp --damping 1", "--damping: ожидается доля затухания больше 0 и меньше 1"},
      {"--rule srp --damping 0.05,0.02", "--damping: ожидается число больше нуля (с точкой)"},
      {"--rule en", "--rule: правило должно быть srp, ec8, asce7 или rb006"},
      {"--rule srp --quantity sd", "--quantity: ожидается psa или sa"},
      {"--rule ec8", "--t1: правило ec8 требует первый период T1 в с"},
      {"--rule srp --t1 1", "правило srp не принимает --t1, --min-ratio"},
      {"--rule asce7 --fmin 2 --fmax 1",
       "--fmin больше --fmax: нижняя граница диапазона периодов больше верхней"},
      {"--rule srp --damping 0.02 --target rg160:0.3",
       "--target: неверная цель «rg160:0.3»: спектр rg160 задан здесь только для затухания 0.05"},
  };
  for (const auto& c : cases) {
    const std::string target = has(c.options, "--target") ? "" : " --target rg160:0.3";
    const CliResult check = runCli(dir, std::string("check in.spv ") + c.options + target);
    const CliResult match = runCli(dir, std::string("match out.aks ") + c.options + target);
    const std::string expected = std::string("accelspec-cli: ") + c.err + "\n";
    EXPECT_EQ(check.status, 2) << c.options;
    EXPECT_EQ(match.status, 2) << c.options;
    EXPECT_EQ(check.err.substr(0, check.err.find('\n') + 1), expected) << c.options;
    EXPECT_EQ(match.err.substr(0, match.err.find('\n') + 1), expected) << c.options;
  }
  EXPECT_FALSE(fs::exists(dir / "out.aks"));
}

// The core's messages name no option (the window has none); the tool adds the one to change.
TEST_F(CliHelp, TheToolNamesTheOptionTheCoreCannot) {
  accelspec::test::put(dir / "one.txt", "0.1\n0.2\n-0.1\n");
  struct Case {
    const char* args;
    int status;
    const char* err;
  };
  const Case cases[] = {
      {"import one.txt out.aks", 1,
       "one.txt: в файле один столбец ускорений: задайте шаг по времени (--step)\n"},
      {"spectra one.txt --step 0.01 --damping 1", 2,
       "accelspec-cli: --damping: ожидается список долей критического затухания через запятую, "
       "каждая от 0 до 1 (не включая 1), без повторов\n"
       "Подробнее: accelspec-cli spectra --help\n"},
      {"spectra one.txt --step 0.01 --quantity pga", 2,
       "accelspec-cli: --quantity: ожидается список из psa, sa, sv, psv, sd через запятую, без "
       "повторов\n"
       "Подробнее: accelspec-cli spectra --help\n"},
      {"check one.txt --step 0.01 --rule srp --target missing.spv", 1,
       "--target: неверная цель «missing.spv»: файл не найден.\n"},
  };
  for (const auto& c : cases) {
    const CliResult r = runCli(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
  }
  // A table that cannot be written is told in the tool's words, not the window's English.
  const Case unwritable[] = {
      {"spectra one.txt --step 0.01 --units m/s2 --csv nowhere/x.csv", 1,
       "one.txt: nowhere/x.csv: неверное имя файла.\n"},
      {"check one.txt --step 0.01 --units m/s2 --rule srp --target rg160:0.3 --csv nowhere/x.csv",
       1, "nowhere/x.csv: неверное имя файла.\n"},
  };
  for (const auto& c : unwritable) {
    const CliResult r = runCli(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
  }
  accelspec::test::put(dir / "bad.spv", "1 x\n");
  EXPECT_EQ(runCli(dir, "check one.txt --step 0.01 --rule srp --target bad.spv").err,
            "--target: неверная цель «bad.spv»: в файле не число там, где ожидается число.\n");
}

TEST_F(CliHelp, ResponseMakesItsOutputFolder) {
  ASSERT_EQ(runCli(dir, "synth in.spv rec.aks --samples 50").status, 0);
  const CliResult r = runCli(dir, "response rec.aks --out-dir new/deeper --df 1");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "new/deeper/rec.spo"));
  accelspec::test::put(dir / "file", "");
  const CliResult blocked = runCli(dir, "response rec.aks --out-dir file/sub --df 1");
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(blocked.err, "file/sub: не удаётся создать папку: часть пути не является папкой.\n");
}

TEST(RussianCounts, TheNounAgreesWithTheCount) {
  using accelspec::msg::countOf;
  struct Case {
    long long n;
    const char* text;
  };
  const Case cases[] = {
      {0, "0 точек"},     {1, "1 точка"},     {2, "2 точки"},   {4, "4 точки"},
      {5, "5 точек"},     {11, "11 точек"},   {12, "12 точек"}, {14, "14 точек"},
      {21, "21 точка"},   {22, "22 точки"},   {25, "25 точек"}, {101, "101 точка"},
      {111, "111 точек"}, {112, "112 точек"}, {-1, "-1 точка"}, {1002, "1002 точки"}};
  for (const auto& c : cases) EXPECT_EQ(countOf(c.n, "точка", "точки", "точек"), c.text) << c.n;
}

TEST(ErrorWords, TheCauseIsSaidInWords) {
  using accelspec::IoError;
  // A code the input/output table does not know carries the errno; 5 is then EIO, not the
  // table's access denied.
  EXPECT_EQ(accelspec::records::ioMessage(IoError(EIO, accelspec::msg::ioErrorText(EIO))),
            "сбой чтения или записи на устройстве");
  EXPECT_EQ(accelspec::records::ioMessage(IoError(ENOMEM, accelspec::msg::ioErrorText(ENOMEM))),
            "не хватает памяти");
  EXPECT_EQ(accelspec::records::ioMessage(
                IoError(accelspec::iocode::kAccessDenied,
                        accelspec::msg::ioErrorMessage(accelspec::iocode::kAccessDenied))),
            "нет доступа к файлу");
  EXPECT_EQ(accelspec::userMessage(std::make_exception_ptr(std::bad_alloc()),
                                   accelspec::msg::kOutOfMemoryRu),
            "не хватает памяти.");
  EXPECT_EQ(accelspec::userMessage(std::make_exception_ptr(std::bad_alloc())), "Out of memory.");
}

}  // namespace
