// SPDX-License-Identifier: MIT
#include "matching/match_to_rule.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <stop_token>
#include <string>
#include <vector>

#include "check/check_messages.hpp"
#include "data/error.hpp"
#include "data/store.hpp"
#include "files/formats.hpp"
#include "matching/matching_messages.hpp"
#include "tests/analysis/analysis_test_support.hpp"

namespace accelspec::matching {
namespace {

namespace fs = std::filesystem;

template <typename F>
std::string errorOf(F f) {
  try {
    f();
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

records::Record seedRecord() {
  records::Record r;
  r.name = "seed";
  r.dt = 0.01;
  r.accel = accelspec::testing::syntheticRecord(1500, r.dt);
  return r;
}

// A cancel asked for from the progress report stops the run there, on both paths, before the
// next iteration: no result comes back.
TEST(MatchToRule, CancelFromProgressStopsTheRun) {
  const check::Target target = check::parseTarget("rg160:0.3");
  MatchSource sweep;
  sweep.duration = 10;
  sweep.step = 0.01;
  MatchSource seeded;
  seeded.seed = seedRecord();
  for (const MatchSource& source : {sweep, seeded}) {
    SCOPED_TRACE(source.seed ? "seed" : "sweep");
    std::stop_source stop;
    int calls = 0;
    const auto progress = [&](int iteration, double lowest, double highest) {
      ++calls;
      EXPECT_EQ(iteration, calls);
      EXPECT_LE(lowest, highest);
      if (iteration == 2) stop.request_stop();
    };
    EXPECT_THROW(matchToRule(target, {}, source, 40, 1, progress, stop.get_token()),
                 MatchCancelled);
    EXPECT_EQ(calls, 2);
  }
}

TEST(MatchToRule, StopAskedBeforeTheStartDoesNoIteration) {
  std::stop_source stop;
  stop.request_stop();
  int calls = 0;
  EXPECT_THROW(matchToRule(
                   check::parseTarget("rg160:0.3"), {}, MatchSource{}, 40, 1,
                   [&](int, double, double) { ++calls; }, stop.get_token()),
               MatchCancelled);
  EXPECT_EQ(calls, 0);
}

// The verdict returned is the rule's own on the record returned.
TEST(MatchToRule, PassingSweepCarriesItsCheck) {
  check::RuleParameters ec8;
  ec8.rule = check::Rule::Ec8;
  ec8.t1 = 1;
  const check::Target target = check::parseTarget("ec8:1:B:2.943");
  const RuleMatch m = matchToRule(target, ec8, MatchSource{}, 40, 2);
  ASSERT_TRUE(m.match.passed);
  ASSERT_TRUE(m.check);
  EXPECT_TRUE(passesRule(*m.check));
  EXPECT_DOUBLE_EQ(m.dt, 0.005);
  records::Record r;
  r.name = "match";
  r.dt = m.dt;
  r.accel = m.match.accel;
  const check::CheckResult again = check::checkRecords(target, ec8, {r});
  ASSERT_EQ(again.points.size(), m.check->points.size());
  for (std::size_t j = 0; j < again.points.size(); ++j)
    EXPECT_EQ(again.points[j].ratio, m.check->points[j].ratio) << j;
}

TEST(MatchToRule, RefusesWhatTheRuleCannotTake) {
  const check::Target rg = check::parseTarget("rg160:0.3");
  const check::Target ec = check::parseTarget("ec8:1:B:2.943");
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    check::RuleParameters p;
    const check::Target* target;
    std::string_view message;
  };
  auto with = [](auto change) {
    check::RuleParameters p;
    change(p);
    return p;
  };
  const Case cases[] = {
      {"defaults", {}, &rg, ""},
      {"zero damping", with([](auto& p) { p.damping = 0; }), &ec, msg::kMatchBadDamping},
      {"damping 1", with([](auto& p) { p.damping = 1; }), &ec, msg::kMatchBadDamping},
      {"NaN damping", with([](auto& p) { p.damping = nan; }), &ec, msg::kMatchBadDamping},
      {"rg160 at 2 %", with([](auto& p) { p.damping = 0.02; }), &rg, msg::kRg160Damping},
      {"ec8 at 2 %", with([](auto& p) { p.damping = 0.02; }), &ec, ""},
      {"ec8 without T1", with([](auto& p) { p.rule = check::Rule::Ec8; }), &ec, msg::kMatchNeedT1},
      {"negative T1", with([](auto& p) { p.t1 = -1; }), &ec, msg::kMatchBadPeriod},
      {"infinite Tmax", with([](auto& p) { p.tmax = INFINITY; }), &ec, msg::kMatchBadPeriod},
      {"Tmin above Tmax", with([](auto& p) {
         p.rule = check::Rule::Asce7;
         p.tmin = 2;
         p.tmax = 1;
       }),
       &ec, msg::kMatchTminAboveTmax},
      {"zero min ratio", with([](auto& p) { p.minRatio = 0; }), &ec, msg::kMatchBadMinRatio},
  };
  for (const Case& c : cases)
    EXPECT_EQ(errorOf([&] { validateRuleParameters(c.p, *c.target); }), c.message) << c.name;
  for (int n : {0, 1001})
    EXPECT_EQ(errorOf([&] { matchToRule(rg, {}, MatchSource{}, n, 1); }), msg::kMatchBadIterations)
        << n;
}

// The main window's table is the target a *.spv file with the same points would be.
TEST(TableTarget, MatchesTheFileOfTheSamePoints) {
  auto store = makeStore();
  store->N = 3;
  const long double f[] = {0.5L, 2.0L, 10.0L}, a[] = {1.5L, 6.25L, 3.0L};
  for (int i = 0; i < 3; ++i) {
    store->SpF[i + 1] = f[i];
    store->SpA[i + 1] = a[i];
  }
  const fs::path file =
      fs::temp_directory_path() / ("accelspec-table-" + std::to_string(::getpid()) + ".spv");
  writeSpv(file.string(), *store);
  const check::Target fromFile = check::parseTarget(file.string());
  fs::remove(file);
  const check::Target fromTable = check::tableTarget(*store, "спектр главного окна");
  EXPECT_EQ(fromTable.kind, check::TargetKind::File);
  EXPECT_EQ(check::describeTarget(fromTable), "спектр главного окна");
  EXPECT_EQ(fromTable.frequencies, fromFile.frequencies);
  EXPECT_EQ(fromTable.values, fromFile.values);
  for (double x : {0.1, 0.5, 1.0, 3.3, 10.0, 40.0})
    EXPECT_EQ(fromTable.valueAt(x), fromFile.valueAt(x)) << x;
  const check::Target fromPoints = check::tableTarget({0.5, 2, 10}, {1.5, 6.25, 3}, "т");
  EXPECT_EQ(fromPoints.frequencies, fromFile.frequencies);
  EXPECT_EQ(fromPoints.values, fromFile.values);
  EXPECT_EQ(errorOf([] {
              check::tableTarget({1, 2}, {1}, "т");
            }),
            "т: " + std::string(msg::kTableSizes));
}

TEST(TableTarget, RefusesATableNoFileCouldHold) {
  struct Case {
    const char* name;
    std::int32_t n;
    std::vector<long double> f, a;
    std::string_view why;
  };
  const Case cases[] = {
      {"no points", 0, {}, {}, msg::kTableEmpty},
      {"negative count", -2, {}, {}, msg::kTableEmpty},
      {"beyond the table", 999, {}, {}, msg::kTooManyTablePoints},
      {"descending", 2, {2, 1}, {1, 1}, msg::kSpvOrder},
      {"repeated", 2, {1, 1}, {1, 1}, msg::kSpvOrder},
      {"zero frequency", 1, {0}, {1}, msg::kSpvOrder},
      {"zero value", 2, {1, 2}, {1, 0}, msg::kSpvValue},
      {"infinite value", 1, {1}, {INFINITY}, msg::kSpvValue},
  };
  for (const Case& c : cases) {
    auto store = makeStore();
    store->N = c.n;
    for (std::size_t i = 0; i < c.f.size(); ++i) {
      store->SpF[i + 1] = c.f[i];
      store->SpA[i + 1] = c.a[i];
    }
    EXPECT_EQ(errorOf([&] { check::tableTarget(*store, "таблица"); }),
              "таблица: " + std::string(c.why))
        << c.name;
  }
}

}  // namespace
}  // namespace accelspec::matching
