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
#include "data/numbers.hpp"
#include "data/plain_form.hpp"
#include "data/store.hpp"
#include "matching/baseline.hpp"
#include "matching/matching_messages.hpp"

namespace accelspec::matching {

namespace {

using Complex = std::complex<double>;

// In-place radix-2 transform of a power-of-two length; `inverse` without the 1/n.
void fft(std::vector<Complex>& x, bool inverse) {
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

// The factor at frequency f from the factors at the grid points: hat windows in log frequency
// centred on the points, which add to one everywhere, and the end factors held beyond the ends.
double bandFactor(const std::vector<analysis::GridPoint>& grid, const std::vector<double>& factor,
                  double f) {
  if (f <= grid.front().frequency) return factor.front();
  if (f >= grid.back().frequency) return factor.back();
  const auto upper =
      std::upper_bound(grid.begin(), grid.end(), f,
                       [](double v, const analysis::GridPoint& p) { return v < p.frequency; });
  const std::size_t j = static_cast<std::size_t>(upper - grid.begin());
  const double f0 = grid[j - 1].frequency, f1 = grid[j].frequency;
  const double w = std::log(f / f0) / std::log(f1 / f0);
  return factor[j - 1] * (1 - w) + factor[j] * w;
}

// Lowers every peak of |accel| above `limit` by a narrow Gaussian pulse at it, a few passes
// since neighbouring pulses add. What the pulses add at low frequency the baseline correction
// removes.
void limitPeaks(std::vector<double>& accel, double dt, double limit) {
  constexpr int kHalfWidth = 8;
  constexpr double kWidth = 1.5;  // samples
  const std::size_t n = accel.size();
  for (int pass = 0; pass < 20; ++pass) {
    bool changed = false;
    for (std::size_t k = 0; k < n; ++k) {
      const double a = accel[k];
      const double excess = std::fabs(a) - limit;
      if (excess <= 0) continue;
      if ((k > 0 && std::fabs(accel[k - 1]) > std::fabs(a)) ||
          (k + 1 < n && std::fabs(accel[k + 1]) > std::fabs(a)))
        continue;
      const double amount = std::copysign(excess * 1.02, a);
      for (int i = -kHalfWidth; i <= kHalfWidth; ++i) {
        const std::ptrdiff_t j = static_cast<std::ptrdiff_t>(k) + i;
        if (j < 0 || j >= static_cast<std::ptrdiff_t>(n)) continue;
        accel[static_cast<std::size_t>(j)] -= amount * std::exp(-(i * i) / (kWidth * kWidth));
      }
      changed = true;
    }
    if (!changed) break;
  }
  (void)dt;
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

// Keeps the closest candidate and stops the run once one is accepted.
class Tracker {
 public:
  explicit Tracker(const MatchGoal& goal) : goal_(goal) {}

  // True when `accel` passes and the run is over.
  bool offer(const std::vector<double>& accel, double dt, const std::vector<double>& ratios,
             int iteration) {
    const Extremes e = extremes(ratios, goal_.judged);
    if (goal_.progress) goal_.progress(iteration, e.lowest, e.highest);
    stopIfAsked(goal_);
    const double d = distance(e, goal_);
    const bool inside = d == 0 && (!goal_.accepts || goal_.accepts(accel, dt));
    if (inside || result.accel.empty() || d < best_) {
      best_ = d;
      result.accel = accel;
      result.lowestRatio = e.lowest;
      result.highestRatio = e.highest;
    }
    if (iteration == 1 || d < gainedAt_.second - kGain) gainedAt_ = {iteration, d};
    result.iterations = iteration;
    result.passed = inside;
    return inside;
  }

  // True when the run has not come 1 % closer to the band for `patience` iterations: creeping
  // slower than that, a stage would use up the run.
  bool stalled(int iteration, int patience) const {
    return iteration - gainedAt_.first >= patience;
  }

  MatchResult result;

 private:
  const MatchGoal& goal_;
  static constexpr double kGain = 0.01;
  double best_ = 0;
  std::pair<int, double> gainedAt_{0, 0};  // iteration and distance of the last real gain
};

void checkGoal(const MatchGoal& goal) {
  if (goal.grid.empty() || goal.grid.size() != goal.target.size() ||
      (!goal.judged.empty() && goal.judged.size() != goal.grid.size()) ||
      (!goal.judged.empty() &&
       std::find(goal.judged.begin(), goal.judged.end(), true) == goal.judged.end()))
    throw AppError(std::string(msg::kMatchNoPoints));
  for (double t : goal.target)
    if (!(t > 0) || !std::isfinite(t)) throw AppError(std::string(msg::kMatchBadTarget));
}

MatchResult matchBands(const std::vector<double>& seed, double dt, const MatchGoal& goal,
                       double tail);

}  // namespace

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
  // A quiet tail of one period of the lowest frequency: the oscillators there, the scaling of
  // their band and the baseline correction all need room after the seed's last motion.
  return matchBands(seed, dt, goal, std::ceil(1 / (goal.grid.front().frequency * dt)));
}

namespace {

MatchResult matchBands(const std::vector<double>& seed, double dt, const MatchGoal& goal,
                       double tail) {
  if (!(tail >= 0) || static_cast<double>(seed.size()) + tail > kMaxSamples)
    throw AppError(std::string(msg::kMatchTooLong));
  std::vector<double> accel = seed;
  accel.resize(seed.size() + static_cast<std::size_t>(tail), 0.0);
  correctBaseline(accel, dt);
  // Room after the record, so that what the scaling spreads past its end does not wrap round
  // onto its start.
  std::size_t size = 1;
  while (size < 2 * accel.size()) size <<= 1;
  const std::size_t n = accel.size();
  Tracker tracker(goal);
  std::vector<double> ratios = ratiosOf(accel, dt, goal);
  std::vector<double> factor(ratios.size());
  std::vector<Complex> spectrum(size);
  double peak = goal.peakLimit;
  for (int iteration = 1; iteration <= goal.iterations; ++iteration) {
    stopIfAsked(goal);
    for (std::size_t j = 0; j < ratios.size(); ++j) factor[j] = goal.aim / ratios[j];
    std::fill(spectrum.begin(), spectrum.end(), Complex(0));
    std::copy(accel.begin(), accel.end(), spectrum.begin());
    fft(spectrum, false);
    const double df = 1 / (dt * static_cast<double>(size));
    for (std::size_t k = 1; k <= size / 2; ++k) {
      const double g = bandFactor(goal.grid, factor, static_cast<double>(k) * df);
      spectrum[k] *= g;
      if (k != size - k) spectrum[size - k] *= g;
    }
    fft(spectrum, true);
    for (std::size_t k = 0; k < n; ++k) accel[k] = spectrum[k].real() / static_cast<double>(size);
    // The peak is steered as the bands are: what the top of the grid asks of it, scaled by
    // how far the top missed last time.
    if (goal.peakLimit > 0) {
      peak = std::min(goal.peakLimit, peak * goal.aim / ratios.back());
      limitPeaks(accel, dt, peak);
    }
    correctBaseline(accel, dt);
    ratios = ratiosOf(accel, dt, goal);
    if (tracker.offer(accel, dt, ratios, iteration)) break;
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
  if (table.passed || remaining <= 0 || table.accel.empty()) return table;
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
  MatchResult r = matchBands(table.accel, dt, bands, tail);
  r.iterations += done;
  const Extremes was{table.lowestRatio, table.highestRatio};
  const Extremes is{r.lowestRatio, r.highestRatio};
  if (!r.passed && distance(was, goal) < distance(is, goal)) {
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
  const int tableIterations = std::max(1, goal.iterations / 2);
  checkGoal(goal);
  if (!(dt > 0) || !std::isfinite(dt) || !(duration > 0) || !std::isfinite(duration))
    throw AppError(std::string(msg::kMatchBadDuration));
  const double samples = std::round(duration / dt);
  if (samples < 3 || samples > kMaxSamples) throw AppError(std::string(msg::kMatchBadDuration));

  // The table starts at every tenth grid point and both ends, amplitudes at the target's.
  std::vector<std::size_t> at;  // grid index of each table point
  for (std::size_t j = 0; j < goal.grid.size(); j += 10) at.push_back(j);
  if (at.back() != goal.grid.size() - 1) at.push_back(goal.grid.size() - 1);
  std::vector<double> amplitude;
  for (std::size_t j : at) amplitude.push_back(goal.target[j]);

  auto store = makeStore();
  PlainForm form;
  form.setText(Edit::T, realToText(static_cast<long double>(duration), '.'));
  form.setText(Edit::ND, std::to_string(static_cast<long long>(samples)));
  form.setText(Edit::DT, realToText(static_cast<long double>(dt), '.'));
  Tracker tracker(goal);
  std::vector<double> accel;
  // A sweep's peak is its largest table amplitude; one past the grid's top, never matched,
  // carries the peak the rule asks for.
  double tailAmplitude = goal.peakFloor * goal.aim;
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
    synthesizeAccelerogram(*store, form);
    form.chart().clearAll();  // the drawn copy is not needed here
    accel.assign(store->Acc.begin() + 1, store->Acc.begin() + 1 + store->ND);
    if (goal.correctSweepBaseline) correctBaseline(accel, dt);
    if (peakTail) {
      double pga = 0;
      for (double a : accel) pga = std::max(pga, std::fabs(a));
      if (pga > 0 && pga < goal.peakFloor * 1.01) tailAmplitude *= goal.peakFloor * goal.aim / pga;
    }
    const std::vector<double> ratios = ratiosOf(accel, dt, goal);
    if (tracker.offer(accel, dt, ratios, iteration)) return tracker.result;
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
  return refineSweep(std::move(tracker.result), dt, goal);
}

}  // namespace accelspec::matching
