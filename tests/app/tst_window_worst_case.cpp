// SPDX-License-Identifier: MIT
// The largest response spectrum the store holds, run to its end through the window: 91001
// frequencies over a record of 100000 samples (about 9·10^9 oscillator steps). The progress box
// must show it advancing and the finished spectrum must be complete.

#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "tests/app/window_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

class WindowWorstCase : public QObject {
  Q_OBJECT

 private slots:
  void largestResponseSpectrumRunsToTheEnd() {
    QTemporaryDir dir;
    Session s(dir.path());
    QVERIFY(s.show());
    s.boxes.take();
    s.type("EditN", "3");
    s.click("EditFbeg");
    const char* points[3][2] = {{"1", "1"}, {"5", "3"}, {"30", "2"}};
    for (int i = 0; i < 3; ++i) {
      s.typeCell("StringGridSpv", 0, i + 1, points[i][0]);
      s.typeCell("StringGridSpv", 1, i + 1, points[i][1]);
    }
    s.click("EditDF");
    s.type("EditT", "20");
    s.type("EditND", "100000");
    s.type("EditDT", "0.0002");
    s.press("SpeedButtonAks");
    QCOMPARE(s.store->ND, 100000);
    s.type("EditFbeg", "1");
    s.type("EditFend", "5688.5");
    s.type("EditDF", "0.0625");

    QList<int> seen;  // the progress box's values as it was repainted
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
      auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
      if (progress && progress->isVisible()) seen.append(progress->value());
    });
    watcher.start(500);
    s.press("SpeedButtonSpo");
    watcher.stop();

    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.store->NF, 91000);
    QCOMPARE(s.graph(0).size(), 91001);
    QCOMPARE(s.store->SpF[kResponseBase + 91000], 5688.5L);
    for (int j = 0; j <= 91000; j += 997) QVERIFY(s.store->SpA[kResponseBase + j] > 0);
    QVERIFY2(seen.size() >= 3, qPrintable(QString::number(seen.size())));
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    QVERIFY(seen.last() > seen.first());
  }
};

ACCELSPEC_WINDOW_TEST_MAIN(WindowWorstCase, "C.UTF-8")
#include "tst_window_worst_case.moc"
