// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace accelspec {

/// An ASCII decimal digit, whatever the locale (std::isdigit follows it).
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// General format for edit fields, grid cells and report columns: the value rounded to 15
/// significant digits (halves away from zero), trailing zeros dropped, fixed notation for
/// 1e-4 <= |v| < 1e15, otherwise "d.dddE-5" style; "NAN", "INF", "-INF"; `sep` is the decimal
/// separator. Never throws.
std::string realToText(long double v, char sep);

/// Decimal text of an integer.
std::string intToText(long long v);

/// Edit-field text to real, with `sep` as the only decimal separator. Blanks (bytes <= 32)
/// around the number are ignored. Throws AppError "'%s' is not a valid floating point value"
/// with the text as it stood.
long double textToReal(std::string_view text, char sep);

/// Edit-field text to a 32-bit integer: leading blanks, optional sign, decimal digits or
/// hexadecimal after "$", "0x" or "x". Throws AppError "'%s' is not a valid integer value".
std::int32_t textToInt(std::string_view text);

/// Strict decimal scan shared by the edit fields and the file readers: `sep` is the decimal
/// point; returns false when `text` is not of the form [+-]digits[sep digits][(E|e)[+-]digits]
/// with at least one mantissa digit, or when the value is beyond the long double range.
bool parseDecimal(std::string_view text, char sep, long double& out);

/// Adds one unit in the last place to the decimal digits [first, last): trailing 9s become 0s.
/// True when the carry runs out of the first digit (every digit was 9 and is now 0): the caller
/// then puts a 1 in front. Used wherever a cut digit string is rounded up.
bool carryDigit(char* first, char* last);

/// Integer scan shared by the edit fields and the file readers: [+-] then decimal digits, or
/// hexadecimal after "$", "0x" or "x"; false outside the signed 32-bit range.
bool parseInteger(std::string_view text, std::int32_t& out);

}  // namespace accelspec
