// SPDX-License-Identifier: MIT
// The pictures of the analysis window for the README: each page after its road. Under ctest it
// drives the roads and checks that each page shows its result; with
// ACCELSPEC_ANALYSIS_SHOTS=<folder> set (tools/screenshot.sh, under a real X server with a window
// manager) it also photographs the window into <folder>/analysis-<page>.png after each road.
// A page's road is one test function here, run in order over one window.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "app/analysis/background_task.hpp"
#include "app/analysis/check_page.hpp"
#include "app/analysis/library_model.hpp"
#include "app/analysis/match_page.hpp"
#include "app/analysis/plot.hpp"
#include "app/analysis/records_page.hpp"
#include "app/analysis/spectra_page.hpp"
#include "app/analysis/suites_page.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

class AnalysisScreenshot : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    QVERIFY(writeFile(dir_.filePath("config.cfg"),
                      configLines({"2", "30", "0.5", "0.1", "20", "5000", "0.004", "0"})));
    s_ = std::make_unique<Session>(dir_.path());
    QVERIFY(s_->show());
    w_ = openAnalysis(*s_);
    QVERIFY(w_);
    w_->setGeometry(40, 40, 1100, 760);
  }

  // Two components of a database record, one of them baseline-corrected; the corrected copy
  // selected, its histories and measures shown.
  void recordsRoad() {
    RecordsPage* page = w_->recordsPage();
    w_->tabs()->setCurrentWidget(page);
    QCOMPARE(
        page->openFiles(
            {QStringLiteral(ACCELSPEC_TEST_DATA "/analysis/data/RSN8883_14383980_13849090.AT2"),
             QStringLiteral(ACCELSPEC_TEST_DATA "/analysis/data/RSN8883_14383980_13849360.AT2")}),
        2);
    page->baselineClicked();
    QVERIFY(waitFor([&] {
      const LoadedRecord* r = w_->session().current();
      return r && r->measures.has_value();
    }));
    QCOMPARE(page->recordsTable()->rowCount(), 3);
    QVERIFY(!page->measuresTable()->item(0, 1)->text().isEmpty());
    shoot("records");
  }

  // The spectra of the two components at three dampings on log-log axes.
  void spectraRoad() {
    SpectraPage* page = w_->spectraPage();
    w_->tabs()->setCurrentWidget(page);
    w_->session().select({0, 1});
    page->findChild<QLineEdit*>("EditDampings")->setText("0.02, 0.05, 0.1");
    page->findChild<QComboBox*>("ComboAxisX")->setCurrentIndex(1);
    bool drawn = false;
    connect(page, &SpectraPage::drawn, this, [&] { drawn = true; });
    page->findChild<QPushButton*>("ButtonCompute")->click();
    QVERIFY(waitFor([&] { return drawn; }));
    QCOMPARE(page->plot()->seriesCount(), 6);
    shoot("spectra");
  }

  // Three records matched to ec8 (type 1, ground B, ag 0.3 g, T1 = 1 s), each as a seed, and
  // added to the records; the page after the third.
  void matchRoad() {
    CheckPage* check = w_->checkPage();
    MatchPage* page = w_->matchPage();
    check->findChild<QComboBox*>("ComboTarget")->setCurrentIndex(2);
    check->findChild<QComboBox*>("ComboRule")->setCurrentIndex(1);
    const std::pair<const char*, const char*> fields[] = {{"EditAg", "0.3"}, {"EditT1", "1"}};
    for (const auto& [name, text] : fields) {
      auto* e = check->findChild<QLineEdit*>(name);
      e->setText(QString::fromLatin1(text));
      emit e->textEdited(e->text());
    }
    check->findChild<QComboBox*>("ComboAgUnit")->setCurrentIndex(0);
    w_->session().add(
        records::readRecord(ACCELSPEC_TEST_DATA "/analysis/data/RSN8884_14383980_13873090.AT2"));
    w_->tabs()->setCurrentWidget(page);
    page->findChild<QRadioButton*>("RadioSeed")->setChecked(true);
    for (std::size_t seed : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
      w_->session().select({seed});
      page->findChild<QPushButton*>("ButtonMatch")->click();
      QVERIFY(page->task().wait());
      QVERIFY(page->outcome() && page->outcome()->passed);
      page->findChild<QPushButton*>("ButtonAddRecord")->click();
    }
    shoot("match");
  }

  // The three matched records checked as a set: the verdict, the ratio curve, the items.
  void checkRoad() {
    CheckPage* page = w_->checkPage();
    w_->tabs()->setCurrentWidget(page);
    w_->session().select({4, 5, 6});
    page->findChild<QPushButton*>("ButtonCheck")->click();
    QVERIFY(page->task().wait());
    QCOMPARE(page->findChild<QLabel*>("LabelVerdict")->text(), QString::fromUtf8("ПРОХОДИТ"));
    shoot("check");
  }

  // The public records of the tests added to a library of the run's own; three motions picked
  // and scaled to the same ec8 target from those of a step up to 0.02 s with factors
  // up to 5, along the period.
  void suitesRoad() {
    SuitesPage* page = w_->suitesPage();
    w_->tabs()->setCurrentWidget(page);
    bool reloaded = false;
    connect(page, &SuitesPage::reloaded, this, [&] { reloaded = true; });
    page->setLibraryPath(dir_.filePath("library.sqlite"));
    QVERIFY(waitFor([&] { return reloaded; }));
    reloaded = false;
    // The NGA-West2 records without the tables of numbers beside them in their folder.
    const QString nga = dir_.filePath("nga");
    QVERIFY(QDir().mkpath(nga));
    for (const char* name : {"RSN8883_14383980_13849090.AT2", "RSN8883_14383980_13849360.AT2",
                             "RSN8884_14383980_13873090.AT2", "RSN8884_14383980_13873360.AT2"})
      QVERIFY(QFile::copy(QStringLiteral(ACCELSPEC_TEST_DATA "/analysis/data/") + name,
                          nga + "/" + name));
    page->addFolders({nga, QStringLiteral(ACCELSPEC_TEST_DATA "/records/data"),
                      QStringLiteral(ACCELSPEC_TEST_DATA "/matching/data")});
    QVERIFY(waitFor([&] { return page->lastAdd().has_value() && reloaded; }));
    QVERIFY(page->model()->rowCount() >= 5);
    // Records of a step up to 0.02 s: the check's grid ends at the coarsest step's Nyquist.
    page->findChild<QLineEdit*>("EditWhere")->setText("dt<=0.02");
    reloaded = false;
    page->reload();
    QVERIFY(waitFor([&] { return reloaded; }));
    page->findChild<QComboBox*>("ComboSuiteRule")->setCurrentIndex(1);
    page->findChild<QSpinBox*>("SpinSuiteCount")->setValue(3);
    page->findChild<QLineEdit*>("EditSuiteT1")->setText("1");
    page->findChild<QLineEdit*>("EditScaleMax")->setText("5");
    page->runSelection();
    QVERIFY(page->selectionTask().wait());
    QCOMPARE(page->selectionTask().lastError(), QString());
    QCOMPARE(page->suiteTable()->rowCount(), 3);
    shoot("suites");
  }

  void cleanupTestCase() { s_.reset(); }

 private:
  void shoot(const char* page) {
    QTest::qWait(200);
    QCOMPARE(s_->boxes.take(), QStringList());
    const QString folder = qEnvironmentVariable("ACCELSPEC_ANALYSIS_SHOTS");
    if (folder.isEmpty()) return;
    w_->raise();
    w_->activateWindow();
    // Let the window manager and the X server catch up with the last paint.
    QTest::qWait(1000);
    const QString target = folder + QStringLiteral("/analysis-%1.png").arg(page);
    QCOMPARE(
        QProcess::execute("import", {"-frame", "-window", QString::number(w_->winId()), target}),
        0);
  }

  QTemporaryDir dir_;
  std::unique_ptr<Session> s_;
  AnalysisWindow* w_ = nullptr;
};

ACCELSPEC_ANALYSIS_TEST_MAIN(AnalysisScreenshot, "C.UTF-8")
#include "tst_analysis_screenshot.moc"
