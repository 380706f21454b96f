// SPDX-License-Identifier: MIT
// Spectra of a 16396-sample record (NGA-West2 RSN8883, 0.005 s) on the default 301-point grid,
// dampings 0.02, 0.05 and 0.1, all five quantities, refined peaks: on one and on two threads,
// and the vectorised numpy float64 peer (bench/peer_numpy.py, run with /usr/bin/python3 and
// Debian's python3-numpy) on the same record in the same run.
//
//   cmake --build build --target bench_analysis && build/bench/bench_analysis
//
// "seconds" is wall time per spectra run. The peer reports its own computing time (its start-up,
// reading and writing left out) and "max_rel_diff", the largest relative difference of its sd,
// sv and sa from ours. Other work on the machine shows in both: measure when it is idle, or
// compare instruction counts under valgrind --tool=callgrind.

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/grid.hpp"
#include "analysis/spectra.hpp"
#include "records/record.hpp"

namespace accelspec::analysis {
namespace {

const records::Record& record() {
  static const records::Record r =
      records::readRecord(ACCELSPEC_DATA "/analysis/data/RSN8883_14383980_13849090.AT2");
  return r;
}

SpectraRequest request(unsigned threads) {
  SpectraRequest r;
  r.grid = parseGrid(kDefaultGrid);
  r.dampings = {0.02, 0.05, 0.1};
  r.quantities = {Quantity::Psa, Quantity::Sa, Quantity::Sv, Quantity::Psv, Quantity::Sd};
  r.peaks = Peaks::Refined;
  r.threads = threads;
  return r;
}

void BM_Spectra(benchmark::State& state) {
  const records::Record& rec = record();
  const SpectraRequest r = request(static_cast<unsigned>(state.range(0)));
  for (auto _ : state) {
    Spectra s = computeSpectra(rec.accel, rec.dt, r);
    benchmark::DoNotOptimize(s.values.data());
  }
  state.counters["seconds"] =
      benchmark::Counter(static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Spectra)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same spectra and its CSV table, as the spectra command makes it after reading.
void BM_SpectraTable(benchmark::State& state) {
  const records::Record& rec = record();
  const SpectraRequest r = request(2);
  for (auto _ : state) {
    std::string csv = spectraCsv(r, computeSpectra(rec.accel, rec.dt, r));
    benchmark::DoNotOptimize(csv.data());
  }
}
BENCHMARK(BM_SpectraTable)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NumpyPeer(benchmark::State& state) {
  const records::Record& rec = record();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("accelspec-peer-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream out(dir / "record.txt");
    char buf[32];
    for (double a : rec.accel) out.write(buf, std::to_chars(buf, buf + 32, a).ptr - buf) << '\n';
  }
  char dt[32];
  *std::to_chars(dt, dt + 31, rec.dt).ptr = 0;
  const std::string command = "/usr/bin/python3 '" PEER_SCRIPT "' '" +
                              (dir / "record.txt").string() + "' " + dt + " '" +
                              (dir / "peer.csv").string() + "' 2>&1";
  const Spectra ours = computeSpectra(rec.accel, rec.dt, request(2));
  double worst = 0;
  for (auto _ : state) {
    FILE* p = popen(command.c_str(), "r");
    std::string output;
    char buf[256];
    for (std::size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) output.append(buf, n);
    const int status = p ? pclose(p) : -1;
    double seconds = 0;
    if (status != 0 || std::sscanf(output.c_str(), "%lf", &seconds) != 1) {
      state.SkipWithError(("the numpy peer did not run: " + output).c_str());
      break;
    }
    state.SetIterationTime(seconds);
    // Rows: damping-major, ascending frequency; sd, sv, sa as columns 3 … 5.
    std::ifstream in(dir / "peer.csv");
    const std::size_t points = ours.points;
    std::size_t row = 0;
    for (std::string line; std::getline(in, line); ++row) {
      std::vector<double> f;
      std::stringstream fields(line);
      for (std::string x; std::getline(fields, x, ',');) f.push_back(std::stod(x));
      const std::size_t d = row / points, j = row % points;
      const double mine[] = {ours.value(d, 4, j), ours.value(d, 2, j), ours.value(d, 1, j)};
      for (int q = 0; q < 3; ++q) worst = std::max(worst, std::fabs(f[2 + q] / mine[q] - 1));
    }
  }
  state.counters["max_rel_diff"] = worst;
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_NumpyPeer)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

}  // namespace
}  // namespace accelspec::analysis

BENCHMARK_MAIN();
