// SPDX-License-Identifier: MIT
// Picking and scaling a suite: the fit by hand, the scale limits, the per-event limit, the
// ranking, pairs, the common multiplier, the text and the suite file, on motions made here
// with spectra whose answers are known.

#include "suites/selection.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "check/check_messages.hpp"
#include "check/target.hpp"
#include "data/error.hpp"
#include "suites/suite_messages.hpp"

namespace accelspec::suites {
namespace {

// A flat target of 2 m/s² over the whole check grid (a file target from 0.1 to 50 Hz).
check::Target flatTarget() { return check::tableTarget({0.1, 50.0}, {2.0, 2.0}, "/t/flat.spv"); }

// Points 100 … 103 of the check grid: 1, 1.02329, 1.04713, 1.07152 Hz, periods 1 s down to
// 0.93325 s. --tmin 0.933 --tmax 1 judges these four and no other.
constexpr std::size_t kFirst = 100;
check::RuleParameters fourPoints(check::Rule rule = check::Rule::Asce7) {
  check::RuleParameters r;
  r.rule = rule;
  r.tmin = 0.933;
  r.tmax = 1.0;
  return r;
}

// A component of step 0.005 s whose spectrum is `base` everywhere but `inRange` on the four
// judged points.
library::Component component(const std::string& path, double base, std::vector<double> inRange = {},
                             double pga = 1.0) {
  library::Component c;
  c.path = path;
  c.format = "at2";
  c.dt = 0.005;
  c.samples = 8000;
  c.measures.pga = pga;
  c.psa.assign(library::kSpectrumPoints, base);
  for (std::size_t i = 0; i < inRange.size(); ++i) c.psa[kFirst + i] = inRange[i];
  return c;
}

library::Motion single(std::int64_t id, const std::string& name, const std::string& event,
                       double base, std::vector<double> inRange = {}, double pga = 1.0) {
  library::Motion m;
  m.id = id;
  m.name = name;
  m.event = event;
  m.components = {component("/r/" + name + ".AT2", base, std::move(inRange), pga)};
  return m;
}

SelectionParameters parameters(std::size_t count, check::Rule rule = check::Rule::Asce7) {
  SelectionParameters p;
  p.rule = fourPoints(rule);
  p.count = count;
  return p;
}

// ---------------------------------------------------------------------------------------------

TEST(SuiteFit, ScaleFactorAndErrorByHand) {
  // Target 2 on the four points; the spectrum 1, 1, 0.5, 0.5 there (and 7 elsewhere, which
  // must not count). ln T − ln S = ln 2, ln 2, ln 4, ln 4, so
  //   ln SF = (2·ln 2 + 2·ln 4)/4 = 1.5·ln 2,   SF = 2^1.5 = 2√2 = 2.8284271247461903;
  // the residuals ln T − ln(SF·S) are −0.5·ln 2 twice and +0.5·ln 2 twice, so
  //   MSE = (0.5·ln 2)² = (ln 2)²/4 = 0.12011325347955035.
  const auto motions = {single(1, "A", "e", 7.0, {1.0, 1.0, 0.5, 0.5})};
  const Selection s = select(flatTarget(), parameters(1), motions);
  ASSERT_EQ(s.members.size(), 1u);
  EXPECT_NEAR(s.members[0].fitFactor, 2.8284271247461903, 1e-15);
  EXPECT_NEAR(s.members[0].mse, 0.12011325347955035, 1e-16);

  // The same through fitFactor, on the four values alone.
  double sf = 0, mse = 0;
  ASSERT_TRUE(fitFactor({2, 2, 2, 2}, {1, 1, 0.5, 0.5}, {true, true, true, true}, sf, mse));
  EXPECT_NEAR(sf, 2 * std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(mse, std::log(2.0) * std::log(2.0) / 4, 1e-16);
  // A spectrum proportional to the target fits with no error.
  ASSERT_TRUE(fitFactor({2, 4, 8}, {1, 2, 4}, {true, true, true}, sf, mse));
  EXPECT_NEAR(sf, 2.0, 1e-15);
  EXPECT_NEAR(mse, 0.0, 1e-30);
}

TEST(SuiteFit, ValuesThatHaveNoLogarithmAreNoCandidate) {
  double sf = 0, mse = 0;
  EXPECT_FALSE(fitFactor({2, 2}, {1, 0}, {true, true}, sf, mse));
  EXPECT_FALSE(fitFactor({2, 2}, {1, NAN}, {true, true}, sf, mse));
  EXPECT_FALSE(fitFactor({2, 2}, {1, 1}, {false, false}, sf, mse));
  EXPECT_TRUE(fitFactor({2, 2}, {1, 0}, {true, false}, sf, mse));  // the zero is not judged

  // A record without motion at a judged point neither ranks first (MSE NaN or 0) nor stops
  // the selection.
  const auto motions = {single(1, "quiet", "e", 1.0, {1.0, 0.0, 1.0, 1.0}),
                        single(2, "B", "e", 1.0)};
  const Selection s = select(flatTarget(), parameters(2), motions);
  ASSERT_EQ(s.members.size(), 1u);
  EXPECT_EQ(s.members[0].name, "B");
  EXPECT_EQ(s.candidates, 2u);
  EXPECT_EQ(s.withinLimits, 1u);
}

TEST(SuiteSelection, ScaleLimitsDropCandidatesAndKeepTheirEdges) {
  // Flat spectra: SF = 2 / value exactly. 2/8 = 0.25 and 2/0.5 = 4 are the limits themselves.
  const auto motions = {single(1, "low", "e1", 10.0),     // SF 0.2: dropped
                        single(2, "edge-lo", "e2", 8.0),  // SF 0.25: kept
                        single(3, "edge-hi", "e3", 0.5),  // SF 4: kept
                        single(4, "high", "e4", 0.4)};    // SF 5: dropped
  Selection s = select(flatTarget(), parameters(4), motions);
  EXPECT_EQ(s.candidates, 4u);
  EXPECT_EQ(s.withinLimits, 2u);
  ASSERT_EQ(s.members.size(), 2u);
  for (const Member& m : s.members) EXPECT_TRUE(m.name.starts_with("edge")) << m.name;
  // Fewer than were asked for: the suite fails on that item.
  EXPECT_FALSE(s.pass);
  EXPECT_EQ(s.check.verdicts.back().item, msg::kItemSuiteCount);
  EXPECT_EQ(s.check.verdicts.back().detail, "набрано 2 из 4");

  SelectionParameters wide = parameters(4);
  wide.scaleMin = 0.1;
  wide.scaleMax = 10;
  EXPECT_EQ(select(flatTarget(), wide, motions).members.size(), 4u);

  // Nothing within the limits: an empty suite that fails, no throw.
  SelectionParameters narrow = parameters(2);
  narrow.scaleMin = narrow.scaleMax = 3;
  s = select(flatTarget(), narrow, motions);
  EXPECT_TRUE(s.members.empty());
  EXPECT_FALSE(s.pass);
  EXPECT_NE(selectionText(s).find(std::string(msg::kSuiteNoneWithin) + "\nFAIL\n"),
            std::string::npos);
}

TEST(SuiteSelection, RankingAndAtMostKOfOneEvent) {
  // The misfit grows with the spread of the four values; the flat ones fit exactly.
  const auto motions = {single(1, "a3", "A", 1.0, {1.0, 1.0, 1.0, 1.6}), single(2, "a1", "A", 1.0),
                        single(3, "a2", "A", 1.0, {1.0, 1.0, 1.0, 1.2}),
                        single(4, "b1", "B", 1.0, {1, 1, 1, 1.1}),
                        single(5, "b2", "B", 1.0, {1.0, 1.0, 1.0, 1.4}),
                        // no event in the metadata: the folder stands for it
                        single(6, "c1", "", 1.0, {1.0, 1.0, 1.0, 1.3})};
  Selection s = select(flatTarget(), parameters(6), motions);
  std::vector<std::string> order;
  for (const Member& m : s.members) order.push_back(m.name);
  EXPECT_EQ(order, (std::vector<std::string>{"a1", "b1", "a2", "c1", "b2", "a3"}));
  for (std::size_t i = 0; i < s.members.size(); ++i) {
    EXPECT_EQ(s.members[i].rank, i + 1);
    if (i) {
      EXPECT_LE(s.members[i - 1].mse, s.members[i].mse);
    }
  }
  EXPECT_EQ(s.members[3].event, "/r");

  SelectionParameters one = parameters(6);
  one.maxPerEvent = 1;
  s = select(flatTarget(), one, motions);
  order.clear();
  for (const Member& m : s.members) order.push_back(m.name);
  EXPECT_EQ(order, (std::vector<std::string>{"a1", "b1", "c1"}));

  // Equal misfits: by name, then by id, the same suite on every run.
  const auto ties = {single(9, "z", "A", 1.0), single(7, "m", "B", 1.0), single(8, "m", "C", 1.0)};
  s = select(flatTarget(), parameters(3), ties);
  EXPECT_EQ(s.members[0].motionId, 7);
  EXPECT_EQ(s.members[1].motionId, 8);
  EXPECT_EQ(s.members[2].motionId, 9);
}

TEST(SuiteSelection, PairsTakeTheirRotDAndComponentsGoAlone) {
  library::Motion pair;
  pair.id = 5;
  pair.name = "RSN1";
  pair.event = "Quake";
  pair.components = {component("/r/RSN1_H1.AT2", 1.0, {}, 1.5),
                     component("/r/RSN1_H2.AT2", 0.5, {}, 2.5)};
  pair.rotd50.assign(library::kSpectrumPoints, 0.8);
  pair.rotd100.assign(library::kSpectrumPoints, 1.6);
  const auto motions = {pair, single(6, "alone", "Other", 1.0)};

  SelectionParameters p = parameters(2);
  p.pairs = true;
  Selection s = select(flatTarget(), p, motions);  // asce7: RotD100
  ASSERT_EQ(s.members.size(), 1u);                 // a single component is no pair
  EXPECT_EQ(s.members[0].name, "RSN1");
  EXPECT_NEAR(s.members[0].fitFactor, 2.0 / 1.6, 1e-15);
  EXPECT_EQ(s.members[0].pga, 2.5);
  ASSERT_EQ(s.members[0].files.size(), 2u);
  EXPECT_EQ(s.members[0].files[1].path, "/r/RSN1_H2.AT2");

  SelectionParameters e = p;
  e.rule = fourPoints(check::Rule::Ec8);
  e.rule.t1 = 1.0;  // 0.2 … 2 s, narrowed by --tmin/--tmax to the four points
  s = select(flatTarget(), e, motions);  // ec8: RotD50
  ASSERT_EQ(s.members.size(), 1u);
  EXPECT_NEAR(s.members[0].fitFactor, 2.0 / 0.8, 1e-15);

  // Without --pairs each component is a candidate of its own, named by its file.
  s = select(flatTarget(), parameters(3), motions);
  ASSERT_EQ(s.members.size(), 3u);
  std::vector<std::string> names;
  for (const Member& m : s.members) names.push_back(m.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"RSN1_H1", "RSN1_H2", "alone"}));
}

TEST(SuiteSelection, VerticalComponentsAnswerOnlyAVerticalTarget) {
  library::Motion up = single(7, "UP", "Quake", 1.0);
  up.components[0].vertical = true;
  const auto motions = {single(6, "alone", "Other", 1.0), up};
  Selection s = select(flatTarget(), parameters(2), motions);
  ASSERT_EQ(s.members.size(), 1u);  // a horizontal target: the vertical one is no candidate
  EXPECT_EQ(s.members[0].name, "alone");
  SelectionParameters v = parameters(2);
  v.vertical = true;
  s = select(flatTarget(), v, motions);
  ASSERT_EQ(s.members.size(), 1u);
  EXPECT_EQ(s.members[0].name, "UP");
}

// Eleven motions whose fit leaves the mean at 0.707 of the target on two of the four points.
std::vector<library::Motion> elevenShort() {
  std::vector<library::Motion> motions;
  for (int i = 0; i < 11; ++i)
    motions.push_back(single(i + 1, "m" + std::to_string(i + 10), "e" + std::to_string(i), 1.0,
                             {1.0, 1.0, 0.5, 0.5}));
  return motions;
}

TEST(SuiteRule, TheMeanJustShortIsRaisedExactlyToTheBand) {
  // Fit: SF = 2√2; scaled 2√2, 2√2, √2, √2 against 2: the least ratio √2/2 = 0.7071. The
  // multiplier that lifts it to 0.9 is 0.9/0.7071 = 1.2727922; the factor becomes
  // 2√2 · 0.9·√2 = 3.6 exactly, within the limit 4.
  const Selection s = select(flatTarget(), parameters(11), elevenShort());
  ASSERT_EQ(s.members.size(), 11u);
  EXPECT_NEAR(s.multiplier, 0.9 * std::sqrt(2.0), 1e-14);
  EXPECT_FALSE(s.multiplierRefused);
  for (const Member& m : s.members) {
    EXPECT_NEAR(m.factor, 3.6, 1e-13);
    EXPECT_NEAR(m.fitFactor, 2 * std::sqrt(2.0), 1e-15);
  }
  EXPECT_NEAR(s.check.lowest.ratio, 0.9, 1e-13);
  EXPECT_TRUE(s.pass);
  const std::string text = selectionText(s);
  EXPECT_NE(text.find(msg::multiplierApplied("1.27279")), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("да   не менее 11 записей (записей: 11)\nPASS\n")) << text;

  // A suite that meets the rule as fitted gets no multiplier.
  std::vector<library::Motion> flat;
  for (int i = 0; i < 11; ++i) flat.push_back(single(i + 1, "f" + std::to_string(i), "e", 1.0));
  const Selection f = select(flatTarget(), parameters(11), flat);
  EXPECT_EQ(f.multiplier, 1.0);
  EXPECT_TRUE(f.pass);
  EXPECT_EQ(selectionText(f).find("общий множитель"), std::string::npos);
}

TEST(SuiteRule, AMultiplierBeyondTheScaleLimitFails) {
  SelectionParameters p = parameters(11);
  p.scaleMax = 3.5;  // the fit factor 2.83 is within it, the raised 3.6 is not
  const Selection s = select(flatTarget(), p, elevenShort());
  ASSERT_EQ(s.members.size(), 11u);
  EXPECT_TRUE(s.multiplierRefused);
  EXPECT_EQ(s.multiplier, 1.0);
  EXPECT_NEAR(s.multiplierNeeded, 0.9 * std::sqrt(2.0), 1e-14);
  for (const Member& m : s.members) EXPECT_EQ(m.factor, m.fitFactor);
  EXPECT_FALSE(s.pass);
  const check::Verdict& last = s.check.verdicts.back();
  EXPECT_EQ(last.item, msg::kItemMultiplier);
  EXPECT_EQ(last.detail, "нужен 1.27279, наибольший масштаб стал бы 3.6 > 3.5");
  EXPECT_FALSE(last.pass);
  EXPECT_TRUE(selectionText(s).ends_with("FAIL\n"));
}

TEST(SuiteRule, Asce7CountsElevenAndEc8TheMeanPeak) {
  // Ten flat motions meet the mean but not the count of ASCE 7-16 §16.2.2.
  std::vector<library::Motion> ten;
  for (int i = 0; i < 10; ++i) ten.push_back(single(i + 1, "f" + std::to_string(i), "e", 1.0));
  Selection s = select(flatTarget(), parameters(10), ten);
  EXPECT_FALSE(s.pass);
  int countItems = 0;
  for (const auto& v : s.check.verdicts)
    if (v.item == msg::kItemAsce7Count) {
      ++countItems;
      EXPECT_FALSE(v.pass);
      EXPECT_EQ(v.detail, "записей: 10");
    }
  EXPECT_EQ(countItems, 1);

  // ec8: the mean spectrum fits, the mean peak (0.5 × SF 2 = 1) is half the target's zero-period
  // value (2): the multiplier 2 lifts the peak, and the spectrum with it.
  std::vector<library::Motion> three;
  for (int i = 0; i < 3; ++i)
    three.push_back(single(i + 1, "p" + std::to_string(i), "e", 1.0, {}, 0.5));
  SelectionParameters e = parameters(3, check::Rule::Ec8);
  e.rule.t1 = 1.0;
  s = select(flatTarget(), e, three);
  EXPECT_NEAR(s.multiplier, 2.0, 1e-15);
  EXPECT_NEAR(s.members[0].factor, 4.0, 1e-15);
  EXPECT_NEAR(s.members[0].scaledPga(), 2.0, 1e-15);
  EXPECT_TRUE(s.pass);
}

TEST(SuiteRule, TheTargetFileSpanLimitsTheFitAsItLimitsTheCheck) {
  // A file target from 1.02 to 1.06 Hz covers the middle two of the four points only: the
  // outer ones are not judged by the check, and not fitted either.
  const check::Target narrow = check::tableTarget({1.02, 1.06}, {2.0, 2.0}, "/t/narrow.spv");
  const auto motions = {single(1, "A", "e", 1.0, {100.0, 1.0, 0.5, 100.0})};
  const Selection s = select(narrow, parameters(1), motions);
  ASSERT_EQ(s.members.size(), 1u);
  // ln SF = (ln 2 + ln 4)/2 = 1.5·ln 2 and MSE = (0.5·ln 2)², the same as the four points gave.
  EXPECT_NEAR(s.members[0].fitFactor, 2 * std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(s.members[0].mse, std::log(2.0) * std::log(2.0) / 4, 1e-16);
  EXPECT_TRUE(s.check.cutByTarget);
  const std::vector<bool> mask = judgedPoints(narrow, fourPoints());
  EXPECT_EQ(std::count(mask.begin(), mask.end(), true), 2);
  EXPECT_TRUE(mask[kFirst + 1] && mask[kFirst + 2]);
}

TEST(SuiteRule, CallsNoSuiteCanAnswerAreRefused) {
  const auto motions = {single(1, "A", "e", 1.0)};
  auto error = [&](SelectionParameters p) -> std::string {
    try {
      select(flatTarget(), p, motions);
    } catch (const AppError& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(error(parameters(0)), msg::kSuiteCount);
  SelectionParameters p = parameters(1);
  p.scaleMin = 5;
  EXPECT_EQ(error(p), msg::kSuiteScaleLimits);
  p = parameters(1);
  p.rule.damping = 0.02;  // the library has 5 % spectra only
  EXPECT_EQ(error(p), msg::kSuiteLibrarySpectra);
  p = parameters(1);
  p.rule.quantity = analysis::Quantity::Sa;
  EXPECT_EQ(error(p), msg::kSuiteLibrarySpectra);
  p = parameters(1, check::Rule::Ec8);  // no T1
  EXPECT_EQ(error(p), msg::kNeedT1);
  p = parameters(1);
  p.rule.tmin = 100;  // beyond the grid's longest period: nothing judged
  p.rule.tmax = 200;
  EXPECT_EQ(error(p), msg::kEmptyRange);
}

// ---------------------------------------------------------------------------------------------

TEST(SuiteFile, RoundTripKeepsEveryBit) {
  library::Motion pair;
  pair.id = 5;
  pair.name = "RSN, \"quoted\"";
  pair.event = "Quake 1";
  pair.components = {component("/r/a b/RSN1_H1.AT2", 1.0), component("/r/RSN1_H2.AT2", 0.5)};
  pair.components[1].format = "";
  pair.components[1].channel = 2;
  pair.rotd50.assign(library::kSpectrumPoints, 0.7);
  pair.rotd100.assign(library::kSpectrumPoints, 1.3);
  SelectionParameters p = parameters(2);
  p.pairs = true;
  p.maxPerEvent = 3;
  p.scaleMin = 0.3;
  Selection s = select(flatTarget(), p, {pair});
  const std::string text = suiteFileText(s);
  const Selection back = parseSuiteFile(text, "/tmp/s.csv");
  EXPECT_EQ(suiteFileText(back), text);
  ASSERT_EQ(back.members.size(), 1u);
  const Member& m = back.members[0];
  EXPECT_EQ(m.name, pair.name);
  EXPECT_EQ(m.event, "Quake 1");
  EXPECT_EQ(m.factor, s.members[0].factor);
  EXPECT_EQ(m.fitFactor, s.members[0].fitFactor);
  EXPECT_EQ(m.mse, s.members[0].mse);
  ASSERT_EQ(m.files.size(), 2u);
  EXPECT_EQ(m.files[0].path, "/r/a b/RSN1_H1.AT2");
  EXPECT_EQ(m.files[1].channel, 2);
  EXPECT_EQ(m.files[1].format, "");
  EXPECT_EQ(back.targetText, "/t/flat.spv");
  EXPECT_EQ(back.parameters.rule.rule, check::Rule::Asce7);
  EXPECT_EQ(back.parameters.rule.tmin, 0.933);
  EXPECT_FALSE(back.parameters.rule.t1.has_value());
  EXPECT_EQ(back.parameters.maxPerEvent, 3u);
  EXPECT_EQ(back.parameters.scaleMin, 0.3);
  EXPECT_TRUE(back.parameters.pairs);
}

TEST(SuiteFile, DamagedFilesAreRefusedNamingTheLine) {
  const std::string good = suiteFileText(
      select(flatTarget(), parameters(2), {single(1, "A", "e", 1.0), single(2, "B", "e", 1.1)}));
  auto error = [](const std::string& text) -> std::string {
    try {
      parseSuiteFile(text, "s.csv");
    } catch (const AppError& e) {
      return e.what();
    }
    return "";
  };
  ASSERT_EQ(error(good), "");
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    const auto at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return t.replace(at, from.size(), to);
  };
  // Cut before its end line (a copy that stopped half way).
  EXPECT_EQ(error(good.substr(0, good.rfind("end,"))),
            "s.csv: строка 21: файл оборван: нет последней строки «end,N» с числом записей");
  // Cut inside the last member line: its path is gone, or fields with it.
  EXPECT_EQ(error(good.substr(0, good.find("/r/B.AT2"))),
            "s.csv: строка 20: путь к файлу записи должен быть абсолютным");
  EXPECT_EQ(error(good.substr(0, good.find(",/r/B.AT2") - 2)),
            "s.csv: строка 20: строка записи набора должна иметь 12 или 15 полей");
  EXPECT_EQ(error(replaced("end,2", "end,3")),
            "s.csv: строка 21: число записей в строке end не совпадает");
  EXPECT_EQ(error(good + "junk\n"), "s.csv: строка 22: после строки end ничего не должно быть");
  EXPECT_EQ(error(replaced("accelspec-suite,1", "accelspec-suite,2")),
            "s.csv: строка 1: файл набора более новой версии");
  EXPECT_EQ(error("rank,motion\n"),
            std::string("s.csv: строка 1: ") + std::string(msg::kSuiteHeader));
  EXPECT_EQ(error(""), std::string("s.csv: строка 1: ") + std::string(msg::kSuiteHeader));
  EXPECT_EQ(error(replaced("rule,asce7", "rule,ec9")),
            "s.csv: строка 3: " + std::string(msg::kBadRule));
  EXPECT_EQ(error(replaced("damping,0.05", "damping,x")), "s.csv: строка 4: ожидается число");
  EXPECT_EQ(error(replaced("pairs,0", "pairs,yes")), "s.csv: строка 11: ожидается ключ «pairs»");
  EXPECT_EQ(error(replaced("scale_min,0.25", "scale_min,5")),
            std::string("s.csv: строка 13: ") + std::string(msg::kSuiteScaleLimits));
  EXPECT_EQ(error(replaced("/r/A.AT2", "r/A.AT2")),
            "s.csv: строка 19: путь к файлу записи должен быть абсолютным");
  EXPECT_EQ(error(replaced("\n2,B,", "\n3,B,")),
            "s.csv: строка 20: номера записей должны идти по порядку с 1");
  EXPECT_EQ(error(replaced("\nmin_ratio,", "\nmin-ratio,")),
            "s.csv: строка 9: ожидается ключ «min_ratio»");
  EXPECT_EQ(error(replaced("\n1,A,e,", "\n1,\"A,e,")), "s.csv: строка 19: незакрытая кавычка");
  // A factor of zero, negative or not finite would export a silent or flipped record.
  for (const char* bad : {"0", "-1", "nan", "inf"}) {
    std::string t = good;
    const auto line = t.find("\n1,A,e,") + 7;
    t.replace(line, t.find(',', line) - line, bad);
    EXPECT_NE(error(t), "") << bad;
  }
  // Line ends written by another system read the same.
  std::string crlf;
  for (char ch : good) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  EXPECT_EQ(error(crlf), "");
}

TEST(SuiteFile, ASuiteReadBackIsJudgedAsItWasWritten) {
  // The multiplier the file states stays; no new one is sought.
  Selection s = select(flatTarget(), parameters(11), elevenShort());
  Selection back = parseSuiteFile(suiteFileText(s), "s.csv");
  for (std::size_t i = 0; i < back.members.size(); ++i)
    back.members[i].spectrum = s.members[i].spectrum;
  judge(flatTarget(), back, false);
  EXPECT_TRUE(back.pass);
  EXPECT_NEAR(back.multiplier, s.multiplier, 0);
  EXPECT_EQ(selectionText(back).substr(selectionText(back).find("rank")),
            selectionText(s).substr(selectionText(s).find("rank")));
  // A member whose factor was lowered by hand now fails, and is not raised again.
  for (Member& m : back.members) m.factor = m.fitFactor;
  judge(flatTarget(), back, false);
  EXPECT_FALSE(back.pass);
  EXPECT_NEAR(back.check.lowest.ratio, std::sqrt(2.0) / 2, 1e-13);
}

}  // namespace
}  // namespace accelspec::suites
