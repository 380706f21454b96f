#pragma once

// Number text and byte-stream reading of the data and configuration files: the fixed
// 23-character real form, the integer form, and a reader over a whole file held in memory.

#include <cstdint>
#include <string>
#include <string_view>

namespace accelspec {

/// Input/output error codes, as the user sees them in the error texts.
namespace iocode {
inline constexpr int kFileNotFound = 2;
inline constexpr int kInvalidFilename = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kDiskFull = 101;
inline constexpr int kInvalidNumericInput = 106;
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
/// As appendReal, without saving the environment: for bulk writers that hold an FpScope.
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
std::string readWholeFile(const std::string& path);

/// Reads numbers, labels and lines front to back from file text held in memory. A byte 26
/// (Ctrl-Z) ends the data as the physical end does. Does not own the text.
class TextReader {
 public:
  explicit TextReader(std::string_view text);

  /// True exactly when the next byte is the end of the data; skips nothing.
  bool eof() const { return pos_ == end_; }

  /// Skips bytes <= 32, then converts the run of bytes > 32 (at most 64; a longer run is cut and
  /// its rest left for the next read). 0 when the data ends while skipping. Throws IoError
  /// "Invalid numeric input" for a text that is not a real; the position is then past the run.
  long double readReal();

  /// As readReal, with runs of at most 32 bytes and the integer text form.
  std::int32_t readInteger();

  /// Consumes every byte up to and including the next CR, and an LF right after it.
  void skipLine();

  /// Consumes up to `count` bytes, stopping early before a CR.
  void skipLabel(int count = 23);

  /// The bytes up to the next CR (or the end of the data), then the line end consumed as by
  /// skipLine.
  std::string readLine();

 private:
  std::string_view nextRun(std::size_t limit);

  const char* pos_;
  const char* end_;
};

}  // namespace accelspec
