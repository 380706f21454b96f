#pragma once

// The options that say how to read a record (READING: --format, --units, --step, --channel),
// shared by every command that reads records, and the import command.

#include <iosfwd>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "records/record.hpp"

namespace accelspec::cli {

/// Names of the READING options, without their leading "--".
inline const std::set<std::string> kReadingOptions = {"format", "units", "step", "channel"};

/// A READING option with a value that is not one of its kind: a wrong call (exit status 2).
class ReadingOptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The Reading that the READING options among `options` (name without "--" → value) ask for;
/// other names are left alone. Throws ReadingOptionError with the text to show.
records::Reading parseReading(const std::map<std::string, std::string>& options);

/// accelspec-cli import RECORD OUT.aks [READING], with argv[1] == "import": writes the record
/// as the program's accelerogram file. Returns 0 done, 1 failed (the message on `err`, no file
/// written), 2 wrong call (the reason and `usage` on `err`).
int runImport(int argc, const char* const* argv, std::ostream& err, std::string_view usage);

}  // namespace accelspec::cli
