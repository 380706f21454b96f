// SPDX-License-Identifier: MIT
// The rule rb006 (RB-006-98 §5.3) on hand-made sets whose verdicts are known, and scaled targets
// ("T*R", the vertical target as a share of the horizontal one).

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "check/check.hpp"
#include "check/check_messages.hpp"
#include "check/target.hpp"
#include "data/error.hpp"

namespace accelspec::check {
namespace {

// Records whose spectrum is the target times factor(j) at grid point j, peak `peak` m/s².
struct Set {
  Target target = parseTarget("rg160:0.3");
  std::vector<analysis::GridPoint> grid = checkGrid(0.005);
  CheckRecord record(const std::string& name, auto factor, double peak) const {
    CheckRecord r;
    r.name = name;
    r.dt = 0.005;
    r.samples = 4000;
    r.zeroPeriod = peak;
    for (std::size_t j = 0; j < grid.size(); ++j)
      r.spectrum.push_back(target.valueAt(grid[j].frequency) * factor(j));
    return r;
  }
  CheckResult rb006(const std::vector<CheckRecord>& records) const {
    RuleParameters p;
    p.rule = Rule::Rb006;
    return evaluateRule(target, p, grid, records);
  }
};

const Verdict& item(const CheckResult& r, ItemKind kind) {
  for (const auto& v : r.verdicts)
    if (v.kind == kind) return v;
  throw std::runtime_error("no such item");
}

// 5.3.1: the mean of the peaks against the zero-period value, just at it and just below it; one
// record's low peak made up by another's high one (the mean is judged, not each record).
TEST(Rb006, MeanPeakJustPassesAndJustFails) {
  const Set s;
  const double zpa = s.target.zeroPeriodValue();
  const auto one = [](std::size_t) { return 1.0; };
  struct Row {
    double a, b;
    bool pass;
  } rows[] = {{zpa, zpa, true},
              {0.8 * zpa, 1.2 * zpa, true},
              {0.8 * zpa, 1.19 * zpa, false},
              {zpa, zpa * (1 - 2e-6), false}};
  for (const auto& row : rows) {
    const auto r = s.rb006({s.record("a", one, row.a), s.record("b", one, row.b)});
    EXPECT_EQ(item(r, ItemKind::MeanPeak).pass, row.pass) << row.a << " " << row.b;
    EXPECT_EQ(r.pass, row.pass);
    EXPECT_EQ(item(r, ItemKind::MeanPeak).item, msg::kItemRb006Peak);
  }
}

// 5.3.3: the mean spectrum at 0.9 of the target passes, a hair below at one judged point fails
// and names the point; below 0.9 outside 0.5–33 Hz is not judged.
TEST(Rb006, MeanSpectrumJustPassesAndJustFailsInsideTheBandOnly) {
  const Set s;
  const double zpa = s.target.zeroPeriodValue();
  // Grid point k is 0.1·10^(k/100) Hz: 0.5 Hz lies between k = 69 and 70, 33 Hz between 251
  // and 252.
  const auto at = [](std::size_t dip, double there) {
    return [dip, there](std::size_t j) { return j == dip ? there : 1.0; };
  };
  // Two records whose mean is 0.9 at point 120 (1.58 Hz): 0.8 and 1.0.
  const auto pass = s.rb006({s.record("a", at(120, 0.8), zpa), s.record("b", at(120, 1.0), zpa)});
  EXPECT_TRUE(pass.pass);
  EXPECT_NEAR(pass.lowest.ratio, 0.9, 1e-12);
  const auto fail = s.rb006({s.record("a", at(120, 0.799), zpa), s.record("b", at(120, 1.0), zpa)});
  EXPECT_FALSE(fail.pass);
  const Verdict& v = item(fail, ItemKind::MeanSpectrum);
  EXPECT_FALSE(v.pass);
  EXPECT_EQ(v.item, msg::kItemRb006Mean);
  EXPECT_EQ(v.detail, "наименьшее 0.8995 при 1.58489 Гц (0.630957 с)");
  for (std::size_t outside : {69u, 252u, 300u})
    EXPECT_TRUE(s.rb006({s.record("a", at(outside, 0.5), zpa)}).pass) << outside;
  for (std::size_t inside : {70u, 251u})
    EXPECT_FALSE(s.rb006({s.record("a", at(inside, 0.89), zpa)}).pass) << inside;
}

// 5.3.2 is printed with its value and never fails, whatever the value; the check text marks it
// as information and says why.
TEST(Rb006, MeanRatioIsInformationWithItsValue) {
  const Set s;
  const double zpa = s.target.zeroPeriodValue();
  const auto r = s.rb006({s.record(
                              "a", [](std::size_t) { return 1.5; }, zpa),
                          s.record(
                              "b", [](std::size_t) { return 2.5; }, zpa)});
  const Verdict& v = item(r, ItemKind::MeanRatio);
  EXPECT_TRUE(v.information);
  EXPECT_TRUE(v.pass);
  EXPECT_EQ(v.detail, "среднее 2 по 182 точкам и 2 записям");
  EXPECT_TRUE(r.pass);
  const std::string text = checkText(r);
  EXPECT_NE(text.find("инф. 5.3.2: среднее отношение спектров записей к цели на 0.5–33 Гц, для "
                      "сведения: в доступном тексте РБ-006-98 знак неравенства утрачен (среднее "
                      "2 по 182 точкам и 2 записям)\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.substr(0, text.find('\n')), "# rb006, цель rg160, PGA 0.3 g, затухание 0.05, psa");
  // The items in the order of the clauses' reading: 5.3.1, 5.3.2, 5.3.3.
  ASSERT_EQ(r.verdicts.size(), 3u);
  EXPECT_EQ(r.verdicts[0].kind, ItemKind::MeanPeak);
  EXPECT_EQ(r.verdicts[1].kind, ItemKind::MeanRatio);
  EXPECT_EQ(r.verdicts[2].kind, ItemKind::MeanSpectrum);
  // A low mean ratio is still information: only 5.3.3 fails.
  const auto low = s.rb006({s.record(
      "a", [](std::size_t) { return 0.5; }, zpa)});
  EXPECT_TRUE(item(low, ItemKind::MeanRatio).pass);
  EXPECT_FALSE(item(low, ItemKind::MeanSpectrum).pass);
}

// --tmin/--tmax narrow the band as under srp; a record whose Nyquist frequency lies below 33 Hz
// is judged up to its own grid's end.
TEST(Rb006, RangeNarrowedByOptionsAndByTheGrid) {
  Set s;
  RuleParameters p;
  p.rule = Rule::Rb006;
  p.tmax = 1.0;  // 1 Hz and up
  const auto r = evaluateRule(s.target, p, s.grid,
                              {s.record(
                                  "a", [](std::size_t) { return 1.0; }, 3.0)});
  std::size_t judged = 0;
  for (const auto& pt : r.points) judged += pt.judged;
  EXPECT_EQ(judged, 152u);  // k = 100 … 251
  EXPECT_TRUE(r.cutByOptions);
  s.grid = checkGrid(0.02);  // up to 25 Hz
  const auto coarse = s.rb006({s.record(
      "a", [](std::size_t) { return 1.0; }, 3.0)});
  EXPECT_EQ(coarse.points.back().frequency, s.grid.back().frequency);
  EXPECT_TRUE(coarse.points.back().judged);
}

TEST(Rb006, NameParsesAndOtherRulesStayAsTheyWere) {
  EXPECT_EQ(parseRule("rb006"), Rule::Rb006);
  EXPECT_STREQ(ruleName(Rule::Rb006), "rb006");
  EXPECT_THROW(parseRule("RB006"), AppError);
}

// "T*R": every value and the zero-period value times R; the description says so; a factor that
// is not above zero is refused; a '*' followed by no number is part of a file name.
TEST(ScaledTarget, ValuesDescriptionAndRefusals) {
  const Target h = parseTarget("rg160:0.3");
  const Target v = parseTarget("rg160:0.3*2/3");
  for (double f : {0.1, 1.0, 5.0, 40.0}) EXPECT_EQ(v.valueAt(f), 2.0 / 3.0 * h.valueAt(f)) << f;
  EXPECT_EQ(v.zeroPeriodValue(), 2.0 / 3.0 * h.zeroPeriodValue());
  EXPECT_EQ(describeTarget(v), "rg160, PGA 0.3 g ×0.666667");
  EXPECT_EQ(v.text, "rg160:0.3*2/3");
  EXPECT_EQ(parseTarget("ec8:1:B:3*0.5").valueAt(2.0), 0.5 * parseTarget("ec8:1:B:3").valueAt(2.0));
  const std::string bad = msg::badTarget("rg160:0.3*0", msg::kTargetFactor);
  for (const char* text : {"rg160:0.3*0", "rg160:0.3*-1", "rg160:0.3*1/0", "rg160:0.3*0/2"}) {
    try {
      parseTarget(text);
      ADD_FAILURE() << text;
    } catch (const AppError& e) {
      EXPECT_EQ(std::string(e.what()), msg::badTarget(text, msg::kTargetFactor));
    }
  }
  // scaledTarget: the same target as parsing "T*R", its text that very string.
  const Target s = scaledTarget(h, "2/3");
  EXPECT_EQ(s.text, "rg160:0.3*2/3");
  EXPECT_EQ(s.valueAt(3.0), v.valueAt(3.0));
  EXPECT_EQ(describeTarget(s), describeTarget(v));
  for (const char* factor : {"0", "x", "1/0", "-2", ""}) {
    try {
      scaledTarget(h, factor);
      ADD_FAILURE() << factor;
    } catch (const AppError& e) {
      EXPECT_EQ(std::string(e.what()),
                msg::badTarget("rg160:0.3*" + std::string(factor), msg::kTargetFactor));
    }
  }
  // Factors multiply, however many; a product beyond the doubles is refused, naming the text.
  EXPECT_EQ(parseTarget("rg160:0.3*2*0.25").scale, 0.5);
  std::string many = "rg160:0.3";
  for (int i = 0; i < 200000; ++i) many += "*1";
  EXPECT_EQ(parseTarget(many).zeroPeriodValue(), h.zeroPeriodValue());
  std::string huge = "rg160:0.3";
  for (int i = 0; i < 4; ++i) huge += "*1e300";
  try {
    parseTarget(huge);
    ADD_FAILURE();
  } catch (const AppError& e) {
    EXPECT_EQ(std::string(e.what()), msg::badTarget(huge, msg::kTargetFactor));
  }
  // No number after '*': the whole text is a file name (here one that does not exist).
  try {
    parseTarget("/nonexistent/a*b.spv");
    ADD_FAILURE();
  } catch (const AppError& e) {
    EXPECT_NE(std::string(e.what()).find("«/nonexistent/a*b.spv»"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace accelspec::check
