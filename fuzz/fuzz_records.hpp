// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/error.hpp"
#include "records/record.hpp"

namespace accelspec::fuzz {

/// Reads `data` as a record of `format` (detected when null); a refusal is an AppError, and
/// anything else escaping, a crash or a sanitizer report is a fault.
inline void readRecordAs(const std::uint8_t* data, std::size_t size, const char* format,
                         int channel = 1) {
  records::Reading reading;
  if (format) reading.format = format;
  reading.channel = channel;
  reading.step = 0.01;
  try {
    (void)records::readRecordText(std::string_view(reinterpret_cast<const char*>(data), size),
                                  "fuzz", reading);
  } catch (const AppError&) {
  }
}

}  // namespace accelspec::fuzz
