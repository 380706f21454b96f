// SPDX-License-Identifier: MIT
// libFuzzer target: a record of any format, found from the content as the commands find it.
#include "fuzz/fuzz_records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  accelspec::fuzz::readRecordAs(data, size, nullptr);
  return 0;
}
