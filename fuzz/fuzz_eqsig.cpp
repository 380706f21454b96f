// SPDX-License-Identifier: MIT
// libFuzzer target: the reader of eqsig motion files.
#include "fuzz/fuzz_records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  accelspec::fuzz::readRecordAs(data, size, "eqsig");
  return 0;
}
