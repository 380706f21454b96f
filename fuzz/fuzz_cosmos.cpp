// SPDX-License-Identifier: MIT
// libFuzzer target: the COSMOS record reader, its first and its second channel.
#include "fuzz/fuzz_records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  accelspec::fuzz::readRecordAs(data, size, "cosmos", 1);
  accelspec::fuzz::readRecordAs(data, size, "cosmos", 2);
  return 0;
}
