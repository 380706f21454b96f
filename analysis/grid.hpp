// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace accelspec::analysis {

/// One oscillator frequency of a spectrum, with its period as the grid defines it (a grid given
/// by periods keeps its periods exactly, a grid given by frequencies its frequencies).
struct GridPoint {
  double frequency;  ///< Hz, > 0
  double period;     ///< s
};

/// The most points a grid may have.
inline constexpr std::size_t kMaxGridPoints = 100000;

/// The grid `text` names, in ascending frequency: log:FMIN:FMAX:N (FMIN·10^(k/N) up to
/// FMAX·(1+1e-9)), periods:TMIN:TMAX:N (the same by period), lin:FBEG:FEND:DF (FBEG + j·DF for
/// j = 0 … floor((FEND−FBEG)/DF + 1e-9)), srp (75 frequencies), nga (111 periods) or file:PATH
/// (one frequency in Hz a line; blank lines and '#' comments allowed). Throws AppError naming
/// the grid (and the file's line) for anything else, for a bound or step that is not positive,
/// a reversed range, more than kMaxGridPoints points or a repeated frequency.
std::vector<GridPoint> parseGrid(const std::string& text);

/// The grid of the default spectra run, log:0.1:100:100 (301 frequencies).
inline constexpr const char* kDefaultGrid = "log:0.1:100:100";

}  // namespace accelspec::analysis
