#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check/check.hpp"
#include "check/target.hpp"
#include "data/error.hpp"
#include "data/store.hpp"
#include "matching/baseline.hpp"
#include "matching/matching_messages.hpp"
#include "matching/spectral_match.hpp"
#include "records/record.hpp"
#include "tests/analysis/analysis_test_support.hpp"
#include "tests/cli/cli_runner.hpp"

namespace accelspec::matching {
namespace {

namespace fs = std::filesystem;

const std::string kData = std::string(ACCELSPEC_TEST_DATA) + "/analysis/data/";
const std::string kSeed = kData + "RSN8883_14383980_13849090.AT2";

using Result = accelspec::test::CliResult;

Result cli(const fs::path& dir, const std::string& args) {
  return accelspec::test::runCli(dir, args);
}

class MatchCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("accelspec-match-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

// What the engineer is promised of a matched seed: the rule's own verdict, every ratio within
// 0.95–1.15 on the check grid, the peak acceleration within 10 % of the target's zero-period
// value, and a record that ends at rest.
TEST_F(MatchCli, MatchedSeedsPassTheirCheck) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  struct Case {
    std::string target, rule;
    check::RuleParameters parameters;
    bool wholeGrid;
  };
  check::RuleParameters ec8;
  ec8.rule = check::Rule::Ec8;
  ec8.t1 = 1;
  check::RuleParameters asce7;
  asce7.rule = check::Rule::Asce7;
  asce7.tmin = 0.05;
  asce7.tmax = 4;
  const Case cases[] = {
      {"rg160:0.3", "", {}, true},
      {"ec8:1:B:2.943", "--rule ec8 --t1 1", ec8, false},
      {"rg160:0.5", "--rule asce7 --tmin 0.05 --tmax 4", asce7, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target + " " + c.rule);
    const Result r =
        cli(dir, "match out.aks --target " + c.target + " " + c.rule + " --seed '" + kSeed + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const records::Record matched = records::readRecord((dir / "out.aks").string());
    const check::Target target = check::parseTarget(c.target);
    const check::CheckResult result = check::checkRecords(target, c.parameters, {matched});
    for (const auto& v : result.verdicts)
      EXPECT_TRUE(v.pass || v.kind == check::ItemKind::RecordCount) << v.item << ": " << v.detail;
    double pga = 0;
    for (double a : matched.accel) pga = std::fmax(pga, std::fabs(a));
    if (c.wholeGrid) {
      for (const auto& p : result.points) {
        EXPECT_GE(p.ratio, 0.95) << p.frequency;
        EXPECT_LE(p.ratio, 1.15) << p.frequency;
      }
      EXPECT_NEAR(pga / target.zeroPeriodValue(), 1, 0.1);
    }
    const Drift d = driftOf(matched.accel, matched.dt);
    EXPECT_LE(std::fabs(d.finalVelocity), 0.01 * d.peakVelocity);
    EXPECT_LE(std::fabs(d.finalDisplacement), 0.01 * d.peakDisplacement);
  }
}

// The program's own 20-s, 0.005-s sweep brought to a code spectrum where the rule judges it:
// rg160 on the whole grid from 0.1 Hz and ec8 out to 4 s, whose lowest frequencies a table
// correction alone cannot reach. The record is written only when its check passes, and every
// judged ratio lies within 0.95–1.2.
TEST_F(MatchCli, MatchedSweepsPassTheirCheck) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  check::RuleParameters srp;
  check::RuleParameters ec8;
  ec8.rule = check::Rule::Ec8;
  ec8.t1 = 2;
  const struct {
    std::string target, rule;
    check::RuleParameters parameters;
  } cases[] = {{"rg160:0.3", "", srp}, {"ec8:1:B:2.943", "--rule ec8 --t1 2", ec8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target + " " + c.rule);
    const Result r = cli(dir, "match out.aks --target " + c.target + " " + c.rule);
    ASSERT_EQ(r.status, 0) << r.err;
    const records::Record matched = records::readRecord((dir / "out.aks").string());
    EXPECT_NEAR(matched.dt, 0.005, 1e-12);
    EXPECT_GE(static_cast<double>(matched.accel.size()) * matched.dt, 20);
    const check::CheckResult result =
        check::checkRecords(check::parseTarget(c.target), c.parameters, {matched});
    for (const auto& v : result.verdicts)
      EXPECT_TRUE(v.pass || v.kind == check::ItemKind::RecordCount) << v.item << ": " << v.detail;
    int judged = 0;
    for (const auto& p : result.points) {
      if (!p.judged) continue;
      ++judged;
      EXPECT_GE(p.ratio, 0.95) << p.frequency;
      EXPECT_LE(p.ratio, 1.2) << p.frequency;
    }
    EXPECT_GE(judged, 100);
  }
}

TEST_F(MatchCli, ARunThatCannotPassWritesNothingAndSaysHowClose) {
  const std::string seed = kData + "eqsig_test_motion_dt0p01_column.txt";
  const Result r =
      cli(dir, "match out.aks --target rg160:0.3 --iterations 1 --step 0.01 --units m/s2 --seed '" +
                   seed + "'");
  EXPECT_EQ(r.status, 3);
  EXPECT_FALSE(fs::exists(dir / "out.aks"));
  const std::string head =
      "запись, проходящая проверку srp, не подобрана за 1 итераций; ближе "
      "всего: отношения от ";
  EXPECT_EQ(r.err.substr(0, head.size()), head) << r.err;
  EXPECT_NE(r.err.find(" до "), std::string::npos);
  const std::string tail = "Файл out.aks не записан.\n";
  EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail);
}

TEST_F(MatchCli, WrongCallsAndBadInputs) {
  struct Case {
    std::string args;
    int status;
    std::string errStart;
  };
  const Case cases[] = {
      {"match out.aks", 2, "accelspec-cli: --target: не задан целевой спектр"},
      {"match --target rg160:0.3", 2, "accelspec-cli: "},
      {"match out.aks --target rg160:0.3 --rule nrc", 2, "accelspec-cli: --rule: ожидается"},
      {"match out.aks --target ec8:1:B:3 --rule ec8", 2, "accelspec-cli: --t1: правило ec8"},
      {"match out.aks --target rg160:0.3 --iterations 0", 2, "accelspec-cli: --iterations"},
      {"match out.aks --target rg160:0.3 --duration -1", 2, "accelspec-cli: --duration"},
      {"match out.aks --target rg160:x", 2, "accelspec-cli: --target: неверная цель"},
      {"match out.aks --target rg160:0.3 --damping 0.02", 2, "accelspec-cli: спектр rg160"},
      {"match out.aks --target missing.spv", 1, "--target: неверная цель «missing.spv»"},
      {"match out.aks --target rg160:0.3 --seed missing.at2", 1, "missing.at2"},
      {"baseline in.txt", 2, "accelspec-cli: "},
      {"baseline missing.txt out.aks --step 0.01", 1, "missing.txt"},
  };
  for (const Case& c : cases) {
    const Result r = cli(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, c.errStart.size()), c.errStart) << c.args << "\n" << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.aks")) << c.args;
  }
}

TEST_F(MatchCli, BaselineWritesTheCorrectedRecord) {
  {
    std::ofstream in(dir / "in.txt");
    for (int k = 0; k < 400; ++k) in << 0.05 + std::sin(k * 0.3) << "\n";
  }
  const Result r = cli(dir, "baseline in.txt out.aks --step 0.01");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("до поправки: конечная скорость 0.", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\nпосле поправки: конечная скорость "), std::string::npos);
  const records::Record out = records::readRecord((dir / "out.aks").string());
  EXPECT_EQ(out.accel.size(), 400u);
  EXPECT_DOUBLE_EQ(out.dt, 0.01);
  const Drift d = driftOf(out.accel, out.dt);
  EXPECT_LE(std::fabs(d.finalVelocity), 0.01 * d.peakVelocity);
  EXPECT_LE(std::fabs(d.finalDisplacement), 0.01 * d.peakDisplacement);

  const Result same = cli(dir, "baseline in.txt in.txt --step 0.01");
  EXPECT_EQ(same.status, 1);
}

TEST(Match, GoalsThatCannotBeUsedAreRefused) {
  MatchGoal empty;
  EXPECT_THROW(matchSeed({0, 1, 0}, 0.01, empty), AppError);
  MatchGoal zero;
  zero.grid = {{1, 1}};
  zero.target = {0};
  try {
    matchSweep(20, 0.005, zero);
    ADD_FAILURE();
  } catch (const AppError& e) {
    EXPECT_EQ(e.what(), std::string(msg::kMatchBadTarget));
  }
  MatchGoal fine;
  fine.grid = {{1, 1}};
  fine.target = {1};
  for (const auto& [duration, dt] : std::vector<std::pair<double, double>>{
           {0, 0.005}, {20, 0}, {1000, 0.005}, {0.01, 0.005}, {NAN, 0.005}}) {
    try {
      matchSweep(duration, dt, fine);
      ADD_FAILURE() << duration << " " << dt;
    } catch (const AppError& e) {
      EXPECT_EQ(e.what(), std::string(msg::kMatchBadDuration));
    }
  }
}

// A sweep of the longest record the program writes still gets its band stage, without the
// quiet tail that would take it past that length, and reports how close it came.
TEST(Match, ALongestSweepThatStallsIsRefinedWithinTheLength) {
  MatchGoal goal;
  const auto grid = check::checkGrid(0.005);
  for (std::size_t j = 0; j < grid.size() && grid[j].frequency <= 1.0001; j += 10)
    goal.grid.push_back(grid[j]);
  goal.target.assign(goal.grid.size(), 1);
  goal.lowest = 0.999;  // out of reach: both stages run
  goal.highest = 1.001;
  goal.iterations = 2;
  int calls = 0;
  goal.progress = [&](int iteration, double, double) { EXPECT_EQ(iteration, ++calls); };
  const MatchResult r = matchSweep(500, 0.005, goal);
  EXPECT_FALSE(r.passed);
  EXPECT_EQ(r.iterations, 2);
  EXPECT_EQ(calls, 2);
  EXPECT_LE(r.accel.size(), static_cast<std::size_t>(kMaxSamples));
  EXPECT_LE(r.lowestRatio, r.highestRatio);
}

// A seed already on its target is accepted as it stands, after its baseline correction.
TEST(Match, ASeedOnItsTargetPassesAtOnce) {
  const std::vector<double> seed = testing::syntheticRecord(2000, 0.01);
  MatchGoal goal;
  for (const auto& p : check::checkGrid(0.01))
    if (p.frequency >= 0.5 && p.frequency <= 20) goal.grid.push_back(p);
  goal.target.assign(goal.grid.size(), 1);
  goal.target = ratiosOf(seed, 0.01, goal);  // the seed's own spectrum
  goal.aim = 1;
  goal.iterations = 3;
  const MatchResult r = matchSeed(seed, 0.01, goal);
  EXPECT_TRUE(r.passed);
  EXPECT_EQ(r.iterations, 1);
  EXPECT_GE(r.lowestRatio, 0.95);
  EXPECT_LE(r.highestRatio, 1.15);
}

}  // namespace
}  // namespace accelspec::matching
