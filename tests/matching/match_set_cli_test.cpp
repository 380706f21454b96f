// SPDX-License-Identifier: MIT
// `accelspec-cli match` for sets, as an engineer calls it: every file it writes passes its rule
// when `check` reads it again, the printed correlations are those of the files and within the
// limit, the same command writes the same bytes, a failed set writes nothing, and wrong calls
// are refused with one line.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "matching/sets.hpp"
#include "records/record.hpp"
#include "tests/cli/cli_runner.hpp"

namespace accelspec::matching {
namespace {

namespace fs = std::filesystem;
using accelspec::test::CliResult;
using accelspec::test::lines;
using accelspec::test::runCli;
using accelspec::test::slurp;

const std::string kData = std::string(ACCELSPEC_TEST_DATA) + "/analysis/data/";

class MatchSetCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("accelspec-match-set-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // `check` of one written file against its target and rule: its last line.
  std::string checked(const std::string& file, const std::string& target, const std::string& rule) {
    const CliResult r = runCli(dir, "check " + file + " --target '" + target + "' --rule " + rule);
    const auto l = lines(r.out);
    return l.empty() ? r.err : l.back();
  }

  // The correlation table's numbers, row by row (motion, then its pairs).
  static std::vector<std::vector<double>> table(const std::string& out) {
    std::vector<std::vector<double>> rows;
    bool in = false;
    for (const std::string& line : lines(out)) {
      if (line.starts_with("# корреляция")) {
        in = true;
        continue;
      }
      if (!in || line.find("движение") != std::string::npos) continue;
      std::vector<double> row;
      std::size_t pos = 0;
      while (pos < line.size()) {
        std::size_t used = 0;
        row.push_back(std::stod(line.substr(pos), &used));
        pos += used;
      }
      rows.push_back(row);
    }
    return rows;
  }

  fs::path dir;
};

// One component, two motions, from noise: two files, each passing srp; no correlation table for
// a single component; the seed and the try named in each line.
TEST_F(MatchSetCli, OneComponentSeveralMotions) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  const CliResult r =
      runCli(dir, "match eq --target rg160:0.3 --count 2 --seed noise:5 --step 0.01");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 2u) << r.out;
  EXPECT_TRUE(out[0].starts_with("eq_1_H1.aks: подобрано за ")) << out[0];
  EXPECT_NE(out[0].find("(основа noise:5, поток 1/0/0, 1 попытка)"), std::string::npos) << out[0];
  EXPECT_NE(out[1].find("поток 2/0/"), std::string::npos) << out[1];
  EXPECT_TRUE(out[1].ends_with("; цель rg160:0.3"));
  for (const char* f : {"eq_1_H1.aks", "eq_2_H1.aks"})
    EXPECT_EQ(checked(f, "rg160:0.3", "srp"), "PASS") << f;
  EXPECT_FALSE(fs::exists(dir / "eq_1_H2.aks"));
  EXPECT_FALSE(fs::exists(dir / "eq"));
}

// Two components under rb006: both files pass rb006 on `check`, and the table's coefficient is
// the Pearson r of the two written files.
TEST_F(MatchSetCli, TwoComponentsUnderRb006WithTheirCorrelation) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  const CliResult r =
      runCli(dir,
             "match eq --target ec8:1:B:3 --components 2 --seed noise --step 0.01 --rule rb006 "
             "--envelope sh --strong 8");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* f : {"eq_1_H1.aks", "eq_1_H2.aks"})
    EXPECT_EQ(checked(f, "ec8:1:B:3", "rb006"), "PASS") << f;
  const auto rows = table(r.out);
  ASSERT_EQ(rows.size(), 1u) << r.out;
  ASSERT_EQ(rows[0].size(), 2u);
  const records::Record h1 = records::readRecord((dir / "eq_1_H1.aks").string());
  const records::Record h2 = records::readRecord((dir / "eq_1_H2.aks").string());
  const double rr = pearson(h1.accel, h2.accel);
  EXPECT_NEAR(rows[0][1], rr, 1e-3 * std::fabs(rr) + 1e-6);
  EXPECT_LE(std::fabs(rr), 0.16);
  EXPECT_NE(r.out.find("# корреляция ускорений компонент (Пирсон), |r| не более 0.16\n"
                       "движение     H1–H2\n"),
            std::string::npos)
      << r.out;
}

// Three components, two motions: the vertical files pass against the horizontal target times
// 2/3 as `check` reads it ("T*2/3"), the horizontal ones against the target; every |r| of the
// table is within the limit; a second run writes the same bytes and prints the same lines.
TEST_F(MatchSetCli, ThreeComponentsSameBytesEveryRun) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  const std::string call =
      "match eq --target rg160:0.3 --components 3 --count 2 --seed noise:3 "
      "--step 0.01";
  const CliResult first = runCli(dir, call);
  ASSERT_EQ(first.status, 0) << first.err;
  std::vector<std::string> bytes;
  for (int m = 1; m <= 2; ++m)
    for (Axis a : {Axis::H1, Axis::H2, Axis::V}) {
      const std::string f = setFileName("eq", m, a);
      bytes.push_back(slurp(dir / f));
      EXPECT_EQ(checked(f, a == Axis::V ? "rg160:0.3*2/3" : "rg160:0.3", "srp"), "PASS") << f;
    }
  const auto rows = table(first.out);
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i) EXPECT_LE(std::fabs(row[i]), 0.16);
  }
  EXPECT_NE(first.out.find("; цель rg160:0.3*2/3\n"), std::string::npos);
  const CliResult second = runCli(dir, call);
  ASSERT_EQ(second.status, 0);
  EXPECT_EQ(second.out, first.out);
  std::size_t i = 0;
  for (int m = 1; m <= 2; ++m)
    for (Axis a : {Axis::H1, Axis::H2, Axis::V})
      EXPECT_EQ(slurp(dir / setFileName("eq", m, a)), bytes[i++]) << m << axisName(a);
}

// Recorded seeds listed after --seed: one per component, with --vertical-target; each file
// passes its own target.
TEST_F(MatchSetCli, RecordedSeedsWithAVerticalTarget) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  const CliResult r = runCli(
      dir, "match eq --target rg160:0.3 --components 3 --vertical-target rg160:0.25 --seed '" +
               kData + "RSN8883_14383980_13849090.AT2' '" + kData +
               "RSN8883_14383980_13849360.AT2' '" + kData + "RSN8884_14383980_13873090.AT2'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(checked("eq_1_H1.aks", "rg160:0.3", "srp"), "PASS");
  EXPECT_EQ(checked("eq_1_H2.aks", "rg160:0.3", "srp"), "PASS");
  EXPECT_EQ(checked("eq_1_V.aks", "rg160:0.25", "srp"), "PASS");
  EXPECT_NE(r.out.find("eq_1_V.aks: подобрано за "), std::string::npos);
  EXPECT_NE(r.out.find("(основа RSN8884_14383980_13873090, 1 попытка)"), std::string::npos)
      << r.out;
}

// A set that cannot be made writes nothing: the files already there keep their bytes, and the
// message names the component and how close it came, exit 3.
TEST_F(MatchSetCli, FailedSetWritesNothing) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  accelspec::test::put(dir / "eq_1_H1.aks", "old\n");
  const CliResult r = runCli(
      dir,
      "match eq --target rg160:0.3 --components 2 --seed noise --step 0.01 --max-correlation "
      "0.000001");
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_TRUE(r.err.starts_with("компонента 1_H2: корреляция с 1_H1 не ниже |r| = ")) << r.err;
  EXPECT_TRUE(r.err.ends_with(" при пределе 1e-06 за 6 попыток. Файлы набора не записаны.\n"))
      << r.err;
  EXPECT_EQ(slurp(dir / "eq_1_H1.aks"), "old\n");
  EXPECT_FALSE(fs::exists(dir / "eq_1_H2.aks"));
  const CliResult few = runCli(dir, "match eq --target rg160:0.3 --seed noise --iterations 1");
  EXPECT_EQ(few.status, 3);
  EXPECT_TRUE(
      few.err.starts_with("компонента 1_H1 не прошла проверку srp за 6 попыток; ближе "
                          "всего: отношения от "))
      << few.err;
  EXPECT_EQ(slurp(dir / "eq_1_H1.aks"), "old\n");
}

// Wrong calls: one line naming the option, then the pointer to the help, status 2, nothing
// written.
TEST_F(MatchSetCli, RefusedCalls) {
  const std::string seed = "'" + kData + "RSN8883_14383980_13849090.AT2'";
  const struct {
    std::string args, message;
  } rows[] = {
      {"--components 0 --seed noise", "--components: ожидается 1, 2 или 3"},
      {"--components 4 --seed noise", "--components: ожидается 1, 2 или 3"},
      {"--components two --seed noise", "--components: ожидается 1, 2 или 3"},
      {"--count 0 --seed noise", "--count: ожидается целое число от 1 до 100"},
      {"--count 101 --seed noise", "--count: ожидается целое число от 1 до 100"},
      {"--components 3 --vertical-ratio 0 --seed noise",
       "--vertical-ratio: ожидается число или дробь A/B больше нуля"},
      {"--components 3 --vertical-ratio -0.5 --seed noise",
       "--vertical-ratio: ожидается число или дробь A/B больше нуля"},
      {"--components 3 --vertical-ratio 2/0 --seed noise",
       "--vertical-ratio: ожидается число или дробь A/B больше нуля"},
      {"--components 3 --vertical-ratio 0.5 --vertical-target rg160:0.2 --seed noise",
       "--vertical-target и --vertical-ratio вместе не задаются"},
      {"--components 2 --vertical-ratio 0.5 --seed noise",
       "--vertical-target и --vertical-ratio задаются только с --components 3"},
      {"--components 3 --vertical-target rg160:x --seed noise",
       "--vertical-target: неверная цель «rg160:x»"},
      {"--max-correlation 0 --seed noise",
       "--max-correlation: ожидается число больше 0 и не больше 1"},
      {"--max-correlation 1.5 --seed noise",
       "--max-correlation: ожидается число больше 0 и не больше 1"},
      {"--seed noise:x", "--seed noise:NUMBER: ожидается целое число не меньше 0"},
      {"--seed noise:-1", "--seed noise:NUMBER: ожидается целое число не меньше 0"},
      {"--seed noise --envelope box", "--envelope: огибающая должна быть jht или sh"},
      {"--seed noise --strong 0", "--strong: ожидается число больше нуля (с точкой)"},
      {"--seed noise --strong 400",
       "шум с такой сильной фазой и шагом превысил бы 100000 отсчётов"},
      {"--seed noise --duration 30",
       "--duration задаёт длительность развёртки и с --seed не задаётся"},
      {"--seed " + seed + " --strong 5", "--strong задаётся только с --seed noise"},
      {"--seed noise --units g", "--units задаётся только с записями-основами --seed RECORD"},
      {"--components 2 --channel 2", "--channel задаётся только с записями-основами --seed RECORD"},
      {"--components 2", "развёртка одинакова для всех компонент и движений (корреляция 1)"},
      {"--count 2 --seed " + seed,
       "нужно не менее 2 записей-основ (по одной на компоненту), дано 1"},
      {"other.aks --components 2 --seed noise",
       "записи-основы перечисляются после --seed RECORD; лишний файл other.aks"},
      {"--components 2 --seed noise --rule srp --t1 1", "правило srp не принимает"},
      {"--components 2 --seed noise --rule rb006 --min-ratio 1",
       "правило rb006 не принимает --t1, --min-ratio"},
  };
  for (const auto& row : rows) {
    const CliResult r = runCli(dir, "match eq --target rg160:0.3 " + row.args);
    EXPECT_EQ(r.status, 2) << row.args << "\n" << r.err;
    EXPECT_TRUE(r.err.starts_with("accelspec-cli: " + row.message)) << row.args << "\n" << r.err;
    EXPECT_TRUE(r.err.ends_with("\nПодробнее: accelspec-cli match --help\n")) << r.err;
    EXPECT_EQ(lines(r.err).size(), 2u) << r.err;
  }
  EXPECT_TRUE(fs::is_empty(dir));
}

// An output that is one of the seeds is refused before anything is read or written.
TEST_F(MatchSetCli, OutputThatIsASeedIsRefused) {
  accelspec::test::put(dir / "eq_1_H2.aks", "0.01\n1\n2\n3\n");
  accelspec::test::put(dir / "a.aks", "0.01\n1\n2\n3\n");
  const CliResult r =
      runCli(dir, "match eq --target rg160:0.3 --components 2 --seed a.aks eq_1_H2.aks");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ничего не записано"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(dir / "eq_1_H2.aks"), "0.01\n1\n2\n3\n");
  EXPECT_FALSE(fs::exists(dir / "eq_1_H1.aks"));
}

}  // namespace
}  // namespace accelspec::matching
