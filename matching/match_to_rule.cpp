// SPDX-License-Identifier: MIT
#include "matching/match_to_rule.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "check/check_messages.hpp"
#include "data/error.hpp"
#include "matching/matching_messages.hpp"

namespace accelspec::matching {

namespace {

check::CheckResult checkOne(const check::Target& target, const check::RuleParameters& p,
                            const std::vector<analysis::GridPoint>& grid,
                            const std::vector<double>& accel, double dt, unsigned threads) {
  records::Record r;
  r.name = "match";
  r.dt = dt;
  r.accel = accel;
  return check::evaluateRule(target, p, grid, {check::checkRecordOf(r, grid, p, threads)});
}

}  // namespace

bool passesRule(const check::CheckResult& r) {
  return std::all_of(r.verdicts.begin(), r.verdicts.end(), [](const check::Verdict& v) {
    return v.pass || v.kind == check::ItemKind::RecordCount;
  });
}

void validateRuleParameters(const check::RuleParameters& p, const check::Target& target) {
  if (!(p.damping > 0) || !(p.damping < 1)) throw AppError(msg::kMatchBadDamping);
  if (p.rule == check::Rule::Ec8 && !p.t1) throw AppError(msg::kMatchNeedT1);
  for (const auto& v : {p.t1, p.tmin, p.tmax})
    if (v && (!(*v > 0) || !std::isfinite(*v))) throw AppError(msg::kMatchBadPeriod);
  if (p.tmin && p.tmax && *p.tmin > *p.tmax) throw AppError(msg::kMatchTminAboveTmax);
  if (!(p.minRatio > 0) || !std::isfinite(p.minRatio)) throw AppError(msg::kMatchBadMinRatio);
  if (!target.supportsDamping(p.damping)) throw AppError(msg::kRg160Damping);
}

RuleMatch matchToRule(const check::Target& target, const check::RuleParameters& p,
                      const MatchSource& source, int iterations, unsigned threads,
                      const std::function<void(int, double, double)>& progress,
                      std::stop_token stop) {
  if (iterations < 1 || iterations > 1000) throw AppError(msg::kMatchBadIterations);
  const std::optional<records::Record>& seed = source.seed;
  RuleMatch out;
  out.dt = seed ? seed->dt : source.step;
  const std::vector<analysis::GridPoint> grid = check::checkGrid(out.dt);
  if (grid.empty()) throw AppError(msg::kNoGrid);

  // The points the rule judges are the points matched, the judging the check's own: outside
  // them (a file target's span included) the record is left as it is as far as the bands allow.
  const check::CheckResult shape = check::evaluateRule(
      target, p, grid, {{"", out.dt, 1, 1, std::vector<double>(grid.size(), 1)}});
  MatchGoal goal;
  goal.damping = p.damping;
  goal.quantity = p.quantity;
  goal.iterations = iterations;
  goal.threads = threads;
  goal.stop = std::move(stop);
  for (std::size_t j = 0; j < grid.size(); ++j) {
    const check::CheckPoint& pt = shape.points[j];
    const bool inTarget = pt.frequency >= target.lowestFrequency() * (1 - 1e-9) &&
                          pt.frequency <= target.highestFrequency() * (1 + 1e-9);
    if (pt.judged || (source.wholeGrid && inTarget)) {
      goal.grid.push_back(grid[j]);
      goal.target.push_back(pt.target);
      if (source.wholeGrid) goal.judged.push_back(pt.judged);
    }
  }
  goal.lowest = std::max(0.95, shape.lowerBand + 0.01);
  goal.highest = goal.lowest + (seed ? 0.2 : 0.25);
  goal.aim = goal.lowest + 0.1;
  goal.floor = shape.lowerBand;
  out.goalLowest = goal.lowest;
  out.goalHighest = goal.highest;
  // Whatever the range, the peak acceleration is held near the target's zero-period value. A
  // sweep carries it by a table point above the judged range: the check grid's top when that
  // lies above, else 0.8 of the Nyquist frequency.
  goal.peakTarget = target.zeroPeriodValue();
  if (!seed) {
    goal.peakFloor = goal.peakTarget;
    goal.peakFrequency = goal.grid.back().frequency < grid.back().frequency * (1 - 1e-9)
                             ? grid.back().frequency
                             : 0.4 / out.dt;
  }
  // The verdict that accepted the record is the one returned: no second check of the same
  // record.
  goal.accepts = [&](const std::vector<double>& accel, double step) {
    check::CheckResult r = checkOne(target, p, grid, accel, step, threads);
    if (!passesRule(r)) return false;
    out.check = std::move(r);
    return true;
  };
  goal.progress = progress;
  out.match = seed ? matchSeed(seed->accel, seed->dt, goal)
                   : matchSweep(source.duration, source.step, goal);
  if (!out.match.passed) out.check.reset();
  return out;
}

}  // namespace accelspec::matching
