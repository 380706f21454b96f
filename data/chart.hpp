// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace accelspec {

struct ChartPoint {
  double x;
  double y;
};

/// One line series of a chart. Points are kept in ascending x: a point with a smaller x goes
/// before larger ones, a point with an equal x after those already there. Adding is O(1); the
/// order is restored (a stable sort) when the points are next read, so a graph of 100000
/// points is handed to a view in one batch.
class Series {
 public:
  /// Adds (x, y) narrowed to double. Throws "Floating point overflow" when either is beyond
  /// the double range; the series is then unchanged.
  void add(long double x, long double y);
  /// As add, but a finite value beyond the double range is drawn at ±DBL_MAX instead of
  /// refused: for graphs read from files, which keep their values in full in the store.
  void addClamped(long double x, long double y);
  void clear();
  /// Replaces all points at once (used by views and tests), in the order given then sorted.
  void assign(std::vector<ChartPoint> points);
  const std::vector<ChartPoint>& points() const;
  std::size_t size() const { return points_.size(); }
  bool empty() const { return points_.empty(); }

  bool visible() const { return visible_; }
  void setVisible(bool visible);

  /// Grows with every change of points or visibility, so that a view redraws only what changed.
  std::uint64_t revision() const { return revision_; }

 private:
  mutable std::vector<ChartPoint> points_;
  mutable bool sorted_ = true;
  bool visible_ = true;
  std::uint64_t revision_ = 0;
};

/// The chart as the commands draw on it: seven line series (0 the current graph, 1 … 6 the
/// memory slots), a one-line title and a bottom axis title.
class Chart {
 public:
  static constexpr int kSeriesCount = 7;

  Series& series(int index) { return series_.at(static_cast<std::size_t>(index)); }
  const Series& series(int index) const { return series_.at(static_cast<std::size_t>(index)); }
  /// Clears series 0 to 6, in that order.
  void clearAll();

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  const std::string& bottomAxisTitle() const { return bottomAxisTitle_; }
  void setBottomAxisTitle(std::string title) { bottomAxisTitle_ = std::move(title); }

 private:
  std::array<Series, kSeriesCount> series_{};
  std::string title_;
  std::string bottomAxisTitle_;
};

}  // namespace accelspec
