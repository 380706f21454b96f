// SPDX-License-Identifier: MIT
#include "files/cp1251.hpp"

#include <iconv.h>

#include <cerrno>

namespace accelspec {

namespace {

// Converts with iconv, putting "?" for every character (or malformed sequence) it cannot take.
// Without the converter at all, ASCII passes and everything else becomes "?".
std::string convert(const char* to, const char* from, std::string_view in, std::size_t grow,
                    bool fromUtf8) {
  std::string out;
  if (in.empty()) return out;
  out.resize(in.size() * grow + 4);
  const iconv_t cd = iconv_open(to, from);
  // Skips one malformed or unconvertible character: its first byte and, in UTF-8, the
  // continuation bytes after it.
  auto skipOne = [fromUtf8](char*& p, std::size_t& left) {
    ++p, --left;
    while (fromUtf8 && left > 0 && (static_cast<unsigned char>(*p) & 0xC0) == 0x80) ++p, --left;
  };
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  while (srcLeft > 0) {
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      const unsigned char c = static_cast<unsigned char>(*src);
      *dst++ = c < 0x80 ? static_cast<char>(c) : '?';
      --dstLeft;
      skipOne(src, srcLeft);
      continue;
    }
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen: the output has room for the worst case
    *dst++ = '?';
    --dstLeft;
    skipOne(src, srcLeft);
  }
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return out;
}

}  // namespace

std::string utf8ToCp1251(std::string_view text) {
  return convert("CP1251", "UTF-8", text, 1, true);
}

std::string cp1251ToUtf8(std::string_view bytes) {
  return convert("UTF-8", "CP1251", bytes, 3, false);
}

}  // namespace accelspec
