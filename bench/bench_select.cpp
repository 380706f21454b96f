// SPDX-License-Identifier: MIT
// select over 10000 motions of a library: the fit of every candidate on the judged points, the
// scale limits, the ranking, the per-event limit and the rule on the suite. The motions are made
// here with spectra of a realistic spread (each a smooth random shape about an ec8 spectrum), so
// the figure is select's own; loading them from a library file adds the library's reading.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "check/target.hpp"
#include "library/library.hpp"
#include "suites/selection.hpp"

namespace {

using namespace accelspec;

constexpr std::size_t kMotions = 10000;

std::vector<library::Motion> motions(bool pairs) {
  const check::Target shape = check::parseTarget("ec8:1:C:1");
  std::mt19937_64 random(20261209);
  std::normal_distribution<double> normal(0, 1);
  std::vector<library::Motion> out(kMotions);
  for (std::size_t i = 0; i < kMotions; ++i) {
    library::Motion& m = out[i];
    m.id = static_cast<std::int64_t>(i + 1);
    m.name = "RSN" + std::to_string(i + 1);
    m.event = "event" + std::to_string(i / 7);
    const double level = std::exp(normal(random) * 0.8);
    const double tilt = normal(random) * 0.3, wave = normal(random) * 0.2;
    std::vector<double> s(library::kSpectrumPoints);
    for (std::size_t k = 0; k < s.size(); ++k) {
      const double f = 0.1 * std::pow(10.0, static_cast<double>(k) / 100.0);
      const double x = std::log10(f);
      s[k] = level * shape.valueAt(f) * std::exp(tilt * x + wave * std::sin(3 * x + i));
    }
    for (int c = 0; c < (pairs ? 2 : 1); ++c) {
      library::Component comp;
      comp.path = "/library/" + m.event + "/" + m.name + "_" + std::to_string(c + 1) + ".AT2";
      comp.format = "at2";
      comp.dt = i % 3 == 0 ? 0.01 : 0.005;
      comp.samples = 16000;
      comp.measures.pga = s.back() * (c ? 0.9 : 1.0);
      comp.psa = s;
      m.components.push_back(std::move(comp));
    }
    if (pairs) {
      m.rotd50 = s;
      m.rotd100 = s;
      for (double& v : m.rotd100) v *= 1.2;
    }
  }
  return out;
}

void BM_SelectComponents(benchmark::State& state) {
  const auto all = motions(false);
  const check::Target target = check::parseTarget("ec8:1:B:2.943");
  suites::SelectionParameters p;
  p.rule.rule = check::Rule::Ec8;
  p.rule.t1 = 0.8;
  p.count = 7;
  p.maxPerEvent = 2;
  for (auto _ : state) benchmark::DoNotOptimize(suites::select(target, p, all));
  state.counters["motions"] = static_cast<double>(all.size());
}
BENCHMARK(BM_SelectComponents)->Unit(benchmark::kMillisecond);

void BM_SelectPairsAsce7(benchmark::State& state) {
  const auto all = motions(true);
  const check::Target target = check::parseTarget("ec8:1:B:2.943");
  suites::SelectionParameters p;
  p.rule.rule = check::Rule::Asce7;
  p.rule.tmin = 0.1;
  p.rule.tmax = 4;
  p.count = 11;
  p.pairs = true;
  p.maxPerEvent = 3;
  for (auto _ : state) benchmark::DoNotOptimize(suites::select(target, p, all));
  state.counters["motions"] = static_cast<double>(all.size());
}
BENCHMARK(BM_SelectPairsAsce7)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
