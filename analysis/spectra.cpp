#include "analysis/spectra.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <numbers>
#include <system_error>
#include <thread>

#include "analysis/analysis_messages.hpp"
#include "analysis/number_text.hpp"
#include "compute/constants.hpp"
#include "compute/oscillator.hpp"
#include "data/error.hpp"
#include "data/fpu.hpp"

namespace accelspec::analysis {

namespace {

// Eight oscillators advance together: two AVX registers (or four SSE ones) per operation, which
// also gives two independent dependency chains to hide the latency of the recurrence.
constexpr std::size_t kLanes = 8;
// Aligned explicitly: without AVX enabled g++ aligns a 64-byte vector to 16 bytes only, while
// the AVX clone of the kernel assumes its natural alignment.
using Lanes =
    double __attribute__((vector_size(kLanes * sizeof(double)), aligned(kLanes * sizeof(double))));

// The step from a sample to a point τ = k·dt/m later: A11 A12 B11 B12 A21 A22 B21 B22, with
// B11 and B21 already scaled by k/m, since the excitation's increment over τ is (k/m)·Δa.
struct Step {
  Lanes c[8];
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

// Peaks of |u|, |v| and |2ζωv + ω²u| of eight oscillators with the same sub-step count over the
// whole record. The state moves from sample to sample with the full step, so the trajectory at
// the samples does not depend on the sub-steps; the points between are evaluated from the state
// at the sample before them.
__attribute__((target_clones("avx2", "default"))) void peakKernel(const double* acc, std::size_t n,
                                                                  long long m, const Step* steps,
                                                                  const Lanes* scale,
                                                                  Lanes* peaks) {
  const Lanes zero = {};
  Lanes u = zero, v = zero, pu = zero, pv = zero, pa = zero;
  const Lanes w2 = scale[0], twoZetaW = scale[1];
  const Step& full = steps[m - 1];
  for (std::size_t i = 1; i < n; ++i) {
    const double a0 = acc[i - 1], d = acc[i] - a0;
    for (long long k = 0; k + 1 < m; ++k) {
      const Step& s = steps[k];
      const Lanes uk = ((u * s.c[0] + v * s.c[1]) - d * s.c[2]) - a0 * s.c[3];
      const Lanes vk = ((u * s.c[4] + v * s.c[5]) - d * s.c[6]) - a0 * s.c[7];
      const Lanes ak = twoZetaW * vk + w2 * uk;
      const Lanes au = uk < 0 ? -uk : uk, av = vk < 0 ? -vk : vk, aa = ak < 0 ? -ak : ak;
      pu = au > pu ? au : pu;
      pv = av > pv ? av : pv;
      pa = aa > pa ? aa : pa;
    }
    const Lanes nu = ((u * full.c[0] + v * full.c[1]) - d * full.c[2]) - a0 * full.c[3];
    const Lanes nv = ((u * full.c[4] + v * full.c[5]) - d * full.c[6]) - a0 * full.c[7];
    u = nu;
    v = nv;
    const Lanes a = twoZetaW * v + w2 * u;
    const Lanes au = u < 0 ? -u : u, av = v < 0 ? -v : v, aa = a < 0 ? -a : a;
    pu = au > pu ? au : pu;
    pv = av > pv ? av : pv;
    pa = aa > pa ? aa : pa;
  }
  peaks[0] = pu;
  peaks[1] = pv;
  peaks[2] = pa;
}

void checkRecord(const std::vector<double>& accel, double dt) {
  if (!(dt > 0) || !std::isfinite(dt)) throw AppError(std::string(msg::kRecordStep));
  if (accel.empty()) throw AppError(std::string(msg::kRecordEmpty));
  for (double a : accel)
    if (!std::isfinite(a)) throw AppError(std::string(msg::kRecordNotFinite));
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

// Runs task(0 … count − 1) on `threads` threads, the caller's included; threads the system
// refuses are done without.
void parallelFor(std::size_t count, unsigned threads,
                 const std::function<void(std::size_t)>& task) {
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    for (std::size_t i = next++; i < count; i = next++) task(i);
  };
  std::vector<std::thread> pool;
  const std::size_t extra = std::min<std::size_t>(threads, count) - (count > 0 ? 1 : 0);
  for (std::size_t t = 0; t < extra && threads > 0; ++t) {
    try {
      pool.emplace_back(worker);
    } catch (const std::system_error&) {
      break;
    }
  }
  worker();
  for (auto& t : pool) t.join();
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
    if (!std::isfinite(v)) throw AppError(std::string(msg::kResponseOverflow));
}

}  // namespace

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
    if (!known) throw AppError(std::string(msg::kBadQuantity));
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
      throw AppError(std::string(msg::kBadDamping));
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

Spectra computeSpectra(const std::vector<double>& accel, double dt, const SpectraRequest& r) {
  checkRecord(accel, dt);
  std::vector<Oscillator> all = oscillators(r, dt);
  // Lanes of a batch share their sub-step count; within it, neighbouring frequencies.
  std::stable_sort(all.begin(), all.end(), [](const Oscillator& a, const Oscillator& b) {
    return a.substeps < b.substeps;
  });
  struct Batch {
    std::size_t first = 0, count = 0;
    std::vector<Step> steps;
    Lanes scale[2] = {};
  };
  std::vector<Batch> batches;
  for (std::size_t i = 0; i < all.size();) {
    Batch b;
    b.first = i;
    while (i < all.size() && b.count < kLanes && all[i].substeps == all[b.first].substeps)
      ++i, ++b.count;
    const long long m = all[b.first].substeps;
    b.steps.resize(static_cast<std::size_t>(m));
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      // Spare lanes repeat the last oscillator; their peaks are dropped.
      const Oscillator& o = all[b.first + std::min(lane, b.count - 1)];
      const double f = r.grid[o.point].frequency, zeta = r.dampings[o.damping];
      for (long long k = 1; k <= m; ++k) {
        double c[8];
        stepCoefficients(f, zeta, dt, k, m, c);
        for (int e = 0; e < 8; ++e) b.steps[static_cast<std::size_t>(k - 1)].c[e][lane] = c[e];
      }
      b.scale[0][lane] = static_cast<double>(o.W * o.W);
      b.scale[1][lane] = static_cast<double>(2 * static_cast<long double>(zeta) * o.W);
    }
    batches.push_back(std::move(b));
  }

  Spectra s = emptySpectra(r);
  parallelFor(batches.size(), r.threads, [&](std::size_t index) {
    const Batch& b = batches[index];
    Lanes peaks[3];
    peakKernel(accel.data(), accel.size(), static_cast<long long>(b.steps.size()), b.steps.data(),
               b.scale, peaks);
    for (std::size_t lane = 0; lane < b.count; ++lane)
      store(s, r, all[b.first + lane], peaks[0][lane], peaks[1][lane], peaks[2][lane]);
  });
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

// RotD50 (median) or RotD100 (largest) over the angles of max_t |x(t)·cosθ + y(t)·sinθ|.
// Only points whose radius reaches a lower bound of the smallest of those peaks can be a peak
// at any angle, so the 180 projections are taken over those few points alone; the bound comes
// from the extreme points in twelve directions and keeps a margin for rounding, so the result
// is the one a projection of every point would give.
}  // namespace

double rotatedPeak(const std::vector<double>& x, const std::vector<double>& y, int percentile) {
  static const Rotation rot;
  const std::size_t n = x.size();
  std::vector<std::size_t> probes;
  for (int k = 0; k < kAngles; k += 15) {
    std::size_t best = 0;
    double peak = -1;
    for (std::size_t t = 0; t < n; ++t) {
      const double p = std::fabs(x[t] * rot.c[k] + y[t] * rot.s[k]);
      if (p > peak) peak = p, best = t;
    }
    probes.push_back(best);
  }
  double bound = INFINITY;
  for (int k = 0; k < kAngles; ++k) {
    double peak = 0;
    for (std::size_t t : probes)
      peak = std::max(peak, std::fabs(x[t] * rot.c[k] + y[t] * rot.s[k]));
    bound = std::min(bound, peak);
  }
  const double keep = bound * (1 - 1e-9);
  double peaks[kAngles] = {};
  for (std::size_t t = 0; t < n; ++t) {
    if (std::hypot(x[t], y[t]) < keep) continue;
    for (int k = 0; k < kAngles; ++k)
      peaks[k] = std::max(peaks[k], std::fabs(x[t] * rot.c[k] + y[t] * rot.s[k]));
  }
  std::sort(std::begin(peaks), std::end(peaks));
  return percentile == 100 ? peaks[kAngles - 1] : (peaks[89] + peaks[90]) / 2;
}

namespace {

// Displacement and velocity of one oscillator at the samples and at every point between them.
void histories(const double* acc, std::size_t n, const std::vector<std::array<double, 8>>& steps,
               std::vector<double>& u, std::vector<double>& v) {
  const std::size_t m = steps.size();
  u.assign((n - 1) * m + 1, 0.0);
  v.assign(u.size(), 0.0);
  double du = 0, dv = 0;
  std::size_t at = 1;
  for (std::size_t i = 1; i < n; ++i) {
    const double a0 = acc[i - 1], d = acc[i] - a0;
    for (std::size_t k = 0; k < m; ++k, ++at) {
      const auto& c = steps[k];
      u[at] = ((du * c[0] + dv * c[1]) - d * c[2]) - a0 * c[3];
      v[at] = ((du * c[4] + dv * c[5]) - d * c[6]) - a0 * c[7];
    }
    du = u[at - 1];
    dv = v[at - 1];
  }
}

}  // namespace

Spectra computeRotD(const std::vector<double>& accel1, const std::vector<double>& accel2,
                    double dt1, double dt2, const SpectraRequest& r) {
  checkRecord(accel1, dt1);
  checkRecord(accel2, dt2);
  if (dt1 != dt2 || accel1.size() != accel2.size()) throw AppError(std::string(msg::kRotdMismatch));
  const double dt = dt1;
  const std::vector<Oscillator> all = oscillators(r, dt);
  std::vector<std::vector<std::array<double, 8>>> steps(all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Oscillator& o = all[i];
    steps[i].resize(static_cast<std::size_t>(o.substeps));
    for (long long k = 1; k <= o.substeps; ++k)
      stepCoefficients(r.grid[o.point].frequency, r.dampings[o.damping], dt, k, o.substeps,
                       steps[i][static_cast<std::size_t>(k - 1)].data());
  }
  bool displacement = false, velocity = false, acceleration = false;
  for (Quantity q : r.quantities) {
    velocity |= q == Quantity::Sv;
    acceleration |= q == Quantity::Sa;
    displacement |= q == Quantity::Sd || q == Quantity::Psv || q == Quantity::Psa;
  }

  Spectra s = emptySpectra(r);
  parallelFor(all.size(), r.threads, [&](std::size_t i) {
    const Oscillator& o = all[i];
    std::vector<double> u1, v1, u2, v2;
    histories(accel1.data(), accel1.size(), steps[i], u1, v1);
    histories(accel2.data(), accel2.size(), steps[i], u2, v2);
    double sd = 0, sv = 0, sa = 0;
    if (displacement) sd = rotatedPeak(u1, u2, r.rotd);
    if (velocity) sv = rotatedPeak(v1, v2, r.rotd);
    if (acceleration) {
      const double w2 = static_cast<double>(o.W * o.W);
      const double twoZetaW =
          static_cast<double>(2 * static_cast<long double>(r.dampings[o.damping]) * o.W);
      // The absolute acceleration −(2ζωv + ω²u); its sign does not change a peak.
      for (std::size_t t = 0; t < u1.size(); ++t) {
        u1[t] = twoZetaW * v1[t] + w2 * u1[t];
        u2[t] = twoZetaW * v2[t] + w2 * u2[t];
      }
      sa = rotatedPeak(u1, u2, r.rotd);
    }
    store(s, r, o, sd, sv, sa);
  });
  checkFinite(s);
  return s;
}

std::string spectraCsv(const SpectraRequest& r, const Spectra& s) {
  std::string out = "frequency_hz,period_s";
  for (double zeta : r.dampings)
    for (Quantity q : r.quantities)
      out += std::string(",") + quantityName(q) + "_" + shortestText(zeta);
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
