// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>

#include "cli/arguments.hpp"

namespace accelspec::cli {

/// Whether a `match` call asks for a set: any of --components, --count, --vertical-target,
/// --vertical-ratio, --strong, --max-correlation, --envelope, a noise seed, or more than one
/// seed record. Without them `match` makes one record as before.
bool isSetCall(const Arguments& a);

/// `match OUT_PREFIX ...` for a set: every component matched and checked, the correlation table
/// printed, all files written or none (exit 3 naming the component that failed).
int runMatchSet(const Arguments& a, std::ostream& out, std::ostream& err);

}  // namespace accelspec::cli
