// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace accelspec {

/// "4 итерации": the number and the word in the form Russian gives it after that number —
/// `one` after 1, 21, 101 …; `few` after 2–4, 22–24 …; `many` after 0, 5–20, 25–30, 11–14 ….
QString russianCount(long long n, const char* one, const char* few, const char* many);

}  // namespace accelspec
