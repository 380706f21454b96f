// SPDX-License-Identifier: MIT
#include "records/scan.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "data/messages.hpp"
#include "data/numbers.hpp"
#include "files/textio.hpp"

namespace accelspec::records {

void failAt(const std::string& path, long line, std::string_view what) {
  throw AppError(path + ", строка " + std::to_string(line) + ": " + std::string(what));
}

void failFile(const std::string& path, std::string_view what) {
  throw AppError(path + ": " + std::string(what));
}

std::string errnoWords(int code) {
  switch (code) {
    case ENOENT:
      return "файл или папка не найдены";
    case EACCES:
    case EPERM:
      return "нет доступа";
    case EIO:
      return "сбой чтения или записи на устройстве";
    case ENOMEM:
      return "не хватает памяти";
    case EEXIST:
      return "файл уже существует";
    case ENOTDIR:
      return "часть пути не является папкой";
    case EISDIR:
      return "это папка, а не файл";
    case EINVAL:
      return "недопустимое имя или операция";
    case ENFILE:
    case EMFILE:
      return "слишком много открытых файлов";
    case EFBIG:
      return "файл больше допустимого размера";
    case ENOSPC:
      return "на диске нет места";
    case EROFS:
      return "файловая система только для чтения";
    case ENAMETOOLONG:
      return "слишком длинное имя файла";
    case ELOOP:
      return "слишком много символических ссылок в пути";
    case EDQUOT:
      return "превышена дисковая квота";
    case EBUSY:
    case ETXTBSY:
      return "файл занят";
    case ESTALE:
      return "сетевой файл больше недоступен";
    default:
      return "системная ошибка " + std::to_string(code);
  }
}

std::string ioMessage(const IoError& e) {
  // A code the table of input/output errors does not know carries the errno itself, and its
  // text says so ("I/O error 5" is EIO, not the access denied of code 5).
  if (e.what() == msg::ioErrorText(e.code())) return errnoWords(e.code());
  switch (e.code()) {
    case iocode::kFileNotFound:
      return "файл не найден";
    case iocode::kInvalidFilename:
      return "неверное имя файла";
    case iocode::kTooManyOpenFiles:
      return "слишком много открытых файлов";
    case iocode::kAccessDenied:
      return "нет доступа к файлу";
    case iocode::kDiskFull:
      return "диск заполнен";
    case iocode::kPlantedLink:
      return e.what();
    case 100:  // the window's "Read beyond end of file"
      return "файл кончается раньше, чем должен";
    case iocode::kInvalidNumericInput:
      return "в файле не число там, где ожидается число";
    default:
      return errnoWords(e.code());
  }
}

namespace {

// Length of the valid UTF-8 sequence at the start of `s`, 0 when it is not one.
std::size_t utf8Length(std::string_view s) {
  const auto b = static_cast<unsigned char>(s[0]);
  std::size_t n = b < 0x80           ? 1
                  : (b >> 5) == 0x6  ? 2
                  : (b >> 4) == 0xE  ? 3
                  : (b >> 3) == 0x1E ? 4
                                     : 0;
  if (n == 0 || n > s.size()) return 0;
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[i]) >> 6) != 0x2) return 0;
  return n;
}

}  // namespace

std::string shown(std::string_view text) {
  constexpr int kMaxChars = 32;
  std::string out = "«";
  int chars = 0;
  while (!text.empty()) {
    if (chars == kMaxChars) {
      out += "…";
      break;
    }
    const std::size_t n = utf8Length(text);
    const auto b = static_cast<unsigned char>(text[0]);
    if (n == 0 || b < 0x20 || b == 0x7F) {
      out += '?';
      text.remove_prefix(1);
    } else {
      out.append(text.substr(0, n));
      text.remove_prefix(n);
    }
    ++chars;
  }
  return out + "»";
}

std::string numberText(double v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

LineSource::LineSource(std::string_view text, std::string path) : path_(std::move(path)) {
  if (const void* z = text.empty() ? nullptr : std::memchr(text.data(), 26, text.size()))
    text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(z) - text.data()));
  chunks_.push_back({nullptr, text.data(), text.size(), text.size()});
}

LineSource::LineSource(int fd, std::string path, std::uint64_t limit, std::string limitMessage,
                       bool openEnded)
    : fd_(fd),
      ended_(false),
      openEnded_(openEnded),
      path_(std::move(path)),
      limit_(limit),
      limitMessage_(std::move(limitMessage)) {}

LineSource::~LineSource() {
  if (fd_ >= 0) ::close(fd_);
}

void LineSource::setLimit(std::uint64_t bytes, std::string message) {
  limit_ = bytes;
  limitMessage_ = std::move(message);
  if (taken_ > limit_) failFile(path_, limitMessage_);
}

namespace {
constexpr std::size_t kChunkBytes = 1 << 20;
}  // namespace

bool LineSource::pull(std::size_t& chunk, std::size_t& offset) {
  if (ended_) return false;
  if (chunks_.empty() || chunks_.back().size == chunks_.back().capacity) {
    // The unfinished line moves to a new chunk, so that every chunk but the last ends with a
    // line end and no line spans two.
    const std::size_t partial = chunks_.empty() ? 0 : chunks_.back().size - offset;
    Chunk c;
    c.capacity = std::max(kChunkBytes, 2 * partial);
    c.owned.reset(new char[c.capacity]);
    c.data = c.owned.get();
    if (partial > 0) std::memcpy(c.owned.get(), chunks_.back().data + offset, partial);
    c.size = partial;
    if (!chunks_.empty()) chunks_.back().size = offset;
    chunks_.push_back(std::move(c));
    chunk = chunks_.size() - 1;
    offset = 0;
  }
  Chunk& c = chunks_.back();
  // One byte past the limit is asked for: the end or a Ctrl-Z there still makes a whole file.
  std::size_t want = c.capacity - c.size;
  if (limit_ - std::min(limit_, taken_) + 1 < want)
    want = static_cast<std::size_t>(limit_ - std::min(limit_, taken_) + 1);
  ssize_t got;
  do {
    got = ::read(fd_, c.owned.get() + c.size, want);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    ended_ = true;
    throwErrnoError(errno, path_);
  }
  if (got == 0) {
    ended_ = true;
    return false;
  }
  char* fresh = c.owned.get() + c.size;
  auto n = static_cast<std::size_t>(got);
  if (const void* z = std::memchr(fresh, 26, n)) {
    n = static_cast<std::size_t>(static_cast<const char*>(z) - fresh);
    ended_ = true;  // never read past it: a pipe may stay open after sending it
  }
  taken_ += n;
  if (taken_ > limit_) {
    ended_ = true;
    failFile(path_, limitMessage_);
  }
  c.size += n;
  return true;
}

std::shared_ptr<LineSource> openLines(const std::string& path, std::uint64_t limit,
                                      std::string limitMessage) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throwErrnoError(errno, path);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    throwErrnoError(err, path);
  }
  // Anything but a regular file may keep its writer waiting after the data: a pipe, a FIFO, a
  // terminal, a device.
  return std::make_shared<LineSource>(fd, path, limit, std::move(limitMessage),
                                      !S_ISREG(st.st_mode));
}

LineCursor::LineCursor(std::string_view text, std::string path)
    : source_(std::make_shared<LineSource>(text, std::move(path))) {}

LineCursor::LineCursor(std::shared_ptr<LineSource> source) : source_(std::move(source)) {}

bool LineCursor::scan(Position& at, std::string_view& line) const {
  LineSource& s = *source_;
  const auto tooLong = [&] {
    failAt(s.path_, number_ + 1,
           "строка длиннее " + std::to_string(kMaxLineBytes) + " байт: такой файл не читается");
  };
  for (;;) {
    if (at.chunk == s.chunks_.size()) {  // nothing read yet
      if (!s.pull(at.chunk, at.offset)) return false;
      continue;
    }
    const LineSource::Chunk& c = s.chunks_[at.chunk];
    if (at.offset == c.size) {
      if (at.chunk + 1 < s.chunks_.size()) {
        ++at.chunk;
        at.offset = 0;
        continue;
      }
      if (!s.pull(at.chunk, at.offset)) return false;
      continue;
    }
    // The LF of a CR LF pair is skipped only now, when the next line is asked for: a line that
    // ends the data of a pipe is handed out without waiting for a byte that may never come.
    if (at.afterCr) {
      at.afterCr = false;
      if (c.data[at.offset] == '\n') ++at.offset;
      continue;
    }
    const std::string_view rest(c.data + at.offset, c.size - at.offset);
    const std::size_t end = rest.find_first_of("\r\n");
    if (end == std::string_view::npos && at.chunk + 1 == s.chunks_.size() && !s.ended_) {
      if (rest.size() > kMaxLineBytes) tooLong();
      s.pull(at.chunk, at.offset);
      continue;
    }
    line = rest.substr(0, end);
    if (line.size() > kMaxLineBytes) tooLong();
    if (end == std::string_view::npos) {
      at.offset = c.size;
    } else {
      at.offset += end + 1;
      at.afterCr = rest[end] == '\r';
    }
    return true;
  }
}

bool LineCursor::peek(std::string_view& line) const {
  Position at = at_;
  if (!scan(at, line)) return false;
  if (number_ == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  return true;
}

bool LineCursor::next(std::string_view& line) {
  if (!scan(at_, line)) return false;
  if (number_ == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  ++number_;
  return true;
}

std::vector<std::string_view> splitBlanks(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::string_view trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (lower(text[i]) != lower(prefix[i])) return false;
  return true;
}

std::size_t findNoCase(std::string_view text, std::string_view needle) {
  for (std::size_t i = 0; i + needle.size() <= text.size(); ++i)
    if (startsWithNoCase(text.substr(i), needle)) return i;
  return std::string_view::npos;
}

bool parseNumber(std::string_view text, double& out) {
  // Checked here rather than left to from_chars, which also takes "inf", "nan" and no '+'.
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (n > 64) return false;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && isDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  std::size_t exponentAt = n;
  if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    exponentAt = i++;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (i == n) return false;
    while (i < n && isDigit(text[i])) ++i;
  }
  if (i != n) return false;

  char buf[72];
  std::memcpy(buf, text.data(), n);
  if (exponentAt < n) buf[exponentAt] = 'e';
  const char* first = buf[0] == '+' ? buf + 1 : buf;
  const auto r = std::from_chars(first, buf + n, out);
  if (r.ec == std::errc() && r.ptr == buf + n) return true;
  // Out of the double range: huge values are refused, tiny ones are the nearest double.
  long double wide = 0;
  if (!parseFileReal(std::string_view(buf, n), wide)) return false;
  out = static_cast<double>(wide);
  return out - out == 0;
}

bool parseInteger(std::string_view text, long long& out) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last || (*first == '-' && first + 1 == last)) return false;
  const auto r = std::from_chars(first, last, out);
  return r.ec == std::errc() && r.ptr == last;
}

std::optional<Unit> findUnit(std::string_view text) {
  std::string key;
  for (char c : text)
    if (c != ' ' && c != '\t') key += lower(c);
  // Every spelling of "per second squared" becomes "/s2".
  for (const char* form : {"/sec/sec", "/sec**2", "/sec^2", "/sec2", "/s/s", "/s**2", "/s^2"}) {
    const std::size_t at = key.find(form);
    if (at != std::string::npos && at + std::strlen(form) == key.size()) {
      key.replace(at, std::strlen(form), "/s2");
      break;
    }
  }
  struct Known {
    const char* key;
    const char* name;
    long double factor;
  };
  static const Known known[] = {
      {"g", "g", 9.80665L},      {"gal", "gal", 0.01L},      {"cm/s2", "cm/s2", 0.01L},
      {"m/s2", "m/s2", 1.0L},    {"mm/s2", "mm/s2", 0.001L}, {"in/s2", "in/s2", 0.0254L},
      {"mg", "mg", 0.00980665L},
  };
  for (const Known& k : known)
    if (key == k.key) return Unit{k.name, k.factor};
  return std::nullopt;
}

}  // namespace accelspec::records
