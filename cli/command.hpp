// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "cli/arguments.hpp"

namespace accelspec::cli {

/// One option of a command as its help shows it.
struct OptionHelp {
  std::string option;  ///< how it is written, with its value ("--fbeg F")
  std::string text;    ///< what it sets, its unit and its default
};

/// A command of accelspec-cli. Each lives in a file of its own and is registered by one line in
/// the table of cli.cpp, which gives it its place in the dispatch and in the usage text.
struct Command {
  /// One word, or two for a command of a group ("library add"): the group's word, then the
  /// command's.
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
  /// Every option of `options`, in the order of the command's help.
  std::vector<OptionHelp> optionHelp;
  /// One worked call, what follows "accelspec-cli ".
  std::string example;
  /// What exit status 3 means for this command ("" when it never gives 3).
  std::string status3 = {};
  /// Options of `options` that take no value (`--pairs`).
  std::set<std::string> flags = {};
};

/// Every command, in the order of the usage text.
const std::vector<const Command*>& commands();

/// The help of one command (`accelspec-cli CMD --help`): its usage, every option with its unit
/// and default, a worked example and the exit statuses.
std::string commandHelp(const Command& command);

/// The usage of the whole tool (`accelspec-cli --help`).
std::string usage();

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
const Command& libraryAddCommand();
const Command& libraryListCommand();
const Command& libraryPairCommand();
const Command& libraryPruneCommand();
const Command& libraryInfoCommand();
const Command& selectCommand();
const Command& suiteCheckCommand();
const Command& suiteExportCommand();

}  // namespace accelspec::cli
