// SPDX-License-Identifier: MIT
#include "analysis/spectra.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <functional>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "analysis/analysis_messages.hpp"
#include "analysis/number_text.hpp"
#include "compute/constants.hpp"
#include "compute/oscillator.hpp"
#include "compute/parallel.hpp"
#include "data/error.hpp"
#include "data/fpu.hpp"

namespace accelspec::analysis {

namespace {

// Eight oscillators advance together, as two halves of four: a half fills an AVX register, and
// the two halves are independent dependency chains that hide the latency of the recurrence.
// The types are aligned explicitly: without AVX enabled g++ would align them to 16 bytes only,
// while the AVX clone of the kernel assumes 32.
constexpr std::size_t kLanes = 8;
using Half = double __attribute__((vector_size(32), aligned(32)));
using HalfBits = long long __attribute__((vector_size(32), aligned(32)));

void setLane(Half (&x)[2], std::size_t i, double v) { x[i / 4][i % 4] = v; }
double laneOf(const Half (&x)[2], std::size_t i) { return x[i / 4][i % 4]; }

// The step from a sample to a point τ = k·dt/m later: A11 A12 B11 B12 A21 A22 B21 B22, with
// B11 and B21 already scaled by k/m, since the excitation's increment over τ is (k/m)·Δa.
struct Step {
  Half c[8][2];
};

struct Oscillator {
  std::size_t point = 0, damping = 0;
  long long substeps = 1;
  long double W = 0;
};

// Coefficients of the step to τ = k·dt/m for one oscillator, computed in extended precision
// with the window's formulas and rounded to double once: at low frequencies their terms cancel
// heavily, and in double alone the spectrum would drift from the window's by far more than
// rounding.
void stepCoefficients(double f, double zeta, double dt, long long k, long long m, double out[8]) {
  const long double tau = static_cast<long double>(dt) * k / m;
  const long double share = static_cast<long double>(k) / m;
  fpu::clear();
  const accelspec::Oscillator o = makeOscillator(f, zeta, tau);
  out[0] = static_cast<double>(o.A11);
  out[1] = static_cast<double>(o.A12);
  out[2] = static_cast<double>(o.B11 * share);
  out[3] = static_cast<double>(o.B12);
  out[4] = static_cast<double>(o.A21);
  out[5] = static_cast<double>(o.A22);
  out[6] = static_cast<double>(o.B21 * share);
  out[7] = static_cast<double>(o.B22);
}

// One step of both halves from the state (U, V) with the coefficients S, into (OU, OV), and the
// peaks of |u|, |v| and |2ζωv + ω²u| raised. A macro rather than a function, so that it is
// always compiled for the instruction set of the kernel version it stands in.
#define ACCELSPEC_STEP_AND_PEAKS(S, U0, V0, U1, V1, OU0, OV0, OU1, OV1)                    \
  {                                                                                        \
    const Half nu0 = ((U0 * S.c[0][0] + V0 * S.c[1][0]) - d * S.c[2][0]) - a0 * S.c[3][0]; \
    const Half nu1 = ((U1 * S.c[0][1] + V1 * S.c[1][1]) - d * S.c[2][1]) - a0 * S.c[3][1]; \
    const Half nv0 = ((U0 * S.c[4][0] + V0 * S.c[5][0]) - d * S.c[6][0]) - a0 * S.c[7][0]; \
    const Half nv1 = ((U1 * S.c[4][1] + V1 * S.c[5][1]) - d * S.c[6][1]) - a0 * S.c[7][1]; \
    OU0 = nu0;                                                                             \
    OU1 = nu1;                                                                             \
    OV0 = nv0;                                                                             \
    OV1 = nv1;                                                                             \
    const Half au0 = (Half)((HalfBits)nu0 & magnitude);                                    \
    const Half au1 = (Half)((HalfBits)nu1 & magnitude);                                    \
    const Half av0 = (Half)((HalfBits)nv0 & magnitude);                                    \
    const Half av1 = (Half)((HalfBits)nv1 & magnitude);                                    \
    const Half aa0 = (Half)((HalfBits)(tz0 * nv0 + w20 * nu0) & magnitude);                \
    const Half aa1 = (Half)((HalfBits)(tz1 * nv1 + w21 * nu1) & magnitude);                \
    pu0 = au0 > pu0 ? au0 : pu0;                                                           \
    pu1 = au1 > pu1 ? au1 : pu1;                                                           \
    pv0 = av0 > pv0 ? av0 : pv0;                                                           \
    pv1 = av1 > pv1 ? av1 : pv1;                                                           \
    pa0 = aa0 > pa0 ? aa0 : pa0;                                                           \
    pa1 = aa1 > pa1 ? aa1 : pa1;                                                           \
  }

// Peaks of |u|, |v| and |2ζωv + ω²u| of eight oscillators with the same sub-step count over the
// whole record. The state moves from sample to sample with the full step, so the trajectory at
// the samples does not depend on the sub-steps; the points between are evaluated from the state
// at the sample before them.
[[gnu::always_inline]] inline void peakKernelBody(const double* acc, std::size_t n, long long m,
                                                  const Step* steps, const Half (*scale)[2],
                                                  Half (*peaks)[2]) {
  const HalfBits magnitude = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};
  Half u0 = {}, u1 = {}, v0 = {}, v1 = {};
  Half pu0 = {}, pu1 = {}, pv0 = {}, pv1 = {}, pa0 = {}, pa1 = {};
  const Half w20 = scale[0][0], w21 = scale[0][1], tz0 = scale[1][0], tz1 = scale[1][1];
  const Step& full = steps[m - 1];
  for (std::size_t i = 1; i < n; ++i) {
    const double a0 = acc[i - 1], d = acc[i] - a0;
    for (long long k = 0; k + 1 < m; ++k) {
      [[maybe_unused]] Half su0, sv0, su1, sv1;  // points between samples only raise peaks
      ACCELSPEC_STEP_AND_PEAKS(steps[k], u0, v0, u1, v1, su0, sv0, su1, sv1)
    }
    ACCELSPEC_STEP_AND_PEAKS(full, u0, v0, u1, v1, u0, v0, u1, v1)
  }
  peaks[0][0] = pu0;
  peaks[0][1] = pu1;
  peaks[1][0] = pv0;
  peaks[1][1] = pv1;
  peaks[2][0] = pa0;
  peaks[2][1] = pa1;
}

#undef ACCELSPEC_STEP_AND_PEAKS

// The kernel for processors with AVX2, and for the others. Chosen at run time rather than by
// target_clones, whose resolver runs before ThreadSanitizer's runtime is ready. The two give the
// same bits: neither contracts a multiplication and an addition into one rounding (the build
// passes -ffp-contract=off, so no -march can bring in a fused multiply-add).
__attribute__((target("avx2"))) void peakKernelAvx2(const double* acc, std::size_t n, long long m,
                                                    const Step* steps, const Half (*scale)[2],
                                                    Half (*peaks)[2]) {
  peakKernelBody(acc, n, m, steps, scale, peaks);
}
void peakKernelPlain(const double* acc, std::size_t n, long long m, const Step* steps,
                     const Half (*scale)[2], Half (*peaks)[2]) {
  peakKernelBody(acc, n, m, steps, scale, peaks);
}
std::atomic<PeakKernel> chosenKernel{PeakKernel::Automatic};
void peakKernel(const double* acc, std::size_t n, long long m, const Step* steps,
                const Half (*scale)[2], Half (*peaks)[2]) {
  const PeakKernel kernel = chosenKernel.load(std::memory_order_relaxed);
  const bool avx2 =
      kernel == PeakKernel::Avx2 || (kernel == PeakKernel::Automatic && processorHasAvx2());
  (avx2 ? peakKernelAvx2 : peakKernelPlain)(acc, n, m, steps, scale, peaks);
}

void checkRecord(const std::vector<double>& accel, double dt) {
  if (!(dt > 0) || !std::isfinite(dt)) throw AppError(msg::kRecordStep);
  if (accel.empty()) throw AppError(msg::kRecordEmpty);
  for (double a : accel)
    if (!std::isfinite(a)) throw AppError(msg::kRecordNotFinite);
}

// All oscillators of a request, each with its sub-step count; throws before any work starts.
std::vector<Oscillator> oscillators(const SpectraRequest& r, double dt) {
  std::vector<Oscillator> all;
  for (std::size_t j = 0; j < r.grid.size(); ++j) {
    const double f = r.grid[j].frequency;
    const long long m = r.peaks == Peaks::Samples ? 1 : refinedSubsteps(f, dt);
    if (m > kMaxSubsteps)
      throw AppError(msg::tooManySubsteps(formatNumber(f, 6), formatNumber(dt, 6)));
    for (std::size_t d = 0; d < r.dampings.size(); ++d)
      all.push_back({j, d, m, static_cast<long double>(f) * kTwoPi});
  }
  return all;
}

Spectra emptySpectra(const SpectraRequest& r) {
  Spectra s;
  s.dampings = r.dampings.size();
  s.quantities = r.quantities.size();
  s.points = r.grid.size();
  s.values.assign(s.dampings * s.quantities * s.points, 0.0);
  return s;
}

// Stores the three peaks of one oscillator as the requested quantities.
void store(Spectra& s, const SpectraRequest& r, const Oscillator& o, double sd, double sv,
           double sa) {
  for (std::size_t q = 0; q < r.quantities.size(); ++q) {
    double value = 0;
    switch (r.quantities[q]) {
      case Quantity::Psa:
        value = static_cast<double>(o.W * o.W * sd);
        break;
      case Quantity::Sa:
        value = sa;
        break;
      case Quantity::Sv:
        value = sv;
        break;
      case Quantity::Psv:
        value = static_cast<double>(o.W * sd);
        break;
      case Quantity::Sd:
        value = sd;
        break;
    }
    s.values[(o.damping * s.quantities + q) * s.points + o.point] = value;
  }
}

void checkFinite(const Spectra& s) {
  for (double v : s.values)
    if (!std::isfinite(v)) throw AppError(msg::kResponseOverflow);
}

}  // namespace

const char* quantityUnit(Quantity q) {
  switch (q) {
    case Quantity::Psa:
    case Quantity::Sa:
      return "m_s2";
    case Quantity::Sv:
    case Quantity::Psv:
      return "m_s";
    case Quantity::Sd:
      return "m";
  }
  return "";
}

const char* quantityName(Quantity q) {
  switch (q) {
    case Quantity::Psa:
      return "psa";
    case Quantity::Sa:
      return "sa";
    case Quantity::Sv:
      return "sv";
    case Quantity::Psv:
      return "psv";
    case Quantity::Sd:
      return "sd";
  }
  return "";
}

std::vector<Quantity> parseQuantities(const std::string& text) {
  std::vector<Quantity> list;
  std::size_t from = 0;
  for (;;) {
    const auto comma = text.find(',', from);
    const std::string item = text.substr(from, comma - from);
    bool known = false;
    for (Quantity q : {Quantity::Psa, Quantity::Sa, Quantity::Sv, Quantity::Psv, Quantity::Sd}) {
      if (item != quantityName(q)) continue;
      if (std::find(list.begin(), list.end(), q) != list.end()) break;
      list.push_back(q);
      known = true;
    }
    if (!known) throw AppError(msg::kBadQuantity);
    if (comma == std::string::npos) return list;
    from = comma + 1;
  }
}

std::vector<double> parseDampings(const std::string& text) {
  std::vector<double> list;
  std::size_t from = 0;
  for (;;) {
    const auto comma = text.find(',', from);
    double zeta = 0;
    if (!parseNumber(std::string_view(text).substr(from, comma - from), zeta) || zeta < 0 ||
        zeta >= 1 || std::find(list.begin(), list.end(), zeta) != list.end())
      throw AppError(msg::kBadDamping);
    list.push_back(zeta == 0 ? 0.0 : zeta);  // -0 names its column "0"
    if (comma == std::string::npos) return list;
    from = comma + 1;
  }
}

long long refinedSubsteps(double frequency, double dt) {
  const double wanted = std::ceil(20 * dt * frequency - 1e-9);
  if (!(wanted < static_cast<double>(kMaxSubsteps + 1))) return kMaxSubsteps + 1;
  return std::max(1LL, static_cast<long long>(wanted));
}

double spectraWork(const SpectraRequest& r, std::size_t samples, double dt) {
  double substeps = 0;
  for (const GridPoint& p : r.grid)
    substeps +=
        r.peaks == Peaks::Samples ? 1.0 : static_cast<double>(refinedSubsteps(p.frequency, dt));
  return static_cast<double>(samples) * substeps * static_cast<double>(r.dampings.size()) *
         (r.rotd ? 2 : 1);
}

bool processorHasAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}

void usePeakKernel(PeakKernel kernel) {
  if (kernel == PeakKernel::Avx2 && !processorHasAvx2())
    throw std::logic_error("the AVX2 peak kernel needs a processor with AVX2");
  chosenKernel.store(kernel, std::memory_order_relaxed);
}

Spectra computeSpectra(const std::vector<double>& accel, double dt, const SpectraRequest& r) {
  checkRecord(accel, dt);
  std::vector<Oscillator> all = oscillators(r, dt);
  // Lanes of a batch share their sub-step count; within it, neighbouring frequencies.
  std::stable_sort(all.begin(), all.end(), [](const Oscillator& a, const Oscillator& b) {
    return a.substeps < b.substeps;
  });
  struct Batch {
    std::size_t first = 0, count = 0;
  };
  std::vector<Batch> batches;
  for (std::size_t i = 0; i < all.size();) {
    Batch b{i, 0};
    while (i < all.size() && b.count < kLanes && all[i].substeps == all[b.first].substeps)
      ++i, ++b.count;
    batches.push_back(b);
  }

  Spectra s = emptySpectra(r);
  // A batch's coefficients are made by the thread that runs it: made all at once they would
  // take m·512 bytes a batch, gigabytes for a fine grid of high frequencies.
  parallelFor(batches.size(), r.threads, [&](std::size_t index) {
    if (r.stop.stop_requested()) return;
    const Batch& b = batches[index];
    const long long m = all[b.first].substeps;
    std::vector<Step> steps(static_cast<std::size_t>(m));
    Half scale[2][2] = {};
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      // Spare lanes repeat the last oscillator; their peaks are dropped.
      const Oscillator& o = all[b.first + std::min(lane, b.count - 1)];
      const double f = r.grid[o.point].frequency, zeta = r.dampings[o.damping];
      for (long long k = 1; k <= m; ++k) {
        double c[8];
        stepCoefficients(f, zeta, dt, k, m, c);
        for (int e = 0; e < 8; ++e)
          setLane(steps[static_cast<std::size_t>(k - 1)].c[e], lane, c[e]);
      }
      setLane(scale[0], lane, static_cast<double>(o.W * o.W));
      setLane(scale[1], lane, static_cast<double>(2 * static_cast<long double>(zeta) * o.W));
    }
    Half peaks[3][2];
    peakKernel(accel.data(), accel.size(), m, steps.data(), scale, peaks);
    for (std::size_t lane = 0; lane < b.count; ++lane)
      store(s, r, all[b.first + lane], laneOf(peaks[0], lane), laneOf(peaks[1], lane),
            laneOf(peaks[2], lane));
    if (r.progress) r.progress(b.count);
  });
  if (r.stop.stop_requested()) throw SpectraCancelled();
  checkFinite(s);
  return s;
}

namespace {

constexpr int kAngles = 180;

struct Rotation {
  double c[kAngles], s[kAngles];
  Rotation() {
    for (int k = 0; k < kAngles; ++k) {
      const long double theta = k * std::numbers::pi_v<long double> / 180;
      c[k] = static_cast<double>(std::cos(theta));
      s[k] = static_cast<double>(std::sin(theta));
    }
  }
};

// RotD50 (median) or RotD100 (largest) over the angles of max_t |x(t)·cosθ + y(t)·sinθ|, taken
// in two passes over the points, so that the points themselves need not be kept: a point can be
// made again from the oscillator's state at the sample before it. Only points whose radius
// reaches a lower bound of the smallest of those peaks can be a peak at any angle, so the 180
// projections are taken over those few points alone; the bound comes from the extreme points in
// twelve directions among the samples (the first pass; any points give a bound) and keeps a
// margin for rounding, so the result is the one a projection of every point would give.
class RotatedPeak {
 public:
  static constexpr int kProbes = kAngles / 15;

  RotatedPeak() {
    for (int p = 0; p < kProbes; ++p) pc_[p] = rot_.c[p * 15], ps_[p] = rot_.s[p * 15];
  }

  // First pass: the first point, then every other point in order.
  void first(double x, double y) {
    std::fill(std::begin(bx_), std::end(bx_), x);
    std::fill(std::begin(by_), std::end(by_), y);
    probe(x, y);
  }
  void probe(double x, double y) {
    for (int p = 0; p < kProbes; ++p) {
      const double v = std::fabs(x * pc_[p] + y * ps_[p]);
      const bool above = v > peak_[p];
      peak_[p] = above ? v : peak_[p];
      bx_[p] = above ? x : bx_[p];
      by_[p] = above ? y : by_[p];
    }
  }

  // Between the passes.
  void bound() {
    double bound = INFINITY;
    for (int k = 0; k < kAngles; ++k) {
      double peak = 0;
      for (int p = 0; p < kProbes; ++p)
        peak = std::max(peak, std::fabs(bx_[p] * rot_.c[k] + by_[p] * rot_.s[k]));
      bound = std::min(bound, peak);
    }
    const double keep = bound * (1 - 1e-9);
    keep2_ = keep * keep;
  }

  // Second pass, every point in any order.
  void take(double x, double y) {
    // The squared radius against the squared bound: its rounding is far inside the margin.
    if (x * x + y * y < keep2_) return;
    for (int k = 0; k < kAngles; ++k)
      peaks_[k] = std::max(peaks_[k], std::fabs(x * rot_.c[k] + y * rot_.s[k]));
  }

  double result(int percentile) {
    std::sort(std::begin(peaks_), std::end(peaks_));
    return percentile == 100 ? peaks_[kAngles - 1] : (peaks_[89] + peaks_[90]) / 2;
  }

 private:
  static inline const Rotation rot_{};
  double pc_[kProbes], ps_[kProbes];
  double peak_[kProbes] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  double bx_[kProbes] = {}, by_[kProbes] = {};
  double keep2_ = 0;
  double peaks_[kAngles] = {};
};
static_assert(RotatedPeak::kProbes == 12);

}  // namespace

double rotatedPeak(const std::vector<double>& x, const std::vector<double>& y, int percentile) {
  RotatedPeak peak;
  if (!x.empty()) peak.first(x[0], y[0]);
  for (std::size_t t = 1; t < x.size(); ++t) peak.probe(x[t], y[t]);
  peak.bound();
  for (std::size_t t = 0; t < x.size(); ++t) peak.take(x[t], y[t]);
  return peak.result(percentile);
}

namespace {

using StepTable = std::vector<std::array<double, 8>>;

// Displacement and velocity of one oscillator at the samples only: the state moves from sample
// to sample with the full step.
void sampleStates(const double* acc, std::size_t n, const StepTable& steps, std::vector<double>& u,
                  std::vector<double>& v) {
  const auto& c = steps.back();
  u.assign(n, 0.0);
  v.assign(n, 0.0);
  for (std::size_t i = 1; i < n; ++i) {
    const double a0 = acc[i - 1], d = acc[i] - a0;
    u[i] = ((u[i - 1] * c[0] + v[i - 1] * c[1]) - d * c[2]) - a0 * c[3];
    v[i] = ((u[i - 1] * c[4] + v[i - 1] * c[5]) - d * c[6]) - a0 * c[7];
  }
}

// One oscillator driven by both components: its states at the samples (O(record) memory), from
// which every point between two samples is made again when a pass needs it.
struct PairResponse {
  const double *acc1, *acc2;
  std::size_t n;
  const StepTable& steps;
  std::vector<double> u1, v1, u2, v2;

  PairResponse(const std::vector<double>& a1, const std::vector<double>& a2, const StepTable& s)
      : acc1(a1.data()), acc2(a2.data()), n(a1.size()), steps(s) {
    sampleStates(acc1, n, steps, u1, v1);
    sampleStates(acc2, n, steps, u2, v2);
  }

  // visit(u1, v1, u2, v2) at every point of stretch i: for i = 0 the first sample, otherwise
  // the points after sample i − 1 up to and including sample i. Stretches 0, 1, … n − 1 give the
  // points in time order, with the same bits as a history kept in full.
  template <class Visit>
  void forEachPointOf(std::size_t i, Visit&& visit) const {
    if (i == 0) {
      visit(0.0, 0.0, 0.0, 0.0);
      return;
    }
    const std::size_t m = steps.size();
    const double a1 = acc1[i - 1], d1 = acc1[i] - a1;
    const double a2 = acc2[i - 1], d2 = acc2[i] - a2;
    const double pu1 = u1[i - 1], pv1 = v1[i - 1], pu2 = u2[i - 1], pv2 = v2[i - 1];
    for (std::size_t k = 0; k + 1 < m; ++k) {
      const auto& c = steps[k];
      visit(((pu1 * c[0] + pv1 * c[1]) - d1 * c[2]) - a1 * c[3],
            ((pu1 * c[4] + pv1 * c[5]) - d1 * c[6]) - a1 * c[7],
            ((pu2 * c[0] + pv2 * c[1]) - d2 * c[2]) - a2 * c[3],
            ((pu2 * c[4] + pv2 * c[5]) - d2 * c[6]) - a2 * c[7]);
    }
    visit(u1[i], v1[i], u2[i], v2[i]);
  }
};

}  // namespace

namespace {

// The RotD spectra of the percentiles `percentiles` (50 or 100) from one pass over each
// oscillator: the rotated peaks do not depend on the percentile, only the pick among them.
std::vector<Spectra> rotdRun(const std::vector<double>& accel1, const std::vector<double>& accel2,
                             double dt1, double dt2, const SpectraRequest& r,
                             const std::vector<int>& percentiles) {
  checkRecord(accel1, dt1);
  checkRecord(accel2, dt2);
  if (dt1 != dt2 || accel1.size() != accel2.size()) throw AppError(msg::kRotdMismatch);
  const double dt = dt1;
  const std::vector<Oscillator> all = oscillators(r, dt);
  bool displacement = false, velocity = false, acceleration = false;
  for (Quantity q : r.quantities) {
    velocity |= q == Quantity::Sv;
    acceleration |= q == Quantity::Sa;
    displacement |= q == Quantity::Sd || q == Quantity::Psv || q == Quantity::Psa;
  }

  std::vector<Spectra> out(percentiles.size(), emptySpectra(r));
  // Each running oscillator keeps four sample histories of the record's length: the memory
  // grows with the record and the threads, never with the sub-steps or the angles.
  parallelFor(all.size(), r.threads, [&](std::size_t i) {
    if (r.stop.stop_requested()) return;
    const Oscillator& o = all[i];
    StepTable steps(static_cast<std::size_t>(o.substeps));
    for (long long k = 1; k <= o.substeps; ++k)
      stepCoefficients(r.grid[o.point].frequency, r.dampings[o.damping], dt, k, o.substeps,
                       steps[static_cast<std::size_t>(k - 1)].data());
    const PairResponse response(accel1, accel2, steps);
    const double w2 = static_cast<double>(o.W * o.W);
    const double twoZetaW =
        static_cast<double>(2 * static_cast<long double>(r.dampings[o.damping]) * o.W);
    RotatedPeak sd, sv, sa;
    // The bound needs extreme points of some of the points, not of all: the first pass probes
    // the samples alone, whose states are kept, and makes no point between them. Every point
    // is then made once, and take() passes over those inside the bound.
    const std::size_t n = accel1.size();
    for (std::size_t t = 0; t < n; ++t) {
      const double u1 = response.u1[t], v1 = response.v1[t];
      const double u2 = response.u2[t], v2 = response.v2[t];
      if (displacement) sd.probe(u1, u2);
      if (velocity) sv.probe(v1, v2);
      if (acceleration) sa.probe(twoZetaW * v1 + w2 * u1, twoZetaW * v2 + w2 * u2);
    }
    sd.bound();
    sv.bound();
    sa.bound();
    for (std::size_t t = 0; t < n; ++t)
      response.forEachPointOf(t, [&](double u1, double v1, double u2, double v2) {
        if (displacement) sd.take(u1, u2);
        if (velocity) sv.take(v1, v2);
        if (acceleration) sa.take(twoZetaW * v1 + w2 * u1, twoZetaW * v2 + w2 * u2);
      });
    for (std::size_t p = 0; p < percentiles.size(); ++p)
      store(out[p], r, o, displacement ? sd.result(percentiles[p]) : 0,
            velocity ? sv.result(percentiles[p]) : 0, acceleration ? sa.result(percentiles[p]) : 0);
    if (r.progress) r.progress(1);
  });
  if (r.stop.stop_requested()) throw SpectraCancelled();
  for (const Spectra& s : out) checkFinite(s);
  return out;
}

}  // namespace

Spectra computeRotD(const std::vector<double>& accel1, const std::vector<double>& accel2,
                    double dt1, double dt2, const SpectraRequest& r) {
  return std::move(rotdRun(accel1, accel2, dt1, dt2, r, {r.rotd}).front());
}

std::pair<Spectra, Spectra> computeRotD50And100(const std::vector<double>& accel1,
                                                const std::vector<double>& accel2, double dt1,
                                                double dt2, const SpectraRequest& r) {
  std::vector<Spectra> both = rotdRun(accel1, accel2, dt1, dt2, r, {50, 100});
  return {std::move(both[0]), std::move(both[1])};
}

std::string spectraCsv(const SpectraRequest& r, const Spectra& s) {
  std::string out = "frequency_hz,period_s";
  for (double zeta : r.dampings)
    for (Quantity q : r.quantities)
      out += std::string(",") + quantityName(q) + "_" + shortestText(zeta) + "_" + quantityUnit(q);
  out += '\n';
  for (std::size_t j = 0; j < s.points; ++j) {
    out += formatNumber(r.grid[j].frequency);
    out += ',';
    out += formatNumber(r.grid[j].period);
    for (std::size_t d = 0; d < s.dampings; ++d)
      for (std::size_t q = 0; q < s.quantities; ++q) {
        out += ',';
        out += formatNumber(s.value(d, q, j));
      }
    out += '\n';
  }
  return out;
}

}  // namespace accelspec::analysis
