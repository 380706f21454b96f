#include "data/numbers.hpp"

#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <limits>

#include "data/error.hpp"

namespace accelspec {
namespace {

struct TextCase {
  long double value;
  const char* text;
};

TEST(RealToText, GeneralFormatFifteenDigits) {
  const TextCase cases[] = {
      {2, "2"},
      {0.5L, "0.5"},
      {0.004L, "0.004"},
      {19.996L, "19.996"},
      {123456789012345.0L, "123456789012345"},
      {0.0001L, "0.0001"},
      {1e-5L, "1E-5"},
      {0.0000442615029219009L, "4.42615029219009E-5"},
      {1e15L, "1E15"},
      {999999999999999.5L, "1E15"},
      {1.5e-10L, "1.5E-10"},
      {1234567890123456.0L, "1.23456789012346E15"},
      {-2.5L, "-2.5"},
      {1.0L / 3.0L, "0.333333333333333"},
      {2.0L / 3.0L, "0.666666666666667"},
      {0.0L, "0"},
      {-0.0L, "0"},
      {(5000 - 1) * 0.004L, "19.996"},
      // Exact halves at the 16th digit go away from zero, not to even.
      {123456789012344.5L, "123456789012345"},
      {-123456789012344.5L, "-123456789012345"},
      {0.0000999999999999999999L, "0.0001"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
      {std::numeric_limits<long double>::infinity(), "INF"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
      {LDBL_MAX, "1.18973149535723E4932"},
  };
  for (const auto& c : cases) EXPECT_EQ(realToText(c.value, '.'), c.text) << c.text;
}

TEST(RealToText, UsesTheGivenSeparatorAndLeavesRoundingModeAlone) {
  EXPECT_EQ(realToText(0.004L, ','), "0,004");
  EXPECT_EQ(realToText(1.5e-10L, ','), "1,5E-10");
  EXPECT_EQ(std::fegetround(), FE_TONEAREST);
}

TEST(TextToReal, AcceptsTheNumberForms) {
  const std::pair<const char*, long double> ok[] = {
      {"2", 2},         {" 0.5 ", 0.5L}, {"5.", 5},         {".5", 0.5L},      {"-1e3", -1000},
      {"+1E-3", 1e-3L}, {"\t7\n", 7},    {"1e-5000", 0.0L}, {"0.004", 0.004L},
  };
  for (const auto& [text, value] : ok) EXPECT_EQ(textToReal(text, '.'), value) << text;
  EXPECT_EQ(textToReal("0,004", ','), 0.004L);
}

TEST(TextToReal, RefusesWithTheTextAsItStood) {
  const char* bad[] = {"",    " ",   "+",   "-",    ".",      "1e",    "1e+", "1,000.5",
                       "0,5", "INF", "NAN", "0x10", "1e5000", "1.2.3", "abc", "2 3"};
  for (const char* text : bad) {
    try {
      textToReal(text, '.');
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const AppError& e) {
      EXPECT_EQ(e.what(), "'" + std::string(text) + "' is not a valid floating point value");
    }
  }
  EXPECT_THROW(textToReal("0.5", ','), AppError);
}

TEST(TextToInt, DecimalAndHexadecimal) {
  EXPECT_EQ(textToInt("5000"), 5000);
  EXPECT_EQ(textToInt("  -12"), -12);
  EXPECT_EQ(textToInt("+7"), 7);
  EXPECT_EQ(textToInt("$FF"), 255);
  EXPECT_EQ(textToInt("0x10"), 16);
  EXPECT_EQ(textToInt("x1f"), 31);
  EXPECT_EQ(textToInt("2147483647"), 2147483647);
  EXPECT_EQ(textToInt("-2147483648"), -2147483647 - 1);
}

TEST(TextToInt, RefusesWithTheTextAsItStood) {
  const char* bad[] = {"",   "-",          "+",           "5000.5",
                       "5 ", "2147483648", "-2147483649", "abc",
                       "$",  "0x",         "1e3",         "99999999999999999999"};
  for (const char* text : bad) {
    try {
      textToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const AppError& e) {
      EXPECT_EQ(e.what(), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(RealToText, RoundTripsFifteenDigits) {
  const long double values[] = {1.0L / 3.0L, 6.283185307179586477L, 1e-300L, 4.2e300L,
                                -0.0012345678901234567L};
  for (long double v : values) {
    const long double back = textToReal(realToText(v, '.'), '.');
    EXPECT_NEAR(static_cast<double>(back / v), 1.0, 1e-14) << realToText(v, '.');
  }
}

}  // namespace
}  // namespace accelspec
