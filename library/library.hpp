// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/measures.hpp"

struct sqlite3;

namespace accelspec::library {

/// The library's spectra: 5 % PSA with refined peaks at 0.1·10^(k/100) Hz, k = 0 … 300
/// (0.1–100 Hz, 100 points a decade), m/s². Point k is the check grid's point k.
inline constexpr std::size_t kSpectrumPoints = 301;
inline constexpr double kSpectrumDamping = 0.05;

/// The frequency of the library's spectrum point k, Hz.
double spectrumFrequency(std::size_t k);

/// One indexed component (one channel of one file) as the library stores it.
struct Component {
  std::int64_t id = 0;
  std::string path;    ///< absolute path of the file
  std::string format;  ///< the reader's format name
  int channel = 1;     ///< 1-based channel of the file
  /// What the header carries; empty or unset when the format or the file has none.
  std::string event, date, station, component;
  std::optional<double> azimuth;    ///< degrees clockwise from north
  std::optional<double> magnitude;  ///< as the header gives it
  std::optional<double> distance;   ///< km
  std::optional<double> vs30;       ///< m/s
  double dt = 0;                    ///< s
  std::size_t samples = 0;
  analysis::Measures measures;  ///< the nine measures
  std::vector<double> psa;      ///< kSpectrumPoints values, m/s²
  // The file as it was indexed.
  std::int64_t size = 0;     ///< bytes
  std::int64_t mtimeNs = 0;  ///< modification time, ns since 1970-01-01 UTC
  std::string hash;          ///< XXH3 128-bit of the content, 32 hex digits
  bool vertical = false;     ///< the header calls it vertical
};

/// A ground motion: one component alone, or the two horizontal components of one recording.
struct Motion {
  /// The pair's row for a pair, the component's row for a single (unique with pair()).
  std::int64_t id = 0;
  /// A pair: "RSN8883", the K-NET stem (with "-1"/"-2" for KiK-net's borehole/surface), COSMOS
  /// "station date", or "stem1+stem2" set by hand; a single: its file name (":N" for channel N
  /// of a file of several).
  std::string name;
  std::string event;  ///< the header's event, else the folder of the first component
  std::vector<Component> components;    ///< 1 or 2
  std::vector<double> rotd50, rotd100;  ///< kSpectrumPoints values each; empty unless a pair
  bool manual = false;                  ///< a pair set by `library pair`
  bool pair() const { return components.size() == 2; }
};

/// The library file when none is named: $XDG_DATA_HOME/accelspec/library.sqlite, else
/// $HOME/.local/share/accelspec/library.sqlite. Throws AppError when neither variable is set.
std::string defaultLibraryPath();

/// The schema version this build writes (PRAGMA user_version of the file): 1 files, components
/// and pairs; 2 also the hand-set pairs. An older file is migrated on open, a newer refused.
inline constexpr int kSchemaVersion = 2;

/// A parsed --where expression: comparisons of stored fields with constants joined by
/// `and`, `or`, `not` and parentheses. Evaluated in the program, never handed to SQL.
class Filter {
 public:
  struct Node;
  Filter();
  explicit Filter(std::shared_ptr<const Node> root);
  /// True when the expression was empty: everything matches.
  bool empty() const { return root_ == nullptr; }
  /// Whether one component of `motion` satisfies the expression (motion fields such as `pair`
  /// and `name` taken from `motion`).
  bool matches(const Motion& motion, const Component& component) const;
  /// Whether every component of `motion` satisfies the expression.
  bool matches(const Motion& motion) const;

 private:
  std::shared_ptr<const Node> root_;
};

/// Parses a --where expression (grammar in the guide, «Библиотека записей»):
///   expr := term {"or" term};  term := factor {"and" factor};
///   factor := "not" factor | "(" expr ")" | FIELD OP VALUE;  OP := = != < <= > >= ~
/// Throws AppError naming the 1-based character position and what was expected there.
/// The empty (or blank) text gives the empty filter.
Filter parseWhere(const std::string& text);

/// The field names --where knows, in the order the help lists them.
const std::vector<std::string>& whereFields();

/// How `add` runs. The progress callback is called on the thread that runs `add`, after each
/// file is written (and once before the first).
struct AddProgress {
  std::size_t done = 0, total = 0;  ///< files finished (indexed, skipped or refused) of all
  double perSecond = 0;             ///< files finished a second so far
};
struct AddOptions {
  unsigned jobs = 1;  ///< reading and spectra in parallel; writes stay one at a time
  std::function<void(const AddProgress&)> progress;  ///< may be empty
  std::stop_token stop;  ///< requested: the run stops after the files under way, keeping them
};
/// A file that was not indexed, with the reader's one-line message.
struct Skipped {
  std::string path;
  std::string message;
};
struct AddSummary {
  std::size_t files = 0;         ///< files found under the paths
  std::size_t indexed = 0;       ///< new or changed files indexed now
  std::size_t unchanged = 0;     ///< skipped: same size, time and content as stored
  std::size_t components = 0;    ///< components written now
  std::size_t pairs = 0;         ///< pairs formed now
  std::vector<Skipped> skipped;  ///< not records or refused by the readers, in path order
  bool cancelled = false;
  double seconds = 0;
};
struct PruneSummary {
  std::size_t files = 0;       ///< files removed: gone from the disk or no longer readable
  std::size_t components = 0;  ///< their components
};
struct Info {
  std::string path;
  int schemaVersion = 0;
  std::size_t files = 0, components = 0, motions = 0, pairs = 0, manualPairs = 0;
  std::int64_t bytes = 0;                                    ///< size of the database file
  std::vector<std::pair<std::string, std::size_t>> formats;  ///< components per format
};

/// The record library: one SQLite file. Not shared between threads; open one per thread.
class Library {
 public:
  /// Opens `path` ("" = defaultLibraryPath()); with `create`, makes the file and its folder
  /// when missing. Checks the schema version: a newer one is refused, an older one migrated.
  /// Throws AppError (missing file without `create`, not a library, unreadable, newer schema).
  static Library open(const std::string& path, bool create);

  Library(Library&& other) noexcept;
  Library& operator=(Library&& other) noexcept;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library();

  const std::string& path() const { return path_; }

  /// Indexes the files and (recursively) folders `paths`: each record file in its own
  /// transaction; files the readers refuse are listed in the summary, never stop the run. Then
  /// forms the pairs the naming rule finds (and the hand-set ones) with their RotD50/RotD100.
  /// Throws AppError for a path that does not exist or a database that cannot be written.
  AddSummary add(const std::vector<std::string>& paths, const AddOptions& options = {});

  /// The motions whose every component matches `where` (parseWhere), pairs first by name then
  /// single components, in path order. Throws AppError for a bad expression.
  std::vector<Motion> motions(const std::string& where = "") const;
  std::vector<Motion> motions(const Filter& filter) const;

  /// Makes the two indexed horizontal components a pair (channel 0: the file's only
  /// component), leaving any pair either was in; remembered over re-indexing. Throws AppError
  /// for a file not in the library, a vertical component or components of different step or
  /// length. Returns the new motion.
  Motion pair(const std::string& file1, const std::string& file2, int channel1 = 0,
              int channel2 = 0);

  /// Removes the files that no longer exist or changed into something no reader takes.
  PruneSummary prune();

  Info info() const;

 private:
  Library(sqlite3* db, std::string path);
  // Forms the pairs the rule and the hand-set list find among the stored components; returns
  // how many.
  std::size_t formPairs(const AddOptions& options);
  sqlite3* db_ = nullptr;
  std::string path_;
};

}  // namespace accelspec::library
