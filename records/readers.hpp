// SPDX-License-Identifier: MIT
#pragma once

// The readers of each record format, from file text in memory. Each returns the values in the
// file's own unit and the step the file gives; readRecordText converts, checks and finishes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/scan.hpp"

namespace accelspec::records {

/// A record as one format gives it, before units and the step options are applied.
struct ParsedRecord {
  std::vector<double> values;  ///< in `unit`
  Unit unit;                   ///< the file's own unit
  std::optional<double> dt;    ///< the file's step, s; empty for a file of one column
  long stepLine = 0;           ///< the line the step comes from, for messages
};

/// Each reader reads the lines of `lines` and throws AppError naming `path` and the line.
/// `channel` (1-based) counts COSMOS channels in file order. When the lines come from a pipe
/// (LineCursor::openEnded), a reader whose header announces the length of the data stops there.
ParsedRecord parseAt2(LineCursor lines, const std::string& path);
ParsedRecord parseKnet(LineCursor lines, const std::string& path);
ParsedRecord parseCosmos(LineCursor lines, const std::string& path, int channel);
ParsedRecord parseColumns(LineCursor lines, const std::string& path);
ParsedRecord parseEqsig(LineCursor lines, const std::string& path);
ParsedRecord parseAks(LineCursor lines, const std::string& path);
ParsedRecord parseBrl(LineCursor lines, const std::string& path);

/// The format the first lines of `lines` show: "at2", "knet", "cosmos", "eqsig", "aks", "brl",
/// else "columns". The extension of `path` only tells an *.aks file whose times are not in the
/// program's own number form from two columns.
std::string detectFormat(LineCursor lines, const std::string& path);

/// Checks that the times t[0 … n−1] of lines lines[…] are uniform: the step (t_last −
/// t_first)/(n − 1) is positive and every step lies within 1e-6 of it (relative). Returns it.
double uniformStep(const std::vector<double>& times, const std::vector<long>& lines,
                   const std::string& path);

}  // namespace accelspec::records
