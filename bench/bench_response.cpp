// SPDX-License-Identifier: MIT
// Response spectrum: the serial reference against the engine, in nanoseconds per time step of one
// oscillator (the "step" counter; (NF + 1)·(ND − 1) steps per run).
//
//   cmake -S . -B build-engine -DCMAKE_BUILD_TYPE=Release && cmake --build build-engine
//       --target bench_response && build-engine/bench/bench_response --benchmark_repetitions=3
//
// The machine's other work shows as an engine whose calling thread has half the CPU time of the
// wall time: measure when it is idle.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "compute/constants.hpp"
#include "compute/oscillator.hpp"
#include "compute/response_engine.hpp"
#include "data/fpu.hpp"
#include "data/store.hpp"

namespace accelspec {
namespace {

// A record like a synthesised one: an exponential sweep from 0.5 to 50 Hz with an envelope.
std::unique_ptr<Store> makeRecord(int nd) {
  auto s = makeStore();
  s->ND = nd;
  s->DT = 0.004L;
  const long double duration = (nd - 1) * s->DT;
  for (int k = 1; k <= nd; ++k) {
    const long double t = (k - 1) * s->DT;
    const long double phase = kTwoPi * 0.5L * duration / std::log(100.0L) *
                              (std::exp(std::log(100.0L) * t / duration) - 1);
    s->Acc[k] = 3 * std::sin(phase) * std::sin(kTwoPi * 0.5L * t / duration);
  }
  return s;
}

// Frequencies 2, 2.5, … (57 points: the defaults) or 0.5, 0.55, … (1000 points).
void setRange(Store& s, int points) {
  s.Fbeg = points <= 57 ? 2 : 0.5L;
  s.DF = points <= 57 ? 0.5L : 0.05L;
  s.Psi = 0.1L;
  s.NF = points - 1;
}

void countSteps(benchmark::State& state, const Store& s) {
  const double steps = static_cast<double>(s.NF + 1) * (s.ND - 1);
  state.counters["step"] = benchmark::Counter(
      steps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void serial(benchmark::State& state) {
  auto s = makeRecord(static_cast<int>(state.range(1)));
  setRange(*s, static_cast<int>(state.range(0)));
  Series series;
  for (auto _ : state) {
    series.clear();
    fpu::clear();
    computeResponsePointsSerial(*s, series, 0, s->NF, nullptr);
  }
  countSteps(state, *s);
}

// threads 0: the engine the command uses (one thread per core).
void engine(benchmark::State& state) {
  auto s = makeRecord(static_cast<int>(state.range(1)));
  setRange(*s, static_cast<int>(state.range(0)));
  const auto threads = static_cast<unsigned>(state.range(2));
  std::unique_ptr<ResponseEngine> own;
  if (threads != 0) own = std::make_unique<ResponseEngine>(threads);
  ResponseEngine& e = threads != 0 ? *own : ResponseEngine::shared();
  Series series;
  for (auto _ : state) {
    series.clear();
    e.computePoints(*s, series, 0, s->NF, nullptr);
  }
  countSteps(state, *s);
  state.counters["threads"] = e.threads();
}

// One oscillator on one thread: the step loops alone.
template <long double (*peak)(const Oscillator&, const long double*, std::int32_t)>
void stepLoop(benchmark::State& state) {
  auto s = makeRecord(kMaxSamples);
  fpu::clear();
  const Oscillator o = makeOscillator(7.5L, 0.05L, s->DT);
  for (auto _ : state) benchmark::DoNotOptimize(peak(o, s->Acc.data(), s->ND));
  state.counters["step"] = benchmark::Counter(
      s->ND - 1, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// K oscillators advanced together in one pass over the samples, written as the reference loop:
// kept here to show what that costs on the x87 stack of eight registers (the state and the
// products of K > 1 oscillators do not fit, so the compiler spills 80-bit values every step).
template <int K>
void interleaved(benchmark::State& state) {
  auto s = makeRecord(kMaxSamples);
  fpu::clear();
  Oscillator o[K];
  for (int k = 0; k < K; ++k) o[k] = makeOscillator(7.5L + k, 0.05L, s->DT);
  const long double* acc = s->Acc.data();
  for (auto _ : state) {
    long double disp[K] = {}, vel[K] = {}, accMax[K] = {};
    for (std::int32_t i = 2; i <= s->ND; ++i) {
      const long double d = acc[i] - acc[i - 1];
      for (int k = 0; k < K; ++k) {
        const long double nextDisp =
            ((disp[k] * o[k].A11 + vel[k] * o[k].A12) - d * o[k].B11) - acc[i - 1] * o[k].B12;
        const long double nextVel =
            ((disp[k] * o[k].A21 + vel[k] * o[k].A22) - d * o[k].B21) - acc[i - 1] * o[k].B22;
        disp[k] = nextDisp;
        vel[k] = nextVel;
        long double accAbs =
            (((-acc[i]) - 2 * vel[k] * o[k].PsiW) - disp[k] * o[k].W * o[k].W) + acc[i];
        if (accAbs < 0) accAbs = -accAbs;
        if (accAbs > accMax[k]) accMax[k] = accAbs;
      }
    }
    benchmark::DoNotOptimize(accMax);
  }
  state.counters["step"] =
      benchmark::Counter(K * (s->ND - 1.0), benchmark::Counter::kIsIterationInvariantRate |
                                                benchmark::Counter::kInvert);
}

BENCHMARK(serial)
    ->Name("serial/defaults")
    ->Args({57, 5000})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(engine)
    ->Name("engine/defaults")
    ->Args({57, 5000, 0})
    ->Args({57, 5000, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(serial)
    ->Name("serial/large")
    ->Args({1000, 100000})
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(engine)
    ->Name("engine/large")
    ->Args({1000, 100000, 0})
    ->Args({1000, 100000, 1})
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(stepLoop<peakAbsoluteAcceleration>)
    ->Name("steps/reference")
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(stepLoop<peakAbsoluteAccelerationFast>)
    ->Name("steps/fast")
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(interleaved<2>)->Name("steps/interleaved2")->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(interleaved<4>)->Name("steps/interleaved4")->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace accelspec

BENCHMARK_MAIN();
