// SPDX-License-Identifier: MIT
#include "app/analysis/library_access.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

#include "data/error.hpp"

namespace accelspec {

std::string defaultLibraryFile() {
  try {
    return library::defaultLibraryPath();
  } catch (const AppError&) {
    return {};
  }
}

std::vector<library::Motion> libraryMotions(const std::string& path, const std::string& where) {
  // A library not made yet is an empty one: the page shows no motions and offers to add.
  const std::string file = path.empty() ? library::defaultLibraryPath() : path;
  std::error_code error;
  if (!std::filesystem::exists(file, error)) {
    library::parseWhere(where);  // a bad condition is still told
    return {};
  }
  return library::Library::open(file, false).motions(where);
}

AddCounts addToLibrary(const std::string& path, const std::vector<std::string>& paths,
                       std::stop_token stop,
                       const std::function<void(std::size_t, std::size_t)>& progress) {
  library::AddOptions options;
  options.jobs = std::max(1u, std::thread::hardware_concurrency());
  options.stop = std::move(stop);
  if (progress)
    options.progress = [&progress](const library::AddProgress& p) { progress(p.done, p.total); };
  library::Library lib = library::Library::open(path, true);
  const library::AddSummary summary = lib.add(paths, options);
  AddCounts counts;
  counts.indexed = summary.indexed;
  counts.unchanged = summary.unchanged;
  for (const auto& s : summary.skipped) counts.refused.push_back(s.path + ": " + s.message);
  return counts;
}

void writeSuiteReport(const std::string&, const suites::Selection&) {
  throw AppError("отчёт недоступен");
}

}  // namespace accelspec
