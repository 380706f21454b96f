// SPDX-License-Identifier: MIT
// The --where expressions: a small recursive-descent parser into a tree that the program
// evaluates on the motions it has read. No text of an expression ever reaches SQL.

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "data/error.hpp"
#include "library/library.hpp"
#include "library/library_messages.hpp"
#include "records/record.hpp"

namespace accelspec::library {

namespace {

enum class Op { Eq, Ne, Lt, Le, Gt, Ge, Contains };
enum class Kind { Text, Number };

struct FieldDef {
  const char* name;
  Kind kind;
};

// The order of the help and of the guide.
constexpr FieldDef kFields[] = {
    {"path", Kind::Text},       {"file", Kind::Text},       {"folder", Kind::Text},
    {"name", Kind::Text},       {"format", Kind::Text},     {"event", Kind::Text},
    {"date", Kind::Text},       {"station", Kind::Text},    {"component", Kind::Text},
    {"channel", Kind::Number},  {"azimuth", Kind::Number},  {"magnitude", Kind::Number},
    {"distance", Kind::Number}, {"vs30", Kind::Number},     {"dt", Kind::Number},
    {"samples", Kind::Number},  {"duration", Kind::Number}, {"pga", Kind::Number},
    {"pgv", Kind::Number},      {"pgd", Kind::Number},      {"arias", Kind::Number},
    {"d5_75", Kind::Number},    {"d5_95", Kind::Number},    {"cav", Kind::Number},
    {"cav_std", Kind::Number},  {"housner", Kind::Number},  {"pair", Kind::Number},
    {"vertical", Kind::Number}};
constexpr std::size_t kFieldCount = sizeof(kFields) / sizeof(kFields[0]);
constexpr std::size_t kPgaField = 17;

constexpr std::size_t kMaxDepth = 64;
constexpr std::size_t kMaxLength = 4096;

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string fileOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

using Value = std::variant<std::monostate, double, std::string>;

Value fieldValue(std::size_t field, const Motion& m, const Component& c) {
  auto opt = [](const std::optional<double>& v) -> Value {
    if (v) return *v;
    return std::monostate{};
  };
  auto text = [](const std::string& s) -> Value {
    if (s.empty()) return std::monostate{};
    return s;
  };
  switch (field) {
    case 0:
      return text(c.path);
    case 1:
      return text(fileOf(c.path));
    case 2:
      return text(folderOf(c.path));
    case 3:
      return text(m.name);
    case 4:
      return text(c.format);
    case 5:
      return text(c.event);
    case 6:
      return text(c.date);
    case 7:
      return text(c.station);
    case 8:
      return text(c.component);
    case 9:
      return static_cast<double>(c.channel);
    case 10:
      return opt(c.azimuth);
    case 11:
      return opt(c.magnitude);
    case 12:
      return opt(c.distance);
    case 13:
      return opt(c.vs30);
    case 14:
      return c.dt;
    case 15:
      return static_cast<double>(c.samples);
    case 16:
      return c.samples == 0 ? 0.0 : c.dt * static_cast<double>(c.samples - 1);
    case 17:
      return c.measures.pga;
    case 18:
      return c.measures.pgv;
    case 19:
      return c.measures.pgd;
    case 20:
      return c.measures.arias;
    case 21:
      return c.measures.d5_75;
    case 22:
      return c.measures.d5_95;
    case 23:
      return c.measures.cav;
    case 24:
      return c.measures.cavStd;
    case 25:
      return c.measures.housner;
    case 26:
      return m.pair() ? 1.0 : 0.0;
    case 27:
      return c.vertical ? 1.0 : 0.0;
    default:
      return std::monostate{};
  }
}

template <typename T>
bool compare(const T& a, Op op, const T& b) {
  switch (op) {
    case Op::Eq:
      return a == b;
    case Op::Ne:
      return a != b;
    case Op::Lt:
      return a < b;
    case Op::Le:
      return a <= b;
    case Op::Gt:
      return a > b;
    case Op::Ge:
      return a >= b;
    case Op::Contains:
      return false;
  }
  return false;
}

}  // namespace

struct Filter::Node {
  enum class Type { And, Or, Not, Compare } type = Type::Compare;
  std::vector<std::shared_ptr<const Node>> children;
  std::size_t field = 0;
  Op op = Op::Eq;
  double number = 0;
  std::string text;  // lowered

  bool eval(const Motion& m, const Component& c) const {
    switch (type) {
      case Type::And:
        for (const auto& child : children)
          if (!child->eval(m, c)) return false;
        return true;
      case Type::Or:
        for (const auto& child : children)
          if (child->eval(m, c)) return true;
        return false;
      case Type::Not:
        return !children.front()->eval(m, c);
      case Type::Compare:
        break;
    }
    const Value v = fieldValue(field, m, c);
    if (const double* d = std::get_if<double>(&v)) {
      if (std::isnan(*d)) return false;
      return compare(*d, op, number);
    }
    if (const std::string* s = std::get_if<std::string>(&v)) {
      const std::string low = lowered(*s);
      if (op == Op::Contains) return low.find(text) != std::string::npos;
      return compare(low, op, text);
    }
    return false;  // a field the header does not carry: no comparison holds
  }
};

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  std::shared_ptr<const Filter::Node> parse() {
    if (position(s_.size()) - 1 > kMaxLength)
      throw AppError(msg::badWhere(kMaxLength + 1, msg::kWhereLength));
    for (std::size_t i = 0; i < s_.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(s_[i]);
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
        fail(i, msg::whereCharacter("\\x" + hex(c)));
      if (c == 0x7f) fail(i, msg::whereCharacter("\\x7f"));
    }
    skipBlanks();
    if (pos_ == s_.size()) return nullptr;
    auto root = expr(0);
    skipBlanks();
    if (pos_ != s_.size()) {
      // A sign the grammar has no use for anywhere (";", "*", "`" …) is named as such.
      if (!wordChar(s_[pos_]) && !std::strchr("=!<>~()'\"", s_[pos_]))
        fail(pos_, msg::whereCharacter(character(pos_)));
      fail(pos_, msg::kWhereAndOr);
    }
    return root;
  }

 private:
  static std::string hex(unsigned char c) {
    const char* digits = "0123456789abcdef";
    return {digits[c >> 4], digits[c & 15]};
  }

  // The 1-based position in characters (UTF-8 code points) of byte offset `at`.
  std::size_t position(std::size_t at) const {
    std::size_t n = 1;
    for (std::size_t i = 0; i < at && i < s_.size(); ++i)
      if ((static_cast<unsigned char>(s_[i]) & 0xC0) != 0x80) ++n;
    return n;
  }

  [[noreturn]] void fail(std::size_t at, std::string_view what) const {
    throw AppError(msg::badWhere(position(at), what));
  }

  void skipBlanks() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
      ++pos_;
  }

  static bool wordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-' || c == '+' || c == ':' || c == '/' ||
           static_cast<unsigned char>(c) >= 0x80;
  }

  std::string_view word() {
    const std::size_t start = pos_;
    while (pos_ < s_.size() && wordChar(s_[pos_])) ++pos_;
    return s_.substr(start, pos_ - start);
  }

  // A keyword (and, or, not) as a whole word at the current position, consumed when there.
  bool keyword(std::string_view kw) {
    skipBlanks();
    if (s_.size() - pos_ < kw.size()) return false;
    for (std::size_t i = 0; i < kw.size(); ++i)
      if (lowerAscii(s_[pos_ + i]) != kw[i]) return false;
    const std::size_t end = pos_ + kw.size();
    if (end < s_.size() && wordChar(s_[end])) return false;
    if (kw == "not" && end < s_.size() && s_[end] == '=') return false;
    pos_ = end;
    return true;
  }

  std::shared_ptr<const Filter::Node> expr(std::size_t depth) {
    if (depth > kMaxDepth) fail(pos_, msg::kWhereDepth);
    auto first = term(depth);
    if (!keywordAhead("or")) return first;
    auto node = std::make_shared<Filter::Node>();
    node->type = Filter::Node::Type::Or;
    node->children.push_back(first);
    while (keyword("or")) node->children.push_back(term(depth));
    return node;
  }

  bool keywordAhead(std::string_view kw) {
    const std::size_t save = pos_;
    const bool found = keyword(kw);
    pos_ = save;
    return found;
  }

  std::shared_ptr<const Filter::Node> term(std::size_t depth) {
    auto first = factor(depth);
    if (!keywordAhead("and")) return first;
    auto node = std::make_shared<Filter::Node>();
    node->type = Filter::Node::Type::And;
    node->children.push_back(first);
    while (keyword("and")) node->children.push_back(factor(depth));
    return node;
  }

  std::shared_ptr<const Filter::Node> factor(std::size_t depth) {
    if (depth > kMaxDepth) fail(pos_, msg::kWhereDepth);
    skipBlanks();
    if (keyword("not")) {
      auto node = std::make_shared<Filter::Node>();
      node->type = Filter::Node::Type::Not;
      node->children.push_back(factor(depth + 1));
      return node;
    }
    skipBlanks();
    if (pos_ < s_.size() && s_[pos_] == '(') {
      ++pos_;
      auto inner = expr(depth + 1);
      skipBlanks();
      if (pos_ >= s_.size() || s_[pos_] != ')') fail(pos_, msg::kWhereClose);
      ++pos_;
      return inner;
    }
    return comparison();
  }

  std::shared_ptr<const Filter::Node> comparison() {
    skipBlanks();
    const std::size_t fieldAt = pos_;
    const std::string_view name = word();
    if (name.empty()) {
      if (pos_ < s_.size() && !std::strchr("=!<>~()'\"", s_[pos_]))
        fail(pos_, msg::whereCharacter(character(pos_)));
      fail(pos_, msg::kWhereField);
    }
    auto node = std::make_shared<Filter::Node>();
    const std::string low = lowered(name);
    node->field = kFieldCount;
    for (std::size_t i = 0; i < kFieldCount; ++i)
      if (low == kFields[i].name) node->field = i;
    if (node->field == kFieldCount) fail(fieldAt, msg::whereUnknownField(name, fieldList()));
    const Kind kind = kFields[node->field].kind;

    skipBlanks();
    const std::size_t opAt = pos_;
    auto next = [&](std::size_t k) { return pos_ + k < s_.size() ? s_[pos_ + k] : '\0'; };
    if (next(0) == '=') {
      node->op = Op::Eq;
      pos_ += next(1) == '=' ? 2 : 1;
    } else if (next(0) == '!' && next(1) == '=') {
      node->op = Op::Ne;
      pos_ += 2;
    } else if (next(0) == '<' && next(1) == '>') {
      node->op = Op::Ne;
      pos_ += 2;
    } else if (next(0) == '<') {
      node->op = next(1) == '=' ? Op::Le : Op::Lt;
      pos_ += next(1) == '=' ? 2 : 1;
    } else if (next(0) == '>') {
      node->op = next(1) == '=' ? Op::Ge : Op::Gt;
      pos_ += next(1) == '=' ? 2 : 1;
    } else if (next(0) == '~') {
      node->op = Op::Contains;
      ++pos_;
    } else {
      fail(pos_, msg::kWhereOperator);
    }
    if (node->op == Op::Contains && kind != Kind::Text) fail(opAt, msg::kWhereContains);

    skipBlanks();
    const std::size_t valueAt = pos_;
    std::string value;
    bool quoted = false;
    if (pos_ < s_.size() && (s_[pos_] == '\'' || s_[pos_] == '"')) {
      const char quote = s_[pos_];
      const std::size_t close = s_.find(quote, pos_ + 1);
      if (close == std::string_view::npos) fail(pos_, msg::kWhereQuote);
      value = std::string(s_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
      quoted = true;
    } else {
      value = std::string(word());
      if (value.empty()) {
        if (pos_ < s_.size() && !std::strchr("=!<>~()", s_[pos_]))
          fail(pos_, msg::whereCharacter(character(pos_)));
        fail(pos_, msg::kWhereValue);
      }
    }
    if (kind == Kind::Text) {
      node->text = lowered(value);
      return node;
    }
    (void)quoted;
    double scale = 1;
    std::string_view digits = value;
    if (node->field == kPgaField && !digits.empty() && lowerAscii(digits.back()) == 'g') {
      digits.remove_suffix(1);
      scale = records::kStandardGravity;
    }
    double number = 0;
    const char* first = digits.data();
    const char* last = first + digits.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, number);
    if (first == last || ec != std::errc() || end != last || !std::isfinite(number))
      fail(valueAt, node->field == kPgaField ? msg::kWhereNumberG : msg::kWhereNumber);
    node->number = number * scale;
    return node;
  }

  std::string character(std::size_t at) const {
    std::size_t end = at + 1;
    while (end < s_.size() && (static_cast<unsigned char>(s_[end]) & 0xC0) == 0x80) ++end;
    return std::string(s_.substr(at, end - at));
  }

  static std::string fieldList() {
    std::string out;
    for (const auto& f : kFields) {
      if (!out.empty()) out += ", ";
      out += f.name;
    }
    return out;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

}  // namespace

Filter::Filter() = default;
Filter::Filter(std::shared_ptr<const Node> root) : root_(std::move(root)) {}

bool Filter::matches(const Motion& motion, const Component& component) const {
  return !root_ || root_->eval(motion, component);
}

bool Filter::matches(const Motion& motion) const {
  if (!root_) return true;
  if (motion.components.empty()) return false;
  for (const auto& c : motion.components)
    if (!root_->eval(motion, c)) return false;
  return true;
}

Filter parseWhere(const std::string& text) { return Filter(Parser(text).parse()); }

const std::vector<std::string>& whereFields() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const auto& f : kFields) out.emplace_back(f.name);
    return out;
  }();
  return names;
}

}  // namespace accelspec::library
