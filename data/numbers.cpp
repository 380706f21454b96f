// SPDX-License-Identifier: MIT
#include "data/numbers.hpp"

#include <locale.h>

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"

namespace accelspec {

std::string intToText(long long v) { return std::to_string(v); }

std::string realToText(long double v, char sep) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  if (v == 0) return "0";

  // The first 16 significant digits of |v|, cut (not rounded): printf is exact in glibc and
  // follows the rounding mode. Rounding halves away from zero is then "16th digit >= 5".
  char buf[64];
  {
    fpu::Scope cut(FE_TOWARDZERO);
    std::snprintf(buf, sizeof buf, "%.15Le", std::fabs(v));
  }
  char digits[16];
  int count = 0;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (isDigit(*p) && count < 16) digits[count++] = *p;
  int exp10 = std::atoi(p + 1);

  if (digits[15] >= '5' && carryDigit(digits, digits + 15)) {
    digits[0] = '1';
    ++exp10;
  }
  int len = 15;
  while (len > 1 && digits[len - 1] == '0') --len;

  std::string out;
  if (std::signbit(v)) out += '-';
  if (exp10 >= -4 && exp10 < 15) {
    if (exp10 >= 0) {
      for (int i = 0; i <= exp10; ++i) out += i < len ? digits[i] : '0';
      if (len > exp10 + 1) {
        out += sep;
        out.append(digits + exp10 + 1, digits + len);
      }
    } else {
      out += '0';
      out += sep;
      out.append(static_cast<size_t>(-exp10 - 1), '0');
      out.append(digits, digits + len);
    }
  } else {
    out += digits[0];
    if (len > 1) {
      out += sep;
      out.append(digits + 1, digits + len);
    }
    out += 'E';
    out += std::to_string(exp10);
  }
  return out;
}

bool carryDigit(char* first, char* last) {
  while (last != first) {
    char& digit = *--last;
    if (digit != '9') {
      ++digit;
      return false;
    }
    digit = '0';
  }
  return true;
}

namespace {

// The C locale, for strtold: the program's own locale may use a decimal comma. (std::from_chars
// would need no locale, but g++ 12's refuses every subnormal result as out of range.)
locale_t cLocale() {
  static const locale_t loc = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

}  // namespace

bool parseDecimal(std::string_view text, char sep, long double& out) {
  std::string c;  // the same number with '.' as its point, for strtold in the C locale
  c.reserve(text.size());
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) c += text[i++];
  int mantissaDigits = 0;
  while (i < text.size() && isDigit(text[i])) c += text[i++], ++mantissaDigits;
  if (i < text.size() && text[i] == sep) {
    c += '.';
    ++i;
    while (i < text.size() && isDigit(text[i])) c += text[i++], ++mantissaDigits;
  }
  if (mantissaDigits == 0) return false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    c += 'E';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) c += text[i++];
    int expDigits = 0;
    while (i < text.size() && isDigit(text[i])) c += text[i++], ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != text.size()) return false;

  // strtold raises the overflow flag on a huge exponent; keep the flags as they were.
  std::fexcept_t saved;
  std::fegetexceptflag(&saved, fpu::kFaults);
  errno = 0;
  const long double value = strtold_l(c.c_str(), nullptr, cLocale());
  const bool overflow = errno == ERANGE && std::isinf(value);
  std::fesetexceptflag(&saved, fpu::kFaults);
  if (overflow) return false;
  out = value;
  return true;
}

bool parseInteger(std::string_view text, std::int32_t& out) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16, ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16, i += 2;
  } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    base = 16, ++i;
  }
  if (i == text.size()) return false;
  long long magnitude = 0;
  for (; i < text.size(); ++i) {
    const char ch = text[i];
    int d;
    if (isDigit(ch)) {
      d = ch - '0';
    } else if (base == 16 && ch >= 'a' && ch <= 'f') {
      d = ch - 'a' + 10;
    } else if (base == 16 && ch >= 'A' && ch <= 'F') {
      d = ch - 'A' + 10;
    } else {
      return false;
    }
    magnitude = magnitude * base + d;
    if (magnitude > 2147483648LL) return false;
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value > 2147483647LL) return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

long double textToReal(std::string_view text, char sep) {
  std::string_view t = text;
  while (!t.empty() && static_cast<unsigned char>(t.front()) <= 32) t.remove_prefix(1);
  while (!t.empty() && static_cast<unsigned char>(t.back()) <= 32) t.remove_suffix(1);
  long double value = 0;
  if (!parseDecimal(t, sep, value)) throw AppError(msg::notAFloat(text));
  return value;
}

std::int32_t textToInt(std::string_view text) {
  std::string_view t = text;
  while (!t.empty() && static_cast<unsigned char>(t.front()) <= 32) t.remove_prefix(1);
  std::int32_t value = 0;
  if (!parseInteger(t, value)) throw AppError(msg::notAnInteger(text));
  return value;
}

}  // namespace accelspec
