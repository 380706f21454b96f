// SPDX-License-Identifier: MIT
#pragma once

#include "data/chart.hpp"
#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec {

/// SpeedButtonAksClick: synthesises the exponential sine sweep of the input spectrum into Acc
/// and draws it (Mode := 2). Throws conversion errors, floating-point faults, or the capacity
/// error when a sample index would leave 1 … 100000; what was done before stays done.
void synthesizeAccelerogram(Store& store, Form& form);

/// The sweep itself, once T (s), DT (s) and ND are in the store: fills SweepT[1 … N] and
/// Acc[1 … min(end of the sweep, 100000)] from SpF/SpA[1 … N] and adds each sample to `drawn`
/// (time, acceleration) when it is given. The caller clears the fault flags first (fpu::clear).
/// Throws floating-point faults or the out-of-range error; the samples computed before stay.
void sweepAccelerogram(Store& store, Series* drawn);

}  // namespace accelspec
