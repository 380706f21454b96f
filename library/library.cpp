// SPDX-License-Identifier: MIT
#include "library/library.hpp"

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "data/error.hpp"
#include "library/library_messages.hpp"

namespace accelspec::library {

double spectrumFrequency(std::size_t k) {
  return 0.1 * std::pow(10.0, static_cast<double>(k) / 100.0);
}

std::string defaultLibraryPath() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
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

Library Library::open(const std::string&, bool) { throw std::logic_error("not yet"); }
AddSummary Library::add(const std::vector<std::string>&, const AddOptions&) {
  throw std::logic_error("not yet");
}
std::vector<Motion> Library::motions(const std::string& where) const {
  return motions(parseWhere(where));
}
std::vector<Motion> Library::motions(const Filter&) const { throw std::logic_error("not yet"); }
Motion Library::pair(const std::string&, const std::string&, int, int) {
  throw std::logic_error("not yet");
}
PruneSummary Library::prune() { throw std::logic_error("not yet"); }
Info Library::info() const { throw std::logic_error("not yet"); }

}  // namespace accelspec::library
