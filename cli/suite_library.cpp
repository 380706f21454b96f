// SPDX-License-Identifier: MIT
#include "cli/suite_library.hpp"

namespace accelspec::cli {

std::vector<library::Motion> libraryMotions(const std::string& path,
                                            const library::Filter& filter) {
  const library::Library lib = library::Library::open(path, false);
  return lib.motions(filter);
}

}  // namespace accelspec::cli
