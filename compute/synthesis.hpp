#pragma once

#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec {

/// SpeedButtonAksClick: synthesises the exponential sine sweep of the input spectrum into Acc
/// and draws it (Mode := 2). Throws conversion errors, floating-point faults, or the capacity
/// error when a sample index would leave 1 … 100000; what was done before stays done.
void synthesizeAccelerogram(Store& store, Form& form);

}  // namespace accelspec
