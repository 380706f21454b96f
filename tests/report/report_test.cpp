// SPDX-License-Identifier: MIT
#include "report/report.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/messages.hpp"

namespace accelspec {
namespace {

using Lines = std::vector<std::string>;

class FillReport : public ::testing::Test {
 protected:
  void SetUp() override { store_ = makeStore(); }

  void setInput(const std::vector<std::pair<long double, long double>>& points) {
    store_->Mode = kModeInputSpectrum;
    store_->N = static_cast<int>(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
      store_->SpF[i + 1] = points[i].first;
      store_->SpA[i + 1] = points[i].second;
    }
  }

  void setResponse(int nf) {
    store_->Mode = kModeResponseSpectrum;
    store_->NF = nf;
    for (int j = 0; j <= nf; ++j) {
      store_->SpF[kResponseBase + j] = 0.5L + 0.25L * j;
      store_->SpA[kResponseBase + j] = 10.0L - 0.125L * j;
    }
  }

  std::unique_ptr<Store> store_;
  ReportPage page_;
};

TEST_F(FillReport, InputSpectrumWithoutPointsGivesHeadersOnly) {
  setInput({});
  fillReport(*store_, page_, '.');
  EXPECT_TRUE(page_.labelEnabled);
  EXPECT_TRUE(page_.chartEnabled);
  EXPECT_EQ(page_.heading, "Отчёт по спектру воздействий");
  EXPECT_EQ(page_.chartTitle, "СПЕКТР ВОЗДЕЙСТВИЙ");
  EXPECT_EQ(page_.frequencyLines, Lines{"Частота"});
  EXPECT_EQ(page_.accelerationLines, Lines{"Ускорение"});
  EXPECT_TRUE(page_.series.empty());
}

TEST_F(FillReport, InputSpectrumValuesInGeneralFormatAndPointsAscending) {
  struct Case {
    char sep;
    Lines frequencies, accelerations;
  };
  const Case cases[] = {
      {'.', {"Частота", "2", "0.5", "1E-5"}, {"Ускорение", "0.5", "2", "123456.25"}},
      {',', {"Частота", "2", "0,5", "1E-5"}, {"Ускорение", "0,5", "2", "123456,25"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sep);
    setInput({{2.0L, 0.5L}, {0.5L, 2.0L}, {1e-5L, 123456.25L}});
    fillReport(*store_, page_, c.sep);
    EXPECT_EQ(page_.frequencyLines, c.frequencies);
    EXPECT_EQ(page_.accelerationLines, c.accelerations);
    EXPECT_EQ(page_.decimalSeparator, c.sep);
    // The columns keep the table order; the chart line runs by ascending frequency.
    const auto& pts = page_.series.points();
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts[0].x, 1e-5);
    EXPECT_EQ(pts[1].x, 0.5);
    EXPECT_EQ(pts[1].y, 2.0);
    EXPECT_EQ(pts[2].x, 2.0);
  }
}

TEST_F(FillReport, ResponseSpectrumTakesPointsZeroToNF) {
  setResponse(56);
  store_->SpF[kResponseBase + 57] = 999;  // beyond NF: not on the page
  fillReport(*store_, page_, '.');
  EXPECT_EQ(page_.heading, "Отчёт по спектру ответов");
  EXPECT_EQ(page_.chartTitle, "СПЕКТР ОТВЕТОВ");
  ASSERT_EQ(page_.frequencyLines.size(), 58u);
  ASSERT_EQ(page_.accelerationLines.size(), 58u);
  EXPECT_EQ(page_.frequencyLines[1], "0.5");
  EXPECT_EQ(page_.accelerationLines[1], "10");
  EXPECT_EQ(page_.frequencyLines[57], "14.5");
  EXPECT_EQ(page_.accelerationLines[57], "3");
  EXPECT_EQ(page_.series.size(), 57u);
}

TEST_F(FillReport, OtherModesOnlyClearColumnsAndChart) {
  for (ModeKind mode : {kModeAccelerogram, kModeNone, ModeKind{7}, ModeKind{-1}}) {
    SCOPED_TRACE(static_cast<int>(mode));
    setInput({{1.0L, 2.0L}});
    fillReport(*store_, page_, '.');
    store_->Mode = mode;
    fillReport(*store_, page_, ',');
    EXPECT_TRUE(page_.frequencyLines.empty());
    EXPECT_TRUE(page_.accelerationLines.empty());
    EXPECT_TRUE(page_.series.empty());
    EXPECT_TRUE(page_.labelEnabled);
    EXPECT_TRUE(page_.chartEnabled);
    EXPECT_EQ(page_.heading, "Отчёт по спектру воздействий");
    EXPECT_EQ(page_.chartTitle, "СПЕКТР ВОЗДЕЙСТВИЙ");
    EXPECT_EQ(page_.decimalSeparator, '.');
  }
  // Before any fill in 1 or 3 the page stays blank.
  ReportPage fresh;
  store_->Mode = kModeAccelerogram;
  fillReport(*store_, fresh, '.');
  EXPECT_FALSE(fresh.labelEnabled);
  EXPECT_FALSE(fresh.chartEnabled);
  EXPECT_EQ(fresh.heading, "QRLabel");
}

TEST_F(FillReport, ResponseFillAfterInputFillReplacesEverything) {
  setInput({{7.0L, 8.0L}, {9.0L, 10.0L}});
  fillReport(*store_, page_, '.');
  setResponse(1);
  fillReport(*store_, page_, '.');
  EXPECT_EQ(page_.heading, "Отчёт по спектру ответов");
  EXPECT_EQ(page_.chartTitle, "СПЕКТР ОТВЕТОВ");
  EXPECT_EQ(page_.frequencyLines, (Lines{"Частота", "0.5", "0.75"}));
  EXPECT_EQ(page_.accelerationLines, (Lines{"Ускорение", "10", "9.875"}));
  ASSERT_EQ(page_.series.size(), 2u);
  EXPECT_EQ(page_.series.points()[0].x, 0.5);
}

TEST_F(FillReport, CountsBeyondTheArraysStopAtTheLastElement) {
  store_->Mode = kModeResponseSpectrum;
  store_->NF = std::numeric_limits<std::int32_t>::max();
  fillReport(*store_, page_, '.');
  EXPECT_EQ(page_.frequencyLines.size(), static_cast<std::size_t>(kMaxResponseLastIndex + 2));
  store_->Mode = kModeInputSpectrum;
  store_->N = 200000;
  fillReport(*store_, page_, '.');
  EXPECT_EQ(page_.series.size(), static_cast<std::size_t>(kArraySize - 1));
}

TEST_F(FillReport, PointBeyondDoubleRangeIsAnOverflowAfterItsTexts) {
  setInput({{1.0L, 2.0L}, {3.0L, LDBL_MAX}});
  try {
    fillReport(*store_, page_, '.');
    FAIL() << "no overflow";
  } catch (const AppError& e) {
    EXPECT_EQ(std::string(e.what()), msg::kOverflow);
  }
  EXPECT_EQ(page_.frequencyLines, (Lines{"Частота", "1", "3"}));
  EXPECT_EQ(page_.series.size(), 1u);
}

TEST(ReportLayout, ColumnsHoldFortyOneWholeLines) {
  EXPECT_EQ(linesThatFit(layout::kFrequencyMemo.height, layout::kMemoLineHeight), 41);
  EXPECT_EQ(linesThatFit(10.0, 2.5), 4);  // a line ending exactly at the bottom counts
  EXPECT_EQ(linesThatFit(9.99, 2.5), 3);
  EXPECT_EQ(linesThatFit(0, 2.5), 0);
  EXPECT_EQ(linesThatFit(10, 0), 0);
  EXPECT_EQ(linesThatFit(10, std::nan("")), 0);
  // The detail band sits right under the title band inside the 10 mm margins.
  const RectMm memo = layout::onPage(layout::kDetailBand, layout::kAccelerationMemo);
  EXPECT_DOUBLE_EQ(memo.left, 50.2);
  EXPECT_DOUBLE_EQ(memo.top, 115.85);
  EXPECT_LE(memo.bottom(), layout::kPageHeight - layout::kMargin);
}

TEST(AxisScaleTest, NiceTicksCoverTheData) {
  struct Case {
    double lo, hi;
    int maxTicks;
    double min, max, step;
  };
  const Case cases[] = {
      {0.5, 20.0, 10, 0, 20, 2},
      {0.3, 9.7, 8, 0, 10, 2},
      {-3.2, 4.1, 10, -4, 5, 1},
      {0.0012, 0.0047, 5, 0.001, 0.005, 0.001},
      {1234, 98765, 6, 0, 100000, 20000},
      {5, 5, 10, 4, 6, 0.2},    // one value: spread by its magnitude
      {0, 0, 10, -1, 1, 0.2},   // zero: spread by one
      {20, 0.5, 10, 0, 20, 2},  // bounds in either order
      {NAN, 3, 4, 2, 4, 0.5},   // a non-finite bound falls back on the other
      {-INFINITY, INFINITY, 4, 0, 1, 0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lo << " .. " << c.hi);
    const AxisScale s = niceScale(c.lo, c.hi, c.maxTicks);
    EXPECT_NEAR(s.min, c.min, 1e-12 * std::fabs(c.step));
    EXPECT_NEAR(s.max, c.max, 1e-12 * std::fabs(c.step));
    EXPECT_NEAR(s.step, c.step, 1e-12 * std::fabs(c.step));
    ASSERT_FALSE(s.ticks.empty());
    EXPECT_LE(s.ticks.size(), static_cast<std::size_t>(c.maxTicks + 1));
    EXPECT_DOUBLE_EQ(s.ticks.front(), s.min);
    EXPECT_DOUBLE_EQ(s.ticks.back(), s.max);
  }
}

TEST(AxisScaleTest, ExtremeRangesStayFiniteAndBounded) {
  const double big = std::numeric_limits<double>::max();
  const double tiny = std::numeric_limits<double>::denorm_min();
  const std::pair<double, double> ranges[] = {
      {-big, big}, {big, big}, {0, tiny}, {tiny, 2 * tiny}, {1e16, 1e16 + 2}, {-1e-300, 1e-300}};
  for (const auto& [lo, hi] : ranges) {
    SCOPED_TRACE(testing::Message() << lo << " .. " << hi);
    const AxisScale s = niceScale(lo, hi, 1);
    EXPECT_TRUE(std::isfinite(s.min) && std::isfinite(s.max) && std::isfinite(s.step));
    EXPECT_LT(s.min, s.max);
    EXPECT_LE(s.min, lo);
    EXPECT_GE(s.max, hi);
    EXPECT_GE(s.ticks.size(), 2u);
    EXPECT_LE(s.ticks.size(), 2u);
    for (double t : s.ticks) EXPECT_TRUE(std::isfinite(t));
  }
  // No tick of a range through zero is a negative zero or a rounding residue.
  const AxisScale s = niceScale(-0.3, 0.7, 10);
  int zeros = 0;
  for (double t : s.ticks) zeros += t == 0 && !std::signbit(t);
  EXPECT_EQ(zeros, 1);
}

TEST(AxisLabelText, PatternWithGroupsAndUpToSixDecimals) {
  struct Case {
    double v;
    int decimals;
    char sep;
    const char* group;
    const char* text;
  };
  const Case cases[] = {
      {0, 6, '.', ",", "0"},
      {-0.0, 6, '.', ",", "0"},
      {2, 6, '.', ",", "2"},
      {0.5, 6, '.', ",", "0.5"},
      {0.5, 6, ',', "\u00a0", "0,5"},
      {1234.5, 6, '.', ",", "1,234.5"},
      {1234567.125, 6, ',', "\u00a0", "1\u00a0234\u00a0567,125"},
      {-987654.25, 6, '.', ",", "-987,654.25"},
      {100, 6, '.', ",", "100"},
      {1000, 6, '.', ",", "1,000"},
      {0.1234567, 6, '.', ",", "0.123457"},
      {0.0078125, 6, '.', ",", "0.007813"},    // an exact half rounds away from zero
      {-0.0078125, 6, '.', ",", "-0.007813"},  // on either side
      {0.0000004, 6, '.', ",", "0"},
      {-0.0000004, 6, '.', ",", "0"},  // no "-0"
      {999999.9999996, 6, '.', ",", "1,000,000"},
      {0.1 + 0.2, 6, '.', ",", "0.3"},
      {2.0625, 3, '.', ",", "2.063"},
      {1e15, 6, '.', ",", "1E15"},
      {NAN, 6, '.', ",", "NAN"},
      {-INFINITY, 6, '.', ",", "-INF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(axisLabelText(c.v, c.decimals, c.sep, c.group), c.text) << c.v;
  }
}

TEST(AxisLabelText, IndependentOfTheCLocaleDecimalPoint) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
    GTEST_SKIP() << "no comma locale installed";
  }
  EXPECT_EQ(axisLabelText(1234.5, 6, '.', ","), "1,234.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace accelspec
