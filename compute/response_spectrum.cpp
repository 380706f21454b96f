// SPDX-License-Identifier: MIT
#include "compute/response_spectrum.hpp"

#include <string>

#include "compute/response_engine.hpp"
#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"

namespace accelspec {

using fpu::checked;

void computeResponseSpectrum(Store& s, Form& form, ResponseProgress* progress) {
  computeResponseSpectrum(s, form, progress, &ResponseEngine::shared());
}

void computeResponseSpectrum(Store& s, Form& form, ResponseProgress* progress,
                             ResponseEngine* engine) {
  fpu::clear();
  s.Mode = kModeResponseSpectrum;
  form.clearMemo();
  Chart& chart = form.chart();
  chart.clearAll();
  chart.setTitle(std::string(msg::kTitleResponseSpectrum));
  chart.setBottomAxisTitle(std::string(msg::kAxisFrequency));

  const char sep = form.decimalSeparator();
  s.Fbeg = textToReal(form.text(Edit::Fbeg), sep);
  s.Fend = textToReal(form.text(Edit::Fend), sep);
  s.DF = textToReal(form.text(Edit::DF), sep);
  s.Psi = textToReal(form.text(Edit::Psi), sep);
  s.DT = textToReal(form.text(Edit::DT), sep);

  const long double quotient = checked(checked(s.Fend - s.Fbeg) / s.DF);
  // Refused before the cut to an integer, so that no quotient wraps or is lost to Trunc's range.
  if (quotient >= kMaxResponseLastIndex + 1) throw AppError(msg::kTooManyFrequencies);
  if (quotient <= static_cast<long double>(INT32_MIN) - 1)
    throw AppError(msg::kFrequencyCountOutOfRange);
  const std::int64_t nf = fpu::trunc64(quotient);
  s.NF = static_cast<std::int32_t>(nf);
  if (s.NF < 0) return;
  if (s.ND > kMaxSamples) throw AppError(msg::kTooManySamples);

  if (engine)
    engine->computePoints(s, chart.series(0), 0, s.NF, progress);
  else
    computeResponsePointsSerial(s, chart.series(0), 0, s.NF, progress);
}

}  // namespace accelspec
