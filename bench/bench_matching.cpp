// SPDX-License-Identifier: MIT
// Matching times: the published example (NGA-West2 RSN175, 7814 samples at 0.005 s, to its
// ASCE 7 design spectrum over 0.05–6 s) as `match` runs it with its defaults; a 0.005-s seed
// of 8000 samples (the first 40 s of NGA-West2 RSN8883) matched to the rg160 spectrum at 0.3 g
// over the whole check grid; and the program's sine sweep (20 s, 0.005 s) matched to rg160 and
// ec8, each checked by the rules' code as the command does.
//
// The sweep's table is matched only over the periods judged, as the command does; where the
// table stage stalls, its closest record goes on through the band scaling.
//
//   cmake --build build --target bench_matching && build/bench/bench_matching
//
// "seconds" is wall time of a whole run on the threads given; the counters give the iterations
// it took and the lowest and highest ratio of the record it ended with.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "check/check.hpp"
#include "check/target.hpp"
#include "matching/match_to_rule.hpp"
#include "matching/spectral_match.hpp"
#include "records/record.hpp"

namespace accelspec::matching {
namespace {

std::vector<double> seed() {
  static const records::Record r =
      records::readRecord(ACCELSPEC_DATA "/analysis/data/RSN8883_14383980_13849090.AT2");
  return {r.accel.begin(), r.accel.begin() + 8000};
}

MatchGoal goalFor(const check::Target& target, const check::RuleParameters& p, double dt,
                  unsigned threads, bool sweep) {
  const auto grid = check::checkGrid(dt);
  MatchGoal goal;
  goal.grid = grid;
  for (const auto& g : grid) goal.target.push_back(target.valueAt(g.frequency, p.damping));
  goal.threads = threads;
  goal.aim = 1.05;
  goal.highest = sweep ? 1.2 : 1.15;
  goal.peakTarget = target.zeroPeriodValue();
  goal.floor = 0.9;
  if (sweep) {  // the peak carried by a table point at 0.8 of the Nyquist frequency
    goal.peakFloor = goal.peakTarget;
    goal.peakFrequency = 0.4 / dt;
  }
  goal.accepts = [target, p, grid, threads](const std::vector<double>& accel, double step) {
    records::Record r;
    r.dt = step;
    r.accel = accel;
    return check::evaluateRule(target, p, grid, {check::checkRecordOf(r, grid, p, threads)}).pass;
  };
  return goal;
}

// The published example through the command's own path, 200 iterations at most.
void BM_MatchRsn175(benchmark::State& state) {
  const std::string data = ACCELSPEC_DATA "/matching/data/";
  MatchSource source;
  source.seed = records::readRecord(data + "RSN175_IMPVALL.H_H-E12140.AT2");
  const check::Target target = check::parseTarget(data + "RSN175_ASCE7.spv");
  check::RuleParameters p;
  p.rule = check::Rule::Asce7;
  p.tmin = 0.05;
  p.tmax = 6;
  RuleMatch m;
  for (auto _ : state) m = matchToRule(target, p, source, 200, 2);
  state.counters["iterations"] = m.match.iterations;
  state.counters["lowest"] = m.match.lowestRatio;
  state.counters["highest"] = m.match.highestRatio;
  state.counters["passed"] = m.match.passed;
  state.counters["pga_over_zpa"] = m.match.peak / target.zeroPeriodValue();
  const Character c = characterOf(m.match.accel, m.match.reference, m.dt);
  state.counters["arias"] = c.arias;
  state.counters["d5_95_shift"] = c.d5_95Shift;
  state.counters["displacement"] = c.displacement;
  state.counters["edges"] = c.edges;
}
BENCHMARK(BM_MatchRsn175)->Unit(benchmark::kMillisecond)->UseRealTime();

void report(benchmark::State& state, const MatchResult& r) {
  state.counters["iterations"] = r.iterations;
  state.counters["lowest"] = r.lowestRatio;
  state.counters["highest"] = r.highestRatio;
  state.counters["passed"] = r.passed;
}

void BM_MatchSeed(benchmark::State& state) {
  const check::Target target = check::parseTarget("rg160:0.3");
  const MatchGoal goal = goalFor(target, {}, 0.005, static_cast<unsigned>(state.range(0)), false);
  const std::vector<double> s = seed();
  MatchResult r;
  for (auto _ : state) r = matchSeed(s, 0.005, goal);
  report(state, r);
  double pga = 0;
  for (double a : r.accel) pga = std::max(pga, std::fabs(a));
  state.counters["pga_over_zpa"] = pga / target.zeroPeriodValue();
}
BENCHMARK(BM_MatchSeed)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The sweep over the periods a rule judges: rg160 0.02–3 s, ec8 0.4–4 s (T1 = 2 s) and 0.2–2 s
// (T1 = 1 s), and rg160 over the whole grid from 0.1 Hz.
void BM_MatchSweep(benchmark::State& state) {
  struct Case {
    const char* target;
    double tmin, tmax;
    const char* label;
  };
  const Case cases[] = {{"rg160:0.3", 0.02, 3, "rg160 0.02-3 s"},
                        {"ec8:1:B:2.943", 0.4, 4, "ec8 0.4-4 s"},
                        {"ec8:1:B:2.943", 0.2, 2, "ec8 0.2-2 s"},
                        {"rg160:0.3", 0, 1e9, "rg160 whole grid"}};
  const Case& c = cases[state.range(0)];
  const check::Target target = check::parseTarget(c.target);
  check::RuleParameters p;
  p.rule = check::Rule::Asce7;
  p.tmin = c.tmin;
  p.tmax = c.tmax;
  MatchGoal goal = goalFor(target, p, 0.005, 2, true);
  MatchGoal judged = goal;
  judged.grid.clear();
  judged.target.clear();
  for (std::size_t j = 0; j < goal.grid.size(); ++j)
    if (goal.grid[j].period >= c.tmin * (1 - 1e-9) && goal.grid[j].period <= c.tmax * (1 + 1e-9)) {
      judged.grid.push_back(goal.grid[j]);
      judged.target.push_back(goal.target[j]);
    }
  judged.iterations = 200;
  MatchResult r;
  for (auto _ : state) r = matchSweep(20, 0.005, judged);
  report(state, r);
  state.SetLabel(c.label);
}
BENCHMARK(BM_MatchSweep)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace accelspec::matching

BENCHMARK_MAIN();
