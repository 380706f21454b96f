// SPDX-License-Identifier: MIT
// The window answers while its long actions run: a timer on the GUI thread beats every 5 ms,
// and the longest gap between two beats stays under 100 ms while spectra, a check and a match
// are started, cancelled midway, started again at once and run to the end; a cancelled run
// stops its work rather than finishing it unseen; each action's button waits for its run.

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "app/analysis/background_task.hpp"
#include "app/analysis/check_page.hpp"
#include "app/analysis/match_page.hpp"
#include "app/analysis/records_page.hpp"
#include "app/analysis/spectra_page.hpp"
#include "records/record.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

// The longest time the GUI thread went without running its event loop, from start() on.
class Heartbeat : public QObject {
 public:
  Heartbeat() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this,
            [this] { longest_ = std::max(longest_, clock_.restart()); });
  }
  void start() {
    longest_ = 0;
    clock_.start();
    timer_.start();
  }
  qint64 longest() const { return longest_; }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 longest_ = 0;
};

// The allowed stall: 100 ms, more in the sanitizer build, whose every step runs several times
// slower than the user's.
#ifdef __SANITIZE_ADDRESS__
constexpr qint64 kStallMs = 400;
#else
constexpr qint64 kStallMs = 100;
#endif

// A long record: the database record three times over (about 3 min at 0.005 s).
records::Record longRecord() {
  records::Record r =
      records::readRecord(ACCELSPEC_TEST_DATA "/analysis/data/RSN8883_14383980_13849090.AT2");
  const std::vector<double> once = r.accel;
  for (int k = 0; k < 2; ++k) r.accel.insert(r.accel.end(), once.begin(), once.end());
  r.name = "long";
  return r;
}

QPushButton* button(QWidget* page, const char* name) {
  auto* b = page->findChild<QPushButton*>(QString::fromLatin1(name));
  if (!b) qFatal("no %s", name);
  return b;
}

}  // namespace

class AnalysisHeartbeatTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = freshFolder("2");
    QVERIFY(dir_);
  }
  void cleanup() { dir_.reset(); }

  // «Рассчитать» on a long record and a fine grid, «Отмена», «Рассчитать» again at once, then
  // the run to its end.
  void spectraHeartbeat() {
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    w->session().add(longRecord());
    QVERIFY(waitFor([&] { return !w->recordsPage()->task().busy(); }));
    SpectraPage* page = w->spectraPage();
    w->tabs()->setCurrentWidget(page);
    page->findChild<QComboBox*>("ComboGrid")->setCurrentIndex(0);
    page->findChild<QLineEdit*>("EditGridFrom")->setText("0.1");
    page->findChild<QLineEdit*>("EditGridTo")->setText("100");
    page->findChild<QLineEdit*>("EditGridStep")->setText("300");
    page->findChild<QLineEdit*>("EditDampings")->setText("0.02, 0.05, 0.1");
    QPushButton* compute = button(page, "ButtonCompute");

    Heartbeat beat;
    beat.start();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(compute, Qt::LeftButton);
    QVERIFY(page->task().busy());
    QVERIFY(!compute->isEnabled());
    QTest::qWait(50);
    QTest::mouseClick(button(page, "ButtonCancel"), Qt::LeftButton);
    QVERIFY(!page->task().busy());
    QVERIFY(compute->isEnabled());
    QTest::mouseClick(compute, Qt::LeftButton);
    QVERIFY(page->task().wait(240000));
    const qint64 whole = clock.elapsed();
    QCOMPARE(page->results().size(), std::size_t{1});
    QVERIFY2(beat.longest() < kStallMs, qPrintable(QString::number(beat.longest())));

    // A cancelled run stops its work: two runs cancelled at once and a third to the end take
    // about one run's time, not three (the cancelled ones would finish beside it otherwise).
    clock.restart();
    for (int k = 0; k < 2; ++k) {
      QTest::mouseClick(compute, Qt::LeftButton);
      QTest::qWait(20);
      QTest::mouseClick(button(page, "ButtonCancel"), Qt::LeftButton);
    }
    QTest::mouseClick(compute, Qt::LeftButton);
    QVERIFY(page->task().wait(240000));
    qInfo(
        "spectra: one run %lld ms, three started and two cancelled %lld ms, longest stall %lld ms",
        whole, clock.elapsed(), beat.longest());
    QVERIFY2(clock.elapsed() < whole * 3 / 2 + 500,
             qPrintable(QStringLiteral("%1 ms against %2 ms").arg(clock.elapsed()).arg(whole)));
    QVERIFY2(beat.longest() < kStallMs, qPrintable(QString::number(beat.longest())));
    QCOMPARE(s.boxes.take(), QStringList());
  }

  // «Проверить» and «Подобрать» started, cancelled, started again at once, run to the end.
  void checkAndMatchHeartbeat() {
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    records::Record seed =
        records::readRecord(ACCELSPEC_TEST_DATA "/analysis/data/RSN8883_14383980_13849090.AT2");
    w->session().add(seed);
    QVERIFY(waitFor([&] { return !w->recordsPage()->task().busy(); }));
    CheckPage* check = w->checkPage();
    w->tabs()->setCurrentWidget(check);
    QPushButton* run = button(check, "ButtonCheck");

    Heartbeat beat;
    beat.start();
    QTest::mouseClick(run, Qt::LeftButton);
    QVERIFY(!run->isEnabled());
    QVERIFY(!button(check, "ButtonCheckReport")->isEnabled());
    QTest::qWait(20);
    QTest::mouseClick(button(check, "ButtonCancel"), Qt::LeftButton);
    QTest::mouseClick(run, Qt::LeftButton);
    QVERIFY(check->task().wait(240000));
    QVERIFY(check->result());
    QVERIFY2(beat.longest() < kStallMs, qPrintable(QString::number(beat.longest())));

    MatchPage* match = w->matchPage();
    w->tabs()->setCurrentWidget(match);
    match->findChild<QRadioButton*>("RadioSeed")->setChecked(true);
    QPushButton* go = button(match, "ButtonMatch");
    beat.start();
    QTest::mouseClick(go, Qt::LeftButton);
    QVERIFY(!go->isEnabled());
    QTest::qWait(50);
    QTest::mouseClick(button(match, "ButtonCancel"), Qt::LeftButton);
    QTest::mouseClick(go, Qt::LeftButton);
    QVERIFY(match->task().wait(240000));
    QVERIFY(match->outcome());
    qInfo("check and match: longest stall %lld ms", beat.longest());
    QVERIFY2(beat.longest() < kStallMs, qPrintable(QString::number(beat.longest())));
    QCOMPARE(s.boxes.take(), QStringList());
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

ACCELSPEC_ANALYSIS_TEST_MAIN(AnalysisHeartbeatTest, "C.UTF-8")
#include "tst_analysis_heartbeat.moc"
