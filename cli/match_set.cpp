// SPDX-License-Identifier: MIT
// `match` for sets of independent components: N motions of one, two or three components from
// recorded or noise seeds, written as OUT_PREFIX_<motion>_<H1|H2|V>.aks all together or not at
// all.
#include "cli/match_set.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/number_text.hpp"
#include "check/check.hpp"
#include "check/target.hpp"
#include "cli/job.hpp"
#include "cli/records_cli.hpp"
#include "cli/rule_options.hpp"
#include "data/error.hpp"
#include "files/atomic_write.hpp"
#include "matching/matching_messages.hpp"
#include "matching/noise.hpp"
#include "matching/set_messages.hpp"
#include "matching/sets.hpp"
#include "records/record.hpp"
#include "records/scan.hpp"

namespace accelspec::cli {

namespace {

std::string num(double v) { return analysis::formatNumber(v, 6); }

long long integerOption(const Arguments& a, const char* name, long long lo, long long hi,
                        long long fallback, const char* expected) {
  if (!a.has(name)) return fallback;
  long long v = 0;
  if (!records::parseInteger(a.get(name), v) || v < lo || v > hi)
    throw UsageError(std::string("--") + name + ": " + expected);
  return v;
}

double numberOption(const Arguments& a, const char* name, double fallback, const char* expected,
                    bool (*ok)(double)) {
  if (!a.has(name)) return fallback;
  double v = 0;
  if (!records::parseNumber(a.get(name), v) || !std::isfinite(v) || !ok(v))
    throw UsageError(std::string("--") + name + ": " + expected);
  return v;
}

bool isNoise(const std::string& seed) { return seed == "noise" || seed.starts_with("noise:"); }

// The target of the vertical component: --vertical-target, or the horizontal one times
// --vertical-ratio (RB-006-98 §4.4.1: 2/3), its text "T*R" as `check` reads it back.
check::Target verticalTarget(const Arguments& a, const check::Target& horizontal,
                             const check::RuleParameters& p) {
  if (!a.has("vertical-target")) {
    try {
      return check::scaledTarget(horizontal,
                                 a.has("vertical-ratio") ? a.get("vertical-ratio") : "2/3");
    } catch (const AppError&) {
      throw UsageError("--vertical-ratio: ожидается число или дробь A/B больше нуля");
    }
  }
  const std::string& text = a.get("vertical-target");
  const bool named = text.starts_with("ec8:") || text.starts_with("rg160:");
  check::Target t;
  try {
    t = check::parseTarget(text);
  } catch (const AppError& e) {
    const std::string what = "--vertical-target: " + std::string(e.what());
    if (named) throw UsageError(what);
    throw AppError(what);
  }
  if (!t.supportsDamping(p.damping))
    throw UsageError("--vertical-target: " + msg::badTarget(text, msg::kRg160Damping));
  return t;
}

struct Progress {
  std::ostream& err;
  bool terminal = false, shown = false;
  long long iterations = 0;
  ~Progress() { end(); }
  void end() {
    if (shown) err << '\n';
    shown = false;
  }
};

}  // namespace

bool isSetCall(const Arguments& a) {
  for (const char* name : {"components", "count", "vertical-target", "vertical-ratio", "strong",
                           "max-correlation", "envelope"})
    if (a.has(name)) return true;
  return (a.has("seed") && isNoise(a.get("seed"))) || a.positional.size() > 1;
}

int runMatchSet(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.empty()) throw UsageError("не указан префикс файлов набора");
  if (!a.has("target")) throw UsageError("не указан целевой спектр --target");
  const bool noise = a.has("seed") && isNoise(a.get("seed"));
  const bool recorded = a.has("seed") && !noise;
  if (a.positional.size() > 1 && !recorded)
    throw UsageError("записи-основы перечисляются после --seed RECORD; лишний файл " +
                     a.positional[1]);
  matching::SetRequest request;
  request.parameters = ruleParameters(a, false);
  request.components =
      static_cast<int>(integerOption(a, "components", 1, 3, 1, "ожидается 1, 2 или 3"));
  request.count = static_cast<int>(
      integerOption(a, "count", 1, matching::kMaxMotions, 1, "ожидается целое число от 1 до 100"));
  request.iterations = static_cast<int>(integerOption(a, "iterations", 1, matching::kMaxIterations,
                                                      matching::kDefaultIterations,
                                                      "ожидается целое число от 1 до 1000"));
  if (a.has("vertical-target") && a.has("vertical-ratio"))
    throw UsageError("--vertical-target и --vertical-ratio вместе не задаются");
  if ((a.has("vertical-target") || a.has("vertical-ratio")) && request.components != 3)
    throw UsageError("--vertical-target и --vertical-ratio задаются только с --components 3");
  if (!noise)
    for (const char* name : {"strong", "envelope"})
      if (a.has(name))
        throw UsageError(std::string("--") + name + " задаётся только с --seed noise");
  // Without seed records nothing is read: options that say how to read one would be ignored.
  if (!recorded)
    for (const char* name : {"format", "units", "channel"})
      if (a.has(name))
        throw UsageError(std::string("--") + name +
                         " задаётся только с записями-основами --seed RECORD");
  if (a.has("duration") && a.has("seed"))
    throw UsageError("--duration задаёт длительность развёртки и с --seed не задаётся");
  request.maxCorrelation = numberOption(a, "max-correlation", matching::kDefaultMaxCorrelation,
                                        "ожидается число больше 0 и не больше 1",
                                        [](double v) { return v > 0 && v <= 1; });
  const auto positive = [](double v) { return v > 0; };
  request.horizontal = targetOption(a, request.parameters);
  if (request.components == 3)
    request.vertical = verticalTarget(a, request.horizontal, request.parameters);

  std::vector<std::string> outputs;
  for (int m = 1; m <= request.count; ++m)
    for (int c = 0; c < request.components; ++c)
      outputs.push_back(matching::setFileName(a.positional[0], m, static_cast<matching::Axis>(c)));
  std::vector<std::string> inputs = optionInputs(a);
  if (a.has("vertical-target")) inputs.push_back(a.get("vertical-target"));
  inputs.insert(inputs.end(), a.positional.begin() + 1, a.positional.end());
  if (refuseOutputsThatAreInputs(inputs, outputs, err)) return 1;
  if (noise) {
    request.seedKind = matching::SeedKind::Noise;
    const std::string& seed = a.get("seed");
    if (seed != "noise") {
      long long number = 0;
      if (!records::parseInteger(seed.substr(6), number) || number < 0)
        throw UsageError("--seed noise:NUMBER: ожидается целое число не меньше 0");
      request.noise.number = static_cast<std::uint64_t>(number);
    }
    request.noise.strong =
        numberOption(a, "strong", 10, "ожидается число больше нуля (с точкой)", positive);
    request.noise.dt =
        numberOption(a, "step", 0.005, "ожидается число больше нуля (с точкой)", positive);
    if (a.has("envelope"))
      request.noise.envelope =
          optionValue("envelope", [&] { return matching::parseEnvelope(a.get("envelope")); });
  } else if (recorded) {
    request.seedKind = matching::SeedKind::Records;
    const records::Reading reading = readingOf(a);
    std::vector<std::string> paths = {a.get("seed")};
    paths.insert(paths.end(), a.positional.begin() + 1, a.positional.end());
    for (const auto& path : paths)
      request.records.push_back(readRecordReporting(path, reading, err));
  } else {
    request.seedKind = matching::SeedKind::Sweep;
    request.sweepDuration =
        numberOption(a, "duration", 20, "ожидается число больше нуля (с точкой)", positive);
    request.sweepStep =
        numberOption(a, "step", 0.005, "ожидается число больше нуля (с точкой)", positive);
  }
  request.threads = std::max(1u, std::thread::hardware_concurrency());
  // Refusals of the request itself (a sweep for several components, too few seeds) are wrong
  // calls; a seed that cannot be matched is a failure of the run.
  try {
    matching::validateSetRequest(request);
  } catch (const AppError& e) {
    throw UsageError(e.what());
  }

  Progress progress{err, &err == &std::cerr && isatty(STDERR_FILENO)};
  progress.iterations = request.iterations;
  matching::SetProgress told;
  if (progress.terminal)
    told = [&](int motion, matching::Axis axis, int attempt, int i, double lo, double hi) {
      progress.shown = true;
      err << "\r" << msg::setComponent(motion, matching::axisName(axis)) << ", попытка " << attempt
          << ", итерация " << i << " из " << progress.iterations << ": отношения от " << num(lo)
          << " до " << num(hi) << "   " << std::flush;
    };
  const matching::SetResult result = matching::matchSet(request, told);
  progress.end();
  const std::string rule = check::ruleName(request.parameters.rule);
  if (!result.passed) {
    const matching::SetFailure& f = *result.failure;
    const std::string component = msg::setComponent(f.motion, matching::axisName(f.axis));
    if (f.tries == 0)
      err << "компонента " << component << ": " << msg::kSetSeedsExhausted
          << " Файлы набора не записаны.\n";
    else if (f.correlation)
      err << msg::setCorrelationFailed(
                 component, msg::setComponent(f.motion, matching::axisName(f.other)), f.tries,
                 num(f.correlationValue), num(request.maxCorrelation))
          << '\n';
    else
      err << msg::setRuleFailed(component, rule, f.tries, num(f.lowest), num(f.highest)) << '\n';
    if (f.tries > 0 && f.seedsExhausted) err << msg::kSetSeedsExhausted << '\n';
    return 3;
  }

  std::vector<std::string> texts;
  for (const auto& c : result.components) {
    records::Record record;
    record.dt = c.dt;
    record.accel = c.match.accel;
    texts.push_back(aksText(record));
  }
  std::vector<std::pair<std::string, std::string_view>> files;
  for (std::size_t i = 0; i < texts.size(); ++i) files.emplace_back(outputs[i], texts[i]);
  std::size_t failed = 0;
  try {
    replaceFiles(files, failed);
  } catch (const IoError& e) {
    throw AppError(files[failed].first + ": " + records::ioMessage(e));
  }

  for (std::size_t i = 0; i < result.components.size(); ++i) {
    const matching::SetComponent& c = result.components[i];
    const double zero =
        (c.axis == matching::Axis::V ? *request.vertical : request.horizontal).zeroPeriodValue();
    out << msg::setComponentLine(outputs[i], c.match.iterations, c.seed, c.tries,
                                 num(c.match.lowestRatio), num(c.match.highestRatio),
                                 num(c.match.peak), analysis::formatNumber(c.match.peak / zero, 3),
                                 c.targetText)
        << '\n';
  }
  if (request.components > 1) {
    const auto pairs = matching::componentPairs(request.components);
    std::vector<std::vector<std::string>> rows = {{std::string(msg::kSetMotionColumn)}};
    for (const auto& [x, y] : pairs)
      rows[0].push_back(std::string(matching::axisName(x)) + "–" + matching::axisName(y));
    for (std::size_t m = 0; m < result.correlations.size(); ++m) {
      rows.push_back({std::to_string(m + 1)});
      for (double r : result.correlations[m]) rows.back().push_back(analysis::formatNumber(r, 4));
    }
    out << msg::setCorrelationHeading(num(request.maxCorrelation)) << '\n';
    for (const auto& row : rows) {
      for (std::size_t c = 0; c < row.size(); ++c) {
        // Column widths in characters: the dash of a pair's name is one character.
        const std::size_t width = c == 0 ? 8 : 9;
        std::size_t chars = 0;
        for (unsigned char ch : row[c]) chars += (ch & 0xc0) != 0x80;
        out << (c ? " " : "") << std::string(width > chars ? width - chars : 0, ' ') << row[c];
      }
      out << '\n';
    }
  }
  for (std::size_t i = 0; i < result.components.size(); ++i) {
    const matching::SetComponent& c = result.components[i];
    if (!c.match.withinAim)
      err << outputs[i] << ": "
          << msg::matchOutsideAim(rule, num(c.match.lowestRatio), num(c.match.highestRatio),
                                  num(c.goalLowest), num(c.goalHighest))
          << '\n';
    const double zero =
        (c.axis == matching::Axis::V ? *request.vertical : request.horizontal).zeroPeriodValue();
    if (std::fabs(c.match.peak / zero - 1) > 0.1 + 1e-9)
      err << outputs[i] << ": " << msg::kMatchPeakOff << '\n';
  }
  if (request.parameters.rule == check::Rule::Ec8) err << msg::kMatchEc8Set << '\n';
  return 0;
}

}  // namespace accelspec::cli
