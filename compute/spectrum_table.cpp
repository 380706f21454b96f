// SPDX-License-Identifier: MIT
#include "compute/spectrum_table.hpp"

#include <algorithm>
#include <string>

#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"

namespace accelspec {

void editNExit(Store& store, Form& form) {
  const std::int32_t n = textToInt(form.text(Edit::N));
  // Point 999 would be the count of memory slot 1.
  if (n > kMaxSpectrumPoints) throw AppError(msg::kTooManySpectrumPoints);
  store.N = n;
  form.setRowCount(Grid::Spv, std::max(n, 0) + 1);
}

void stringGridSpvExit(Store& store, Form& form) {
  fpu::clear();
  store.Mode = kModeInputSpectrum;
  Chart& chart = form.chart();
  chart.clearAll();
  chart.setBottomAxisTitle(std::string(msg::kAxisFrequency));
  if (store.N > kMaxSpectrumPoints) throw AppError(msg::kTooManySpectrumPoints);
  const char sep = form.decimalSeparator();
  for (int i = 1; i <= store.N; ++i) {
    store.SpF[i] = textToReal(form.cell(Grid::Spv, 0, i), sep);
    store.SpA[i] = textToReal(form.cell(Grid::Spv, 1, i), sep);
    chart.series(0).add(store.SpF[i], store.SpA[i]);
  }
}

}  // namespace accelspec
