// SPDX-License-Identifier: MIT
#include "data/messages.hpp"

namespace accelspec::msg {

std::string ioErrorText(int code) { return "I/O error " + std::to_string(code); }

std::string ioErrorMessage(int code) {
  switch (code) {
    case 2:
      return std::string(kFileNotFound);
    case 3:
      return std::string(kInvalidFilename);
    case 4:
      return std::string(kTooManyOpenFiles);
    case 5:
      return std::string(kAccessDenied);
    case 100:
      return std::string(kReadBeyondEof);
    case 101:
      return std::string(kDiskFull);
    case 106:
      return std::string(kInvalidNumericInput);
    default:
      return ioErrorText(code);
  }
}

namespace {

std::string quoted(std::string_view text, std::string_view rest) {
  std::string out;
  out.reserve(text.size() + rest.size() + 2);
  out += '\'';
  out += text;
  out += '\'';
  out += rest;
  return out;
}

}  // namespace

std::string notAFloat(std::string_view text) {
  return quoted(text, " is not a valid floating point value");
}

std::string notAnInteger(std::string_view text) {
  return quoted(text, " is not a valid integer value");
}

std::string withFullStop(std::string_view message) {
  std::string out(message);
  // Any byte of a multi-byte UTF-8 letter sorts after '.', as a Cyrillic letter does in 1251.
  if (!out.empty() && static_cast<unsigned char>(out.back()) > '.') out += '.';
  return out;
}

std::string_view pluralForm(long long n, std::string_view one, std::string_view few,
                            std::string_view many) {
  const unsigned long long m =
      n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  const unsigned long long tens = m % 100, units = m % 10;
  if (tens >= 11 && tens <= 14) return many;
  if (units == 1) return one;
  if (units >= 2 && units <= 4) return few;
  return many;
}

std::string countOf(long long n, std::string_view one, std::string_view few,
                    std::string_view many) {
  return std::to_string(n) + " " + std::string(pluralForm(n, one, few, many));
}

}  // namespace accelspec::msg
