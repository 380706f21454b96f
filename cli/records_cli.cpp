#include "cli/records_cli.hpp"

#include <cmath>
#include <new>
#include <ostream>
#include <vector>

#include "data/error.hpp"
#include "data/messages.hpp"
#include "data/store.hpp"
#include "files/atomic_write.hpp"
#include "files/formats.hpp"
#include "files/textio.hpp"
#include "records/scan.hpp"

namespace accelspec::cli {

records::Reading parseReading(const std::map<std::string, std::string>& options) {
  records::Reading r;
  if (auto it = options.find("format"); it != options.end()) {
    bool known = false;
    for (const char* f : records::kFormatNames) known |= it->second == f;
    if (!known)
      throw ReadingOptionError(
          "--format должен быть одним из: at2, knet, cosmos, columns, aks, brl");
    r.format = it->second;
  }
  if (auto it = options.find("units"); it != options.end()) {
    if (!records::findUnit(it->second))
      throw ReadingOptionError("--units должен быть одним из: " +
                               std::string(records::kUnitChoices));
    r.units = it->second;
  }
  if (auto it = options.find("step"); it != options.end()) {
    double step = 0;
    if (!records::parseNumber(it->second, step) || !(step > 0))
      throw ReadingOptionError("--step должен быть положительным числом секунд (с точкой)");
    r.step = step;
  }
  if (auto it = options.find("channel"); it != options.end()) {
    long long channel = 0;
    if (!records::parseInteger(it->second, channel) || channel < 1 || channel > 9999)
      throw ReadingOptionError("--channel должен быть целым числом от 1 до 9999");
    r.channel = static_cast<int>(channel);
  }
  return r;
}

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

}  // namespace

int runImport(int argc, const char* const* argv, std::ostream& err, std::string_view usage) {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  try {
    for (int i = 2; i < argc; ++i) {
      const std::string arg = argv[i];
      if (arg.rfind("--", 0) != 0 || arg == "--") {
        positional.push_back(arg);
        continue;
      }
      std::string name = arg.substr(2), value;
      if (const auto eq = name.find('='); eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.erase(eq);
      } else {
        if (i + 1 >= argc) throw ReadingOptionError("у параметра --" + name + " нет значения");
        value = argv[++i];
      }
      if (!kReadingOptions.count(name)) throw ReadingOptionError("неизвестный параметр --" + name);
      if (!options.emplace(name, value).second)
        throw ReadingOptionError("параметр --" + name + " задан дважды");
    }
    if (positional.size() != 2) throw ReadingOptionError("команде import нужно файлов: 2");
    const records::Reading reading = parseReading(options);

    try {
      const std::string text = aksText(records::readRecord(positional[0], reading));
      try {
        replaceFile(positional[1], text);
      } catch (const IoError& e) {
        records::failFile(positional[1], records::ioMessage(e));
      }
    } catch (const AppError& e) {
      err << msg::withFullStop(e.what()) << '\n';
      return 1;
    } catch (const std::bad_alloc&) {
      err << msg::withFullStop(positional[0] + ": не хватает памяти") << '\n';
      return 1;
    }
    return 0;
  } catch (const ReadingOptionError& e) {
    err << "accelspec-cli: " << e.what() << "\n\n" << usage;
    return 2;
  }
}

}  // namespace accelspec::cli
