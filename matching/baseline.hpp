// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

namespace accelspec::matching {

/// Velocity and displacement of a record by cumulative trapezoid integration from rest.
struct Drift {
  double finalVelocity = 0;      ///< m/s
  double finalDisplacement = 0;  ///< m
  double peakVelocity = 0;       ///< max |v|, m/s
  double peakDisplacement = 0;   ///< max |d|, m
};

/// The drift of `accel` (m/s², step dt s). Empty for fewer than two samples.
Drift driftOf(const std::vector<double>& accel, double dt);

/// Removes the baseline of `accel` (m/s², step dt s > 0, at least 3 finite samples) in place:
/// a polynomial of orders 2 … 6 in time, least-squares fitted to the displacement with its
/// constant and linear terms held at zero, is taken off through its second derivative; then a
/// constant and a linear term of acceleration, solved so that the trapezoid velocity and
/// displacement end at zero. Throws AppError for a bad step, fewer than 3 samples or a sample
/// that is not finite, leaving `accel` unchanged.
void correctBaseline(std::vector<double>& accel, double dt);

/// Brings `accel` (m/s², step dt s, at least 3 samples, all finite) to rest at its end without
/// touching its first and last sample: α·sin(πx) + β·sin(2πx) (x = t/duration) is taken off,
/// solved on the trapezoid sums driftOf uses so that the final velocity and displacement are
/// zero. Both terms vanish at both ends and lie below 1/duration in frequency, so the start of
/// the record and its spectrum above that stay as they were. Does nothing to a shorter record.
void bringToRest(std::vector<double>& accel, double dt);

}  // namespace accelspec::matching
