// SPDX-License-Identifier: MIT
#include "data/chart.hpp"

#include <algorithm>
#include <cmath>

#include "data/fpu.hpp"

namespace accelspec {

namespace {

// NaN sorts after every number, so the order stays a strict weak ordering.
bool xLess(const ChartPoint& a, const ChartPoint& b) {
  return a.x < b.x || (!std::isnan(a.x) && std::isnan(b.x));
}

}  // namespace

void Series::add(long double x, long double y) {
  const ChartPoint p{fpu::toDouble(x), fpu::toDouble(y)};
  if (!points_.empty() && xLess(p, points_.back())) sorted_ = false;
  points_.push_back(p);
  ++revision_;
}

void Series::addClamped(long double x, long double y) {
  add(fpu::clampToDouble(x), fpu::clampToDouble(y));
}

void Series::clear() {
  points_.clear();
  sorted_ = true;
  ++revision_;
}

void Series::assign(std::vector<ChartPoint> points) {
  points_ = std::move(points);
  sorted_ = std::is_sorted(points_.begin(), points_.end(), xLess);
  ++revision_;
}

const std::vector<ChartPoint>& Series::points() const {
  if (!sorted_) {
    std::stable_sort(points_.begin(), points_.end(), xLess);
    sorted_ = true;
  }
  return points_;
}

void Series::setVisible(bool visible) {
  if (visible_ != visible) ++revision_;
  visible_ = visible;
}

void Chart::clearAll() {
  for (auto& s : series_) s.clear();
}

}  // namespace accelspec
