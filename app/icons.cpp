#include "app/icons.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace accelspec::icons {

namespace {

constexpr double kPi = 3.14159265358979323846;

QIcon draw(int width, int height, const std::function<void(QPainter&)>& paint) {
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pixmap(width * scale, height * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

// A curve y(t), t in [0, 1], drawn into the rectangle r (y in [-1, 1] spans its height).
void curve(QPainter& p, const QRectF& r, const std::function<double(double)>& y, int steps) {
  QPainterPath path;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    const QPointF at(r.left() + t * r.width(), r.center().y() - y(t) * r.height() / 2);
    if (i == 0) {
      path.moveTo(at);
    } else {
      path.lineTo(at);
    }
  }
  p.drawPath(path);
}

void axes(QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(96, 96, 96), 1));
  p.drawLine(QPointF(r.left(), r.top()), QPointF(r.left(), r.bottom()));
  p.drawLine(QPointF(r.left(), r.bottom()), QPointF(r.right(), r.bottom()));
}

void page(QPainter& p) {
  p.setPen(QPen(QColor(64, 64, 64), 1));
  p.setBrush(Qt::white);
  QPolygonF sheet({QPointF(3.5, 1.5), QPointF(10.5, 1.5), QPointF(13.5, 4.5), QPointF(13.5, 15.5),
                   QPointF(3.5, 15.5)});
  p.drawPolygon(sheet);
  p.setPen(QPen(QColor(120, 120, 120), 1));
  for (double y : {6.5, 8.5, 10.5, 12.5}) p.drawLine(QPointF(5.5, y), QPointF(11.5, y));
}

}  // namespace

QIcon open() {
  return draw(16, 16, [](QPainter& p) {
    p.setPen(QPen(QColor(128, 96, 0), 1));
    p.setBrush(QColor(240, 200, 80));
    p.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(6.5, 3.5), QPointF(7.5, 5.5),
                             QPointF(13.5, 5.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
    p.setBrush(QColor(255, 224, 128));
    p.drawPolygon(QPolygonF(
        {QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
  });
}

QIcon save() {
  return draw(16, 16, [](QPainter& p) {
    p.setPen(QPen(QColor(0, 0, 96), 1));
    p.setBrush(QColor(48, 64, 160));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 1.5, 9, 6));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
  });
}

QIcon report() { return draw(16, 16, page); }

QIcon preview() {
  return draw(16, 16, [](QPainter& p) {
    page(p);
    p.setPen(QPen(QColor(0, 0, 0), 1.5));
    p.setBrush(QColor(200, 230, 255, 200));
    p.drawEllipse(QPointF(9, 9), 3.5, 3.5);
    p.drawLine(QPointF(11.5, 11.5), QPointF(15, 15));
  });
}

QIcon synthesis() {
  return draw(16, 16, [](QPainter& p) {
    const QRectF r(1.5, 1.5, 13, 13);
    axes(p, r);
    p.setPen(QPen(QColor(0, 0, 160), 1.2));
    // Frequency rising with time, as in the synthesised sweep.
    curve(
        p, r.adjusted(1, 1, 0, -1),
        [](double t) { return 0.85 * std::sin(2 * kPi * (1.0 * t + 3.5 * t * t)); }, 64);
  });
}

QIcon responseSpectrum() {
  return draw(16, 16, [](QPainter& p) {
    const QRectF r(1.5, 1.5, 13, 13);
    axes(p, r);
    p.setPen(QPen(QColor(192, 0, 0), 1.5));
    curve(
        p, r.adjusted(1, 0, 0, 0),
        [](double t) {
          const double u = (t - 0.35) / 0.12;
          return -0.8 + 1.7 * std::exp(-u * u) + 0.5 * t;
        },
        48);
  });
}

QIcon timeWindow() {
  return draw(19, 40, [](QPainter& p) {
    const QRectF r(1.5, 4.5, 16, 31);
    p.setPen(QPen(QColor(0, 0, 160), 1));
    // A record running downwards, with the kept stretch between the brackets.
    QPainterPath path;
    for (int i = 0; i <= 60; ++i) {
      const double t = i / 60.0;
      const double x = r.center().x() + 6 * std::sin(2 * kPi * 5 * t) * std::exp(-2 * t);
      const QPointF at(x, r.top() + t * r.height());
      if (i == 0) {
        path.moveTo(at);
      } else {
        path.lineTo(at);
      }
    }
    p.drawPath(path);
    p.setPen(QPen(QColor(192, 0, 0), 1.5));
    for (double y : {12.0, 28.0}) {
      p.drawLine(QPointF(1, y), QPointF(18, y));
    }
    p.drawLine(QPointF(1, 12), QPointF(1, 15));
    p.drawLine(QPointF(18, 12), QPointF(18, 15));
    p.drawLine(QPointF(1, 28), QPointF(1, 25));
    p.drawLine(QPointF(18, 28), QPointF(18, 25));
  });
}

QIcon window() {
  return draw(32, 32, [](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 4, 4);
    const QRectF r(4.5, 4.5, 24, 23);
    axes(p, r);
    p.setPen(QPen(QColor(0, 0, 160), 1.2));
    curve(
        p, r.adjusted(1, 2, 0, -12),
        [](double t) { return 0.9 * std::sin(2 * kPi * (1.0 * t + 4 * t * t)); }, 96);
    p.setPen(QPen(QColor(192, 0, 0), 1.8));
    curve(
        p, r.adjusted(1, 10, 0, 0),
        [](double t) {
          const double u = (t - 0.35) / 0.12;
          return -0.8 + 1.6 * std::exp(-u * u) + 0.4 * t;
        },
        64);
  });
}

}  // namespace accelspec::icons
