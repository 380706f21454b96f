// SPDX-License-Identifier: MIT
// libFuzzer target: the at2 record reader.
#include "fuzz/fuzz_records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  accelspec::fuzz::readRecordAs(data, size, "at2");
  return 0;
}
