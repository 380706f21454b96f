// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "analysis/spectra.hpp"

namespace accelspec::analysis {

/// Intensity measures of one record, in SI units. Velocity and displacement come from
/// cumulative trapezoid integration of the record as it is (no baseline correction).
struct Measures {
  double pga = 0;      ///< max |a|, m/s²
  double pgv = 0;      ///< max |v|, m/s
  double pgd = 0;      ///< max |d|, m
  double arias = 0;    ///< π/(2g)·∫a²dt (trapezoid), m/s, g = 9.80665
  double d5_75 = 0;    ///< s between the first reaching of 5 % and of 75 % of the Arias intensity
  double d5_95 = 0;    ///< the same to 95 %; both NaN for a record with no energy
  double cav = 0;      ///< ∫|a|dt (trapezoid), m/s
  double cavStd = 0;   ///< CAV of the 1-s windows whose peak |a| reaches 0.025 g, m/s
  double housner = 0;  ///< ∫PSV dT over 0.10 … 2.50 s, 5 % damping, 0.01-s trapezoid, m
};

/// The measures of `accel` (m/s², step dt s), Housner's intensity with `housnerPeaks` on
/// `threads` threads. Throws AppError as computeSpectra for a bad step or sample, and
/// msg::measureBeyondRange for a measure beyond the double range. Only d5_75 and d5_95 of a
/// record with no energy (every sample zero) are NaN.
Measures computeMeasures(const std::vector<double>& accel, double dt,
                         Peaks housnerPeaks = Peaks::Refined, unsigned threads = 1);

/// The header line of the measures table, with its '\n'.
std::string measuresCsvHeader();

/// One row of the table: the record's name (quoted when it holds a comma, quote or line end),
/// then the measures with 10 significant digits ("nan" where undefined), '\n'.
std::string measuresCsvRow(const std::string& record, const Measures& m);

}  // namespace accelspec::analysis
