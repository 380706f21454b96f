// SPDX-License-Identifier: MIT
// libFuzzer target: the *.brl reader, then the accelerogram writer over what it read, and the
// same bytes streamed.
#include "files/formats.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace accelspec;
  fuzz::readAndWrite(
      kBrl, data, size, [](TextReader& in, Store& s) { readBrl(in, s); },
      [](const Store& s) {
        // Formatting 100000 samples costs more than the rest of an input; long records only
        // repeat what short ones exercise.
        return s.ND <= 5000 ? formatAks(s) : std::string();
      });
  return 0;
}
