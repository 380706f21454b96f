#pragma once

#include <string>

#include "records/record.hpp"

namespace accelspec::records {

/// The record as the program's accelerogram file (*.aks), byte for byte what the window writes
/// for the same samples and step. Throws AppError naming the record (its path) when it holds
/// more samples than the window's store.
std::string aksText(const Record& record);

}  // namespace accelspec::records
