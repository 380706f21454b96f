// SPDX-License-Identifier: MIT
#include "analysis/grid.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "analysis/analysis_messages.hpp"
#include "analysis/number_text.hpp"
#include "data/error.hpp"
#include "files/textio.hpp"
#include "records/scan.hpp"

namespace accelspec::analysis {

namespace {

// The frequencies at which ground and floor spectra are computed, Hz.
// Source: US NRC SRP 3.7.1 (Rev. 4), Table 3.7.1-1.
constexpr double kSrpFrequencies[] = {
    0.2,  0.3,  0.4,  0.5,  0.6,  0.7,  0.8,  0.9,  1.0,  1.1, 1.2,  1.3,  1.4,  1.5,  1.6,
    1.7,  1.8,  1.9,  2.0,  2.1,  2.2,  2.3,  2.4,  2.5,  2.6, 2.7,  2.8,  2.9,  3.0,  3.15,
    3.3,  3.45, 3.6,  3.8,  4.0,  4.2,  4.4,  4.6,  4.8,  5.0, 5.25, 5.5,  5.75, 6.0,  6.25,
    6.5,  6.75, 7.0,  7.25, 7.5,  7.75, 8.0,  8.5,  9.0,  9.5, 10.0, 10.5, 11.0, 11.5, 12.0,
    12.5, 13.0, 13.5, 14.0, 14.5, 15.0, 16.0, 17.0, 18.0, 20,  22,   25,   28,   31,   33};
static_assert(std::size(kSrpFrequencies) == 75);

// The periods of the ground-motion model tables of the western US database, s.
// Source: PEER NGA-West2 database (PEER Report 2013/03), the 111 periods of its spectra.
constexpr double kNgaPeriods[] = {
    0.01,  0.02, 0.022, 0.025, 0.029, 0.03,  0.032, 0.035, 0.036, 0.04,  0.042, 0.044, 0.045, 0.046,
    0.048, 0.05, 0.055, 0.06,  0.065, 0.067, 0.07,  0.075, 0.08,  0.085, 0.09,  0.095, 0.1,   0.11,
    0.12,  0.13, 0.133, 0.14,  0.15,  0.16,  0.17,  0.18,  0.19,  0.2,   0.22,  0.24,  0.25,  0.26,
    0.28,  0.29, 0.3,   0.32,  0.34,  0.35,  0.36,  0.38,  0.4,   0.42,  0.44,  0.45,  0.46,  0.48,
    0.5,   0.55, 0.6,   0.65,  0.667, 0.7,   0.75,  0.8,   0.85,  0.9,   0.95,  1,     1.1,   1.2,
    1.3,   1.4,  1.5,   1.6,   1.7,   1.8,   1.9,   2,     2.2,   2.4,   2.5,   2.6,   2.8,   3,
    3.2,   3.4,  3.5,   3.6,   3.8,   4,     4.2,   4.4,   4.6,   4.8,   5,     5.5,   6,     6.5,
    7,     7.5,  8,     8.5,   9,     9.5,   10,    11,    12,    13,    14,    15,    20};
static_assert(std::size(kNgaPeriods) == 111);

std::vector<std::string_view> split(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = text.find(sep);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

[[noreturn]] void fail(const std::string& grid, std::string_view why) {
  throw AppError(msg::badGrid(grid, why));
}

double positive(const std::string& grid, std::string_view text) {
  double v = 0;
  if (!parseNumber(text, v)) fail(grid, msg::kGridForms);
  if (!(v > 0)) fail(grid, msg::kGridNotPositive);
  return v;
}

GridPoint byFrequency(double f) { return {f, 1 / f}; }
GridPoint byPeriod(double t) { return {1 / t, t}; }

// X·10^(k/N) for k = 0, 1, … while within XMAX·(1 + 1e-9); each value rounded once from extended.
std::vector<double> logSpaced(const std::string& grid, const std::vector<std::string_view>& p) {
  const double lo = positive(grid, p[1]), hi = positive(grid, p[2]);
  if (hi < lo) fail(grid, msg::kGridReversed);
  double perDecade = 0;
  if (!parseNumber(p[3], perDecade) || perDecade != std::floor(perDecade) || perDecade < 1 ||
      perDecade > static_cast<double>(kMaxGridPoints))
    fail(grid, msg::kGridPerDecade);
  const long double decades = std::log10(static_cast<long double>(hi) / lo);
  if (decades * perDecade >= kMaxGridPoints) fail(grid, msg::kGridTooLarge);
  const long double limit = static_cast<long double>(hi) * (1 + 1e-9L);
  std::vector<double> values;
  for (long long k = 0;; ++k) {
    const long double v = lo * std::pow(10.0L, static_cast<long double>(k) / perDecade);
    if (v > limit) break;
    values.push_back(static_cast<double>(v));
  }
  return values;
}

std::vector<double> linear(const std::string& grid, const std::vector<std::string_view>& p) {
  const double begin = positive(grid, p[1]), end = positive(grid, p[2]);
  const double step = positive(grid, p[3]);
  if (end < begin) fail(grid, msg::kGridReversed);
  const long double last = std::floor((static_cast<long double>(end) - begin) / step + 1e-9L);
  if (last >= kMaxGridPoints) fail(grid, msg::kGridTooLarge);
  std::vector<double> values;
  for (long long j = 0; j <= static_cast<long long>(last); ++j)
    values.push_back(static_cast<double>(begin + j * static_cast<long double>(step)));
  return values;
}

// A list of frequencies holds at most kMaxGridPoints lines of a number each; with comments and
// long number texts 80 bytes a line is far above any real list (8 MB for 100000 points).
constexpr std::uint64_t kGridFileBytes = 8 * 1024 * 1024;

std::vector<double> fromFile(const std::string& grid, const std::string& path) {
  std::vector<std::pair<double, long long>> found;  // frequency, line
  try {
    // Streamed: a device or an endless file is stopped at the limit, and a Ctrl-Z ends the list
    // as the end of the file does.
    records::LineCursor lines(
        records::openLines(path, kGridFileBytes, std::string(msg::kGridFileTooLarge)));
    std::string_view l;
    while (lines.next(l)) {
      const long long line = lines.number();
      if (const auto hash = l.find('#'); hash != std::string_view::npos) l = l.substr(0, hash);
      while (!l.empty() && static_cast<unsigned char>(l.front()) <= 32) l.remove_prefix(1);
      while (!l.empty() && static_cast<unsigned char>(l.back()) <= 32) l.remove_suffix(1);
      if (l.empty()) continue;
      double f = 0;
      if (!parseNumber(l, f) || !(f > 0))
        throw AppError(msg::atLine(path, line, msg::kGridFileNumber));
      if (found.size() >= kMaxGridPoints) fail(grid, msg::kGridTooLarge);
      found.emplace_back(f, line);
    }
  } catch (const IoError& e) {
    throw AppError(path + ": " + e.what());
  }
  if (found.empty()) throw AppError(path + ": " + std::string(msg::kGridFileEmpty));
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < found.size(); ++i)
    if (found[i].first == found[i - 1].first)
      throw AppError(msg::atLine(path, std::max(found[i].second, found[i - 1].second),
                                 msg::kGridFileDuplicate));
  std::vector<double> values;
  for (const auto& [f, l] : found) values.push_back(f);
  return values;
}

}  // namespace

std::vector<GridPoint> parseGrid(const std::string& text) {
  std::vector<GridPoint> grid;
  if (text == "srp") {
    for (double f : kSrpFrequencies) grid.push_back(byFrequency(f));
    return grid;
  }
  if (text == "nga") {
    for (double t : kNgaPeriods) grid.push_back(byPeriod(t));
    std::reverse(grid.begin(), grid.end());
    return grid;
  }
  if (text.rfind("file:", 0) == 0 && text.size() > 5) {
    for (double f : fromFile(text, text.substr(5))) grid.push_back(byFrequency(f));
    return grid;
  }
  const auto p = split(text, ':');
  if (p.size() != 4) fail(text, msg::kGridForms);
  if (p[0] == "log") {
    for (double f : logSpaced(text, p)) grid.push_back(byFrequency(f));
  } else if (p[0] == "periods") {
    for (double t : logSpaced(text, p)) grid.push_back(byPeriod(t));
    std::reverse(grid.begin(), grid.end());
  } else if (p[0] == "lin") {
    for (double f : linear(text, p)) grid.push_back(byFrequency(f));
  } else {
    fail(text, msg::kGridForms);
  }
  return grid;
}

}  // namespace accelspec::analysis
