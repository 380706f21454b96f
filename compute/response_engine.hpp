// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "compute/response_spectrum.hpp"
#include "data/chart.hpp"
#include "data/store.hpp"

namespace accelspec {

/// How often a run tells its ResponseProgress how far it has come.
inline constexpr std::chrono::milliseconds kResponseProgressInterval{20};

/// Points J = first … last of the current response spectrum, one after the other on the calling
/// thread: the reference. For each J: frequency J·DF + Fbeg, its coefficients and the peak of
/// s.Acc[1 … s.ND] (s.Fbeg, s.DF, s.Psi, s.DT as stored), then SpF/SpA[9000 + J] and the point
/// added to `series`; then progress->proceed(J − first + 1, last − first + 1), and when that
/// returns false s.NF := J and the run ends. Throws the first fault (conversion, coefficients,
/// overflow of the response or of the point on the chart): the points before it stay stored and
/// drawn, nothing after it; a point whose chart narrowing overflows is stored but not drawn.
/// Throws the capacity errors when first < 0, last > 91000 or s.ND > 100000 (nothing changed).
void computeResponsePointsSerial(Store& s, Series& series, std::int32_t first, std::int32_t last,
                                 ResponseProgress* progress);

/// Computes the points of a response spectrum on all cores with the same bits, the same stored
/// and drawn points and the same error as computeResponsePointsSerial. Workers take frequencies
/// one at a time in ascending J and run in the caller's floating-point environment; the calling
/// thread computes too, and stores and draws the finished points in J order. Not reentrant: a
/// run started while another is under way (from inside proceed(), or from another thread) is
/// done by the serial reference instead.
class ResponseEngine {
 public:
  /// `threads` computing threads in all, the caller's included (0: one per core). Threads that
  /// the system refuses are done without. `progressInterval`: the least time between two calls
  /// of proceed() during a run.
  explicit ResponseEngine(
      unsigned threads = 0,
      std::chrono::steady_clock::duration progressInterval = kResponseProgressInterval);
  ~ResponseEngine();
  ResponseEngine(const ResponseEngine&) = delete;
  ResponseEngine& operator=(const ResponseEngine&) = delete;

  /// The engine the response spectrum command uses; started on first use, stopped at exit.
  static ResponseEngine& shared();

  /// Computing threads, the caller's included.
  unsigned threads() const;

  /// Same contract and results as computeResponsePointsSerial, except for progress: proceed(done,
  /// total) is called on the calling thread at most once per progress interval while the run
  /// lasts, with `done` the points stored and drawn so far (it may repeat, and may be 0), and
  /// once more with (total, total) after the last point. When it returns false, s.NF := first +
  /// done − 1 (the last point stored), the workers stop after their current frequency and
  /// nothing more is stored. Every worker has stopped when this returns or throws.
  void computePoints(Store& s, Series& series, std::int32_t first, std::int32_t last,
                     ResponseProgress* progress);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace accelspec
