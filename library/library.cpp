// SPDX-License-Identifier: MIT
// The record library: one SQLite file holding, per component of every record file, its
// metadata, measures and 5 % PSA, and per pair of horizontal components their RotD50/RotD100.
//
// Journal: WAL with synchronous=NORMAL. Each file is one transaction, and a commit then costs no
// fsync, so a thousand small transactions stay cheap; a killed process loses nothing it
// committed (the log is in the file system, not in the process), a power cut can lose only the
// last commits and never leaves the file inconsistent; and readers (the window's table, `list`)
// never wait for an `add` that is writing. Two `add` runs take turns at writing (busy timeout).

#include "library/library.hpp"

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>

#include "analysis/grid.hpp"
#include "data/error.hpp"
#include "library/library_messages.hpp"
#include "records/readers.hpp"
#include "records/record.hpp"
#include "records/scan.hpp"

namespace accelspec::library {

namespace fs = std::filesystem;

namespace {

// "ACSL" in the file's header (PRAGMA application_id): a library of this program.
constexpr std::int32_t kApplicationId = 0x4143534C;
constexpr int kBusyTimeoutMs = 60000;
// The largest record file read (the readers' own limit for every format).
constexpr std::uintmax_t kMaxFileBytes = 256u * 1024 * 1024;

// Version 1: files, components, pairs. Version 2: the hand-set pairs, remembered by path.
const char* const kSchemaV1 = R"sql(
CREATE TABLE files(
  id INTEGER PRIMARY KEY,
  path TEXT NOT NULL UNIQUE,
  size INTEGER NOT NULL,
  mtime_ns INTEGER NOT NULL,
  hash TEXT NOT NULL,
  format TEXT NOT NULL);
CREATE TABLE components(
  id INTEGER PRIMARY KEY,
  file_id INTEGER NOT NULL REFERENCES files(id) ON DELETE CASCADE,
  channel INTEGER NOT NULL,
  event TEXT NOT NULL, date TEXT NOT NULL, station TEXT NOT NULL, component TEXT NOT NULL,
  azimuth REAL, vertical INTEGER NOT NULL, magnitude REAL, distance REAL, vs30 REAL,
  dt REAL NOT NULL, samples INTEGER NOT NULL,
  pga REAL, pgv REAL, pgd REAL, arias REAL, d5_75 REAL, d5_95 REAL, cav REAL, cav_std REAL,
  housner REAL,
  psa BLOB NOT NULL,
  pair_key TEXT NOT NULL,
  pair_name TEXT NOT NULL,
  UNIQUE(file_id, channel));
CREATE INDEX components_pair_key ON components(pair_key);
CREATE TABLE pairs(
  id INTEGER PRIMARY KEY,
  first INTEGER NOT NULL UNIQUE REFERENCES components(id) ON DELETE CASCADE,
  second INTEGER NOT NULL UNIQUE REFERENCES components(id) ON DELETE CASCADE,
  name TEXT NOT NULL,
  manual INTEGER NOT NULL,
  rotd50 BLOB NOT NULL,
  rotd100 BLOB NOT NULL);
)sql";
const char* const kSchemaV2 = R"sql(
CREATE TABLE manual_pairs(
  path1 TEXT NOT NULL, channel1 INTEGER NOT NULL,
  path2 TEXT NOT NULL, channel2 INTEGER NOT NULL,
  UNIQUE(path1, channel1), UNIQUE(path2, channel2));
)sql";

// --- SQLite helpers ----------------------------------------------------------------------------

std::string sqliteWords(sqlite3* db, const std::string& path, int code) {
  const int primary = code & 0xff;
  if (primary == SQLITE_READONLY) return std::string(msg::kLibraryReadOnly);
  if (primary == SQLITE_FULL) return std::string(msg::kLibraryFull);
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return std::string(msg::kLibraryBusy);
  if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
    return "файл повреждён или не является базой SQLite";
  if (primary == SQLITE_IOERR) {
    const int e = db ? sqlite3_system_errno(db) : 0;
    if (e == ENOSPC || e == EFBIG || e == EDQUOT) return std::string(msg::kLibraryFull);
    if (e == EROFS || e == EACCES || e == EPERM) return std::string(msg::kLibraryReadOnly);
    // SQLite does not always keep the cause (a short write, a size limit): a nearly full disk
    // is said as such, anything else as a failed write or read.
    struct statvfs fsInfo {};
    const std::string folder = fs::path(path).parent_path().string();
    if (::statvfs(folder.c_str(), &fsInfo) == 0 &&
        static_cast<double>(fsInfo.f_bavail) * static_cast<double>(fsInfo.f_frsize) < 1 << 20)
      return std::string(msg::kLibraryFull);
    return std::string(msg::kLibraryIo);
  }
  if (primary == SQLITE_CANTOPEN) return "файл не открывается (нет доступа или папки)";
  return db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
}

[[noreturn]] void fail(sqlite3* db, const std::string& path, int code) {
  throw AppError(msg::libraryError(path, sqliteWords(db, path, code)));
}

class Statement {
 public:
  Statement(sqlite3* db, const std::string& path, const char* sql) : db_(db), path_(path) {
    const int rc = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    if (rc != SQLITE_OK) fail(db_, path_, rc);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, std::int64_t v) {
    check(sqlite3_bind_int64(stmt_, i, v));
    return *this;
  }
  Statement& bind(int i, int v) { return bind(i, static_cast<std::int64_t>(v)); }
  Statement& bind(int i, double v) {
    check(std::isfinite(v) ? sqlite3_bind_double(stmt_, i, v) : sqlite3_bind_null(stmt_, i));
    return *this;
  }
  Statement& bind(int i, const std::optional<double>& v) { return v ? bind(i, *v) : bindNull(i); }
  Statement& bind(int i, const std::string& v) {
    check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Statement& bind(int i, const std::vector<double>& v);
  Statement& bindNull(int i) {
    check(sqlite3_bind_null(stmt_, i));
    return *this;
  }
  // True while there is a row.
  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(db_, path_, rc);
  }
  void run() {
    while (step()) {
    }
  }
  void reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_, col); }
  double real(int col) const {
    return sqlite3_column_type(stmt_, col) == SQLITE_NULL ? std::nan("")
                                                          : sqlite3_column_double(stmt_, col);
  }
  std::optional<double> optional(int col) const {
    if (sqlite3_column_type(stmt_, col) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_double(stmt_, col);
  }
  std::string text(int col) const {
    const auto* p = sqlite3_column_text(stmt_, col);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
             : std::string();
  }
  std::vector<double> spectrum(int col) const;

 private:
  void check(int rc) {
    if (rc != SQLITE_OK) fail(db_, path_, rc);
  }
  sqlite3* db_;
  const std::string& path_;
  sqlite3_stmt* stmt_ = nullptr;
};

// Spectra are stored as little-endian IEEE doubles, whatever the machine.
std::string encodeSpectrum(const std::vector<double>& v) {
  std::string out(v.size() * 8, '\0');
  for (std::size_t i = 0; i < v.size(); ++i) {
    const auto bits = std::bit_cast<std::uint64_t>(v[i]);
    for (int b = 0; b < 8; ++b) out[i * 8 + b] = static_cast<char>((bits >> (8 * b)) & 0xff);
  }
  return out;
}

Statement& Statement::bind(int i, const std::vector<double>& v) {
  const std::string blob = encodeSpectrum(v);
  check(sqlite3_bind_blob(stmt_, i, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT));
  return *this;
}

std::vector<double> Statement::spectrum(int col) const {
  const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(stmt_, col));
  const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col));
  std::vector<double> v(p ? bytes / 8 : 0);
  for (std::size_t i = 0; i < v.size(); ++i) {
    std::uint64_t bits = 0;
    for (int b = 0; b < 8; ++b) bits |= static_cast<std::uint64_t>(p[i * 8 + b]) << (8 * b);
    v[i] = std::bit_cast<double>(bits);
  }
  return v;
}

void exec(sqlite3* db, const std::string& path, const char* sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
  sqlite3_free(error);
  if (rc != SQLITE_OK) fail(db, path, rc);
}

std::int64_t pragmaInteger(sqlite3* db, const std::string& path, const char* sql) {
  Statement s(db, path, sql);
  return s.step() ? s.integer(0) : 0;
}

bool busy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

// Runs `step` again while another connection holds the file (SQLite answers some requests, such
// as reading a log another run is just making or changing the journal mode, with "busy" at once
// instead of waiting), for up to the busy timeout. Returns its last result code.
template <class Step>
int whileBusy(Step step) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  int rc = step();
  while (busy(rc) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    rc = step();
  }
  return rc;
}

int execCode(sqlite3* db, const char* sql) {
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? rc : sqlite3_extended_errcode(db);
}

// A transaction that rolls back unless committed.
class Transaction {
 public:
  Transaction(sqlite3* db, const std::string& path) : db_(db), path_(path) {
    const int rc = whileBusy([&] { return execCode(db_, "BEGIN IMMEDIATE"); });
    if (rc != SQLITE_OK) fail(db_, path_, rc);
  }
  void commit() {
    exec(db_, path_, "COMMIT");
    done_ = true;
  }
  ~Transaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }

 private:
  sqlite3* db_;
  const std::string& path_;
  bool done_ = false;
};

// --- Files ---------------------------------------------------------------------------------------

struct FileStat {
  std::int64_t size = 0, mtimeNs = 0;
};

bool statFile(const std::string& path, FileStat& out) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  out.size = static_cast<std::int64_t>(st.st_size);
  out.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

std::string contentHash(std::string_view data) {
  const XXH128_hash_t h = XXH3_128bits(data.data(), data.size());
  static const char* digits = "0123456789abcdef";
  std::string out(32, '0');
  for (int i = 0; i < 16; ++i) {
    out[15 - i] = digits[(h.high64 >> (4 * i)) & 15];
    out[31 - i] = digits[(h.low64 >> (4 * i)) & 15];
  }
  return out;
}

// The whole file, or an error message (one line) in `error`.
bool readFile(const std::string& path, std::string& text, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": файл не открывается: " + records::errnoWords(errno);
    return false;
  }
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::uintmax_t>(in.tellg());
  if (size > kMaxFileBytes) {
    error = path + ": файл больше 256 МиБ — предела для файлов записей; такой файл не читается";
    return false;
  }
  in.seekg(0);
  text.resize(static_cast<std::size_t>(size));
  if (size && !in.read(text.data(), static_cast<std::streamsize>(size))) {
    error = path + ": файл не читается";
    return false;
  }
  return true;
}

std::string oneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

std::string stemOf(const std::string& path) { return fs::path(path).stem().string(); }
std::string folderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// --- Pairing rule -----------------------------------------------------------------------------

// The key that the two horizontal components of one recording share, and the name of the
// motion they make; empty when the file shows no such rule.
//  • PEER NGA: the record number of "RSN<n>_…" in one folder ("RSN8883");
//  • K-NET/KiK-net: the file stem in one folder, with the extension's sensor digit: EW/NS (K-NET
//    or surface without digit), EW1/NS1 (KiK-net borehole), EW2/NS2 (KiK-net surface);
//  • COSMOS: the station and the event's date in one folder (channels of one file or several).
std::pair<std::string, std::string> pairKey(const std::string& path, const std::string& format,
                                            const records::Metadata& m) {
  const std::string folder = folderOf(path), stem = stemOf(path);
  if (format == "at2") {
    const std::string up = upper(stem);
    std::size_t digits = 3;
    while (digits < up.size() && up[digits] >= '0' && up[digits] <= '9') ++digits;
    if (up.rfind("RSN", 0) == 0 && digits > 3 && (digits == up.size() || up[digits] == '_')) {
      const std::string name = "RSN" + up.substr(3, digits - 3);
      return {"at2|" + folder + "|" + name, name};
    }
    if (!m.station.empty() && !m.event.empty())
      return {"at2|" + folder + "|" + m.event + "|" + m.date + "|" + m.station,
              m.station + " " + m.event};
    return {};
  }
  if (format == "knet") {
    const std::string ext = upper(fs::path(path).extension().string());
    std::string sensor;
    if (ext == ".EW" || ext == ".NS")
      sensor = "";
    else if (ext == ".EW1" || ext == ".NS1")
      sensor = "1";
    else if (ext == ".EW2" || ext == ".NS2")
      sensor = "2";
    else
      return {};
    const std::string name = sensor.empty() ? stem : stem + "-" + sensor;
    return {"knet|" + folder + "|" + name, name};
  }
  if (format == "cosmos" && !m.station.empty()) {
    // "CI-J2236": network, dash, station; a channel may leave the network unknown ("---J2236").
    const std::string station = m.station.substr(m.station.rfind('-') + 1);
    const std::string name = m.station + (m.date.empty() ? "" : " " + m.date.substr(0, 10));
    return {"cosmos|" + folder + "|" + station + "|" + m.date, name};
  }
  return {};
}

// --- Indexing one file ----------------------------------------------------------------------

struct Indexed {
  records::Metadata metadata;
  int channel = 1;
  double dt = 0;
  std::size_t samples = 0;
  analysis::Measures measures;
  std::vector<double> psa;
  std::string pairKey, pairName;
};

const analysis::SpectraRequest& psaRequest() {
  static const analysis::SpectraRequest request = [] {
    analysis::SpectraRequest r;
    r.grid = analysis::parseGrid(analysis::kDefaultGrid);
    r.dampings = {kSpectrumDamping};
    r.quantities = {analysis::Quantity::Psa};
    r.peaks = analysis::Peaks::Refined;
    r.threads = 1;
    return r;
  }();
  return request;
}

std::vector<double> psaOf(const std::vector<double>& accel, double dt) {
  const analysis::Spectra s = analysis::computeSpectra(accel, dt, psaRequest());
  return std::vector<double>(s.values.begin(), s.values.begin() + s.points);
}

// The records of a file: one per channel (several only in COSMOS files).
std::vector<records::Record> readChannels(const std::string& text, const std::string& path) {
  std::vector<records::Record> out;
  out.push_back(records::readRecordText(text, path));
  if (out.front().format != "cosmos") return out;
  for (int channel = 2;; ++channel) {
    records::Reading reading;
    reading.channel = channel;
    try {
      out.push_back(records::readRecordText(text, path, reading));
    } catch (const AppError& e) {
      // The reader's "в файле каналов: N, канала M нет" ends the file; any other fault of a
      // later channel refuses the whole file, so that no file is kept in part.
      if (std::string(e.what()).find("канала " + std::to_string(channel) + " нет") !=
          std::string::npos)
        break;
      throw;
    }
  }
  return out;
}

struct Work {
  std::size_t index = 0;  // into the file list
  std::string path;
  FileStat stat;
  std::string hash;
  std::string format;
  bool touched = false;  // the same content under a new time: only the time is written
  std::vector<Indexed> components;
  std::string error;  // a one-line message: the file is listed, not indexed
};

void indexFile(Work& w, const std::string& storedHash) {
  std::string text;
  if (!readFile(w.path, text, w.error)) return;
  w.stat.size = static_cast<std::int64_t>(text.size());
  w.hash = contentHash(text);
  if (!storedHash.empty() && storedHash == w.hash) {
    w.touched = true;
    return;
  }
  try {
    const std::vector<records::Record> channels = readChannels(text, w.path);
    w.format = channels.front().format;
    for (std::size_t k = 0; k < channels.size(); ++k) {
      const records::Record& r = channels[k];
      Indexed c;
      c.metadata = r.metadata;
      c.channel = static_cast<int>(k + 1);
      c.dt = r.dt;
      c.samples = r.accel.size();
      c.measures = analysis::computeMeasures(r.accel, r.dt);
      c.psa = psaOf(r.accel, r.dt);
      if (!c.metadata.vertical) {
        auto [key, name] = pairKey(w.path, w.format, c.metadata);
        c.pairKey = std::move(key);
        c.pairName = std::move(name);
      }
      w.components.push_back(std::move(c));
    }
  } catch (const AppError& e) {
    w.error = oneLine(e.what());
    w.components.clear();
  } catch (const std::bad_alloc&) {
    w.error = w.path + ": не хватает памяти для записи";
    w.components.clear();
  }
}

// --- Reading rows back ---------------------------------------------------------------------

constexpr const char* kComponentColumns =
    "c.id, f.path, f.format, c.channel, c.event, c.date, c.station, c.component, c.azimuth, "
    "c.magnitude, c.distance, c.vs30, c.dt, c.samples, c.pga, c.pgv, c.pgd, c.arias, c.d5_75, "
    "c.d5_95, c.cav, c.cav_std, c.housner, c.psa, f.size, f.mtime_ns, f.hash, c.vertical";

Component componentRow(const Statement& s) {
  Component c;
  c.id = s.integer(0);
  c.path = s.text(1);
  c.format = s.text(2);
  c.channel = static_cast<int>(s.integer(3));
  c.event = s.text(4);
  c.date = s.text(5);
  c.station = s.text(6);
  c.component = s.text(7);
  c.azimuth = s.optional(8);
  c.magnitude = s.optional(9);
  c.distance = s.optional(10);
  c.vs30 = s.optional(11);
  c.dt = s.real(12);
  c.samples = static_cast<std::size_t>(s.integer(13));
  c.measures.pga = s.real(14);
  c.measures.pgv = s.real(15);
  c.measures.pgd = s.real(16);
  c.measures.arias = s.real(17);
  c.measures.d5_75 = s.real(18);
  c.measures.d5_95 = s.real(19);
  c.measures.cav = s.real(20);
  c.measures.cavStd = s.real(21);
  c.measures.housner = s.real(22);
  c.psa = s.spectrum(23);
  c.size = s.integer(24);
  c.mtimeNs = s.integer(25);
  c.hash = s.text(26);
  c.vertical = s.integer(27) != 0;
  return c;
}

std::string motionEvent(const Component& c) {
  if (!c.event.empty()) return c.event;
  return fs::path(c.path).parent_path().filename().string();
}

// A single component is named by its file (with the extension: a K-NET vertical and its
// station's pair share the stem), and the channel in a file of several.
std::string singleName(const Component& c, bool severalChannels) {
  return fs::path(c.path).filename().string() +
         (severalChannels ? ":" + std::to_string(c.channel) : "");
}

// The accelerations of a stored component, read again; throws AppError when the file is gone
// or changed since it was indexed.
records::Record readStored(const Component& c) {
  std::string text, error;
  if (!readFile(c.path, text, error)) throw AppError(error);
  if (contentHash(text) != c.hash) throw AppError(msg::libraryFileChanged(c.path));
  records::Reading reading;
  reading.channel = c.channel;
  return records::readRecordText(text, c.path, reading);
}

struct PairSpectra {
  std::vector<double> rotd50, rotd100;
};

PairSpectra rotdOf(const records::Record& a, const records::Record& b) {
  const auto [s50, s100] =
      analysis::computeRotD50And100(a.accel, b.accel, a.dt, b.dt, psaRequest());
  PairSpectra out;
  out.rotd50.assign(s50.values.begin(), s50.values.begin() + s50.points);
  out.rotd100.assign(s100.values.begin(), s100.values.begin() + s100.points);
  return out;
}

std::string canonicalPath(const std::string& p) {
  std::error_code ec;
  fs::path abs = fs::absolute(p, ec);
  if (ec) return p;
  fs::path c = fs::weakly_canonical(abs, ec);
  return ec ? abs.lexically_normal().string() : c.string();
}

// The schema version, application id and number of schema entries; the SQLite result code.
int readHeader(sqlite3* db, std::int64_t& version, std::int64_t& appId, std::int64_t& tables) {
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  const char* queries[] = {"PRAGMA user_version", "PRAGMA application_id",
                           "SELECT count(*) FROM sqlite_master"};
  std::int64_t* out[] = {&version, &appId, &tables};
  // One read transaction: the three from one state of the file, never from both sides of another
  // run's commit that makes the schema.
  int begun = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  if (begun != SQLITE_OK) return sqlite3_extended_errcode(db);
  for (int i = 0; i < 3; ++i) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, queries[i], -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
      rc = sqlite3_step(stmt);
      if (rc == SQLITE_ROW) {
        *out[i] = sqlite3_column_int64(stmt, 0);
        rc = SQLITE_OK;
      }
    }
    if (rc != SQLITE_OK) rc = sqlite3_extended_errcode(db);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_OK) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      return rc;
    }
  }
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  return SQLITE_OK;
}

// A path for a file: URI, with the characters that URIs reserve escaped.
std::string uriPath(const std::string& path) {
  std::string out;
  for (unsigned char c : path) {
    if (c == '?' || c == '#' || c == '%' || c < 0x20) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

// --- The library ---------------------------------------------------------------------------

double spectrumFrequency(std::size_t k) {
  return 0.1 * std::pow(10.0, static_cast<double>(k) / 100.0);
}

std::string defaultLibraryPath() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  // The XDG Base Directory Specification: a relative XDG_DATA_HOME is invalid and ignored.
  if (xdg && *xdg == '/') return std::string(xdg) + "/accelspec/library.sqlite";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share/accelspec/library.sqlite";
  throw AppError(msg::kLibraryNoHome);
}

Library::Library(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
Library::Library(Library&& other) noexcept : db_(other.db_), path_(std::move(other.path_)) {
  other.db_ = nullptr;
}
Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    if (db_) sqlite3_close(db_);
    db_ = other.db_;
    path_ = std::move(other.path_);
    other.db_ = nullptr;
  }
  return *this;
}
Library::~Library() {
  if (db_) sqlite3_close(db_);
}

Library Library::open(const std::string& pathIn, bool create) {
  const std::string path = canonicalPath(pathIn.empty() ? defaultLibraryPath() : pathIn);
  std::error_code ec;
  const bool exists = fs::exists(path, ec);
  if (!exists && !create) throw AppError(msg::libraryMissing(path));
  if (!exists) {
    fs::create_directories(fs::path(path).parent_path(), ec);
    if (ec) throw AppError(msg::libraryError(path, "папка не создаётся: " + ec.message()));
  } else if (fs::is_directory(path, ec)) {
    throw AppError(msg::libraryNotDatabase(path));
  }
  sqlite3* raw = nullptr;
  int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(raw);
    raw = nullptr;
    rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  }
  Library lib(raw, path);
  if (rc != SQLITE_OK) fail(raw, path, rc);
  std::int64_t version = 0, appId = 0, tables = 0;
  rc = whileBusy([&] { return readHeader(raw, version, appId, tables); });
  const int primary = rc & 0xff;
  if (primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM) {
    // A library in WAL mode in a folder we may not write cannot make its shared-memory file:
    // it is read as an immutable file (no writer can be at work where nobody may write).
    sqlite3_close(raw);
    raw = nullptr;
    lib.db_ = nullptr;
    const std::string uri = "file:" + uriPath(path) + "?immutable=1";
    const int again =
        sqlite3_open_v2(uri.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    lib.db_ = raw;
    if (again != SQLITE_OK) fail(raw, path, rc);
    const int second = readHeader(raw, version, appId, tables);
    if (second != SQLITE_OK)
      rc = second;
    else
      rc = SQLITE_OK;
  }
  if ((rc & 0xff) == SQLITE_NOTADB) throw AppError(msg::libraryNotDatabase(path));
  if (rc != SQLITE_OK) fail(raw, path, rc);
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  if (appId != kApplicationId && (appId != 0 || version != 0 || tables != 0))
    throw AppError(msg::libraryNotDatabase(path));
  if (version > kSchemaVersion)
    throw AppError(msg::libraryNewer(path, static_cast<int>(version), kSchemaVersion));

  const bool readOnly = sqlite3_db_readonly(raw, "main") == 1;
  if (!readOnly) exec(raw, path, "PRAGMA synchronous=NORMAL");
  exec(raw, path, "PRAGMA foreign_keys=ON");
  if (version < kSchemaVersion) {
    if (readOnly) fail(raw, path, SQLITE_READONLY);
    // The journal mode is kept in the file: set once, when the file is made.
    if (version == 0) {
      rc = whileBusy([&] { return execCode(raw, "PRAGMA journal_mode=WAL"); });
      if (rc != SQLITE_OK) fail(raw, path, rc);
    }
    Transaction t(raw, path);
    // Another run may have made or migrated it meanwhile.
    version = pragmaInteger(raw, path, "PRAGMA user_version");
    if (version < 1) exec(raw, path, kSchemaV1);
    if (version < 2) exec(raw, path, kSchemaV2);
    if (version < kSchemaVersion) {
      exec(raw, path, ("PRAGMA application_id=" + std::to_string(kApplicationId)).c_str());
      exec(raw, path, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
    }
    t.commit();
  }
  return lib;
}

AddSummary Library::add(const std::vector<std::string>& paths, const AddOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  AddSummary summary;

  // The files: each path as given, folders walked recursively; the library's own files left.
  std::set<std::string> own;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) own.insert(path_ + suffix);
  std::vector<std::string> files;
  for (const std::string& p : paths) {
    std::error_code ec;
    const fs::file_status st = fs::status(p, ec);
    if (ec || !fs::exists(st)) throw AppError(msg::libraryNoPath(p));
    if (fs::is_directory(st)) {
      for (fs::recursive_directory_iterator
               it(p, fs::directory_options::skip_permission_denied, ec),
           end;
           !ec && it != end; it.increment(ec)) {
        std::error_code fe;
        if (it->is_regular_file(fe)) files.push_back(canonicalPath(it->path().string()));
      }
      if (ec) summary.skipped.push_back({p, p + ": папка не читается: " + ec.message()});
    } else {
      files.push_back(canonicalPath(p));
    }
  }
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  files.erase(std::remove_if(files.begin(), files.end(),
                             [&](const std::string& f) { return own.count(f) > 0; }),
              files.end());
  summary.files = files.size();

  // What is stored of them.
  struct Stored {
    std::int64_t id, size, mtimeNs;
    std::string hash;
  };
  std::unordered_map<std::string, Stored> stored;
  {
    Statement s(db_, path_, "SELECT id, path, size, mtime_ns, hash FROM files");
    while (s.step()) stored[s.text(1)] = {s.integer(0), s.integer(2), s.integer(3), s.text(4)};
  }

  std::vector<std::unique_ptr<Work>> work;
  std::size_t done = 0;
  const auto report = [&] {
    if (!options.progress) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    options.progress({done, files.size(), seconds > 0 ? static_cast<double>(done) / seconds : 0});
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    auto w = std::make_unique<Work>();
    w->index = i;
    w->path = files[i];
    if (!statFile(w->path, w->stat)) {
      summary.skipped.push_back({w->path, w->path + ": файл не читается"});
      ++done;
      continue;
    }
    const auto it = stored.find(w->path);
    if (it != stored.end() && it->second.size == w->stat.size &&
        it->second.mtimeNs == w->stat.mtimeNs) {
      ++summary.unchanged;
      ++done;
      continue;
    }
    work.push_back(std::move(w));
  }
  report();

  // Workers read and compute; this thread writes, one file a transaction, in finishing order.
  // After a stop no file is started; every file started is finished and written.
  std::mutex mutex;
  std::condition_variable ready, space;
  std::deque<Work*> finished;
  std::atomic<std::size_t> next{0};
  bool abort = false;
  const unsigned jobs = std::max(
      1u, std::min<unsigned>(options.jobs ? options.jobs : 1, static_cast<unsigned>(work.size())));
  const unsigned workers = work.empty() ? 0 : jobs;
  unsigned running = workers;  // guarded by `mutex` once the first worker runs
  const std::size_t maxQueued = 2 * static_cast<std::size_t>(jobs) + 2;
  auto worker = [&] {
    for (;;) {
      const std::size_t i = options.stop.stop_requested() ? work.size() : next++;
      if (i >= work.size()) break;
      Work& w = *work[i];
      const auto it = stored.find(w.path);
      indexFile(w, it == stored.end() ? std::string() : it->second.hash);
      std::unique_lock lock(mutex);
      space.wait(lock, [&] { return finished.size() < maxQueued || abort; });
      if (abort) break;
      finished.push_back(&w);
      ready.notify_one();
    }
    std::lock_guard lock(mutex);
    --running;
    ready.notify_one();
  };
  std::vector<std::jthread> threads;
  for (unsigned t = 0; t < workers; ++t) threads.emplace_back(worker);

  std::exception_ptr writeError;
  Statement findFile(db_, path_, "SELECT id, size, mtime_ns, hash FROM files WHERE path = ?");
  Statement deleteFile(db_, path_, "DELETE FROM files WHERE id = ?");
  Statement touchFile(db_, path_, "UPDATE files SET size = ?, mtime_ns = ? WHERE id = ?");
  Statement insertFile(db_, path_,
                       "INSERT INTO files(path, size, mtime_ns, hash, format) VALUES(?,?,?,?,?)");
  Statement insertComponent(
      db_, path_,
      "INSERT INTO components(file_id, channel, event, date, station, component, azimuth, "
      "vertical, magnitude, distance, vs30, dt, samples, pga, pgv, pgd, arias, d5_75, d5_95, "
      "cav, cav_std, housner, psa, pair_key, pair_name) "
      "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  std::vector<Skipped> refused;
  for (;;) {
    Work* w = nullptr;
    {
      std::unique_lock lock(mutex);
      ready.wait(lock, [&] { return !finished.empty() || running == 0; });
      if (finished.empty()) break;
      w = finished.front();
      finished.pop_front();
      space.notify_one();
    }
    try {
      if (!w->error.empty()) {
        refused.push_back({w->path, w->error});
      } else {
        Transaction t(db_, path_);
        findFile.reset();
        findFile.bind(1, w->path);
        std::optional<std::int64_t> existing;
        std::string existingHash;
        if (findFile.step()) {
          existing = findFile.integer(0);
          existingHash = findFile.text(3);
        }
        findFile.reset();
        // The same content (another run may have indexed it meanwhile): only the time is new.
        if (w->touched || (existing && existingHash == w->hash)) {
          if (existing) {
            touchFile.reset();
            touchFile.bind(1, w->stat.size).bind(2, w->stat.mtimeNs).bind(3, *existing).run();
          }
          ++summary.unchanged;
        } else {
          if (existing) {
            deleteFile.reset();
            deleteFile.bind(1, *existing).run();
          }
          insertFile.reset();
          insertFile.bind(1, w->path)
              .bind(2, w->stat.size)
              .bind(3, w->stat.mtimeNs)
              .bind(4, w->hash)
              .bind(5, w->format)
              .run();
          const std::int64_t fileId = sqlite3_last_insert_rowid(db_);
          for (const Indexed& c : w->components) {
            insertComponent.reset();
            const auto& m = c.metadata;
            insertComponent.bind(1, fileId)
                .bind(2, c.channel)
                .bind(3, m.event)
                .bind(4, m.date)
                .bind(5, m.station)
                .bind(6, m.component)
                .bind(7, m.azimuth)
                .bind(8, m.vertical ? 1 : 0)
                .bind(9, m.magnitude)
                .bind(10, m.distance)
                .bind(11, m.vs30)
                .bind(12, c.dt)
                .bind(13, static_cast<std::int64_t>(c.samples))
                .bind(14, c.measures.pga)
                .bind(15, c.measures.pgv)
                .bind(16, c.measures.pgd)
                .bind(17, c.measures.arias)
                .bind(18, c.measures.d5_75)
                .bind(19, c.measures.d5_95)
                .bind(20, c.measures.cav)
                .bind(21, c.measures.cavStd)
                .bind(22, c.measures.housner)
                .bind(23, c.psa)
                .bind(24, c.pairKey)
                .bind(25, c.pairName)
                .run();
          }
          ++summary.indexed;
          summary.components += w->components.size();
        }
        t.commit();
      }
    } catch (...) {
      writeError = std::current_exception();
      break;
    }
    w->components.clear();
    w->components.shrink_to_fit();
    ++done;
    report();
  }
  {
    std::lock_guard lock(mutex);
    abort = true;
  }
  space.notify_all();
  for (auto& t : threads) t.join();
  threads.clear();
  if (writeError) std::rethrow_exception(writeError);
  summary.cancelled = options.stop.stop_requested();
  summary.skipped.insert(summary.skipped.end(), refused.begin(), refused.end());
  std::sort(summary.skipped.begin(), summary.skipped.end(),
            [](const Skipped& a, const Skipped& b) { return a.path < b.path; });

  if (!summary.cancelled) summary.pairs = formPairs(options);
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

std::size_t Library::formPairs(const AddOptions& options) {
  // Candidates: the hand-set pairs whose components are stored and not yet paired together,
  // then every key that exactly two unpaired horizontal components share.
  struct Candidate {
    Component a, b;
    std::string name;
    bool manual = false;
  };
  std::vector<Candidate> candidates;
  std::set<std::int64_t> taken;
  const std::string select =
      std::string("SELECT ") + kComponentColumns +
      ", c.pair_key, c.pair_name FROM components c JOIN files f ON f.id = c.file_id ";
  {
    Statement s(db_, path_,
                (select + "JOIN manual_pairs m ON (m.path1 = f.path AND m.channel1 = c.channel) "
                          "OR (m.path2 = f.path AND m.channel2 = c.channel) "
                          "ORDER BY m.rowid, f.path = m.path2")
                    .c_str());
    std::vector<Component> rows;
    while (s.step()) rows.push_back(componentRow(s));
    Statement pm(db_, path_, "SELECT path1, channel1, path2, channel2 FROM manual_pairs");
    while (pm.step()) {
      const std::string p1 = pm.text(0), p2 = pm.text(2);
      const int c1 = static_cast<int>(pm.integer(1)), c2 = static_cast<int>(pm.integer(3));
      const Component *a = nullptr, *b = nullptr;
      for (const auto& r : rows) {
        if (r.path == p1 && r.channel == c1) a = &r;
        if (r.path == p2 && r.channel == c2) b = &r;
      }
      if (!a || !b) continue;
      taken.insert(a->id);
      taken.insert(b->id);
      Statement paired(db_, path_, "SELECT count(*) FROM pairs WHERE first = ? AND second = ?");
      paired.bind(1, a->id).bind(2, b->id);
      if (paired.step() && paired.integer(0) > 0) continue;
      candidates.push_back({*a, *b, stemOf(a->path) + "+" + stemOf(b->path), true});
    }
  }
  {
    Statement s(db_, path_,
                (select + "WHERE c.pair_key != '' AND c.vertical = 0 AND NOT EXISTS "
                          "(SELECT 1 FROM pairs p WHERE p.first = c.id OR p.second = c.id) "
                          "ORDER BY c.pair_key, f.path, c.channel")
                    .c_str());
    std::map<std::string, std::vector<Component>> groups;
    std::map<std::string, std::string> names;
    while (s.step()) {
      Component c = componentRow(s);
      if (taken.count(c.id)) continue;
      const std::string key = s.text(28);
      names.emplace(key, s.text(29));
      groups[key].push_back(std::move(c));
    }
    for (auto& [key, group] : groups) {
      if (group.size() != 2) continue;
      const Component &a = group[0], &b = group[1];
      if (a.dt != b.dt || a.samples != b.samples) continue;
      // Two channels of one orientation are no pair of horizontal components.
      if (a.azimuth && b.azimuth && std::fabs(*a.azimuth - *b.azimuth) < 1e-9) continue;
      candidates.push_back({a, b, names[key], false});
    }
  }
  if (candidates.empty()) return 0;

  // RotD in parallel, writes here.
  struct Result {
    std::optional<PairSpectra> spectra;
  };
  std::vector<Result> results(candidates.size());
  std::atomic<std::size_t> next{0};
  const unsigned jobs = std::max(1u, std::min<unsigned>(options.jobs ? options.jobs : 1,
                                                        static_cast<unsigned>(candidates.size())));
  {
    std::vector<std::jthread> threads;
    for (unsigned t = 0; t < jobs; ++t)
      threads.emplace_back([&] {
        for (;;) {
          if (options.stop.stop_requested()) return;
          const std::size_t i = next++;
          if (i >= candidates.size()) return;
          try {
            const records::Record a = readStored(candidates[i].a);
            const records::Record b = readStored(candidates[i].b);
            if (a.dt != b.dt || a.accel.size() != b.accel.size()) continue;
            results[i].spectra = rotdOf(a, b);
          } catch (const AppError&) {
            // A file changed or gone since: the next add indexes it again and pairs it then.
          } catch (const std::bad_alloc&) {
          }
        }
      });
  }
  std::size_t formed = 0;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!results[i].spectra) continue;
    const Candidate& c = candidates[i];
    Transaction t(db_, path_);
    // Both components must still be the ones read (another run may have re-indexed them).
    Statement exists(db_, path_,
                     "SELECT count(*) FROM components WHERE id IN (?, ?) AND NOT EXISTS "
                     "(SELECT 1 FROM pairs p WHERE p.first IN (?, ?) OR p.second IN (?, ?))");
    exists.bind(1, c.a.id).bind(2, c.b.id).bind(3, c.a.id).bind(4, c.b.id);
    exists.bind(5, c.a.id).bind(6, c.b.id);
    if (!exists.step() || exists.integer(0) != 2) continue;
    Statement insert(db_, path_,
                     "INSERT INTO pairs(first, second, name, manual, rotd50, rotd100) "
                     "VALUES(?,?,?,?,?,?)");
    insert.bind(1, c.a.id)
        .bind(2, c.b.id)
        .bind(3, c.name)
        .bind(4, c.manual ? 1 : 0)
        .bind(5, results[i].spectra->rotd50)
        .bind(6, results[i].spectra->rotd100)
        .run();
    t.commit();
    ++formed;
  }
  return formed;
}

std::vector<Motion> Library::motions(const std::string& where) const {
  return motions(parseWhere(where));
}

std::vector<Motion> Library::motions(const Filter& filter) const {
  std::unordered_map<std::int64_t, Component> components;
  std::vector<std::int64_t> order;
  std::map<std::string, int> channelsOfFile;
  {
    Statement s(db_, path_,
                (std::string("SELECT ") + kComponentColumns +
                 " FROM components c JOIN files f ON f.id = c.file_id ORDER BY f.path, c.channel")
                    .c_str());
    while (s.step()) {
      Component c = componentRow(s);
      ++channelsOfFile[c.path];
      order.push_back(c.id);
      components.emplace(c.id, std::move(c));
    }
  }
  std::vector<Motion> out;
  std::set<std::int64_t> paired;
  {
    Statement s(
        db_, path_,
        "SELECT id, first, second, name, manual, rotd50, rotd100 FROM pairs ORDER BY name, id");
    while (s.step()) {
      const auto a = components.find(s.integer(1)), b = components.find(s.integer(2));
      if (a == components.end() || b == components.end()) continue;
      Motion m;
      m.id = s.integer(0);
      m.name = s.text(3);
      m.manual = s.integer(4) != 0;
      m.components = {a->second, b->second};
      m.event = motionEvent(a->second);
      m.rotd50 = s.spectrum(5);
      m.rotd100 = s.spectrum(6);
      paired.insert(a->first);
      paired.insert(b->first);
      if (filter.matches(m)) out.push_back(std::move(m));
    }
  }
  for (std::int64_t id : order) {
    if (paired.count(id)) continue;
    Motion m;
    const Component& c = components.at(id);
    m.id = id;
    m.name = singleName(c, channelsOfFile[c.path] > 1);
    m.event = motionEvent(c);
    m.components = {c};
    if (filter.matches(m)) out.push_back(std::move(m));
  }
  return out;
}

Motion Library::pair(const std::string& file1, const std::string& file2, int channel1,
                     int channel2) {
  const auto find = [&](const std::string& file, int channel) {
    const std::string path = canonicalPath(file);
    Statement s(db_, path_,
                (std::string("SELECT ") + kComponentColumns +
                 " FROM components c JOIN files f ON f.id = c.file_id WHERE f.path = ? "
                 "ORDER BY c.channel")
                    .c_str());
    s.bind(1, path);
    std::vector<Component> rows;
    while (s.step()) rows.push_back(componentRow(s));
    if (rows.empty()) throw AppError(msg::libraryNotIndexed(file));
    if (channel == 0 && rows.size() > 1) throw AppError(msg::libraryChannels(file, rows.size()));
    if (channel == 0) channel = 1;
    for (const auto& r : rows)
      if (r.channel == channel) {
        if (r.vertical) throw AppError(msg::libraryVertical(file));
        return r;
      }
    throw AppError(msg::libraryNoChannel(file, channel));
  };
  const Component a = find(file1, channel1), b = find(file2, channel2);
  if (a.id == b.id) throw AppError(msg::kLibrarySamePair);
  if (a.dt != b.dt || a.samples != b.samples) throw AppError(msg::kLibraryPairMismatch);
  const PairSpectra spectra = rotdOf(readStored(a), readStored(b));
  const std::string name = stemOf(a.path) + "+" + stemOf(b.path);
  Transaction t(db_, path_);
  Statement drop(db_, path_, "DELETE FROM pairs WHERE first IN (?1, ?2) OR second IN (?1, ?2)");
  drop.bind(1, a.id).bind(2, b.id).run();
  Statement forget(db_, path_,
                   "DELETE FROM manual_pairs WHERE (path1 = ?1 AND channel1 = ?2) OR "
                   "(path2 = ?1 AND channel2 = ?2) OR (path1 = ?3 AND channel1 = ?4) OR "
                   "(path2 = ?3 AND channel2 = ?4)");
  forget.bind(1, a.path).bind(2, a.channel).bind(3, b.path).bind(4, b.channel).run();
  Statement remember(db_, path_,
                     "INSERT INTO manual_pairs(path1, channel1, path2, channel2) VALUES(?,?,?,?)");
  remember.bind(1, a.path).bind(2, a.channel).bind(3, b.path).bind(4, b.channel).run();
  Statement insert(db_, path_,
                   "INSERT INTO pairs(first, second, name, manual, rotd50, rotd100) "
                   "VALUES(?,?,?,1,?,?)");
  insert.bind(1, a.id).bind(2, b.id).bind(3, name).bind(4, spectra.rotd50).bind(5, spectra.rotd100);
  insert.run();
  const std::int64_t id = sqlite3_last_insert_rowid(db_);
  t.commit();
  Motion m;
  m.id = id;
  m.name = name;
  m.manual = true;
  m.components = {a, b};
  m.event = motionEvent(a);
  m.rotd50 = spectra.rotd50;
  m.rotd100 = spectra.rotd100;
  return m;
}

PruneSummary Library::prune() {
  PruneSummary out;
  std::vector<std::pair<std::int64_t, std::string>> files;
  {
    Statement s(db_, path_, "SELECT id, path FROM files ORDER BY path");
    while (s.step()) files.emplace_back(s.integer(0), s.text(1));
  }
  for (const auto& [id, path] : files) {
    FileStat st;
    if (statFile(path, st)) continue;
    Transaction t(db_, path_);
    Statement count(db_, path_, "SELECT count(*) FROM components WHERE file_id = ?");
    count.bind(1, id);
    const std::size_t n = count.step() ? static_cast<std::size_t>(count.integer(0)) : 0;
    Statement drop(db_, path_, "DELETE FROM files WHERE id = ?");
    drop.bind(1, id).run();
    t.commit();
    ++out.files;
    out.components += n;
  }
  return out;
}

Info Library::info() const {
  Info info;
  info.path = path_;
  info.schemaVersion = static_cast<int>(pragmaInteger(db_, path_, "PRAGMA user_version"));
  info.files = static_cast<std::size_t>(pragmaInteger(db_, path_, "SELECT count(*) FROM files"));
  info.components =
      static_cast<std::size_t>(pragmaInteger(db_, path_, "SELECT count(*) FROM components"));
  info.pairs = static_cast<std::size_t>(pragmaInteger(db_, path_, "SELECT count(*) FROM pairs"));
  info.manualPairs = static_cast<std::size_t>(
      pragmaInteger(db_, path_, "SELECT count(*) FROM pairs WHERE manual = 1"));
  info.motions = info.components - 2 * info.pairs + info.pairs;
  std::error_code ec;
  const auto size = fs::file_size(path_, ec);
  info.bytes = ec ? 0 : static_cast<std::int64_t>(size);
  Statement s(db_, path_,
              "SELECT f.format, count(*) FROM components c JOIN files f ON f.id = c.file_id "
              "GROUP BY f.format ORDER BY f.format");
  while (s.step()) info.formats.emplace_back(s.text(0), static_cast<std::size_t>(s.integer(1)));
  return info;
}

}  // namespace accelspec::library
