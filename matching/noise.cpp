// SPDX-License-Identifier: MIT
#include "matching/noise.hpp"

#include <cmath>
#include <numbers>

#include "check/check.hpp"
#include "data/error.hpp"
#include "data/store.hpp"
#include "matching/fft.hpp"
#include "matching/set_messages.hpp"

namespace accelspec::matching {

namespace {

// The trapezoid's rise is a fifth of the strong part, and its decay falls to kTailLevel at the
// seed's end.
constexpr double kRiseShare = 0.2;
constexpr double kTailLevel = 0.02;
// Source: US NRC SRP 3.7.1 (Rev. 4): a duration of at least 20 s. Every seed lasts that long at
// least, so that a set matched under srp is not refused for its length.
constexpr double kLeastDuration = 20.0;
// Saragoni–Hart as Boore (2003) sets it: the peak at ε·tη, the value η at tη.
constexpr double kEpsilon = 0.2, kEta = 0.05;
// Its strong part: where the envelope lies within 3 dB of its peak (w ≥ 1/√2), the part whose
// power is at least half the greatest.
constexpr double kHalfPower = std::numbers::sqrt2 / 2;

struct SaragoniHart {
  double a, b, c;
};
SaragoniHart saragoniHart() {
  const double b = -kEpsilon * std::log(kEta) / (1 + kEpsilon * (std::log(kEpsilon) - 1));
  const double c = b / kEpsilon;
  return {std::pow(std::numbers::e / kEpsilon, b), b, c};
}

// w(x), x = t/tη.
double shValue(double x) {
  if (!(x > 0)) return 0;
  const SaragoniHart s = saragoniHart();
  return s.a * std::pow(x, s.b) * std::exp(-s.c * x);
}

// Where w(x) crosses `level` between lo and hi (w rising when `rising`), by bisection.
double crossing(double lo, double hi, double level, bool rising) {
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    if ((shValue(mid) < level) == rising)
      lo = mid;
    else
      hi = mid;
  }
  return 0.5 * (lo + hi);
}

// The band edges' width: a quarter of an octave, as the matching's own fade outside its grid.
constexpr double kEdge = 1.189207115002721;  // 2^(1/4)

// Limits `x` to [lo, hi] Hz (step dt) through its transform: 1 inside, a raised cosine in log
// frequency down to 0 at lo/kEdge and hi·kEdge, 0 beyond.
void limitBand(std::vector<double>& x, double dt, double lo, double hi) {
  std::size_t size = 1;
  while (size < x.size()) size <<= 1;
  std::vector<std::complex<double>> z(size);
  std::copy(x.begin(), x.end(), z.begin());
  fft(z, false);
  const double df = 1 / (dt * static_cast<double>(size));
  const auto gain = [&](double f) {
    double w = 0;  // 0 in the band, 1 at the edges' far ends
    if (f < lo) w = f > 0 ? std::log(lo / f) / std::log(kEdge) : 1;
    if (f > hi) w = std::log(f / hi) / std::log(kEdge);
    return w >= 1 ? 0.0 : 0.5 + 0.5 * std::cos(std::numbers::pi * w);
  };
  z[0] = 0;
  for (std::size_t k = 1; k <= size / 2; ++k) {
    const double g = gain(static_cast<double>(k) * df);
    z[k] *= g;
    if (k != size - k) z[size - k] *= g;
  }
  fft(z, true);
  for (std::size_t k = 0; k < x.size(); ++k) x[k] = z[k].real() / static_cast<double>(size);
}

}  // namespace

const char* envelopeName(Envelope envelope) {
  return envelope == Envelope::Trapezoid ? "jht" : "sh";
}

Envelope parseEnvelope(const std::string& text) {
  if (text == "jht") return Envelope::Trapezoid;
  if (text == "sh") return Envelope::SaragoniHart;
  throw AppError(msg::kBadEnvelope);
}

EnvelopeShape envelopeShape(Envelope envelope, double strong) {
  EnvelopeShape s;
  if (envelope == Envelope::Trapezoid) {
    s.rise = kRiseShare * strong;
    s.strongEnd = s.rise + strong;
    const double decay = std::max(strong, kLeastDuration - s.strongEnd);
    s.decay = std::log(1 / kTailLevel) / decay;
    s.duration = s.strongEnd + decay;
  } else {
    const double width = crossing(kEpsilon, 1, kHalfPower, false) -
                         crossing(0, kEpsilon, kHalfPower, true);  // in units of tη
    s.tEta = strong / width;
    s.duration = std::max(s.tEta, kLeastDuration);
  }
  return s;
}

double envelopeAt(Envelope envelope, const EnvelopeShape& s, double t) {
  if (envelope == Envelope::SaragoniHart) return shValue(t / s.tEta);
  if (t <= 0) return 0;
  if (t < s.rise) return (t / s.rise) * (t / s.rise);
  if (t <= s.strongEnd) return 1;
  return std::exp(-s.decay * (t - s.strongEnd));
}

std::mt19937_64 noiseStream(std::uint64_t number, unsigned motion, unsigned component,
                            unsigned attempt) {
  std::seed_seq seq{static_cast<std::uint32_t>(number & 0xffffffffu),
                    static_cast<std::uint32_t>(number >> 32), static_cast<std::uint32_t>(motion),
                    static_cast<std::uint32_t>(component), static_cast<std::uint32_t>(attempt)};
  return std::mt19937_64(seq);
}

double Gaussian::operator()() {
  if (held_) {
    held_ = false;
    return next_;
  }
  // The top 53 bits of a draw as a double in [0, 1), exactly; then on [−1, 1).
  const auto uniform = [this] { return static_cast<double>(engine_() >> 11) * 0x1.0p-53 * 2 - 1; };
  for (;;) {
    const double u = uniform(), v = uniform();
    const double s = u * u + v * v;
    if (!(s > 0) || !(s < 1)) continue;
    const double factor = std::sqrt(-2 * std::log(s) / s);
    next_ = v * factor;
    held_ = true;
    return u * factor;
  }
}

std::vector<double> noiseSeed(const NoiseParameters& p, unsigned motion, unsigned component,
                              unsigned attempt) {
  if (!(p.strong > 0) || !std::isfinite(p.strong) || !(p.dt > 0) || !std::isfinite(p.dt))
    throw AppError(msg::kNoiseBadShape);
  const EnvelopeShape shape = envelopeShape(p.envelope, p.strong);
  const double samples = std::round(shape.duration / p.dt);
  if (!(samples >= 3) || samples > kMaxSamples) throw AppError(msg::kNoiseTooLong);
  std::mt19937_64 engine = noiseStream(p.number, motion, component, attempt);
  Gaussian normal(engine);
  std::vector<double> accel(static_cast<std::size_t>(samples));
  for (double& a : accel) a = normal();
  if (p.bandLimited) {
    const auto grid = check::checkGrid(p.dt);
    if (!grid.empty()) limitBand(accel, p.dt, grid.front().frequency, grid.back().frequency);
  }
  for (std::size_t k = 0; k < accel.size(); ++k)
    accel[k] *= envelopeAt(p.envelope, shape, static_cast<double>(k) * p.dt);
  return accel;
}

}  // namespace accelspec::matching
