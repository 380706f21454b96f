// SPDX-License-Identifier: MIT
// libFuzzer target: the *.spv reader, then the writer over what it read, and the
// same bytes streamed.
#include "files/formats.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace accelspec;
  fuzz::readAndWrite(
      kSpv, data, size, [](TextReader& in, Store& s) { readSpv(in, s); },
      [](const Store& s) { return formatSpv(s); });
  return 0;
}
