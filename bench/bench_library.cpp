// SPDX-License-Identifier: MIT
// Indexing into the record library: 1000 synthetic PEER NGA files of 16000 samples at 0.005 s
// (as the NGA-West2 records of the tests), on two threads, into a new library. Singles: files
// named without a record number, so that no pair forms; pairs: 500 RSN numbers of two files
// each, with RotD50 and RotD100 computed for every pair.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "library/library.hpp"

namespace {

using namespace accelspec;
namespace fs = std::filesystem;

constexpr int kFiles = 1000;
constexpr int kSamples = 16000;

struct Folder {
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "accelspec-bench-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~Folder() { fs::remove_all(path); }
  std::string path;
};

// A decaying mix of three frequencies, different for each file; values in g, five a line.
void writeRecords(const std::string& folder, bool pairs) {
  fs::create_directories(folder);
  for (int i = 0; i < kFiles; ++i) {
    // Singles: each file its own event and station, so that the header rule pairs none either.
    const int rsn = pairs ? 1 + i / 2 : 1 + i;
    const std::string name = pairs ? "RSN" + std::to_string(rsn) + "_bench_" +
                                         (i % 2 ? std::string("090") : std::string("360"))
                                   : "bench_" + std::to_string(i);
    std::string text = "PEER NGA STRONG MOTION DATABASE RECORD\nbench " + std::to_string(rsn) +
                       ", 1/1/2000, station " + std::to_string(rsn) + ", " +
                       (i % 2 ? "90" : "360") + "\nACCELERATION TIME SERIES IN UNITS OF G\n" +
                       "NPTS=  " + std::to_string(kSamples) + ", DT=   .0050 SEC\n";
    char buf[32];
    for (int k = 0; k < kSamples; ++k) {
      const double t = k * 0.005;
      const double a = 0.2 * std::exp(-0.1 * t) *
                       (std::sin(2.1 * t * (1 + i % 5)) + 0.5 * std::sin(13.0 * t + i) +
                        0.2 * std::sin(41.0 * t * (1 + i % 3)));
      std::snprintf(buf, sizeof buf, "%15.7E", a);
      text += buf;
      if (k % 5 == 4) text += '\n';
    }
    std::ofstream(folder + "/" + name + ".AT2") << text;
  }
}

void index(benchmark::State& state, bool pairs) {
  Folder folder;
  writeRecords(folder.path + "/records", pairs);
  int run = 0;
  for (auto _ : state) {
    const std::string db = folder.path + "/lib" + std::to_string(run++) + ".sqlite";
    library::Library lib = library::Library::open(db, true);
    library::AddOptions options;
    options.jobs = 2;
    const library::AddSummary s = lib.add({folder.path + "/records"}, options);
    if (s.indexed != static_cast<std::size_t>(kFiles) || !s.skipped.empty())
      state.SkipWithError("not every file was indexed");
    state.counters["pairs"] = static_cast<double>(s.pairs);
  }
  state.counters["files_per_s"] =
      benchmark::Counter(kFiles, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_IndexSingles(benchmark::State& state) { index(state, false); }
void BM_IndexPairs(benchmark::State& state) { index(state, true); }

BENCHMARK(BM_IndexSingles)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_IndexPairs)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
