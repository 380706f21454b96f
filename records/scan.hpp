// SPDX-License-Identifier: MIT
#pragma once

// What every record reader shares: lines with their numbers, strict number texts, units, and
// the messages that name the file and the line.

#include <cstdint>
#include <memory>
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

/// The cause an errno value stands for, in Russian words ("на диске нет места").
std::string errnoWords(int code);

/// A piece of file text for a message: in «», at most 32 characters, control bytes and broken
/// UTF-8 shown as "?", so that no message carries a terminal escape or invalid text.
std::string shown(std::string_view text);

/// The shortest text that reads back as `v`, with a point.
std::string numberText(double v);

/// The most bytes one line of a record file may hold: real lines hold a few hundred at most, so
/// that a file without line ends (a device such as /dev/zero) is refused at once.
inline constexpr std::size_t kMaxLineBytes = 1 << 20;

/// The text a LineCursor reads: held in memory, or streamed from an open file into chunks that
/// each hold whole lines, so that the lines already handed out stay in place while more is read.
/// A byte 26 (Ctrl-Z) ends the data as the physical end does: nothing after it is read, so a
/// pipe that sends one is not waited on. Beyond `limit.bytes` bytes a streamed file is refused
/// with AppError("<path>: " + limit.message).
class LineSource {
 public:
  /// Text in memory, which it does not own; `path` names it in messages.
  explicit LineSource(std::string_view text, std::string path = {});
  /// The file open on `fd`, which it takes over and closes; `path` names it in messages.
  /// `openEnded` says that reading past the data could wait on a writer (a pipe, a FIFO, a
  /// terminal, a device): readers then stop at the end of the data their header announces.
  LineSource(int fd, std::string path, std::uint64_t limit, std::string limitMessage,
             bool openEnded);
  ~LineSource();
  LineSource(const LineSource&) = delete;
  LineSource& operator=(const LineSource&) = delete;

  /// Sets the limit once the kind of the file is known; data already read counts towards it.
  void setLimit(std::uint64_t bytes, std::string message);
  bool openEnded() const { return openEnded_; }
  const std::string& path() const { return path_; }

 private:
  friend class LineCursor;
  struct Chunk {
    std::unique_ptr<char[]> owned;
    const char* data = nullptr;
    std::size_t size = 0, capacity = 0;
  };
  // Reads more after the unfinished line that starts at `offset` of chunk `chunk` (the last),
  // moving it to a new chunk when the last is full; false when the data has ended.
  bool pull(std::size_t& chunk, std::size_t& offset);

  std::vector<Chunk> chunks_;
  int fd_ = -1;
  bool ended_ = true;
  bool openEnded_ = false;
  std::string path_;
  std::uint64_t limit_ = 0;
  std::string limitMessage_;
  std::uint64_t taken_ = 0;
};

/// Opens `path` for streaming with the given limit. Throws IoError for a file that cannot be
/// opened (a folder is "File access denied").
std::shared_ptr<LineSource> openLines(const std::string& path, std::uint64_t limit,
                                      std::string limitMessage);

/// Lines of a LineSource, numbered from 1. A line ends at LF, CR LF or a lone CR; a UTF-8 byte
/// order mark before line 1 is dropped. A copy is a bookmark: it reads the same lines again.
class LineCursor {
 public:
  /// Over text in memory, which it does not own; `path` names it in messages.
  explicit LineCursor(std::string_view text, std::string path = {});
  explicit LineCursor(std::shared_ptr<LineSource> source);
  /// The next line without its end; false at the end of the data. Throws AppError for a line
  /// longer than kMaxLineBytes, for data beyond the source's limit, and IoError for a failed read.
  bool next(std::string_view& line);
  /// The next line, left to be read again; false at the end.
  bool peek(std::string_view& line) const;
  /// Number of the line `next` returned last (0 before the first).
  long number() const { return number_; }
  /// True when reading beyond the announced data could wait on a writer (see LineSource).
  bool openEnded() const { return source_->openEnded(); }

 private:
  struct Position {
    std::size_t chunk = 0, offset = 0;
    bool afterCr = false;  // the last line ended at a CR: an LF next belongs to it
  };
  bool scan(Position& at, std::string_view& line) const;

  std::shared_ptr<LineSource> source_;
  Position at_;
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
