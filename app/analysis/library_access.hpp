// SPDX-License-Identifier: MIT
#pragma once

// What the page «Наборы» asks of the record library and the suite report, in one place: each
// call opens the library file on the calling thread (the page calls them from its background
// runs) and closes it again.

#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "library/library.hpp"
#include "suites/selection.hpp"

namespace accelspec {

/// The library file used when the page names none.
std::string defaultLibraryFile();

/// The motions of the library at `path` ("" : the default) that meet `where` ("" : all).
std::vector<library::Motion> libraryMotions(const std::string& path, const std::string& where);

/// What an add came to.
struct AddCounts {
  std::size_t indexed = 0, unchanged = 0;
  std::vector<std::string> refused;  ///< "file: the reader's message"
};

/// Adds the files and folders (recursively) to the library at `path`, reporting files done of
/// the total; stops between two files once `stop` is requested, keeping what it finished.
AddCounts addToLibrary(const std::string& path, const std::vector<std::string>& paths,
                       std::stop_token stop,
                       const std::function<void(std::size_t done, std::size_t total)>& progress);

/// Writes the suite's PDF report to `path`.
void writeSuiteReport(const std::string& path, const suites::Selection& selection);

}  // namespace accelspec
