// SPDX-License-Identifier: MIT
#include "matching/spectral_match.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <string>
#include <utility>

#include "compute/synthesis.hpp"
#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/numbers.hpp"
#include "data/store.hpp"
#include "matching/baseline.hpp"
#include "matching/fft.hpp"
#include "matching/matching_messages.hpp"

namespace accelspec::matching {

namespace {

using Complex = std::complex<double>;

// How far outside the grid the scaling fades back to 1: a quarter of an octave, in log
// frequency. Narrower, the fade rings in time; wider, it reaches far into what the rule does
// not judge.
constexpr double kFade = 1.189207115002721;  // 2^(1/4)

// The factor at frequency f from the factors at the grid points: hat windows in log frequency
// centred on the points, which add to one everywhere; beyond the ends the end factor fades to
// `below` under the grid and to `above` over it within kFade, and stays there.
double bandFactor(const std::vector<analysis::GridPoint>& grid, const std::vector<double>& factor,
                  double f, double below, double above) {
  const double lo = grid.front().frequency, hi = grid.back().frequency;
  if (f <= lo) {
    const double w = std::min(1.0, std::log(lo / f) / std::log(kFade));
    return factor.front() * (1 - w) + below * w;
  }
  if (f >= hi) {
    const double w = std::min(1.0, std::log(f / hi) / std::log(kFade));
    return factor.back() * (1 - w) + above * w;
  }
  const auto upper =
      std::upper_bound(grid.begin(), grid.end(), f,
                       [](double v, const analysis::GridPoint& p) { return v < p.frequency; });
  const std::size_t j = static_cast<std::size_t>(upper - grid.begin());
  const double f0 = grid[j - 1].frequency, f1 = grid[j].frequency;
  const double w = std::log(f / f0) / std::log(f1 / f0);
  return factor[j - 1] * (1 - w) + factor[j] * w;
}

double peakOf(const std::vector<double>& accel) {
  double peak = 0;
  for (double a : accel) peak = std::fmax(peak, std::fabs(a));
  return peak;
}

// A narrow Gaussian pulse of `amount` (m/s²) added at sample k: its content lies near the
// Nyquist frequency, above what the bands steer, and what it adds below the iteration corrects.
void addPulse(std::vector<double>& accel, std::size_t k, double amount) {
  constexpr int kHalfWidth = 8;
  constexpr double kWidth = 1.5;  // samples
  for (int i = -kHalfWidth; i <= kHalfWidth; ++i) {
    const std::ptrdiff_t j = static_cast<std::ptrdiff_t>(k) + i;
    if (j < 0 || j >= static_cast<std::ptrdiff_t>(accel.size())) continue;
    accel[static_cast<std::size_t>(j)] += amount * std::exp(-(i * i) / (kWidth * kWidth));
  }
}

// The peak acceleration is a point of the spectrum no band of the grid controls (its zero-period
// value): every peak of |accel| above `target`·kPeakHigh is lowered to that, a few passes since
// neighbouring pulses add, and a largest peak below `target` is raised to `target`·kPeakRaise,
// so that a rule asking for at least the zero-period value (ec8's mean peak ≥ ag·S) is met
// within the 10 % held. The first and last samples are left alone.
constexpr double kPeakRaise = 1.03, kPeakHigh = 1.08;
void steerPeak(std::vector<double>& accel, double target) {
  if (!(target > 0) || accel.size() < 3) return;
  const std::size_t n = accel.size();
  const double limit = target * kPeakHigh;
  for (int pass = 0; pass < 20; ++pass) {
    bool changed = false;
    for (std::size_t k = 1; k + 1 < n; ++k) {
      const double a = accel[k];
      const double excess = std::fabs(a) - limit;
      if (excess <= 0 || std::fabs(accel[k - 1]) > std::fabs(a) ||
          std::fabs(accel[k + 1]) > std::fabs(a))
        continue;
      addPulse(accel, k, -std::copysign(excess * 1.02, a));
      changed = true;
    }
    if (!changed) break;
  }
  std::size_t top = 1;
  for (std::size_t k = 1; k + 1 < n; ++k)
    if (std::fabs(accel[k]) > std::fabs(accel[top])) top = k;
  const double a = accel[top];
  if (std::fabs(a) < target)
    addPulse(accel, top, std::copysign(target * kPeakRaise - std::fabs(a), a));
}

void stopIfAsked(const MatchGoal& goal) {
  if (goal.stop.stop_requested()) throw MatchCancelled();
}

struct Extremes {
  double lowest, highest;
};

Extremes extremes(const std::vector<double>& r, const std::vector<bool>& judged) {
  Extremes e{INFINITY, -INFINITY};
  for (std::size_t j = 0; j < r.size(); ++j)
    if (judged.empty() || judged[j]) e = {std::min(e.lowest, r[j]), std::max(e.highest, r[j])};
  return e;
}

// How far a candidate is from the goal's band: 0 inside it.
double distance(const Extremes& e, const MatchGoal& goal) {
  return std::max({0.0, std::log(goal.lowest / e.lowest), std::log(e.highest / goal.highest)});
}

// Within 10 % of the zero-period value (with the check's slack), or no such value to keep.
bool peakHeld(double peak, const MatchGoal& goal) {
  return !(goal.peakTarget > 0) || std::fabs(peak / goal.peakTarget - 1) <= 0.1 + 1e-9;
}

// Keeps the best candidate: first one the rule passes with its peak held, then one the rule
// passes, then the closest; among equals the one nearest the aim's band. The run is over once a
// record passes with its peak held and its ratios inside the band.
class Tracker {
 public:
  Tracker(const MatchGoal& goal, double gain) : goal_(goal), gain_(gain) {}

  // True when the run is over.
  bool offer(const std::vector<double>& accel, double dt, const std::vector<double>& ratios,
             int iteration) {
    const Extremes e = extremes(ratios, goal_.judged);
    if (goal_.progress) goal_.progress(iteration, e.lowest, e.highest);
    stopIfAsked(goal_);
    const double d = distance(e, goal_);
    const double peak = peakOf(accel);
    const bool held = peakHeld(peak, goal_);
    // The rule is asked only about a record that could take the lead: it costs a spectrum.
    const int bestPossible = held ? 0 : 1;
    bool passes = false;
    const bool hopeful = e.lowest >= goal_.floor * (1 - 1e-6);
    if (result.accel.empty() || bestPossible < rank_ || (bestPossible == rank_ && d < best_))
      passes = goal_.accepts ? hopeful && goal_.accepts(accel, dt) : d == 0;
    const int rank = passes ? bestPossible : 2;
    if (result.accel.empty() || rank < rank_ || (rank == rank_ && d < best_)) {
      rank_ = rank;
      best_ = d;
      result.accel = accel;
      result.lowestRatio = e.lowest;
      result.highestRatio = e.highest;
      result.peak = peak;
      result.passed = passes;
      result.withinAim = d == 0;
    }
    if (iteration == 1 || d < gainedAt_.second - gain_) gainedAt_ = {iteration, d};
    result.iterations = iteration;
    return rank_ == 0 && best_ == 0;
  }

  // True when the run has not come `gain` closer to the band (in log ratio) for `patience`
  // iterations.
  bool stalled(int iteration, int patience) const {
    return iteration - gainedAt_.first >= patience;
  }

  // Counts the patience afresh from `iteration`, the distance reached so far kept.
  void restartClock(int iteration) { gainedAt_.first = iteration; }

  MatchResult result;

 private:
  const MatchGoal& goal_;
  double gain_;
  int rank_ = 3;
  double best_ = 0;
  std::pair<int, double> gainedAt_{0, 0};  // iteration and distance of the last real gain
};

void checkGoal(const MatchGoal& goal) {
  if (goal.grid.empty() || goal.grid.size() != goal.target.size() ||
      (!goal.judged.empty() && goal.judged.size() != goal.grid.size()) ||
      (!goal.judged.empty() &&
       std::find(goal.judged.begin(), goal.judged.end(), true) == goal.judged.end()))
    throw AppError(msg::kMatchNoPoints);
  for (double t : goal.target)
    if (!(t > 0) || !std::isfinite(t)) throw AppError(msg::kMatchBadTarget);
}

MatchResult scaleFourierBands(const std::vector<double>& seed, double dt, const MatchGoal& goal,
                              double tail);

// The cumulative Arias sums (trapezoid of a², without the constant) and the peak displacement.
struct Intensity {
  long double total = 0;
  double d5_95 = 0, displacement = 0;
};

// When the ascending `energy` first reaches `level`, s, interpolated between its samples.
double crossing(const std::vector<long double>& energy, long double level, double dt) {
  const auto it = std::lower_bound(energy.begin(), energy.end(), level);
  if (it == energy.begin()) return 0;
  if (it == energy.end()) return static_cast<double>(energy.size() - 1) * dt;
  const auto k = static_cast<std::size_t>(it - energy.begin());
  const long double rise = energy[k] - energy[k - 1];
  return static_cast<double>(
      (static_cast<long double>(k - 1) + (rise > 0 ? (level - energy[k - 1]) / rise : 0)) * dt);
}

Intensity intensityOf(const std::vector<double>& accel, double dt) {
  Intensity in;
  std::vector<long double> energy(accel.size(), 0);
  for (std::size_t k = 1; k < accel.size(); ++k) {
    const long double a0 = accel[k - 1], a1 = accel[k];
    energy[k] = energy[k - 1] + (a0 * a0 + a1 * a1) / 2 * dt;
  }
  in.total = energy.empty() ? 0 : energy.back();
  if (in.total > 0)
    in.d5_95 = crossing(energy, 0.95L * in.total, dt) - crossing(energy, 0.05L * in.total, dt);
  in.displacement = driftOf(accel, dt).peakDisplacement;
  return in;
}

}  // namespace

bool Character::kept() const {
  return arias <= 1.25 && arias >= 1 / 1.25 && std::fabs(d5_95Shift) <= 2 && displacement >= 0.5 &&
         displacement <= 1.5 && edges < 0.05;
}

Character characterOf(const std::vector<double>& matched, const std::vector<double>& reference,
                      double dt) {
  Character c;
  const Intensity m = intensityOf(matched, dt), r = intensityOf(reference, dt);
  c.arias = r.total > 0 ? static_cast<double>(m.total / r.total) : NAN;
  c.d5_95Shift = m.d5_95 - r.d5_95;
  c.displacement = r.displacement > 0 ? m.displacement / r.displacement : NAN;
  const double peak = peakOf(matched);
  const std::size_t second = static_cast<std::size_t>(std::llround(1 / dt));
  double edge = 0;
  for (std::size_t k = 0; k < matched.size(); ++k)
    if (k < second || k + second >= matched.size()) edge = std::fmax(edge, std::fabs(matched[k]));
  c.edges = peak > 0 ? edge / peak : 0;
  return c;
}

std::vector<double> ratiosOf(const std::vector<double>& accel, double dt, const MatchGoal& goal) {
  analysis::SpectraRequest request;
  request.grid = goal.grid;
  request.dampings = {goal.damping};
  request.quantities = {goal.quantity};
  request.threads = goal.threads;
  const analysis::Spectra s = analysis::computeSpectra(accel, dt, request);
  std::vector<double> ratios(goal.grid.size());
  for (std::size_t j = 0; j < ratios.size(); ++j) ratios[j] = s.value(0, 0, j) / goal.target[j];
  return ratios;
}

MatchResult matchSeed(const std::vector<double>& seed, double dt, const MatchGoal& goal) {
  checkGoal(goal);
  // The usual first step: the seed scaled so that its spectrum and the target have the same sum
  // over the points matched. The character is then measured against that scaled seed.
  const std::vector<double> ratios = ratiosOf(seed, dt, goal);
  double computed = 0, wanted = 0;
  for (std::size_t j = 0; j < ratios.size(); ++j)
    if (goal.judged.empty() || goal.judged[j]) {
      computed += ratios[j] * goal.target[j];
      wanted += goal.target[j];
    }
  // A seed without motion has nothing to scale: every factor would be infinite.
  if (!(computed > 0)) throw AppError(msg::kMatchSilentSeed);
  const double scale = wanted / computed;
  std::vector<double> scaled = seed;
  for (double& a : scaled) a *= scale;
  MatchResult r = scaleFourierBands(scaled, dt, goal, 0);
  r.reference = std::move(scaled);
  r.scale = scale;
  return r;
}

namespace {

// How much of each iteration's change a sample takes: in full where the record is strong, less
// where it is quiet, in proportion to its envelope (the RMS over kEnvelope seconds) below
// kStrong of the envelope's peak, so that the scaling does not lift the quiet start and coda
// of the seed (their Arias share, the strong-motion duration). A raised cosine over the first
// and last kEdge seconds takes it to zero at both ends, which stay the seed's own.
// Measured on NGA-West2 RSN175 against its ASCE 7 spectrum: kStrong 0.3 left the Arias
// intensity at ×1.25 of the scaled seed, 0.5 at ×1.19 with the same fit; with the whole change
// weighted, the lowest frequencies (whose oscillators peak in the coda) stalled at 0.90.
constexpr double kEnvelope = 2.0, kStrong = 0.5, kEdge = 2.0;
// Below kCrossLow Hz the change reaches the whole record (the edges' ramps only), above
// kCrossHigh it is weighted by the envelope, log-linear between.
constexpr double kCrossLow = 0.5, kCrossHigh = 1.0;
// The factors are averaged in logarithm over ±kSmooth·max(ζ·f, 1/(2·duration)): narrower than
// an oscillator's half-power band or the record's own resolution the factors cannot steer
// neighbouring points apart, and the run rings between them (RSN175: 0.214 Hz at 1.18 beside
// 0.234 Hz at 0.91 without the averaging).
// When a run stalls the averaging is narrowed (×0.5, twice) before the run is given up: the
// wide one converges fast and steadily, a narrower one then reaches ripples it averaged away.
constexpr double kSmooth = 2.0;
constexpr int kNarrowings = 2;
struct ChangeWeights {
  std::vector<double> strong;  ///< the envelope's share, the edges' ramps included
  std::vector<double> edges;   ///< the edges' ramps alone
};
ChangeWeights changeWeights(const std::vector<double>& accel, double dt) {
  const std::size_t n = accel.size();
  std::vector<long double> energy(n + 1, 0);
  for (std::size_t k = 0; k < n; ++k)
    energy[k + 1] = energy[k] + static_cast<long double>(accel[k]) * accel[k];
  const std::size_t half = std::max<std::size_t>(1, std::llround(kEnvelope / (2 * dt)));
  ChangeWeights w{std::vector<double>(n, 0.0), std::vector<double>(n, 1.0)};
  double peak = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t from = k > half ? k - half : 0, to = std::min(n, k + half + 1);
    w.strong[k] = std::sqrt(
        static_cast<double>((energy[to] - energy[from]) / static_cast<long double>(to - from)));
    peak = std::fmax(peak, w.strong[k]);
  }
  const std::size_t ramp = std::min(n / 4, static_cast<std::size_t>(std::llround(kEdge / dt)));
  for (std::size_t k = 0; k < n; ++k) {
    w.strong[k] = peak > 0 ? std::fmin(1.0, w.strong[k] / (kStrong * peak)) : 1.0;
    const std::size_t edge = std::min(k, n - 1 - k);
    if (edge < ramp)
      w.edges[k] = 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(edge) /
                                        static_cast<double>(ramp));
    w.strong[k] *= w.edges[k];
  }
  return w;
}

// Band scaling of the Fourier transform: each iteration multiplies the transform of the record
// by aim/ratio at every grid point, averaged over neighbouring points (bandFactor between and
// beyond them), takes the change weighted by changeWeights, then steers the peak and brings the
// record to rest; `tail` quiet samples are added after the seed first. It stops once a record
// passes within the aim's band, or when it has stalled with the averaging narrowed twice.
MatchResult scaleFourierBands(const std::vector<double>& seed, double dt, const MatchGoal& goal,
                              double tail) {
  if (!(tail >= 0) || static_cast<double>(seed.size()) + tail > kMaxSamples)
    throw AppError(msg::kMatchTooLong);
  std::vector<double> accel = seed;
  accel.resize(seed.size() + static_cast<std::size_t>(tail), 0.0);
  bringToRest(accel, dt);
  // Room after the record, so that what the scaling spreads past its end does not wrap round
  // onto its start.
  std::size_t size = 1;
  while (size < 2 * accel.size()) size <<= 1;
  const std::size_t n = accel.size();
  const ChangeWeights weight = changeWeights(accel, dt);
  const double duration = static_cast<double>(n) * dt;
  double smooth = kSmooth;
  int narrowings = 0;
  Tracker tracker(goal, 0.001);
  std::vector<double> ratios = ratiosOf(accel, dt, goal);
  std::vector<double> factor(ratios.size());
  std::vector<Complex> spectrum(size);
  for (int iteration = 1; iteration <= goal.iterations; ++iteration) {
    stopIfAsked(goal);
    for (std::size_t j = 0; j < ratios.size(); ++j) {
      const double f = goal.grid[j].frequency;
      const double hw = smooth * std::max(goal.damping * f, 0.5 / duration);
      double sum = 0, weights = 0;
      for (std::size_t k = 0; k < ratios.size(); ++k) {
        const double w = 1 - std::fabs(goal.grid[k].frequency - f) / hw;
        if (w <= 0 && k != j) continue;
        const double ww = std::max(w, 1e-3);
        sum += ww * std::log(goal.aim / ratios[k]);
        weights += ww;
      }
      factor[j] = std::exp(sum / weights);
    }
    std::fill(spectrum.begin(), spectrum.end(), Complex(0));
    std::copy(accel.begin(), accel.end(), spectrum.begin());
    fft(spectrum, false);
    // The change, split at the crossover into its low part (real) and its high part
    // (imaginary), both real in time: one inverse transform gives the two.
    const double df = 1 / (dt * static_cast<double>(size));
    spectrum[0] = 0;
    for (std::size_t k = 1; k <= size / 2; ++k) {
      const double f = static_cast<double>(k) * df;
      const double change = bandFactor(goal.grid, factor, f, 1.0, 1.0) - 1;
      const double low = f <= kCrossLow ? 1
                         : f >= kCrossHigh
                             ? 0
                             : std::log(kCrossHigh / f) / std::log(kCrossHigh / kCrossLow);
      const Complex x = spectrum[k];
      const Complex lo = x * (change * low), hi = x * (change * (1 - low));
      spectrum[k] = lo + Complex(0, 1) * hi;
      if (k != size - k) spectrum[size - k] = std::conj(lo) + Complex(0, 1) * std::conj(hi);
    }
    fft(spectrum, true);
    for (std::size_t k = 0; k < n; ++k)
      accel[k] += (weight.edges[k] * spectrum[k].real() + weight.strong[k] * spectrum[k].imag()) /
                  static_cast<double>(size);
    steerPeak(accel, goal.peakTarget);
    bringToRest(accel, dt);
    ratios = ratiosOf(accel, dt, goal);
    if (tracker.offer(accel, dt, ratios, iteration)) break;
    if (tracker.stalled(iteration, goal.patience)) {
      if (narrowings == kNarrowings) break;
      ++narrowings;
      smooth /= 2;
      tracker.restartClock(iteration);
    }
  }
  return tracker.result;
}

// The table stage stalls where a sweep passes its lowest frequencies in less than one of their
// periods: those oscillators answer to the sweep's whole low end, not to one table point, and
// no table correction steers them apart. Its closest record is then matched band by band as a
// seed, which keeps the sweep's phase character and fixes each frequency by itself. The band
// scaling needs room after the sweep's end for the oscillators of the lowest frequency; half
// of their period is enough (measured: none at all leaves the lowest grid points at 0.94 after
// 40 iterations), and keeps the record short.
MatchResult refineSweep(MatchResult table, double dt, const MatchGoal& goal) {
  const int remaining = goal.iterations - table.iterations;
  if ((table.passed && table.withinAim) || remaining <= 0 || table.accel.empty()) return table;
  stopIfAsked(goal);
  MatchGoal bands = goal;
  bands.iterations = remaining;
  const int done = table.iterations;
  if (goal.progress)
    bands.progress = [&goal, done](int i, double lo, double hi) {
      goal.progress(done + i, lo, hi);
    };
  // The tail never takes the record past the longest one the program writes.
  const double room = static_cast<double>(kMaxSamples) - static_cast<double>(table.accel.size());
  const double tail = std::min(std::ceil(0.5 / (goal.grid.front().frequency * dt)), room);
  if (!(tail >= 0)) return table;
  MatchResult r = scaleFourierBands(table.accel, dt, bands, tail);
  r.iterations += done;
  r.reference = std::move(table.reference);
  // The table's record stays when the bands did no better by the tracker's own order.
  const auto rank = [&](const MatchResult& m) {
    return std::make_pair(m.passed ? (peakHeld(m.peak, goal) ? 0 : 1) : 2,
                          distance({m.lowestRatio, m.highestRatio}, goal));
  };
  if (rank(table) < rank(r)) {
    table.iterations = r.iterations;
    return table;
  }
  return r;
}

}  // namespace

MatchResult matchSweep(double duration, double dt, const MatchGoal& goal) {
  // A sweep's response at one frequency owes something to its amplitude at the neighbouring
  // ones: a full correction overshoots.
  constexpr double kRelaxation = 0.7;
  constexpr double kLeadIn = 3;
  // Iterations without a closer record after which the table stage is taken to have stalled;
  // it may use at most half of the run.
  constexpr int kPatience = 5;
  const int tableIterations = std::max(1, std::min(20, goal.iterations / 2));
  checkGoal(goal);
  if (!(dt > 0) || !std::isfinite(dt) || !(duration > 0) || !std::isfinite(duration))
    throw AppError(msg::kMatchBadDuration);
  const double samples = std::round(duration / dt);
  if (samples < 3 || samples > kMaxSamples) throw AppError(msg::kMatchBadDuration);

  // The table starts at every tenth grid point and both ends, amplitudes at the target's.
  std::vector<std::size_t> at;  // grid index of each table point
  for (std::size_t j = 0; j < goal.grid.size(); j += 10) at.push_back(j);
  if (at.back() != goal.grid.size() - 1) at.push_back(goal.grid.size() - 1);
  std::vector<double> amplitude;
  for (std::size_t j : at) amplitude.push_back(goal.target[j]);

  auto store = makeStore();
  // The sweep runs on the numbers as given: the window's kernel, without its form.
  store->T = duration;
  store->ND = static_cast<std::int32_t>(samples);
  store->DT = dt;
  Tracker tracker(goal, 0.01);
  std::vector<double> accel, first;
  // A sweep's peak is its largest table amplitude; one past the grid's top, never matched,
  // carries the peak the rule asks for.
  double tailAmplitude = goal.peakFloor;
  for (int iteration = 1; iteration <= goal.iterations; ++iteration) {
    stopIfAsked(goal);
    // A lead-in below the lowest point, at its amplitude: a sweep that began at a matched
    // frequency would pass it before the oscillator there could build up.
    store->N = static_cast<std::int32_t>(at.size() + 1);
    store->SpF[1] = goal.grid.front().frequency / kLeadIn;
    store->SpA[1] = amplitude.front();
    for (std::size_t i = 0; i < at.size(); ++i) {
      store->SpF[i + 2] = goal.grid[at[i]].frequency;
      store->SpA[i + 2] = amplitude[i];
    }
    const bool peakTail = goal.peakFloor > 0 && goal.peakFrequency > goal.grid.back().frequency;
    if (peakTail) {
      ++store->N;
      store->SpF[store->N] = goal.peakFrequency;
      store->SpA[store->N] = tailAmplitude;
    }
    fpu::clear();
    sweepAccelerogram(*store, nullptr);
    accel.assign(store->Acc.begin() + 1, store->Acc.begin() + 1 + store->ND);
    if (goal.correctSweepBaseline) correctBaseline(accel, dt);
    if (peakTail) {
      double pga = 0;
      for (double a : accel) pga = std::max(pga, std::fabs(a));
      if (pga > 0 && pga < goal.peakFloor * 1.01) tailAmplitude *= goal.peakFloor / pga;
    }
    if (first.empty()) first = accel;
    const std::vector<double> ratios = ratiosOf(accel, dt, goal);
    if (tracker.offer(accel, dt, ratios, iteration)) {
      tracker.result.reference = first;
      return tracker.result;
    }
    if (tracker.stalled(iteration, kPatience) || iteration == tableIterations) break;

    // Amplitudes corrected at the table's points; a point added where the spectrum between two
    // of them strays further from the aim than at either of them.
    std::vector<std::size_t> nextAt;
    std::vector<double> nextAmplitude;
    const auto miss = [&](std::size_t j) { return std::fabs(std::log(ratios[j] / goal.aim)); };
    // Each table point answers for the grid points half-way to its neighbours: their mean
    // (in logarithm) corrects it, since at low frequencies a sweep passes too fast for one
    // oscillator to follow one table point.
    const auto bandRatio = [&](std::size_t i) {
      const std::size_t from = i == 0 ? at[0] : (at[i - 1] + at[i] + 1) / 2;
      const std::size_t to = i + 1 == at.size() ? at[i] : (at[i] + at[i + 1]) / 2;
      double sum = 0;
      for (std::size_t j = from; j <= to; ++j) sum += std::log(ratios[j]);
      return std::exp(sum / static_cast<double>(to - from + 1));
    };
    for (std::size_t i = 0; i < at.size(); ++i) {
      nextAt.push_back(at[i]);
      nextAmplitude.push_back(amplitude[i] * std::pow(goal.aim / bandRatio(i), kRelaxation));
      if (i + 1 == at.size() || at[i + 1] - at[i] < 2) continue;
      std::size_t worst = at[i] + 1;
      for (std::size_t j = at[i] + 1; j < at[i + 1]; ++j)
        if (miss(j) > miss(worst)) worst = j;
      const double controlled = std::max(miss(at[i]), miss(at[i + 1]));
      if (miss(worst) > std::log(1.03) && miss(worst) > controlled + 0.01 &&
          at.size() + (nextAt.size() - i) + 2 < static_cast<std::size_t>(kMaxSpectrumPoints)) {
        const double w = std::log(goal.grid[worst].frequency / goal.grid[at[i]].frequency) /
                         std::log(goal.grid[at[i + 1]].frequency / goal.grid[at[i]].frequency);
        const double a = amplitude[i] * (1 - w) + amplitude[i + 1] * w;
        nextAt.push_back(worst);
        nextAmplitude.push_back(a * std::pow(goal.aim / ratios[worst], kRelaxation));
      }
    }
    at = std::move(nextAt);
    amplitude = std::move(nextAmplitude);
  }
  tracker.result.reference = first;
  return refineSweep(std::move(tracker.result), dt, goal);
}

}  // namespace accelspec::matching
