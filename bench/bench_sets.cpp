// SPDX-License-Identifier: MIT
// A three-component motion (H1, H2, V) from noise seeds, matched to rg160 at 0.3 g (the vertical
// to 2/3 of it) under srp at 0.005 s with a 20-s strong part, on two threads, as
// `match eq --target rg160:0.3 --components 3 --seed noise --strong 20` runs it: every
// component checked by the rule and the correlations of the three held within 0.16.
//
//   cmake --build build --target bench_sets && build/bench/bench_sets
//
// "seconds" is wall time of a whole set; the counters give the iterations and tries of its
// components, the lowest and highest ratio among them and the largest |r|.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

#include "check/target.hpp"
#include "matching/sets.hpp"

namespace accelspec::matching {
namespace {

void runSet(benchmark::State& state, Envelope envelope) {
  SetRequest r;
  r.horizontal = check::parseTarget("rg160:0.3");
  r.vertical = check::parseTarget("rg160:0.3*2/3");
  r.components = 3;
  r.noise.strong = 20;
  r.noise.dt = 0.005;
  r.noise.envelope = envelope;
  r.threads = 2;
  SetResult set;
  for (auto _ : state) set = matchSet(r);
  double iterations = 0, tries = 0, lowest = INFINITY, highest = 0, worst = 0;
  for (const SetComponent& c : set.components) {
    iterations += c.match.iterations;
    tries += c.tries;
    lowest = std::min(lowest, c.match.lowestRatio);
    highest = std::max(highest, c.match.highestRatio);
  }
  for (const auto& row : set.correlations)
    for (double x : row) worst = std::max(worst, std::fabs(x));
  state.counters["passed"] = set.passed;
  state.counters["iterations"] = iterations;
  state.counters["tries"] = tries;
  state.counters["lowest"] = lowest;
  state.counters["highest"] = highest;
  state.counters["max_abs_r"] = worst;
  state.counters["samples"] =
      set.components.empty() ? 0 : static_cast<double>(set.components[0].match.accel.size());
}

void BM_NoiseSetTrapezoid(benchmark::State& state) { runSet(state, Envelope::Trapezoid); }
void BM_NoiseSetSaragoniHart(benchmark::State& state) { runSet(state, Envelope::SaragoniHart); }

BENCHMARK(BM_NoiseSetTrapezoid)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_NoiseSetSaragoniHart)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace accelspec::matching

BENCHMARK_MAIN();
