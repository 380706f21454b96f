// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "records/scan.hpp"

namespace accelspec::analysis {

/// `v` rounded to `digits` significant digits in the shortest "%g"-like form, always with a
/// point and never a locale's separator: 0.05 -> "0.05", 1.5e-05 -> "1.5e-05", NaN -> "nan".
std::string formatNumber(double v, int digits = 10);

/// The shortest text that reads back as `v` ("0.05" for 0.05), locale-free.
std::string shortestText(double v);

/// A finite decimal number as the analysis options and files take it: the records' reader's.
using records::parseNumber;

}  // namespace accelspec::analysis
