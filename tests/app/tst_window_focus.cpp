// SPDX-License-Identifier: MIT
// When the window's handlers run: leaving EditN and the spectrum table, and activation.

#include <QTest>
#include <QWindow>

#include "data/messages.hpp"
#include "tests/app/window_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

class WindowFocus : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
  }
  void cleanup() { dir_.reset(); }

  void firstActivationWithoutConfiguration() {
    Session s(dir_->path());
    QVERIFY(s.show());
    QCOMPARE(s.boxes.seen.size(), 1);
    const MessageRecord box = s.boxes.seen.first();
    QCOMPARE(box.text, QString("File not found."));
    QCOMPARE(box.title, TForma::applicationTitle());
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, 1);
    // The defaults stay and the header cells stay empty: they are set only by a full load.
    QCOMPARE(s.edit("EditFbeg")->text(), QString("2"));
    QCOMPARE(s.edit("EditDT")->text(), QString("0.004"));
    for (int col = 0; col < 2; ++col) QCOMPARE(s.forma->cell(Grid::Spv, col, 0), std::string());
    for (int col = 0; col < 3; ++col) QCOMPARE(s.forma->cell(Grid::Memory, col, 0), std::string());
    QVERIFY(!s.grid("StringGridMemory")->isVisible());
  }

  void activationWithConfiguration() {
    QVERIFY(writeFile(dir_->filePath("config.cfg"), configWithStart("7")));
    Session s(dir_->path());
    QVERIFY(s.show());
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("7"));
    QCOMPARE(s.forma->cell(Grid::Spv, 0, 0), std::string("Частота"));
    QCOMPARE(s.forma->cell(Grid::Spv, 1, 0), std::string("Ускорение"));
  }

  // Only a return from another form of the program is a new activation: not one from a
  // message box, a file dialog or another program.
  void activationRules() {
    QVERIFY(writeFile(dir_->filePath("config.cfg"), configWithStart("7")));
    Session s(dir_->path());
    QVERIFY(s.show());
    s.type("EditFbeg", "9");

    // A message box (a bad EditN, left for EditFbeg) comes and goes.
    s.type("EditN", "abc");
    s.click("EditFbeg");
    QCOMPARE(s.boxes.take(), QStringList{"'abc' is not a valid integer value."});
    QVERIFY(s.activate());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("9"));

    // A file dialog (answered by cancelling) comes and goes.
    s.answers.push_back({false, {}, 0});
    s.press("SpeedButtonOpen");
    QCOMPARE(s.asked.size(), std::size_t{1});
    QVERIFY(s.activate());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("9"));

    // Another program takes the focus and gives it back.
    emit qApp->focusWindowChanged(nullptr);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(s.forma.get(), &deactivate);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(s.forma.get(), &activate);
    Session::settle();
    QCOMPARE(s.edit("EditFbeg")->text(), QString("9"));

    // Another form of the program had the focus: the configuration is read again.
    QWidget other;
    other.setWindowTitle("other form");
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(s.activate());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("7"));
    QCOMPARE(s.boxes.take(), QStringList());

    // Once only: activating it again while it is the last form to have had the focus is not new.
    s.type("EditFbeg", "9");
    QVERIFY(s.activate());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("9"));
  }

  // The report preview is another form: closing it activates the window anew.
  void reportPreviewIsAnotherForm() {
    QVERIFY(writeFile(dir_->filePath("config.cfg"), configWithStart("7")));
    Session s(dir_->path());
    QVERIFY(s.show());
    s.type("EditN", "1");
    s.click("EditFbeg");
    s.typeCell("StringGridSpv", 0, 1, "4");
    s.typeCell("StringGridSpv", 1, 1, "2");
    s.type("EditFbeg", "9");
    QCOMPARE(s.store->Mode, kModeInputSpectrum);

    // Both buttons stay hidden; their handlers are reached directly.
    QVERIFY(!s.find<QToolButton>("SpeedButtonReport")->isVisible());
    s.forma->SpeedButtonReportClick();
    QCOMPARE(s.report.page().heading, std::string("Отчёт по спектру воздействий"));
    QCOMPARE(s.report.page().frequencyLines, (std::vector<std::string>{"Частота", "4"}));

    bool shown = false;
    connect(&s.report, &TReport::previewShown, this, [&] {
      shown = true;
      QTimer::singleShot(50, [&] {
        if (QWidget* preview = s.report.previewWindow()) preview->close();
      });
    });
    s.forma->SpeedButtonPreviewClick();
    QVERIFY(shown);
    QVERIFY(s.activate());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("7"));
    QCOMPARE(s.boxes.take(), QStringList());
  }

  void editNExitOnlyWhenTheFocusMovesToAnotherControl() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    StringGrid* grid = s.grid("StringGridSpv");

    s.type("EditT", "x");
    s.type("EditN", "3");
    // Tool buttons take no focus: EditN is not left, whatever the button does.
    s.press("SpeedButtonMemory");
    QCOMPARE(grid->rowCount(), 6);
    // A message box coming and going does not leave it either.
    s.press("SpeedButtonAks");
    QCOMPARE(s.boxes.take(), QStringList{"'x' is not a valid floating point value."});
    QCOMPARE(QApplication::focusWidget(), s.edit("EditN"));
    QCOMPARE(grid->rowCount(), 6);
    // Another control does.
    s.click("EditDT");
    QCOMPARE(grid->rowCount(), 4);
    QCOMPARE(s.store->N, 3);

    // Tab leaves it as well; a count of zero or less keeps the header row only.
    s.type("EditN", "-2");
    s.tab();
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(s.boxes.take(), QStringList());
  }

  void editNRejectsWhatIsNoCount_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters") << "abc"
                             << "'abc' is not a valid integer value.";
    QTest::newRow("real") << "2.5"
                          << "'2.5' is not a valid integer value.";
    QTest::newRow("empty") << ""
                           << "'' is not a valid integer value.";
    QTest::newRow("beyond 32 bits") << "4294967296"
                                    << "'4294967296' is not a valid integer value.";
  }

  void editNRejectsWhatIsNoCount() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    s.type("EditN", "2");
    s.click("EditFbeg");
    s.type("EditN", typed);
    s.click("EditFbeg");
    QCOMPARE(s.boxes.take(), QStringList{message});
    QCOMPARE(s.grid("StringGridSpv")->rowCount(), 3);
    QCOMPARE(s.store->N, 2);
  }

  void tableTakenOverWhenLeft() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    s.type("EditN", "3");
    s.click("EditFbeg");
    const char* cells[3][2] = {{"10", "2"}, {"1", "1"}, {"5", "3"}};
    for (int row = 1; row <= 3; ++row)
      for (int col = 0; col < 2; ++col) s.typeCell("StringGridSpv", col, row, cells[row - 1][col]);
    // Moving between cells and into the cell editor is not leaving the table.
    QCOMPARE(s.store->Mode, kModeNone);
    QVERIFY(s.points(0).isEmpty());

    s.click("EditDF");
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.store->Mode, kModeInputSpectrum);
    QCOMPARE(double(s.store->SpF[1]), 10.0);
    QCOMPARE(double(s.store->SpA[3]), 3.0);
    // Drawn in ascending frequency whatever the order typed.
    QCOMPARE(s.points(0), (QList<QPointF>{{1, 1}, {5, 3}, {10, 2}}));
    QCOMPARE(s.chartView()->axisX()->titleText(), QString("Частота (Герцы)"));
    QCOMPARE(s.chartView()->axisX()->min(), 1.0);
    QCOMPARE(s.chartView()->axisX()->max(), 10.0);
  }

  void openCellEditorIsCommittedWhenTheFocusLeaves() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    s.type("EditN", "1");
    s.click("EditFbeg");
    s.typeCell("StringGridSpv", 0, 1, "4");
    // The second cell is typed and left at once, its editor still open.
    StringGrid* grid = s.clickCell("StringGridSpv", 1, 1);
    Session::typeIntoFocus("8");
    QVERIFY(grid->isEditing());
    s.click("Memo1");
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.points(0), (QList<QPointF>{{4, 8}}));
    QCOMPARE(s.forma->cell(Grid::Spv, 1, 1), std::string("8"));
  }

  void tabThroughTheTableLeavesIt() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    s.type("EditN", "1");
    s.click("EditFbeg");
    s.typeCell("StringGridSpv", 0, 1, "4");
    // Tab inside the cell editor leaves the table too.
    StringGrid* grid = s.clickCell("StringGridSpv", 1, 1);
    Session::typeIntoFocus("6");
    s.tab();
    QVERIFY(!grid->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(s.points(0), (QList<QPointF>{{4, 6}}));

    // With N = 0, passing through the table empties the chart and sets the spectrum kind.
    s.store->Mode = kModeNone;
    s.type("EditN", "0");
    s.tab();  // to the table
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
    s.tab();  // out of it
    QCOMPARE(s.store->Mode, kModeInputSpectrum);
    QVERIFY(s.points(0).isEmpty());
  }

  // Rows are taken in order; the first bad cell ends the take-over, the rows before it stay.
  void badCellStopsTheTakeOver_data() {
    QTest::addColumn<QString>("freq");
    QTest::addColumn<QString>("acc");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("drawn");
    QTest::addColumn<double>("storedFreq");
    QTest::newRow("empty frequency") << ""
                                     << "1"
                                     << "'' is not a valid floating point value." << 1 << 0.0;
    QTest::newRow("bad acceleration") << "3"
                                      << "x1"
                                      << "'x1' is not a valid floating point value." << 1 << 3.0;
    // "0?5" stands for 0.5 written with the separator the user's locale does not use.
    QTest::newRow("the other decimal separator")
        << "3"
        << "0?5"
        << "'0?5' is not a valid floating point value." << 1 << 3.0;
    QTest::newRow("both fine") << "3"
                               << "1"
                               << "" << 2 << 3.0;
  }

  void badCellStopsTheTakeOver() {
    QFETCH(QString, freq);
    QFETCH(QString, acc);
    QFETCH(QString, message);
    QFETCH(int, drawn);
    QFETCH(double, storedFreq);
    Session s(dir_->path());
    const QString other = s.forma->decimalSeparator() == '.' ? "," : ".";
    acc.replace("?", other);
    message.replace("?", other);
    QVERIFY(s.show());
    s.boxes.take();
    s.type("EditN", "2");
    s.click("EditFbeg");
    s.typeCell("StringGridSpv", 0, 1, "1");
    s.typeCell("StringGridSpv", 1, 1, "2");
    if (!freq.isEmpty()) s.typeCell("StringGridSpv", 0, 2, freq);
    s.typeCell("StringGridSpv", 1, 2, acc);
    s.click("EditFbeg");
    QCOMPARE(s.boxes.take(), message.isEmpty() ? QStringList() : QStringList{message});
    // What was drawn before the failure is on the chart.
    QCOMPARE(s.points(0).size(), drawn);
    QCOMPARE(double(s.store->SpF[2]), storedFreq);
    QCOMPARE(s.store->Mode, kModeInputSpectrum);
  }

  void rowsKeepTheirTextWhenHiddenAndTheHeaderStopsBeingFixed() {
    QVERIFY(writeFile(dir_->filePath("config.cfg"), configWithStart("2")));
    Session s(dir_->path());
    QVERIFY(s.show());
    StringGrid* grid = s.grid("StringGridSpv");
    s.type("EditN", "2");
    s.click("EditFbeg");
    s.typeCell("StringGridSpv", 0, 2, "12");
    s.type("EditN", "1");
    s.click("EditFbeg");
    QCOMPARE(grid->rowCount(), 2);
    s.type("EditN", "3");
    s.click("EditFbeg");
    QCOMPARE(grid->rowCount(), 4);
    QCOMPARE(grid->item(2, 0)->text(), QString("12"));
    QCOMPARE(grid->fixedRows(), 1);

    // Cut to the header row alone, the header becomes an ordinary row, and stays one.
    s.type("EditN", "0");
    s.click("EditFbeg");
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->fixedRows(), 0);
    s.type("EditN", "2");
    s.click("EditFbeg");
    QCOMPARE(grid->fixedRows(), 0);
    QVERIFY(grid->item(0, 0)->flags() & Qt::ItemIsEditable);
    QCOMPARE(grid->item(0, 0)->text(), QString("Частота"));
    QCOMPARE(grid->item(2, 0)->text(), QString("12"));
    s.typeCell("StringGridSpv", 0, 0, "5");
    QCOMPARE(s.forma->cell(Grid::Spv, 0, 0), std::string("5"));
    // Leaving the table with empty rows reported them; nothing else was said.
    for (const QString& text : s.boxes.take())
      QCOMPARE(text, QString("'' is not a valid floating point value."));
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

ACCELSPEC_WINDOW_TEST_MAIN(WindowFocus, "C.UTF-8")
#include "tst_window_focus.moc"
