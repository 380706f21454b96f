// SPDX-License-Identifier: MIT
#include "app/decimate.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace accelspec {

QList<QPointF> pointsToDraw(const std::vector<QPointF>& points, double x0, double x1, int columns) {
  QList<QPointF> out;
  if (points.empty()) return out;
  columns = std::max(columns, 1);
  const auto below = [](const QPointF& p, double x) { return p.x() < x; };
  const auto above = [](double x, const QPointF& p) { return x < p.x(); };
  std::size_t first = static_cast<std::size_t>(
      std::lower_bound(points.begin(), points.end(), x0, below) - points.begin());
  if (first > 0) --first;
  std::size_t end = static_cast<std::size_t>(
      std::upper_bound(points.begin(), points.end(), x1, above) - points.begin());
  if (end < points.size()) ++end;
  const std::size_t count = end - first;
  const double width = (x1 - x0) / columns;
  if (count <= 4 * static_cast<std::size_t>(columns) || !(width > 0) || !std::isfinite(width)) {
    out.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = first; i < end; ++i) out.append(points[i]);
    return out;
  }
  out.reserve(4 * columns + 8);
  std::size_t i = first;
  while (i < end) {
    const double column = std::floor((points[i].x() - x0) / width);
    std::size_t j = i;
    std::size_t low = i;
    std::size_t high = i;
    while (j < end && std::floor((points[j].x() - x0) / width) == column) {
      if (points[j].y() < points[low].y()) low = j;
      if (points[j].y() > points[high].y()) high = j;
      ++j;
    }
    const std::size_t picks[] = {i, std::min(low, high), std::max(low, high), j - 1};
    std::size_t previous = end;
    for (std::size_t k : picks) {
      if (k != previous) out.append(points[k]);
      previous = k;
    }
    i = j;
  }
  return out;
}

}  // namespace accelspec
