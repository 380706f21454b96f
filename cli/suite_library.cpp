// SPDX-License-Identifier: MIT
#include "cli/suite_library.hpp"

#include "data/error.hpp"

namespace accelspec::cli {

std::vector<library::Motion> libraryMotions(const std::string&, const std::string&) {
  throw AppError("библиотека записей недоступна в этой сборке");
}

}  // namespace accelspec::cli
