// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

#include "data/form.hpp"
#include "data/store.hpp"
#include "files/file_kind.hpp"

namespace accelspec {

/// SpeedButtonOpenClick: asks for a file and reads it as the kind of the dialog's filter index
/// (1 spectrum, 2 accelerogram, 3 response spectrum, 4 configuration, 5 imported record).
/// Throws input/output and capacity errors; what was read before the failure stays.
void openFile(Store& store, Form& form);

/// What openFile does once the user confirmed a file of `kind`, with `text` as the file's
/// content. Throws as openFile; what was read before the failure stays.
void openText(Store& store, Form& form, FileKind kind, std::string_view text);

}  // namespace accelspec
