// SPDX-License-Identifier: MIT
// The page "Подбор" making sets of independent components: three components from noise against
// rg160 under srp, its tables of components and correlations, the set saved as the command
// line's files byte for byte; a set of several motions from the selected records; the outcome
// going stale; and the refusals of what cannot make a set.

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <cstdlib>
#include <string>

#include "app/analysis/analysis_session.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/check_page.hpp"
#include "app/analysis/match_page.hpp"
#include "check/check.hpp"
#include "matching/set_messages.hpp"
#include "matching/sets.hpp"
#include "records/record.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;

namespace {

const QString kData = QStringLiteral(ACCELSPEC_TEST_DATA "/analysis/data/");
const char* const kRaw[] = {"RSN8883_14383980_13849090.AT2", "RSN8883_14383980_13849360.AT2",
                            "RSN8884_14383980_13873090.AT2", "RSN8884_14383980_13873360.AT2"};

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

QByteArray bytesOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestSets : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  AnalysisSession* session_ = nullptr;
  CheckPage* check_ = nullptr;
  MatchPage* match_ = nullptr;

  void type(QWidget* page, const char* field, const char* text) {
    auto* e = child<QLineEdit>(page, field);
    e->setText(QString::fromUtf8(text));
    emit e->textEdited(e->text());
  }

  // rg160 at 0.3 g under srp.
  void chooseRg160() {
    child<QComboBox>(check_, "ComboTarget")->setCurrentIndex(3);
    type(check_, "EditPga", "0.3");
    child<QComboBox>(check_, "ComboRule")->setCurrentIndex(0);
    child<QComboBox>(check_, "ComboQuantity")->setCurrentIndex(0);
    type(check_, "EditDamping", "0.05");
    type(check_, "EditTmin", "");
    type(check_, "EditTmax", "");
  }

  // Noise at 0.01 s, seed 1, the trapezoid with a 10-s strong part; `components` and `motions`.
  void chooseNoise(int components, int motions) {
    child<QRadioButton>(match_, "RadioNoise")->setChecked(true);
    type(match_, "EditNoiseNumber", "1");
    child<QComboBox>(match_, "ComboEnvelope")->setCurrentIndex(0);
    type(match_, "EditStrong", "10");
    type(match_, "EditNoiseStep", "0.01");
    child<QSpinBox>(match_, "SpinComponents")->setValue(components);
    child<QSpinBox>(match_, "SpinMotions")->setValue(motions);
    child<QComboBox>(match_, "ComboVertical")->setCurrentIndex(0);
    type(match_, "EditVertical", "2/3");
    type(match_, "EditMaxCorrelation", "0.16");
  }

  bool matched() {
    match_->runMatch();
    return match_->task().wait(240000);
  }

  QString result() const { return match_->findChild<QLabel*>("LabelMatchResult")->text(); }

 private slots:
  void init() {
    session_ = new AnalysisSession;
    check_ = new CheckPage(*session_);
    match_ = new MatchPage(*session_);
    check_->task().setShowErrors(false);
    match_->task().setShowErrors(false);
    match_->resize(1100, 900);
    chooseRg160();
  }

  void cleanup() {
    delete match_;
    delete check_;
    delete session_;
  }

  // Three components from noise: the set passes, its table lists every component with its
  // ratio range, the correlation table its three pairs within the limit; the single record's
  // buttons stay off and «Сохранить набор…» writes the command line's files byte for byte.
  void noiseSetAsTheCommandMakesIt() {
    chooseNoise(3, 1);
    QVERIFY(match_->setMode());
    QVERIFY(matched());
    QVERIFY2(match_->setOutcome() && match_->setOutcome()->result.passed,
             qPrintable(match_->task().lastError() + result()));
    QVERIFY(!match_->outcome());
    QVERIFY(
        result().startsWith(QString::fromUtf8("Набор подобран: 3 компоненты; проверку srp "
                                              "прошла каждая; отношения от ")));
    auto* table = child<QTableWidget>(match_, "TableSet");
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->item(2, 0)->text(), QStringLiteral("1_V"));
    QCOMPARE(table->item(0, 1)->text(), QString::fromUtf8("noise:1, поток 1/0/0"));
    for (int row = 0; row < 3; ++row) {
      QVERIFY(table->item(row, 4)->text().toDouble() >= 0.9);
      QVERIFY(table->item(row, 5)->text().toDouble() <= 1.3);
    }
    auto* correlations = child<QTableWidget>(match_, "TableCorrelation");
    QCOMPARE(correlations->rowCount(), 1);
    QCOMPARE(correlations->columnCount(), 4);
    QCOMPARE(correlations->horizontalHeaderItem(2)->text(), QString::fromUtf8("H1–V"));
    for (int c = 1; c < 4; ++c)
      QVERIFY(std::fabs(correlations->item(0, c)->text().toDouble()) <= 0.16);
    for (const char* single : {"ButtonSaveAks", "ButtonSendMain", "ButtonAddRecord"})
      QVERIFY(!child<QPushButton>(match_, single)->isEnabled());
    QVERIFY(child<QPushButton>(match_, "ButtonSaveSet")->isEnabled());

    const QString mine = dir_.filePath(QStringLiteral("window"));
    QVERIFY(match_->saveSet(mine));
    const QString cli = dir_.filePath(QStringLiteral("cli"));
    const std::string command = std::string(ACCELSPEC_CLI) + " match '" + cli.toStdString() +
                                "' --target rg160:0.3 --components 3 --seed noise:1 --step 0.01 "
                                ">/dev/null";
    QCOMPARE(std::system(command.c_str()), 0);
    for (const char* axis : {"H1", "H2", "V"}) {
      const QByteArray a = bytesOf(mine + "_1_" + axis + ".aks");
      QVERIFY2(a.size() > 1000, axis);
      QVERIFY2(a == bytesOf(cli + "_1_" + axis + ".aks"), axis);
    }
  }

  // Two motions of two components from the selected records, taken in order; the outcome goes
  // stale once the number of motions changes, and a stale set is not saved.
  void recordedSetGoesStale() {
    if (!ACCELSPEC_HEAVY_TESTS) QSKIP("four whole records are matched in optimised builds");
    for (int k = 0; k < 4; ++k)
      session_->add(records::readRecord((kData + QString::fromLatin1(kRaw[k])).toStdString()));
    session_->select({0, 1, 2, 3});
    child<QRadioButton>(match_, "RadioSeed")->setChecked(true);
    child<QSpinBox>(match_, "SpinComponents")->setValue(2);
    child<QSpinBox>(match_, "SpinMotions")->setValue(2);
    type(match_, "EditMaxCorrelation", "0.16");
    QVERIFY(matched());
    QVERIFY2(match_->setOutcome() && match_->setOutcome()->result.passed,
             qPrintable(match_->task().lastError() + result()));
    auto* table = child<QTableWidget>(match_, "TableSet");
    QCOMPARE(table->rowCount(), 4);
    QCOMPARE(table->item(3, 0)->text(), QStringLiteral("2_H2"));
    QCOMPARE(table->item(3, 1)->text(), QStringLiteral("RSN8884_14383980_13873360"));
    QCOMPARE(child<QTableWidget>(match_, "TableCorrelation")->rowCount(), 2);
    QVERIFY(!match_->stale());

    child<QSpinBox>(match_, "SpinMotions")->setValue(1);
    QVERIFY(match_->stale());
    QVERIFY(result().endsWith(QString::fromUtf8(" (устарело — пересчитайте)")));
    QVERIFY(!child<QPushButton>(match_, "ButtonSaveSet")->isEnabled());
    QVERIFY(!match_->saveSet(dir_.filePath(QStringLiteral("stale"))));
    QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("stale_1_H1.aks"))));
    child<QSpinBox>(match_, "SpinMotions")->setValue(2);
    QVERIFY(!match_->stale());
    QVERIFY(child<QPushButton>(match_, "ButtonSaveSet")->isEnabled());
  }

  // A set that cannot be made says which component and why, and leaves nothing to save.
  void failedSetNamesItsComponent() {
    if (!ACCELSPEC_HEAVY_TESTS) QSKIP("seven matches are run in optimised builds");
    chooseNoise(2, 1);
    type(match_, "EditMaxCorrelation", "0.000001");
    QVERIFY(matched());
    QVERIFY(match_->setOutcome() && !match_->setOutcome()->result.passed);
    QVERIFY2(result().startsWith(QString::fromUtf8("компонента 1_H2: корреляция с 1_H1 не ниже "
                                                   "|r| = ")),
             qPrintable(result()));
    QVERIFY(!child<QPushButton>(match_, "ButtonSaveSet")->isEnabled());
    QCOMPARE(child<QTableWidget>(match_, "TableSet")->rowCount(), 0);
  }

  // What cannot make a set is refused before any work starts.
  void refusals() {
    child<QRadioButton>(match_, "RadioSweep")->setChecked(true);
    child<QSpinBox>(match_, "SpinComponents")->setValue(2);
    QCOMPARE(boxOf([this] { match_->runMatch(); }),
             QString::fromUtf8(std::string(msg::kSetSweepOnce).c_str()) + ".");
    child<QRadioButton>(match_, "RadioSeed")->setChecked(true);
    QCOMPARE(boxOf([this] { match_->runMatch(); }),
             QString::fromUtf8(msg::setTooFewSeeds(2, 0).c_str()) + ".");
    chooseNoise(3, 1);
    type(match_, "EditVertical", "0");
    QCOMPARE(boxOf([this] { match_->runMatch(); }),
             QString::fromUtf8("неверная цель «rg160:0.3*0»: множитель после * должен быть "
                               "числом или дробью A/B больше нуля."));
    type(match_, "EditVertical", "2/3");
    type(match_, "EditNoiseNumber", "-3");
    QCOMPARE(boxOf([this] { match_->runMatch(); }),
             QString::fromUtf8("Число генератора: ожидается целое число не меньше 0."));
    type(match_, "EditNoiseNumber", "1");
    type(match_, "EditMaxCorrelation", "2");
    QCOMPARE(boxOf([this] { match_->runMatch(); }),
             QString::fromUtf8(std::string(msg::kSetBadCorrelation).c_str()) + ".");
    QVERIFY(!match_->setOutcome());
    QVERIFY(!match_->task().busy());
  }

  // rb006 on the page «Совместимость»: no T1 field (its range is its own), the three clauses in
  // the verdict table, 5.3.2 marked as information rather than «да» or «нет».
  void rb006OnTheCheckPage() {
    session_->add(records::readRecord((kData + QString::fromLatin1(kRaw[0])).toStdString()));
    child<QComboBox>(check_, "ComboRule")->setCurrentIndex(3);
    QVERIFY(child<QLineEdit>(check_, "EditT1")->isHidden());
    check_->runCheck();
    QVERIFY(check_->task().wait());
    QVERIFY(check_->result());
    QCOMPARE(check_->result()->parameters.rule, check::Rule::Rb006);
    auto* items = child<QTableWidget>(check_, "TableVerdicts");
    QCOMPARE(items->rowCount(), 3);
    QVERIFY(items->item(1, 0)->text().startsWith(QStringLiteral("5.3.2")));
    QCOMPARE(items->item(1, 3)->text(), QString::fromUtf8("сведения"));
    QVERIFY(items->item(0, 3)->text() == QString::fromUtf8("да") ||
            items->item(0, 3)->text() == QString::fromUtf8("нет"));
  }

  // The vertical target's fields are there for three components only; the set's settings
  // outlive the page.
  // The set's controls made the page's least height 776 px, more than the 720 px the analysis
  // window opens at: the column of controls scrolls instead.
  void pageFitsTheWindow() {
    QVERIFY2(match_->minimumSizeHint().height() <= 500,
             qPrintable(QString::number(match_->minimumSizeHint().height())));
    QVERIFY(child<QWidget>(match_, "MatchControls")
                ->isAncestorOf(child<QPushButton>(match_, "ButtonSaveSet")));
  }

  void fieldsAndSettings() {
    chooseNoise(2, 4);
    QVERIFY(!child<QLineEdit>(match_, "EditVertical")->isEnabled());
    child<QSpinBox>(match_, "SpinComponents")->setValue(3);
    QVERIFY(child<QLineEdit>(match_, "EditVertical")->isEnabled());
    type(match_, "EditStrong", "12");
    child<QRadioButton>(match_, "RadioSweep")->setChecked(true);
    QVERIFY(!child<QLineEdit>(match_, "EditStrong")->isEnabled());
    child<QRadioButton>(match_, "RadioNoise")->setChecked(true);
    type(match_, "EditMaxCorrelation", "0.15");
    // A run that starts keeps the settings (a refused one keeps none).
    match_->runMatch();
    match_->task().cancel();
    QVERIFY(match_->task().wait());
    cleanup();
    init();
    QVERIFY(child<QRadioButton>(match_, "RadioNoise")->isChecked());
    QCOMPARE(child<QSpinBox>(match_, "SpinComponents")->value(), 3);
    QCOMPARE(child<QSpinBox>(match_, "SpinMotions")->value(), 4);
    QCOMPARE(child<QLineEdit>(match_, "EditStrong")->text(), QStringLiteral("12"));
    QCOMPARE(child<QLineEdit>(match_, "EditMaxCorrelation")->text(), QStringLiteral("0.15"));
  }
};

ACCELSPEC_ANALYSIS_TEST_MAIN(TestSets, "C.UTF-8")

#include "tst_analysis_sets.moc"
