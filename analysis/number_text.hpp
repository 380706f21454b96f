#pragma once

#include <string>
#include <string_view>

namespace accelspec::analysis {

/// `v` rounded to `digits` significant digits in the shortest "%g"-like form, always with a
/// point and never a locale's separator: 0.05 -> "0.05", 1.5e-05 -> "1.5e-05", NaN -> "nan".
std::string formatNumber(double v, int digits = 10);

/// The shortest text that reads back as `v` ("0.05" for 0.05), locale-free.
std::string shortestText(double v);

/// A finite decimal number as the analysis options take it: the whole of `text`, point as
/// separator, optional sign and exponent. False for anything else (blanks, "inf", "1,5").
bool parseNumber(std::string_view text, double& out);

}  // namespace accelspec::analysis
