// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QPointF>
#include <vector>

namespace accelspec {

/// The points of `points` (ascending x) that draw the same line as all of them when the x range
/// [x0, x1] spans `columns` pixel columns: in each column its first, lowest, highest and last
/// point, in their order. The nearest point on either side of the range is kept so that the line
/// runs to the edges. A range with at most four points a column comes back whole.
QList<QPointF> pointsToDraw(const std::vector<QPointF>& points, double x0, double x1, int columns);

}  // namespace accelspec
