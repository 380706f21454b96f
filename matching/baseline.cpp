// SPDX-License-Identifier: MIT
#include "matching/baseline.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <string>
#include <utility>

#include "analysis/analysis_messages.hpp"
#include "analysis/trapezoid.hpp"
#include "data/error.hpp"
#include "matching/matching_messages.hpp"

namespace accelspec::matching {

namespace {

constexpr int kLowestOrder = 2, kHighestOrder = 6;
constexpr int kTerms = kHighestOrder - kLowestOrder + 1;

// Final velocity and displacement of `f(k)` for k = 0 … n − 1 by the same trapezoid rule as
// driftOf, so that the end correction cancels exactly what driftOf will measure.
template <class F>
std::pair<long double, long double> finals(std::size_t n, double dt, F f) {
  analysis::Trapezoid motion;
  long double previous = f(0);
  for (std::size_t k = 1; k < n; ++k) {
    const long double a = f(k);
    motion.step(previous, a, dt);
    previous = a;
  }
  return {motion.velocity, motion.displacement};
}

// Solves the small system m·x = rhs by elimination with partial pivoting; a singular one (a
// record too short for the polynomial) leaves those terms at zero.
template <std::size_t N>
std::array<long double, N> solve(std::array<std::array<long double, N>, N> m,
                                 std::array<long double, N> rhs) {
  for (std::size_t c = 0; c < N; ++c) {
    std::size_t pivot = c;
    for (std::size_t r = c + 1; r < N; ++r)
      if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
    std::swap(m[c], m[pivot]);
    std::swap(rhs[c], rhs[pivot]);
    if (m[c][c] == 0) continue;
    for (std::size_t r = c + 1; r < N; ++r) {
      const long double factor = m[r][c] / m[c][c];
      for (std::size_t k = c; k < N; ++k) m[r][k] -= factor * m[c][k];
      rhs[r] -= factor * rhs[c];
    }
  }
  std::array<long double, N> x{};
  for (std::size_t c = N; c-- > 0;) {
    if (m[c][c] == 0) continue;
    long double s = rhs[c];
    for (std::size_t k = c + 1; k < N; ++k) s -= m[c][k] * x[k];
    x[c] = s / m[c][c];
  }
  return x;
}

}  // namespace

Drift driftOf(const std::vector<double>& accel, double dt) {
  Drift drift;
  analysis::Trapezoid motion;
  for (std::size_t k = 1; k < accel.size(); ++k) {
    motion.step(accel[k - 1], accel[k], dt);
    const double v = static_cast<double>(motion.velocity);
    const double d = static_cast<double>(motion.displacement);
    drift.peakVelocity = std::fmax(drift.peakVelocity, std::fabs(v));
    drift.peakDisplacement = std::fmax(drift.peakDisplacement, std::fabs(d));
  }
  drift.finalVelocity = static_cast<double>(motion.velocity);
  drift.finalDisplacement = static_cast<double>(motion.displacement);
  return drift;
}

void correctBaseline(std::vector<double>& accel, double dt) {
  if (!(dt > 0) || !std::isfinite(dt)) throw AppError(msg::kRecordStep);
  if (accel.size() < 3) throw AppError(msg::kBaselineTooShort);
  for (double a : accel)
    if (!std::isfinite(a)) throw AppError(msg::kRecordNotFinite);
  const std::size_t n = accel.size();
  const long double duration = static_cast<long double>(n - 1) * dt;

  // The displacement, and the least-squares fit of x², …, x⁶ (x = t/duration) to it. Without
  // constant and linear terms the fit keeps the record's start at rest.
  std::vector<long double> displacement(n);
  {
    long double v = 0, d = 0;
    for (std::size_t k = 1; k < n; ++k) {
      const long double vNext = v + (static_cast<long double>(accel[k - 1]) + accel[k]) / 2 * dt;
      d += (v + vNext) / 2 * dt;
      v = vNext;
      displacement[k] = d;
    }
  }
  std::array<std::array<long double, kTerms>, kTerms> gram{};
  std::array<long double, kTerms> moments{};
  for (std::size_t k = 0; k < n; ++k) {
    const long double x = static_cast<long double>(k) / static_cast<long double>(n - 1);
    std::array<long double, kTerms> basis;
    long double power = x * x;
    for (int p = 0; p < kTerms; ++p, power *= x) basis[p] = power;
    for (int i = 0; i < kTerms; ++i) {
      moments[i] += basis[i] * displacement[k];
      for (int j = 0; j < kTerms; ++j) gram[i][j] += basis[i] * basis[j];
    }
  }
  const std::array<long double, kTerms> c = solve(gram, moments);

  std::vector<long double> corrected(n);
  for (std::size_t k = 0; k < n; ++k) {
    const long double x = static_cast<long double>(k) / static_cast<long double>(n - 1);
    long double second = 0, power = 1;
    for (int p = 0; p < kTerms; ++p, power *= x) {
      const int order = p + kLowestOrder;
      second += c[p] * order * (order - 1) * power;
    }
    corrected[k] = accel[k] - second / (duration * duration);
  }

  // What the fit leaves at the end (its derivatives integrate only approximately by trapezoids)
  // is cancelled by a + b·x, solved on the same trapezoid sums.
  const auto [v0, d0] = finals(n, dt, [&](std::size_t k) { return corrected[k]; });
  const auto [vc, dc] = finals(n, dt, [](std::size_t) { return 1.0L; });
  const auto [vl, dl] = finals(n, dt, [&](std::size_t k) {
    return static_cast<long double>(k) / static_cast<long double>(n - 1);
  });
  const std::array<long double, 2> ends = solve<2>({{{vc, vl}, {dc, dl}}}, {v0, d0});
  for (std::size_t k = 0; k < n; ++k) {
    const long double x = static_cast<long double>(k) / static_cast<long double>(n - 1);
    accel[k] = static_cast<double>(corrected[k] - ends[0] - ends[1] * x);
  }
}

void bringToRest(std::vector<double>& accel, double dt) {
  const std::size_t n = accel.size();
  if (n < 3) return;
  const long double pi = std::numbers::pi_v<long double>;
  const auto x = [n](std::size_t k) {
    return static_cast<long double>(k) / static_cast<long double>(n - 1);
  };
  const auto [v0, d0] = finals(n, dt, [&](std::size_t k) { return accel[k]; });
  const auto [v1, d1] = finals(n, dt, [&](std::size_t k) { return std::sin(pi * x(k)); });
  const auto [v2, d2] = finals(n, dt, [&](std::size_t k) { return std::sin(2 * pi * x(k)); });
  const std::array<long double, 2> c = solve<2>({{{v1, v2}, {d1, d2}}}, {v0, d0});
  for (std::size_t k = 1; k + 1 < n; ++k)
    accel[k] =
        static_cast<double>(accel[k] - c[0] * std::sin(pi * x(k)) - c[1] * std::sin(2 * pi * x(k)));
}

}  // namespace accelspec::matching
