// SPDX-License-Identifier: MIT
#pragma once

// Number text and byte-stream reading of the data and configuration files: the fixed
// 23-character real form, the integer form, and a reader that streams a file or a text.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "files/file_kind.hpp"

namespace accelspec {

/// Input/output error codes, as the user sees them in the error texts.
namespace iocode {
inline constexpr int kFileNotFound = 2;
inline constexpr int kInvalidFilename = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kDiskFull = 101;
inline constexpr int kInvalidNumericInput = 106;
/// Not a code of the table: a symbolic link refused before a write (msg::plantedLink).
inline constexpr int kPlantedLink = 1005;
}  // namespace iocode

/// Throws the IoError of a code of the table above (any other code: "I/O error %d").
[[noreturn]] void throwIoError(int code);

/// Throws the IoError for the errno `err` of a failed operation on `path`: ENOENT is "File not
/// found" (or "Invalid filename" when the folder itself is missing), the access errors "File
/// access denied", a full disk "Disk full"; an errno without a meaning of its own gives
/// "I/O error <errno>".
[[noreturn]] void throwErrnoError(int err, const std::string& path);

/// Length of the real form.
inline constexpr int kRealFieldWidth = 23;

/// Appends the 23-character real form of `v`: sign position, d.dddddddddddddd, "E", exponent
/// sign and 4 exponent digits; "+Inf", "-Inf" or "Nan" right-aligned. Decimal point always ".".
/// Never throws; the floating-point status flags are left as they were.
void appendReal(std::string& out, long double v);
/// As appendReal, without saving the environment: for bulk writers that hold an fpu::Scope.
void appendRealRaw(std::string& out, long double v);
/// The 23-character real form of `v` (see appendReal).
std::string realField(long double v);

/// Appends the integer form: decimal digits, "-" when negative, no blanks or leading zeros.
void appendInteger(std::string& out, long long v);

/// A real number text as the file readers take it: [+-]digits[.digits][(E|e)[+-]digits]; the
/// mantissa digits may be missing altogether ("." and "E5" give 0), a sign alone is invalid,
/// only "." is a point. False for an invalid text or a value beyond the long double range.
/// Leaves the floating-point status flags as they were.
bool parseFileReal(std::string_view text, long double& out);

/// An integer text as the file readers take it: [+-] then decimal digits, or hexadecimal digits
/// after "$" or "0x"; false for anything else or a value outside the signed 32-bit range.
bool parseFileInteger(std::string_view text, std::int32_t& out);

/// Reads a whole file into memory. Throws IoError for a file that cannot be opened or read.
/// Unbounded: for files this program wrote itself, never for outside input.
std::string readWholeFile(const std::string& path);

/// Reads numbers, labels and lines front to back, from text held in memory or streamed from an
/// open file. A byte 26 (Ctrl-Z) ends the data as the physical end does: nothing after it is
/// read, so a pipe that delivers one is not waited on. A line ends at CR LF, at a CR alone, or
/// at an LF alone (files written elsewhere).
class TextReader {
 public:
  /// Over text held in memory, which it does not own.
  explicit TextReader(std::string_view text);

  /// Streams the file open on `fd` (not owned; errors name `path`) through a buffer of
  /// `bufferSize` bytes. Taking a byte of data beyond the first `limit.bytes` throws
  /// AppError(limit.message); a failed read throws IoError.
  TextReader(int fd, std::string path, InputLimit limit, std::size_t bufferSize = 1 << 16);

  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  /// True exactly when the next byte is the end of the data; skips nothing.
  bool eof() { return pos_ == end_ && !fill(); }

  /// Skips bytes <= 32, then converts the run of bytes > 32 (at most 64; a longer run is cut and
  /// its rest left for the next read). 0 when the data ends while skipping. Throws IoError
  /// "Invalid numeric input" for a text that is not a real; the position is then past the run.
  long double readReal();

  /// As readReal, with runs of at most 32 bytes and the integer text form.
  std::int32_t readInteger();

  /// Consumes every byte up to and including the next line end.
  void skipLine();

  /// Consumes up to `count` bytes, stopping early before a line end.
  void skipLabel(int count = 23);

  /// The bytes up to the next line end (or the end of the data), then the line end consumed as
  /// by skipLine.
  std::string readLine();

 private:
  // Makes the next byte available; false at the end of the data.
  bool fill();
  bool atLineEnd() const { return *pos_ == '\r' || *pos_ == '\n'; }
  std::string_view nextRun(std::size_t limit);

  const char* pos_;
  const char* end_;
  int fd_ = -1;
  bool more_ = false;  // the file may hold more data than the buffer has had
  std::string path_;
  InputLimit limit_{};
  std::uint64_t taken_ = 0;  // bytes of data before the buffer's start
  std::unique_ptr<char[]> buffer_;
  std::size_t bufferSize_ = 0;
  char run_[64];
};

/// Opens `path` and hands a TextReader streaming it to `read`; the file is closed however
/// `read` ends. Throws IoError for a file that cannot be opened or read (a folder is "File
/// access denied"), AppError(limit.message) for data beyond the limit, and whatever `read`
/// throws.
void readFile(const std::string& path, InputLimit limit,
              const std::function<void(TextReader&)>& read);

}  // namespace accelspec
