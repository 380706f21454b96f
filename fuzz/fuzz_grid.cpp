// SPDX-License-Identifier: MIT
// libFuzzer target: the spectra grid texts, and the frequency files of file:PATH.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "analysis/grid.hpp"
#include "data/error.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace accelspec;
  if (size == 0) return 0;
  // The first byte chooses: a grid text, or the rest as a frequency file.
  const std::string rest(fuzz::text(data + 1, size - 1));
  try {
    if (data[0] & 1) {
      static const std::string path = "/tmp/accelspec-fuzz-grid-" + std::to_string(::getpid());
      if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(rest.data(), 1, rest.size(), f);
        std::fclose(f);
      }
      (void)analysis::parseGrid("file:" + path);
    } else {
      (void)analysis::parseGrid(rest);
    }
  } catch (const AppError&) {
  }
  return 0;
}
