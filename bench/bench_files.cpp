// SPDX-License-Identifier: MIT
// Reading and writing a 100000-sample accelerogram file (about 4.9 MB), through the disk and in
// memory, to see where the time goes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/store.hpp"
#include "files/formats.hpp"
#include "files/textio.hpp"

namespace {

using namespace accelspec;

constexpr int kSamples = 100000;

std::unique_ptr<Store> fullRecord() {
  auto store = makeStore();
  store->ND = kSamples;
  store->DT = 0.004L;
  for (int k = 1; k <= kSamples; ++k)
    store->Acc[k] = 3 * std::sin(k * 0.0137L) * std::exp(-k * 0.00002L);
  return store;
}

struct Folder {
  Folder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "accelspec-bench-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~Folder() { std::filesystem::remove_all(path); }
  std::string path;
};

void BM_WriteAksFile(benchmark::State& state) {
  Folder folder;
  const auto store = fullRecord();
  const std::string file = folder.path + "/record.aks";
  for (auto _ : state) writeAks(file, *store);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(file)));
}
BENCHMARK(BM_WriteAksFile)->Unit(benchmark::kMillisecond);

void BM_ReadAksFile(benchmark::State& state) {
  Folder folder;
  const std::string file = folder.path + "/record.aks";
  writeAks(file, *fullRecord());
  auto store = makeStore();
  for (auto _ : state) {
    readAks(file, *store);
    benchmark::DoNotOptimize(store->Acc[kSamples]);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(file)));
}
BENCHMARK(BM_ReadAksFile)->Unit(benchmark::kMillisecond);

void BM_FormatAksText(benchmark::State& state) {
  const auto store = fullRecord();
  for (auto _ : state) benchmark::DoNotOptimize(formatAks(*store));
}
BENCHMARK(BM_FormatAksText)->Unit(benchmark::kMillisecond);

void BM_ParseAksText(benchmark::State& state) {
  const std::string text = formatAks(*fullRecord());
  auto store = makeStore();
  for (auto _ : state) {
    TextReader in(text);
    readAks(in, *store);
    benchmark::DoNotOptimize(store->Acc[kSamples]);
  }
}
BENCHMARK(BM_ParseAksText)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
