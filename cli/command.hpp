#pragma once

#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "cli/arguments.hpp"

namespace accelspec::cli {

/// A command of accelspec-cli. Each lives in a file of its own and is registered by one line in
/// the table of cli.cpp, which gives it its place in the dispatch and in the usage text.
struct Command {
  std::string name;
  /// Each way of calling it: what follows "accelspec-cli " in the usage (a long one may go on
  /// over further lines, each begun with "\n" and blanks).
  std::vector<std::string> synopsis;
  /// One line for the list of commands.
  std::string summary;
  /// The options it takes, without "--".
  std::set<std::string> options;
  /// Does the command: results meant for the terminal on `out`, messages on `err`. Returns the
  /// exit status (0 done, 1 failed, 3 a check that did not pass). Throws UsageError for a wrong
  /// call.
  int (*run)(const Arguments& a, std::ostream& out, std::ostream& err);
};

const Command& synthCommand();
const Command& responseCommand();
const Command& windowCommand();
const Command& convertCommand();
const Command& importCommand();
const Command& spectraCommand();
const Command& measuresCommand();
const Command& checkCommand();
const Command& baselineCommand();
const Command& matchCommand();

}  // namespace accelspec::cli
