// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string_view>

#include "data/messages.hpp"

namespace accelspec {

/// The kinds of file the Open command reads, numbered as the entries of the open dialog's
/// filter (and so as the index the dialog reports).
enum FileKind : std::int32_t {
  kSpv = 1,  ///< action spectrum
  kAks = 2,  ///< accelerogram
  kSpo = 3,  ///< response spectrum
  kCfg = 4,  ///< configuration
  kBrl = 5,  ///< imported record
};

/// The most bytes of data a reader takes from a file before it refuses it as too large.
struct InputLimit {
  std::uint64_t bytes;
  std::string_view message;  ///< the error's text
};

/// The limit of a kind: well above the largest file of that kind the store can hold (lines of
/// two or three numbers of up to 64 bytes each, with room for blanks), so that no file the
/// readers could take whole is refused, while a file of endless blanks or zeros is stopped.
constexpr InputLimit inputLimit(FileKind kind) {
  constexpr std::uint64_t kMiB = 1024 * 1024;
  switch (kind) {
    case kSpv:
      return {1 * kMiB, msg::kSpvFileTooLarge};
    case kAks:
      return {32 * kMiB, msg::kAksFileTooLarge};
    case kSpo:
      return {32 * kMiB, msg::kSpoFileTooLarge};
    case kCfg:
      return {16 * kMiB, msg::kCfgFileTooLarge};
    case kBrl:
      return {32 * kMiB, msg::kBrlFileTooLarge};
  }
  return {0, {}};
}

}  // namespace accelspec
