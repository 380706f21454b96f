// SPDX-License-Identifier: MIT
#include "app/treport.hpp"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/error_box.hpp"
#include "app/qt_text.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"

namespace accelspec {

namespace {

namespace L = layout;

// Fonts by the names the page asks for, then metric-compatible and common stand-ins.
QFont courierFont(double pointSize) {
  QFont font;
  font.setFamilies({"Courier", "Courier New", "Nimbus Mono PS", "Liberation Mono", "FreeMono",
                    "DejaVu Sans Mono"});
  font.setStyleHint(QFont::TypeWriter);
  font.setPointSizeF(pointSize);
  return font;
}

QFont arialFont(double pointSize) {
  QFont font;
  font.setFamilies(
      {"Arial", "Liberation Sans", "Nimbus Sans", "Helvetica", "FreeSans", "DejaVu Sans"});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(pointSize);
  return font;
}

// Chart fonts are given in screen pixels; on paper they keep their size relative to the frame.
double pixelsToPoints(double pixels) { return pixels * L::kMmPerScreenPixel / L::kMmPerPoint; }

/// Millimetres on the page to the painter's device units.
class PageMapper {
 public:
  explicit PageMapper(const QPaintDevice& device)
      : sx_(device.logicalDpiX() / 25.4), sy_(device.logicalDpiY() / 25.4) {}

  double x(double mm) const { return mm * sx_; }
  double y(double mm) const { return mm * sy_; }
  double w(double mm) const { return mm * sx_; }
  double h(double mm) const { return mm * sy_; }
  QRectF rect(const RectMm& r) const { return {x(r.left), y(r.top), w(r.width), h(r.height)}; }
  double toMmX(double units) const { return units / sx_; }
  double toMmY(double units) const { return units / sy_; }

 private:
  double sx_, sy_;
};

QPen mmPen(const PageMapper& m, const QColor& color, double widthMm,
           Qt::PenStyle style = Qt::SolidLine) {
  QPen pen(color, m.w(widthMm), style, Qt::FlatCap, Qt::MiterJoin);
  return pen;
}

// The group separator of the user's locale, unless it would read as the decimal separator.
QString groupSeparatorFor(char decimalSeparator) {
  const QString group = QLocale::system().groupSeparator();
  if (group.isEmpty() || group == QChar(decimalSeparator)) {
    return decimalSeparator == ',' ? QStringLiteral("\u00a0") : QStringLiteral(",");
  }
  return group;
}

/// QRDBChart: a white chart with a title, two titled axes with labelled ticks and a dotted grid,
/// and one black line through the points in ascending x.
class ChartPainter {
 public:
  ChartPainter(QPainter& painter, const PageMapper& m, const ReportPage& page)
      : p_(painter),
        m_(m),
        page_(page),
        titleFont_(courierFont(pixelsToPoints(13))),
        axisFont_(courierFont(pixelsToPoints(11))),
        axisMetrics_(axisFont_, painter.device()),
        axisH_(m.toMmY(axisMetrics_.height())) {}

  void paint(const RectMm& frame) {
    p_.fillRect(m_.rect(frame), Qt::white);
    const double titleBottom = paintTitle(frame);
    findExtent();
    placePlot(frame, titleBottom);
    paintGrid();
    paintAxes();
    paintAxisTitles(frame);
    paintLine();
  }

 private:
  static constexpr double kTick = 1.2, kGap = 1.0;

  // The title, one line, centred at the top; returns its bottom (mm).
  double paintTitle(const RectMm& frame) {
    const QFontMetricsF titleMetrics(titleFont_, p_.device());
    const RectMm titleBox{frame.left, frame.top + 1.5, frame.width,
                          m_.toMmY(titleMetrics.height())};
    p_.setFont(titleFont_);
    p_.setPen(Qt::black);
    p_.drawText(m_.rect(titleBox), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                qs(page_.chartTitle));
    return titleBox.bottom();
  }

  // The data extent, finite points only (infinite bounds when there is none).
  void findExtent() {
    for (const ChartPoint& pt : page_.series.points()) {
      if (!std::isfinite(pt.x) || !std::isfinite(pt.y)) continue;
      xLo_ = std::min(xLo_, pt.x);
      xHi_ = std::max(xHi_, pt.x);
      yLo_ = std::min(yLo_, pt.y);
      yHi_ = std::max(yHi_, pt.y);
    }
  }

  // The scales, their labels and the plot rectangle that leaves room for them.
  void placePlot(const RectMm& frame, double titleBottom) {
    const char sep = page_.decimalSeparator;
    const std::string group = groupSeparatorFor(sep).toStdString();
    // Vertical room: title on top; ticks, labels and the axis title below the plot, ending
    // clear of the number columns that start 2.35 mm above the frame's bottom edge.
    const double plotTop = titleBottom + 3.0;
    const double plotBottom = frame.bottom() - 3.5 - axisH_ - kGap - axisH_ - kGap - kTick;

    const int leftTicks = std::max(2, static_cast<int>((plotBottom - plotTop) / (axisH_ * 2.2)));
    yScale_ = niceScale(yLo_, yHi_, leftTicks);
    for (double v : yScale_.ticks) {
      yLabels_.push_back(qs(axisLabelText(v, 6, sep, group)));
      yLabelW_ = std::max(yLabelW_, m_.toMmX(axisMetrics_.horizontalAdvance(yLabels_.back())));
    }
    const double leftOfLabels = frame.left + 2.0 + axisH_ + kGap + yLabelW_ + kGap + kTick;
    double plotLeft = leftOfLabels;
    double plotRight = frame.right() - 6.0;

    // As many bottom labels as fit side by side with some air between them; the outer labels,
    // centred on the plot's edges, stay inside the frame.
    for (int wanted = 12; wanted >= 1; --wanted) {
      xScale_ = niceScale(xLo_, xHi_, wanted);
      xLabels_.clear();
      double widest = 0;
      for (double v : xScale_.ticks) {
        xLabels_.push_back(qs(axisLabelText(v, 3, sep, group)));
        widest = std::max(widest, m_.toMmX(axisMetrics_.horizontalAdvance(xLabels_.back())));
      }
      const double firstHalf = m_.toMmX(axisMetrics_.horizontalAdvance(xLabels_.front())) / 2;
      const double lastHalf = m_.toMmX(axisMetrics_.horizontalAdvance(xLabels_.back())) / 2;
      plotLeft = std::max(leftOfLabels, frame.left + firstHalf + 1.0);
      plotRight = frame.right() - std::max(6.0, lastHalf + 1.0);
      if (static_cast<double>(xScale_.ticks.size()) * (widest + 3.0) <= plotRight - plotLeft) break;
    }
    plot_ = {plotLeft, plotTop, plotRight - plotLeft, plotBottom - plotTop};
    plotRect_ = m_.rect(plot_);
  }

  double mapX(double v) const {
    return m_.x(plot_.left + (v - xScale_.min) / (xScale_.max - xScale_.min) * plot_.width);
  }
  double mapY(double v) const {
    return m_.y(plot_.bottom() - (v - yScale_.min) / (yScale_.max - yScale_.min) * plot_.height);
  }

  // The back wall: white, a dotted grid line at every label.
  void paintGrid() {
    p_.fillRect(plotRect_, Qt::white);
    p_.setPen(mmPen(m_, QColor(150, 150, 150), 0.15, Qt::DotLine));
    for (double v : xScale_.ticks)
      p_.drawLine(QPointF(mapX(v), plotRect_.top()), QPointF(mapX(v), plotRect_.bottom()));
    for (double v : yScale_.ticks)
      p_.drawLine(QPointF(plotRect_.left(), mapY(v)), QPointF(plotRect_.right(), mapY(v)));
  }

  // The frame of the plot, the ticks and their labels.
  void paintAxes() {
    p_.setPen(mmPen(m_, Qt::black, 0.25));
    p_.drawRect(plotRect_);
    p_.setFont(axisFont_);
    for (std::size_t i = 0; i < yScale_.ticks.size(); ++i) {
      const double yy = mapY(yScale_.ticks[i]);
      p_.drawLine(QPointF(plotRect_.left() - m_.w(kTick), yy), QPointF(plotRect_.left(), yy));
      const QRectF box(m_.x(plot_.left - kTick - kGap - yLabelW_ - 1.0), yy - m_.h(axisH_),
                       m_.w(yLabelW_ + 1.0), m_.h(2 * axisH_));
      p_.drawText(box, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, yLabels_[i]);
    }
    for (std::size_t i = 0; i < xScale_.ticks.size(); ++i) {
      const double xx = mapX(xScale_.ticks[i]);
      p_.drawLine(QPointF(xx, plotRect_.bottom()), QPointF(xx, plotRect_.bottom() + m_.h(kTick)));
      const QRectF box(xx - m_.w(60), m_.y(plot_.bottom() + kTick + kGap), m_.w(120), m_.h(axisH_));
      p_.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, xLabels_[i]);
    }
  }

  void paintAxisTitles(const RectMm& frame) {
    const RectMm bottomTitle{plot_.left, plot_.bottom() + kTick + kGap + axisH_ + kGap, plot_.width,
                             axisH_};
    p_.drawText(m_.rect(bottomTitle), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                qs(msg::kAxisFrequency));
    p_.save();
    p_.translate(m_.x(frame.left + 2.0), m_.y(plot_.bottom()));
    p_.rotate(-90);
    p_.drawText(QRectF(0, 0, m_.h(plot_.height), m_.w(axisH_)),
                Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                qs(msg::kReportAxisAcceleration));
    p_.restore();
  }

  // The line through the points; a non-finite point breaks it.
  void paintLine() {
    const auto& points = page_.series.points();
    p_.save();
    p_.setClipRect(plotRect_);
    QPen line = mmPen(m_, Qt::black, 0.3);
    line.setCapStyle(Qt::RoundCap);
    line.setJoinStyle(Qt::RoundJoin);
    p_.setPen(line);
    QPainterPath path;
    bool open = false;
    for (const ChartPoint& pt : points) {
      if (!std::isfinite(pt.x) || !std::isfinite(pt.y)) {
        open = false;
        continue;
      }
      const QPointF q(mapX(pt.x), mapY(pt.y));
      if (open) {
        path.lineTo(q);
      } else {
        path.moveTo(q);
        open = true;
      }
    }
    p_.drawPath(path);
    if (points.size() == 1) p_.drawPoint(QPointF(mapX(points[0].x), mapY(points[0].y)));
    p_.restore();
  }

  QPainter& p_;
  const PageMapper& m_;
  const ReportPage& page_;
  const QFont titleFont_, axisFont_;
  const QFontMetricsF axisMetrics_;
  const double axisH_;
  double xLo_ = INFINITY, xHi_ = -INFINITY, yLo_ = INFINITY, yHi_ = -INFINITY;
  AxisScale xScale_, yScale_;
  std::vector<QString> xLabels_, yLabels_;
  double yLabelW_ = 0;
  RectMm plot_{};
  QRectF plotRect_;
};

// A text column: one line per entry from the top, as many whole lines as its height holds.
// An entry wider than the column runs on to the right up to `clipRight` (mm on the page).
void paintMemo(QPainter& p, const PageMapper& m, const RectMm& box, double clipRight,
               const std::vector<std::string>& lines) {
  const int shown = std::min<long long>(static_cast<long long>(lines.size()),
                                        linesThatFit(box.height, L::kMemoLineHeight));
  p.save();
  p.fillRect(m.rect(box), Qt::white);
  p.setClipRect(m.rect({box.left, box.top, clipRight - box.left, box.height}));
  p.setFont(arialFont(10));
  p.setPen(Qt::black);
  for (int i = 0; i < shown; ++i) {
    const RectMm lineBox{box.left, box.top + i * L::kMemoLineHeight, clipRight - box.left,
                         L::kMemoLineHeight};
    p.drawText(m.rect(lineBox), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
               qs(lines[static_cast<std::size_t>(i)]));
  }
  p.restore();
}

QPageLayout a4Layout() {
  return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                     QPageLayout::Millimeter);
}

/// The preview window: the page, zoom, print and export to PDF. Deletes itself when closed.
class PreviewWindow : public QWidget {
 public:
  PreviewWindow(TReport& report, QWidget* owner)
      : QWidget(owner, Qt::Window), report_(report), printer_(QPrinter::HighResolution) {
    setObjectName("ReportPreview");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::NonModal);
    setWindowTitle(qs(msg::kPreviewCaption));
    printer_.setFullPage(true);
    printer_.setPageLayout(a4Layout());

    auto* bar = new QToolBar(this);
    bar->setObjectName("ReportPreviewToolBar");
    preview_ = new QPrintPreviewWidget(&printer_, this);
    preview_->setObjectName("ReportPreviewPage");
    connect(preview_, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter* printer) { report_.render(*printer); });

    addAction(bar, "ReportPrint", msg::kPreviewPrint, [this] { print(); });
    addAction(bar, "ReportExportPdf", msg::kPreviewExportPdf, [this] { exportPdf(); });
    bar->addSeparator();
    addAction(bar, "ReportFitPage", msg::kPreviewFitPage, [this] { preview_->fitInView(); });
    addAction(bar, "ReportFitWidth", msg::kPreviewFitWidth, [this] { preview_->fitToWidth(); });
    addAction(bar, "ReportZoomIn", msg::kPreviewZoomIn, [this] { preview_->zoomIn(); });
    addAction(bar, "ReportZoomOut", msg::kPreviewZoomOut, [this] { preview_->zoomOut(); });
    bar->addSeparator();
    addAction(bar, "ReportClose", msg::kPreviewClose, [this] { close(); });

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(bar);
    box->addWidget(preview_, 1);
    resize(820, 960);
  }

 private:
  template <typename F>
  void addAction(QToolBar* bar, const char* name, std::string_view text, F&& slot) {
    QAction* action = bar->addAction(qs(text));
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, std::forward<F>(slot));
  }

  void print() {
    QPrintDialog dialog(&printer_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    printer_.setFullPage(true);
    report_.render(printer_);
  }

  void exportPdf() {
    const QString path = QFileDialog::getSaveFileName(
        this, qs(msg::kPreviewExportPdf), QStringLiteral("report.pdf"), qs(msg::kPreviewPdfFilter));
    if (path.isEmpty()) return;
    if (!report_.exportPdf(path)) {
      showErrorBox(this, msg::withFullStop(msg::kPreviewExportFailed));
    }
  }

  TReport& report_;
  QPrinter printer_;
  QPrintPreviewWidget* preview_ = nullptr;
};

}  // namespace

TReport::TReport(QObject* parent) : QObject(parent) { setObjectName("Report"); }

TReport::~TReport() { delete preview_.data(); }

QWidget* TReport::previewWindow() const { return preview_.data(); }

void TReport::preview(QWidget* mainWindow) {
  if (preview_) {
    // Pressed again from the main window while the preview is open: bring it forward.
    preview_->raise();
    preview_->activateWindow();
    return;
  }
  // The main window may go away while the preview runs its own loop.
  const QPointer<QWidget> owner(mainWindow);
  auto* window = new PreviewWindow(*this, mainWindow);
  preview_ = window;
  QEventLoop loop;
  connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
  window->show();
  window->raise();
  window->activateWindow();
  emit previewShown();
  if (preview_) loop.exec();
  if (owner && owner->isVisible()) {
    owner->raise();
    owner->activateWindow();
  }
}

bool TReport::exportPdf(const QString& path) {
  QBuffer file;
  file.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&file);
    writer.setResolution(1200);
    writer.setCreator(QCoreApplication::applicationName());
    writer.setTitle(qs(page_.labelEnabled ? page_.heading : std::string()));
    render(writer);
  }
  // Saved as every other file (replaceFile): only a complete file replaces what was there
  // before, under the name's own bytes, through a link in a shared folder only as the kernel's
  // fs.protected_symlinks rule allows.
  try {
    const QByteArray& bytes = file.data();
    replaceFile(QFile::encodeName(path).toStdString(),
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return true;
  } catch (const AppError&) {
    return false;
  }
}

void TReport::render(QPagedPaintDevice& device) const {
  if (auto* printer = dynamic_cast<QPrinter*>(&device)) printer->setFullPage(true);
  device.setPageLayout(a4Layout());

  QPainter p;
  if (!p.begin(&device)) return;
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const PageMapper m(device);

  // Bands are white like the page; disabled parts are not printed.
  p.fillRect(m.rect(L::kTitleBand), Qt::white);
  p.fillRect(m.rect(L::kDetailBand), Qt::white);

  if (page_.labelEnabled) {
    QFont font = courierFont(14);
    font.setBold(true);
    font.setItalic(true);
    const QString text = qs(page_.heading);
    const double width =
        m.toMmX(QFontMetricsF(font, &device).horizontalAdvance(text)) + 0.5;  // sized to text
    const RectMm box{L::kTitleBand.left + L::kLabelLeft, L::kTitleBand.top + L::kLabelTop,
                     std::min(width, L::kTitleBand.width - L::kLabelLeft), L::kLabelHeight};
    p.save();
    p.fillRect(m.rect(box), Qt::white);
    p.setClipRect(m.rect(box));
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(m.rect(box), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    p.restore();
  }

  if (page_.chartEnabled) {
    p.save();
    const RectMm frame = L::onPage(L::kDetailBand, L::kChart);
    p.setClipRect(m.rect(frame));
    ChartPainter(p, m, page_).paint(frame);
    p.restore();
  }

  const RectMm freq = L::onPage(L::kDetailBand, L::kFrequencyMemo);
  const RectMm acc = L::onPage(L::kDetailBand, L::kAccelerationMemo);
  paintMemo(p, m, freq, acc.left, page_.frequencyLines);
  paintMemo(p, m, acc, L::kDetailBand.right(), page_.accelerationLines);
  p.end();
}

}  // namespace accelspec
