// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace accelspec {

/// UTF-8 text (as the window holds it) to Windows-1251 bytes (as the files hold them). A
/// character without a Windows-1251 byte, and a byte that is not valid UTF-8, becomes "?".
std::string utf8ToCp1251(std::string_view text);

/// Windows-1251 bytes to UTF-8. The one byte without a character in that code page (0x98)
/// becomes "?".
std::string cp1251ToUtf8(std::string_view bytes);

}  // namespace accelspec
