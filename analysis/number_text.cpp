#include "analysis/number_text.hpp"

#include <charconv>
#include <cmath>

#include "data/numbers.hpp"

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

bool parseNumber(std::string_view text, double& out) {
  // The syntax is the program's own; the value is rounded once, straight to double.
  long double checkedSyntax = 0;
  if (!parseDecimal(text, '.', checkedSyntax)) return false;
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(value))
    return false;
  out = value;
  return true;
}

}  // namespace accelspec::analysis
