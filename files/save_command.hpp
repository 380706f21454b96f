#pragma once

#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec {

/// SpeedButtonSaveClick: writes the kind that Mode names to the file chosen in the save dialog.
/// The previous file is replaced only once the new one is complete. Throws input/output errors.
void saveFile(const Store& store, Form& form);

}  // namespace accelspec
