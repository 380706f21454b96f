// SPDX-License-Identifier: MIT
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
  /// The points the spectrum is brought to, ascending frequency, with the target there (m/s²):
  /// the points the rule judges. Outside them the record is left as it is as far as the band
  /// scaling allows.
  std::vector<analysis::GridPoint> grid;
  std::vector<double> target;
  /// The points whose ratios must lie in [lowest, highest]; empty: all of them.
  std::vector<bool> judged;
  double damping = 0.05;
  analysis::Quantity quantity = analysis::Quantity::Psa;
  /// The ratio to the target the run steers every point towards: a little above 1, so that a
  /// rule with a floor and a ceiling is met with room on both sides.
  double aim = 1.05;
  /// The most iterations a run may take; it stops earlier once a record passes within the aim's
  /// band, or once it has stalled (`patience` iterations without coming 0.1 % closer, the
  /// averaging of the band factors narrowed twice first).
  int iterations = 200;
  int patience = 30;
  unsigned threads = 1;
  /// The rule's verdict on a candidate record (m/s², step dt): true when it passes and may be
  /// written. Without it every candidate within [lowest, highest] passes.
  std::function<bool(const std::vector<double>& accel, double dt)> accepts;
  /// The rule's floor on the ratios: a candidate with a ratio below it cannot pass and is not
  /// put to `accepts` (each verdict costs a spectrum).
  double floor = 0;
  /// The band the aim keeps the ratios in; a record the rule passes outside it is still
  /// written, with a warning.
  double lowest = 0.95, highest = 1.15;
  /// The target's zero-period value, m/s² (0: none): the record's peak acceleration is steered
  /// to it and kept within 10 % of it.
  double peakTarget = 0;
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
  bool passed = false;        ///< the rule passed `accel` (goal.accepts)
  bool withinAim = false;     ///< and its ratios lie within [goal.lowest, goal.highest]
  std::vector<double> accel;  ///< the best record the rule passed, or the closest one
  double lowestRatio = 0, highestRatio = 0;
  double peak = 0;  ///< max |accel|, m/s²
  int iterations = 0;
  /// What the record's character is measured against: the seed scaled by `scale` (Σ target /
  /// Σ spectrum of the seed over the grid), or a sweep's first synthesis (scale 1).
  std::vector<double> reference;
  double scale = 1;
};

/// How far a matched record strayed from the record it was matched from.
struct Character {
  double arias = 0;         ///< Arias intensity, matched / reference
  double d5_95Shift = 0;    ///< D5–95 of the matched record minus the reference's, s
  double displacement = 0;  ///< peak displacement (trapezoid from rest), matched / reference
  double edges = 0;         ///< largest |a| in the first and the last second, share of the peak |a|
  /// Arias within ×1.25, D5–95 within 2 s, displacement within ×0.5–1.5, edges below 5 %.
  bool kept() const;
};

/// The character of `matched` against `reference` (both m/s², step dt, at least two samples).
Character characterOf(const std::vector<double>& matched, const std::vector<double>& reference,
                      double dt);

/// The ratios computed/target on goal.grid for `accel`.
std::vector<double> ratiosOf(const std::vector<double>& accel, double dt, const MatchGoal& goal);

/// Spectral matching of a seed record (m/s², step dt) by band scaling of its Fourier
/// transform. The seed is first scaled by Σ target / Σ spectrum over the grid. Each iteration
/// multiplies the transform by target·aim/computed, interpolated between the grid points by
/// hat windows in log frequency (a partition of unity, so the bands add back to the record)
/// and fading to 1 within a quarter of an octave outside the grid: the phase of every frequency
/// stays the seed's, and so does its amplitude outside the judged range. Above 1 Hz the change
/// is weighted by the record's envelope (the quiet start and coda keep their level), it is faded
/// in over the first and out over the last 2 s, narrow pulses steer the peak acceleration to
/// goal.peakTarget, and two half-sine terms bring the record to rest without touching its
/// ends. The record keeps the seed's length. Throws AppError as computeSpectra for
/// a bad seed, msg::kMatchSilentSeed for a seed whose spectrum is zero; MatchCancelled on a
/// stop.
MatchResult matchSeed(const std::vector<double>& seed, double dt, const MatchGoal& goal);

/// Matching by the program's own sine sweep: the target sampled into a spectrum table of
/// frequencies and amplitudes, the sweep of `duration` s at step dt synthesised, the table's
/// amplitudes corrected by target/computed and, where the spectrum between two table points is
/// not controlled by them, a point added at the worst grid frequency between (up to 998 points).
/// When that stalls (5 iterations without coming 1 % closer, or 20 iterations used), the
/// closest sweep goes on through matchSeed's band scaling with a quiet tail of half a period of
/// the lowest grid frequency, within 100000 samples; iterations count both stages. A table
/// point above the grid carries the peak acceleration to goal.peakTarget.
/// Throws AppError for a duration or step the synthesis cannot use; MatchCancelled on a stop.
MatchResult matchSweep(double duration, double dt, const MatchGoal& goal);

}  // namespace accelspec::matching
