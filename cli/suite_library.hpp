// SPDX-License-Identifier: MIT
#pragma once

// The motions select offers: read from the record library.

#include <string>
#include <vector>

#include "library/library.hpp"

namespace accelspec::cli {

/// The motions of the library at `path` ("" = the default place) that `filter` lets through.
/// Throws AppError with the library's message.
std::vector<library::Motion> libraryMotions(const std::string& path, const library::Filter& filter);

}  // namespace accelspec::cli
