// SPDX-License-Identifier: MIT
#pragma once

#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>
#include <array>
#include <cstdint>
#include <vector>

#include "data/chart.hpp"

class QRubberBand;

namespace accelspec {

/// How an axis from `min` to `max` places its ticks `step` apart: fixed ticks (fixedCount > 0,
/// both ends on the step) or dynamic ones from `anchor` every `interval`. Every tick that lies
/// within the range, its ends included, gets its label and grid line.
struct AxisTicks {
  int fixedCount = 0;
  double anchor = 0, interval = 1;
};
AxisTicks axisTicks(double min, double max, double step);

/// Chart1: the Qt view of the chart model. The commands draw into the model; sync() brings the
/// view up to date after each command. Dragging a rectangle to the lower right zooms into it;
/// dragging toward the upper left, or a double click, shows the whole graph again.
/// A long series is handed to its line in one piece thinned to what the pixel columns can show
/// (first, lowest, highest and last point of each column), and thinned anew when the x range
/// or the plot's width changes: a record of 100000 noisy samples otherwise takes the line
/// half a second to lay out and a tenth of a second to paint.
class ChartView : public QChartView {
  Q_OBJECT

 public:
  explicit ChartView(QWidget* parent = nullptr);

  /// Copies titles, visibility and the points of every series whose revision changed (one
  /// replace each), then fits the axes to the visible data.
  void sync(const Chart& model);
  /// Fits both axes to the points of the visible series, undoing any zoom.
  void showWholeGraph();

  QLineSeries* lineSeries(int index) const { return series_.at(static_cast<std::size_t>(index)); }
  /// All finite points of series `index`, ascending in x, as last synchronised.
  const std::vector<QPointF>& allPoints(int index) const {
    return all_.at(static_cast<std::size_t>(index));
  }
  QValueAxis* axisX() const { return axisX_; }
  QValueAxis* axisY() const { return axisY_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  struct Bounds {
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool any = false;
  };
  void createAxes(QChart& chart, const QFont& labelFont);
  void createSeries(QChart& chart);
  QPointF valueAt(const QPoint& viewPos) const;
  void updateTicks(QValueAxis* axis, int targetTicks);
  int columns() const;
  /// Hands series i its points for the current x range, in one replace.
  void draw(std::size_t i);
  /// Draws again the series whose points are thinned by the x range or the plot width.
  void redrawLong();

  std::array<QLineSeries*, Chart::kSeriesCount> series_{};
  std::array<std::uint64_t, Chart::kSeriesCount> revisions_{};
  std::array<bool, Chart::kSeriesCount> synced_{};
  std::array<Bounds, Chart::kSeriesCount> bounds_{};
  std::array<std::vector<QPointF>, Chart::kSeriesCount> all_{};
  int drawnColumns_ = 0;
  bool fitting_ = false;
  QValueAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  QRubberBand* band_ = nullptr;
  QPoint origin_;
  bool dragging_ = false;
};

}  // namespace accelspec
