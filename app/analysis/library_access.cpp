// SPDX-License-Identifier: MIT
#include "app/analysis/library_access.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

#include "app/check_report.hpp"
#include "app/suite_report.hpp"
#include "data/error.hpp"
#include "files/atomic_write.hpp"

namespace accelspec {

std::string defaultLibraryFile() {
  try {
    return library::defaultLibraryPath();
  } catch (const AppError&) {
    return {};
  }
}

namespace {

// The parser's messages call it a condition; here the condition is the field «Условие».
[[noreturn]] void rethrowForTheWindow(const AppError& e) {
  const std::string text = e.what();
  const std::string option = "неверное условие";
  if (text.rfind(option, 0) == 0) throw AppError("Условие" + text.substr(option.size()));
  throw;
}

library::Filter parsedWhere(const std::string& where) {
  try {
    return library::parseWhere(where);
  } catch (const AppError& e) {
    rethrowForTheWindow(e);
  }
}

}  // namespace

std::vector<library::Motion> libraryMotions(const std::string& path, const std::string& where) {
  // A library not made yet is an empty one: the page shows no motions and offers to add.
  const std::string file = path.empty() ? library::defaultLibraryPath() : path;
  std::error_code error;
  const library::Filter filter = parsedWhere(where);  // a bad condition is told either way
  if (!std::filesystem::exists(file, error)) return {};
  return library::Library::open(file, false).motions(filter);
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

void writeSuiteReport(const std::string& path, const suites::Selection& selection) {
  const std::string pdf = suiteReportPdf(selection);
  try {
    replaceFile(path, pdf);
  } catch (const IoError& e) {
    throw AppError(reportWriteFailure(path, e));
  }
}

}  // namespace accelspec
