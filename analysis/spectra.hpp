// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <stop_token>
#include <string>
#include <utility>
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
  /// Called with the number of oscillators (grid point and damping) just finished, from any of
  /// the computing threads, possibly at once; may be empty.
  std::function<void(std::size_t)> progress;
  /// Asked before each group of oscillators: once stop is requested the run throws
  /// SpectraCancelled and returns nothing. Never requested by default.
  std::stop_token stop;
};

/// Thrown by a run whose request's stop was requested. Not an AppError: a cancel is no failure.
class SpectraCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "расчёт спектров отменён"; }
};

/// The work of `request` on a record (or, with request.rotd, a pair of records) of `samples`
/// samples at step dt, in oscillator steps: samples × the sub-steps of each grid point (1 for
/// peaks at the samples) summed over the grid × dampings, × 2 for a pair. One core does about
/// 1e8 of them a second, for one record as for a pair (far fewer where the response has decayed
/// into subnormal numbers). A frequency beyond
/// kMaxSubsteps counts with kMaxSubsteps + 1.
double spectraWork(const SpectraRequest& request, std::size_t samples, double dt);

/// The most work the spectra command does unless told otherwise (--work-limit): 2e10 oscillator
/// steps, a few minutes on one core for one record. Real runs stay well below it: a pair of
/// records of a million samples each at 0.005 s (83 min) on the default grid with five dampings
/// as RotD is 6.5e9; the usual 20 000 samples on the 111 periods of the NGA-West2 grid, under 1e7.
inline constexpr double kDefaultWorkLimit = 2e10;

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
/// each oscillator's two histories are rotated through 0° … 179°; sd, psv and psa from the
/// displacements, sv from the velocities, sa from the absolute accelerations. Only the states at
/// the samples are kept (four arrays of the record's length per running thread); the points
/// between samples are made again from them for each of the two passes the rotation takes.
/// RotD50 is the mean of the 90th and 91st of the 180 sorted values. Throws as computeSpectra,
/// and msg::kRotdMismatch for components of different step or length.
Spectra computeRotD(const std::vector<double>& accel1, const std::vector<double>& accel2,
                    double dt1, double dt2, const SpectraRequest& request);

/// RotD50 and RotD100 of one pair from one run (request.rotd is not read): the values of two
/// computeRotD runs with rotd 50 and 100, bit for bit, for half their work. Throws as
/// computeRotD.
std::pair<Spectra, Spectra> computeRotD50And100(const std::vector<double>& accel1,
                                                const std::vector<double>& accel2, double dt1,
                                                double dt2, const SpectraRequest& request);

/// RotD50 (`percentile` 50: the mean of the 90th and 91st of the 180 sorted values) or RotD100
/// of max_t |x(t)·cos θ + y(t)·sin θ| over θ = 0°, 1°, … 179°; x and y of the same length.
double rotatedPeak(const std::vector<double>& x, const std::vector<double>& y, int percentile);

/// The CSV text of a run: "frequency_hz,period_s," then one column per damping and quantity
/// ("psa_0.05"), one row per grid point in ascending frequency, 10 significant digits, '\n'.
std::string spectraCsv(const SpectraRequest& request, const Spectra& spectra);

/// The two builds of computeSpectra's inner loop: for processors with AVX2 and for the others.
/// Both give the same bits; Automatic takes the AVX2 one where the processor has it.
enum class PeakKernel { Automatic, Plain, Avx2 };

/// Whether this processor runs AVX2 instructions.
bool processorHasAvx2();

/// Makes every later computeSpectra use `kernel` (for tests comparing the two builds). Throws
/// std::logic_error for Avx2 on a processor without it, and then changes nothing.
void usePeakKernel(PeakKernel kernel);

}  // namespace accelspec::analysis
