// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec {

/// SpeedButtonSaveClick: writes the kind that Mode names to the file chosen in the save dialog.
/// The previous file is replaced only once the new one is complete. Throws input/output errors.
void saveFile(const Store& store, Form& form);

/// The name the save dialog offers for a new kind: the name it kept from its last use, folder
/// included, with the extension of `filter`'s pattern ("label|*.ext") in place of its own, so
/// that saving a response spectrum after an accelerogram "rec.aks" offers "rec.spo" and never
/// the accelerogram's file. "" stays ""; a pattern that is not "*.ext" leaves the name as it is.
std::string offeredSaveName(const std::string& kept, std::string_view filter);

}  // namespace accelspec
