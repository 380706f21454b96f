// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace accelspec::testing {

/// A deterministic earthquake-like record, m/s²: broadband noise under a rise-hold-decay
/// envelope, peak near 3 m/s², so that every oscillator sees a strong, irregular excitation.
inline std::vector<double> syntheticRecord(std::size_t n, double dt, std::uint64_t seed = 1) {
  std::vector<double> a(n);
  std::uint64_t x = seed * 6364136223846793005ULL + 1442695040888963407ULL;
  double low = 0;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    const double white = static_cast<double>(x >> 11) / 9007199254740992.0 - 0.5;
    low += 0.2 * (white - low);  // some low-frequency content as well as the white part
    const double t = static_cast<double>(i) * dt, total = static_cast<double>(n) * dt;
    const double envelope = t < 0.1 * total   ? t / (0.1 * total)
                            : t < 0.4 * total ? 1.0
                                              : std::exp(-4 * (t - 0.4 * total) / total);
    a[i] = envelope * (3 * white + 8 * low + 0.5 * std::sin(2 * M_PI * 0.7 * t));
  }
  return a;
}

}  // namespace accelspec::testing
