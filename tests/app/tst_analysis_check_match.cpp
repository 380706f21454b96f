// SPDX-License-Identifier: MIT
// The pages "Совместимость" and "Подбор" on a session of their own: the engineer's road from a
// raw record that fails an ec8 target, through a match (cancelled midway, then run to the end),
// to a record that passes, its *.aks file and its PDF report.

#include <QAbstractAxis>
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QValueAxis>
#include <QtTest>
#include <cstdlib>
#include <string>

#include "app/analysis/analysis_session.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/check_page.hpp"
#include "app/analysis/match_page.hpp"
#include "app/analysis/plot.hpp"
#include "app/analysis/plural.hpp"
#include "records/record.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;

namespace {

const QString kData = QStringLiteral(ACCELSPEC_TEST_DATA "/analysis/data/");
const char* const kRaw[] = {"RSN8883_14383980_13849090.AT2", "RSN8883_14383980_13849360.AT2",
                            "RSN8884_14383980_13873090.AT2"};

// The first `seconds` of a raw record: a seed short enough for the sanitizer build.
records::Record rawRecord(double seconds = 0, int which = 0) {
  records::Record r = records::readRecord((kData + QString::fromLatin1(kRaw[which])).toStdString());
  if (seconds > 0) r.accel.resize(static_cast<std::size_t>(seconds / r.dt));
  return r;
}

template <typename T>
T* child(QWidget* page, const char* name) {
  T* w = page->findChild<T*>(QString::fromLatin1(name));
  if (!w) qFatal("no %s", name);
  return w;
}

// Runs `action`, closing the message box it opens; returns the box's text ("" when none).
template <typename Action>
QString boxOf(Action action) {
  QString text;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text();
      box->accept();
    }
  });
  timer.start();
  action();
  return text;
}

}  // namespace

class TestCheckMatch : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  AnalysisSession* session_ = nullptr;
  CheckPage* check_ = nullptr;
  MatchPage* match_ = nullptr;

  void type(const char* field, const char* text) {
    auto* e = child<QLineEdit>(check_, field);
    e->setText(QString::fromUtf8(text));
    emit e->textEdited(e->text());
  }

  // ec8 type 1, ground B, ag 2.943 m/s², by the ec8 rule with T1 = 1 s. The choice outlives
  // the page in the settings: every field is set.
  void chooseEc8Target() {
    child<QComboBox>(check_, "ComboTarget")->setCurrentIndex(2);
    child<QComboBox>(check_, "ComboEc8Type")->setCurrentIndex(0);
    child<QComboBox>(check_, "ComboGround")->setCurrentIndex(1);
    child<QComboBox>(check_, "ComboAgUnit")->setCurrentIndex(1);
    child<QComboBox>(check_, "ComboRule")->setCurrentIndex(1);
    child<QComboBox>(check_, "ComboQuantity")->setCurrentIndex(0);
    type("EditAg", "2.943");
    type("EditDamping", "0.05");
    type("EditT1", "1");
    type("EditTmin", "");
    type("EditTmax", "");
    type("EditMinRatio", "0.9");
  }

  bool checked() {
    QTest::mouseClick(child<QPushButton>(check_, "ButtonCheck"), Qt::LeftButton);
    return check_->task().wait();
  }

  QString verdict() const { return check_->findChild<QLabel*>("LabelVerdict")->text(); }

  // Starts a match and cancels it from its second progress report; the step's text is shown
  // whole above the bar.
  void cancelledMatch() {
    QString shown;
    QMetaObject::Connection text = connect(
        &match_->task(), &BackgroundTask::progress, this, [this, &shown](int, const QString& t) {
          if (shown.isEmpty())
            shown = match_->findChild<QLabel*>("TaskProgressText")->text() + "|" + t;
        });
    QMetaObject::Connection c = connect(&match_->task(), &BackgroundTask::progress, this, [this] {
      if (match_->task().busy()) match_->task().cancel();
    });
    int reports = 0;
    QMetaObject::Connection counting =
        connect(&match_->task(), &BackgroundTask::progress, this, [&reports] { ++reports; });
    match_->runMatch();
    QVERIFY(match_->task().wait());
    disconnect(c);
    disconnect(counting);
    disconnect(text);
    QVERIFY(reports >= 1);
    const QStringList parts = shown.split('|');
    QCOMPARE(parts.size(), 2);
    QCOMPARE(parts[0], parts[1]);
    QVERIFY(parts[0].startsWith(QString::fromUtf8("итерация 1: ")));
  }

 private slots:
  void init() {
    session_ = new AnalysisSession;
    check_ = new CheckPage(*session_);
    match_ = new MatchPage(*session_);
    check_->task().setShowErrors(false);
    match_->task().setShowErrors(false);
    check_->resize(1100, 700);
    match_->resize(1100, 700);
    chooseEc8Target();
  }

  void cleanup() {
    delete match_;
    delete check_;
    delete session_;
  }

  // A raw record fails the target; its failing points are listed, the verdict is red.
  void rawRecordFails() {
    session_->add(rawRecord());
    QVERIFY(checked());
    QCOMPARE(verdict(), QString::fromUtf8("НЕ ПРОХОДИТ"));
    QVERIFY(check_->findChild<QLabel*>("LabelVerdict")->styleSheet().contains("#c01c1c"));
    QVERIFY(child<QTableWidget>(check_, "TableFailing")->rowCount() > 0);
    QVERIFY(child<QTableWidget>(check_, "TableVerdicts")->rowCount() > 0);
    QCOMPARE(check_->result()->targetText, std::string("ec8, тип 1, грунт B, ag 2.943 м/с²"));

    // At the window's size the verdict column is in view, the long details cut short instead.
    check_->resize(1000, 680);
    check_->QWidget::show();
    QVERIFY(QTest::qWaitForWindowExposed(check_));
    auto* items = child<QTableWidget>(check_, "TableVerdicts");
    QVERIFY(items->rowCount() > 0);
    QVERIFY2(items->columnViewportPosition(3) + items->columnWidth(3) <= items->viewport()->width(),
             qPrintable(QStringLiteral("%1 + %2 > %3")
                            .arg(items->columnViewportPosition(3))
                            .arg(items->columnWidth(3))
                            .arg(items->viewport()->width())));
    QCOMPARE(items->item(0, 2)->toolTip(), items->item(0, 2)->text());
  }

  // From the sweep: a cancel midway leaves the page as it was; the full run passes, and its file
  // is the command line's for the same inputs, byte for byte.
  void sweepMatchesAsTheCommandDoes() {
    child<QRadioButton>(match_, "RadioSweep")->setChecked(true);
    cancelledMatch();
    QVERIFY(!match_->outcome());
    QVERIFY(!child<QPushButton>(match_, "ButtonSaveAks")->isEnabled());
    QCOMPARE(child<QLabel>(match_, "LabelMatchResult")->text(),
             QString::fromUtf8("Подбора ещё не было."));

    match_->runMatch();
    QVERIFY(match_->task().wait());
    QVERIFY2(
        match_->outcome() && match_->outcome()->passed,
        qPrintable(match_->task().lastError() + child<QLabel>(match_, "LabelMatchResult")->text()));
    QVERIFY(child<QPushButton>(match_, "ButtonSaveAks")->isEnabled());
    QVERIFY(!match_->outcome()->steps.empty());
    const int used = match_->outcome()->steps.back().iteration;
    QVERIFY(child<QLabel>(match_, "LabelMatchResult")
                ->text()
                .startsWith(QString::fromUtf8("Подобрано за ") +
                            russianCount(used, "итерацию", "итерации", "итераций") + ":"));

    const QString mine = dir_.filePath(QStringLiteral("window.aks"));
    QVERIFY(match_->saveAks(mine));
    const QString cli = dir_.filePath(QStringLiteral("cli.aks"));
    const std::string command = std::string(ACCELSPEC_CLI) + " match '" + cli.toStdString() +
                                "' --target ec8:1:B:2.943 --rule ec8 --t1 1";
    QCOMPARE(std::system(command.c_str()), 0);
    QFile a(mine), b(cli);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray bytes = a.readAll();
    QVERIFY(bytes.size() > 1000);
    QVERIFY(bytes == b.readAll());

    // A second run cancelled midway keeps the first one's result.
    const std::vector<double> first = match_->outcome()->record.accel;
    cancelledMatch();
    QVERIFY(match_->outcome() && match_->outcome()->record.accel == first);
    QVERIFY(child<QPushButton>(match_, "ButtonSaveAks")->isEnabled());
  }

  // Three seeds, the first cancelled midway and then run to the end; the results join the
  // records, pass the check as a set of three (the ec8 rule asks for at least three), and the
  // check's PDF is written.
  void seedMatchesPassTheCheck() {
    child<QRadioButton>(match_, "RadioSeed")->setChecked(true);
    std::vector<std::size_t> matched;
    for (int k = 0; k < 3; ++k) {
      session_->add(rawRecord(0, k));
      if (k == 0) {
        cancelledMatch();
        QVERIFY(!match_->outcome());
      }
      match_->runMatch();
      QVERIFY(match_->task().wait());
      QVERIFY2(match_->outcome() && match_->outcome()->passed,
               qPrintable(QString::number(k) + match_->task().lastError() +
                          child<QLabel>(match_, "LabelMatchResult")->text()));
      QVERIFY(match_->addToRecords());
      matched.push_back(session_->records().size() - 1);
      QCOMPARE(session_->selection(), std::vector<std::size_t>{matched.back()});
    }
    QCOMPARE(session_->records().size(), std::size_t{6});

    session_->select(matched);
    QVERIFY(checked());
    QCOMPARE(verdict(), QString::fromUtf8("ПРОХОДИТ"));
    QCOMPARE(child<QTableWidget>(check_, "TableFailing")->rowCount(), 0);

    const QString pdf = dir_.filePath(QStringLiteral("check.pdf"));
    QVERIFY(check_->writeReport(pdf));
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.read(5) == "%PDF-");
  }

  void resultGoesToTheMainWindow() {
    QVERIFY(!match_->sendToMain());  // nothing matched yet
    std::vector<records::Record> sent;
    session_->link().sendRecord = [&sent](const records::Record& r) {
      sent.push_back(r);
      return true;
    };
    child<QRadioButton>(match_, "RadioSweep")->setChecked(true);
    match_->runMatch();
    QVERIFY(match_->task().wait());
    QVERIFY(match_->sendToMain());
    QCOMPARE(sent.size(), std::size_t{1});
    QCOMPARE(sent[0].accel, match_->outcome()->record.accel);
    QCOMPARE(sent[0].dt, 0.005);
  }

  // The main window's spectrum table as the target; its faults are the user's to see.
  void mainWindowTableAsTarget() {
    session_->add(rawRecord());
    child<QComboBox>(check_, "ComboTarget")->setCurrentIndex(1);
    QCOMPARE(boxOf([this] { check_->runCheck(); }),
             QString::fromUtf8("таблица спектра главного окна недоступна."));
    SpectrumTable table{{0.5, 2, 10, 40}, {1, 6, 6, 2.5}};
    session_->link().spectrumTable = [&table] { return table; };
    QVERIFY(checked());
    QCOMPARE(check_->result()->targetText, std::string("спектр главного окна"));
    table.amplitudes[2] = 0;
    QCOMPARE(
        boxOf([this] { check_->runCheck(); }),
        QString::fromUtf8("спектр главного окна: ускорения должны быть конечными и больше нуля."));
  }

  // What the user typed wrongly is refused before any work starts, with the field named.
  void badChoicesAreRefused() {
    struct Case {
      const char* field;
      int index;  // of ComboRule for the rule field
      const char* text;
      const char* message;
    };
    cleanup();
    const Case cases[] = {
        {"EditAg", 0, "abc", "ag: ожидается число, например 0.05."},
        {"EditAg", 0, "-1", "ag: ожидается число больше нуля."},
        {"EditDamping", 0, "1.5", "затухание должно быть больше 0 и меньше 1."},
        {"EditT1", 1, "", "правило ec8 требует первый период T1 в с."},
        {"EditTmin", 2, "3", "Tmin больше Tmax."},
    };
    for (const Case& c : cases) {
      init();
      session_->add(rawRecord(5));
      child<QComboBox>(check_, "ComboRule")->setCurrentIndex(c.index);
      if (c.index == 2) type("EditTmax", "1");
      type(c.field, c.text);
      QCOMPARE(boxOf([this] { check_->runCheck(); }), QString::fromUtf8(c.message));
      QVERIFY(!check_->result());
      cleanup();
    }
    init();
    QCOMPARE(
        boxOf([this] { check_->runCheck(); }),
        QString::fromUtf8("не выбрано ни одной записи: выберите записи на странице «Записи»."));
    QCOMPARE(boxOf([this] {
               child<QRadioButton>(match_, "RadioSeed")->setChecked(true);
               match_->runMatch();
             }),
             QString::fromUtf8("не выбрана запись для подбора: выберите её на странице «Записи»."));
  }

  // A verdict outlives no change of what it judged: the target, the rule or the records chosen.
  // It turns grey and marked, its report is refused, and it comes back when the inputs do.
  void checkResultGoesStale() {
    session_->add(rawRecord(5));
    QVERIFY(checked());
    auto* stale = child<QLabel>(check_, "LabelCheckStale");
    auto* report = child<QPushButton>(check_, "ButtonCheckReport");
    auto fresh = [&] {
      return !check_->stale() && stale->isHidden() && report->isEnabled() &&
             !check_->findChild<QLabel*>("LabelVerdict")->styleSheet().contains("#808080");
    };
    auto old = [&] {
      return check_->stale() && !stale->isHidden() && !report->isEnabled() &&
             check_->findChild<QLabel*>("LabelVerdict")->styleSheet().contains("#808080");
    };
    QVERIFY(fresh());
    QCOMPARE(stale->text(), QString::fromUtf8("устарело — пересчитайте"));
    const QString pdf = dir_.filePath(QStringLiteral("stale.pdf"));

    type("EditDamping", "0.07");
    QVERIFY(old());
    QVERIFY(!check_->writeReport(pdf));
    QVERIFY(!QFile::exists(pdf));
    type("EditDamping", "0.05");
    QVERIFY(fresh());

    child<QComboBox>(check_, "ComboGround")->setCurrentIndex(2);
    QVERIFY(old());
    child<QComboBox>(check_, "ComboGround")->setCurrentIndex(1);
    QVERIFY(fresh());

    session_->add(rawRecord(5, 1));  // selected alone
    QVERIFY(old());
    session_->select({0});
    QVERIFY(fresh());
    session_->remove({1});  // not the one checked
    QVERIFY(fresh());

    // Checked again with the new inputs, the verdict is fresh and the report written.
    type("EditT1", "0.8");
    QVERIFY(old());
    QVERIFY(checked());
    QVERIFY(fresh());
    QVERIFY(check_->writeReport(pdf));
    // A name typed without ".pdf" gets it.
    QVERIFY(check_->writeReport(dir_.filePath(QStringLiteral("typed"))));
    QVERIFY(QFile::exists(dir_.filePath(QStringLiteral("typed.pdf"))));
    QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("typed"))));
  }

  // A matched record is saved, sent or added only while the target, the rule, the source and
  // the iterations are those it was matched for.
  void matchOutcomeGoesStale() {
    child<QRadioButton>(match_, "RadioSweep")->setChecked(true);
    child<QLineEdit>(match_, "EditSweepDuration")->setText("10");
    match_->runMatch();
    QVERIFY(match_->task().wait());
    QVERIFY2(match_->outcome() && match_->outcome()->passed,
             qPrintable(child<QLabel>(match_, "LabelMatchResult")->text()));
    const QStringList buttons = {"ButtonSaveAks", "ButtonSendMain", "ButtonAddRecord"};
    auto enabled = [&] {
      int n = 0;
      for (const QString& b : buttons)
        n += child<QPushButton>(match_, b.toLatin1().constData())->isEnabled();
      return n;
    };
    const QString mark = QString::fromUtf8(" (устарело — пересчитайте)");
    auto* result = child<QLabel>(match_, "LabelMatchResult");
    const QString text = result->text();
    QVERIFY(!text.endsWith(mark));
    QCOMPARE(enabled(), 3);
    const QString aks = dir_.filePath(QStringLiteral("stale.aks"));

    child<QLineEdit>(match_, "EditSweepDuration")->setText("12");
    QVERIFY(match_->stale());
    QCOMPARE(enabled(), 0);
    QCOMPARE(result->text(), text + mark);
    QVERIFY(result->styleSheet().contains("#808080"));
    QVERIFY(!match_->saveAks(aks));
    QVERIFY(!QFile::exists(aks));
    QVERIFY(!match_->addToRecords());
    QCOMPARE(session_->records().size(), std::size_t{0});
    child<QLineEdit>(match_, "EditSweepDuration")->setText("10");
    QCOMPARE(enabled(), 3);
    QCOMPARE(result->text(), text);

    auto* cap = child<QSpinBox>(match_, "SpinIterations");
    const int allowed = cap->value();
    cap->setValue(allowed - 1);
    QCOMPARE(enabled(), 0);
    cap->setValue(allowed);
    type("EditDamping", "0.03");
    QCOMPARE(enabled(), 0);
    type("EditDamping", "0.05");
    QCOMPARE(enabled(), 3);
    // Adding the result selects it: the result stays the same inputs' result.
    QVERIFY(match_->addToRecords());
    QCOMPARE(enabled(), 3);
    child<QRadioButton>(match_, "RadioSeed")->setChecked(true);
    QCOMPARE(enabled(), 0);
  }

  // The iterations start at the command line's cap, also for a user whose settings still hold
  // the fixed count of earlier versions; a cap chosen here is kept.
  void iterationCapIsTheCommandLines() {
    QSettings& s = session_->settings();
    s.remove(QStringLiteral("match/iterationCap"));
    s.setValue(QStringLiteral("match/iterations"), 40);
    {
      MatchPage page(*session_);
      QCOMPARE(child<QSpinBox>(&page, "SpinIterations")->value(), matching::kDefaultIterations);
      QCOMPARE(matching::kDefaultIterations, 200);
      QCOMPARE(child<QSpinBox>(&page, "SpinIterations")->maximum(), 1000);
    }
    child<QRadioButton>(match_, "RadioSweep")->setChecked(true);
    child<QLineEdit>(match_, "EditSweepDuration")->setText("0.5");
    child<QSpinBox>(match_, "SpinIterations")->setValue(3);
    match_->runMatch();
    QVERIFY(match_->task().wait());
    MatchPage again(*session_);
    QCOMPARE(child<QSpinBox>(&again, "SpinIterations")->value(), 3);
    s.remove(QStringLiteral("match/iterationCap"));
    s.remove(QStringLiteral("match/duration"));
  }

  // Both pages draw along the period when asked, and keep the choice; the match page shows the
  // seed's and the matched record's a, v and d side by side, each row on one scale.
  void periodAxesAndTimeHistories() {
    session_->add(rawRecord(4));
    QVERIFY(checked());
    const check::CheckResult& r = *check_->result();
    auto* ratios = child<Plot>(check_, "PlotRatio");
    QCOMPARE(ratios->points(0).front().x(), r.points.front().frequency);
    child<QComboBox>(check_, "ComboCheckAxis")->setCurrentIndex(1);
    for (Plot* p : {ratios, child<Plot>(check_, "PlotCheckSpectra")}) {
      QCOMPARE(p->points(0).front().x(), r.points.back().period);
      QCOMPARE(p->points(0).back().x(), r.points.front().period);
      QCOMPARE(p->chart()->axes(Qt::Horizontal).front()->titleText(),
               QString::fromUtf8("Период, с"));
    }

    child<QRadioButton>(match_, "RadioSeed")->setChecked(true);
    child<QSpinBox>(match_, "SpinIterations")->setValue(2);
    match_->runMatch();
    QVERIFY(match_->task().wait());
    QVERIFY(match_->outcome() && match_->outcome()->seed);
    const MatchOutcome& o = *match_->outcome();
    // Drawn once their tab is seen.
    QCOMPARE(child<Plot>(match_, "PlotMatchedAcceleration")->seriesCount(), 0);
    child<QTabWidget>(match_, "MatchPlots")->setCurrentIndex(1);
    const char* rows[] = {"Acceleration", "Velocity", "Displacement"};
    for (const char* row : rows) {
      auto* seed = child<Plot>(match_, qPrintable(QStringLiteral("PlotSeed") + row));
      auto* matched = child<Plot>(match_, qPrintable(QStringLiteral("PlotMatched") + row));
      QCOMPARE(seed->seriesCount(), 1);
      QCOMPARE(matched->seriesCount(), 1);
      QCOMPARE(seed->points(0).size(), o.seed->accel.size());
      QCOMPARE(matched->points(0).size(), o.record.accel.size());
      auto* a = qobject_cast<QValueAxis*>(seed->chart()->axes(Qt::Vertical).front());
      auto* b = qobject_cast<QValueAxis*>(matched->chart()->axes(Qt::Vertical).front());
      QVERIFY(a->max() > 0);
      QCOMPARE(a->min(), b->min());
      QCOMPARE(a->max(), b->max());
    }
    for (std::size_t i = 0; i < o.record.accel.size(); i += 97) {
      QCOMPARE(child<Plot>(match_, "PlotMatchedAcceleration")->points(0)[i].y(), o.record.accel[i]);
      QCOMPARE(child<Plot>(match_, "PlotSeedAcceleration")->points(0)[i].y(), o.seed->accel[i]);
    }
    auto* spectrum = child<Plot>(match_, "PlotMatchSpectrum");
    QCOMPARE(spectrum->points(0).front().x(), o.check.points.front().frequency);
    child<QComboBox>(match_, "ComboMatchAxis")->setCurrentIndex(1);
    QCOMPARE(spectrum->points(0).front().x(), o.check.points.back().period);
    {
      CheckPage check(*session_);
      MatchPage match(*session_);
      QCOMPARE(child<QComboBox>(&check, "ComboCheckAxis")->currentIndex(), 1);
      QCOMPARE(child<QComboBox>(&match, "ComboMatchAxis")->currentIndex(), 1);
    }
    child<QComboBox>(check_, "ComboCheckAxis")->setCurrentIndex(0);
    child<QComboBox>(match_, "ComboMatchAxis")->setCurrentIndex(0);

    // From the sweep, made inside the run, only the matched column is drawn.
    child<QRadioButton>(match_, "RadioSweep")->setChecked(true);
    child<QLineEdit>(match_, "EditSweepDuration")->setText("5");
    match_->runMatch();
    QVERIFY(match_->task().wait());
    QVERIFY(match_->outcome() && !match_->outcome()->seed);
    QCOMPARE(child<Plot>(match_, "PlotSeedAcceleration")->seriesCount(), 0);
    QCOMPARE(child<Plot>(match_, "PlotMatchedAcceleration")->seriesCount(), 1);
    child<QTabWidget>(match_, "MatchPlots")->setCurrentIndex(0);
    child<QLineEdit>(match_, "EditSweepDuration")->setText("20");
    child<QSpinBox>(match_, "SpinIterations")->setValue(matching::kDefaultIterations);
    session_->settings().remove(QStringLiteral("match"));
  }

  // The match page shows the choice made on the check page.
  void choiceIsShared() {
    QCOMPARE(
        child<QLabel>(match_, "LabelMatchChoice")->text(),
        QString::fromUtf8(
            "Цель: ec8, тип 1, грунт B, ag 2.943 м/с²; правило ec8, затухание 0.05, PSA, T1 1 с"));
    child<QComboBox>(check_, "ComboTarget")->setCurrentIndex(3);
    QVERIFY(child<QLabel>(match_, "LabelMatchChoice")
                ->text()
                .startsWith(QString::fromUtf8("Цель: rg160, PGA 0.3 g")));
  }
};

ACCELSPEC_ANALYSIS_TEST_MAIN(TestCheckMatch, "C.UTF-8")

#include "tst_analysis_check_match.moc"
