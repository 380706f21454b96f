// SPDX-License-Identifier: MIT
// The analysis window's plots as an engineer reads them: tick labels that are round numbers,
// logarithmic axes labelled at 1, 2 and 5 with the lowest value named, and guide lines that
// carry their values on screen and in the exported pictures.

#include <QApplication>
#include <QChart>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLegend>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <map>

#include "app/analysis/plot.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;

namespace {

// The texts a reader sees around and in the plot area: below it (the x axis, left to right),
// left of it (the y axis, bottom to top) and inside it.
struct Shown {
  QStringList x, y, inside;
};

Shown shownLabels(const Plot& plot) {
  const QRectF area = plot.chart()->mapRectToScene(plot.chart()->plotArea());
  std::multimap<double, QString> x, y;
  Shown shown;
  for (QGraphicsItem* item : plot.view()->scene()->items()) {
    if (!item->isVisible()) continue;
    QString text;
    QColor color;
    if (auto* t = dynamic_cast<QGraphicsTextItem*>(item)) {
      text = t->toPlainText();
      color = t->defaultTextColor();
    } else if (auto* s = dynamic_cast<QGraphicsSimpleTextItem*>(item)) {
      text = s->text();
      color = s->brush().color();
    }
    if (text.isEmpty() || color.alpha() == 0) continue;
    const QRectF r = item->sceneBoundingRect();
    if (area.adjusted(-1, -1, 1, 1).contains(r))
      shown.inside << text;
    else if (r.top() >= area.bottom() - 1 && r.center().x() >= area.left() - 1 &&
             r.center().x() <= area.right() + 1)
      x.emplace(r.center().x(), text);
    else if (r.right() <= area.left() + 1)
      y.emplace(-r.center().y(), text);
  }
  for (const auto& [at, text] : x) shown.x << text;
  for (const auto& [at, text] : y) shown.y << text;
  return shown;
}

// A plot of the size given, shown, without titles or legend so that only the ticks are around.
void show(Plot& plot, QSize size) {
  plot.chart()->legend()->hide();
  plot.resize(size);
  plot.show();
  QVERIFY(QTest::qWaitForWindowExposed(&plot));
  plot.refresh();
  QCoreApplication::processEvents();
}

}  // namespace

class AnalysisPlotTest : public QObject {
  Q_OBJECT

 private slots:
  // Every tick label of a linear axis is a round number a step apart from its neighbour: never
  // "-0" or the last bits of a sum of steps ("2.77556e-17"), zero named "0" where it lies.
  void linearTicksAreRoundNumbers_data() {
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::newRow("across zero") << -0.3 << 0.3;
    QTest::newRow("tenths") << 0.0 << 0.7;
    QTest::newRow("below zero") << -7.1 << -0.2;
    QTest::newRow("odd across zero") << -0.07 << 0.13;
    QTest::newRow("wide") << -3e5 << 3e5;
  }
  void linearTicksAreRoundNumbers() {
    QFETCH(double, lo);
    QFETCH(double, hi);
    Plot plot;
    plot.addSeries("a", {{lo, lo}, {hi, hi}});
    show(plot, QSize(700, 450));
    const Shown shown = shownLabels(plot);
    for (const QStringList& labels : {shown.x, shown.y}) {
      QVERIFY2(labels.size() >= 3, qPrintable(labels.join(' ')));
      std::vector<double> values;
      for (const QString& l : labels) {
        bool ok = false;
        values.push_back(l.toDouble(&ok));
        static const QRegularExpression plain("^-?[0-9]+(\\.[0-9]{1,4})?$");
        QVERIFY2(ok && plain.match(l).hasMatch() && (values.back() != 0 || l == "0"),
                 qPrintable(labels.join(' ')));
      }
      for (std::size_t i = 2; i < values.size(); ++i)
        QVERIFY2(std::abs((values[i] - values[i - 1]) - (values[1] - values[0])) <
                     1e-9 * std::abs(values[1] - values[0]),
                 qPrintable(labels.join(' ')));
      if (lo < 0 && hi > 0) QVERIFY2(labels.contains("0"), qPrintable(labels.join(' ')));
    }
  }

  // A logarithmic axis names 1, 2 and 5 of each decade where there is room, the decades where
  // there is not, and always its lowest value.
  void logTicksAtOneTwoFive() {
    Plot plot;
    plot.setAxes({}, true, {}, true);
    plot.addSeries("a", {{0.1, 0.01}, {100, 10}});
    show(plot, QSize(1000, 600));
    Shown shown = shownLabels(plot);
    QCOMPARE(shown.x, QStringList({"0.1", "0.2", "0.5", "1", "2", "5", "10", "20", "50", "100"}));
    QCOMPARE(shown.y,
             QStringList({"0.01", "0.02", "0.05", "0.1", "0.2", "0.5", "1", "2", "5", "10"}));

    // Seven decades in a narrow plot: the decades, not crowded, the lowest first.
    plot.clear();
    plot.addSeries("a", {{1e-3, 1e-3}, {1e4, 1e4}});
    show(plot, QSize(360, 600));
    shown = shownLabels(plot);
    QVERIFY2(shown.x.size() >= 3 && shown.x.front() == "0.001", qPrintable(shown.x.join(' ')));
    QVERIFY2(shown.y.size() >= 8 && shown.y.front() == "0.001" && shown.y.back() == "10000",
             qPrintable(shown.y.join(' ')));

    // Ranges fixed off the 1-2-5 values still name their lowest value.
    plot.clear();
    plot.addSeries("a", {{0.05, 0.05}, {40, 40}});
    plot.setRanges(0.03, 40, 0.03, 40);
    show(plot, QSize(800, 500));
    shown = shownLabels(plot);
    QCOMPARE(shown.x.front(), QString("0.03"));
    QCOMPARE(shown.y.front(), QString("0.03"));
    QVERIFY(shown.x.contains("0.05") && shown.x.contains("20"));
  }

  // A written guide carries its label along its line inside the plot, in the PNG and the SVG
  // too; a guide that leaves the area too soon for its label goes without it.
  void guidesCarryTheirValues() {
    QTemporaryDir dir;
    const QString bare = dir.filePath("bare.png"), png = dir.filePath("written.png"),
                  svg = dir.filePath("written.svg");
    Plot plot;
    plot.setAxes({}, true, {}, true);
    plot.addSeries("a", {{0.01, 0.01}, {10, 10}});
    plot.addGuide({{0.01, 10}, {10, 0.01}}, QColor(120, 120, 200), QString::fromUtf8("SD 0.1 м"),
                  true);
    plot.addGuide({{0.01, 0.1}, {0.011, 10}}, QColor(200, 120, 120), "steep", true);
    plot.addGuide({{0.01, 0.02}, {10, 20}}, QColor(200, 120, 120), "unwritten");
    plot.setRanges(0.01, 10, 0.01, 10);
    show(plot, QSize(800, 600));
    QCOMPARE(shownLabels(plot).inside, QStringList({QString::fromUtf8("SD 0.1 м")}));
    QVERIFY(plot.exportPng(png));
    QVERIFY(plot.exportSvg(svg));
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The painter writes the Cyrillic unit as a text of its own where the font falls back.
    QVERIFY(QString::fromUtf8(file.readAll()).contains(QStringLiteral(">SD 0.1")));

    plot.clear();
    plot.addSeries("a", {{0.01, 0.01}, {10, 10}});
    plot.addGuide({{0.01, 10}, {10, 0.01}}, QColor(120, 120, 200), QString::fromUtf8("SD 0.1 м"));
    plot.setRanges(0.01, 10, 0.01, 10);
    show(plot, QSize(800, 600));
    QCOMPARE(shownLabels(plot).inside, QStringList());
    QVERIFY(plot.exportPng(bare));
    QVERIFY(QImage(bare) != QImage(png));
  }
};

ACCELSPEC_ANALYSIS_TEST_MAIN(AnalysisPlotTest, "C.UTF-8")
#include "tst_analysis_plot.moc"
