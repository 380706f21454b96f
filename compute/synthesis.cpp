// SPDX-License-Identifier: MIT
#include "compute/synthesis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "compute/constants.hpp"
#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"

namespace accelspec {

using fpu::checked;

namespace {

// SweepT[i] for i = 1 … N: the time at which the sweep passes input point i. Returns L, the
// logarithm of the whole frequency ratio (0 when the table is empty).
long double sweepTimes(Store& s) {
  const int n = s.N;  // at most 998: the table and the readers refuse more
  const auto& SpF = s.SpF;
  long double L = 0;
  for (int i = 1; i <= n; ++i) {
    const long double lnRatio = checked(std::log(checked(SpF[i] / SpF[1])));
    const long double product = checked(s.T * lnRatio);
    // L does not depend on i, but is computed here on purpose: a fault in it must be raised
    // after those of point 1's own formulas, never before them, and never at all for an empty
    // table. Hoisting it changes which error the user sees.
    L = checked(std::log(checked(SpF[n] / SpF[1])));
    s.SweepT[i] = checked(product / L);
  }
  return L;
}

// Samples kbeg … min(kend, 100000) of segment i (input points i and i + 1): an exponential
// sweep whose amplitude follows the table linearly in frequency, added to `drawn` when given.
// `phase` runs on from segment to segment.
void sweepSegment(Store& s, Series* drawn, int i, long double L, std::int64_t kbeg,
                  std::int64_t kend, long double& phase) {
  const auto& SpF = s.SpF;
  const auto& SpA = s.SpA;
  const std::int64_t last = std::min<std::int64_t>(kend, kMaxSamples);
  for (std::int64_t k = kbeg; k <= last; ++k) {
    const long double t = checked(static_cast<long double>(k - 1) * s.DT);
    const long double finst = checked(checked(std::exp(checked(L * checked(t / s.T)))) * SpF[1]);
    phase = checked(phase + checked(finst * s.DT));
    const long double amp =
        checked(checked(checked(checked(SpA[i + 1] - SpA[i]) * checked(finst - SpF[i])) /
                        checked(SpF[i + 1] - SpF[i])) +
                SpA[i]);
    s.Acc[k] = checked(checked(std::sin(checked(kTwoPi * phase))) * amp);
    if (drawn) drawn->add(t, s.Acc[k]);
  }
}

}  // namespace

void sweepAccelerogram(Store& s, Series* drawn) {
  const long double L = sweepTimes(s);
  std::int64_t kbeg = 1;
  long double phase = 0;
  for (int i = 1; i <= s.N - 1; ++i) {
    const long double steps = checked(checked(s.SweepT[i + 1] - s.SweepT[i]) / s.DT);
    long double end = checked(steps + static_cast<long double>(kbeg));
    // Far beyond the array either way is as good as just beyond it, and keeps Trunc in range.
    if (std::isfinite(end)) end = std::clamp(end, -0x1p40L, 0x1p40L);
    const std::int64_t kend = fpu::trunc64(end);
    // A sweep gone back before the first sample cannot be placed.
    if (kend >= kbeg && kbeg < 1) throw AppError(msg::kSynthesisOutOfRange);
    // Samples past the array's end lie beyond every ND the store can hold: the record the
    // program uses is complete there, and the sweep simply stops at the last element.
    sweepSegment(s, drawn, i, L, kbeg, kend, phase);
    if (kend > kMaxSamples) break;
    // A segment that went back in time leaves kend below kbeg and the next segment starts there.
    kbeg = kend + 1;
  }
}

void synthesizeAccelerogram(Store& s, Form& form) {
  fpu::clear();
  s.Mode = kModeAccelerogram;
  form.clearMemo();
  Chart& chart = form.chart();
  chart.clearAll();
  chart.setTitle(std::string(msg::kTitleAccelerogram));
  chart.setBottomAxisTitle(std::string(msg::kAxisTime));

  const char sep = form.decimalSeparator();
  s.T = textToReal(form.text(Edit::T), sep);
  const std::int32_t nd = textToInt(form.text(Edit::ND));
  // Every later reader loops over Acc[1 … ND]: a count beyond the array is never stored.
  if (nd > kMaxSamples) throw AppError(msg::kTooManySamples);
  s.ND = nd;
  s.DT = textToReal(form.text(Edit::DT), sep);

  form.setText(Edit::Tbeg, "0");
  const long double tend = checked(static_cast<long double>(std::int64_t{s.ND} - 1) * s.DT);
  form.setText(Edit::Tend, realToText(tend, sep));

  sweepAccelerogram(s, &chart.series(0));
}

}  // namespace accelspec
