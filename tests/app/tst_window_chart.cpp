// Chart1 as a view of the chart model: whole series handed over at once, axes fitted to the
// visible data, and zooming with the mouse.

#include <QChart>
#include <QSignalSpy>
#include <QTest>

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

  // A graph of 100000 points reaches the view in one replace, never point by point.
  void wholeSeriesInOneReplace() {
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
    QVERIFY(series->count() >= 99999);  // the sweep ends within one sample of T
    QCOMPARE(replaced.size(), 1);
    QCOMPARE(added.size(), 0);

    // A command that changes nothing on the chart hands nothing over again.
    s.press("SpeedButtonMemory");
    s.press("SpeedButtonDelete");
    QCOMPARE(replaced.size(), 1);
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

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Session> session_;
};

ACCELSPEC_WINDOW_TEST_MAIN(WindowChart, "C.UTF-8")
#include "tst_window_chart.moc"
