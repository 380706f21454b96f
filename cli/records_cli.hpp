// SPDX-License-Identifier: MIT
#pragma once

// The options that say how to read a record (READING: --format, --units, --step, --channel),
// shared by every command that reads records, and the import command.

#include <iosfwd>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.hpp"
#include "cli/command.hpp"
#include "records/aks_text.hpp"
#include "records/record.hpp"

namespace accelspec::cli {

/// Names of the READING options, without their leading "--".
inline const std::set<std::string> kReadingOptions = {"format", "units", "step", "channel"};

/// The help lines of the READING options.
const std::vector<OptionHelp>& readingHelp();

/// `help` and then the help lines of the READING options.
std::vector<OptionHelp> withReadingHelp(std::vector<OptionHelp> help);

/// A READING option with a value that is not one of its kind: a wrong call (exit status 2).
class ReadingOptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The Reading that the READING options among `options` (name without "--" → value) ask for;
/// other names are left alone. Throws ReadingOptionError with the text to show.
records::Reading parseReading(const std::map<std::string, std::string>& options);

/// `options` and the READING options: the option set of a command that reads records.
std::set<std::string> withReadingOptions(std::set<std::string> options);

/// The Reading the READING options of a call ask for. Throws UsageError for a value that is
/// not one of its kind.
records::Reading readingOf(const Arguments& a);

/// The lines "предупреждение: …" of what reading `r` from `path` had to assume, and of a record
/// without motion ("" when nothing).
std::string readingWarnings(const std::string& path, const records::Record& r);

/// Reads a record as records::readRecord does and writes to `err` what the reading had to
/// assume (a unit the file does not state) and whether the record is without motion. Throws
/// AppError as readRecord.
records::Record readRecordReporting(const std::string& path, const records::Reading& reading,
                                    std::ostream& err);

using records::aksText;

}  // namespace accelspec::cli
