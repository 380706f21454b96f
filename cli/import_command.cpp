#include <new>
#include <ostream>
#include <string>

#include "cli/command.hpp"
#include "cli/job.hpp"
#include "cli/records_cli.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "data/store.hpp"
#include "files/atomic_write.hpp"
#include "files/formats.hpp"
#include "records/scan.hpp"

namespace accelspec::cli {

namespace {

// The record as the program's accelerogram file, refused when the window could not hold it.
std::string aksText(const records::Record& record) {
  if (record.accel.size() > static_cast<std::size_t>(kMaxSamples))
    records::failFile(record.path,
                      "в записи " + std::to_string(record.accel.size()) +
                          " отсчётов, а файл *.aks вмещает не более 100000; команды spectra и "
                          "measures читают запись целиком");
  auto store = makeStore();
  store->ND = static_cast<std::int32_t>(record.accel.size());
  store->DT = record.dt;
  store->T = static_cast<long double>(store->ND) * store->DT;
  for (std::size_t k = 0; k < record.accel.size(); ++k) store->Acc[k + 1] = record.accel[k];
  return formatAks(*store);
}

int runImport(const Arguments& a, std::ostream& /*out*/, std::ostream& err) {
  needPositional(a, 2);
  const records::Reading reading = readingOf(a);
  const std::string& input = a.positional[0];
  const std::string& output = a.positional[1];
  if (refuseOutputsThatAreInputs({input}, {output}, err)) return 1;
  try {
    const std::string text = aksText(records::readRecord(input, reading));
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
