// SPDX-License-Identifier: MIT
#include "records/fortran_format.hpp"

#include "data/numbers.hpp"

namespace accelspec::records {

namespace {

constexpr std::size_t kMaxFields = 4096;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

class Parser {
 public:
  explicit Parser(std::string text) : s_(std::move(text)) {}

  std::optional<FortranFormat> run() {
    if (s_.size() < 2 || s_.front() != '(') return refuse("ожидается формат в скобках: «(8F10.5)»");
    pos_ = 1;
    FortranFormat f;
    if (!list(f, 0, true)) return std::nullopt;
    if (pos_ != s_.size()) return refuse("после закрывающей скобки формата есть ещё текст");
    f.valuesPerPass = valuesIn(f.fields, 0);
    if (f.valuesPerPass == 0) return refuse("формат не читает ни одного числа");
    // Reading goes on at the reversion point after the last field: that part must read a value,
    // or each pass would take lines without end (and a reversion point at the very end would
    // index past the fields).
    if (valuesIn(f.fields, f.reversion) == 0)
      return refuse("последняя группа в скобках не читает ни одного числа");
    return f;
  }

  const std::string& why() const { return why_; }

 private:
  static std::size_t valuesIn(const std::vector<FortranField>& fields, std::size_t from) {
    std::size_t n = 0;
    for (std::size_t i = from; i < fields.size(); ++i)
      if (fields[i].kind != 'X' && fields[i].kind != '/') ++n;
    return n;
  }

  std::nullopt_t refuse(std::string why) {
    if (why_.empty()) why_ = std::move(why);
    return std::nullopt;
  }
  bool fail(std::string why) {
    refuse(std::move(why));
    return false;
  }

  bool number(int& out) {
    if (pos_ >= s_.size() || !isDigit(s_[pos_])) return false;
    long v = 0;
    while (pos_ < s_.size() && isDigit(s_[pos_])) {
      v = v * 10 + (s_[pos_++] - '0');
      if (v > 100000) return fail("число в формате больше 100000");
    }
    out = static_cast<int>(v);
    return true;
  }

  bool add(FortranFormat& f, const FortranField& x, int repeat) {
    if (f.fields.size() + static_cast<std::size_t>(repeat) > kMaxFields)
      return fail("формат разворачивается больше чем в " + std::to_string(kMaxFields) + " полей");
    f.fields.insert(f.fields.end(), static_cast<std::size_t>(repeat), x);
    return true;
  }

  // Items up to the closing parenthesis of this level, which it consumes.
  bool list(FortranFormat& f, int depth, bool top) {
    if (depth > 8) return fail("скобки вложены глубже восьми уровней");
    for (;;) {
      if (!why_.empty()) return false;  // a number too large, met where its absence is allowed
      if (pos_ >= s_.size()) return fail("не хватает закрывающей скобки");
      if (s_[pos_] == ')') {
        ++pos_;
        return true;
      }
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == '/') {
        ++pos_;
        if (!add(f, FortranField{'/', 0, 0, scale_}, 1)) return false;
        continue;
      }
      int repeat = 1;
      const bool counted = number(repeat);
      if (!why_.empty()) return false;
      if (pos_ >= s_.size()) return fail("не хватает закрывающей скобки");
      const char c = upper(s_[pos_]);
      if (c == '(') {
        ++pos_;
        if (repeat < 1) return fail("число повторений группы 0");
        FortranFormat inner;
        if (!list(inner, depth + 1, false)) return false;
        if (inner.fields.empty()) return fail("пустая группа «()»");
        if (top) f.reversion = f.fields.size();
        for (int r = 0; r < repeat; ++r)
          for (const FortranField& x : inner.fields)
            if (!add(f, x, 1)) return false;
        continue;
      }
      ++pos_;
      if (c == 'P') {  // scale factor, possibly negative: "-1P"
        if (!counted) return fail("перед P нет множителя");
        scale_ = negative_ ? -repeat : repeat;
        negative_ = false;
        continue;
      }
      if (c == '-' && !counted) {
        negative_ = true;
        continue;
      }
      if (c == 'X') {
        if (!add(f, FortranField{'X', repeat, 0, scale_}, 1)) return false;
        continue;
      }
      FortranField x{c, 0, 0, scale_};
      if (c == 'E' && pos_ < s_.size() && (upper(s_[pos_]) == 'S' || upper(s_[pos_]) == 'N'))
        ++pos_;
      if (c != 'I' && c != 'F' && c != 'E' && c != 'D' && c != 'G')
        return fail("неизвестный описатель " + shown(std::string_view(&s_[pos_ - 1], 1)));
      if (!number(x.width) || x.width == 0 || x.width > 100)
        return fail("ширина поля " + std::string(1, c) + " не от 1 до 100");
      if (pos_ < s_.size() && s_[pos_] == '.') {
        ++pos_;
        if (!number(x.decimals) || x.decimals > 60)
          return fail("число знаков после точки не от 0 до 60");
      } else if (c != 'I') {
        return fail("у поля " + std::string(1, c) + " нет числа знаков после точки");
      }
      // An exponent width ("E15.7E3"), and the lone "E" some writers leave after "F15.6".
      if (c != 'I' && pos_ < s_.size() && upper(s_[pos_]) == 'E') {
        ++pos_;
        int ignored = 0;
        number(ignored);
      }
      if (repeat < 1) return fail("число повторений поля 0");
      if (!add(f, x, repeat)) return false;
    }
  }

  std::string s_;
  std::size_t pos_ = 0;
  int scale_ = 0;
  bool negative_ = false;
  std::string why_;
};

}  // namespace

std::optional<FortranFormat> parseFortranFormat(std::string_view text, std::string* why) {
  std::string compact;
  for (char c : text)
    if (c != ' ' && c != '\t') compact += c;
  Parser parser(std::move(compact));
  auto f = parser.run();
  if (!f && why) *why = parser.why().empty() ? "формат не читается" : parser.why();
  return f;
}

bool readFortranValue(std::string_view field, const FortranField& format, double& out) {
  std::string s;
  for (char c : field)
    if (c != ' ') s += c;
  if (s.empty() || s.size() > 60) return false;
  if (format.kind == 'I') {
    long long v = 0;
    if (!parseInteger(s, v)) return false;
    out = static_cast<double>(v);
    return true;
  }
  // Split into sign, mantissa and exponent; the exponent may come as E/D/Q then a signed
  // number, or as a bare sign after the mantissa ("1.5-03").
  std::size_t i = 0;
  std::string sign;
  if (s[0] == '+' || s[0] == '-') sign = s.substr(0, 1), i = 1;
  const std::size_t mantissaStart = i;
  bool point = false;
  while (i < s.size() && (isDigit(s[i]) || (s[i] == '.' && !point))) point |= s[i++] == '.';
  std::string mantissa = s.substr(mantissaStart, i - mantissaStart);
  if (mantissa.empty() || mantissa == ".") return false;
  bool hasExponent = false;
  long long exponent = 0;
  if (i < s.size()) {
    std::size_t e = i;
    const char c = upper(s[e]);
    if (c == 'E' || c == 'D' || c == 'Q') ++e;
    if (!parseInteger(std::string_view(s).substr(e), exponent)) return false;
    if (e == i && s[i] != '+' && s[i] != '-') return false;
    if (exponent > 100000 || exponent < -100000) return false;
    hasExponent = true;
  }
  if (!point) exponent -= format.decimals;
  if (!hasExponent) exponent -= format.scale;
  const std::string text = sign + mantissa + "e" + std::to_string(exponent);
  return parseNumber(text, out);
}

FixedFieldReader::FixedFieldReader(LineCursor& lines, const FortranFormat& format,
                                   const std::string& path, std::string what, long long count)
    : lines_(lines), format_(format), path_(path), what_(std::move(what)), count_(count) {}

void FixedFieldReader::newLine() {
  if (!lines_.next(line_))
    failAt(path_, lines_.number() + 1,
           "файл кончается внутри блока «" + what_ + "»: прочитано значений " +
               std::to_string(read_) + " из " + std::to_string(count_));
  haveLine_ = true;
  column_ = 0;
  ++linesUsed_;
}

double FixedFieldReader::next() {
  for (;;) {
    if (!haveLine_) newLine();
    if (field_ == format_.fields.size()) {
      field_ = format_.reversion;
      newLine();
    }
    const FortranField& f = format_.fields[field_++];
    if (f.kind == '/') {
      newLine();
      continue;
    }
    const std::size_t start = column_;
    column_ += static_cast<std::size_t>(f.width);
    if (f.kind == 'X') continue;
    const std::string where = "значение " + std::to_string(read_ + 1) + " из " +
                              std::to_string(count_) + ", колонки " + std::to_string(start + 1) +
                              "–" + std::to_string(column_) + " (блок «" + what_ + "»)";
    if (start >= line_.size())
      failAt(path_, lines_.number(), "строка кончается раньше поля: " + where);
    const std::string_view text = line_.substr(start, f.width);
    double v = 0;
    if (!readFortranValue(text, f, v))
      failAt(path_, lines_.number(), where + ": ожидается число, найдено " + shown(text));
    ++read_;
    return v;
  }
}

void FixedFieldReader::expectLineEnd() {
  if (!haveLine_ || column_ >= line_.size()) return;
  if (!trim(line_.substr(column_)).empty())
    failAt(path_, lines_.number(),
           "после последнего значения блока «" + what_ +
               "» есть ещё значения: " + shown(trim(line_.substr(column_))));
}

}  // namespace accelspec::records
