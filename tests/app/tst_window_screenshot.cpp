// SPDX-License-Identifier: MIT
// The picture of the window after the typical road: three response spectra of one record,
// damped differently, taken into memory and overlaid. Checks that the curves are painted in
// their slot colours; with ACCELSPEC_SCREENSHOT=<file.png> set (tools/screenshot.sh, under a
// real X server) it also photographs the screen into that file, and the steps of the road the
// user's guide shows into guide-*.png beside it.

#include <QChart>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTest>

#include "app/help_window.hpp"
#include "tests/app/window_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

int countColour(const QImage& image, QRgb colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
  return n;
}

}  // namespace

class WindowScreenshot : public QObject {
  Q_OBJECT

 private slots:
  void typicalRoadPainted() {
    const QString target = qEnvironmentVariable("ACCELSPEC_SCREENSHOT");
    // Photographs the screen into `name` beside the target, when pictures are asked for.
    auto shoot = [&target](const QString& name) {
      if (target.isEmpty()) return;
      // Let the window manager and the X server catch up with the last paint.
      QTest::qWait(1000);
      const QString file = QFileInfo(target).dir().filePath(name);
      QCOMPARE(QProcess::execute("import", {"-window", "root", file}), 0);
    };
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
      // A first run leaves the configuration that the second one reads at its start.
      Session first(dir.path());
      QVERIFY(first.show());
      QVERIFY(first.close());
    }
    Session s(dir.path());
    QVERIFY(s.show());
    QCOMPARE(s.boxes.take(), QStringList());

    s.type("EditN", "4");
    s.click("EditFbeg");
    const char* points[4][2] = {{"2", "1"}, {"5", "3.5"}, {"12", "3"}, {"30", "1.5"}};
    for (int row = 1; row <= 4; ++row)
      for (int col = 0; col < 2; ++col) s.typeCell("StringGridSpv", col, row, points[row - 1][col]);
    s.click("EditFend");
    shoot("guide-spectrum-table.png");
    s.press("SpeedButtonAks");
    shoot("guide-accelerogram.png");
    for (const char* damping : {"0.05", "0.1", "0.2"}) {
      s.type("EditPsi", damping);
      s.press("SpeedButtonSpo");
      if (QString(damping) == "0.05") shoot("guide-response-spectrum.png");
      s.press("SpeedButtonMemory");
    }
    s.press("SpeedButtonVisual");
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.grid("StringGridMemory")->rowCount(), 4);

    ChartView* view = s.chartView();
    QTest::qWait(100);
    const QImage image = view->grab().toImage();
    QVERIFY(countColour(image, qRgb(0, 0, 0)) > 100);
    QVERIFY(countColour(image, qRgb(255, 0, 0)) > 100);
    QVERIFY(countColour(image, qRgb(0, 128, 0)) > 100);
    QCOMPARE(view->chart()->title(), QString("СПЕКТРЫ ОТВЕТОВ, взятые из памяти"));

    if (!target.isEmpty()) {
      QTest::qWait(1000);
      QCOMPARE(QProcess::execute("import", {"-window", "root", target}), 0);
    }

    // The time window: the stretch from 2 s to 5 s of a new synthesis, drawn from 0 s.
    s.press("SpeedButtonAks");
    s.type("EditTbeg", "2");
    s.type("EditTend", "5");
    s.press("SpeedButtonTime");
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.store->ND, 751);
    QCOMPARE(s.edit("EditTend")->text(), QString("3"));
    shoot("guide-time-window.png");

    // The guide, opened by F1 over a field, at the place that explains it.
    QLineEdit* psi = s.edit("EditPsi");
    QCursor::setPos(psi->mapToGlobal(QPoint(4, 4)));
    s.click("EditPsi");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    Session::settle();
    HelpWindow* help = s.forma->helpWindow();
    QVERIFY(help->isVisible());
    QCOMPARE(help->currentTopic(), helpTopicForControl("EditPsi"));
    shoot("guide-help.png");
    if (!target.isEmpty()) {
      // Only the guide's window, frame included.
      const QRect r = help->frameGeometry();
      const QString file = QFileInfo(target).dir().filePath("guide-help.png");
      const QString crop =
          QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
      QCOMPARE(QProcess::execute("convert", {file, "-crop", crop, "+repage", file}), 0);
    }
  }
};

ACCELSPEC_WINDOW_TEST_MAIN(WindowScreenshot, "C.UTF-8")
#include "tst_window_screenshot.moc"
