// libFuzzer target: the *.spo reader, then the writer over what it read.
#include "files/formats.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace accelspec;
  fuzz::readAndWrite(
      data, size, [](TextReader& in, Store& s) { readSpo(in, s); },
      [](const Store& s) { return formatSpo(s); });
  return 0;
}
