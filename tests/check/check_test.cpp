// SPDX-License-Identifier: MIT
// Targets and the rules of the compatibility check, on hand-made spectra whose verdicts are
// known.

#include "check/check.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check/check_messages.hpp"
#include "check/target.hpp"
#include "data/error.hpp"
#include "records/record.hpp"

namespace accelspec::check {
namespace {

constexpr double g = records::kStandardGravity;

std::string errorOf(const std::string& text) {
  try {
    parseTarget(text);
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

TEST(Target, Ec8ValuesOfTheWorkedExample) {
  const Target t = parseTarget("ec8:1:B:" + std::to_string(0.3 * g));
  EXPECT_NEAR(t.valueAt(1 / 0.3) / g, 0.90, 1e-9);  // plateau
  EXPECT_NEAR(t.valueAt(1 / 0.5) / g, 0.90, 1e-9);  // TC ends it
  EXPECT_NEAR(t.valueAt(1.0) / g, 0.45, 1e-9);
  EXPECT_NEAR(t.valueAt(1 / 3.0) / g, 0.10, 1e-9);
  EXPECT_NEAR(t.valueAt(1 / 8.0) / g, 0.90 * 0.5 * 2 / 64, 1e-9);  // continues past 4 s
  EXPECT_NEAR(t.valueAt(1e12) / g, 0.36, 1e-9);                    // ag·S at T -> 0
  EXPECT_NEAR(t.zeroPeriodValue() / g, 0.36, 1e-9);
  EXPECT_NEAR(t.valueAt(1 / 0.075) / g, 0.36 * (1 + 0.5 * 1.5), 1e-9);  // rising branch
}

TEST(Target, Ec8DampingCorrection) {
  const Target t = parseTarget("ec8:2:D:1");  // S 1.8, plateau 0.1–0.3 s
  const double plateau5 = 2.5 * 1.8;
  struct Case {
    double damping, eta;
  } cases[] = {{0.05, 1.0},
               {0.10, std::sqrt(10.0 / 15.0)},
               {0.02, std::sqrt(10.0 / 7.0)},
               {0.30, 0.55}};  // √(10/35) = 0.53 is held at 0.55
  for (const auto& c : cases)
    EXPECT_NEAR(t.valueAt(5.0, c.damping), plateau5 * c.eta, 1e-12) << c.damping;
  EXPECT_NEAR(t.valueAt(1e9, 0.10), 1.8, 1e-6);  // η does not reach the zero-period value
}

TEST(Target, Rg160ControlPoints) {
  const Target t = parseTarget("rg160:0.3");
  struct Case {
    double frequency, value;  // g
  } cases[] = {{33, 0.3},
               {100, 0.3},
               {9, 0.783},
               {2.5, 0.939},
               {0.25, 0.141489},
               {0.125, 0.141489 / 4},
               {std::sqrt(9.0 * 33.0), 0.3 * std::sqrt(2.61)}};
  for (const auto& c : cases) EXPECT_NEAR(t.valueAt(c.frequency) / g, c.value, 1e-5) << c.frequency;
  EXPECT_NEAR(t.zeroPeriodValue() / g, 0.3, 1e-12);
  EXPECT_FALSE(t.supportsDamping(0.02));
  EXPECT_THROW(t.valueAt(5.0, 0.02), AppError);
}

class TargetFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path = (std::filesystem::temp_directory_path() /
            ("check_target_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ".spv"))
               .string();
  }
  void TearDown() override { std::filesystem::remove(path); }
  void put(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  std::string path;
};

TEST_F(TargetFile, LogLogBetweenPointsConstantBeyond) {
  put("1 1\n10 100\n20 50\n");
  const Target t = parseTarget(path);
  struct Case {
    double frequency, value;
  } cases[] = {
      {0.01, 1}, {1, 1},    {std::sqrt(10.0), 10}, {10, 100}, {std::sqrt(200.0), std::sqrt(5000.0)},
      {20, 50},  {1000, 50}};
  for (const auto& c : cases)
    EXPECT_NEAR(t.valueAt(c.frequency), c.value, 1e-9 * c.value) << c.frequency;
  EXPECT_EQ(t.zeroPeriodValue(), 50);
  EXPECT_EQ(t.valueAt(5, 0.02), t.valueAt(5, 0.05));
}

TEST_F(TargetFile, RefusedFiles) {
  struct Case {
    std::string text;
    std::string_view why;
  } cases[] = {{"", msg::kSpvEmpty},           {"1 1\n1 2\n", msg::kSpvOrder},
               {"2 1\n1 2\n", msg::kSpvOrder}, {"0 1\n", msg::kSpvOrder},
               {"1 0\n", msg::kSpvValue},      {"1 -3\n", msg::kSpvValue}};
  for (const auto& c : cases) {
    put(c.text);
    EXPECT_EQ(errorOf(path), msg::badTarget(path, c.why)) << c.text;
  }
  put("1 x\n");
  EXPECT_EQ(errorOf(path).rfind(msg::badTarget(path, ""), 0), 0u);
  std::filesystem::remove(path);
  EXPECT_EQ(errorOf(path).rfind(msg::badTarget(path, ""), 0), 0u);
}

TEST(Target, RefusedTexts) {
  struct Case {
    const char* text;
    std::string_view why;
  } cases[] = {{"ec8:3:B:1", msg::kEc8Form},
               {"ec8:1:F:1", msg::kEc8Form},
               {"ec8:1:b:1", msg::kEc8Form},
               {"ec8:1:B:0", msg::kEc8Form},
               {"ec8:1:B:-2", msg::kEc8Form},
               {"ec8:1:B", msg::kEc8Form},
               {"ec8:1:B:1:2", msg::kEc8Form},
               {"ec8:1:BB:1", msg::kEc8Form},
               {"ec8:1:B:inf", msg::kEc8Form},
               {"rg160:", msg::kRg160Form},
               {"rg160:0", msg::kRg160Form},
               {"rg160:1,5", msg::kRg160Form},
               {"rg160:0.3:1", msg::kRg160Form},
               {"", msg::kTargetForms},
               // Values beyond the double range: the plateau of ec8, 3.13·PGA of rg160.
               {"ec8:1:B:1e308", msg::kTargetBeyondRange},
               {"ec8:2:D:4e307", msg::kTargetBeyondRange},
               {"rg160:1e307", msg::kTargetBeyondRange},
               // Values below the normal doubles, where the ratios to them would be inf.
               {"ec8:1:B:1e-320", msg::kTargetBeyondRange},
               {"rg160:1e-310", msg::kTargetBeyondRange}};
  for (const auto& c : cases) EXPECT_EQ(errorOf(c.text), msg::badTarget(c.text, c.why)) << c.text;
  // The largest that still fit.
  for (const char* text : {"ec8:2:D:1e307", "rg160:5e306"}) {
    const Target t = parseTarget(text);
    const double damping = t.supportsDamping(0) ? 0 : 0.05;
    for (double f : {0.01, 1.0, 3.0, 100.0})
      EXPECT_TRUE(std::isfinite(t.valueAt(f, damping))) << text << " " << f;
  }
}

TEST(Target, Descriptions) {
  const struct {
    const char* text;
    const char* description;
  } rows[] = {{"ec8:1:B:2.943", "ec8, тип 1, грунт B, ag 2.943 м/с²"},
              {"ec8:2:E:1", "ec8, тип 2, грунт E, ag 1 м/с²"},
              {"rg160:0.3", "rg160, PGA 0.3 g"}};
  for (const auto& row : rows) EXPECT_EQ(describeTarget(parseTarget(row.text)), row.description);
}

TEST(CheckGrid, HundredPointsADecadeUpToFiftyHertzOrNyquist) {
  struct Case {
    double dt;
    std::size_t points;
    double last;
  } cases[] = {{0.01, 270, 0.1 * std::pow(10.0, 2.69)},
               {0.005, 270, 0.1 * std::pow(10.0, 2.69)},
               {0.02, 240, 0.1 * std::pow(10.0, 2.39)},
               {1.0 / 0.2, 1, 0.1},
               {6.0, 0, 0}};
  for (const auto& c : cases) {
    const auto grid = checkGrid(c.dt);
    ASSERT_EQ(grid.size(), c.points) << c.dt;
    if (grid.empty()) continue;
    EXPECT_EQ(grid.front().frequency, 0.1);
    EXPECT_NEAR(grid.back().frequency, c.last, 1e-12 * c.last);
    EXPECT_EQ(grid.back().period, 1.0 / grid.back().frequency);
  }
  EXPECT_TRUE(checkGrid(0).empty());
  EXPECT_TRUE(checkGrid(NAN).empty());
}

// A record whose spectrum is the target times factor(j) at grid point j.
struct Case {
  Target target = parseTarget("ec8:1:B:3");
  std::vector<analysis::GridPoint> grid = checkGrid(0.01);
  CheckRecord record(const std::string& name, auto factor, double dt = 0.01,
                     std::size_t samples = 2000) const {
    CheckRecord r;
    r.name = name;
    r.dt = dt;
    r.samples = samples;
    r.zeroPeriod = target.zeroPeriodValue();
    for (std::size_t j = 0; j < grid.size(); ++j)
      r.spectrum.push_back(target.valueAt(grid[j].frequency) * factor(j));
    return r;
  }
  CheckResult srp(const std::vector<CheckRecord>& records) const {
    RuleParameters p;
    p.rule = Rule::Srp;
    return evaluateRule(target, p, grid, records);
  }
};

const Verdict& verdict(const CheckResult& r, std::string_view item, std::string_view record = "") {
  for (const auto& v : r.verdicts)
    if (v.item == item && v.record == record) return v;
  throw std::runtime_error("no verdict " + std::string(item));
}

TEST(Srp, SpectrumEqualToTheTargetPasses) {
  const Case c;
  const auto r = c.srp({c.record("a", [](std::size_t) { return 1.0; })});
  EXPECT_TRUE(r.pass);
  EXPECT_EQ(r.verdicts.size(), 5u);
  for (const auto& v : r.verdicts) EXPECT_TRUE(v.pass) << v.item;
  EXPECT_EQ(r.longestBelowOne.length, 0u);
  const std::string text = checkText(r);
  EXPECT_EQ(text.substr(text.size() - 5), "PASS\n");
  EXPECT_NE(text.find("самая длинная серия ниже 1.0: нет\n"), std::string::npos);
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "# srp, цель ec8, тип 1, грунт B, ag 3 м/с², затухание 0.05, psa");
}

TEST(Srp, OnePointAtEightyFivePerCentFailsAndIsNamed) {
  const Case c;
  const std::size_t k = 140;  // 2.51189 Hz
  const auto r = c.srp({c.record("a", [k](std::size_t j) { return j == k ? 0.85 : 1.0; })});
  EXPECT_FALSE(r.pass);
  const Verdict& low = verdict(r, "все отношения ≥ 0.9", "a");
  EXPECT_FALSE(low.pass);
  EXPECT_EQ(low.detail, "наименьшее 0.85 при 2.51189 Гц (0.398107 с)");
  EXPECT_TRUE(verdict(r, "не более 9 соседних точек ниже 1.0", "a").pass);
  EXPECT_EQ(r.lowest.point, k);
  const std::string text = checkText(r);
  EXPECT_NE(text.find("наименьшее отношение: 0.85 при 2.51189 Гц (0.398107 с)\n"),
            std::string::npos);
  EXPECT_NE(
      text.find("нет  a: все отношения ≥ 0.9 (наименьшее 0.85 при 2.51189 Гц (0.398107 с))\n"),
      std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 5), "FAIL\n");
}

TEST(Srp, NineAdjacentPointsBelowOnePassTenFail) {
  const Case c;
  struct Run {
    std::size_t length;
    bool pass;
    const char* found;
  } runs[] = {{9, true, "самая длинная серия: 9 точек, 0.316228–0.380189 Гц"},
              {10, false, "самая длинная серия: 10 точек, 0.316228–0.389045 Гц"}};
  for (const auto& run : runs) {
    const auto r = c.srp({c.record(
        "a", [&](std::size_t j) { return j >= 50 && j < 50 + run.length ? 0.95 : 1.0; })});
    EXPECT_EQ(r.pass, run.pass) << run.length;
    EXPECT_EQ(r.longestBelowOne.length, run.length);
    EXPECT_EQ(r.longestBelowOne.first, 50u);
    EXPECT_EQ(verdict(r, "не более 9 соседних точек ниже 1.0", "a").pass, run.pass);
    EXPECT_EQ(verdict(r, "не более 9 соседних точек ниже 1.0", "a").detail, run.found);
  }
  // Two runs of nine split by one point at 1.0 are two runs.
  const auto r = c.srp({c.record(
      "a", [](std::size_t j) { return (j >= 50 && j < 59) || (j >= 60 && j < 69) ? 0.95 : 1.0; })});
  EXPECT_TRUE(r.pass);
}

TEST(Srp, BandsStepAndDuration) {
  const Case c;
  struct Row {
    double factor, dt;
    std::size_t samples;
    const char* failing;  // the one item that fails, or nullptr
  } rows[] = {{1.3, 0.01, 2000, nullptr},
              {1.31, 0.01, 2000, "все отношения ≤ 1.3"},
              {0.9, 0.01, 2000, "не более 9 соседних точек ниже 1.0"},
              {1.0, 0.02, 1000, "шаг не более 0.01 с"},
              {1.0, 0.01, 1999, "длительность не менее 20 с"},
              {1.0, 0.005, 4000, nullptr}};
  for (const auto& row : rows) {
    const auto r = c.srp({c.record(
        "a", [&](std::size_t) { return row.factor; }, row.dt, row.samples)});
    for (const auto& v : r.verdicts)
      EXPECT_EQ(v.pass, row.failing == nullptr || v.item != row.failing)
          << v.item << " at factor " << row.factor << " dt " << row.dt;
    EXPECT_EQ(r.pass, row.failing == nullptr);
  }
}

TEST(Srp, SeveralRecordsEachJudgedAndListed) {
  const Case c;
  const auto r = c.srp({c.record("a", [](std::size_t) { return 1.1; }),
                        c.record("b", [](std::size_t j) { return j == 7 ? 0.8 : 1.0; })});
  EXPECT_FALSE(r.pass);
  EXPECT_TRUE(verdict(r, "все отношения ≥ 0.9", "a").pass);
  EXPECT_FALSE(verdict(r, "все отношения ≥ 0.9", "b").pass);
  EXPECT_EQ(r.lowest.record, 1);
  EXPECT_NEAR(r.points[0].ratio, 1.05, 1e-12);  // the mean
  const std::string text = checkText(r);
  EXPECT_NE(text.find("ratio  ratio_a  ratio_b\n"), std::string::npos);
  EXPECT_NE(text.find("наименьшее отношение: 0.8 при "), std::string::npos);
  EXPECT_NE(text.find(", b\n"), std::string::npos);
  const std::string csv = checkCsv(r);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "frequency_hz,period_s,target_m_s2,mean_m_s2,ratio,ratio_a,ratio_b");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 271);
  const auto quoted = c.srp({c.record("x,1", [](std::size_t) { return 1.0; }),
                             c.record("say \"y\"", [](std::size_t) { return 1.0; })});
  const std::string q = checkCsv(quoted);
  EXPECT_EQ(
      q.substr(0, q.find('\n')),
      "frequency_hz,period_s,target_m_s2,mean_m_s2,ratio,\"ratio_x,1\",\"ratio_say \"\"y\"\"\"");
}

TEST(Ec8, TwoRecordsFailOnTheCountAlone) {
  const Case c;
  RuleParameters p;
  p.rule = Rule::Ec8;
  p.t1 = 1.0;
  const auto one = [](std::size_t) { return 1.0; };
  const auto two = evaluateRule(c.target, p, c.grid, {c.record("a", one), c.record("b", one)});
  EXPECT_FALSE(two.pass);
  EXPECT_FALSE(verdict(two, "не менее 3 записей").pass);
  EXPECT_EQ(verdict(two, "не менее 3 записей").detail, "2 записи");
  EXPECT_TRUE(verdict(two, "средний спектр ≥ 0.9 цели от 0.2·T1 до 2·T1").pass);
  EXPECT_TRUE(verdict(two, "среднее пиковое ускорение грунта ≥ ag·S").pass);
  EXPECT_EQ(verdict(two, "среднее пиковое ускорение грунта ≥ ag·S").detail,
            "среднее 3.6 м/с², цель 3.6 м/с²");
  const auto three = evaluateRule(c.target, p, c.grid,
                                  {c.record("a", one), c.record("b", one), c.record("c", one)});
  EXPECT_TRUE(three.pass);
}

// Callers tell the items apart by kind (matching forgives the set's count to a single record),
// so each item must carry the right one whatever its wording.
TEST(Verdicts, EachItemCarriesItsKind) {
  const Case c;
  const auto one = [](std::size_t) { return 1.0; };
  RuleParameters ec8;
  ec8.rule = Rule::Ec8;
  ec8.t1 = 1.0;
  RuleParameters asce7;
  asce7.rule = Rule::Asce7;
  asce7.minRatio = 1.1;
  const struct Row {
    CheckResult result;
    std::vector<std::pair<ItemKind, std::string>> items;
  } rows[] = {
      {c.srp({c.record("a", one)}),
       {{ItemKind::RatioAtLeast, "все отношения ≥ 0.9"},
        {ItemKind::RatioAtMost, "все отношения ≤ 1.3"},
        {ItemKind::RunBelowOne, "не более 9 соседних точек ниже 1.0"},
        {ItemKind::Step, "шаг не более 0.01 с"},
        {ItemKind::Duration, "длительность не менее 20 с"}}},
      {evaluateRule(c.target, ec8, c.grid, {c.record("a", one)}),
       {{ItemKind::RecordCount, "не менее 3 записей"},
        {ItemKind::MeanSpectrum, "средний спектр ≥ 0.9 цели от 0.2·T1 до 2·T1"},
        {ItemKind::MeanPeak, "среднее пиковое ускорение грунта ≥ ag·S"}}},
      {evaluateRule(c.target, asce7, c.grid, {c.record("a", one)}),
       {{ItemKind::MeanSpectrum, "средний спектр ≥ 1.1 цели"}}},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(row.result.verdicts.size(), row.items.size());
    for (std::size_t i = 0; i < row.items.size(); ++i) {
      EXPECT_EQ(row.result.verdicts[i].kind, row.items[i].first) << i;
      EXPECT_EQ(row.result.verdicts[i].item, row.items[i].second);
    }
  }
}

TEST(Messages, CountsTakeTheirRussianForm) {
  const struct {
    std::size_t n;
    const char* text;
  } rows[] = {{0, "0 записей"},  {1, "1 запись"},    {2, "2 записи"},      {4, "4 записи"},
              {5, "5 записей"},  {11, "11 записей"}, {12, "12 записей"},   {14, "14 записей"},
              {21, "21 запись"}, {22, "22 записи"},  {111, "111 записей"}, {101, "101 запись"}};
  for (const auto& row : rows) EXPECT_EQ(msg::foundRecords(row.n), row.text);
  EXPECT_EQ(msg::runOf(1, "1", "1"), "1 точка, 1–1 Гц");
  EXPECT_EQ(msg::runOf(3, "1", "2"), "3 точки, 1–2 Гц");
}

TEST(Ec8, OnlyTheRangeAroundT1IsJudged) {
  const Case c;
  RuleParameters p;
  p.rule = Rule::Ec8;
  p.t1 = 1.0;  // 0.2–2 s: 0.5–5 Hz, k = 70 … 169 (k = 170 is 0.1995 s)
  std::size_t judged = 0;
  // Far below the target outside the range, just at 0.9 of it inside.
  const auto f = [&](std::size_t j) { return j < 70 || j > 169 ? 0.1 : 0.9; };
  const auto r =
      evaluateRule(c.target, p, c.grid, {c.record("a", f), c.record("b", f), c.record("c", f)});
  for (const auto& pt : r.points) judged += pt.judged;
  EXPECT_EQ(judged, 100u);
  EXPECT_TRUE(r.pass);
  // The mean PGA just below ag·S fails that item alone.
  auto low = c.record("c", f);
  low.zeroPeriod *= 0.97;
  const auto r2 = evaluateRule(c.target, p, c.grid, {c.record("a", f), c.record("b", f), low});
  EXPECT_FALSE(r2.pass);
  EXPECT_FALSE(verdict(r2, "среднее пиковое ускорение грунта ≥ ag·S").pass);
  p.t1.reset();
  EXPECT_THROW(evaluateRule(c.target, p, c.grid, {c.record("a", f)}), AppError);
}

TEST(Asce7, MinRatioOverThePeriodRange) {
  const Case c;
  const auto f = [](std::size_t j) { return j < 100 ? 0.5 : 1.05; };  // below 1 Hz: half
  struct Row {
    std::optional<double> tmin, tmax;
    double minRatio;
    bool pass;
  } rows[] = {{0.1, 0.99, 0.9, true},
              {0.1, 0.99, 1.1, false},
              {0.1, 1.2, 0.9, false},
              {std::nullopt, 0.5, 1.05, true},
              {std::nullopt, std::nullopt, 0.9, false}};
  for (const auto& row : rows) {
    RuleParameters p;
    p.rule = Rule::Asce7;
    p.tmin = row.tmin;
    p.tmax = row.tmax;
    p.minRatio = row.minRatio;
    const auto r = evaluateRule(c.target, p, c.grid, {c.record("a", f)});
    EXPECT_EQ(r.pass, row.pass) << row.minRatio << " " << row.tmax.value_or(-1);
  }
}

// A file target has values only between its end points: RG 1.60 sampled at 0.2–22.4 Hz judges a
// record that passes rg160:0.3 only there (before, its end value held down to 0.1 Hz and the
// record failed at 0.26), and the output says the rule's range was cut.
TEST_F(TargetFile, FileTargetIsJudgedOnlyInsideItsSpan) {
  const Target rg = parseTarget("rg160:0.3");
  std::string text;
  for (double f = 0.2; f < 25.0001; f *= std::pow(10.0, 0.05))
    text += std::to_string(f) + " " + std::to_string(rg.valueAt(f)) + "\n";
  put(text);
  const Target file = parseTarget(path);
  const auto grid = checkGrid(0.005);
  CheckRecord r;
  r.name = "a";
  r.dt = 0.005;
  r.samples = 8000;
  r.zeroPeriod = rg.zeroPeriodValue();
  for (const auto& p : grid) r.spectrum.push_back(1.05 * rg.valueAt(p.frequency));
  const RuleParameters srp;
  ASSERT_TRUE(evaluateRule(rg, srp, grid, {r}).pass);
  const CheckResult res = evaluateRule(file, srp, grid, {r});
  EXPECT_TRUE(res.pass) << checkText(res);
  EXPECT_TRUE(res.cutByTarget);
  EXPECT_FALSE(res.cutByOptions);
  for (const auto& p : res.points)
    EXPECT_EQ(p.judged, p.frequency >= file.frequencies.front() * (1 - 1e-9) &&
                            p.frequency <= file.frequencies.back() * (1 + 1e-9))
        << p.frequency;
  const std::string out = checkText(res);
  const std::size_t second = out.find('\n') + 1;
  EXPECT_EQ(out.substr(second, out.find('\n', second) + 1 - second),
            "# проверяемый диапазон сужен до 0.204174–22.3872 Гц (0.0446684–4.89779 с): вне частот "
            "файла цели у неё нет значений\n");
  // The design spectra have values everywhere: nothing is cut, no such line.
  EXPECT_EQ(judgedRangeText(evaluateRule(rg, srp, grid, {r})), "");
}

// --tmin/--tmax (or --fmin/--fmax) narrow srp's and ec8's own range and are asce7's range.
TEST(Evaluate, PeriodOptionsNarrowEveryRule) {
  const Case c;
  const auto f = [](std::size_t j) { return j < 100 ? 0.5 : 1.05; };  // below 1 Hz: half
  RuleParameters p;
  EXPECT_FALSE(c.srp({c.record("a", f)}).pass);
  setPeriodRange(p, std::nullopt, std::nullopt, 1.0, std::nullopt);  // --fmin 1
  EXPECT_EQ(p.tmax, 1.0);
  EXPECT_FALSE(p.tmin);
  const auto r = evaluateRule(c.target, p, c.grid, {c.record("a", f)});
  EXPECT_TRUE(r.pass) << checkText(r);
  EXPECT_TRUE(r.cutByOptions);
  EXPECT_NE(checkText(r).find("так задан диапазон периодов\n"), std::string::npos);
  p.rule = Rule::Ec8;
  p.t1 = 1;  // 0.2–2 s narrowed to 0.2–1 s
  p.tmin = 0.01;
  const auto e = evaluateRule(c.target, p, c.grid, {c.record("a", f)});
  std::size_t judged = 0;
  for (const auto& pt : e.points) judged += pt.judged;
  EXPECT_EQ(judged, 70u);  // 1 … 5 Hz, k = 100 … 169
  // A bound given twice, or the range reversed, is refused and changes nothing.
  RuleParameters q;
  EXPECT_THROW(setPeriodRange(q, 0.1, std::nullopt, std::nullopt, 10.0), AppError);
  EXPECT_THROW(setPeriodRange(q, std::nullopt, 1.0, 2.0, std::nullopt), AppError);
  EXPECT_THROW(setPeriodRange(q, std::nullopt, std::nullopt, 5.0, 2.0), AppError);
  EXPECT_FALSE(q.tmin || q.tmax);
}

TEST(Evaluate, RefusedInputs) {
  const Case c;
  RuleParameters p;
  auto shortRecord = c.record("a", [](std::size_t) { return 1.0; });
  shortRecord.spectrum.pop_back();
  RuleParameters asce;
  asce.rule = Rule::Asce7;
  asce.tmin = 100;
  asce.tmax = 200;
  const auto one = c.record("a", [](std::size_t) { return 1.0; });
  auto nan = one;
  nan.spectrum[5] = NAN;
  auto negative = one;
  negative.spectrum[0] = -1;
  struct Row {
    RuleParameters p;
    std::vector<CheckRecord> records;
    std::string_view message;
  } rows[] = {{p, {}, msg::kNoRecords},
              {p, {shortRecord}, msg::kSpectrumLength},
              {asce, {one}, msg::kEmptyRange},
              {p, {one, nan}, msg::kSpectrumNotFinite},
              {p, {negative}, msg::kSpectrumNotFinite}};
  for (const auto& row : rows) {
    try {
      evaluateRule(c.target, row.p, c.grid, row.records);
      ADD_FAILURE() << row.message;
    } catch (const AppError& e) {
      EXPECT_EQ(e.what(), std::string(row.message));
    }
  }
  EXPECT_EQ(parseRule("asce7"), Rule::Asce7);
  EXPECT_THROW(parseRule("SRP"), AppError);
}

}  // namespace
}  // namespace accelspec::check
