// libFuzzer target: the configuration reader into a plain form, then the writer and the reader
// again over what it wrote.
#include "data/plain_form.hpp"
#include "files/config.hpp"
#include "fuzz/fuzz_support.hpp"
#include "memory/memory.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace accelspec;
  Store& s = fuzz::store();
  PlainForm form;
  form.separator = size > 0 && data[0] & 1 ? ',' : '.';
  try {
    TextReader in(fuzz::text(data, size));
    readConfiguration(in, s, form);
    showMemoryList(s, form);
  } catch (const AppError&) {
  }
  try {
    const std::string written = formatConfiguration(s, form);
    TextReader again(written);
    PlainForm other;
    readConfiguration(again, s, other);
  } catch (const AppError&) {
  }
  return 0;
}
