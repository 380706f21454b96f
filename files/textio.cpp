// SPDX-License-Identifier: MIT
#include "files/textio.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>

#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"

namespace accelspec {

void throwIoError(int code) { throw IoError(code, msg::ioErrorMessage(code)); }

namespace {

bool folderExists(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ec;
  return std::filesystem::is_directory(folder.empty() ? "." : folder, ec);
}

}  // namespace

void throwErrnoError(int err, const std::string& path) {
  switch (err) {
    case ENOENT:
      throwIoError(folderExists(path) ? iocode::kFileNotFound : iocode::kInvalidFilename);
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
      throwIoError(iocode::kInvalidFilename);
    case EMFILE:
    case ENFILE:
      throwIoError(iocode::kTooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      throwIoError(iocode::kAccessDenied);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      throwIoError(iocode::kDiskFull);
    default:
      // The text names the errno itself, whatever the table above says of that number.
      throw IoError(err, msg::ioErrorText(err));
  }
}

// ---------------------------------------------------------------------------------------------
// The real form

namespace {

// 10^k for k = 0 … 4931, each the long double nearest to it. 10^4932 is beyond the range; the
// scaling below never needs more than 10^4931 in one step.
constexpr int kMaxPow10 = 4931;
using Pow10Table = std::array<long double, kMaxPow10 + 1>;

Pow10Table makePow10() {
  fpu::Scope scope;
  Pow10Table t{};
  char text[16];
  for (int k = 0; k <= kMaxPow10; ++k) {
    text[0] = '1';
    text[1] = 'e';
    const char* end = std::to_chars(text + 2, text + sizeof text, k).ptr;
    parseDecimal({text, static_cast<std::size_t>(end - text)}, '.', t[static_cast<std::size_t>(k)]);
  }
  return t;
}

const Pow10Table& pow10() {
  static const Pow10Table table = makePow10();
  return table;
}

// 10^k exact in long double (5^27 < 2^64).
constexpr int kExactPow10 = 27;
constexpr std::array<long double, kExactPow10 + 1> kExact = [] {
  std::array<long double, kExactPow10 + 1> t{};
  long double p = 1;
  for (auto& x : t) x = p, p *= 10;
  return t;
}();

}  // namespace

namespace {

// "Nan", "+Inf" or "-Inf" right-aligned in the field; false for a finite v.
bool appendNonFinite(std::string& out, long double v) {
  if (std::isnan(v)) {
    out.append(kRealFieldWidth - 3, ' ');
    out += "Nan";
    return true;
  }
  if (std::isinf(v)) {
    out.append(kRealFieldWidth - 4, ' ');
    out += v > 0 ? "+Inf" : "-Inf";
    return true;
  }
  return false;
}

// Scales m (finite, > 0) by powers of ten until 1 <= m < 16; returns the decimal exponent taken
// out. 19728/65536 is log10(2) to 16 fractional bits; the shift floors for negative products too.
// Each step divides by a rounded power of ten, so m carries that rounding into the digits.
int scaleToFirstDecade(long double& m) {
  const Pow10Table& p = pow10();
  int e = 0;
  for (;;) {
    int k = (std::ilogbl(m) * 19728) >> 16;
    if (k == 0) return e;
    if (k > kMaxPow10) k = kMaxPow10;
    if (k < -kMaxPow10) k = -kMaxPow10;  // values near the bottom of the range: two steps
    e += k;
    if (k > 0) {
      m /= p[static_cast<std::size_t>(k)];
    } else {
      m *= p[static_cast<std::size_t>(-k)];
    }
  }
}

// The 19 digits of m·10^17 rounded to an integer (s[0] is 1 when m >= 10), then rounded at the
// 16th digit of the string.
//
// Not correctly rounded, on purpose: the digits are rounded twice (to 19 digits, then at the
// 16th), and when s[0] is 1 the second rounding moves a digit that is not shown, so a mantissa
// in [10, 16) is cut after its 15th digit rather than rounded. The files are compared byte for
// byte with those the program has always written; a "better" conversion would change the last
// digit of such values in every file saved from now on.
void roundedDigits(long double m, char (&s)[19]) {
  // llrintl rounds in the current mode (to nearest, ties to even, under the fpu::Scope).
  auto D = static_cast<std::uint64_t>(std::llrintl(m * 1e17L));
  constexpr std::uint64_t k1e18 = 1000000000000000000ULL;
  if (D >= k1e18) {
    s[0] = '1';
    D -= k1e18;
  } else {
    s[0] = '0';
  }
  for (int i = 18; i >= 1; --i) {
    s[i] = static_cast<char>('0' + D % 10);
    D /= 10;
  }
  if (s[16] >= '5') carryDigit(s, s + 16);  // s[0] < 9: the carry never runs out
}

}  // namespace

void appendRealRaw(std::string& out, long double v) {
  if (appendNonFinite(out, v)) return;
  char field[kRealFieldWidth];
  field[0] = std::signbit(v) ? '-' : ' ';
  long double m = std::fabs(v);
  int e = m != 0 ? scaleToFirstDecade(m) : 0;
  char s[19];
  roundedDigits(m, s);
  const char* mantissa = s[0] == '1' ? s : s + 1;
  if (s[0] == '1') ++e;
  field[1] = mantissa[0];
  field[2] = '.';
  std::memcpy(field + 3, mantissa + 1, 14);
  field[17] = 'E';
  field[18] = e < 0 ? '-' : '+';
  int a = e < 0 ? -e : e;
  for (int i = 22; i >= 19; --i) {
    field[i] = static_cast<char>('0' + a % 10);
    a /= 10;
  }
  out.append(field, kRealFieldWidth);
}

void appendReal(std::string& out, long double v) {
  fpu::Scope scope;
  appendRealRaw(out, v);
}

std::string realField(long double v) {
  std::string out;
  appendReal(out, v);
  return out;
}

void appendInteger(std::string& out, long long v) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// ---------------------------------------------------------------------------------------------
// Number texts

namespace {

// The mantissa digits of a real text: up to 19 significant digits in `value`; the number is
// value·10^scale as long as every digit beyond them is 0 (`exact`).
struct Mantissa {
  std::uint64_t value = 0;
  int significant = 0;
  int scale = 0;
  bool exact = true;
  bool anyDigit = false;

  void take(int d, bool afterPoint) {
    anyDigit = true;
    if (significant == 0 && d == 0) {
      if (afterPoint) --scale;
    } else if (significant < 19) {
      value = value * 10 + static_cast<unsigned>(d);
      ++significant;
      if (afterPoint) --scale;
    } else {
      if (!afterPoint) ++scale;
      if (d != 0) exact = false;
    }
  }
};

// Digits, then "." and digits, from text[i]; i is left past them.
Mantissa scanMantissa(std::string_view text, std::size_t& i) {
  Mantissa m;
  for (; i < text.size() && isDigit(text[i]); ++i) m.take(text[i] - '0', false);
  if (i < text.size() && text[i] == '.')
    for (++i; i < text.size() && isDigit(text[i]); ++i) m.take(text[i] - '0', true);
  return m;
}

// An exponent part "(E|e)[+-]digits" at text[i], or none; false when it has no digits. Its
// value saturates at a million, far past the range.
bool scanExponent(std::string_view text, std::size_t& i, long& exponent) {
  exponent = 0;
  if (i == text.size() || (text[i] != 'E' && text[i] != 'e')) return true;
  ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size() || !isDigit(text[i])) return false;
  for (; i < text.size() && isDigit(text[i]); ++i)
    if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
  if (negative) exponent = -exponent;
  return true;
}

// The short road: one correctly rounded operation on two exact operands gives the correctly
// rounded value, the same bits as the full conversion. False where it does not apply.
bool exactValue(const Mantissa& m, long exponent, bool negative, long double& out) {
  if (!m.exact) return false;
  if (m.value == 0) {
    out = negative ? -0.0L : 0.0L;
    return true;
  }
  const long e10 = m.scale + exponent;
  if (e10 < -kExactPow10 || e10 > kExactPow10) return false;
  auto r = static_cast<long double>(m.value);
  r = e10 >= 0 ? r * kExact[static_cast<std::size_t>(e10)]
               : r / kExact[static_cast<std::size_t>(-e10)];
  out = negative ? -r : r;
  return true;
}

}  // namespace

bool parseFileReal(std::string_view text, long double& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;  // empty, or a sign alone
  const Mantissa m = scanMantissa(text, i);
  long exponent = 0;
  if (!scanExponent(text, i, exponent) || i != text.size()) return false;
  if (!m.anyDigit) {  // a lone point, or an exponent with nothing before it
    out = 0;
    return true;
  }
  return exactValue(m, exponent, negative, out) || parseDecimal(text, '.', out);
}

bool parseFileInteger(std::string_view text, std::int32_t& out) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  // The shared scanner also takes a bare "x" prefix, which the files do not.
  if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) return false;
  return parseInteger(text, out);
}

// ---------------------------------------------------------------------------------------------
// Reading

std::string readWholeFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throwErrnoError(errno, path);
  std::string data;
  try {
    struct stat st {};
    if (::fstat(fd, &st) != 0) throwErrnoError(errno, path);
    if (S_ISDIR(st.st_mode)) throwErrnoError(EISDIR, path);
    std::size_t size = 0;
    data.resize(S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1
                                                      : 65536);
    for (;;) {
      if (size == data.size()) data.resize(data.size() * 2);
      const ssize_t got = ::read(fd, data.data() + size, data.size() - size);
      if (got < 0) {
        if (errno == EINTR) continue;
        throwErrnoError(errno, path);
      }
      if (got == 0) break;
      size += static_cast<std::size_t>(got);
    }
    data.resize(size);
  } catch (const std::bad_alloc&) {
    ::close(fd);
    throwErrnoError(ENOMEM, path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return data;
}

TextReader::TextReader(std::string_view text) : pos_(text.data()), end_(text.data() + text.size()) {
  if (text.empty()) return;
  if (const void* z = std::memchr(pos_, 26, text.size())) end_ = static_cast<const char*>(z);
}

TextReader::TextReader(int fd, std::string path, InputLimit limit, std::size_t bufferSize)
    : fd_(fd),
      more_(true),
      path_(std::move(path)),
      limit_(limit),
      buffer_(new char[bufferSize > 0 ? bufferSize : 1]),
      bufferSize_(bufferSize > 0 ? bufferSize : 1) {
  pos_ = end_ = buffer_.get();
}

bool TextReader::fill() {
  if (!more_) return false;
  taken_ += static_cast<std::uint64_t>(end_ - buffer_.get());
  // At the limit one more byte is read: a Ctrl-Z or the end there still makes a whole file.
  const bool atLimit = taken_ >= limit_.bytes;
  std::size_t want = bufferSize_;
  if (atLimit) {
    want = 1;
  } else if (limit_.bytes - taken_ < want) {
    want = static_cast<std::size_t>(limit_.bytes - taken_);
  }
  ssize_t got;
  do {
    got = ::read(fd_, buffer_.get(), want);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    more_ = false;
    throwErrnoError(errno, path_);
  }
  pos_ = end_ = buffer_.get();
  if (got == 0) {
    more_ = false;
    return false;
  }
  end_ += got;
  if (const void* z = std::memchr(pos_, 26, static_cast<std::size_t>(got))) {
    end_ = static_cast<const char*>(z);
    more_ = false;  // never read past it: a pipe may stay open after sending it
  }
  if (atLimit && pos_ != end_) {
    more_ = false;
    end_ = pos_;
    throw AppError(limit_.message);
  }
  return pos_ != end_;
}

std::string_view TextReader::nextRun(std::size_t limit) {
  for (;;) {
    if (pos_ == end_ && !fill()) return {};
    if (static_cast<unsigned char>(*pos_) > 32) break;
    ++pos_;
  }
  std::size_t n = 0;
  while (n < limit && (pos_ != end_ || fill()) && static_cast<unsigned char>(*pos_) > 32)
    run_[n++] = *pos_++;
  return {run_, n};
}

long double TextReader::readReal() {
  const std::string_view run = nextRun(64);
  if (run.empty()) return 0;
  long double value = 0;
  if (!parseFileReal(run, value)) throwIoError(iocode::kInvalidNumericInput);
  return value;
}

std::int32_t TextReader::readInteger() {
  const std::string_view run = nextRun(32);
  if (run.empty()) return 0;
  std::int32_t value = 0;
  if (!parseFileInteger(run, value)) throwIoError(iocode::kInvalidNumericInput);
  return value;
}

void TextReader::skipLine() {
  for (;;) {
    if (pos_ == end_ && !fill()) return;
    const char c = *pos_++;
    if (c == '\n') return;
    if (c == '\r') {
      if ((pos_ != end_ || fill()) && *pos_ == '\n') ++pos_;
      return;
    }
  }
}

void TextReader::skipLabel(int count) {
  for (int i = 0; i < count && (pos_ != end_ || fill()) && !atLineEnd(); ++i) ++pos_;
}

std::string TextReader::readLine() {
  std::string line;
  while ((pos_ != end_ || fill()) && !atLineEnd()) {
    const char* stop = pos_;
    while (stop != end_ && *stop != '\r' && *stop != '\n') ++stop;
    line.append(pos_, stop);
    pos_ = stop;
  }
  skipLine();
  return line;
}

namespace {

// Closes the descriptor however the reading ends.
class InputFile {
 public:
  explicit InputFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) throwErrnoError(errno, path);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) fail(errno, path);
    if (S_ISDIR(st.st_mode)) fail(EISDIR, path);
  }
  ~InputFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  int fd() const { return fd_; }

 private:
  [[noreturn]] void fail(int err, const std::string& path) {
    ::close(fd_);
    fd_ = -1;
    throwErrnoError(err, path);
  }
  int fd_;
};

}  // namespace

void readFile(const std::string& path, InputLimit limit,
              const std::function<void(TextReader&)>& read) {
  InputFile file(path);
  TextReader in(file.fd(), path, limit);
  read(in);
}

}  // namespace accelspec
