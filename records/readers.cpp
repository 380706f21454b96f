// SPDX-License-Identifier: MIT
#include "records/readers.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace accelspec::records {

namespace {

std::string count(std::size_t n) { return std::to_string(n); }

// Reserves for `declared` values, but for no more than a million: a count in a damaged header
// must not allocate gigabytes before the values are there.
void reserveFor(std::vector<double>& v, long long declared) {
  if (declared > 0) v.reserve(std::min<std::size_t>(static_cast<std::size_t>(declared), 1 << 20));
}

// The numbers of a data line, or a message naming the first piece that is not one.
void readNumbers(std::string_view line, long lineNo, const std::string& path,
                 std::vector<double>& out) {
  for (std::string_view piece : splitBlanks(line)) {
    double v = 0;
    if (!parseNumber(piece, v)) failAt(path, lineNo, "ожидается число, найдено " + shown(piece));
    out.push_back(v);
  }
}

}  // namespace

double uniformStep(const std::vector<double>& times, const std::vector<long>& lines,
                   const std::string& path) {
  const std::size_t n = times.size();
  if (n < 2)
    failFile(path, "отсчётов в записи: " + count(n) + "; нужно не меньше двух, чтобы найти шаг");
  const long double dt =
      (static_cast<long double>(times[n - 1]) - times[0]) / static_cast<long double>(n - 1);
  if (!(dt > 0))
    failAt(path, lines[n - 1],
           "время последнего отсчёта " + numberText(times[n - 1]) + " не больше времени первого " +
               numberText(times[0]) + ": ожидается возрастающее время");
  for (std::size_t i = 1; i < n; ++i) {
    const long double step = static_cast<long double>(times[i]) - times[i - 1];
    if (std::fabs(step - dt) > 1e-6L * dt)
      failAt(path, lines[i],
             "неравномерный шаг: " + numberText(static_cast<double>(step)) +
                 " с от предыдущей строки, а средний шаг " + numberText(static_cast<double>(dt)) +
                 " с (допуск 1e-6 от шага)");
  }
  return static_cast<double>(dt);
}

// ---------------------------------------------------------------------------------------------
// PEER NGA *.AT2: four header lines, then values, any count a line.

ParsedRecord parseAt2(LineCursor lines, const std::string& path) {
  std::string_view header[4];
  for (int i = 0; i < 4; ++i)
    if (!lines.next(header[i]))
      failAt(path, i + 1, "файл кончается внутри заголовка PEER NGA (ожидается 4 строки)");

  ParsedRecord r;
  const std::string_view kind = trim(header[2]);
  const std::size_t unitsAt = findNoCase(kind, "UNITS OF");
  if (unitsAt == std::string_view::npos)
    failAt(path, 3, "ожидается «ACCELERATION TIME SERIES IN UNITS OF G», найдено " + shown(kind));
  if (!startsWithNoCase(kind, "ACCELERATION"))
    failAt(path, 3, "запись не ускорения: " + shown(kind));
  const std::string_view unitText = trim(kind.substr(unitsAt + 8));
  const auto unit = findUnit(unitText);
  if (!unit)
    failAt(path, 3,
           "неизвестная единица " + shown(unitText) + ": ожидается " + std::string(kUnitChoices));
  r.unit = *unit;

  // "NPTS=  16396, DT=   0.005 SEC" or "33750    0.0040    NPTS, DT".
  const std::string_view sizes = header[3];
  long long npts = -1;
  double dt = 0;
  bool ok = false;
  const auto valueAfter = [&](std::string_view key) -> std::string_view {
    const std::size_t at = findNoCase(sizes, key);
    if (at == std::string_view::npos) return {};
    std::string_view rest = trim(sizes.substr(at + key.size()));
    const std::size_t end = rest.find_first_of(" \t,");
    return rest.substr(0, end);
  };
  if (findNoCase(sizes, "NPTS=") != std::string_view::npos) {
    ok = parseInteger(valueAfter("NPTS="), npts) && parseNumber(valueAfter("DT="), dt);
  } else if (findNoCase(sizes, "NPTS") != std::string_view::npos) {
    const auto pieces = splitBlanks(sizes);
    ok = pieces.size() >= 2 && parseInteger(pieces[0], npts) && parseNumber(pieces[1], dt);
  }
  if (!ok || npts < 0)
    failAt(path, 4,
           "ожидается «NPTS= n, DT= dt SEC» или «n dt NPTS, DT», найдено " + shown(trim(sizes)));
  if (!(dt > 0)) failAt(path, 4, "шаг DT = " + numberText(dt) + ": ожидается больше нуля");
  r.dt = dt;
  r.stepLine = 4;
  r.metadata = at2Metadata(header[1]);

  reserveFor(r.values, npts);
  std::string_view line;
  long last = 4;
  // From a pipe, the values NPTS announces are the whole record: a writer that keeps the pipe
  // open after them is not waited on.
  while (!(lines.openEnded() && r.values.size() >= static_cast<std::size_t>(npts)) &&
         lines.next(line)) {
    readNumbers(line, lines.number(), path, r.values);
    if (!trim(line).empty()) last = lines.number();
  }
  if (r.values.size() != static_cast<std::size_t>(npts))
    failAt(path, 4,
           "NPTS = " + std::to_string(npts) + ", а значений в файле: " + count(r.values.size()) +
               " (строки 5–" + std::to_string(std::max(last, 5L)) + ")");
  return r;
}

// ---------------------------------------------------------------------------------------------
// K-NET / KiK-net ASCII: 17 header lines, then counts, eight a line.

namespace {

constexpr int kKnetHeaderLines = 17;
constexpr std::size_t kKnetValueColumn = 18;
constexpr std::size_t kKnetPerLine = 8;

// Counts written so wide that they touch ("-1234567-1234567") are split before each sign.
bool readCounts(std::string_view piece, std::vector<long double>& out) {
  std::size_t start = 0;
  for (std::size_t i = 1; i <= piece.size(); ++i) {
    if (i == piece.size() || piece[i] == '-' || piece[i] == '+') {
      long long v = 0;
      if (!parseInteger(piece.substr(start, i - start), v)) return false;
      out.push_back(static_cast<long double>(v));
      start = i;
    }
  }
  return true;
}

}  // namespace

ParsedRecord parseKnet(LineCursor lines, const std::string& path) {
  std::string_view header[kKnetHeaderLines];
  for (int i = 0; i < kKnetHeaderLines; ++i)
    if (!lines.next(header[i]))
      failAt(path, i + 1, "файл кончается внутри заголовка K-NET (ожидается 17 строк)");
  const auto field = [&](int lineNo, std::string_view label) {
    const std::string_view l = header[lineNo - 1];
    if (!startsWithNoCase(l, label))
      failAt(path, lineNo, "ожидается строка «" + std::string(label) + "…», найдено " + shown(l));
    return l.size() > kKnetValueColumn ? trim(l.substr(kKnetValueColumn)) : std::string_view{};
  };

  ParsedRecord r;
  std::string_view freqText = field(11, "Sampling Freq");
  if (freqText.size() >= 2 && startsWithNoCase(freqText.substr(freqText.size() - 2), "Hz"))
    freqText.remove_suffix(2);
  double freq = 0;
  if (!parseNumber(trim(freqText), freq) || !(freq > 0))
    failAt(path, 11, "ожидается частота отсчётов вида «100Hz», найдено " + shown(field(11, "")));
  r.dt = 1.0 / freq;
  r.stepLine = 11;

  double duration = 0;
  if (!parseNumber(field(12, "Duration Time"), duration) || duration < 0)
    failAt(path, 12, "ожидается длительность записи в секундах, найдено " + shown(field(12, "")));

  // "3920(gal)/6182761": full scale in a unit over the count that reaches it.
  const std::string_view scale = field(14, "Scale Factor");
  const std::size_t open = scale.find('('), close = scale.find(")/");
  double numerator = 0, denominator = 0;
  const bool scaleOk = open != std::string_view::npos && close != std::string_view::npos &&
                       open < close && parseNumber(trim(scale.substr(0, open)), numerator) &&
                       parseNumber(trim(scale.substr(close + 2)), denominator) && denominator != 0;
  if (!scaleOk)
    failAt(path, 14, "ожидается множитель вида «3920(gal)/6182761», найдено " + shown(scale));
  const std::string_view unitText = scale.substr(open + 1, close - open - 1);
  const auto unit = findUnit(unitText);
  if (!unit)
    failAt(path, 14,
           "неизвестная единица " + shown(unitText) + ": ожидается " + std::string(kUnitChoices));
  r.unit = *unit;
  field(17, "Memo");
  r.metadata = knetMetadata(header);

  std::vector<long double> counts;
  const double announced = duration * freq;
  reserveFor(r.values, announced < 1e9 ? static_cast<long long>(announced) + 1 : 0);
  counts.reserve(r.values.capacity());
  std::string_view line;
  long shortLine = 0;
  std::size_t shortCount = 0;
  long last = kKnetHeaderLines;
  // From a pipe, duration × frequency counts end the record (the files hold exactly that many).
  while (!(lines.openEnded() && static_cast<double>(counts.size()) >= announced) &&
         lines.next(line)) {
    const std::size_t before = counts.size();
    for (std::string_view piece : splitBlanks(line))
      if (!readCounts(piece, counts))
        failAt(path, lines.number(), "ожидается целое число отсчёта, найдено " + shown(piece));
    const std::size_t got = counts.size() - before;
    if (got > kKnetPerLine)
      failAt(path, lines.number(),
             "отсчётов в строке: " + count(got) + ", а в данных K-NET их не больше 8 в строке");
    if (got == 0) {
      if (shortLine == 0) shortLine = lines.number(), shortCount = 0;
      continue;
    }
    if (shortLine != 0)
      failAt(path, shortLine,
             "отсчётов в строке: " + count(shortCount) +
                 ", а короче восьми может быть только последняя строка данных");
    if (got < kKnetPerLine) shortLine = lines.number(), shortCount = got;
    last = lines.number();
  }
  // The duration is given in whole seconds: a count that misses it by a second or more means
  // lines are lost (or added).
  const long double expected = static_cast<long double>(duration) * freq;
  if (std::fabs(static_cast<long double>(counts.size()) - expected) >= freq)
    failAt(path, 12,
           "длительность " + numberText(duration) + " с при " + numberText(freq) + " Гц даёт " +
               numberText(static_cast<double>(expected)) + " отсчётов, а в файле " +
               count(counts.size()) + " (строки 18–" + std::to_string(last) + ")");

  // The raw counts carry the recorder's offset: the record's mean is taken away.
  const long double factor = static_cast<long double>(numerator) / denominator;
  long double sum = 0;
  for (long double c : counts) sum += c * factor;
  const long double mean = counts.empty() ? 0 : sum / static_cast<long double>(counts.size());
  for (long double c : counts) r.values.push_back(static_cast<double>(c * factor - mean));
  return r;
}

// ---------------------------------------------------------------------------------------------
// Plain columns: acceleration alone, or time and acceleration.

namespace {

// Splits a line at blanks, commas or semicolons; false with `bad` set for an empty field.
bool splitColumns(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  std::size_t i = 0;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (i < line.size() && blank(line[i])) ++i;
  if (i == line.size()) return true;
  for (;;) {
    const std::size_t start = i;
    while (i < line.size() && !blank(line[i]) && line[i] != ',' && line[i] != ';') ++i;
    if (i == start) return false;
    out.push_back(line.substr(start, i - start));
    while (i < line.size() && blank(line[i])) ++i;
    if (i == line.size()) return true;
    if (line[i] == ',' || line[i] == ';') {
      ++i;
      while (i < line.size() && blank(line[i])) ++i;
      if (i == line.size()) return false;
    }
  }
}

}  // namespace

ParsedRecord parseColumns(LineCursor lines, const std::string& path) {
  ParsedRecord r;
  r.unit = *findUnit("m/s2");
  std::vector<double> times;
  std::vector<long> timeLines;
  std::vector<std::string_view> pieces;
  std::size_t columns = 0;
  long columnsLine = 0;
  bool headerSeen = false;
  std::string_view line;
  while (lines.next(line)) {
    const std::size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    if (!splitColumns(line, pieces))
      failAt(path, lines.number(), "пустое поле между разделителями в " + shown(trim(line)));
    if (pieces.empty()) continue;
    double v[2] = {0, 0};
    std::size_t bad = pieces.size();
    for (std::size_t i = 0; i < pieces.size() && i < 2; ++i)
      if (!parseNumber(pieces[i], v[i])) {
        bad = i;
        break;
      }
    if (bad < pieces.size()) {
      // One line of column names may stand before the numbers; a piece that begins like a
      // number ("0.5x") is a damaged value, not a name.
      const bool names = std::none_of(pieces.begin(), pieces.end(), [](std::string_view p) {
        return std::string_view("0123456789+-.").find(p[0]) != std::string_view::npos;
      });
      if (columns == 0 && !headerSeen && names) {
        headerSeen = true;
        continue;
      }
      failAt(path, lines.number(), "ожидается число, найдено " + shown(pieces[bad]));
    }
    if (pieces.size() > 2)
      failAt(path, lines.number(),
             "чисел в строке: " + count(pieces.size()) +
                 "; ожидается столбец ускорений или два столбца (время, ускорение)");
    if (columns == 0) {
      columns = pieces.size();
      columnsLine = lines.number();
    } else if (pieces.size() != columns) {
      failAt(path, lines.number(),
             "чисел в строке: " + count(pieces.size()) + ", а в строке " +
                 std::to_string(columnsLine) + ": " + count(columns));
    }
    if (columns == 2) {
      times.push_back(v[0]);
      timeLines.push_back(lines.number());
    }
    r.values.push_back(v[columns - 1]);
  }
  if (columns == 2) {
    r.dt = uniformStep(times, timeLines, path);
    r.stepLine = timeLines.front();
  }
  return r;
}

// ---------------------------------------------------------------------------------------------
// The motion files of the open eqsig library: a name line, a line "<count> <step, s>", then the
// values (m/s² in its examples, the file does not say), one a line.

namespace {

// Line 2 of such a file: a count of at least two and a positive step.
bool eqsigSizes(std::string_view line, long long& count, double& dt) {
  const auto pieces = splitBlanks(line);
  return pieces.size() == 2 && parseInteger(pieces[0], count) && count >= 2 &&
         parseNumber(pieces[1], dt) && dt > 0;
}

}  // namespace

ParsedRecord parseEqsig(LineCursor lines, const std::string& path) {
  ParsedRecord r;
  r.unit = *findUnit("m/s2");
  std::string_view line;
  if (!lines.next(line)) failAt(path, 1, "файл пуст: ожидается строка с названием записи");
  long long declared = 0;
  double dt = 0;
  if (!lines.next(line) || !eqsigSizes(line, declared, dt))
    failAt(path, 2,
           "ожидается «<число отсчётов> <шаг, с>», найдено " +
               shown(lines.number() == 2 ? trim(line) : ""));
  r.dt = dt;
  r.stepLine = 2;
  reserveFor(r.values, declared);
  long last = 2;
  // From a pipe, the announced count ends the record.
  while (!(lines.openEnded() && r.values.size() >= static_cast<std::size_t>(declared)) &&
         lines.next(line)) {
    readNumbers(line, lines.number(), path, r.values);
    if (!trim(line).empty()) last = lines.number();
  }
  if (r.values.size() != static_cast<std::size_t>(declared))
    failAt(path, 2,
           "объявлено отсчётов: " + std::to_string(declared) + ", а значений в файле: " +
               count(r.values.size()) + " (строки 3–" + std::to_string(std::max(last, 3L)) + ")");
  return r;
}

// ---------------------------------------------------------------------------------------------
// The program's own accelerogram (*.aks) and imported record (*.brl).

namespace {

// Line 1 gives the count; each following line a time and an acceleration, after a sample
// number in *.brl. The window's own reader takes missing lines as zeros; a record for analysis
// must have every line the count announces.
ParsedRecord parseOwn(LineCursor lines, const std::string& path, bool brl) {
  ParsedRecord r;
  r.unit = *findUnit("m/s2");
  std::string_view line;
  long long declared = -1;
  if (lines.next(line)) {
    const auto pieces = splitBlanks(line);
    const bool ok = !pieces.empty() && parseInteger(pieces[0], declared) && declared >= 0 &&
                    (brl || (pieces.size() == 2 && trim(pieces[1]) == "1"));
    if (!ok)
      failAt(path, 1,
             std::string(brl ? "ожидается число отсчётов" : "ожидается «<число отсчётов> 1»") +
                 ", найдено " + shown(trim(line)));
  } else {
    failAt(path, 1, "файл пуст: ожидается число отсчётов");
  }
  std::vector<double> times;
  std::vector<long> timeLines;
  reserveFor(r.values, declared);
  reserveFor(times, declared);
  const std::size_t needed = brl ? 3 : 2;
  while (!(lines.openEnded() && r.values.size() == static_cast<std::size_t>(declared)) &&
         lines.next(line)) {
    const auto pieces = splitBlanks(line);
    if (pieces.empty()) continue;
    if (r.values.size() == static_cast<std::size_t>(declared))
      failAt(path, lines.number(),
             "лишняя строка: в строке 1 объявлено отсчётов: " + std::to_string(declared));
    if (pieces.size() < needed || (!brl && pieces.size() > 2))
      failAt(
          path, lines.number(),
          std::string(brl ? "ожидается «номер время ускорение»" : "ожидается «время ускорение»") +
              ", найдено " + shown(trim(line)));
    long long number = 0;
    if (brl && !parseInteger(pieces[0], number))
      failAt(path, lines.number(), "ожидается целый номер отсчёта, найдено " + shown(pieces[0]));
    double t = 0, a = 0;
    const std::size_t at = brl ? 1 : 0;
    for (std::size_t i = at; i < at + 2; ++i)
      if (!parseNumber(pieces[i], i == at ? t : a))
        failAt(path, lines.number(), "ожидается число, найдено " + shown(pieces[i]));
    times.push_back(t);
    timeLines.push_back(lines.number());
    r.values.push_back(a);
  }
  if (r.values.size() != static_cast<std::size_t>(declared))
    failAt(path, 1,
           "объявлено отсчётов: " + std::to_string(declared) +
               ", а строк данных: " + count(r.values.size()));
  r.dt = uniformStep(times, timeLines, path);
  r.stepLine = 2;
  return r;
}

}  // namespace

ParsedRecord parseAks(LineCursor lines, const std::string& path) {
  return parseOwn(std::move(lines), path, false);
}
ParsedRecord parseBrl(LineCursor lines, const std::string& path) {
  return parseOwn(std::move(lines), path, true);
}

// ---------------------------------------------------------------------------------------------
// Finding the format.

namespace {

// The program's 23-character real form: sign or blank, d.dddddddddddddd, E, sign, 4 digits.
bool isOwnReal(std::string_view s) {
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  if (s.size() != 22 || s[1] != '.' || s[16] != 'E' || (s[17] != '+' && s[17] != '-')) return false;
  for (std::size_t i : {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 18, 19, 20, 21})
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

}  // namespace

std::string detectFormat(LineCursor lines, const std::string& path) {
  // Lines are taken only as far as a format needs them: from a pipe, a short record that is
  // already whole must not wait for lines that will never come.
  std::string_view first[4];
  int n = 0;
  const auto have = [&](int k) {
    while (n < k && lines.next(first[n])) ++n;
    return n >= k;
  };
  if (!have(1)) return "columns";
  if (startsWithNoCase(first[0], "Origin Time")) return "knet";
  if (findNoCase(first[0], "(Format v") != std::string_view::npos) return "cosmos";
  if (have(2)) {
    const auto head = splitBlanks(first[0]);
    const auto data = splitBlanks(first[1]);
    long long count = 0, number = 0;
    double v = 0;
    if (head.size() == 2 && head[1] == "1" && parseInteger(head[0], count) && data.size() == 2) {
      std::string ext = std::filesystem::path(path).extension().string();
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if ((isOwnReal(data[0]) && isOwnReal(data[1])) || ext == ".aks") return "aks";
    }
    if (!head.empty() && parseInteger(head[0], count) && data.size() >= 3 &&
        parseInteger(data[0], number) && parseNumber(data[1], v) && parseNumber(data[2], v))
      return "brl";
  }
  if (have(3)) {
    // eqsig: a name that is not a number, "<count> <step>", then one value a line.
    long long count = 0;
    double dt = 0, v = 0;
    const auto name = splitBlanks(first[0]);
    const auto value = splitBlanks(first[2]);
    const bool named = std::any_of(name.begin(), name.end(),
                                   [&](std::string_view p) { return !parseNumber(p, v); });
    if (named && eqsigSizes(first[1], count, dt) && value.size() == 1 && parseNumber(value[0], v))
      return "eqsig";
  }
  if (have(4) && findNoCase(first[3], "NPTS") != std::string_view::npos &&
      findNoCase(first[2], "UNITS") != std::string_view::npos)
    return "at2";
  return "columns";
}

}  // namespace accelspec::records
