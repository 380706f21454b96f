// SPDX-License-Identifier: MIT
#include <algorithm>
#include <filesystem>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/analysis_messages.hpp"
#include "analysis/number_text.hpp"
#include "analysis/spectra.hpp"
#include "check/check.hpp"
#include "check/check_messages.hpp"
#include "check/target.hpp"
#include "cli/command.hpp"
#include "cli/job.hpp"
#include "cli/records_cli.hpp"
#include "cli/rule_options.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"
#include "records/record.hpp"
#include "records/scan.hpp"
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
#include "app/check_report.hpp"
#endif

namespace accelspec::cli {

namespace {

int runCheck(const Arguments& c, std::ostream& out, std::ostream& err) {
  if (c.positional.empty()) throw UsageError("не указаны записи");
  if (!c.has("target")) throw UsageError("не указан целевой спектр --target");
  if (c.has("psd")) throw UsageError("--psd: проверка спектральной плотности пока не сделана");
  const records::Reading reading = readingOf(c);
  const check::RuleParameters parameters = ruleParameters(c, true);
#ifndef ACCELSPEC_HAVE_CHECK_REPORT
  if (c.has("report")) {
    err << "--report: отчёт PDF недоступен в этой сборке (собрана без Qt).\n";
    return 1;
  }
#endif
  std::vector<std::string> outputs;
  if (c.has("csv")) outputs.push_back(c.get("csv"));
  if (c.has("report")) outputs.push_back(c.get("report"));
  std::vector<std::string> inputs = c.positional;
  for (std::string& file : optionInputs(c)) inputs.push_back(std::move(file));
  const auto lexical = [](const std::string& p) {
    return std::filesystem::absolute(p).lexically_normal();
  };
  if (outputs.size() == 2 && (lexical(outputs[0]) == lexical(outputs[1]) ||
                              !outputsThatAreInputs({outputs[0]}, {outputs[1]}).empty()))
    throw UsageError("--csv и --report называют один файл");
  if (refuseOutputsThatAreInputs(inputs, outputs, err)) return 1;
  const check::Target target = targetOption(c, parameters);
  std::vector<records::Record> records;
  for (const std::string& path : c.positional)
    records.push_back(readRecordReporting(path, reading, err));
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  const check::CheckResult result = check::checkRecords(target, parameters, records, threads);
  // The table and the report are written together or not at all.
  std::vector<std::string> contents;
  if (c.has("csv")) contents.push_back(check::checkCsv(result));
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
  if (c.has("report")) {
    try {
      contents.push_back(checkReportPdfStandalone(result));
    } catch (const AppError& e) {
      throw AppError(c.get("report") + ": " + e.what());
    }
  }
#endif
  std::vector<std::pair<std::string, std::string_view>> files;
  for (std::size_t i = 0; i < contents.size(); ++i) files.emplace_back(outputs[i], contents[i]);
  std::size_t failed = 0;
  try {
    replaceFiles(files, failed);
  } catch (const IoError& e) {
    const std::string& path = files[failed].first;
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
    if (c.has("report") && failed + 1 == files.size()) throw AppError(reportWriteFailure(path, e));
#endif
    throw AppError(path + ": " + records::ioMessage(e));
  }
  out << check::checkText(result) << std::flush;
  return result.pass ? 0 : 3;
}

}  // namespace

const Command& checkCommand() {
  static const Command command{
      "check",
      {"check RECORD... --target T --rule srp|ec8|asce7|rb006 [--damping Z] [--quantity psa|sa]\n"
       "                [--t1 T1] [--tmin T --tmax T | --fmin F --fmax F] [--min-ratio R]\n"
       "                [--csv OUT.csv] [--report OUT.pdf] [--format F] [--units U] [--step DT]\n"
       "                [--channel N]"},
      "совместимость спектров записей с целевым спектром (srp, ec8, asce7): PASS или FAIL",
      withReadingOptions({"target", "rule", "damping", "quantity", "t1", "tmin", "tmax", "fmin",
                          "fmax", "min-ratio", "csv", "report", "psd"}),
      runCheck,
      withReadingHelp(withRuleHelp(
          {{"--target T", std::string(kTargetHelp) + " (обязателен)"}},
          {{"--csv OUT.csv", "таблица проверки CSV (по умолчанию не пишется)"},
           {"--report OUT.pdf", "отчёт PDF на одну страницу (по умолчанию не пишется)"},
           {"--psd FILE", "проверка спектральной плотности мощности (пока не сделана)"}})),
      "check quake.aks --target ec8:1:B:2.943 --rule srp --csv check.csv",
      "записи не прошли проверку (FAIL)"};
  return command;
}

}  // namespace accelspec::cli
