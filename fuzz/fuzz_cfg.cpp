// SPDX-License-Identifier: MIT
// libFuzzer target: the configuration reader into a plain form, then the writer and the reader
// again over what it wrote; and the same bytes streamed from a file, which must read alike.
#include "data/plain_form.hpp"
#include "files/config.hpp"
#include "fuzz/fuzz_support.hpp"
#include "memory/memory.hpp"

namespace {

using namespace accelspec;

// The error's text, or the file the state read would be written as.
std::string readConfigurationFrom(TextReader& in, char separator) {
  Store& s = fuzz::store();
  PlainForm form;
  form.separator = separator;
  try {
    readConfiguration(in, s, form);
    showMemoryList(s, form);
  } catch (const AppError& e) {
    return std::string("error: ") + e.what();
  }
  try {
    return formatConfiguration(s, form);
  } catch (const AppError& e) {
    return std::string("write error: ") + e.what();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char separator = size > 0 && data[0] & 1 ? ',' : '.';
  TextReader in(fuzz::text(data, size));
  const std::string written = readConfigurationFrom(in, separator);
  if (written.rfind("error: ", 0) != 0 && written.rfind("write error: ", 0) != 0) {
    TextReader again(written);
    PlainForm other;
    try {
      readConfiguration(again, fuzz::store(), other);
    } catch (const AppError&) {
    }
  }
  const int fd = fuzz::fileWith(data, size);
  if (fd < 0) return 0;
  {
    TextReader streamed(fd, "fuzz-input", inputLimit(kCfg), size % 61 + 1);
    if (readConfigurationFrom(streamed, separator) != written) __builtin_trap();
  }
  ::close(fd);
  return 0;
}
