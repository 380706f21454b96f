// SPDX-License-Identifier: MIT
// COSMOS strong-motion volume files (V1, V2): per channel a text header whose first line gives
// its length, an integer and a real header each introduced by a line with its count and
// Fortran format, comment lines, then data blocks (acceleration; velocity and displacement in
// V2) each introduced by a line with its count, units code and format, and an end line.

#include <cmath>

#include "data/numbers.hpp"
#include "records/fortran_format.hpp"
#include "records/readers.hpp"

namespace accelspec::records {

namespace {

// The real header's sampling interval, ms (value 62, counted from 1).
constexpr std::size_t kSamplingIntervalValue = 62;
// The text header lines that describe the recording (cosmosMetadata reads lines 1–9).
constexpr long long kMetadataTextLines = 9;

// The first integer of a line (its count).
bool leadingInteger(std::string_view line, long long& out) {
  const auto pieces = splitBlanks(line);
  return !pieces.empty() && parseInteger(pieces[0], out);
}

// The integer that follows `key` (after blanks), or false.
bool integerAfter(std::string_view line, std::string_view key, long long& out) {
  const std::size_t at = findNoCase(line, key);
  if (at == std::string_view::npos) return false;
  std::string_view rest = trim(line.substr(at + key.size()));
  std::size_t end = 0;
  while (end < rest.size() && isDigit(rest[end])) ++end;
  return parseInteger(rest.substr(0, end), out);
}

// The format after "Format=" (blanks allowed around "="), up to its closing parenthesis; empty
// when the line has none. A format that is there but cannot be read is refused with its reason.
std::optional<FortranFormat> formatAfterKey(std::string_view line, const std::string& path,
                                            long lineNo) {
  const std::size_t at = findNoCase(line, "format");
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = trim(line.substr(at + 6));
  if (rest.empty() || rest[0] != '=') return std::nullopt;
  rest = trim(rest.substr(1));
  const std::size_t close = rest.rfind(')');
  if (close == std::string_view::npos) return std::nullopt;
  std::string why;
  auto format = parseFortranFormat(rest.substr(0, close + 1), &why);
  if (!format && rest[0] == '(')
    failAt(path, lineNo, "формат " + shown(rest.substr(0, close + 1)) + " не читается: " + why);
  return format;
}

// True for a line that holds only numbers: data beyond a block's count.
bool looksNumeric(std::string_view line) {
  bool digit = false;
  for (char c : line) {
    if (isDigit(c)) {
      digit = true;
    } else if (c != ' ' && c != '\t' && c != '.' && c != '+' && c != '-' && c != 'E' && c != 'e' &&
               c != 'D' && c != 'd') {
      return false;
    }
  }
  return digit;
}

// "End-of-data for Chan  1 acceleration", or "/&  ----------  End of data for channel  1  ---"
// as some writers put it (the Fortran end-of-namelist mark, then dashes).
bool isEndLine(std::string_view line) {
  std::string_view t = trim(line);
  if (t.substr(0, 2) == "/&") {
    t.remove_prefix(2);
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.front() == '-'))
      t.remove_prefix(1);
  }
  return startsWithNoCase(t, "End-of-data") || startsWithNoCase(t, "End of data");
}

struct Block {
  long long count = 0;
  long headerLine = 0;
  FortranFormat format;
};

// "<n> Integer-header values follow on <k> lines, Format= (10I8)" and the like.
Block headerBlock(LineCursor& lines, const std::string& path, std::string_view name,
                  std::string_view expected) {
  std::string_view line;
  if (!lines.next(line))
    failAt(path, lines.number() + 1, "файл кончается до строки «" + std::string(expected) + "»");
  Block b;
  b.headerLine = lines.number();
  long long lineCount = 0;
  const auto format = formatAfterKey(line, path, b.headerLine);
  if (!leadingInteger(line, b.count) || b.count < 0 ||
      findNoCase(line, name) == std::string_view::npos ||
      !integerAfter(line, "follow on", lineCount) || !format)
    failAt(path, b.headerLine, "ожидается «" + std::string(expected) + "», найдено " + shown(line));
  b.format = *format;
  (void)lineCount;
  return b;
}

std::vector<double> readBlock(LineCursor& lines, const Block& b, const std::string& path,
                              const std::string& what) {
  std::vector<double> values;
  // A count in a damaged header must not allocate gigabytes before the values are there.
  values.reserve(std::min<std::size_t>(static_cast<std::size_t>(b.count), 1 << 20));
  FixedFieldReader reader(lines, b.format, path, what, b.count);
  for (long long i = 0; i < b.count; ++i) values.push_back(reader.next());
  reader.expectLineEnd();
  std::string_view after;
  if (!lines.openEnded() && lines.peek(after) && looksNumeric(after))
    failAt(path, lines.number() + 1,
           "блок «" + what + "» в строке " + std::to_string(b.headerLine) +
               " объявляет значений: " + std::to_string(b.count) + ", а за ними есть ещё числа");
  return values;
}

struct UnitCode {
  int code;
  const char* unit;
};
constexpr UnitCode kAccelerationUnits[] = {
    {2, "g"}, {4, "cm/s2"}, {7, "in/s2"}, {10, "gal"}, {11, "mg"}};

// The channel's text header: blank lines before it skipped, its first line checked for the
// volume and the count of text lines, those lines passed (kept in `text` when it is given, up to
// the lines metadata reads). Returns the first line's number.
long textHeader(LineCursor& lines, const std::string& path, int ch, int channel,
                std::vector<std::string>* text) {
  std::string_view line;
  // Blank lines may separate channels.
  do {
    if (!lines.next(line)) {
      if (ch == 1) failAt(path, 1, "файл пуст: ожидается текстовый заголовок COSMOS");
      failFile(path, "в файле каналов: " + std::to_string(ch - 1) + ", канала " +
                         std::to_string(channel) + " нет");
    }
  } while (trim(line).empty());
  const long first = lines.number();
  // Volume 0 holds the recorder's raw counts, without the sensitivity that makes them an
  // acceleration: only volumes 1 and 2 are records.
  if (startsWithNoCase(trim(line), "Raw acceleration counts"))
    failAt(path, first,
           "файл COSMOS тома V0 (сырые отсчёты регистратора, «Raw acceleration counts»): "
           "ускорения в нём не приведены к единицам; нужен том V1 или V2");
  long long textLines = 0;
  if (findNoCase(line, "(Format v") == std::string_view::npos ||
      !integerAfter(line, " with", textLines) || textLines < 1 || textLines > 10000)
    failAt(path, first,
           "ожидается первая строка заголовка COSMOS «… (Format v01.20 with 13 text lines) …», "
           "найдено " +
               shown(line));
  if (text) text->assign(1, std::string(line));
  for (long long i = 1; i < textLines; ++i) {
    if (!lines.next(line))
      failAt(path, lines.number() + 1,
             "файл кончается внутри текстового заголовка (в строке " + std::to_string(first) +
                 " объявлено строк: " + std::to_string(textLines) + ")");
    if (text && i < kMetadataTextLines) text->emplace_back(line);
  }
  return first;
}

// "<n> Comment line(s) follow, each starting with a "|"" and those lines.
void comments(LineCursor& lines, const std::string& path) {
  std::string_view line;
  if (!lines.next(line))
    failAt(path, lines.number() + 1,
           "файл кончается до строки комментариев «<n> Comment line(s) follow…»");
  long long count = 0;
  if (!leadingInteger(line, count) || count < 0 ||
      findNoCase(line, "comment") == std::string_view::npos)
    failAt(path, lines.number(),
           "ожидается «<n> Comment line(s) follow, each starting with a \"|\"», найдено " +
               shown(line));
  const long commentLine = lines.number();
  for (long long i = 0; i < count; ++i)
    if (!lines.next(line))
      failAt(path, lines.number() + 1,
             "файл кончается внутри комментариев (в строке " + std::to_string(commentLine) +
                 " объявлено строк: " + std::to_string(count) + ")");
}

// The unit of an acceleration block's units code; refuses a code that is not an acceleration.
Unit accelerationUnit(long long code, const std::string& path, long lineNo) {
  for (const UnitCode& u : kAccelerationUnits)
    if (u.code == code) return *findUnit(u.unit);
  failAt(path, lineNo,
         "код единиц " + std::to_string(code) +
             " не означает ускорение: ожидается 2 (g), 4 (cm/s²), 7 (in/s²), 10 (gal) или "
             "11 (mg)");
}

// The channel's data blocks, up to the next text header or the end. The first acceleration
// block goes into `r` when `wanted` (the channel asked for); the others are read and dropped.
// Returns whether an acceleration block was kept.
bool dataBlocks(LineCursor& lines, const std::string& path, bool wanted, ParsedRecord& r) {
  std::string_view line;
  bool haveAcceleration = false;
  for (;;) {
    if (!lines.peek(line)) break;
    if (trim(line).empty()) {
      lines.next(line);
      continue;
    }
    // Some writers end each block, others only the channel; the next text header ends it.
    if (isEndLine(line)) {
      lines.next(line);
      continue;
    }
    if (findNoCase(line, "(Format v") != std::string_view::npos) break;
    lines.next(line);
    Block data;
    data.headerLine = lines.number();
    const auto format = formatAfterKey(line, path, data.headerLine);
    const auto pieces = splitBlanks(line);
    long long code = 0;
    const std::size_t unitsAt = findNoCase(line, "units=");
    const std::size_t codeAt =
        unitsAt == std::string_view::npos ? unitsAt : line.find('(', unitsAt);
    if (!leadingInteger(line, data.count) || data.count < 0 || pieces.size() < 2 || !format ||
        codeAt == std::string_view::npos || !integerAfter(line.substr(codeAt), "(", code))
      failAt(path, data.headerLine,
             "ожидается строка блока данных «<n> acceleration pts, approx <t> secs, "
             "units=<единица> (<код>), Format=(…)», найдено " +
                 shown(line));
    data.format = *format;
    const bool acceleration = startsWithNoCase(pieces[1], "acc");
    const bool keep = wanted && acceleration && !haveAcceleration;
    if (keep) r.unit = accelerationUnit(code, path, data.headerLine);
    std::vector<double> values = readBlock(lines, data, path, "данные");
    if (keep) {
      r.values = std::move(values);
      haveAcceleration = true;
      // From a pipe the record ends with the block it was read for: a writer that keeps the
      // pipe open after it is not waited on.
      if (lines.openEnded()) break;
    }
  }
  return haveAcceleration;
}

// The time step from value 62 of the real header (ms), which must be there and positive.
double timeStep(const std::vector<double>& real, const Block& reals, const std::string& path) {
  if (real.size() < kSamplingIntervalValue)
    failAt(path, reals.headerLine,
           "значений в вещественном заголовке: " + std::to_string(real.size()) +
               "; нет значения 62 (шаг по времени, мс)");
  const double ms = real[kSamplingIntervalValue - 1];
  if (!(ms > 0))
    failAt(path, reals.headerLine,
           "значение 62 вещественного заголовка (шаг по времени, мс) равно " + numberText(ms) +
               ": ожидается больше нуля");
  return ms / 1000.0;
}

}  // namespace

ParsedRecord parseCosmos(LineCursor lines, const std::string& path, int channel) {
  for (int ch = 1;; ++ch) {
    std::vector<std::string> text;
    const long first = textHeader(lines, path, ch, channel, ch == channel ? &text : nullptr);
    const Block ints = headerBlock(lines, path, "Integer-header",
                                   "<n> Integer-header values follow on <k> lines, Format= (…)");
    readBlock(lines, ints, path, "целочисленный заголовок");
    const Block reals = headerBlock(lines, path, "Real-header",
                                    "<n> Real-header values follow on <k> lines, Format= (…)");
    const std::vector<double> real = readBlock(lines, reals, path, "вещественный заголовок");
    comments(lines, path);

    ParsedRecord r;
    const bool haveAcceleration = dataBlocks(lines, path, ch == channel, r);
    if (ch != channel) continue;
    if (!haveAcceleration)
      failAt(path, first, "в канале " + std::to_string(channel) + " нет блока ускорений");
    r.dt = timeStep(real, reals, path);
    r.stepLine = reals.headerLine;
    r.metadata = cosmosMetadata(text, real);
    return r;
  }
}

}  // namespace accelspec::records
