// SPDX-License-Identifier: MIT
#include <ostream>

#include "cli/command.hpp"
#include "cli/job.hpp"

namespace accelspec::cli {

namespace {

int runConvert(const Arguments& a, std::ostream& /*out*/, std::ostream& err) {
  needPositional(a, 2);
  const std::string kind = a.has("kind") ? a.get("kind") : extensionOf(a.positional[0]);
  Job job{a.positional[0], kindByName(kind), {}, {}, a.positional[1]};
  if (job.kind == 0) throw UsageError("вид файла не ясен: укажите --kind spv|aks|spo|cfg|brl");
  return runJobs({job}, 1, err, false);
}

}  // namespace

const Command& convertCommand() {
  static const Command command{
      "convert",
      {"convert INPUT OUT [--kind spv|aks|spo|cfg|brl]"},
      "открыть файл и сохранить его так, как это делает программа",
      {"kind"},
      runConvert,
      {{"--kind spv|aks|spo|cfg|brl", "вид файла (по умолчанию по расширению INPUT)"}},
      "convert quake.brl quake.aks"};
  return command;
}

}  // namespace accelspec::cli
