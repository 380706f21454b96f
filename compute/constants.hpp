// SPDX-License-Identifier: MIT
#pragma once

namespace accelspec {

/// 2π, the extended value nearest to it (6.283185307179586477).
inline constexpr long double kTwoPi = 6.283185307179586476925286766559005768394L;

}  // namespace accelspec
