// SPDX-License-Identifier: MIT
#pragma once

// The readers of each record format, from file text in memory. Each returns the values in the
// file's own unit and the step the file gives; readRecordText converts, checks and finishes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/record.hpp"
#include "records/scan.hpp"

namespace accelspec::records {

/// A record as one format gives it, before units and the step options are applied.
struct ParsedRecord {
  std::vector<double> values;  ///< in `unit`
  Unit unit;                   ///< the file's own unit
  std::optional<double> dt;    ///< the file's step, s; empty for a file of one column
  long stepLine = 0;           ///< the line the step comes from, for messages
  Metadata metadata;           ///< what the header says about the recording
};

/// A header's text for Metadata: trimmed, control bytes and broken UTF-8 as "?", at most 200
/// bytes (cut at a character's start).
std::string headerText(std::string_view text);

/// "M/D/YYYY", "MM/DD/YY" (19YY from 30 on, else 20YY) or "YYYY/MM/DD" as "YYYY-MM-DD"; empty
/// for anything else.
std::string isoDate(std::string_view text);

/// The metadata of each format's header: the PEER NGA line 2 ("EVENT, DATE, STATION, COMP" or
/// the older "EVENT DATE TIME, STATION, COMP"); the 17 K-NET header lines, with the file's
/// extension telling KiK-net's borehole (…1) and surface (…2) sensors; a COSMOS channel's text
/// lines and real header. Never throw: what cannot be read stays unset.
Metadata at2Metadata(std::string_view line2);
Metadata knetMetadata(const std::string_view (&header)[17]);
Metadata cosmosMetadata(const std::vector<std::string>& text, const std::vector<double>& real);

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
