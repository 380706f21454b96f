// SPDX-License-Identifier: MIT
#pragma once

#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec {

/// SpeedButtonTimeClick: when Mode is 2, cuts Acc to the samples between EditTbeg and EditTend
/// (snapped to the sample grid, both ends included) and redraws series 0. Throws conversion
/// errors, floating-point faults, or the capacity error for a window outside Acc[1 … 100000].
void cutTimeWindow(Store& store, Form& form);

}  // namespace accelspec
