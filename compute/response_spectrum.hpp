// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec {

/// Told how far a long response spectrum run has come; may ask it to stop.
class ResponseProgress {
 public:
  virtual ~ResponseProgress() = default;
  /// Called from the command's thread with the number of points finished out of `total`.
  /// Returning false cancels the run after the points already finished. It may read the store
  /// and change the record (Acc, ND): the engine's workers compute from a copy of it taken
  /// when the run started.
  virtual bool proceed(std::int64_t done, std::int64_t total) = 0;
};

class ResponseEngine;

/// SpeedButtonSpoClick: the response spectrum of Acc[1 … ND] for the frequencies Fbeg,
/// Fbeg + DF, … up to Fend, damping Psi, step DT (all read from their fields), into
/// SpF/SpA[9000 + J], J = 0 … NF, drawn on series 0 (Mode := 3). Throws conversion errors,
/// floating-point faults and capacity errors; the points before a failing one stay stored.
/// Computed by the shared ResponseEngine.
void computeResponseSpectrum(Store& store, Form& form, ResponseProgress* progress = nullptr);

/// The same command with the points computed by `engine`, or by the serial reference when it is
/// null.
void computeResponseSpectrum(Store& store, Form& form, ResponseProgress* progress,
                             ResponseEngine* engine);

}  // namespace accelspec
