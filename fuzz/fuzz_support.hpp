// SPDX-License-Identifier: MIT
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/error.hpp"
#include "data/store.hpp"
#include "files/file_kind.hpp"
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

/// A file holding `data`, read from its start, for the streaming reader (-1 if none can be
/// made).
inline int fileWith(const std::uint8_t* data, std::size_t size) {
  const int fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
  if (fd < 0) return -1;
  if (::write(fd, data, size) != static_cast<ssize_t>(size) || ::lseek(fd, 0, SEEK_SET) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

/// What a read ends in: the error's text, or the text written back with `format`.
template <typename Read, typename Format>
std::string outcome(TextReader& in, Read read, Format format) {
  Store& s = store();
  try {
    read(in, s);
  } catch (const AppError& e) {
    return std::string("error: ") + e.what();
  }
  try {
    return format(s);
  } catch (const AppError& e) {
    return std::string("write error: ") + e.what();
  }
}

/// Reads `data` with `read`, then writes the graph back with `format` when the read succeeded;
/// then reads the same bytes streamed from a file through a small buffer (1 … 61 bytes, chosen
/// by the input), which must end exactly as the read from memory did.
template <typename Read, typename Format>
void readAndWrite(FileKind kind, const std::uint8_t* data, std::size_t size, Read read,
                  Format format) {
  TextReader inMemory(text(data, size));
  const std::string expected = outcome(inMemory, read, format);
  const int fd = fileWith(data, size);
  if (fd < 0) return;
  {
    TextReader streamed(fd, "fuzz-input", inputLimit(kind), size % 61 + 1);
    if (outcome(streamed, read, format) != expected) __builtin_trap();
  }
  ::close(fd);
}

}  // namespace accelspec::fuzz
