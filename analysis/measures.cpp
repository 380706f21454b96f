// SPDX-License-Identifier: MIT
#include "analysis/measures.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "analysis/analysis_messages.hpp"
#include "analysis/number_text.hpp"
#include "analysis/trapezoid.hpp"
#include "data/error.hpp"
#include "records/record.hpp"

namespace accelspec::analysis {

namespace {

// The standardised CAV counts a 1-s window only when its peak reaches this, in g.
// Source: EPRI TR-100082 (1991), the standardised cumulative absolute velocity.
constexpr double kCavThresholdG = 0.025;

// When the cumulative `energy` (ascending, one value a sample) first reaches `target`, s, the
// crossing interpolated linearly between its two samples.
double crossingTime(const std::vector<long double>& energy, long double target, double dt) {
  const auto it = std::lower_bound(energy.begin(), energy.end(), target);
  if (it == energy.begin()) return 0;
  const auto k = static_cast<std::size_t>(it - energy.begin());
  const long double rise = energy[k] - energy[k - 1];
  return static_cast<double>((static_cast<long double>(k - 1) + (target - energy[k - 1]) / rise) *
                             dt);
}

// The standardised CAV: the trapezoid of |a| is split among the 1-s windows [k, k + 1] from the
// first sample (a step crossing a window's edge is split there, |a| taken linearly between the
// samples), and a window counts when a sample on it, either edge included, reaches the threshold.
double standardizedCav(const std::vector<double>& accel, double dt, double threshold) {
  const std::size_t n = accel.size();
  const long double duration = static_cast<long double>(n - 1) * dt;
  const auto windows = static_cast<std::size_t>(std::max<long double>(1, std::ceil(duration)));
  std::vector<long double> area(windows + 1, 0);
  std::vector<double> peak(windows + 1, 0);
  const long double edge = 1e-6L * dt;  // a sample this close to a whole second lies on it
  for (std::size_t i = 0; i < n; ++i) {
    const long double t = static_cast<long double>(i) * dt;
    const auto w = static_cast<std::size_t>(std::floor(t + edge));
    const double a = std::fabs(accel[i]);
    peak[std::min(w, windows)] = std::max(peak[std::min(w, windows)], a);
    if (w > 0 && t - static_cast<long double>(w) < edge) peak[w - 1] = std::max(peak[w - 1], a);
  }
  for (std::size_t i = 0; i + 1 < n; ++i) {
    long double t0 = static_cast<long double>(i) * dt;
    const long double t1 = static_cast<long double>(i + 1) * dt;
    long double a0 = std::fabs(accel[i]);
    const long double a1 = std::fabs(accel[i + 1]);
    for (;;) {
      const auto w = static_cast<std::size_t>(std::floor(t0 + edge));
      const long double boundary = static_cast<long double>(w + 1);
      if (t1 <= boundary + edge) {
        area[std::min(w, windows)] += (a0 + a1) / 2 * (t1 - t0);
        break;
      }
      const long double aB = a0 + (a1 - a0) * ((boundary - t0) / (t1 - t0));
      area[std::min(w, windows)] += (a0 + aB) / 2 * (boundary - t0);
      t0 = boundary;
      a0 = aB;
    }
  }
  long double total = 0;
  for (std::size_t w = 0; w <= windows; ++w)
    if (peak[w] >= threshold) total += area[w];
  return static_cast<double>(total);
}

double housnerIntensity(const std::vector<double>& accel, double dt, Peaks peaks,
                        unsigned threads) {
  SpectraRequest r;
  for (int k = 240; k >= 0; --k) {  // ascending frequency
    const double period = (10 + k) / 100.0;
    r.grid.push_back({1 / period, period});
  }
  r.dampings = {0.05};
  r.quantities = {Quantity::Psv};
  r.peaks = peaks;
  r.threads = threads;
  const Spectra s = computeSpectra(accel, dt, r);
  long double sum = 0;
  for (std::size_t j = 0; j + 1 < s.points; ++j)
    sum += (static_cast<long double>(s.value(0, 0, j)) + s.value(0, 0, j + 1)) / 2 * 0.01L;
  return static_cast<double>(sum);
}

}  // namespace

Measures computeMeasures(const std::vector<double>& accel, double dt, Peaks housnerPeaks,
                         unsigned threads) {
  Measures m;
  m.housner = housnerIntensity(accel, dt, housnerPeaks, threads);  // checks the record first
  const double g = records::kStandardGravity;
  const std::size_t n = accel.size();
  std::vector<long double> arias(n, 0);
  Trapezoid motion;
  long double cav = 0;
  m.pga = std::fabs(accel[0]);
  for (std::size_t i = 1; i < n; ++i) {
    const long double a0 = accel[i - 1], a1 = accel[i];
    motion.step(a0, a1, dt);
    cav += (std::fabs(a0) + std::fabs(a1)) / 2 * dt;
    arias[i] = arias[i - 1] + (a0 * a0 + a1 * a1) / 2 * dt;
    m.pga = std::max(m.pga, std::fabs(accel[i]));
    m.pgv = std::max(m.pgv, static_cast<double>(std::fabs(motion.velocity)));
    m.pgd = std::max(m.pgd, static_cast<double>(std::fabs(motion.displacement)));
  }
  const long double total = arias[n - 1];
  m.arias = static_cast<double>(std::numbers::pi_v<long double> / (2 * g) * total);
  if (total > 0) {
    const double t5 = crossingTime(arias, 0.05L * total, dt);
    m.d5_75 = crossingTime(arias, 0.75L * total, dt) - t5;
    m.d5_95 = crossingTime(arias, 0.95L * total, dt) - t5;
  } else {
    m.d5_75 = m.d5_95 = NAN;
  }
  m.cav = static_cast<double>(cav);
  m.cavStd = standardizedCav(accel, dt, kCavThresholdG * g);
  // Sums of squares and integrals of samples near the largest doubles go beyond them (kept in
  // extended precision, they overflow only when stored).
  const std::pair<const char*, double> values[] = {
      {"pga", m.pga},     {"pgv", m.pgv},        {"pgd", m.pgd},
      {"arias", m.arias}, {"d5_75", m.d5_75},    {"d5_95", m.d5_95},
      {"cav", m.cav},     {"cav_std", m.cavStd}, {"housner_5", m.housner}};
  for (const auto& [name, value] : values)
    if (std::isinf(value) || (std::isnan(value) && total > 0))
      throw AppError(msg::measureBeyondRange(name));
  return m;
}

std::string measuresCsvHeader() {
  return "record,pga_m_s2,pgv_m_s,pgd_m,arias_m_s,d5_75_s,d5_95_s,cav_m_s,cav_std_m_s,housner_5_"
         "m\n";
}

std::string measuresCsvRow(const std::string& record, const Measures& m) {
  std::string out;
  if (record.find_first_of(",\"\r\n") == std::string::npos) {
    out = record;
  } else {
    out = "\"";
    for (char c : record) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
  }
  for (double v : {m.pga, m.pgv, m.pgd, m.arias, m.d5_75, m.d5_95, m.cav, m.cavStd, m.housner}) {
    out += ',';
    out += formatNumber(v);
  }
  out += '\n';
  return out;
}

}  // namespace accelspec::analysis
