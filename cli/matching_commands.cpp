// SPDX-License-Identifier: MIT
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/number_text.hpp"
#include "check/check.hpp"
#include "check/check_messages.hpp"
#include "check/target.hpp"
#include "cli/command.hpp"
#include "cli/job.hpp"
#include "cli/match_set.hpp"
#include "cli/records_cli.hpp"
#include "cli/rule_options.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"
#include "matching/baseline.hpp"
#include "matching/match_to_rule.hpp"
#include "matching/matching_messages.hpp"
#include "matching/spectral_match.hpp"
#include "records/record.hpp"
#include "records/scan.hpp"

namespace accelspec::cli {

namespace {

std::string num(double v) { return analysis::formatNumber(v, 6); }

void writeRecord(const records::Record& record, const std::string& output) {
  const std::string text = aksText(record);
  try {
    replaceFile(output, text);
  } catch (const IoError& e) {
    records::failFile(output, records::ioMessage(e));
  }
}

std::string driftLine(const char* label, const matching::Drift& d) {
  return std::string(label) + ": конечная скорость " + num(d.finalVelocity) + " м/с (наибольшая " +
         num(d.peakVelocity) + "), конечное смещение " + num(d.finalDisplacement) +
         " м (наибольшее " + num(d.peakDisplacement) + ")\n";
}

// The four figures of a matched seed's character.
std::string characterLine(const matching::Character& c) {
  return msg::matchCharacter(
      analysis::formatNumber(c.arias, 3),
      (c.d5_95Shift >= 0 ? "+" : "") + analysis::formatNumber(c.d5_95Shift, 3),
      analysis::formatNumber(c.displacement, 3), analysis::formatNumber(100 * c.edges, 3));
}

int runBaseline(const Arguments& a, std::ostream& out, std::ostream& err) {
  needPositional(a, 2);
  const records::Reading reading = readingOf(a);
  const std::string& input = a.positional[0];
  const std::string& output = a.positional[1];
  if (refuseOutputsThatAreInputs({input}, {output}, err)) return 1;
  records::Record record = readRecordReporting(input, reading, err);
  const matching::Drift before = matching::driftOf(record.accel, record.dt);
  try {
    matching::correctBaseline(record.accel, record.dt);
  } catch (const AppError& e) {
    records::failFile(input, e.what());
  }
  writeRecord(record, output);
  out << driftLine("до поправки", before)
      << driftLine("после поправки", matching::driftOf(record.accel, record.dt));
  return 0;
}

double positiveOption(const Arguments& a, const char* name, double fallback) {
  if (!a.has(name)) return fallback;
  double v = 0;
  if (!records::parseNumber(a.get(name), v) || !(v > 0) || !std::isfinite(v))
    throw UsageError(std::string("--") + name + " должен быть положительным числом (с точкой)");
  return v;
}

int runMatch(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (isSetCall(a)) return runMatchSet(a, out, err);
  needPositional(a, 1);
  if (!a.has("target")) throw UsageError("не указан целевой спектр --target");
  const records::Reading reading = readingOf(a);
  const check::RuleParameters p = ruleParameters(a, false);
  const double duration = positiveOption(a, "duration", 20);
  const double sweepStep = positiveOption(a, "step", 0.005);
  // The most iterations: a run stops by itself once a record passes within the aim's band or
  // the ratios stop closing in.
  long long iterations = matching::kDefaultIterations;
  if (a.has("iterations") && (!records::parseInteger(a.get("iterations"), iterations) ||
                              iterations < 1 || iterations > matching::kMaxIterations))
    throw UsageError("--iterations должен быть целым числом от 1 до 1000");
  const std::string& output = a.positional[0];
  if (refuseOutputsThatAreInputs(optionInputs(a), {output}, err)) return 1;
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
  // The progress line is ended before any message, a failure's too.
  struct EndLine {
    std::ostream& err;
    bool shown = false;
    ~EndLine() {
      if (shown) err << '\n';
    }
  } endLine{err};
  const check::Target target = targetOption(a, p);
  matching::MatchSource source;
  if (a.has("seed")) source.seed = readRecordReporting(a.get("seed"), reading, err);
  source.duration = duration;
  source.step = sweepStep;
  std::function<void(int, double, double)> progress;
  if (terminal)
    progress = [&](int i, double lo, double hi) {
      endLine.shown = true;
      err << "\rитерация " << i << " из " << iterations << ": отношения от " << num(lo) << " до "
          << num(hi) << "   " << std::flush;
    };
  const matching::RuleMatch matched =
      matching::matchToRule(target, p, source, static_cast<int>(iterations), threads, progress);
  const matching::MatchResult& result = matched.match;
  if (endLine.shown) err << '\n';
  endLine.shown = false;
  const std::string rule = check::ruleName(p.rule);
  // A sweep has no seed whose character could be kept.
  const bool seeded = source.seed.has_value();
  const matching::Character character =
      seeded ? matching::characterOf(result.accel, result.reference, matched.dt)
             : matching::Character{};
  if (!result.passed) {
    err << msg::matchFailed(rule, result.iterations, num(result.lowestRatio),
                            num(result.highestRatio), output)
        << '\n';
    if (seeded) err << msg::kMatchClosest << characterLine(character) << '\n';
    return 3;
  }
  records::Record record;
  record.path = output;
  record.dt = matched.dt;
  record.accel = result.accel;
  writeRecord(record, output);
  // One line on success: iterations, the ratios, the peak against the zero-period value, and
  // for a seed its character.
  const double zeroPeriod = target.zeroPeriodValue();
  out << msg::matchSummary(result.iterations, num(result.lowestRatio), num(result.highestRatio),
                           num(result.peak), analysis::formatNumber(result.peak / zeroPeriod, 3),
                           num(zeroPeriod))
      << (seeded ? "; " + characterLine(character) : std::string()) << '\n';
  if (!result.withinAim)
    err << msg::matchOutsideAim(rule, num(result.lowestRatio), num(result.highestRatio),
                                num(matched.goalLowest), num(matched.goalHighest))
        << '\n';
  if (std::fabs(result.peak / zeroPeriod - 1) > 0.1 + 1e-9) err << msg::kMatchPeakOff << '\n';
  if (seeded && !character.kept()) err << msg::kMatchCharacterLost << '\n';
  if (p.rule == check::Rule::Ec8) err << msg::kMatchEc8Set << '\n';
  return 0;
}

std::vector<OptionHelp> matchHelp() {
  std::vector<OptionHelp> help = withReadingHelp(withRuleHelp(
      {{"--target T", std::string(kTargetHelp) +
                          "; T*R — спектр T, умноженный на R (число или дробь A/B) (обязателен)"},
       {"--seed RECORD...",
        "записи-основы, чьи полосы спектра Фурье масштабируются, по одной на компоненту, "
        "следующие — для компонент, сделанных заново (по умолчанию синусоидальная развёртка, "
        "только для одной записи)"},
       {"--seed noise[:NUMBER]",
        "основы — белый шум под огибающей из генератора std::mt19937_64 с зерном NUMBER (по "
        "умолчанию 1), свой поток на каждое движение, компоненту и попытку"},
       {"--components 1|2|3",
        "компоненты движения: H1; H1 и H2; H1, H2 и V (по умолчанию 1); с ними, с --count и "
        "с шумом пишутся файлы OUT_PREFIX_<движение>_<H1|H2|V>.aks"},
       {"--count N", "число движений набора, от 1 до 100 (по умолчанию 1)"},
       {"--vertical-target T", "целевой спектр вертикальной компоненты (только --components 3)"},
       {"--vertical-ratio R",
        "вертикальная цель — горизонтальная, умноженная на R > 0, число или дробь A/B (по "
        "умолчанию 2/3, "
        "РБ-006-98 п. 4.4.1)"},
       {"--max-correlation C",
        "наибольший |r| Пирсона между компонентами движения, больше 0 и не больше 1 (по "
        "умолчанию 0.16, SRP 3.7.1); компонента выше предела делается заново из другой основы"},
       {"--strong T", "длительность сильной фазы шума, с (по умолчанию 10)"},
       {"--envelope jht|sh",
        "огибающая шума: jht — трапеция Дженнингса, Хаузнера и Цая (1968), sh — функция "
        "Сарагони и Харта (1974) (по умолчанию jht)"}},
      {{"--duration T", "длительность развёртки, с (по умолчанию 20)"},
       {"--iterations N", "наибольшее число итераций, от 1 до 1000 (по умолчанию 200)"}},
      "srp"));
  for (OptionHelp& o : help)
    if (o.option == "--step DT")
      o.text =
          "шаг развёртки или шума по времени, с (по умолчанию 0.005); с --seed RECORD — шаг "
          "записи-основы (по умолчанию из файла)";
  return help;
}

}  // namespace

const Command& baselineCommand() {
  static const Command command{
      "baseline",
      {"baseline RECORD OUT.aks [--format F] [--units U] [--step DT] [--channel N]"},
      "поправка базовой линии: конечные скорость и смещение записи к нулю",
      kReadingOptions,
      runBaseline,
      readingHelp(),
      "baseline quake.at2 corrected.aks"};
  return command;
}

const Command& matchCommand() {
  static const Command command{
      "match",
      {"match OUT.aks --target T [--seed RECORD] [--rule srp|ec8|asce7|rb006] [--t1 T1]\n"
       "                [--tmin T --tmax T | --fmin F --fmax F] [--min-ratio R] [--damping Z]\n"
       "                [--quantity psa|sa] [--duration T] [--step DT] [--iterations N]\n"
       "                [--format F] [--units U] [--channel N]",
       "match OUT_PREFIX --target T [--components 1|2|3] [--count N]\n"
       "                [--vertical-target T | --vertical-ratio R]\n"
       "                [--seed RECORD... | --seed noise[:NUMBER] [--strong T] [--envelope "
       "jht|sh]]\n"
       "                [--max-correlation C] [правило и чтение, как выше]"},
      "запись, совместимая с целевым спектром: синусоидальная развёртка или масштабирование "
      "полос спектра Фурье записи --seed",
      withReadingOptions({"target",         "seed",
                          "rule",           "t1",
                          "tmin",           "tmax",
                          "fmin",           "fmax",
                          "min-ratio",      "damping",
                          "quantity",       "duration",
                          "iterations",     "components",
                          "count",          "vertical-target",
                          "vertical-ratio", "max-correlation",
                          "strong",         "envelope"}),
      runMatch,
      matchHelp(),
      "match matched.aks --target ec8:1:B:2.943 --seed quake.at2 --rule srp",
      "совместимая запись (или компонента набора) не найдена, ничего не записано"};
  return command;
}

}  // namespace accelspec::cli
