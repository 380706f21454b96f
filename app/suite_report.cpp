// SPDX-License-Identifier: MIT
#include "app/suite_report.hpp"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "analysis/number_text.hpp"
#include "app/check_report.hpp"
#include "app/qt_text.hpp"
#include "data/error.hpp"

namespace accelspec {
namespace {

std::string num(double v) { return analysis::formatNumber(v, 4); }

// Log–log axes of period (s) and spectral acceleration (m/s²).
struct LogAxes {
  QRectF box;
  double x0, x1, y0, y1;
  double px(double x) const {
    return box.left() + (std::log10(x / x0)) / std::log10(x1 / x0) * box.width();
  }
  double py(double y) const {
    const double t = std::log10(y / y0) / std::log10(y1 / y0);
    return box.bottom() - std::clamp(t, -0.02, 1.02) * box.height();
  }
};

void curve(QPainter& p, const LogAxes& a, const std::vector<double>& xs,
           const std::vector<double>& ys, const QPen& pen) {
  QPainterPath path;
  bool started = false;
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    if (!(ys[i] > 0) || !std::isfinite(ys[i])) continue;
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

void grid(QPainter& p, const LogAxes& a, double unit, const QFontMetricsF& fm) {
  p.save();
  for (double d = a.x0; d <= a.x1 * 1.0001; d *= 10)
    for (int m = 1; m < 10; ++m) {
      const double x = d * m;
      if (x > a.x1 * 1.0001) break;
      p.setPen(QPen(m == 1 ? QColor(180, 180, 180) : QColor(230, 230, 230), unit * 0.3));
      p.drawLine(QPointF(a.px(x), a.box.top()), QPointF(a.px(x), a.box.bottom()));
      if (m == 1) {
        p.setPen(Qt::black);
        const QString t = qs(analysis::formatNumber(x, 6));
        p.drawText(QPointF(a.px(x) - fm.horizontalAdvance(t) / 2, a.box.bottom() + fm.height()), t);
      }
    }
  for (double y = a.y0; y <= a.y1 * 1.0001; y *= 10) {
    p.setPen(QPen(QColor(200, 200, 200), unit * 0.3));
    p.drawLine(QPointF(a.box.left(), a.py(y)), QPointF(a.box.right(), a.py(y)));
    p.setPen(Qt::black);
    const QString t = qs(analysis::formatNumber(y, 4));
    p.drawText(QPointF(a.box.left() - fm.horizontalAdvance(t) - unit, a.py(y) + fm.ascent() / 3),
               t);
  }
  p.setPen(QPen(Qt::black, unit * 0.4));
  p.drawRect(a.box);
  const QString xl = QStringLiteral("Период, с"), yl = QStringLiteral("PSA, м/с²");
  p.drawText(QPointF(a.box.center().x() - fm.horizontalAdvance(xl) / 2,
                     a.box.bottom() + 2.1 * fm.height()),
             xl);
  p.translate(a.box.left() - 9 * unit, a.box.center().y() + fm.horizontalAdvance(yl) / 2);
  p.rotate(-90);
  p.drawText(QPointF(0, 0), yl);
  p.restore();
}

double decadeBelow(double v) { return std::pow(10.0, std::floor(std::log10(v))); }
double decadeAbove(double v) { return std::pow(10.0, std::ceil(std::log10(v))); }

class Report {
 public:
  Report(QPdfWriter& writer, const suites::Selection& sel)
      : writer_(writer), sel_(sel), res_(sel.check), fm_(QFont(), &writer) {
    if (!p_.begin(&writer)) throw AppError("не удаётся начать страницу PDF");
    p_.setRenderHint(QPainter::Antialiasing);
    body_ = QFont(QStringLiteral("DejaVu Sans"));
    body_.setPointSizeF(8);
    title_ = body_;
    title_.setPointSizeF(12);
    title_.setBold(true);
    W_ = writer.width();
    H_ = writer.height();
    unit_ = W_ / 180.0;
    fm_ = QFontMetricsF(body_, &writer);
  }
  ~Report() { p_.end(); }

  void draw() {
    double y = heading();
    y = plot(y + 4 * unit_);
    y = verdicts(y);
    members(y + fm_.height());
  }

 private:
  double heading() {
    p_.setFont(title_);
    double y = QFontMetricsF(title_, &writer_).height();
    p_.drawText(QPointF(0, y), qs("Набор записей: правило " +
                                  std::string(check::ruleName(sel_.parameters.rule.rule))));
    p_.setFont(body_);
    y += fm_.height() * 1.4;
    p_.drawText(QPointF(0, y), qs("Цель: " + res_.targetText +
                                  "; записей: " + std::to_string(sel_.members.size()) +
                                  (sel_.parameters.pairs ? " (пары, RotD)" : "")));
    y += fm_.height();
    std::string line =
        "Масштаб " + num(sel_.parameters.scaleMin) + "…" + num(sel_.parameters.scaleMax);
    if (sel_.multiplier != 1) line += "; общий множитель " + num(sel_.multiplier);
    if (sel_.parameters.maxPerEvent > 0)
      line += "; не более " + std::to_string(sel_.parameters.maxPerEvent) + " на землетрясение";
    p_.drawText(QPointF(0, y), qs(line));
    return y;
  }

  double plot(double top) {
    std::vector<double> periods;
    std::vector<double> target, band, mean;
    double lo = INFINITY, hi = 0, tlo = 0, thi = 0;
    for (const auto& pt : res_.points) {
      periods.push_back(pt.period);
      target.push_back(pt.target);
      band.push_back(pt.target * res_.lowerBand);
      mean.push_back(pt.computed);
      if (pt.judged) {
        if (tlo == 0 || pt.period < tlo) tlo = pt.period;
        thi = std::max(thi, pt.period);
      }
    }
    auto widen = [&](const std::vector<double>& v) {
      for (double x : v)
        if (x > 0 && std::isfinite(x)) lo = std::min(lo, x), hi = std::max(hi, x);
    };
    widen(target);
    for (const auto& s : res_.spectra) widen(s);
    if (!(hi > 0)) lo = 0.1, hi = 1;
    const double left = 16 * unit_;
    LogAxes a{QRectF(left, top, W_ - left - 2 * unit_, H_ * 0.36),
              decadeBelow(periods.back() * 0.9999999), decadeAbove(periods.front()),
              decadeBelow(lo), decadeAbove(hi)};
    if (tlo > 0)
      p_.fillRect(QRectF(QPointF(a.px(tlo), a.box.top()), QPointF(a.px(thi), a.box.bottom())),
                  QColor(235, 243, 255));
    grid(p_, a, unit_, fm_);
    for (const auto& s : res_.spectra)
      curve(p_, a, periods, s, QPen(QColor(150, 150, 150), unit_ * 0.15));
    const QPen bandPen(Qt::black, unit_ * 0.3, Qt::DashLine);
    curve(p_, a, periods, band, bandPen);
    if (res_.upperBand > 0) {
      std::vector<double> up;
      for (double t : target) up.push_back(t * res_.upperBand);
      curve(p_, a, periods, up, bandPen);
    }
    curve(p_, a, periods, target, QPen(Qt::black, unit_ * 0.5));
    const QPen meanPen(QColor(20, 60, 200), unit_ * 0.6);
    curve(p_, a, periods, mean, meanPen);
    double ly = a.box.top() + fm_.height();
    auto legend = [&](const QPen& pen, const QString& text) {
      p_.setPen(pen);
      p_.drawLine(QPointF(a.box.right() - 48 * unit_, ly - fm_.ascent() / 3),
                  QPointF(a.box.right() - 42 * unit_, ly - fm_.ascent() / 3));
      p_.setPen(Qt::black);
      p_.drawText(QPointF(a.box.right() - 41 * unit_, ly), text);
      ly += fm_.height();
    };
    legend(QPen(Qt::black, unit_ * 0.5), QStringLiteral("цель"));
    legend(bandPen,
           qs(num(res_.lowerBand) +
              (res_.upperBand > 0 ? " / " + num(res_.upperBand) : std::string()) + " × цель"));
    legend(meanPen, QStringLiteral("среднее"));
    legend(QPen(QColor(150, 150, 150), unit_ * 0.15), QStringLiteral("записи с масштабом"));
    return a.box.bottom() + 3.5 * fm_.height();
  }

  // A new page when fewer than `rows` rows fit under `y`; returns where to go on.
  double room(double y, double rows) {
    if (y + rows * fm_.height() * 1.2 <= H_) return y;
    writer_.newPage();
    return fm_.height();
  }

  double verdicts(double y) {
    p_.setFont(body_);
    for (const auto& v : res_.verdicts) {
      y = room(y, 1);
      p_.setPen(v.pass ? Qt::black : QColor(200, 0, 0));
      const std::string text = std::string(v.information ? "свед."
                                           : v.pass      ? "да   "
                                                         : "нет  ") +
                               (v.record.empty() ? "" : v.record + ": ") + v.item + " (" +
                               v.detail + ")";
      p_.drawText(QPointF(0, y), fm_.elidedText(qs(text), Qt::ElideRight, W_));
      y += fm_.height() * 1.2;
    }
    QFont big = title_;
    big.setPointSizeF(14);
    p_.setFont(big);
    p_.setPen(sel_.pass ? QColor(0, 120, 0) : QColor(200, 0, 0));
    const double h = QFontMetricsF(big, &writer_).height();
    y = room(y, 2) + h;
    p_.drawText(QPointF(0, y),
                sel_.pass ? QStringLiteral("ПРОХОДИТ") : QStringLiteral("НЕ ПРОХОДИТ"));
    p_.setFont(body_);
    p_.setPen(Qt::black);
    return y + fm_.height();
  }

  // The table of motions: number, name, factor, MSE, scaled peak, then the files in what is left
  // of the width. The name column takes the longest name (up to 40 % of the width): the name is
  // what the reviewer looks the motion up by.
  void members(double y) {
    double nameWidth = fm_.horizontalAdvance(QStringLiteral("Запись"));
    for (const auto& m : sel_.members)
      nameWidth = std::max(nameWidth, fm_.horizontalAdvance(qs(m.name)));
    nameWidth = std::min(nameWidth + 2 * unit_, 0.4 * W_);
    const double number = 16 * unit_;
    double cols[6];
    cols[0] = 0;
    cols[1] = 8 * unit_;
    cols[2] = cols[1] + nameWidth;
    cols[3] = cols[2] + number;
    cols[4] = cols[3] + number;
    cols[5] = cols[4] + number;
    auto row = [&](const std::vector<QString>& cells) {
      y = room(y, 1);
      for (std::size_t c = 0; c < cells.size(); ++c) {
        const double width = (c + 1 < 6 ? cols[c + 1] : W_) - cols[c] - unit_;
        p_.drawText(QPointF(cols[c], y), fm_.elidedText(cells[c], Qt::ElideMiddle, width));
      }
      y += fm_.height() * 1.2;
    };
    y = room(y, 3);
    row({QStringLiteral("№"), QStringLiteral("Запись"), QStringLiteral("Масштаб"),
         QStringLiteral("MSE"), QStringLiteral("PGA, м/с²"), QStringLiteral("Файлы")});
    p_.drawLine(QPointF(0, y - fm_.height() * 0.9), QPointF(W_, y - fm_.height() * 0.9));
    for (const auto& m : sel_.members) {
      std::string files;
      for (const auto& f : m.files)
        files += (files.empty() ? "" : " + ") + std::filesystem::path(f.path).filename().string();
      row({QString::number(m.rank), qs(m.name), qs(num(m.factor)), qs(num(m.mse)),
           qs(num(m.scaledPga())), qs(files)});
    }
  }

  QPdfWriter& writer_;
  const suites::Selection& sel_;
  const check::CheckResult& res_;
  QPainter p_;
  QFont body_, title_;
  double W_ = 0, H_ = 0, unit_ = 1;
  QFontMetricsF fm_;
};

}  // namespace

std::string suiteReportPdf(const suites::Selection& selection) {
  if (selection.members.empty() || selection.check.points.empty())
    throw AppError("нечего выводить в отчёт");
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(600);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 12, 12, 12), QPageLayout::Millimeter);
    writer.setTitle(QStringLiteral("Набор записей"));
    Report report(writer, selection);
    report.draw();
  }
  const QByteArray& bytes = buffer.data();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string suiteReportPdfStandalone(const suites::Selection& selection) {
  return withOffscreenGui([&] { return suiteReportPdf(selection); });
}

}  // namespace accelspec
