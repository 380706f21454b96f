#pragma once

#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec {

/// SpeedButtonOpenClick: asks for a file and reads it as the kind of the dialog's filter index
/// (1 spectrum, 2 accelerogram, 3 response spectrum, 4 configuration, 5 imported record).
/// Throws input/output and capacity errors; what was read before the failure stays.
void openFile(Store& store, Form& form);

}  // namespace accelspec
