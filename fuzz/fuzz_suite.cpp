// SPDX-License-Identifier: MIT
// libFuzzer target: the suite file reader, then the writer over what it read, which must read
// back to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data/error.hpp"
#include "suites/selection.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace accelspec;
  const std::string text(reinterpret_cast<const char*>(data), size);
  suites::Selection read;
  try {
    read = suites::parseSuiteFile(text, "fuzz.csv");
  } catch (const AppError&) {
    return 0;
  }
  const std::string written = suites::suiteFileText(read);
  const std::string again = suites::suiteFileText(suites::parseSuiteFile(written, "fuzz.csv"));
  if (again != written) std::abort();
  return 0;
}
