// SPDX-License-Identifier: MIT
#include "report/report.hpp"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"

namespace accelspec {

namespace {

void appendPoint(ReportPage& page, long double f, long double a, char sep) {
  page.frequencyLines.push_back(realToText(f, sep));
  page.accelerationLines.push_back(realToText(a, sep));
  page.series.add(f, a);
}

void startPage(ReportPage& page, std::string_view heading, std::string_view title, char sep) {
  page.labelEnabled = true;
  page.chartEnabled = true;
  page.heading = heading;
  page.chartTitle = title;
  page.decimalSeparator = sep;
  page.frequencyLines.emplace_back(msg::kReportColumnFrequency);
  page.accelerationLines.emplace_back(msg::kReportColumnAcceleration);
}

}  // namespace

void fillReport(const Store& store, ReportPage& page, char sep) {
  page.frequencyLines.clear();
  page.accelerationLines.clear();
  page.series.clear();

  if (store.Mode == kModeInputSpectrum) {
    startPage(page, msg::kReportHeadingInput, msg::kReportTitleInput, sep);
    // A count read from a damaged file never takes the loop past the arrays.
    const int last = std::min(store.N, kArraySize - 1);
    for (int i = 1; i <= last; ++i) appendPoint(page, store.SpF[i], store.SpA[i], sep);
  } else if (store.Mode == kModeResponseSpectrum) {
    startPage(page, msg::kReportHeadingResponse, msg::kTitleResponseSpectrum, sep);
    const int last = std::min(store.NF, kMaxResponseLastIndex);
    for (int j = 0; j <= last; ++j) {
      appendPoint(page, store.SpF[kResponseBase + j], store.SpA[kResponseBase + j], sep);
    }
  }
}

double niceStep(double raw) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (double f : {1.0, 2.0, 5.0, 10.0}) {
    const double step = f * magnitude;
    if (step >= raw * (1 - 1e-12)) return step;
  }
  return 10.0 * magnitude;
}

int linesThatFit(double height, double lineHeight) {
  if (!(height > 0) || !(lineHeight > 0)) return 0;
  const double lines = std::floor((height + 1e-3) / lineHeight);
  return lines > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                 : static_cast<int>(lines);
}

AxisScale niceScale(double lo, double hi, int maxTicks) {
  maxTicks = std::max(maxTicks, 1);
  if (!std::isfinite(lo) && !std::isfinite(hi)) {
    lo = 0.0;
    hi = 1.0;
  }
  if (!std::isfinite(lo)) lo = hi;
  if (!std::isfinite(hi)) hi = lo;
  if (lo > hi) std::swap(lo, hi);
  if (lo == hi) {
    const double spread = lo == 0 ? 1.0 : std::pow(10.0, std::floor(std::log10(std::fabs(lo))));
    lo = std::max(lo - spread, std::numeric_limits<double>::lowest());
    hi = std::min(hi + spread, std::numeric_limits<double>::max());
  }

  AxisScale scale;
  // Halves keep the width finite for bounds near the ends of the double range.
  const double halfWidth = hi / 2 - lo / 2;
  double step = niceStep(halfWidth / maxTicks * 2);
  bool found = false;
  for (int attempt = 0; attempt < 8 && step > 0 && std::isfinite(step); ++attempt) {
    const double first = std::floor(lo / step);
    const double last = std::ceil(hi / step);
    if (last - first <= maxTicks) {
      scale.min = first * step;
      scale.max = last * step;
      found = std::isfinite(scale.min) && std::isfinite(scale.max) && scale.min < scale.max;
      break;
    }
    step = niceStep(step * 1.5);  // the rounding outward needed one step more
  }
  if (!found) {
    // Beyond the double range once widened, or below its resolution: the bounds as they are.
    scale.min = lo;
    scale.max = hi;
    scale.step = std::isfinite(hi - lo) ? hi - lo : std::numeric_limits<double>::max();
    scale.ticks = {lo, hi};
    return scale;
  }
  scale.step = step;
  const double count = std::round((scale.max - scale.min) / step);
  for (int k = 0; k <= count; ++k) {
    double v = scale.min + k * step;
    if (std::fabs(v) < step * 1e-9) v = 0;  // no "-0" or 1e-17 where zero is meant
    scale.ticks.push_back(v);
  }
  return scale;
}

std::string axisLabelText(double v, int decimals, char sep, std::string_view groupSep) {
  decimals = std::clamp(decimals, 0, 15);
  if (!std::isfinite(v) || std::fabs(v) >= 1e15) return realToText(v, sep);

  // One decimal more than shown, cut toward zero (glibc's printf is exact and follows the
  // rounding mode): the extra digit alone then decides rounding half away from zero.
  char buf[64];
  {
    fpu::Scope cut(FE_TOWARDZERO);
    std::snprintf(buf, sizeof buf, "%.*f", decimals + 1, std::fabs(v));
  }
  std::string digits;  // integer digits then decimals + 1 decimals, without the point
  int intDigits = 0;
  bool afterPoint = false;
  for (const char* p = buf; *p; ++p) {
    if (*p >= '0' && *p <= '9') {
      digits += *p;
      if (!afterPoint) ++intDigits;
    } else {
      afterPoint = true;  // the C library's decimal point, whichever locale is set
    }
  }
  const bool up = digits.back() >= '5';
  digits.pop_back();
  if (up && carryDigit(digits.data(), digits.data() + digits.size())) {
    digits.insert(digits.begin(), '1');
    ++intDigits;
  }
  std::string fraction = digits.substr(static_cast<std::size_t>(intDigits));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  std::string whole = digits.substr(0, static_cast<std::size_t>(intDigits));
  const auto leading = whole.find_first_not_of('0');
  whole = leading == std::string::npos ? "0" : whole.substr(leading);

  std::string out;
  if (v < 0 && (whole != "0" || !fraction.empty())) out += '-';
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out += groupSep;
    out += whole[i];
  }
  if (!fraction.empty()) {
    out += sep;
    out += fraction;
  }
  return out;
}

}  // namespace accelspec
