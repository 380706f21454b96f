// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "records/record.hpp"

namespace accelspec::records {

/// The record as the program's accelerogram file (*.aks): "ND 1", then the time from 0 and the
/// sample (m/s²) a line. Throws AppError naming the record when it holds more samples than the
/// window's store.
std::string aksText(const Record& record);

}  // namespace accelspec::records
