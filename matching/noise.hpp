// SPDX-License-Identifier: MIT
#pragma once

// Random-phase seeds: Gaussian white noise from a named, seeded generator, shaped by a published
// envelope of time, to be matched to a target like a recorded seed.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace accelspec::matching {

/// The envelope a noise seed is shaped by (both peak at 1).
enum class Envelope {
  /// Jennings, Housner & Tsai (1968), "Simulated earthquake motions", EERL, Caltech: a
  /// quadratic rise (t/t1)² over 0…t1, the flat strong part 1 over t1…t2, an exponential decay
  /// exp(−c·(t − t2)) after t2.
  Trapezoid,
  /// Saragoni & Hart (1974), "Simulation of artificial earthquakes", Earthquake Eng. Struct.
  /// Dyn. 2, 249–267, as parameterised by Boore (2003), Pure Appl. Geophys. 160, 635–676:
  /// w(t) = a·(t/tη)^b·exp(−c·t/tη), b = −ε·ln η / (1 + ε·(ln ε − 1)), c = b/ε, a = (e/ε)^b,
  /// with ε = 0.2 and η = 0.05: the peak 1 at ε·tη, the value η at tη.
  SaragoniHart,
};

/// "jht" or "sh".
const char* envelopeName(Envelope envelope);
/// Parses "jht" or "sh"; throws AppError for anything else.
Envelope parseEnvelope(const std::string& text);

/// What a noise seed is made of.
struct NoiseParameters {
  std::uint64_t number = 1;  ///< the generator's seed (--seed noise:NUMBER)
  Envelope envelope = Envelope::Trapezoid;
  double strong = 10;  ///< s, the strong part's length
  double dt = 0.005;   ///< s
  /// Whether the white noise is first limited to the band of the check grid of its step
  /// (0.1 Hz … min(50 Hz, Nyquist)), with raised-cosine edges a quarter of an octave wide
  /// outside it: what lies beyond the grid no band of the matching controls, and above it the
  /// noise would only raise the peak acceleration.
  bool bandLimited = true;
};

/// The envelope's shape for a strong part of `strong` s, in seconds.
struct EnvelopeShape {
  double rise = 0, strongEnd = 0;  ///< trapezoid: t1 and t2 = t1 + strong
  double decay = 0;                ///< trapezoid: c, 1/s
  double tEta = 0;                 ///< Saragoni–Hart: tη
  double duration = 0;             ///< the seed's length
};
EnvelopeShape envelopeShape(Envelope envelope, double strong);

/// The envelope at time t (s) of `shape`.
double envelopeAt(Envelope envelope, const EnvelopeShape& shape, double t);

/// The generator of the stream (motion, component, attempt) of the seed `number`:
/// std::mt19937_64 seeded by std::seed_seq{low 32 bits of number, high 32 bits, motion,
/// component, attempt} (seed_seq's mixing is laid down by the C++ standard, so the stream is the
/// same with every standard library).
std::mt19937_64 noiseStream(std::uint64_t number, unsigned motion, unsigned component,
                            unsigned attempt);

/// Standard normal numbers from the engine's raw 64-bit output by Marsaglia's polar method
/// (Marsaglia & Bray 1964): u, v uniform on (−1, 1) from the top 53 bits of two draws, s = u²+v²
/// kept when 0 < s < 1, giving u·√(−2 ln s / s) and v·√(−2 ln s / s). std::normal_distribution is
/// not used: its algorithm differs between libraries, and the seeds must be the same bytes
/// everywhere.
class Gaussian {
 public:
  explicit Gaussian(std::mt19937_64& engine) : engine_(engine) {}
  double operator()();

 private:
  std::mt19937_64& engine_;
  bool held_ = false;
  double next_ = 0;
};

/// A noise seed: N(0, 1) samples of the stream, band-limited when asked, times the envelope, m/s²
/// (the matching scales it), envelopeShape(...).duration / dt samples rounded. Throws AppError for
/// a strong part or step that is not finite and above zero, or a seed beyond 100000 samples.
std::vector<double> noiseSeed(const NoiseParameters& parameters, unsigned motion,
                              unsigned component, unsigned attempt);

}  // namespace accelspec::matching
