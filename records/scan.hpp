#pragma once

// What every record reader shares: lines with their numbers, strict number texts, units, and
// the messages that name the file and the line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/error.hpp"

namespace accelspec::records {

/// Throws AppError "<path>, строка <line>: <what>".
[[noreturn]] void failAt(const std::string& path, long line, std::string_view what);
/// Throws AppError "<path>: <what>".
[[noreturn]] void failFile(const std::string& path, std::string_view what);

/// The text of an input/output error in the language of the record messages ("файл не найден").
std::string ioMessage(const IoError& e);

/// A piece of file text for a message: in «», at most 32 characters, control bytes and broken
/// UTF-8 shown as "?", so that no message carries a terminal escape or invalid text.
std::string shown(std::string_view text);

/// The shortest text that reads back as `v`, with a point.
std::string numberText(double v);

/// Lines of a file held in memory, numbered from 1. A line ends at LF, CR LF or a lone CR; a
/// UTF-8 byte order mark before line 1 and a Ctrl-Z at the very end are dropped.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text);
  /// The next line without its end; false at the end of the text.
  bool next(std::string_view& line);
  /// The next line, left to be read again; false at the end.
  bool peek(std::string_view& line) const;
  /// Number of the line `next` returned last (0 before the first).
  long number() const { return number_; }

 private:
  std::string_view rest_;
  long number_ = 0;
};

/// Blank-separated pieces of a line (blanks and tabs).
std::vector<std::string_view> splitBlanks(std::string_view line);

/// Strips blanks, tabs and a CR at both ends.
std::string_view trim(std::string_view text);

/// True when `text` starts with `prefix`, letters compared without case (ASCII).
bool startsWithNoCase(std::string_view text, std::string_view prefix);
/// Position of `needle` in `text`, letters compared without case; npos when absent.
std::size_t findNoCase(std::string_view text, std::string_view needle);

/// A decimal number: [+-] digits [. digits] [(E|e|D|d) [+-] digits], at least one digit before
/// the exponent, or ". digits". False for anything else (no "inf", "nan", hexadecimal, blanks)
/// and for a value beyond the double range.
bool parseNumber(std::string_view text, double& out);
/// A decimal integer: [+-] digits, within the 64-bit range.
bool parseInteger(std::string_view text, long long& out);

/// A unit of acceleration and its factor to m/s².
struct Unit {
  std::string name;  ///< canonical: g, gal, cm/s2, m/s2, mm/s2, in/s2, mg
  long double factor = 1;
};

/// The unit a text names: g, gal, cm/s2, m/s2, mm/s2, in/s2, mg, in the spellings records use
/// (cm/sec/sec, CM/S^2, cm/s**2, m/sec2 …), letters in any case; empty when unknown.
std::optional<Unit> findUnit(std::string_view text);
/// The text that lists the units `--units` takes.
inline constexpr std::string_view kUnitChoices = "g, gal, cm/s2, m/s2 или mm/s2";

}  // namespace accelspec::records
