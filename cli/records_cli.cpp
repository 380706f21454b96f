// SPDX-License-Identifier: MIT
#include "cli/records_cli.hpp"

#include "cli/job.hpp"

#include <ostream>
#include <sstream>

#include "records/scan.hpp"

namespace accelspec::cli {

records::Reading parseReading(const std::map<std::string, std::string>& options) {
  records::Reading r;
  r.stepOption = "--step";
  r.unitsOption = "--units";
  if (auto it = options.find("format"); it != options.end()) {
    bool known = false;
    for (const char* f : records::kFormatNames) known |= it->second == f;
    if (!known)
      throw ReadingOptionError(
          "--format должен быть одним из: at2, knet, cosmos, eqsig, columns, aks, brl");
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

const std::vector<OptionHelp>& readingHelp() {
  static const std::vector<OptionHelp> help = {
      {"--format F",
       "формат записи: at2, knet, cosmos, eqsig, columns, aks или brl (по умолчанию распознаётся "
       "по содержимому)"},
      {"--units U", "единица ускорений в файле: " + std::string(records::kUnitChoices) +
                        " (по умолчанию та, что указана в файле)"},
      {"--step DT",
       "шаг записи по времени, с (по умолчанию из файла; для файла в один столбец обязателен)"},
      {"--channel N", "канал файла COSMOS с несколькими каналами, от 1 до 9999 (по умолчанию 1)"},
  };
  return help;
}

std::vector<OptionHelp> withReadingHelp(std::vector<OptionHelp> help) {
  help.insert(help.end(), readingHelp().begin(), readingHelp().end());
  return help;
}

std::set<std::string> withReadingOptions(std::set<std::string> options) {
  options.insert(kReadingOptions.begin(), kReadingOptions.end());
  return options;
}

std::string readingWarnings(const std::string& path, const records::Record& r) {
  std::string text;
  for (const std::string& w : r.warnings) text += "предупреждение: " + w + "\n";
  std::ostringstream noMotion;
  warnAboutNoMotion(path, r.accel, noMotion);
  return text + noMotion.str();
}

records::Record readRecordReporting(const std::string& path, const records::Reading& reading,
                                    std::ostream& err) {
  records::Record r = records::readRecord(path, reading);
  err << readingWarnings(path, r) << std::flush;
  return r;
}

records::Reading readingOf(const Arguments& a) {
  try {
    return parseReading(a.options);
  } catch (const ReadingOptionError& e) {
    throw UsageError(e.what());
  }
}

}  // namespace accelspec::cli
