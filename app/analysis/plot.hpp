// SPDX-License-Identifier: MIT
#pragma once

#include <QBrush>
#include <QChartView>
#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QAbstractAxis;
class QChart;
class QComboBox;
class QGraphicsSimpleTextItem;
class QLabel;
class QLineSeries;

namespace accelspec {

/// Velocity (m/s) and displacement (m) of `accel` (m/s², step dt s) from rest by the trapezoid
/// rule in extended precision, as the intensity measures integrate them, so that the plots'
/// peaks are the measures' PGV and PGD.
void motionFromRest(const std::vector<double>& accel, double dt, std::vector<double>& velocity,
                    std::vector<double>& displacement);
/// The points (t, value) of a time history of step dt s from t = 0.
std::vector<QPointF> timeHistory(const std::vector<double>& values, double dt);

/// A choice of "частота" (0) or "период" (1) along x, named `objectName`, in a row of its own
/// with its caption "Ось X:" (the combo's parent widget, made a child of `parent`).
QComboBox* axisChoice(const QString& objectName, QWidget* parent);

/// The chart view inside a Plot: it reports the mouse and each paint, and leaves the right
/// button to the plot's menu.
class PlotView : public QChartView {
  Q_OBJECT

 public:
  using QChartView::QChartView;

 signals:
  void painted();
  void hovered(QPointF scenePos);
  void menuRequested(QPoint globalPos);
  void resetRequested();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
};

/// One chart of the analysis window: named series, linear or logarithmic axes, a legend,
/// horizontal band lines and unnamed guide lines, a read-out of the values under the mouse, a
/// rubber band to zoom (double click shows everything again), and export as PNG or SVG from its
/// menu. A series of more than 5000 points is thinned for display; its points stay whole.
class Plot : public QWidget {
  Q_OBJECT

 public:
  explicit Plot(QWidget* parent = nullptr);
  ~Plot() override;

  /// Removes every series, band and guide.
  void clear();
  void setTitle(const QString& title);
  /// Axis titles and kinds. A logarithmic axis leaves out the points at or below zero.
  void setAxes(const QString& xTitle, bool xLog, const QString& yTitle, bool yLog);
  /// Adds a series (sorted by x for display) and returns its index.
  int addSeries(const QString& name, std::vector<QPointF> points, QColor color = {});
  /// Draws the series thicker than the others (a mean among its records).
  void emphasise(int index);
  /// A dashed horizontal line across the plot at `y`, named in the legend.
  void addBand(double y, const QString& name, QColor color);
  /// A thin line that is not a series of data (no legend, no read-out): grids of other units.
  /// A `written` guide carries its label along the line, inside the plot, near its right end.
  void addGuide(std::vector<QPointF> points, QColor color, const QString& label = {},
                bool written = false);
  /// Fixes the axis ranges; without it the axes fit the data of the series and bands.
  void setRanges(double x0, double x1, double y0, double y1);
  /// Lays the series onto the axes; call after a fill.
  void refresh();

  int seriesCount() const { return static_cast<int>(series_.size()); }
  const std::vector<QPointF>& points(int index) const { return data_.at(index); }
  QString seriesName(int index) const;
  /// The line as displayed (thinned when long).
  QLineSeries* line(int index) const { return series_.at(index); }
  QChart* chart() const { return chart_; }
  PlotView* view() const { return view_; }
  bool xLog() const { return xLog_; }
  bool yLog() const { return yLog_; }

  /// Replaces the read-out's text for the values under the mouse (x, y in axis units); empty
  /// brings back "x-title = x;  y-title = y".
  void setReadoutFormat(std::function<QString(QPointF)> format) {
    readoutFormat_ = std::move(format);
  }
  /// The text of the read-out for a point of the view ("" outside the plot area).
  QString readoutAt(QPoint viewPos) const;
  QString readout() const;

  /// Writes the chart as the view shows it; false when the file could not be written.
  bool exportPng(const QString& path) const;
  /// At print resolution: the layout shown, scaled to an A4 width at 300 dpi (2480 px).
  bool exportPrintPng(const QString& path) const;
  bool exportSvg(const QString& path) const;

  /// The folder the export dialog opens in, and where it tells its choice.
  void setExportFolder(std::function<QString()> get, std::function<void(const QString&)> set);

 signals:
  void painted();

 private:
  void addLine(QLineSeries* line, QColor color);
  void showMenu(QPoint globalPos);
  void exportAs(int kind);
  QImage image(QSize size) const;
  /// Writes the axes' tick labels and the guides' labels where the plot area now lies.
  void placeMarks();
  void placeAxisMarks(Qt::Orientation orientation);
  void placeGuideMark(std::size_t guide);
  QGraphicsSimpleTextItem* mark(const QString& text, const QFont& font, const QBrush& brush,
                                int kind);

  QChart* chart_ = nullptr;
  PlotView* view_ = nullptr;
  QLabel* readout_ = nullptr;
  QAbstractAxis* axisX_ = nullptr;
  QAbstractAxis* axisY_ = nullptr;
  bool xLog_ = false, yLog_ = false;
  bool fixedRanges_ = false;
  double x0_ = 0, x1_ = 1, y0_ = 0, y1_ = 1;
  std::vector<QLineSeries*> series_;
  std::vector<std::vector<QPointF>> data_;
  std::vector<QLineSeries*> bands_;
  std::vector<double> bandValues_;
  std::vector<QLineSeries*> guides_;
  std::vector<bool> guideWritten_;
  std::vector<QGraphicsSimpleTextItem*> marks_;
  QFont markFont_;
  QBrush markBrush_;
  std::function<QString(QPointF)> readoutFormat_;
  std::function<QString()> getFolder_;
  std::function<void(const QString&)> setFolder_;
};

}  // namespace accelspec
