// SPDX-License-Identifier: MIT
#include "app/check_report.hpp"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "analysis/number_text.hpp"
#include "app/qt_text.hpp"
#include "data/error.hpp"
#include "files/atomic_write.hpp"
#include "files/textio.hpp"

namespace accelspec {
namespace {

// A plot area with log or linear axes, mapping data to device coordinates.
struct Axes {
  QRectF box;
  double x0, x1, y0, y1;
  bool logY;
  double px(double x) const {
    return box.left() +
           (std::log10(x) - std::log10(x0)) / (std::log10(x1) - std::log10(x0)) * box.width();
  }
  double py(double y) const {
    const double t = logY ? (std::log10(y) - std::log10(y0)) / (std::log10(y1) - std::log10(y0))
                          : (y - y0) / (y1 - y0);
    return box.bottom() - std::clamp(t, -0.02, 1.02) * box.height();
  }
};

void drawCurve(QPainter& p, const Axes& a, const std::vector<double>& xs,
               const std::vector<double>& ys, const QPen& pen) {
  QPainterPath path;
  bool started = false;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!(ys[i] > 0) && a.logY) continue;
    const QPointF pt(a.px(xs[i]), a.py(ys[i]));
    if (started)
      path.lineTo(pt);
    else
      path.moveTo(pt);
    started = true;
  }
  p.save();
  p.setClipRect(a.box.adjusted(-1, -1, 1, 1));
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  p.restore();
}

// Frame, decade grid lines and their labels.
void drawAxes(QPainter& p, const Axes& a, const QString& xLabel, const QString& yLabel,
              double unit) {
  p.save();
  p.setPen(QPen(QColor(220, 220, 220), unit * 0.3));
  const QFontMetricsF fm(p.font());
  for (double d = std::pow(10.0, std::floor(std::log10(a.x0))); d <= a.x1 * 1.0001; d *= 10) {
    for (int m = 1; m < 10; ++m) {
      const double x = d * m;
      if (x < a.x0 * 0.9999 || x > a.x1 * 1.0001) continue;
      p.setPen(QPen(m == 1 ? QColor(180, 180, 180) : QColor(230, 230, 230), unit * 0.3));
      p.drawLine(QPointF(a.px(x), a.box.top()), QPointF(a.px(x), a.box.bottom()));
      if (m == 1) {
        p.setPen(Qt::black);
        const QString t = qs(analysis::formatNumber(x, 6));
        p.drawText(QPointF(a.px(x) - fm.horizontalAdvance(t) / 2, a.box.bottom() + fm.height()), t);
      }
    }
  }
  std::vector<double> ticks;
  if (a.logY) {
    for (double d = std::pow(10.0, std::floor(std::log10(a.y0))); d <= a.y1 * 1.0001; d *= 10)
      if (d >= a.y0 * 0.9999) ticks.push_back(d);
  } else {
    const double step = (a.y1 - a.y0) > 1.2 ? 0.5 : 0.1;
    for (double y = std::ceil(a.y0 / step - 1e-9) * step; y <= a.y1 + 1e-9; y += step)
      ticks.push_back(y);
  }
  for (double y : ticks) {
    p.setPen(QPen(QColor(200, 200, 200), unit * 0.3));
    p.drawLine(QPointF(a.box.left(), a.py(y)), QPointF(a.box.right(), a.py(y)));
    p.setPen(Qt::black);
    const QString t = qs(analysis::formatNumber(y, 4));
    p.drawText(QPointF(a.box.left() - fm.horizontalAdvance(t) - unit, a.py(y) + fm.ascent() / 3),
               t);
  }
  p.setPen(QPen(Qt::black, unit * 0.4));
  p.drawRect(a.box);
  p.drawText(QPointF(a.box.center().x() - fm.horizontalAdvance(xLabel) / 2,
                     a.box.bottom() + 2.1 * fm.height()),
             xLabel);
  p.save();
  p.translate(a.box.left() - 7 * unit, a.box.center().y() + fm.horizontalAdvance(yLabel) / 2);
  p.rotate(-90);
  p.drawText(QPointF(0, 0), yLabel);
  p.restore();
  p.restore();
}

// What one page is drawn with: its painter and size, about a millimetre of the printable width
// as the unit, and the body font.
struct Page {
  QPainter& p;
  QPdfWriter& writer;
  double W, H, unit;
  QFont body, title;
  QFontMetricsF fm;
};

QColor recordColor(std::size_t i) {
  static const QColor palette[] = {QColor(230, 120, 20), QColor(40, 160, 60),  QColor(150, 60, 170),
                                   QColor(200, 40, 40),  QColor(20, 150, 150), QColor(120, 120, 0)};
  return palette[i % 6];
}

const QColor kMeanColor(20, 60, 200);

// Frequencies and values of every grid point, the judged range's ends.
struct Curves {
  std::vector<double> f, target, mean, ratio, lo, hi;
  double judgedLo = 0, judgedHi = 0;
};

Curves curvesOf(const check::CheckResult& r) {
  Curves c;
  for (const auto& pt : r.points) {
    c.f.push_back(pt.frequency);
    c.target.push_back(pt.target);
    c.mean.push_back(pt.computed);
    c.ratio.push_back(pt.ratio);
    c.lo.push_back(pt.target * r.lowerBand);
    c.hi.push_back(pt.target * r.upperBand);
    if (pt.judged) {
      if (c.judgedLo == 0) c.judgedLo = pt.frequency;
      c.judgedHi = pt.frequency;
    }
  }
  return c;
}

// The title and the line under it; returns the baseline of that line.
double heading(Page& pg, const check::CheckResult& r) {
  QPainter& p = pg.p;
  p.setFont(pg.title);
  const char* rule = check::ruleName(r.parameters.rule);
  double y = QFontMetricsF(pg.title, &pg.writer).height();
  p.drawText(QPointF(0, y), qs("Проверка совместимости спектров: " + std::string(rule)));
  p.setFont(pg.body);
  y += pg.fm.height() * 1.4;
  p.drawText(QPointF(0, y), qs("Цель: " + r.targetText + "; затухание " +
                               analysis::formatNumber(r.parameters.damping, 6) + "; " +
                               analysis::quantityName(r.parameters.quantity) +
                               "; записей: " + std::to_string(r.recordNames.size())));
  return y;
}

// Log axes from decade to decade around the target, the spectra and the upper band.
Axes spectraAxes(const check::CheckResult& r, const Curves& c, const QRectF& box) {
  double vmin = INFINITY, vmax = 0;
  auto widen = [&](const std::vector<double>& v) {
    for (double x : v)
      if (x > 0 && std::isfinite(x)) {
        vmin = std::min(vmin, x);
        vmax = std::max(vmax, x);
      }
  };
  widen(c.target);
  for (const auto& s : r.spectra) widen(s);
  if (r.upperBand > 0) widen(c.hi);
  if (!(vmax > 0)) vmin = 0.1, vmax = 1;
  const double ylo = std::pow(10.0, std::floor(std::log10(vmin)));
  const double yhi = std::pow(10.0, std::ceil(std::log10(vmax)));
  const double fx0 = std::pow(10.0, std::floor(std::log10(c.f.front() * 1.0000001)));
  const double fx1 = std::pow(10.0, std::ceil(std::log10(c.f.back())));
  return Axes{box, fx0, fx1, ylo, yhi, true};
}

// The spectra, the bands, the target and the mean, with their legend.
void drawSpectra(Page& pg, const check::CheckResult& r, const Curves& c, const Axes& spectra,
                 const QPen& band) {
  QPainter& p = pg.p;
  const double unit = pg.unit;
  drawAxes(p, spectra, QStringLiteral("Частота, Гц"),
           qs(std::string(analysis::quantityName(r.parameters.quantity)) + ", м/с²"), unit);
  for (std::size_t i = 0; i < r.spectra.size(); ++i)
    drawCurve(p, spectra, c.f, r.spectra[i], QPen(recordColor(i), unit * 0.25));
  drawCurve(p, spectra, c.f, c.lo, band);
  if (r.upperBand > 0) drawCurve(p, spectra, c.f, c.hi, band);
  drawCurve(p, spectra, c.f, c.target, QPen(Qt::black, unit * 0.5));
  if (r.spectra.size() > 1) drawCurve(p, spectra, c.f, c.mean, QPen(kMeanColor, unit * 0.6));

  double ly = spectra.box.top() + pg.fm.height();
  auto legend = [&](const QPen& pen, const QString& text) {
    p.setPen(pen);
    // Top left: response spectra are lowest at the lowest frequencies, so this corner is free.
    p.drawLine(QPointF(spectra.box.left() + 2 * unit, ly - pg.fm.ascent() / 3),
               QPointF(spectra.box.left() + 8 * unit, ly - pg.fm.ascent() / 3));
    p.setPen(Qt::black);
    p.drawText(QPointF(spectra.box.left() + 9 * unit, ly), text);
    ly += pg.fm.height();
  };
  legend(QPen(Qt::black, unit * 0.5), QStringLiteral("цель"));
  legend(band,
         qs("границы " + analysis::formatNumber(r.lowerBand, 4) +
            (r.upperBand > 0 ? " / " + analysis::formatNumber(r.upperBand, 4) : "") + " × цель"));
  if (r.spectra.size() > 1) legend(QPen(kMeanColor, unit * 0.6), QStringLiteral("среднее"));
  for (std::size_t i = 0; i < std::min<std::size_t>(r.spectra.size(), 6); ++i)
    // Cut short, a long name keeps inside the plot; the table below gives it whole.
    legend(QPen(recordColor(i), unit * 0.25),
           pg.fm.elidedText(qs(r.recordNames[i]), Qt::ElideMiddle, spectra.box.width() / 2));
}

// The ratio plot: fixed around the bands so that a glance tells the margin. Returns its axes.
Axes drawRatios(Page& pg, const check::CheckResult& r, const Curves& c, Axes ra, const QPen& band) {
  QPainter& p = pg.p;
  const double unit = pg.unit;
  double rmax = std::max(1.5, r.upperBand + 0.1), rmin = std::min(0.5, r.lowerBand - 0.1);
  for (double x : c.ratio)
    if (std::isfinite(x)) rmax = std::max(rmax, std::min(x, 3.0)), rmin = std::min(rmin, x);
  ra.y0 = std::max(0.0, std::floor(rmin * 10) / 10);
  ra.y1 = std::ceil(rmax * 10) / 10;
  drawAxes(p, ra, QStringLiteral("Частота, Гц"),
           r.spectra.size() > 1 ? QStringLiteral("среднее / цель") : QStringLiteral("отношение"),
           unit);
  const std::vector<double>& f = c.f;
  drawCurve(p, ra, f, std::vector<double>(f.size(), r.lowerBand), band);
  if (r.upperBand > 0) drawCurve(p, ra, f, std::vector<double>(f.size(), r.upperBand), band);
  drawCurve(p, ra, f, std::vector<double>(f.size(), 1.0), QPen(Qt::gray, unit * 0.3));
  if (r.parameters.rule == check::Rule::Srp)
    for (std::size_t i = 0; i < r.spectra.size(); ++i) {
      std::vector<double> ri;
      for (const auto& pt : r.points) ri.push_back(pt.recordRatios[i]);
      drawCurve(p, ra, f, ri, QPen(recordColor(i), unit * 0.25));
    }
  drawCurve(p, ra, f, c.ratio, QPen(kMeanColor, unit * 0.5));
  return ra;
}

// Where the verdict table's columns start, and where its widest row ends.
struct Columns {
  double c2 = 0, c3 = 0, c4 = 0, right = 0;
};

Columns columnsAt(const Page& pg, const check::CheckResult& r, const QFont& font) {
  const QFontMetricsF m(font, &pg.writer);
  double recordWidth = m.horizontalAdvance(QStringLiteral("Запись")), itemWidth = 0;
  double foundWidth = m.horizontalAdvance(QStringLiteral("Найдено"));
  for (const auto& v : r.verdicts) {
    recordWidth = std::max(recordWidth, m.horizontalAdvance(qs(v.record)));
    itemWidth = std::max(itemWidth, m.horizontalAdvance(qs(v.item)));
    foundWidth = std::max(foundWidth, m.horizontalAdvance(qs(v.detail)));
  }
  Columns c;
  c.c2 = m.horizontalAdvance(QStringLiteral("Итог")) + 3 * pg.unit;
  c.c3 = c.c2 + recordWidth + 3 * pg.unit;
  c.c4 = c.c3 + itemWidth + 3 * pg.unit;
  c.right = c.c4 + foundWidth;
  return c;
}

// The verdict table from `ty` down, its rows shrunk to fit what is left of the page, and the
// verdict under it in words: the page is read by people, unlike the command's last line that
// scripts look for.
void drawVerdicts(Page& pg, const check::CheckResult& r, double ty) {
  QPainter& p = pg.p;
  const double rowsLeft = pg.H - ty - 2 * pg.fm.height();
  const double rowH = std::min(pg.fm.height() * 1.25, rowsLeft / (r.verdicts.size() + 2.0));
  QFont tableFont = pg.body;
  if (rowH < pg.fm.height() * 1.25)
    tableFont.setPointSizeF(std::max(3.0, pg.body.pointSizeF() * rowH / (pg.fm.height() * 1.25)));
  // The widest row decides the columns; a long record name or finding shrinks the table's type
  // rather than running past the page's edge.
  Columns cols = columnsAt(pg, r, tableFont);
  const double gaps = 9 * pg.unit;  // the gaps between columns keep their width
  if (cols.right > pg.W) {
    const double scale = (pg.W - gaps) / (cols.right - gaps) * 0.98;
    tableFont.setPointSizeF(std::max(3.0, tableFont.pointSizeF() * scale));
    cols = columnsAt(pg, r, tableFont);
  }
  p.setFont(tableFont);
  p.setPen(Qt::black);
  auto row = [&](const QString& a, const QString& b, const QString& c, const QString& d) {
    p.drawText(QPointF(0, ty), a);
    p.drawText(QPointF(cols.c2, ty), b);
    p.drawText(QPointF(cols.c3, ty), c);
    p.drawText(QPointF(cols.c4, ty), d);
    ty += rowH;
  };
  row(QStringLiteral("Итог"), QStringLiteral("Запись"), QStringLiteral("Требование"),
      QStringLiteral("Найдено"));
  p.drawLine(QPointF(0, ty - rowH * 0.7), QPointF(pg.W, ty - rowH * 0.7));
  for (const auto& v : r.verdicts) {
    p.setPen(v.pass ? Qt::black : QColor(200, 0, 0));
    row(v.information ? QStringLiteral("свед.")
        : v.pass      ? QStringLiteral("да")
                      : QStringLiteral("нет"),
        qs(v.record), qs(v.item), qs(v.detail));
  }
  QFont big = pg.title;
  big.setPointSizeF(14);
  p.setFont(big);
  p.setPen(r.pass ? QColor(0, 120, 0) : QColor(200, 0, 0));
  p.drawText(QPointF(0, std::min(pg.H - 2, ty + QFontMetricsF(big, &pg.writer).height())),
             r.pass ? QStringLiteral("ПРОХОДИТ") : QStringLiteral("НЕ ПРОХОДИТ"));
}

void render(QPdfWriter& writer, const check::CheckResult& r) {
  QPainter p;
  if (!p.begin(&writer)) throw AppError("не удаётся начать страницу PDF");
  p.setRenderHint(QPainter::Antialiasing);
  QFont body(QStringLiteral("DejaVu Sans"));
  body.setPointSizeF(8);
  QFont title = body;
  title.setPointSizeF(12);
  title.setBold(true);
  const double W = writer.width();
  Page pg{p,         writer, W,     static_cast<double>(writer.height()),
          W / 180.0, body,   title, QFontMetricsF(body, &writer)};
  const double y = heading(pg, r);
  const Curves c = curvesOf(r);

  const double left = 14 * pg.unit, width = W - left - 2 * pg.unit;
  const Axes spectra = spectraAxes(r, c, QRectF(left, y + 4 * pg.unit, width, pg.H * 0.34));
  const Axes ratios{QRectF(left, spectra.box.bottom() + 14 * pg.unit, width, pg.H * 0.16),
                    spectra.x0,
                    spectra.x1,
                    0,
                    0,
                    false};
  // The judged range shaded on both plots.
  for (const Axes* a : {&spectra, &ratios}) {
    if (c.judgedLo > 0)
      p.fillRect(QRectF(QPointF(a->px(c.judgedLo), a->box.top()),
                        QPointF(a->px(c.judgedHi), a->box.bottom())),
                 QColor(235, 243, 255));
  }
  const QPen band(Qt::black, pg.unit * 0.3, Qt::DashLine);
  drawSpectra(pg, r, c, spectra, band);
  const Axes ra = drawRatios(pg, r, c, ratios, band);
  drawVerdicts(pg, r, ra.box.bottom() + 12 * pg.unit);
  p.end();
}

}  // namespace

std::string reportWriteFailure(const std::string& path, const IoError& e) {
  std::string text = path + ": не удаётся записать файл";
  if (e.code() == iocode::kPlantedLink) text += std::string(": ") + e.what();
  return text;
}

std::string checkReportPdf(const check::CheckResult& result) {
  if (result.points.empty()) throw AppError("нечего выводить в отчёт");
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(600);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 12, 12, 12), QPageLayout::Millimeter);
    writer.setTitle(QStringLiteral("Проверка совместимости спектров"));
    render(writer, result);
  }
  const QByteArray& bytes = buffer.data();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void writeCheckReport(const std::string& path, const check::CheckResult& result) {
  std::string pdf;
  try {
    pdf = checkReportPdf(result);
  } catch (const AppError& e) {
    throw AppError(path + ": " + e.what());
  }
  try {
    replaceFile(path, pdf);  // the name's bytes as they are; the folder's rules for links
  } catch (const IoError& e) {
    throw AppError(reportWriteFailure(path, e));
  }
}

std::string withOffscreenGui(const std::function<std::string()>& make) {
  std::unique_ptr<QGuiApplication> app;
  if (!QGuiApplication::instance()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's notes about the missing runtime folder and the like are not the tool's messages.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static int argc = 1;
    static char name[] = "accelspec-cli";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  return make();
}

std::string checkReportPdfStandalone(const check::CheckResult& result) {
  return withOffscreenGui([&] { return checkReportPdf(result); });
}

}  // namespace accelspec
