// SPDX-License-Identifier: MIT
#include "app/analysis/library_access.hpp"

#include "data/error.hpp"

namespace accelspec {

std::string defaultLibraryFile() { return {}; }

std::vector<library::Motion> libraryMotions(const std::string&, const std::string&) {
  throw AppError("библиотека недоступна");
}

AddCounts addToLibrary(const std::string&, const std::vector<std::string>&, std::stop_token,
                       const std::function<void(std::size_t, std::size_t)>&) {
  throw AppError("библиотека недоступна");
}

void writeSuiteReport(const std::string&, const suites::Selection&) {
  throw AppError("отчёт недоступен");
}

}  // namespace accelspec
