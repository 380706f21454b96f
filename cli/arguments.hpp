// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "data/error.hpp"
#include "data/form.hpp"
#include "files/file_kind.hpp"

namespace accelspec::cli {

/// A wrong call: printed with the usage, exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The arguments after the command name: file names in order, and options by name.
struct Arguments {
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  bool help = false;  ///< `--help` or `-h` stood where an option may stand

  bool has(const std::string& name) const { return options.count(name) != 0; }
  const std::string& get(const std::string& name) const { return options.at(name); }
};

/// Splits argv[2 …]: `--name value` or `--name=value` for each name in `allowed`, `--help` or
/// `-h` where an option may stand, `--` ends the options. An option's value and a file name are
/// never taken for a help request. Throws UsageError for an unknown, repeated or valueless
/// option.
/// The names of `flags` (a subset of `allowed`) stand alone, `--name`, and are kept with an empty
/// value; `--name=value` is refused for them.
Arguments parseArguments(int argc, const char* const* argv, const std::set<std::string>& allowed,
                         const std::set<std::string>& flags = {});

/// The kind named by `name` ("spv", "aks", "spo", "cfg", "brl"), or 0.
int kindByName(const std::string& name);

/// The extension of `path` without its dot, in lower case ("" when there is none).
std::string extensionOf(const std::string& path);

/// The kind of a record: --kind (aks or brl), or else .brl by its extension and .aks otherwise.
/// Throws UsageError for another --kind.
int recordKind(const Arguments& a, const std::string& path);

/// --jobs N (1 … 9999), or the number of cores when it is not given. Throws UsageError.
unsigned jobsOption(const Arguments& a);

/// Throws UsageError unless exactly `count` files were named.
void needPositional(const Arguments& a, std::size_t count);

/// What `parse` returns; an AppError it throws (a core message, which names no option) becomes
/// a UsageError "--name: <message>".
template <class Parse>
auto optionValue(const char* name, Parse parse) {
  try {
    return parse();
  } catch (const AppError& e) {
    throw UsageError("--" + std::string(name) + ": " + e.what());
  }
}

/// Field texts the options set, in the order they are given to the window's fields.
using FieldTexts = std::vector<std::pair<Edit, std::string>>;

/// Appends (edit, value of --option) when the option was given.
void addField(FieldTexts& fields, const Arguments& a, const char* option, Edit edit);

}  // namespace accelspec::cli
