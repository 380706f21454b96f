// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <string_view>

namespace accelspec {

/// The UTF-8 text of the core (messages, names, numbers) as a QString.
inline QString qs(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace accelspec
