// SPDX-License-Identifier: MIT
#include "analysis/number_text.hpp"

#include <charconv>
#include <cmath>

namespace accelspec::analysis {

std::string formatNumber(double v, int digits) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
  return std::string(buf, r.ptr);
}

std::string shortestText(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

}  // namespace accelspec::analysis
