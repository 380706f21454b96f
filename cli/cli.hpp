// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>

namespace accelspec::cli {

/// Runs accelspec-cli with its arguments (argv[0] is the program name). Returns the exit status:
/// 0 done, 1 a command failed (its message on `err`), 2 bad usage.
int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace accelspec::cli
