// SPDX-License-Identifier: MIT
#pragma once

#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec {

/// ShowMemoryList: shows (never hides) the memory list and slot controls for NMem slots.
void showMemoryList(const Store& store, Form& form);

/// SpeedButtonMemoryClick: takes the response spectrum into the next slot (Mode 3 only, at most
/// six slots). Throws the capacity error for a spectrum of more than 999 points, before any change.
void takeIntoMemory(Store& store, Form& form);

/// SpeedButtonVisualClick: Mode := 0 and draws slots 1 … NMem on series 1 … 6.
void overlayMemory(Store& store, Form& form);

/// SpeedButtonDeleteClick: deletes the slot of the memory list's selected row.
void deleteFromMemory(Store& store, Form& form);

/// Chanel1Click … Chanel6Click: shows or hides series `slot` as its check box says.
void toggleSlot(Store& store, Form& form, int slot);

}  // namespace accelspec
