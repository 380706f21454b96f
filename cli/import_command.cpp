// SPDX-License-Identifier: MIT
#include <new>
#include <ostream>
#include <string>

#include "cli/command.hpp"
#include "cli/job.hpp"
#include "cli/records_cli.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"
#include "records/scan.hpp"

namespace accelspec::cli {

namespace {

int runImport(const Arguments& a, std::ostream& /*out*/, std::ostream& err) {
  needPositional(a, 2);
  const records::Reading reading = readingOf(a);
  const std::string& input = a.positional[0];
  const std::string& output = a.positional[1];
  if (refuseOutputsThatAreInputs({input}, {output}, err)) return 1;
  const std::string text = aksText(readRecordReporting(input, reading, err));
  try {
    replaceFile(output, text);
  } catch (const IoError& e) {
    records::failFile(output, records::ioMessage(e));
  }
  return 0;
}

}  // namespace

const Command& importCommand() {
  static const Command command{
      "import",
      {"import RECORD OUT.aks [--format F] [--units U] [--step DT] [--channel N]"},
      "записать запись из базы (at2, knet, cosmos, eqsig, columns, aks, brl) как *.aks",
      kReadingOptions,
      runImport,
      readingHelp(),
      "import RSN1_HELENA.A_A-HMC180.AT2 helena.aks"};
  return command;
}

}  // namespace accelspec::cli
