// SPDX-License-Identifier: MIT
// select: a suite of motions from the record library, scaled to a target under a rule;
// suite check and suite export: the suite file that select writes, without the library.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/number_text.hpp"
#include "check/check.hpp"
#include "check/target.hpp"
#include "cli/command.hpp"
#include "cli/job.hpp"
#include "cli/records_cli.hpp"
#include "cli/rule_options.hpp"
#include "cli/suite_library.hpp"
#include "data/error.hpp"
#include "files/atomic_write.hpp"
#include "files/textio.hpp"
#include "records/scan.hpp"
#include "suites/selection.hpp"
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
#include "app/check_report.hpp"
#include "app/suite_report.hpp"
#endif

namespace accelspec::cli {

namespace {

// A suite file is small: a few lines a motion. Anything far larger is not one.
constexpr std::uintmax_t kMaxSuiteFile = 64u << 20;

double positiveOption(const Arguments& a, const char* name, double fallback) {
  if (!a.has(name)) return fallback;
  double v = 0;
  if (!analysis::parseNumber(a.get(name), v) || !(v > 0) || !std::isfinite(v))
    throw UsageError(std::string("--") + name + ": ожидается число больше нуля (с точкой)");
  return v;
}

std::size_t countOption(const Arguments& a, const char* name, std::size_t fallback) {
  if (!a.has(name)) return fallback;
  long long v = 0;
  if (!records::parseInteger(a.get(name), v) || v < 1 || v > 100000)
    throw UsageError(std::string("--") + name + ": ожидается целое число от 1 до 100000");
  return static_cast<std::size_t>(v);
}

// --range TMIN:TMAX, periods in seconds.
void rangeOption(const Arguments& a, check::RuleParameters& rule) {
  if (!a.has("range")) return;
  const std::string& text = a.get("range");
  const auto colon = text.find(':');
  double lo = 0, hi = 0;
  if (colon == std::string::npos || !analysis::parseNumber(text.substr(0, colon), lo) ||
      !analysis::parseNumber(text.substr(colon + 1), hi) || !(lo > 0) || !(hi > 0))
    throw UsageError("--range: ожидается TMIN:TMAX, периоды в секундах больше нуля");
  if (a.has("tmin") || a.has("tmax")) throw UsageError("--range вместе с --tmin или --tmax");
  if (!(lo < hi)) throw UsageError("--range: TMIN должен быть меньше TMAX");
  rule.tmin = lo;
  rule.tmax = hi;
}

// The whole of a file this program wrote, or a clear message.
std::string readSuite(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxSuiteFile) throw AppError(path + ": файл слишком велик для файла набора");
  try {
    return readWholeFile(path);
  } catch (const IoError& e) {
    throw AppError(path + ": " + records::ioMessage(e));
  }
}

// Writes `files` all together or none of them.
void writeAll(const std::vector<std::pair<std::string, std::string>>& contents) {
  std::vector<std::pair<std::string, std::string_view>> files;
  for (const auto& [path, text] : contents) files.emplace_back(path, text);
  std::size_t failed = 0;
  try {
    replaceFiles(files, failed);
  } catch (const IoError& e) {
    const std::string& path = files[failed].first;
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
    if (extensionOf(path) == "pdf") throw AppError(reportWriteFailure(path, e));
#endif
    throw AppError(path + ": " + records::ioMessage(e));
  }
}

void refuseReportWithoutQt([[maybe_unused]] const Arguments& c) {
#ifndef ACCELSPEC_HAVE_CHECK_REPORT
  if (c.has("report"))
    throw AppError("--report: отчёт PDF недоступен в этой сборке (собрана без Qt).");
#endif
}

// The report's bytes as the check's report gives a failure: named by its path.
std::string reportOf([[maybe_unused]] const Arguments& c,
                     [[maybe_unused]] const suites::Selection& sel) {
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
  try {
    return suiteReportPdfStandalone(sel);
  } catch (const AppError& e) {
    throw AppError(c.get("report") + ": " + e.what());
  }
#else
  return {};
#endif
}

std::string absoluteTarget(const std::string& text) {
  if (text.starts_with("ec8:") || text.starts_with("rg160:")) return text;
  return std::filesystem::absolute(text).lexically_normal().string();
}

int runSelect(const Arguments& c, std::ostream& out, std::ostream& err) {
  if (!c.positional.empty())
    throw UsageError("select не принимает файлов: записи берутся из библиотеки");
  if (!c.has("target")) throw UsageError("не указан целевой спектр --target");
  if (!c.has("count")) throw UsageError("не указано число записей --count");
  Arguments ruleArgs = c;
  // Source: ASCE 7-16 §16.2: the rule select assumes unless told.
  if (!ruleArgs.has("rule")) ruleArgs.options["rule"] = "asce7";
  suites::SelectionParameters p;
  p.rule = ruleParameters(ruleArgs, false);
  rangeOption(c, p.rule);
  p.count = countOption(c, "count", 0);
  p.pairs = c.has("pairs");
  p.vertical = c.has("vertical");
  if (p.pairs && p.vertical) throw UsageError("--pairs и --vertical вместе не задаются");
  p.scaleMin = positiveOption(c, "scale-min", p.scaleMin);
  p.scaleMax = positiveOption(c, "scale-max", p.scaleMax);
  if (p.scaleMin > p.scaleMax) throw UsageError("--scale-min больше --scale-max");
  p.maxPerEvent = countOption(c, "max-per-event", 0);
  refuseReportWithoutQt(c);
  std::vector<std::string> outputs;
  if (c.has("csv")) outputs.push_back(c.get("csv"));
  if (c.has("report")) outputs.push_back(c.get("report"));
  if (outputs.size() == 2 && std::filesystem::absolute(outputs[0]).lexically_normal() ==
                                 std::filesystem::absolute(outputs[1]).lexically_normal())
    throw UsageError("--csv и --report называют один файл");
  // The library file is read too: a suite file or report written over it would destroy it.
  std::vector<std::string> inputs = optionInputs(c);
  try {
    inputs.push_back(c.has("library") ? c.get("library") : library::defaultLibraryPath());
  } catch (const AppError&) {
    // No place for the default library: opening it fails below with its own message.
  }
  if (refuseOutputsThatAreInputs(inputs, outputs, err)) return 1;
  check::Target target = targetOption(c, p.rule);
  if (target.kind == check::TargetKind::File) target.text = absoluteTarget(target.text);
  // The filter is read before the library is opened: a wrong expression is a wrong call.
  const library::Filter filter = optionValue(
      "where", [&] { return library::parseWhere(c.has("where") ? c.get("where") : ""); });
  const std::vector<library::Motion> motions =
      libraryMotions(c.has("library") ? c.get("library") : "", filter);
  const suites::Selection sel = suites::select(target, p, motions);
  std::vector<std::pair<std::string, std::string>> files;
  if (c.has("csv")) files.emplace_back(c.get("csv"), suites::suiteFileText(sel));
  if (c.has("report") && !sel.members.empty())
    files.emplace_back(c.get("report"), reportOf(c, sel));
  writeAll(files);
  if (c.has("report") && sel.members.empty())
    err << "предупреждение: " << c.get("report") << ": набор пуст, отчёт PDF не записан\n";
  out << suites::selectionText(sel) << std::flush;
  return sel.pass ? 0 : 3;
}

int runSuiteCheck(const Arguments& c, std::ostream& out, std::ostream& err) {
  if (c.positional.size() != 1) throw UsageError("suite check: укажите один файл набора");
  refuseReportWithoutQt(c);
  const std::string& path = c.positional[0];
  suites::Selection sel = suites::parseSuiteFile(readSuite(path), path);
  std::vector<std::string> inputs = {path};
  for (const auto& m : sel.members)
    for (const auto& f : m.files) inputs.push_back(f.path);
  if (c.has("report") && refuseOutputsThatAreInputs(inputs, {c.get("report")}, err)) return 1;
  check::Target target;
  try {
    target = check::parseTarget(sel.targetText);
  } catch (const AppError& e) {
    throw AppError(path + ": " + e.what());
  }
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  for (const std::string& line : suites::recomputeSpectra(sel, threads))
    err << "предупреждение: " << path << ": " << line << "\n";
  suites::judge(target, sel, false);
  if (c.has("report") && !sel.members.empty()) writeAll({{c.get("report"), reportOf(c, sel)}});
  if (c.has("report") && sel.members.empty())
    err << "предупреждение: " << c.get("report") << ": набор пуст, отчёт PDF не записан\n";
  out << suites::selectionText(sel) << std::flush;
  return sel.pass ? 0 : 3;
}

int runSuiteExport(const Arguments& c, std::ostream& out, std::ostream& err) {
  if (c.positional.size() != 1) throw UsageError("suite export: укажите один файл набора");
  if (!c.has("out-dir")) throw UsageError("не указана папка --out-dir");
  const std::string& path = c.positional[0];
  const suites::Selection sel = suites::parseSuiteFile(readSuite(path), path);
  const std::vector<suites::ScaledComponent> scaled = suites::scaledComponents(sel);
  const std::filesystem::path dir = c.get("out-dir");
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir))
    throw AppError(dir.string() + ": не удаётся создать папку");
  std::vector<std::string> inputs = {path}, outputs;
  for (const auto& m : sel.members)
    for (const auto& f : m.files) inputs.push_back(f.path);
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& s : scaled) {
    outputs.push_back((dir / s.fileName).string());
    files.emplace_back(outputs.back(), aksText(s.record));
  }
  if (refuseOutputsThatAreInputs(inputs, outputs, err)) return 1;
  writeAll(files);
  for (const auto& f : outputs) out << f << "\n";
  out << std::flush;
  return 0;
}

}  // namespace

const Command& selectCommand() {
  static const Command command{
      "select",
      {"select --target T --count N [--rule asce7|ec8|srp|rb006] [--range TMIN:TMAX | --t1 T1]\n"
       "                [--pairs] [--scale-min S --scale-max S] [--max-per-event K]\n"
       "                [--where EXPR] [--csv SUITE.csv] [--report OUT.pdf] [--library FILE]"},
      "набор записей из библиотеки, подобранный и отмасштабированный к целевому спектру: PASS или "
      "FAIL",
      {"target", "count", "rule", "range", "t1", "tmin", "tmax", "min-ratio", "pairs", "vertical",
       "scale-min", "scale-max", "max-per-event", "where", "csv", "report", "library"},
      runSelect,
      {{"--target T", std::string(kTargetHelp) + " (обязателен)"},
       {"--count N", "сколько записей взять в набор, от 1 до 100000 (обязателен)"},
       {"--rule asce7|ec8|srp|rb006",
        "правило для набора: asce7 — не менее 11 записей, средний спектр ≥ --min-ratio цели на "
        "диапазоне; ec8 — не менее 3 записей, средний спектр ≥ 0.9 цели на 0.2·T1…2·T1 и средний "
        "пик ≥ ag·S; srp — каждая запись 0.9…1.3; rb006 — средний пик ≥ цели при 0 с и средний "
        "спектр ≥ 0.9 цели на 0.5–33 Гц (по умолчанию asce7)"},
       {"--range TMIN:TMAX", "диапазон периодов подбора и проверки, с (вместо --tmin и --tmax)"},
       {"--t1 T1", "первый период сооружения, с (для ec8 обязателен; asce7: 0.2·T1…2·T1)"},
       {"--tmin T, --tmax T", "тот же диапазон двумя параметрами, с"},
       {"--min-ratio R",
        "наименьшее отношение среднего спектра к цели, только asce7 (по умолчанию 0.9)"},
       {"--pairs",
        "брать пары горизонтальных компонент и их спектр RotD100 (asce7) или RotD50 (иначе); "
        "без него — каждую горизонтальную компоненту с её спектром PSA"},
       {"--vertical",
        "брать вертикальные компоненты вместо горизонтальных (цель — вертикальный спектр)"},
       {"--scale-min S", "наименьший допустимый масштаб записи (по умолчанию 0.25)"},
       {"--scale-max S", "наибольший допустимый масштаб записи (по умолчанию 4)"},
       {"--max-per-event K", "не более K записей одного землетрясения (по умолчанию без предела)"},
       {"--where EXPR", "отбор записей библиотеки по полям, например pga>0.1 and magnitude>=6"},
       {"--csv SUITE.csv", "файл набора для suite check и suite export (по умолчанию не пишется)"},
       {"--report OUT.pdf", "отчёт PDF о наборе (по умолчанию не пишется)"},
       {"--library FILE",
        "файл библиотеки (по умолчанию $XDG_DATA_HOME/accelspec/library.sqlite)"}},
      "select --target ec8:1:B:2.943 --rule ec8 --t1 0.8 --count 7 --pairs --csv suite.csv",
      "набор не выполняет правило (FAIL)",
      {"pairs", "vertical"}};
  return command;
}

const Command& suiteCheckCommand() {
  static const Command command{
      "suite check",
      {"suite check SUITE.csv [--report OUT.pdf]"},
      "проверка набора по его файлу заново из файлов записей, без библиотеки: PASS или FAIL",
      {"report"},
      runSuiteCheck,
      {{"SUITE.csv",
        "файл набора (select --csv): его записи перечитываются, спектры считаются заново (RotD "
        "для пар), масштабируются и проверяются правилом набора"},
       {"--report OUT.pdf", "отчёт PDF о наборе (по умолчанию не пишется)"}},
      "suite check suite.csv --report suite.pdf",
      "набор не выполняет правило (FAIL)"};
  return command;
}

const Command& suiteExportCommand() {
  static const Command command{
      "suite export",
      {"suite export SUITE.csv --out-dir DIR"},
      "отмасштабированные записи набора файлами *.aks",
      {"out-dir"},
      runSuiteExport,
      {{"SUITE.csv", "файл набора (select --csv)"},
       {"--out-dir DIR",
        "папка для файлов ЗАПИСЬ.aks (пары: ЗАПИСЬ_H1.aks, ЗАПИСЬ_H2.aks); создаётся при "
        "необходимости (обязателен)"}},
      "suite export suite.csv --out-dir scaled"};
  return command;
}

}  // namespace accelspec::cli
