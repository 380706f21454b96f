// SPDX-License-Identifier: MIT
#include "app/analysis/plot.hpp"

#include <QBuffer>
#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "analysis/trapezoid.hpp"
#include "app/decimate.hpp"
#include "app/error_box.hpp"
#include "data/error.hpp"
#include "files/atomic_write.hpp"

namespace accelspec {

namespace {

// Past some thousands of points a line costs the window more than its pixels show: each
// change of range lays every point out again.
constexpr std::size_t kThinAbove = 5000;
constexpr int kThinColumns = 2000;
constexpr int kPrintWidth = 2480;  // A4 width at 300 dpi

// Colours that stay apart on white and in grey print, in the order series get them.
// The records' colours: none of them black (targets), red (limits) or grey (guides), which the
// pages give their own lines. Past the eighth series the colours come round again in another
// line style, so that no two series look alike.
const QColor kColors[] = {QColor(31, 119, 180),  QColor(255, 127, 14), QColor(44, 160, 44),
                          QColor(148, 103, 189), QColor(140, 86, 75),  QColor(227, 119, 194),
                          QColor(188, 189, 34),  QColor(23, 190, 207)};
const Qt::PenStyle kStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                Qt::DashDotDotLine};

bool usable(const QPointF& p, bool xLog, bool yLog) {
  return std::isfinite(p.x()) && std::isfinite(p.y()) && (!xLog || p.x() > 0) &&
         (!yLog || p.y() > 0);
}

// A range that shows [lo, hi] with round ends; a logarithmic one from power to power of ten.
void roundRange(double& lo, double& hi, bool log) {
  if (log) {
    lo = std::pow(10.0, std::floor(std::log10(lo) + 1e-9));
    hi = std::pow(10.0, std::ceil(std::log10(hi) - 1e-9));
    if (hi <= lo) hi = lo * 10;
    return;
  }
  if (hi <= lo) {
    const double pad = lo == 0 ? 1 : std::abs(lo) * 0.1;
    lo -= pad;
    hi += pad;
  }
}

QAbstractAxis* makeAxis(const QString& title, bool log) {
  QAbstractAxis* axis = nullptr;
  if (log) {
    auto* l = new QLogValueAxis;
    l->setBase(10);
    l->setLabelFormat(QStringLiteral("%g"));
    l->setMinorTickCount(8);
    axis = l;
  } else {
    auto* v = new QValueAxis;
    v->setLabelFormat(QStringLiteral("%g"));
    axis = v;
  }
  axis->setTitleText(title);
  return axis;
}

QString number(double v) { return QString::number(v, 'g', 5); }

// The text of a linear tick at `v`, ticks being `step` apart: rounded to a thousandth of the
// step, so that a sum of steps that misses zero or a round value by its last bits reads as that
// value ("0", not "2.77556e-17" or "-0").
QString linearTick(double v, double step) {
  const double unit = std::pow(10.0, std::floor(std::log10(step)) - 3);
  v = std::round(v / unit) * unit;
  if (v == 0) v = 0;  // no negative zero
  return QString::number(v, 'g', 12);
}

struct Tick {
  double value;
  QString text;
  int rank;  // the lower, the sooner it is placed when labels would overlap
};

// A logarithmic axis's labels at 1, 2 and 5 in each decade of [lo, hi], the decades first and
// the lowest value of the axis always among them.
std::vector<Tick> logTicks(double lo, double hi) {
  std::vector<Tick> ticks;
  const double tolerance = 1e-9;
  bool lowest = false;
  for (int e = static_cast<int>(std::floor(std::log10(lo))) - 1;
       e <= static_cast<int>(std::ceil(std::log10(hi))); ++e)
    for (int m : {1, 2, 5}) {
      const double v = m * std::pow(10.0, e);
      if (v < lo * (1 - tolerance) || v > hi * (1 + tolerance)) continue;
      lowest = lowest || v <= lo * (1 + tolerance);
      ticks.push_back({v, QString::number(v, 'g', 6), m == 1 ? 1 : m == 5 ? 2 : 3});
    }
  if (!lowest) ticks.push_back({lo, QString::number(lo, 'g', 4), 0});
  return ticks;
}

enum MarkKind { kTickMark = 1, kGuideMark = 2 };

}  // namespace

void motionFromRest(const std::vector<double>& accel, double dt, std::vector<double>& velocity,
                    std::vector<double>& displacement) {
  velocity.assign(accel.size(), 0);
  displacement.assign(accel.size(), 0);
  analysis::Trapezoid motion;
  for (std::size_t i = 1; i < accel.size(); ++i) {
    motion.step(accel[i - 1], accel[i], dt);
    velocity[i] = static_cast<double>(motion.velocity);
    displacement[i] = static_cast<double>(motion.displacement);
  }
}

std::vector<QPointF> timeHistory(const std::vector<double>& values, double dt) {
  std::vector<QPointF> points(values.size());
  for (std::size_t i = 0; i < values.size(); ++i)
    points[i] = QPointF(static_cast<double>(static_cast<long double>(i) * dt), values[i]);
  return points;
}

QComboBox* axisChoice(const QString& objectName, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(4, 0, 4, 0);
  layout->addWidget(new QLabel(QString::fromUtf8("Ось X:"), row));
  auto* combo = new QComboBox(row);
  combo->setObjectName(objectName);
  combo->addItems({QString::fromUtf8("частота"), QString::fromUtf8("период")});
  layout->addWidget(combo);
  return combo;
}

void PlotView::paintEvent(QPaintEvent* event) {
  QChartView::paintEvent(event);
  emit painted();
}

void PlotView::mouseMoveEvent(QMouseEvent* event) {
  emit hovered(event->position());
  QChartView::mouseMoveEvent(event);
}

void PlotView::mouseReleaseEvent(QMouseEvent* event) {
  // The right button opens the menu; the view would otherwise zoom out on it.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
}

void PlotView::mouseDoubleClickEvent(QMouseEvent* event) {
  emit resetRequested();
  event->accept();
}

void PlotView::contextMenuEvent(QContextMenuEvent* event) {
  emit menuRequested(event->globalPos());
  event->accept();
}

Plot::Plot(QWidget* parent) : QWidget(parent) {
  chart_ = new QChart;
  chart_->legend()->setAlignment(Qt::AlignRight);
  chart_->setMargins(QMargins(4, 4, 4, 4));
  view_ = new PlotView(chart_, this);
  view_->setObjectName(QStringLiteral("PlotView"));
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setRubberBand(QChartView::RectangleRubberBand);
  view_->setMouseTracking(true);
  readout_ = new QLabel(this);
  readout_->setObjectName(QStringLiteral("PlotReadout"));
  readout_->setMinimumHeight(readout_->fontMetrics().height());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(view_, 1);
  layout->addWidget(readout_);
  setAxes({}, false, {}, false);
  connect(view_, &PlotView::painted, this, &Plot::painted);
  connect(view_, &PlotView::hovered, this,
          [this](QPointF pos) { readout_->setText(readoutAt(pos.toPoint())); });
  connect(view_, &PlotView::menuRequested, this, &Plot::showMenu);
  connect(view_, &PlotView::resetRequested, this, &Plot::refresh);
  connect(chart_, &QChart::plotAreaChanged, this, &Plot::placeMarks);
}

Plot::~Plot() {
  // The chart and its axes go after this object's part of it: they must not call back.
  chart_->disconnect(this);
  for (QAbstractAxis* axis : chart_->axes()) axis->disconnect(this);
}

void Plot::clear() {
  for (auto* list : {&series_, &bands_, &guides_}) {
    for (QLineSeries* s : *list) {
      chart_->removeSeries(s);
      delete s;
    }
    list->clear();
  }
  data_.clear();
  bandValues_.clear();
  guideWritten_.clear();
  fixedRanges_ = false;
  readout_->clear();
  placeMarks();
}

void Plot::setTitle(const QString& title) { chart_->setTitle(title); }

void Plot::setAxes(const QString& xTitle, bool xLog, const QString& yTitle, bool yLog) {
  for (QAbstractAxis* axis : chart_->axes()) {
    chart_->removeAxis(axis);
    delete axis;
  }
  xLog_ = xLog;
  yLog_ = yLog;
  axisX_ = makeAxis(xTitle, xLog);
  axisY_ = makeAxis(yTitle, yLog);
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);
  // The axes keep their own labels, unseen, for the room they take; the plot writes the labels
  // (placeMarks), since the axes would write a sum of steps as "2.77556e-17" or "-0" and a
  // logarithmic one only the powers of ten.
  markFont_ = axisX_->labelsFont();
  markBrush_ = axisX_->labelsBrush();
  for (QAbstractAxis* axis : {axisX_, axisY_}) {
    axis->setLabelsBrush(QBrush(Qt::transparent));
    if (auto* v = qobject_cast<QValueAxis*>(axis))
      connect(v, &QValueAxis::rangeChanged, this, &Plot::placeMarks);
    else if (auto* l = qobject_cast<QLogValueAxis*>(axis))
      connect(l, &QLogValueAxis::rangeChanged, this, &Plot::placeMarks);
  }
  for (QAbstractSeries* s : chart_->series()) {
    s->attachAxis(axisX_);
    s->attachAxis(axisY_);
  }
}

void Plot::addLine(QLineSeries* line, QColor color) {
  chart_->addSeries(line);
  line->attachAxis(axisX_);
  line->attachAxis(axisY_);
  // After adding: the chart's theme recolours a series it takes.
  QPen pen = line->pen();
  pen.setColor(color);
  line->setPen(pen);
}

int Plot::addSeries(const QString& name, std::vector<QPointF> points, QColor color) {
  std::stable_sort(points.begin(), points.end(),
                   [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
  auto* line = new QLineSeries;
  line->setName(name);
  const std::size_t index = series_.size();
  const bool own = !color.isValid();
  if (own) color = kColors[index % std::size(kColors)];
  addLine(line, color);
  QPen pen = line->pen();
  pen.setWidthF(1.5);
  if (own) pen.setStyle(kStyles[index / std::size(kColors) % std::size(kStyles)]);
  line->setPen(pen);
  series_.push_back(line);
  data_.push_back(std::move(points));
  return static_cast<int>(index);
}

void Plot::addBand(double y, const QString& name, QColor color) {
  auto* line = new QLineSeries;
  line->setName(name);
  addLine(line, color);
  QPen pen = line->pen();
  pen.setStyle(Qt::DashLine);
  pen.setWidthF(1.2);
  line->setPen(pen);
  bands_.push_back(line);
  bandValues_.push_back(y);
}

void Plot::addGuide(std::vector<QPointF> points, QColor color, const QString& label, bool written) {
  auto* line = new QLineSeries;
  line->setName(label);
  addLine(line, color);
  QPen pen = line->pen();
  pen.setWidthF(0.6);
  line->setPen(pen);
  QList<QPointF> shown;
  for (const QPointF& p : points)
    if (usable(p, xLog_, yLog_)) shown.append(p);
  line->replace(shown);
  for (QLegendMarker* marker : chart_->legend()->markers(line)) marker->setVisible(false);
  guides_.push_back(line);
  guideWritten_.push_back(written);
}

void Plot::setRanges(double x0, double x1, double y0, double y1) {
  fixedRanges_ = true;
  x0_ = x0;
  x1_ = x1;
  y0_ = y0;
  y1_ = y1;
}

void Plot::refresh() {
  double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, y0 = x0, y1 = -x0;
  std::vector<QList<QPointF>> shown(series_.size());
  for (std::size_t i = 0; i < series_.size(); ++i) {
    std::vector<QPointF> usablePoints;
    usablePoints.reserve(data_[i].size());
    for (const QPointF& p : data_[i]) {
      if (!usable(p, xLog_, yLog_)) continue;
      usablePoints.push_back(p);
      x0 = std::min(x0, p.x());
      x1 = std::max(x1, p.x());
      y0 = std::min(y0, p.y());
      y1 = std::max(y1, p.y());
    }
    if (usablePoints.size() > kThinAbove && x1 > x0) {
      shown[i] = pointsToDraw(usablePoints, usablePoints.front().x(), usablePoints.back().x(),
                              kThinColumns);
    } else {
      shown[i] = QList<QPointF>(usablePoints.begin(), usablePoints.end());
    }
  }
  for (double y : bandValues_) {
    if (yLog_ && !(y > 0)) continue;
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
  if (!(x0 <= x1)) x0 = xLog_ ? 0.1 : 0, x1 = xLog_ ? 10 : 1;
  if (!(y0 <= y1)) y0 = yLog_ ? 0.1 : 0, y1 = yLog_ ? 10 : 1;
  if (!yLog_) {
    // Room above and below the lines, so that a peak does not touch the frame.
    // A curve that never goes below zero keeps zero as its floor.
    const double pad = (y1 - y0) * 0.05;
    y0 = y0 >= 0 ? std::max(0.0, y0 - pad) : y0 - pad;
    y1 += pad;
  }
  roundRange(x0, x1, xLog_);
  roundRange(y0, y1, yLog_);
  if (fixedRanges_) x0 = x0_, x1 = x1_, y0 = y0_, y1 = y1_;
  // The axes first: each change of range lays out every point of every series again.
  for (QLineSeries* line : series_) line->clear();
  axisX_->setRange(x0, x1);
  axisY_->setRange(y0, y1);
  for (auto [axis, log] : {std::pair{axisX_, xLog_}, std::pair{axisY_, yLog_}})
    if (!log) static_cast<QValueAxis*>(axis)->applyNiceNumbers();
  for (std::size_t i = 0; i < series_.size(); ++i) series_[i]->replace(shown[i]);
  for (std::size_t i = 0; i < bands_.size(); ++i)
    bands_[i]->replace(QList<QPointF>{{x0, bandValues_[i]}, {x1, bandValues_[i]}});
  placeMarks();
}

QGraphicsSimpleTextItem* Plot::mark(const QString& text, const QFont& font, const QBrush& brush,
                                    int kind) {
  auto* item = new QGraphicsSimpleTextItem(text, chart_);
  item->setFont(font);
  item->setBrush(brush);
  item->setData(0, kind);
  item->setZValue(10);
  marks_.push_back(item);
  return item;
}

void Plot::placeMarks() {
  for (QGraphicsSimpleTextItem* item : marks_) delete item;
  marks_.clear();
  if (!axisX_ || !axisY_ || chart_->plotArea().isEmpty()) return;
  placeAxisMarks(Qt::Horizontal);
  placeAxisMarks(Qt::Vertical);
  for (std::size_t i = 0; i < guides_.size(); ++i)
    if (guideWritten_[i]) placeGuideMark(i);
}

namespace {

// Where `v` lies along an axis from `lo` to `hi`, 0 to 1.
double fraction(double v, double lo, double hi, bool log) {
  return log ? (std::log10(v) - std::log10(lo)) / (std::log10(hi) - std::log10(lo))
             : (v - lo) / (hi - lo);
}

void axisRange(QAbstractAxis* axis, double& lo, double& hi) {
  if (auto* l = qobject_cast<QLogValueAxis*>(axis)) {
    lo = l->min();
    hi = l->max();
  } else {
    auto* v = static_cast<QValueAxis*>(axis);
    lo = v->min();
    hi = v->max();
  }
}

}  // namespace

void Plot::placeAxisMarks(Qt::Orientation orientation) {
  const bool horizontal = orientation == Qt::Horizontal;
  QAbstractAxis* axis = horizontal ? axisX_ : axisY_;
  const bool log = horizontal ? xLog_ : yLog_;
  double lo = 0, hi = 0;
  axisRange(axis, lo, hi);
  if (!(hi > lo) || (log && !(lo > 0)) || !std::isfinite(hi)) return;
  std::vector<Tick> ticks;
  if (log) {
    ticks = logTicks(lo, hi);
  } else {
    // The axis's own ticks: after a fill its nice numbers, after a zoom its even division.
    const int count = std::max(2, static_cast<QValueAxis*>(axis)->tickCount());
    const double step = (hi - lo) / (count - 1);
    for (int i = 0; i < count; ++i)
      ticks.push_back({lo + i * step, linearTick(lo + i * step, step), 1});
  }
  std::stable_sort(ticks.begin(), ticks.end(),
                   [](const Tick& a, const Tick& b) { return a.rank < b.rank; });
  const QRectF area = chart_->plotArea();
  std::vector<QRectF> taken;
  for (const Tick& t : ticks) {
    const double f = fraction(t.value, lo, hi, log);
    auto* item = mark(t.text, markFont_, markBrush_, kTickMark);
    const QSizeF size = item->boundingRect().size();
    const QPointF at =
        horizontal ? QPointF(area.left() + f * area.width() - size.width() / 2, area.bottom() + 5)
                   : QPointF(area.left() - 7 - size.width(),
                             area.bottom() - f * area.height() - size.height() / 2);
    const QRectF room = QRectF(at, size).adjusted(-4, -1, 4, 1);
    if (std::any_of(taken.begin(), taken.end(),
                    [&](const QRectF& r) { return r.intersects(room); })) {
      marks_.pop_back();
      delete item;
      continue;
    }
    item->setPos(at);
    taken.push_back(room);
  }
}

void Plot::placeGuideMark(std::size_t guide) {
  const QList<QPointF> points = guides_[guide]->points();
  if (points.size() < 2) return;
  double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  axisRange(axisX_, x0, x1);
  axisRange(axisY_, y0, y1);
  const QRectF area = chart_->plotArea();
  auto at = [&](const QPointF& v) {
    return QPointF(area.left() + fraction(v.x(), x0, x1, xLog_) * area.width(),
                   area.bottom() - fraction(v.y(), y0, y1, yLog_) * area.height());
  };
  // The line from its first to its last point, clipped to the plot area (Liang–Barsky).
  const QPointF a = at(points.front()), b = at(points.back());
  const QPointF d = b - a;
  double t0 = 0, t1 = 1;
  const double p[] = {-d.x(), d.x(), -d.y(), d.y()};
  const double q[] = {a.x() - area.left(), area.right() - a.x(), a.y() - area.top(),
                      area.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, r);
    else
      t1 = std::min(t1, r);
  }
  if (!(t0 < t1) || !std::isfinite(t0) || !std::isfinite(t1)) return;
  // The label ends near the line's right end inside the area, written along it and above it.
  const QPointF end = a + d * (t0 + 0.92 * (t1 - t0));
  const double angle = std::atan2(d.y(), d.x()) * 180 / std::numbers::pi;
  auto* item = mark(guides_[guide]->name(), markFont_, guides_[guide]->pen().color(), kGuideMark);
  const QRectF box = item->boundingRect();
  item->setTransform(QTransform().rotate(angle).translate(-box.width(), -box.height()));
  item->setPos(end);
  if (!area.contains(item->mapToParent(box).boundingRect()) ||
      std::hypot(d.x(), d.y()) * (t1 - t0) < box.width() * 1.2) {
    marks_.pop_back();
    delete item;
  }
}

void Plot::emphasise(int index) {
  QLineSeries* line = series_.at(static_cast<std::size_t>(index));
  QPen pen = line->pen();
  pen.setWidthF(3.0);
  line->setPen(pen);
}

QString Plot::seriesName(int index) const { return series_.at(index)->name(); }

QString Plot::readoutAt(QPoint viewPos) const {
  const QPointF scenePos = view_->mapToScene(viewPos);
  const QPointF chartPos = chart_->mapFromScene(scenePos);
  if (!chart_->plotArea().contains(chartPos)) return {};
  QAbstractSeries* anchor = nullptr;
  if (!series_.empty()) {
    anchor = series_.front();
  } else if (!bands_.empty()) {
    anchor = bands_.front();
  }
  if (!anchor) return {};
  const QPointF value = chart_->mapToValue(chartPos, anchor);
  if (readoutFormat_) return readoutFormat_(value);
  const QString xTitle = axisX_->titleText(), yTitle = axisY_->titleText();
  return QStringLiteral("%1 = %2;  %3 = %4")
      .arg(xTitle.isEmpty() ? QStringLiteral("x") : xTitle, number(value.x()),
           yTitle.isEmpty() ? QStringLiteral("y") : yTitle, number(value.y()));
}

QString Plot::readout() const { return readout_->text(); }

QImage Plot::image(QSize size) const {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // The scene as laid out in the view, scaled: a print keeps the proportions shown on screen.
  view_->scene()->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)),
                         QRectF(QPointF(0, 0), QSizeF(view_->size())));
  return image;
}

namespace {

// Every picture is saved as every other file of the program (replaceFile): complete or not at
// all, under the name's own bytes, and through a link in a shared folder only as the kernel's
// fs.protected_symlinks rule allows.
bool saveBytes(const QByteArray& bytes, const QString& path) {
  try {
    replaceFile(QFile::encodeName(path).toStdString(),
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return true;
  } catch (const AppError&) {
    return false;
  }
}

bool savePng(const QImage& image, const QString& path) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  return image.save(&buffer, "PNG") && saveBytes(buffer.data(), path);
}

}  // namespace

bool Plot::exportPng(const QString& path) const {
  QImage shot = image(view_->size());
  shot.setDotsPerMeterX(3780);  // 96 dpi
  shot.setDotsPerMeterY(3780);
  return savePng(shot, path);
}

bool Plot::exportPrintPng(const QString& path) const {
  const QSize shown = view_->size();
  if (shown.isEmpty()) return false;
  const int height = static_cast<int>(
      std::lround(double(kPrintWidth) * shown.height() / std::max(1, shown.width())));
  QImage shot = image(QSize(kPrintWidth, std::max(1, height)));
  shot.setDotsPerMeterX(11811);  // 300 dpi
  shot.setDotsPerMeterY(11811);
  return savePng(shot, path);
}

bool Plot::exportSvg(const QString& path) const {
  const QSize size = view_->size();
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setTitle(chart_->title());
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  view_->scene()->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)),
                         QRectF(QPointF(0, 0), QSizeF(size)));
  painter.end();
  return !buffer.data().isEmpty() && saveBytes(buffer.data(), path);
}

void Plot::setExportFolder(std::function<QString()> get, std::function<void(const QString&)> set) {
  getFolder_ = std::move(get);
  setFolder_ = std::move(set);
}

void Plot::showMenu(QPoint globalPos) {
  QMenu menu(this);
  menu.addAction(QString::fromUtf8("Сохранить как PNG…"), this, [this] { exportAs(0); });
  menu.addAction(QString::fromUtf8("Сохранить как PNG для печати (300 dpi)…"), this,
                 [this] { exportAs(1); });
  menu.addAction(QString::fromUtf8("Сохранить как SVG…"), this, [this] { exportAs(2); });
  menu.addSeparator();
  menu.addAction(QString::fromUtf8("Показать всё"), this, &Plot::refresh);
  menu.exec(globalPos);
}

void Plot::exportAs(int kind) {
  const bool svg = kind == 2;
  const QString folder = getFolder_ ? getFolder_() : QString();
  const QString filter =
      svg ? QString::fromUtf8("Рисунок SVG (*.svg)") : QString::fromUtf8("Рисунок PNG (*.png)");
  QString path = QFileDialog::getSaveFileName(this, QString::fromUtf8("Сохранить график"), folder,
                                              filter, nullptr, QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) return;
  const QString suffix = svg ? QStringLiteral("svg") : QStringLiteral("png");
  if (QFileInfo(path).suffix().isEmpty()) path += QLatin1Char('.') + suffix;
  if (setFolder_) setFolder_(QFileInfo(path).absolutePath());
  const bool written = kind == 0   ? exportPng(path)
                       : kind == 1 ? exportPrintPng(path)
                                   : exportSvg(path);
  if (!written)
    showErrorBox(this, QString::fromUtf8("Не удалось записать файл %1").arg(path).toStdString());
}

}  // namespace accelspec
