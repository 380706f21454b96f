// SPDX-License-Identifier: MIT
#include "compute/time_window.hpp"

#include <cmath>
#include <string>

#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"

namespace accelspec {

using fpu::checked;

namespace {

// Round(t / DT); a finite quotient far beyond the array is a window out of range, not a fault.
std::int64_t sampleIndex(long double quotient) {
  if (std::isfinite(quotient) && std::fabs(quotient) >= 0x1p40L)
    throw AppError(msg::kWindowOutOfRange);
  return fpu::round64(quotient);
}

}  // namespace

void cutTimeWindow(Store& s, Form& form) {
  if (s.Mode != kModeAccelerogram) return;
  fpu::clear();
  Chart& chart = form.chart();
  chart.series(0).clear();

  const char sep = form.decimalSeparator();
  s.Tbeg = textToReal(form.text(Edit::Tbeg), sep);
  s.Tend = textToReal(form.text(Edit::Tend), sep);
  const std::int64_t last = sampleIndex(checked(s.Tend / s.DT));
  const std::int64_t shift = sampleIndex(checked(s.Tbeg / s.DT));
  const std::int64_t nd = last - shift + 1;
  // The window reads old samples shift + 1 … last + 1; both must lie in Acc[1 … 100000].
  if (nd > 0 && (shift < 0 || last + 1 > kMaxSamples)) throw AppError(msg::kWindowOutOfRange);
  // An empty window (end before start) keeps its negative count, as long as it fits 32 bits.
  if (nd < INT32_MIN) throw AppError(msg::kWindowOutOfRange);
  s.ND = static_cast<std::int32_t>(nd);

  for (std::int32_t k = 1; k <= s.ND; ++k) {
    s.Acc[k] = s.Acc[k + shift];
    chart.series(0).add(checked(static_cast<long double>(k - 1) * s.DT), s.Acc[k]);
  }
  form.setText(Edit::Tbeg, "0");
  form.setText(Edit::Tend,
               realToText(checked(static_cast<long double>(std::int64_t{s.ND} - 1) * s.DT), sep));
}

}  // namespace accelspec
