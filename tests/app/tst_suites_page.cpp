// SPDX-License-Identifier: MIT
// The page «Наборы» of the analysis window: the library's table (10000 rows sorted and filtered
// as an engineer reads them), folders added with progress and cancel, a selection run into its
// table and chart, the exports, and a motion sent to «Записи».

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <random>

#include "analysis/number_text.hpp"
#include "app/analysis/analysis_session.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/check_page.hpp"
#include "app/analysis/library_model.hpp"
#include "app/analysis/plot.hpp"
#include "app/analysis/plural.hpp"
#include "app/analysis/suites_page.hpp"
#include "check/target.hpp"
#include "records/record.hpp"
#include "suites/selection.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

// `n` motions with metadata made up by a fixed seed; every 7th lacks a magnitude and every
// 5th is a pair. Names RSN1 … RSNn, so that their natural order is not their text order.
std::vector<library::Motion> madeMotions(int n) {
  std::mt19937 random(20);
  std::uniform_real_distribution<double> magnitude(4.5, 7.9), pga(0.05, 9.0), distance(1, 300);
  std::vector<library::Motion> motions;
  for (int i = 1; i <= n; ++i) {
    library::Motion m;
    m.id = i;
    m.name = "RSN" + std::to_string(i);
    m.event = "Событие " + std::to_string(i % 97);
    library::Component c;
    c.id = i * 10;
    c.path = "/data/nga/RSN" + std::to_string(i) + "_H1.AT2";
    c.format = "at2";
    c.station = i % 3 == 0 ? "Chino Hills" : "Station " + std::to_string(i % 211);
    c.component = "H1";
    if (i % 7 != 0) c.magnitude = magnitude(random);
    c.distance = distance(random);
    c.dt = 0.005;
    c.samples = static_cast<std::size_t>(4000 + i);
    c.measures.pga = pga(random);
    m.components.push_back(c);
    if (i % 5 == 0) {
      c.id++;
      c.path = "/data/nga/RSN" + std::to_string(i) + "_H2.AT2";
      c.component = "H2";
      c.measures.pga = pga(random);
      m.components.push_back(c);
    }
    motions.push_back(std::move(m));
  }
  return motions;
}

const QString kData = QStringLiteral(ACCELSPEC_TEST_DATA "/analysis/data/");
const char* const kFiles[] = {"RSN8883_14383980_13849090.AT2", "RSN8883_14383980_13849360.AT2",
                              "RSN8884_14383980_13873090.AT2", "RSN8884_14383980_13873360.AT2"};

// The target of the tests: ec8 type 1, ground B, ag 0.3 g.
check::Target ec8Target() { return check::parseTarget("ec8:1:B:2.941995"); }

// Twelve motions over the four NGA-West2 files, whose spectra are the target times a level
// (0.3 … 2.5) times a wiggle of its own: motion i's misfit grows with its wiggle. Motions 0–5
// are of the event "A", 6–11 of "B".
std::vector<library::Motion> suiteMotions() {
  const check::Target target = ec8Target();
  std::vector<library::Motion> motions;
  for (int i = 0; i < 12; ++i) {
    library::Motion m;
    m.id = 100 + i;
    m.name = "M" + std::to_string(i);
    m.event = i < 6 ? "A" : "B";
    library::Component c;
    c.id = 1000 + i;
    c.path = (kData + QString::fromLatin1(kFiles[i % 4])).toStdString();
    c.format = "at2";
    c.dt = 0.005;
    c.samples = 16000;
    c.measures.pga = 1.0 + 0.1 * i;
    const double level = 0.3 + 0.2 * i;
    const double wiggle = 0.02 + 0.03 * ((i * 5) % 12);
    for (std::size_t k = 0; k < library::kSpectrumPoints; ++k) {
      const double f = 0.1 * std::pow(10.0, static_cast<double>(k) / 100.0);
      c.psa.push_back(target.valueAt(f) * level * (1 + wiggle * std::sin(0.07 * k * (i + 1))));
    }
    m.components.push_back(c);
    motions.push_back(std::move(m));
  }
  return motions;
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

template <typename T>
T* child(QWidget* page, const char* name) {
  T* w = page->findChild<T*>(QString::fromLatin1(name));
  if (!w) qFatal("no %s", name);
  return w;
}

std::vector<int> shownIds(const LibraryFilter& proxy) {
  std::vector<int> ids;
  for (int r = 0; r < proxy.rowCount(); ++r) ids.push_back(static_cast<int>(proxy.motion(r).id));
  return ids;
}

}  // namespace

class SuitesPageTest : public QObject {
  Q_OBJECT

 private slots:
  // The 10000 rows in every column's order, both ways, checked against the data itself; the
  // unknown magnitudes last either way; names in their natural order; the filter over texts.
  void modelSortsAndFilters() {
    LibraryModel model;
    const auto motions = madeMotions(10000);
    model.setMotions(motions);
    LibraryFilter proxy(&model);
    QCOMPARE(proxy.rowCount(), 10000);

    proxy.sort(LibraryModel::Magnitude, Qt::AscendingOrder);
    auto ids = shownIds(proxy);
    int unknown = 0;
    for (std::size_t r = 0; r < ids.size(); ++r) {
      const auto& m = motions[static_cast<std::size_t>(ids[r] - 1)].components[0].magnitude;
      if (!m) {
        unknown++;
        continue;
      }
      QVERIFY2(unknown == 0, "a known magnitude after an unknown one");
      if (r > 0) {
        const auto& before = motions[static_cast<std::size_t>(ids[r - 1] - 1)].components[0];
        QVERIFY(*before.magnitude <= *m);
      }
    }
    QCOMPARE(unknown, 10000 / 7);
    proxy.sort(LibraryModel::Magnitude, Qt::DescendingOrder);
    ids = shownIds(proxy);
    for (int r = 10000 - 10000 / 7; r < 10000; ++r)
      QVERIFY(!motions[static_cast<std::size_t>(ids[static_cast<std::size_t>(r)] - 1)]
                   .components[0]
                   .magnitude);
    QVERIFY(*motions[static_cast<std::size_t>(ids[0] - 1)].components[0].magnitude > 7.8);

    // The PGA of a pair is its larger component's; shown in g.
    proxy.sort(LibraryModel::Pga, Qt::DescendingOrder);
    ids = shownIds(proxy);
    for (std::size_t r = 1; r < ids.size(); ++r)
      QVERIFY(motionPga(motions[static_cast<std::size_t>(ids[r - 1] - 1)]) >=
              motionPga(motions[static_cast<std::size_t>(ids[r] - 1)]));
    const library::Motion& top = motions[static_cast<std::size_t>(ids[0] - 1)];
    QCOMPARE(proxy.index(0, LibraryModel::Pga).data().toString(),
             QString::number(motionPga(top) / 9.80665, 'g', 4));

    // RSN2 before RSN10 before RSN100: the names' numbers, not their characters.
    proxy.sort(LibraryModel::Name, Qt::AscendingOrder);
    ids = shownIds(proxy);
    for (int r = 0; r < 10000; ++r) QCOMPARE(ids[static_cast<std::size_t>(r)], r + 1);
    proxy.sort(LibraryModel::Name, Qt::DescendingOrder);
    QCOMPARE(shownIds(proxy).front(), 10000);

    // The filter, case-blind, over the station, the event and the files; sorting keeps it.
    proxy.setText(QStringLiteral("  chino HILLS "));
    QCOMPARE(proxy.rowCount(), 10000 / 3);
    for (int id : shownIds(proxy)) QCOMPARE(id % 3, 0);
    proxy.sort(LibraryModel::Samples, Qt::DescendingOrder);
    QCOMPARE(proxy.rowCount(), 10000 / 3);
    QCOMPARE(proxy.motion(0).id, 9999);
    proxy.setText(QStringLiteral("rsn250_h2"));
    QCOMPARE(shownIds(proxy), std::vector<int>({250}));
    proxy.setText(QString::fromUtf8("событие 96"));
    QCOMPARE(proxy.rowCount(),
             static_cast<int>(std::count_if(motions.begin(), motions.end(),
                                            [](const auto& m) { return m.id % 97 == 96; })));
    proxy.setText(QString());
    QCOMPARE(proxy.rowCount(), 10000);

    // Rows replaced: the view's sort holds for the new rows too.
    model.setMotions(madeMotions(30));
    proxy.sort(LibraryModel::Name, Qt::AscendingOrder);
    QCOMPARE(proxy.rowCount(), 30);
    QCOMPARE(proxy.motion(29).id, 30);
    QCOMPARE(proxy.index(4, LibraryModel::Components).data().toString(),
             QString::fromUtf8("пара: H1, H2"));
    QCOMPARE(proxy.index(4, LibraryModel::Files).data().toString(),
             QStringLiteral("RSN5_H1.AT2, RSN5_H2.AT2"));
    QCOMPARE(proxy.index(4, LibraryModel::Files).data(Qt::ToolTipRole).toString(),
             QStringLiteral("/data/nga/RSN5_H1.AT2\n/data/nga/RSN5_H2.AT2"));
    QCOMPARE(proxy.index(6, LibraryModel::Magnitude).data().toString(), QString());
  }

  // exp(μ ± σ) of the logarithms by hand: spectra 1 and 4 at a point give μ = ln 2 and
  // σ = √2·ln 2 (n − 1), the mean 2.5; a suite of one has no spread; a value at or below zero
  // leaves the spread out at that point, never a NaN drawn as a line to zero.
  void curvesByHand() {
    check::CheckResult r;
    r.points.resize(2);
    r.points[0].frequency = 1;
    r.points[1].frequency = 2;
    r.spectra = {{1.0, 0.0}, {4.0, 3.0}};
    const SuiteCurves c = suiteCurves(r);
    QCOMPARE(c.frequency, std::vector<double>({1, 2}));
    QCOMPARE(c.mean, std::vector<double>({2.5, 1.5}));
    QVERIFY(std::fabs(c.lower[0] - 2 * std::pow(2.0, -std::sqrt(2.0))) < 1e-12);
    QVERIFY(std::fabs(c.upper[0] - 2 * std::pow(2.0, std::sqrt(2.0))) < 1e-12);
    QVERIFY(std::isnan(c.lower[1]) && std::isnan(c.upper[1]));
    r.spectra = {{3.0, 5.0}};
    const SuiteCurves one = suiteCurves(r);
    QVERIFY(std::fabs(one.lower[0] - 3) < 1e-12 && std::fabs(one.upper[0] - 3) < 1e-12);
    QCOMPARE(one.mean, std::vector<double>({3, 5}));
  }

  void init() {
    QSettings(QStringLiteral("accelspec"), QStringLiteral("accelspec")).clear();
    QVERIFY(dir_.isValid());
    session_ = std::make_unique<AnalysisSession>();
    page_ = std::make_unique<SuitesPage>(*session_);
    page_->resize(1100, 700);
    page_->setMotionSource([](const std::string&, const std::string& where) {
      auto all = suiteMotions();
      if (where == "event=A") all.resize(6);
      return all;
    });
    QVERIFY(page_->libraryTask().wait() && waitForLoad());
    for (BackgroundTask* t : {&page_->selectionTask(), &page_->libraryTask()})
      t->setShowErrors(false);
  }
  void cleanup() {
    page_.reset();
    session_.reset();
  }

  // The page's own table over 10000 rows: a click on a header sorts by that column through the
  // model's order (PGA in g, largest first on the second click); the filter field narrows it
  // and says how many of all are shown.
  void pageTableOf10000Rows() {
    page_->setMotionSource(
        [](const std::string&, const std::string&) { return madeMotions(10000); });
    QVERIFY(waitFor([&] { return page_->model()->rowCount() == 10000; }, 20000));
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    QTableView* table = page_->libraryTable();
    QHeaderView* header = table->horizontalHeader();
    const auto clickHeader = [&](int column) {
      table->scrollTo(table->model()->index(0, column));
      QTest::mouseClick(
          header->viewport(), Qt::LeftButton, {},
          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                 header->height() / 2));
    };
    clickHeader(LibraryModel::Pga);
    const double first = motionPga(page_->filter()->motion(0));
    clickHeader(LibraryModel::Pga);
    const double top = motionPga(page_->filter()->motion(0));
    QVERIFY(top > first);
    for (int r = 1; r < 10000; r += 997) QVERIFY(motionPga(page_->filter()->motion(r)) <= top);
    auto* filter = child<QLineEdit>(page_.get(), "EditLibraryFilter");
    filter->setText(QStringLiteral("chino"));
    QCOMPARE(page_->filter()->rowCount(), 3333);
    QCOMPARE(child<QLabel>(page_.get(), "LabelLibraryCount")->text(),
             QString::fromUtf8("3333 из 10000"));
    QVERIFY(motionPga(page_->filter()->motion(0)) >= motionPga(page_->filter()->motion(1)));
  }

  // The suite of the page is the selection's over the same motions, target and parameters;
  // its table, verdict and chart show it; a change of any input greys it until run again.
  void selectionFillsTableAndChart() {
    child<QSpinBox>(page_.get(), "SpinSuiteCount")->setValue(4);
    QCOMPARE(child<QComboBox>(page_.get(), "ComboSuiteRule")->currentText(), QString("ec8"));
    QCOMPARE(child<QLineEdit>(page_.get(), "EditSuiteT1")->text(), QString("1"));
    QCOMPARE(child<QLabel>(page_.get(), "LabelSuiteTarget")->text(),
             QString::fromUtf8("Цель: ec8, тип 1, грунт B, ag 0.3 g"));
    page_->runSelection();
    QVERIFY(page_->selectionTask().wait());
    QCOMPARE(page_->selectionTask().lastError(), QString());
    QVERIFY(page_->selection());

    suites::SelectionParameters p;
    p.rule.rule = check::Rule::Ec8;
    p.rule.t1 = 1;
    p.count = 4;
    const suites::Selection expected = suites::select(ec8Target(), p, suiteMotions());
    const suites::Selection& got = *page_->selection();
    QCOMPARE(got.members.size(), std::size_t{4});
    // The selection had the spectra; the table keeps none.
    QVERIFY(got.members[0].spectrum.size() == library::kSpectrumPoints);
    QVERIFY(page_->model()->motion(0).components[0].psa.empty());
    QTableWidget* table = page_->suiteTable();
    QCOMPARE(table->rowCount(), 4);
    for (int r = 0; r < 4; ++r) {
      const suites::Member& m = expected.members[static_cast<std::size_t>(r)];
      QCOMPARE(got.members[static_cast<std::size_t>(r)].factor, m.factor);
      QCOMPARE(table->item(r, 1)->text(), QString::fromStdString(m.name));
      QCOMPARE(table->item(r, 4)->text(),
               QString::fromStdString(analysis::formatNumber(m.factor, 4)));
      QCOMPARE(table->item(r, 5)->text(), QString::fromStdString(analysis::formatNumber(m.mse, 4)));
    }
    QCOMPARE(child<QLabel>(page_.get(), "LabelSuiteVerdict")->text(),
             QString::fromUtf8(expected.pass ? "ПРОХОДИТ" : "НЕ ПРОХОДИТ"));

    // Four thin members under one legend entry, the target, the band, the spread and the mean.
    Plot* plot = page_->plot();
    QCOMPARE(plot->seriesCount(), 9);
    QVERIFY(plot->xLog() && plot->yLog());
    int shown = 0;
    for (int i = 0; i < 4; ++i) {
      QVERIFY(plot->line(i)->pen().widthF() < 1);
      for (QLegendMarker* marker : plot->chart()->legend()->markers(plot->line(i)))
        if (marker->isVisible()) {
          shown++;
          QCOMPARE(marker->label(), QString::fromUtf8("масштабированные записи (4)"));
        }
    }
    QCOMPARE(shown, 1);
    const SuiteCurves curves = suiteCurves(got.check);
    QCOMPARE(plot->seriesName(8), QString::fromUtf8("среднее"));
    QCOMPARE(plot->points(8).size(), curves.mean.size());
    // Along the period (the default axis), ascending: the last point is the lowest frequency.
    QCOMPARE(plot->points(8).back().y(), curves.mean.front());
    QCOMPARE(plot->points(6).back().y(), curves.lower.front());
    // The band: 0.9 of the target over ec8's range 0.2·T1 … 2·T1 only.
    for (const QPointF& p8 : plot->points(5)) QVERIFY(p8.x() >= 0.2 - 1e-9 && p8.x() <= 2 + 1e-9);
    QCOMPARE(plot->points(5).front().y(),
             0.9 * ec8Target().valueAt(1 / plot->points(5).front().x()));

    // Stale after a change of the count, fresh again when it is back.
    auto* save = child<QPushButton>(page_.get(), "ButtonSaveSuite");
    QVERIFY(save->isEnabled());
    child<QSpinBox>(page_.get(), "SpinSuiteCount")->setValue(5);
    QVERIFY(page_->stale());
    QVERIFY(!save->isEnabled());
    QVERIFY(child<QLabel>(page_.get(), "LabelSuiteSummary")
                ->text()
                .endsWith(QString::fromUtf8("(устарело — пересчитайте)")));
    QVERIFY(!page_->saveSuite(dir_.filePath("stale.csv")));
    QVERIFY(!QFile::exists(dir_.filePath("stale.csv")));
    child<QSpinBox>(page_.get(), "SpinSuiteCount")->setValue(4);
    QVERIFY(!page_->stale());
    QVERIFY(save->isEnabled());
    QVERIFY(!child<QLabel>(page_.get(), "LabelSuiteSummary")
                 ->text()
                 .contains(QString::fromUtf8("устарело")));
    // The target is the page «Совместимость»'s: a change there greys the suite too.
    RuleChoice& choice = ruleChoice(*session_);
    choice.ag = QStringLiteral("0.4");
    choice.touch();
    QVERIFY(page_->stale());
    choice.ag = QStringLiteral("0.3");
    choice.touch();
    QVERIFY(!page_->stale());

    // At most two of one event; the condition reaches the source.
    child<QSpinBox>(page_.get(), "SpinMaxPerEvent")->setValue(1);
    page_->runSelection();
    QVERIFY(page_->selectionTask().wait());
    QCOMPARE(page_->selection()->members.size(), std::size_t{2});
    QVERIFY(page_->selection()->members[0].event != page_->selection()->members[1].event);
    child<QSpinBox>(page_.get(), "SpinMaxPerEvent")->setValue(0);
    child<QLineEdit>(page_.get(), "EditWhere")->setText(QStringLiteral("event=A"));
    page_->runSelection();
    QVERIFY(page_->selectionTask().wait());
    QCOMPARE(page_->selection()->candidates, std::size_t{6});
  }

  // Fields that hold no number are named in the box, and nothing runs; the last suite stays.
  void badParametersRefused() {
    child<QLineEdit>(page_.get(), "EditScaleMin")->setText(QStringLiteral("abc"));
    QCOMPARE(boxOf([&] { page_->runSelection(); }),
             QString::fromUtf8("Множитель, от: ожидается число, например 0.5."));
    QVERIFY(!page_->selectionTask().busy());
    child<QLineEdit>(page_.get(), "EditScaleMin")->setText(QStringLiteral("5"));
    QCOMPARE(boxOf([&] { page_->runSelection(); }),
             QString::fromUtf8("Множитель: нижний предел больше верхнего."));
    child<QLineEdit>(page_.get(), "EditScaleMin")->setText(QStringLiteral("0,25"));
    child<QLineEdit>(page_.get(), "EditSuiteT1")->setText(QString());
    QVERIFY(!boxOf([&] { page_->runSelection(); }).isEmpty());
    QVERIFY(!page_->selection());
  }

  // The suite file reads back to the same members; every scaled component is its record times
  // the factor; nothing is written of a stale suite.
  void exportsWriteFiles() {
    child<QSpinBox>(page_.get(), "SpinSuiteCount")->setValue(3);
    page_->runSelection();
    QVERIFY(page_->selectionTask().wait());
    const suites::Selection sel = *page_->selection();

    QVERIFY(page_->saveSuite(dir_.filePath("suite")));
    QFile file(dir_.filePath("suite.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::string text = file.readAll().toStdString();
    QCOMPARE(text, suites::suiteFileText(sel));
    const suites::Selection back = suites::parseSuiteFile(text, "suite.csv");
    QCOMPARE(back.members.size(), sel.members.size());
    for (std::size_t i = 0; i < sel.members.size(); ++i)
      QCOMPARE(back.members[i].factor, sel.members[i].factor);

    const QString out = dir_.filePath("scaled");
    QVERIFY(QDir().mkpath(out));
    QVERIFY(page_->exportRecords(out));
    for (const suites::Member& m : sel.members) {
      const records::Record raw = records::readRecord(m.files[0].path);
      const records::Record scaled =
          records::readRecord((out + "/" + QString::fromStdString(m.name) + ".aks").toStdString());
      QCOMPARE(scaled.accel.size(), raw.accel.size());
      double worst = 0;
      double peak = 0;
      for (std::size_t j = 0; j < raw.accel.size(); ++j) {
        worst = std::max(worst, std::fabs(scaled.accel[j] - m.factor * raw.accel[j]));
        peak = std::max(peak, std::fabs(raw.accel[j]));
      }
      QVERIFY2(worst <= 1e-6 * peak * m.factor, qPrintable(QString::number(worst)));
    }
    // The report: a PDF, ".pdf" added to a name without it.
    QVERIFY(page_->writeReport(dir_.filePath("report")));
    QFile pdf(dir_.filePath("report.pdf"));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");
    QVERIFY(pdf.size() > 10000);
    // A folder that cannot take files is told, not passed over.
    QString box = boxOf([&] { QVERIFY(!page_->exportRecords(dir_.filePath("missing/folder"))); });
    QVERIFY2(!box.isEmpty(), "no message for a folder that does not exist");

    child<QCheckBox>(page_.get(), "CheckSuitePairs")->setChecked(true);
    QVERIFY(!page_->exportRecords(out + "2"));
    QVERIFY(!page_->writeReport(dir_.filePath("stale.pdf")));
    QVERIFY(!QFile::exists(dir_.filePath("stale.pdf")));
  }

  // A motion of the table into «Записи» as its file reads; a suite's member scaled by its
  // factor and named with it; the records added are selected.
  void sendingToRecords() {
    page_->filter()->sort(LibraryModel::Name, Qt::DescendingOrder);  // M9 … M0, M11, M10
    QCOMPARE(page_->filter()->motion(0).name, std::string("M11"));
    QVERIFY(page_->sendLibraryMotion(0));
    QCOMPARE(session_->records().size(), std::size_t{1});
    const records::Record raw = records::readRecord((kData + kFiles[11 % 4]).toStdString());
    QCOMPARE(session_->at(0).record.accel, raw.accel);
    QCOMPARE(session_->selection(), std::vector<std::size_t>({0}));
    QVERIFY(!page_->sendLibraryMotion(99));

    child<QSpinBox>(page_.get(), "SpinSuiteCount")->setValue(3);
    page_->runSelection();
    QVERIFY(page_->selectionTask().wait());
    const suites::Member m = page_->selection()->members[1];
    QVERIFY(page_->sendSuiteMember(1));
    QCOMPARE(session_->records().size(), std::size_t{2});
    const records::Record& sent = session_->at(1).record;
    QCOMPARE(QString::fromStdString(sent.name),
             QString::fromStdString(m.name + " ×" + analysis::formatNumber(m.factor, 4)));
    const records::Record memberRaw = records::readRecord(m.files[0].path);
    QCOMPARE(sent.accel[100], memberRaw.accel[100] * m.factor);
    QCOMPARE(session_->selection(), std::vector<std::size_t>({1}));
    // The table's button sends the selected row.
    page_->libraryTable()->selectRow(2);
    child<QPushButton>(page_.get(), "ButtonLibraryToRecords")->click();
    QCOMPARE(session_->records().size(), std::size_t{3});
  }

  // Forty copies of the NGA-West2 records added and cancelled midway: the library keeps every
  // file finished and opens whole; the table shows them; a second add indexes the rest and
  // passes over those kept.
  void addWithCancel() {
    page_->setMotionSource({});
    const QString folder = dir_.filePath("records");
    QVERIFY(QDir().mkpath(folder + "/nested"));
    for (int copy = 0; copy < 10; ++copy)
      for (const char* name : kFiles)
        QVERIFY(QFile::copy(kData + name, QStringLiteral("%1/%2/%3_%4")
                                              .arg(folder, copy % 2 ? "nested" : ".")
                                              .arg(copy)
                                              .arg(name)));
    QVERIFY(writeFile(folder + "/notes.txt", "не запись\n"));
    const QString library = dir_.filePath("library.sqlite");
    bool reloaded = false;
    connect(page_.get(), &SuitesPage::reloaded, this, [&reloaded] { reloaded = true; });
    page_->setLibraryPath(library);
    QVERIFY(waitFor([&] { return reloaded; }));
    QCOMPARE(page_->model()->rowCount(), 0);  // a library not made yet is an empty one
    QVERIFY(!QFile::exists(library));

    int ended = 0;
    connect(&page_->libraryTask(), &BackgroundTask::workEnded, this, [&ended] { ++ended; });
    QMetaObject::Connection cancel =
        connect(&page_->libraryTask(), &BackgroundTask::progress, this, [this](int percent) {
          if (percent > 0 && page_->libraryTask().busy()) page_->libraryTask().cancel();
        });
    reloaded = false;
    page_->addFolders({folder});
    QVERIFY(waitFor([&] { return ended == 1 && reloaded; }));
    disconnect(cancel);
    QVERIFY(!page_->lastAdd());  // a cancelled run reports nothing
    const int kept = page_->model()->rowCount();
    QVERIFY2(kept < 40, qPrintable(QString::number(kept)));
    {
      const library::Info info = library::Library::open(library.toStdString(), false).info();
      QCOMPARE(static_cast<int>(info.motions), kept);
    }

    reloaded = false;
    page_->addFolders({folder});
    QVERIFY(waitFor([&] { return ended == 2 && reloaded; }));
    QVERIFY(page_->lastAdd());
    QCOMPARE(page_->lastAdd()->indexed + page_->lastAdd()->unchanged, 40);
    QVERIFY(page_->lastAdd()->unchanged >= 1);
    QCOMPARE(page_->lastAdd()->refused.size(), 1);
    QVERIFY(page_->lastAdd()->refused.front().contains("notes.txt"));
    QVERIFY(!page_->lastAdd()->cancelled);
    QCOMPARE(child<QLabel>(page_.get(), "LabelAddOutcome")->text(),
             QString::fromUtf8("Внесено: %1, без изменений: %2; не прочитано: 1")
                 .arg(russianCount(page_->lastAdd()->indexed, "файл", "файла", "файлов"))
                 .arg(page_->lastAdd()->unchanged));
    QVERIFY(page_->model()->rowCount() > kept);

    // The condition goes to the library's parser: a wrong one is told with its place, and the
    // table keeps its rows; one that no motion meets gives no suite, and says why.
    const int all = page_->model()->rowCount();
    auto* where = child<QLineEdit>(page_.get(), "EditWhere");
    where->setText(QStringLiteral("magnitude >"));
    QString box;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&box] {
      if (auto* b = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        box = b->text();
        b->accept();
      }
    });
    closer.start(10);
    QTest::keyClick(where, Qt::Key_Return);
    QVERIFY(waitFor([&box] { return !box.isEmpty(); }, 10000));
    closer.stop();
    QCOMPARE(box, QString::fromUtf8("Условие, позиция 12: ожидается значение: число, слово "
                                    "или текст в кавычках."));
    QCOMPARE(page_->model()->rowCount(), all);
    where->setText(QStringLiteral("pga > 1000"));
    page_->runSelection();
    QVERIFY(page_->selectionTask().wait());
    QCOMPARE(page_->selectionTask().lastError(),
             QString::fromUtf8("ни одно движение библиотеки не отвечает условию «pga > 1000»."));
    QVERIFY(!page_->selection());
  }

  // The page's fields come back in a new window from the user's settings.
  void settingsKept() {
    child<QSpinBox>(page_.get(), "SpinSuiteCount")->setValue(7);
    child<QComboBox>(page_.get(), "ComboSuiteRule")->setCurrentIndex(2);
    child<QLineEdit>(page_.get(), "EditScaleMax")->setText(QStringLiteral("3"));
    child<QCheckBox>(page_.get(), "CheckSuitePairs")->setChecked(true);
    child<QLineEdit>(page_.get(), "EditWhere")->setText(QStringLiteral("magnitude>=6"));
    QCOMPARE(child<QComboBox>(page_.get(), "ComboSuiteAxisX")->currentIndex(), 1);  // period
    child<QComboBox>(page_.get(), "ComboSuiteAxisX")->setCurrentIndex(0);
    page_ = std::make_unique<SuitesPage>(*session_);
    QCOMPARE(child<QComboBox>(page_.get(), "ComboSuiteAxisX")->currentIndex(), 0);
    QCOMPARE(child<QSpinBox>(page_.get(), "SpinSuiteCount")->value(), 7);
    QCOMPARE(child<QComboBox>(page_.get(), "ComboSuiteRule")->currentText(), QString("asce7"));
    QCOMPARE(child<QLineEdit>(page_.get(), "EditScaleMax")->text(), QString("3"));
    QVERIFY(child<QCheckBox>(page_.get(), "CheckSuitePairs")->isChecked());
    QCOMPARE(child<QLineEdit>(page_.get(), "EditWhere")->text(), QString("magnitude>=6"));
    // Filling the fields from the settings writes nothing back, and nothing beside them.
    const QStringList keys = session_->settings().allKeys();
    for (const QString& key : keys)
      QVERIFY2(!key.startsWith(QLatin1String("suites/suites")), qPrintable(key));
  }

 private:
  bool waitForLoad() {
    return waitFor([&] { return page_->model()->rowCount() == 12; }, 10000);
  }

  QTemporaryDir dir_;
  std::unique_ptr<AnalysisSession> session_;
  std::unique_ptr<SuitesPage> page_;
};

ACCELSPEC_ANALYSIS_TEST_MAIN(SuitesPageTest, "C.UTF-8")
#include "tst_suites_page.moc"
