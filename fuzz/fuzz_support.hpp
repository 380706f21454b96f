#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/error.hpp"
#include "data/store.hpp"
#include "files/textio.hpp"

namespace accelspec::fuzz {

/// One working data set for the whole run (13 MB: too large to make per input). Its counts are
/// reset for every input; array contents left by earlier inputs change no bounds.
inline Store& store() {
  static const auto s = makeStore();
  s->ND = s->N = s->NF = s->NMem = 0;
  s->Mode = kModeNone;
  s->Fbeg = s->Fend = s->DF = s->Psi = s->T = s->DT = s->Tbeg = s->Tend = 0;
  return *s;
}

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

/// Reads `data` with `read`, then writes the graph back with `format` when the read succeeded.
template <typename Read, typename Format>
void readAndWrite(const std::uint8_t* data, std::size_t size, Read read, Format format) {
  Store& s = store();
  TextReader in(text(data, size));
  try {
    read(in, s);
  } catch (const AppError&) {
    return;
  }
  try {
    (void)format(s);
  } catch (const AppError&) {
  }
}

}  // namespace accelspec::fuzz
