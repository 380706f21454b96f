// SPDX-License-Identifier: MIT
#include "app/chart_view.hpp"

#include <QChart>
#include <QLocale>
#include <QMouseEvent>
#include <QRubberBand>
#include <algorithm>
#include <cmath>

#include "app/decimate.hpp"
#include "report/report.hpp"

namespace accelspec {

namespace {

const std::array<QColor, Chart::kSeriesCount> kSeriesColors = {
    QColor(0, 0, 0),   QColor(0, 0, 0),   QColor(255, 0, 0),  QColor(0, 128, 0),
    QColor(0, 0, 128), QColor(128, 0, 0), QColor(255, 0, 128)};

QFont courier(int points) {
  QFont font;
  font.setFamilies({"Courier", "Courier New", "Nimbus Mono PS", "DejaVu Sans Mono"});
  font.setStyleHint(QFont::TypeWriter);
  font.setPointSize(points);
  return font;
}

// Thinning for display starts above four points a pixel column; a plot narrower than this many
// columns is thinned as if it were this wide.
constexpr int kMinColumns = 1000;
constexpr std::size_t kLongSeries = 4 * kMinColumns;

}  // namespace

AxisTicks axisTicks(double min, double max, double step) {
  AxisTicks ticks;
  ticks.anchor = std::ceil(min / step) * step;
  ticks.interval = step;
  const double tolerance = 1e-9 * step;
  auto onTick = [&](double v) { return std::abs(v - std::round(v / step) * step) <= tolerance; };
  const double count = std::round((max - min) / step);
  // The axis places dynamic ticks by adding the step again and again, so a tick that falls on
  // the end of the range (a 0 … 3 s record in steps of 0.2) lands a rounding error past it and
  // is dropped with its label and grid line. Fixed ticks are placed by division and always
  // include both ends: they serve whenever both ends lie on the step.
  if (onTick(min) && onTick(max) && count >= 1 && count <= 100) {
    ticks.fixedCount = static_cast<int>(count) + 1;
  } else if (onTick(max) && min >= 0) {
    // Only the end lies on the step: a step shorter by far less than a pixel over the whole
    // axis keeps the last tick inside. Not across zero, where a tick would read "1e-13".
    ticks.interval = step * (1 - 1e-12);
  }
  return ticks;
}

ChartView::ChartView(QWidget* parent) : QChartView(parent) {
  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setMargins(QMargins(4, 2, 12, 2));
  chart->setTitleFont(courier(10));
  chart->setTitleBrush(QColor(0, 0, 255));
  QLocale locale = QLocale::system();
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  chart->setLocale(locale);
  chart->setLocalizeNumbers(true);
  createAxes(*chart, parent ? parent->font() : font());
  createSeries(*chart);

  setChart(chart);
  setBackgroundBrush(Qt::white);
  setFrameStyle(QFrame::NoFrame);
  setRenderHint(QPainter::Antialiasing, false);
  setRubberBand(QChartView::NoRubberBand);
  setFocusPolicy(Qt::NoFocus);
  band_ = new QRubberBand(QRubberBand::Rectangle, viewport());
  band_->hide();
}

void ChartView::createAxes(QChart& chart, const QFont& labelFont) {
  axisX_ = new QValueAxis(&chart);
  axisY_ = new QValueAxis(&chart);
  for (QValueAxis* axis : {axisX_, axisY_}) {
    axis->setTitleFont(courier(8));
    axis->setTitleBrush(Qt::black);
    axis->setLabelsFont(labelFont);
    // "%g" gives no labels at all once numbers are localised; a precision makes it work.
    axis->setLabelFormat("%.6g");
    axis->setRange(0, 1);
  }
  axisY_->setTitleText(QStringLiteral("Значение ускорения a, м/c^2 "));
  chart.addAxis(axisX_, Qt::AlignBottom);
  chart.addAxis(axisY_, Qt::AlignLeft);
  connect(axisX_, &QValueAxis::rangeChanged, this, [this] {
    updateTicks(axisX_, 10);
    if (!fitting_) redrawLong();
  });
  connect(&chart, &QChart::plotAreaChanged, this, [this] {
    if (columns() != drawnColumns_) redrawLong();
  });
  connect(axisY_, &QValueAxis::rangeChanged, this, [this] { updateTicks(axisY_, 6); });
  updateTicks(axisX_, 10);
  updateTicks(axisY_, 6);
}

void ChartView::createSeries(QChart& chart) {
  for (int i = 0; i < Chart::kSeriesCount; ++i) {
    auto* series = new QLineSeries(&chart);
    series->setName(QStringLiteral("Series%1").arg(i + 1));
    series->setObjectName(series->name());
    chart.addSeries(series);
    series->attachAxis(axisX_);
    series->attachAxis(axisY_);
    // The theme recolours a series when it is added, so the colour comes after.
    QPen pen(kSeriesColors[static_cast<std::size_t>(i)]);
    pen.setWidth(1);
    series->setPen(pen);
    series_[static_cast<std::size_t>(i)] = series;
  }
}

void ChartView::sync(const Chart& model) {
  chart()->setTitle(QString::fromStdString(model.title()));
  axisX_->setTitleText(QString::fromStdString(model.bottomAxisTitle()));
  std::array<bool, Chart::kSeriesCount> changed{};
  for (std::size_t i = 0; i < series_.size(); ++i) {
    const Series& source = model.series(static_cast<int>(i));
    if (synced_[i] && source.revision() == revisions_[i]) continue;
    std::vector<QPointF>& all = all_[i];
    all.clear();
    all.reserve(source.size());
    Bounds b;
    for (const ChartPoint& p : source.points()) {
      // A view cannot place a point that is not finite; the model keeps it all the same.
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
      all.emplace_back(p.x, p.y);
      if (!b.any) {
        b = {p.x, p.x, p.y, p.y, true};
      } else {
        b.minX = std::min(b.minX, p.x);
        b.maxX = std::max(b.maxX, p.x);
        b.minY = std::min(b.minY, p.y);
        b.maxY = std::max(b.maxY, p.y);
      }
    }
    series_[i]->setVisible(source.visible());
    bounds_[i] = b;
    revisions_[i] = source.revision();
    synced_[i] = true;
    changed[i] = true;
  }
  if (std::find(changed.begin(), changed.end(), true) == changed.end()) return;
  // The axes first, so that each line gets its points once, for the range it will show.
  fitting_ = true;
  showWholeGraph();
  fitting_ = false;
  for (std::size_t i = 0; i < series_.size(); ++i)
    if (changed[i] || all_[i].size() > kLongSeries) draw(i);
}

int ChartView::columns() const {
  return std::max(static_cast<int>(chart()->plotArea().width()), kMinColumns);
}

void ChartView::draw(std::size_t i) {
  drawnColumns_ = columns();
  series_[i]->replace(pointsToDraw(all_[i], axisX_->min(), axisX_->max(), drawnColumns_));
}

void ChartView::redrawLong() {
  for (std::size_t i = 0; i < series_.size(); ++i)
    if (all_[i].size() > kLongSeries) draw(i);
}

void ChartView::showWholeGraph() {
  Bounds all;
  for (std::size_t i = 0; i < series_.size(); ++i) {
    const Bounds& b = bounds_[i];
    if (!b.any || !series_[i]->isVisible()) continue;
    if (!all.any) {
      all = b;
      continue;
    }
    all.minX = std::min(all.minX, b.minX);
    all.maxX = std::max(all.maxX, b.maxX);
    all.minY = std::min(all.minY, b.minY);
    all.maxY = std::max(all.maxY, b.maxY);
  }
  if (!all.any) all = {0, 1, 0, 1, true};
  // A single value still gets an axis of some length around it.
  auto widen = [](double& lo, double& hi) {
    if (lo < hi && std::isfinite(hi - lo)) return;
    const double half = lo == 0 ? 1 : std::abs(lo) / 2;
    lo -= half;
    hi += half;
  };
  widen(all.minX, all.maxX);
  widen(all.minY, all.maxY);
  axisX_->setRange(all.minX, all.maxX);
  axisY_->setRange(all.minY, all.maxY);
}

void ChartView::updateTicks(QValueAxis* axis, int targetTicks) {
  const double min = axis->min(), max = axis->max();
  const double range = max - min;
  if (!(range > 0) || !std::isfinite(range)) {
    axis->setTickType(QValueAxis::TicksFixed);
    return;
  }
  // About targetTicks pieces: the step nearest to range / targetTicks rather than above it.
  const double step = niceStep(range / targetTicks / 1.5);
  axis->setTickInterval(step);
  const AxisTicks ticks = axisTicks(min, max, step);
  if (ticks.fixedCount > 0) {
    axis->setTickType(QValueAxis::TicksFixed);
    axis->setTickCount(ticks.fixedCount);
    return;
  }
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(ticks.anchor);
  axis->setTickInterval(ticks.interval);
}

QPointF ChartView::valueAt(const QPoint& viewPos) const {
  return chart()->mapToValue(chart()->mapFromScene(mapToScene(viewPos)), series_[0]);
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QChartView::mousePressEvent(event);
  origin_ = event->position().toPoint();
  dragging_ = true;
  band_->setGeometry(QRect(origin_, QSize()));
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QChartView::mouseMoveEvent(event);
  const QPoint at = event->position().toPoint();
  // Only a drag to the lower right draws a frame: the other way round undoes the zoom.
  if (at.x() > origin_.x() && at.y() > origin_.y()) {
    band_->setGeometry(QRect(origin_, at).normalized());
    band_->show();
  } else {
    band_->hide();
  }
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return QChartView::mouseReleaseEvent(event);
  dragging_ = false;
  band_->hide();
  const QPoint at = event->position().toPoint();
  const QPoint delta = at - origin_;
  if (delta.x() < 0 && delta.y() < 0) {
    showWholeGraph();
  } else if (delta.x() > 2 && delta.y() > 2) {
    const QPointF a = valueAt(origin_);
    const QPointF b = valueAt(at);
    axisX_->setRange(std::min(a.x(), b.x()), std::max(a.x(), b.x()));
    axisY_->setRange(std::min(a.y(), b.y()), std::max(a.y(), b.y()));
  }
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QChartView::mouseDoubleClickEvent(event);
  dragging_ = false;
  band_->hide();
  showWholeGraph();
}

}  // namespace accelspec
