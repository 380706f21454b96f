// SPDX-License-Identifier: MIT
// The analysis window beside the main window: how it opens, that the main window does not take
// it for a new activation, and what it remembers.

#include <QTest>

#include "app/analysis/plural.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

class AnalysisWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = freshFolder("7");
    QVERIFY(dir_);
  }
  void cleanup() { dir_.reset(); }

  void buttonAndKey() {
    Session s(dir_->path());
    QVERIFY(s.show());
    auto* button = s.find<QToolButton>("SpeedButtonAnalysis");
    QVERIFY(button);
    QCOMPARE(button->geometry(), QRect(768, 4, 22, 22));
    QCOMPARE(button->toolTip(), QString::fromUtf8("Инженерный анализ"));
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QVERIFY(!button->icon().isNull());
    QVERIFY(!s.forma->analysisWindow());

    // F8 from an edit field opens the window; a second F8 and the button raise the same one.
    s.click("EditFbeg");
    QTest::keyClick(s.edit("EditFbeg"), Qt::Key_F8);
    Session::settle();
    AnalysisWindow* w = s.forma->analysisWindow();
    QVERIFY(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->objectName(), QString("AnalysisWindow"));
    QCOMPARE(w->windowTitle(), QString::fromUtf8("Инженерный анализ"));
    QVERIFY(!w->isModal());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("7"));
    w->close();
    QVERIFY(s.activate());
    s.press("SpeedButtonAnalysis");
    QCOMPARE(s.forma->analysisWindow(), w);
    QVERIFY(w->isVisible());

    QTabWidget* tabs = w->tabs();
    QCOMPARE(tabs->count(), 5);
    for (int i = 0; i < 5; ++i) QCOMPARE(tabs->tabText(i), AnalysisWindow::pageTitles()[i]);
    QCOMPARE(AnalysisWindow::pageTitles(),
             QStringList({QString::fromUtf8("Записи"), QString::fromUtf8("Спектры"),
                          QString::fromUtf8("Совместимость"), QString::fromUtf8("Подбор"),
                          QString::fromUtf8("Наборы")}));
  }

  // FormActivate reloads the configuration: a field typed over and still showing its new text
  // proves it did not run. The error boxes prove the same for a missing configuration.
  void noActivationOfTheMainWindow() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.type("EditFbeg", "9");
    s.click("EditFend");
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    Session::settle();
    QVERIFY(s.activate());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("9"));

    s.press("SpeedButtonAnalysis");  // raise
    QVERIFY(QTest::qWaitForWindowActive(w));
    QVERIFY(s.activate());
    w->close();
    Session::settle();
    QVERIFY(s.activate());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("9"));
    QCOMPARE(s.boxes.take(), QStringList());

    // Another form of the program still makes the next return a new activation.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(s.activate());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("7"));
  }

  void closingTheMainWindowClosesIt() {
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    QVERIFY(s.close());
    QVERIFY(!w->isVisible());
  }

  // Counts read as Russian reads them.
  void russianCounts_data() {
    QTest::addColumn<long long>("n");
    QTest::addColumn<QString>("text");
    const std::pair<long long, const char*> cases[] = {
        {0, "0 точек"},     {1, "1 точка"},       {2, "2 точки"},     {4, "4 точки"},
        {5, "5 точек"},     {11, "11 точек"},     {12, "12 точек"},   {14, "14 точек"},
        {21, "21 точка"},   {22, "22 точки"},     {101, "101 точка"}, {111, "111 точек"},
        {301, "301 точка"}, {1004, "1004 точки"}, {-1, "-1 точка"}};
    for (const auto& [n, text] : cases) QTest::newRow(text) << n << QString::fromUtf8(text);
  }
  void russianCounts() {
    QFETCH(long long, n);
    QFETCH(QString, text);
    QCOMPARE(russianCount(n, "точка", "точки", "точек"), text);
  }

  void settingsRestored() {
    QRect placed;
    {
      Session s(dir_->path());
      QVERIFY(s.show());
      AnalysisWindow* w = openAnalysis(s);
      QVERIFY(w);
      w->setGeometry(QRect(120, 90, 900, 640));
      w->tabs()->setCurrentIndex(1);
      Session::settle();
      placed = w->geometry();
      w->close();
    }
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    QCOMPARE(w->geometry().size(), placed.size());
    QCOMPARE(w->geometry().topLeft(), placed.topLeft());
    QCOMPARE(w->tabs()->currentIndex(), 1);
    // Nothing of it went into the program's configuration file.
    QCOMPARE(readFile(dir_->filePath("config.cfg")).contains("analysis"), false);
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

ACCELSPEC_ANALYSIS_TEST_MAIN(AnalysisWindowTest, "C.UTF-8")
#include "tst_analysis_window.moc"
