// SPDX-License-Identifier: MIT
// Chart1 as a view of the chart model: whole series handed over at once, axes fitted to the
// visible data, and zooming with the mouse.

#include <QChart>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cstdint>

#include "app/decimate.hpp"
#include "tests/app/window_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

QPoint toView(ChartView* view, QPointF fraction) {
  const QRectF plot = view->chart()->plotArea();
  const QPointF scene(plot.left() + fraction.x() * plot.width(),
                      plot.top() + fraction.y() * plot.height());
  return view->mapFromScene(view->chart()->mapToScene(scene));
}

void drag(ChartView* view, QPointF from, QPointF to) {
  const QPoint a = toView(view, from);
  const QPoint b = toView(view, to);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, a);
  QTest::mouseMove(view->viewport(), (a + b) / 2);
  QTest::mouseMove(view->viewport(), b);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, b);
}

struct Range {
  double minX, maxX, minY, maxY;
  bool operator==(const Range&) const = default;
};

Range rangeOf(ChartView* view) {
  return {view->axisX()->min(), view->axisX()->max(), view->axisY()->min(), view->axisY()->max()};
}

// The texts of every axis label the chart shows.
QStringList axisLabels(ChartView* view) {
  QStringList labels;
  for (QGraphicsItem* item : view->scene()->items()) {
    auto* text = dynamic_cast<QGraphicsTextItem*>(item);
    if (text && text->isVisible()) labels << text->toPlainText();
  }
  return labels;
}

}  // namespace

class WindowChart : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    session_ = std::make_unique<Session>(dir_->path());
    QVERIFY(session_->show());
    session_->boxes.take();
  }
  void cleanup() {
    session_.reset();
    dir_.reset();
  }

  // A graph of 100000 points reaches its line in one replace, never point by point, thinned to
  // what the pixel columns show; zooming in brings the points of the range back one for one.
  void longGraphInOneReplace() {
    Session& s = *session_;
    s.type("EditN", "2");
    s.click("EditFbeg");
    s.typeCell("StringGridSpv", 0, 1, "2");
    s.typeCell("StringGridSpv", 1, 1, "1");
    s.typeCell("StringGridSpv", 0, 2, "30");
    s.typeCell("StringGridSpv", 1, 2, "2");
    s.type("EditT", "19.9998");
    s.type("EditND", "100000");
    s.type("EditDT", "0.0002");
    QLineSeries* series = s.chartView()->lineSeries(0);
    QSignalSpy replaced(series, &QXYSeries::pointsReplaced);
    QSignalSpy added(series, &QXYSeries::pointAdded);
    s.press("SpeedButtonAks");
    QCOMPARE(s.boxes.take(), QStringList());
    const QList<QPointF> all = s.graph(0);
    QVERIFY(all.size() >= 99999);  // the sweep ends within one sample of T
    QCOMPARE(replaced.size(), 1);
    QCOMPARE(added.size(), 0);

    const QList<QPointF> drawn = s.points(0);
    QVERIFY2(drawn.size() <= 4 * 1024 + 8, qPrintable(QString::number(drawn.size())));
    QCOMPARE(drawn.first(), all.first());
    QCOMPARE(drawn.last(), all.last());
    // Every point drawn is one of the graph's, in the graph's order, and the extremes are kept.
    qsizetype at = 0;
    for (const QPointF& p : drawn) {
      while (at < all.size() && all[at] != p) ++at;
      QVERIFY(at < all.size());
    }
    const auto byY = [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); };
    QCOMPARE(std::min_element(drawn.begin(), drawn.end(), byY)->y(),
             std::min_element(all.begin(), all.end(), byY)->y());
    QCOMPARE(std::max_element(drawn.begin(), drawn.end(), byY)->y(),
             std::max_element(all.begin(), all.end(), byY)->y());

    // A command that changes nothing on the chart hands nothing over again.
    s.press("SpeedButtonMemory");
    s.press("SpeedButtonDelete");
    QCOMPARE(replaced.size(), 1);

    // Zoomed in on a tenth of a second: 500 samples, all of them drawn.
    ChartView* view = s.chartView();
    view->axisX()->setRange(10, 10.1);
    const QList<QPointF> close = s.points(0);
    QVERIFY(close.first().x() < 10 && close.last().x() > 10.1);
    QCOMPARE(close.size(), std::count_if(all.begin(), all.end(), [](const QPointF& p) {
                             return p.x() >= 10 && p.x() <= 10.1;
                           }) + 2);
  }

  // Thinning for display: per pixel column the first, lowest, highest and last point.
  void thinning_data() {
    QTest::addColumn<QList<QPointF>>("points");
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QList<QPointF>>("expected");
    QTest::newRow("nothing") << QList<QPointF>() << 0.0 << 1.0 << 10 << QList<QPointF>();
    QTest::newRow("few points come back whole")
        << QList<QPointF>{{0, 1}, {1, 2}, {2, 3}} << 0.0 << 2.0 << 1
        << QList<QPointF>{{0, 1}, {1, 2}, {2, 3}};
    QTest::newRow("a range keeps its neighbours")
        << QList<QPointF>{{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}} << 1.5 << 2.5 << 1
        << QList<QPointF>{{1, 2}, {2, 3}, {3, 4}};
    QTest::newRow("one column of many points")
        << QList<QPointF>{{0.0, 5}, {0.1, 9}, {0.2, 1}, {0.3, 7}, {0.4, 2}, {0.5, 6}} << 0.0 << 0.99
        << 1 << QList<QPointF>{{0.0, 5}, {0.1, 9}, {0.2, 1}, {0.5, 6}};
    QTest::newRow("the first is the lowest")
        << QList<QPointF>{{0.0, 0}, {0.1, 9}, {0.2, 3}, {0.3, 4}, {0.4, 2}, {1.5, 6}} << 0.0 << 2.0
        << 1 << QList<QPointF>{{0.0, 0}, {0.1, 9}, {1.5, 6}};
    QTest::newRow("two columns") << QList<QPointF>{{0.0, 5}, {0.1, 9}, {0.2, 1}, {0.3, 7}, {0.4, 2},
                                                   {1.0, 3}, {1.1, 8}, {1.2, 0}, {1.3, 4}, {1.4, 5}}
                                 << 0.0 << 2.0 << 2
                                 << QList<QPointF>{{0.0, 5}, {0.1, 9}, {0.2, 1}, {0.4, 2},
                                                   {1.0, 3}, {1.1, 8}, {1.2, 0}, {1.4, 5}};
  }

  void thinning() {
    QFETCH(QList<QPointF>, points);
    QFETCH(double, x0);
    QFETCH(double, x1);
    QFETCH(int, columns);
    QFETCH(QList<QPointF>, expected);
    const std::vector<QPointF> all(points.begin(), points.end());
    QCOMPARE(pointsToDraw(all, x0, x1, columns), expected);
  }

  // Whatever the data, each column spans the same heights thinned as whole.
  void thinningKeepsEachColumnsSpan() {
    std::vector<QPointF> all;
    std::uint32_t seed = 7;
    for (int i = 0; i < 20000; ++i) {
      seed = seed * 1664525u + 1013904223u;
      all.emplace_back(i * 0.001, static_cast<double>(seed >> 8));
    }
    const int columns = 100;
    const QList<QPointF> drawn = pointsToDraw(all, 0, 20, columns);
    QVERIFY(drawn.size() <= 4 * columns + 2);
    std::vector<std::pair<double, double>> whole(columns, {1e300, -1e300}), thin = whole;
    auto spread = [&](std::vector<std::pair<double, double>>& span, const QPointF& p) {
      const int c = std::min(static_cast<int>(p.x() / 0.2), columns - 1);
      span[c].first = std::min(span[c].first, p.y());
      span[c].second = std::max(span[c].second, p.y());
    };
    for (const QPointF& p : all) spread(whole, p);
    for (const QPointF& p : drawn) spread(thin, p);
    QVERIFY(whole == thin);
  }

  void axesFitTheVisibleData() {
    Session& s = *session_;
    QVERIFY(writeFile(dir_->filePath("low.spo"), "1 1\r\n2 4\r\n"));
    QVERIFY(writeFile(dir_->filePath("high.spo"), "5 10\r\n8 20\r\n"));
    for (const char* name : {"low.spo", "high.spo"}) {
      s.answers.push_back({true, name, 3});
      s.press("SpeedButtonOpen");
      s.press("SpeedButtonMemory");
    }
    QCOMPARE(rangeOf(s.chartView()), (Range{5, 8, 10, 20}));
    s.press("SpeedButtonVisual");
    QCOMPARE(rangeOf(s.chartView()), (Range{1, 8, 1, 20}));
    s.click("Chanel2");
    QCOMPARE(rangeOf(s.chartView()), (Range{1, 2, 1, 4}));
    s.click("Chanel1");
    // Nothing shown: the axes keep a unit span.
    QCOMPARE(rangeOf(s.chartView()), (Range{0, 1, 0, 1}));
    QCOMPARE(s.boxes.take(), QStringList());
  }

  void singlePointGetsAnAxisAroundIt() {
    Session& s = *session_;
    QVERIFY(writeFile(dir_->filePath("one.spv"), "4 2\r\n"));
    s.answers.push_back({true, "one.spv", 1});
    s.press("SpeedButtonOpen");
    const Range r = rangeOf(s.chartView());
    QVERIFY(r.minX < 4 && r.maxX > 4);
    QVERIFY(r.minY < 2 && r.maxY > 2);
  }

  void zoomInAndBack() {
    Session& s = *session_;
    QVERIFY(writeFile(dir_->filePath("line.spv"), "0 0\r\n100 100\r\n"));
    s.answers.push_back({true, "line.spv", 1});
    s.press("SpeedButtonOpen");
    ChartView* view = s.chartView();
    const Range whole = rangeOf(view);
    QCOMPARE(whole, (Range{0, 100, 0, 100}));

    // Down and to the right: the framed part fills the chart.
    drag(view, {0.25, 0.25}, {0.5, 0.5});
    Range zoomed = rangeOf(view);
    QVERIFY(qAbs(zoomed.minX - 25) < 1 && qAbs(zoomed.maxX - 50) < 1);
    QVERIFY(qAbs(zoomed.minY - 50) < 1 && qAbs(zoomed.maxY - 75) < 1);

    // Up and to the left: the whole graph again.
    drag(view, {0.6, 0.6}, {0.3, 0.3});
    QCOMPARE(rangeOf(view), whole);

    drag(view, {0.1, 0.1}, {0.9, 0.9});
    QVERIFY(!(rangeOf(view) == whole));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, toView(view, {0.5, 0.5}));
    QCOMPARE(rangeOf(view), whole);

    // A click without a drag changes nothing.
    drag(view, {0.25, 0.25}, {0.5, 0.5});
    zoomed = rangeOf(view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, toView(view, {0.4, 0.4}));
    QCOMPARE(rangeOf(view), zoomed);
    // The next command shows its whole graph.
    s.answers.push_back({true, "line.spv", 1});
    s.press("SpeedButtonOpen");
    QCOMPARE(rangeOf(view), whole);
  }

  void ticksStayReadable() {
    Session& s = *session_;
    QVERIFY(writeFile(dir_->filePath("far.spv"), "1000000 0.001\r\n1000000.5 0.002\r\n"));
    s.answers.push_back({true, "far.spv", 1});
    s.press("SpeedButtonOpen");
    ChartView* view = s.chartView();
    for (QValueAxis* axis : {view->axisX(), view->axisY()}) {
      const double ticks = (axis->max() - axis->min()) / axis->tickInterval();
      QVERIFY2(ticks >= 2 && ticks <= 20, qPrintable(QString::number(ticks)));
    }
  }

  // After the time window 2 … 5 s the time axis runs 0 … 3 s: its last label and grid line
  // are there, as are those of an end that lies on the step for any other reason.
  void timeAxisKeepsItsLastLabel() {
    Session& s = *session_;
    QByteArray record = "1500 1\r\n";
    for (int i = 0; i < 1500; ++i) record += QByteArray::number(i * 0.004) + " 7\r\n";
    QVERIFY(writeFile(dir_->filePath("rec.aks"), record));
    s.answers.push_back({true, "rec.aks", 2});
    s.press("SpeedButtonOpen");
    s.type("EditTbeg", "2");
    s.type("EditTend", "5");
    s.press("SpeedButtonTime");
    QCOMPARE(s.boxes.take(), QStringList());
    ChartView* view = s.chartView();
    QCOMPARE(view->axisX()->min(), 0.0);
    QCOMPARE(view->axisX()->max(), 3.0);
    const QStringList labels = axisLabels(view);
    for (const char* label : {"0", "1", "2", "2.8", "3"})
      QVERIFY2(labels.contains(label), qPrintable(labels.join(' ')));
  }

  void ticksOfEveryKindOfRange() {
    const struct {
      double min, max, step;
      int fixedCount;
      double anchor, interval;
    } cases[] = {
        {0, 3, 0.2, 16, 0, 0.2},                     // both ends on the step
        {-1, 1, 0.2, 11, -1, 0.2},                   // across zero, both ends on it
        {2, 30, 2, 15, 2, 2},                        // a response spectrum 2 … 30 Hz
        {0, 2.996, 0.2, 0, 0, 0.2},                  // the end between two ticks
        {0.5, 3, 0.2, 0, 0.6, 0.2 * (1 - 1e-12)},    // only the end on the step
        {-0.5, 3, 0.2, 0, -0.4, 0.2},                // the same across zero: no "1e-13" there
        {1e6, 1e6 + 0.5, 0.05, 11, 1e6, 0.05},       // far from zero
        {0, 1e-300 * 3, 1e-301 * 2, 16, 0, 2e-301},  // tiny
    };
    for (const auto& c : cases) {
      const AxisTicks t = axisTicks(c.min, c.max, c.step);
      const QString at = QStringLiteral("%1 … %2").arg(c.min).arg(c.max);
      QVERIFY2(t.fixedCount == c.fixedCount, qPrintable(at));
      if (c.fixedCount) continue;
      QVERIFY2(qFuzzyCompare(t.anchor + 1, c.anchor + 1), qPrintable(at));
      QVERIFY2(t.interval == c.interval, qPrintable(at));
    }
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Session> session_;
};

ACCELSPEC_WINDOW_TEST_MAIN(WindowChart, "C.UTF-8")
#include "tst_window_chart.moc"
