#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "analysis/grid.hpp"

namespace accelspec::analysis {

/// What a spectrum column holds, for damping ζ and ω = 2πf: psa = ω²·SD, sa = peak absolute
/// acceleration (m/s²), sv = peak relative velocity (m/s), psv = ω·SD (m/s), sd = peak relative
/// displacement (m).
enum class Quantity { Psa, Sa, Sv, Psv, Sd };

/// Where peaks are taken: at every sub-step (none longer than T/20) or at the record's samples.
enum class Peaks { Refined, Samples };

/// The column name of a quantity ("psa").
const char* quantityName(Quantity q);
/// The SI unit of `q` as a column name ends with it: "m_s2" (m/s²), "m_s" (m/s), "m".
const char* quantityUnit(Quantity q);

/// Parses "psa,sa" (no blanks, no repeats). Throws AppError msg::kBadQuantity.
std::vector<Quantity> parseQuantities(const std::string& text);

/// Parses "0.02,0.05" (each 0 <= ζ < 1, no repeats). Throws AppError msg::kBadDamping.
std::vector<double> parseDampings(const std::string& text);

/// Sub-steps of one sample step for refined peaks: max(1, ceil(20·dt·f − 1e-9)).
long long refinedSubsteps(double frequency, double dt);

/// The most sub-steps a sample step may be split into.
inline constexpr long long kMaxSubsteps = 1000;

struct SpectraRequest {
  std::vector<GridPoint> grid;
  std::vector<double> dampings{0.05};
  std::vector<Quantity> quantities{Quantity::Psa};
  Peaks peaks = Peaks::Refined;
  int rotd = 0;          ///< 0 for one record, 50 or 100 for a pair of horizontal components
  unsigned threads = 1;  ///< threads computing oscillators, the caller's included
};

/// The values of a run: value(d, q, j) for damping index d, quantity index q (the request's
/// orders) and grid point j.
struct Spectra {
  std::size_t dampings = 0, quantities = 0, points = 0;
  std::vector<double> values;
  double value(std::size_t d, std::size_t q, std::size_t j) const {
    return values[(d * quantities + q) * points + j];
  }
};

/// Response spectra of the record `accel` (m/s², step dt s, at rest before its first sample)
/// for every grid point and damping, in one pass over the record per group of oscillators.
/// Computed in double with the coefficients of the exact piecewise-linear step rounded once
/// from extended precision. Throws AppError for a step that is not positive and finite, an empty
/// record, a sample that is not finite, a frequency needing more than kMaxSubsteps sub-steps, and
/// a response beyond the double range. Thread-safe; allocates its own work space.
Spectra computeSpectra(const std::vector<double>& accel, double dt, const SpectraRequest& request);

/// RotD50 or RotD100 (request.rotd) of two horizontal components with the same step and length:
/// each oscillator's two histories are computed once and rotated through 0° … 179°; sd, psv and
/// psa from the displacements, sv from the velocities, sa from the absolute accelerations.
/// RotD50 is the mean of the 90th and 91st of the 180 sorted values. Throws as computeSpectra,
/// and msg::kRotdMismatch for components of different step or length.
Spectra computeRotD(const std::vector<double>& accel1, const std::vector<double>& accel2,
                    double dt1, double dt2, const SpectraRequest& request);

/// RotD50 (`percentile` 50: the mean of the 90th and 91st of the 180 sorted values) or RotD100
/// of max_t |x(t)·cos θ + y(t)·sin θ| over θ = 0°, 1°, … 179°; x and y of the same length.
double rotatedPeak(const std::vector<double>& x, const std::vector<double>& y, int percentile);

/// The CSV text of a run: "frequency_hz,period_s," then one column per damping and quantity
/// ("psa_0.05"), one row per grid point in ascending frequency, 10 significant digits, '\n'.
std::string spectraCsv(const SpectraRequest& request, const Spectra& spectra);

}  // namespace accelspec::analysis
