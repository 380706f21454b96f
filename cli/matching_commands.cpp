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
#include "cli/records_cli.hpp"
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
  try {
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
  } catch (const AppError& e) {
    err << msg::withFullStop(e.what()) << '\n';
    return 1;
  } catch (const std::bad_alloc&) {
    err << msg::withFullStop(input + ": не хватает памяти") << '\n';
    return 1;
  }
  return 0;
}

double positiveOption(const Arguments& a, const char* name, double fallback) {
  if (!a.has(name)) return fallback;
  double v = 0;
  if (!records::parseNumber(a.get(name), v) || !(v > 0) || !std::isfinite(v))
    throw UsageError(std::string("--") + name + " должен быть положительным числом (с точкой)");
  return v;
}

check::RuleParameters ruleParameters(const Arguments& a) {
  check::RuleParameters p;
  try {
    if (a.has("rule")) p.rule = check::parseRule(a.get("rule"));
  } catch (const AppError& e) {
    throw UsageError(e.what());
  }
  p.damping = a.has("damping") ? positiveOption(a, "damping", 0.05) : 0.05;
  if (p.damping >= 1) throw UsageError("--damping должен быть меньше 1");
  if (a.has("quantity")) {
    const std::string& q = a.get("quantity");
    if (q != "psa" && q != "sa") throw UsageError("--quantity должен быть psa или sa");
    p.quantity = q == "sa" ? analysis::Quantity::Sa : analysis::Quantity::Psa;
  }
  if (a.has("t1")) p.t1 = positiveOption(a, "t1", 1);
  const auto optional = [&](const char* name) -> std::optional<double> {
    if (!a.has(name)) return std::nullopt;
    return positiveOption(a, name, 1);
  };
  try {
    check::setPeriodRange(p, optional("tmin"), optional("tmax"), optional("fmin"),
                          optional("fmax"));
  } catch (const AppError& e) {
    throw UsageError(e.what());
  }
  if (a.has("min-ratio")) p.minRatio = positiveOption(a, "min-ratio", 0.9);
  if (p.rule == check::Rule::Ec8 && !p.t1) throw UsageError("--t1: правило ec8 требует T1 в с");
  return p;
}

int runMatch(const Arguments& a, std::ostream& out, std::ostream& err) {
  needPositional(a, 1);
  if (!a.has("target")) throw UsageError("--target: не задан целевой спектр");
  const records::Reading reading = readingOf(a);
  const check::RuleParameters p = ruleParameters(a);
  const double duration = positiveOption(a, "duration", 20);
  const double sweepStep = positiveOption(a, "step", 0.005);
  // The most iterations: a run stops by itself once a record passes within the aim's band or
  // the ratios stop closing in.
  long long iterations = 200;
  if (a.has("iterations") && (!records::parseInteger(a.get("iterations"), iterations) ||
                              iterations < 1 || iterations > 1000))
    throw UsageError("--iterations должен быть целым числом от 1 до 1000");
  const std::string& output = a.positional[0];
  if (refuseOutputsThatAreInputs(optionInputs(a), {output}, err)) return 1;
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
  try {
    check::Target target;
    try {
      target = check::parseTarget(a.get("target"));
    } catch (const AppError& e) {
      // A design spectrum written wrongly is a wrong call; a file that cannot be read, a failed
      // input.
      const std::string& t = a.get("target");
      if (t.rfind("ec8:", 0) == 0 || t.rfind("rg160:", 0) == 0) throw UsageError(e.what());
      const std::string what = e.what();
      if (what.find(t) != std::string::npos) throw;
      throw AppError(t + ": " + what);
    }
    if (!target.supportsDamping(p.damping)) throw UsageError(std::string(msg::kRg160Damping));
    matching::MatchSource source;
    if (a.has("seed")) source.seed = readRecordReporting(a.get("seed"), reading, err);
    source.duration = duration;
    source.step = sweepStep;
    std::function<void(int, double, double)> progress;
    if (terminal)
      progress = [&](int i, double lo, double hi) {
        err << "\rитерация " << i << " из " << iterations << ": отношения от " << num(lo) << " до "
            << num(hi) << "   " << std::flush;
      };
    const matching::RuleMatch matched =
        matching::matchToRule(target, p, source, static_cast<int>(iterations), threads, progress);
    const matching::MatchResult& result = matched.match;
    if (terminal) err << '\n';
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
  } catch (const AppError& e) {
    if (terminal) err << '\n';
    err << msg::withFullStop(e.what()) << '\n';
    return 1;
  } catch (const std::bad_alloc&) {
    err << msg::withFullStop("не хватает памяти") << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

const Command& baselineCommand() {
  static const Command command{
      "baseline",
      {"baseline RECORD OUT.aks [--format F] [--units U] [--step DT] [--channel N]"},
      "поправка базовой линии: конечные скорость и смещение записи к нулю",
      kReadingOptions,
      runBaseline};
  return command;
}

const Command& matchCommand() {
  static const Command command{
      "match",
      {"match OUT.aks --target T [--seed RECORD] [--rule srp|ec8|asce7] [--t1 T1]\n"
       "                [--tmin T --tmax T | --fmin F --fmax F] [--min-ratio R] [--damping Z]\n"
       "                [--quantity psa|sa] [--duration T] [--step DT] [--iterations N]\n"
       "                [--format F] [--units U] [--channel N]"},
      "запись, совместимая с целевым спектром: синусоидальная развёртка или масштабирование "
      "полос спектра Фурье записи --seed",
      withReadingOptions({"target", "seed", "rule", "t1", "tmin", "tmax", "fmin", "fmax",
                          "min-ratio", "damping", "quantity", "duration", "iterations"}),
      runMatch};
  return command;
}

}  // namespace accelspec::cli
