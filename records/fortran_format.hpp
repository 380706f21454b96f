// SPDX-License-Identifier: MIT
#pragma once

// Fortran edit descriptors as the strong-motion volume files give them ("(8F10.5)", "(10I8)",
// "(1P5E15.6)", "(2X,8(F9.4))"), and the reading of values in their fixed fields, which may
// touch ("-94.84213-120.18770").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/scan.hpp"

namespace accelspec::records {

/// One field of a line: a value (I, F, E, D, G) or columns skipped (X), or the end of a line (/).
struct FortranField {
  char kind = 'F';   ///< 'I', 'F' (also E, D, G, ES, EN: read alike), 'X', '/'
  int width = 0;     ///< columns
  int decimals = 0;  ///< digits after an implied point (F, E, D, G without a point)
  int scale = 0;     ///< the kP factor in force: a value without exponent is divided by 10^k
};

/// A format's fields in order; after the last, reading goes on at `reversion` on a new line.
struct FortranFormat {
  std::vector<FortranField> fields;
  std::size_t reversion = 0;
  /// Values one pass over `fields` reads.
  std::size_t valuesPerPass = 0;
};

/// Parses a format such as "(8F10.5)"; the enclosing parentheses are required, blanks are
/// ignored, letters in any case. Empty for anything else, for a format that reads no value, for
/// one whose last group (where reading resumes on each new line) reads no value, for an empty
/// group "()", a repeat count of 0, unbalanced parentheses, nesting deeper than 8 levels and a
/// format that expands to more than 4096 fields. `why`, when given, receives the reason in the
/// words of the record messages.
std::optional<FortranFormat> parseFortranFormat(std::string_view text, std::string* why = nullptr);

/// The value of one field's text as Fortran input reads it: blanks ignored, a field without a
/// point takes `decimals` implied digits, the exponent letter may be missing ("1.5-03"). False
/// for a blank field or any other text.
bool readFortranValue(std::string_view field, const FortranField& format, double& out);

/// Reads values field by field from the lines of a cursor, a new line when the format says so.
class FixedFieldReader {
 public:
  /// `what` names the block in messages ("данные", "целочисленный заголовок" …).
  FixedFieldReader(LineCursor& lines, const FortranFormat& format, const std::string& path,
                   std::string what, long long count);
  /// The next value. Throws AppError naming the line and columns when the field is blank, is
  /// not a number, or lies past the end of the line, or when the file ends.
  double next();
  /// Lines this reader has taken so far.
  long linesUsed() const { return linesUsed_; }
  /// Throws when the rest of the current line holds anything but blanks: more values than the
  /// count said.
  void expectLineEnd();

 private:
  void newLine();

  LineCursor& lines_;
  const FortranFormat& format_;
  const std::string& path_;
  std::string what_;
  std::string_view line_;
  bool haveLine_ = false;
  std::size_t field_ = 0;
  std::size_t column_ = 0;
  long linesUsed_ = 0;
  long long count_ = 0;
  long long read_ = 0;
};

}  // namespace accelspec::records
