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
  try {
    const records::Record record = records::readRecord(input, reading);
    warnAboutNoMotion(input, record.accel, err);
    const std::string text = aksText(record);
    try {
      replaceFile(output, text);
    } catch (const IoError& e) {
      records::failFile(output, records::ioMessage(e));
    }
  } catch (const AppError& e) {
    err << msg::withFullStop(e.what()) << '\n';
    return 1;
  } catch (const std::bad_alloc&) {
    err << msg::withFullStop(input + ": не хватает памяти") << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

const Command& importCommand() {
  static const Command command{
      "import",
      {"import RECORD OUT.aks [--format F] [--units U] [--step DT] [--channel N]"},
      "записать запись из базы (at2, knet, cosmos, columns, aks, brl) как *.aks",
      kReadingOptions,
      runImport};
  return command;
}

}  // namespace accelspec::cli
