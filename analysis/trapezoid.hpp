// SPDX-License-Identifier: MIT
#pragma once

namespace accelspec::analysis {

/// Velocity (m/s) and displacement (m) of a record from rest by the trapezoid rule, in extended
/// precision: the one integration the measures, the plots and the baseline correction share,
/// so that their peaks and final values agree to the last bit.
struct Trapezoid {
  long double velocity = 0, displacement = 0;

  /// Advances over one step of dt s from acceleration a0 to a1 (m/s²).
  void step(long double a0, long double a1, long double dt) {
    const long double next = velocity + (a0 + a1) / 2 * dt;
    displacement += (velocity + next) / 2 * dt;
    velocity = next;
  }
};

}  // namespace accelspec::analysis
