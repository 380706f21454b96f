// SPDX-License-Identifier: MIT
// libFuzzer target: the *.spo reader, then the writer over what it read, and the
// same bytes streamed.
#include "files/formats.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace accelspec;
  fuzz::readAndWrite(
      kSpo, data, size, [](TextReader& in, Store& s) { readSpo(in, s); },
      [](const Store& s) { return formatSpo(s); });
  return 0;
}
