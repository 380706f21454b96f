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
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"
#include "records/record.hpp"
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
#include "app/check_report.hpp"
#endif

namespace accelspec::cli {

namespace {

std::optional<double> positiveOption(const Arguments& c, const char* name) {
  if (!c.has(name)) return std::nullopt;
  double v = 0;
  if (!analysis::parseNumber(c.get(name), v) || !(v > 0))
    throw UsageError("--" + std::string(name) + ": ожидается число больше нуля");
  return v;
}

check::RuleParameters parametersOf(const Arguments& c) {
  check::RuleParameters p;
  if (!c.has("rule")) throw UsageError("не указано правило --rule");
  try {
    p.rule = check::parseRule(c.get("rule"));
    if (c.has("damping")) {
      const auto d = analysis::parseDampings(c.get("damping"));
      if (d.size() != 1) throw AppError(std::string(msg::kBadDamping));
      p.damping = d[0];
    }
  } catch (const AppError& e) {
    throw UsageError(e.what());
  }
  if (c.has("quantity")) {
    const std::string& q = c.get("quantity");
    if (q != "psa" && q != "sa") throw UsageError("--quantity: ожидается psa или sa");
    p.quantity = q == "sa" ? analysis::Quantity::Sa : analysis::Quantity::Psa;
  }
  p.t1 = positiveOption(c, "t1");
  try {
    check::setPeriodRange(p, positiveOption(c, "tmin"), positiveOption(c, "tmax"),
                          positiveOption(c, "fmin"), positiveOption(c, "fmax"));
  } catch (const AppError& e) {
    throw UsageError(e.what());
  }
  if (const auto r = positiveOption(c, "min-ratio")) p.minRatio = *r;
  // Options another rule would take are refused rather than silently ignored: a reviewer reads
  // the command line as the statement of what was checked.
  if (p.rule == check::Rule::Srp && (p.t1 || c.has("min-ratio")))
    throw UsageError("правило srp не принимает --t1, --min-ratio");
  if (p.rule == check::Rule::Ec8 && c.has("min-ratio"))
    throw UsageError("правило ec8 не принимает --min-ratio");
  if (p.rule == check::Rule::Ec8 && !p.t1) throw UsageError(std::string(msg::kNeedT1));
  return p;
}

// A target text that is not one of the forms, or a damping the target has no values for, is a
// wrong call; a target file that cannot be used is a failed input.
check::Target targetOf(const std::string& text, const check::RuleParameters& parameters) {
  const bool named = text.starts_with("ec8:") || text.starts_with("rg160:") || text.empty();
  check::Target target;
  try {
    target = check::parseTarget(text);
  } catch (const AppError& e) {
    if (named) throw UsageError(e.what());
    throw;
  }
  if (!target.supportsDamping(parameters.damping))
    throw UsageError(msg::badTarget(text, msg::kRg160Damping));
  return target;
}

int runCheck(const Arguments& c, std::ostream& out, std::ostream& err) {
  if (c.positional.empty()) throw UsageError("не указаны записи");
  if (!c.has("target")) throw UsageError("не указана цель --target");
  if (c.has("psd")) throw UsageError("--psd: проверка спектральной плотности пока не сделана");
  const records::Reading reading = readingOf(c);
  const check::RuleParameters parameters = parametersOf(c);
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
  try {
    const check::Target target = targetOf(c.get("target"), parameters);
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
      if (c.has("report") && failed + 1 == files.size())
        throw AppError(reportWriteFailure(path, e));
#endif
      throw AppError(path + ": " + e.what());
    }
    out << check::checkText(result) << std::flush;
    return result.pass ? 0 : 3;
  } catch (const AppError& e) {
    err << msg::withFullStop(e.what()) << '\n';
  } catch (const std::bad_alloc&) {
    err << "не хватает памяти.\n";
  }
  return 1;
}

}  // namespace

const Command& checkCommand() {
  static const Command command{
      "check",
      {"check RECORD... --target T --rule srp|ec8|asce7 [--damping Z] [--quantity psa|sa]\n"
       "                [--t1 T1] [--tmin T --tmax T | --fmin F --fmax F] [--min-ratio R]\n"
       "                [--csv OUT.csv] [--report OUT.pdf] [--format F] [--units U] [--step DT]\n"
       "                [--channel N]"},
      "совместимость спектров записей с целевым спектром (srp, ec8, asce7): PASS или FAIL",
      withReadingOptions({"target", "rule", "damping", "quantity", "t1", "tmin", "tmax", "fmin",
                          "fmax", "min-ratio", "csv", "report", "psd"}),
      runCheck};
  return command;
}

}  // namespace accelspec::cli
