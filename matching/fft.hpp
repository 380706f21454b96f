// SPDX-License-Identifier: MIT
#pragma once

#include <complex>
#include <cstddef>
#include <numbers>
#include <utility>
#include <vector>

namespace accelspec::matching {

/// In-place radix-2 transform of a power-of-two length; `inverse` without the 1/n.
inline void fft(std::vector<std::complex<double>>& x, bool inverse) {
  using Complex = std::complex<double>;
  const std::size_t n = x.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const double angle = (inverse ? 2 : -2) * std::numbers::pi / static_cast<double>(len);
    const Complex unit(std::cos(angle), std::sin(angle));
    for (std::size_t i = 0; i < n; i += len) {
      Complex w(1);
      for (std::size_t k = 0; k < len / 2; ++k, w *= unit) {
        const Complex a = x[i + k], b = x[i + k + len / 2] * w;
        x[i + k] = a + b;
        x[i + k + len / 2] = a - b;
      }
    }
  }
}

}  // namespace accelspec::matching
