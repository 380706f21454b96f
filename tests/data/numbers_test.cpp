// SPDX-License-Identifier: MIT
#include "data/numbers.hpp"

#include <gtest/gtest.h>
#include <locale.h>

#include <cerrno>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

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

// The parser must give the bits of the C library's reading in the C locale, at the edges of the
// range too: what it overflows on is refused, what underflows is a zero of its sign.
TEST(ParseDecimal, SameBitsAsTheCLibrary) {
  const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  std::mt19937_64 random(20261208);
  std::vector<std::string> texts = {"1e4933",
                                    "1.18973149535723176502e4932",
                                    "1.18973149535723176508e4932",
                                    "-1e-4951",
                                    "1e-4952",
                                    "3.6e-4951",
                                    "0.0000e99999",
                                    "-0.000001e-4946",
                                    "5e-324",
                                    "1.7976931348623158e308",
                                    "123456789012345678901234567890"};
  for (int n = 0; n < 20000; ++n) {
    std::string t = random() % 4 == 0 ? "-" : "";
    const int digits = 1 + static_cast<int>(random() % 30);
    const int point = static_cast<int>(random() % (digits + 1));
    for (int d = 0; d < digits; ++d) {
      if (d == point) t += '.';
      t += static_cast<char>('0' + random() % 10);
    }
    t += 'e' + std::to_string(static_cast<int>(random() % 9920) - 4970);
    texts.push_back(t);
  }
  for (const auto& t : texts) {
    errno = 0;
    const long double expected = strtold_l(t.c_str(), nullptr, c);
    const bool refused = errno == ERANGE && std::isinf(expected);
    long double got = 0;
    ASSERT_EQ(parseDecimal(t, '.', got), !refused) << t;
    if (refused) continue;
    EXPECT_EQ(std::memcmp(&got, &expected, 10), 0) << t;
  }
  freelocale(c);
}

}  // namespace
}  // namespace accelspec
