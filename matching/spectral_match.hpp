#pragma once

#include <exception>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/grid.hpp"
#include "analysis/spectra.hpp"

namespace accelspec::matching {

/// What a matching run aims at and how it knows it is done.
struct MatchGoal {
  /// The points the spectrum is brought to, ascending frequency, with the target there (m/s²).
  std::vector<analysis::GridPoint> grid;
  std::vector<double> target;
  /// The points whose ratios must lie in [lowest, highest]; empty: all of them.
  std::vector<bool> judged;
  double damping = 0.05;
  analysis::Quantity quantity = analysis::Quantity::Psa;
  /// The ratio to the target the run steers every point towards: a little above 1, so that a
  /// rule with a floor and a ceiling is met with room on both sides.
  double aim = 1.05;
  int iterations = 30;
  unsigned threads = 1;
  /// The verdict on a candidate record (m/s², step dt): true when it may be written. Called
  /// with every candidate whose ratios on `grid` lie within [lowest, highest].
  std::function<bool(const std::vector<double>& accel, double dt)> accepts;
  double lowest = 0.95, highest = 1.15;
  /// The peak ground acceleration a matched seed is held to, m/s² (0: none). At the highest
  /// frequencies the spectrum is the peak acceleration, which no band scaling can lower.
  double peakLimit = 0;
  /// The least peak acceleration a sweep must reach, m/s² (0: none), carried by a table point
  /// at `peakFrequency` Hz above the grid.
  double peakFloor = 0, peakFrequency = 0;
  /// Whether the sweep's own drift is taken off each synthesised record before it is judged.
  bool correctSweepBaseline = true;
  /// Told after each iteration (1-based) the lowest and highest ratio on `grid`.
  std::function<void(int iteration, double lowest, double highest)> progress;
  /// Asked after every iteration (the progress call included) and between the stages: once
  /// stop is requested the run throws MatchCancelled and returns nothing.
  std::stop_token stop;
};

/// Thrown by a run whose goal's stop was requested. Not an AppError: a cancel is no failure,
/// and nothing of the run is kept.
class MatchCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "подбор отменён"; }
};

/// The outcome of a run: the best record found and how close it came.
struct MatchResult {
  bool passed = false;
  std::vector<double> accel;  ///< the accepted record, or the closest one when none passed
  double lowestRatio = 0, highestRatio = 0;
  int iterations = 0;
};

/// The ratios computed/target on goal.grid for `accel`.
std::vector<double> ratiosOf(const std::vector<double>& accel, double dt, const MatchGoal& goal);

/// Continuous-wavelet spectral matching of a seed record (m/s², step dt): the record is split
/// into narrow log-spaced frequency bands (a partition of unity in the Fourier domain, so the
/// bands add back to the record), each band is scaled by the ratio target/computed at its centre
/// and the record rebuilt, which keeps the seed's phase at every frequency; after each pass the
/// baseline is corrected. The record returned is the seed followed by a quiet tail of one period
/// of the lowest grid frequency. Throws AppError as computeSpectra for a bad seed, and
/// msg::kMatchTooLong when the record would exceed 100000 samples; MatchCancelled on a stop.
MatchResult matchSeed(const std::vector<double>& seed, double dt, const MatchGoal& goal);

/// Matching by the program's own sine sweep: the target sampled into a spectrum table of
/// frequencies and amplitudes, the sweep of `duration` s at step dt synthesised, the table's
/// amplitudes corrected by target/computed and, where the spectrum between two table points is
/// not controlled by them, a point added at the worst grid frequency between (up to 998 points).
/// When that stalls (5 iterations without coming 1 % closer, or half of goal.iterations used),
/// the closest sweep goes on through matchSeed's band scaling with a quiet tail of half a period
/// of the lowest grid frequency, within 100000 samples; iterations count both stages.
/// Throws AppError for a duration or step the synthesis cannot use; MatchCancelled on a stop.
MatchResult matchSweep(double duration, double dt, const MatchGoal& goal);

}  // namespace accelspec::matching
