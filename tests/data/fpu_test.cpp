// SPDX-License-Identifier: MIT
#include "data/fpu.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "data/chart.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"

namespace accelspec {
namespace {

// Values the optimiser cannot see through.
volatile long double vZero = 0.0L, vOne = 1.0L, vBig = LDBL_MAX, vMinusOne = -1.0L;

std::string faultOf(long double (*f)()) {
  fpu::clear();
  try {
    f();
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

TEST(Fpu, FaultsAreCaughtAtTheOperationEvenWhenTheResultIsUnused) {
  EXPECT_EQ(faultOf([] { return fpu::checked(vZero / vZero); }), msg::kInvalidOp);
  EXPECT_EQ(faultOf([] { return fpu::checked(vOne / vZero); }), msg::kDivByZero);
  EXPECT_EQ(faultOf([] { return fpu::checked(vBig * 2); }), msg::kOverflow);
  EXPECT_EQ(faultOf([] { return fpu::checked(std::log(vZero)); }), msg::kDivByZero);
  EXPECT_EQ(faultOf([] { return fpu::checked(std::sqrt(vMinusOne)); }), msg::kInvalidOp);
  // Underflow and inexact results pass.
  EXPECT_EQ(faultOf([] { return fpu::checked(LDBL_MIN * vOne / 1e30L); }), "");
  EXPECT_EQ(faultOf([] { return fpu::checked(vOne / 3); }), "");
  // A fault leaves the flags clear for the next command.
  EXPECT_EQ(faultOf([] { return fpu::checked(vOne); }), "");
}

TEST(Fpu, LongDoubleIsTheExtendedFormatRoundingToNearest) {
  EXPECT_EQ(std::numeric_limits<long double>::digits, 64);
  EXPECT_EQ(std::fegetround(), FE_TONEAREST);
  volatile long double third = vOne / 3;
  EXPECT_NE(static_cast<double>(third) - third, 0.0L);  // more bits than a double
}

TEST(Fpu, TruncAndRound) {
  EXPECT_EQ(fpu::trunc64(2.9L), 2);
  EXPECT_EQ(fpu::trunc64(-2.9L), -2);
  EXPECT_EQ(fpu::trunc64(-0.5L), 0);
  EXPECT_EQ(fpu::round64(2.5L), 2);
  EXPECT_EQ(fpu::round64(3.5L), 4);
  EXPECT_EQ(fpu::round64(-2.5L), -2);
  EXPECT_EQ(fpu::round64(2.51L), 3);
  EXPECT_EQ(fpu::round64(-9223372036854775808.0L), INT64_MIN);
  for (long double bad :
       {1e19L, -1e19L, 9223372036854775808.0L, std::numeric_limits<long double>::infinity(),
        std::numeric_limits<long double>::quiet_NaN()}) {
    EXPECT_THROW(fpu::trunc64(bad), AppError);
    EXPECT_THROW(fpu::round64(bad), AppError);
  }
}

TEST(Fpu, NarrowingToDoubleOverflowsOnlyBeyondTheDoubleRange) {
  EXPECT_EQ(fpu::toDouble(static_cast<long double>(DBL_MAX)), DBL_MAX);
  // Just under half an ulp above DBL_MAX still rounds down to DBL_MAX.
  const long double justBelow = (18014398509481984.0L - 1.0L) * 0x1p970L * (1 - 0x1p-63L);
  EXPECT_EQ(fpu::toDouble(justBelow), DBL_MAX);
  try {
    fpu::toDouble(-1e309L);
    ADD_FAILURE();
  } catch (const AppError& e) {
    EXPECT_EQ(e.what(), msg::kOverflow);
  }
  EXPECT_TRUE(std::isnan(fpu::toDouble(std::numeric_limits<long double>::quiet_NaN())));
}

TEST(Chart, SeriesKeepsAscendingXWithEqualXAfterEarlierPoints) {
  Series s;
  s.add(10, 1);
  s.add(5, 2);
  s.add(10, 3);
  s.add(1, 4);
  s.add(5, 5);
  const auto& p = s.points();
  ASSERT_EQ(p.size(), 5u);
  const double xs[] = {1, 5, 5, 10, 10}, ys[] = {4, 2, 5, 1, 3};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(p[i].x, xs[i]);
    EXPECT_EQ(p[i].y, ys[i]);
  }
}

TEST(Chart, OverflowingPointIsRefusedAndNotAdded) {
  Chart chart;
  chart.series(0).add(1, 1);
  EXPECT_THROW(chart.series(0).add(1, 1e400L), AppError);
  EXPECT_THROW(chart.series(0).add(-1e400L, 1), AppError);
  EXPECT_EQ(chart.series(0).size(), 1u);
  chart.clearAll();
  EXPECT_TRUE(chart.series(0).empty());
}

TEST(Messages, FullStopRule) {
  EXPECT_EQ(msg::withFullStop("File not found"), "File not found.");
  EXPECT_EQ(msg::withFullStop("Ends."), "Ends.");
  EXPECT_EQ(msg::withFullStop("(x)"), "(x)");
  EXPECT_EQ(msg::withFullStop("Wow!"), "Wow!");
  EXPECT_EQ(msg::withFullStop("a "), "a ");
  EXPECT_EQ(msg::withFullStop("I/O error 7"), "I/O error 7.");
  EXPECT_EQ(msg::withFullStop("Why?"), "Why?.");
  EXPECT_EQ(msg::withFullStop("Спектр"), "Спектр.");
  EXPECT_EQ(msg::withFullStop("'' is not a valid floating point value"),
            "'' is not a valid floating point value.");
}

}  // namespace
}  // namespace accelspec
