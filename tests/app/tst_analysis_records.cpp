// SPDX-License-Identifier: MIT
// The records page: every reader's format loads with its facts, plots and measures; a bad file
// is reported as the reader words it; the baseline-corrected copy; and a record sent to the main
// window arrives exactly as the *.aks file that `accelspec-cli import` writes opens there.

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <cmath>

#include "analysis/measures.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/match_page.hpp"
#include "app/analysis/plot.hpp"
#include "app/analysis/records_page.hpp"
#include "data/error.hpp"
#include "matching/baseline.hpp"
#include "records/record.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

QString dataFile(const char* relative) {
  return QStringLiteral(ACCELSPEC_TEST_DATA "/") + QString::fromLatin1(relative);
}

QString shown(double v, int digits = 6) {
  if (!std::isfinite(v)) return QString::fromUtf8("—");
  return QString::number(v, 'g', digits);
}

QStringList rowTexts(const QTableWidget* table, int row) {
  QStringList texts;
  for (int c = 0; c < table->columnCount(); ++c) texts << table->item(row, c)->text();
  return texts;
}

// What the main window shows and holds of an accelerogram.
struct MainState {
  QStringList fields;
  QList<QPointF> graph;
  std::int32_t nd = 0;
  std::vector<long double> acc;
  int mode = 0;
  QStringList boxes;

  bool operator==(const MainState&) const = default;
};

MainState mainState(Session& s) {
  MainState m;
  for (const char* name : {"EditTbeg", "EditTend", "EditT", "EditND", "EditDT", "EditFbeg"})
    m.fields << s.edit(name)->text();
  m.graph = s.graph(0);
  m.nd = s.store->ND;
  for (std::int32_t i = 1; i <= std::min(s.store->ND, kMaxSamples); ++i)
    m.acc.push_back(s.store->Acc[i]);
  m.mode = static_cast<int>(s.store->Mode);
  m.boxes = s.boxes.take();
  return m;
}

}  // namespace

class AnalysisRecordsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = freshFolder("2");
    QVERIFY(dir_);
  }
  void cleanup() { dir_.reset(); }

  void eachFormat_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::newRow("at2") << "analysis/data/RSN8883_14383980_13849090.AT2"
                         << "at2";
    QTest::newRow("knet") << "records/data/knet.NS"
                          << "knet";
    QTest::newRow("cosmos") << "records/data/two_channels.V2"
                            << "cosmos";
    QTest::newRow("columns") << "records/data/two_columns.csv"
                             << "columns";
    QTest::newRow("aks") << "records/data/three.aks"
                         << "aks";
    QTest::newRow("brl") << "records/data/four.brl"
                         << "brl";
  }
  void eachFormat() {
    QFETCH(QString, file);
    QFETCH(QString, format);
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    RecordsPage* page = w->recordsPage();
    QCOMPARE(page->openFiles({dataFile(file.toLatin1())}), 1);
    const records::Record expected = records::readRecord(dataFile(file.toLatin1()).toStdString());
    QCOMPARE(QString::fromStdString(expected.format), format);

    double pga = 0;
    for (double a : expected.accel) pga = std::max(pga, std::fabs(a));
    QCOMPARE(rowTexts(page->recordsTable(), 0),
             QStringList({QString::fromStdString(expected.name), format, shown(expected.dt),
                          QString::number(expected.accel.size()),
                          shown(static_cast<double>(expected.accel.size() - 1) * expected.dt),
                          shown(pga / records::kStandardGravity, 4)}));
    QCOMPARE(w->session().selection(), std::vector<std::size_t>{0});

    // The acceleration plot holds every sample at its time.
    const std::vector<QPointF>& points = page->accelerationPlot()->points(0);
    QCOMPARE(points.size(), expected.accel.size());
    QCOMPARE(points.back().y(), expected.accel.back());
    QCOMPARE(points.back().x(), static_cast<double>(expected.accel.size() - 1) * expected.dt);

    // The measures arrive from the background and read as computed here; the plotted
    // velocity and displacement peak where the table says.
    QVERIFY(waitFor([&] { return w->session().at(0).measures.has_value(); }));
    const analysis::Measures m =
        analysis::computeMeasures(expected.accel, expected.dt, analysis::Peaks::Refined,
                                  static_cast<unsigned>(std::max(1, QThread::idealThreadCount())));
    const double values[] = {m.pga,   m.pgv, m.pgd,    m.arias,  m.d5_75,
                             m.d5_95, m.cav, m.cavStd, m.housner};
    QTableWidget* table = page->measuresTable();
    QCOMPARE(table->rowCount(), 9);
    for (int r = 0; r < 9; ++r) QCOMPARE(table->item(r, 1)->text(), shown(values[r]));
    auto peak = [](const std::vector<QPointF>& p) {
      double v = 0;
      for (const QPointF& q : p) v = std::max(v, std::fabs(q.y()));
      return v;
    };
    QCOMPARE(peak(page->velocityPlot()->points(0)), m.pgv);
    QCOMPARE(peak(page->displacementPlot()->points(0)), m.pgd);
    QCOMPARE(s.boxes.take(), QStringList());
  }

  // Each bad file is reported with the reader's own message; the good ones still load.
  void readerErrors() {
    QVERIFY(writeFile(dir_->filePath("broken.AT2"),
                      "PEER\r\nx\r\ny\r\nNPTS= 3, DT= .01 SEC\r\n"
                      "1 2\r\n"));
    const QString missing = dir_->filePath("missing.AT2");
    QStringList expected;
    for (const QString& bad : {dir_->filePath("broken.AT2"), missing}) {
      try {
        records::readRecord(bad.toStdString());
        QFAIL("the reader took a bad file");
      } catch (...) {
        expected << QString::fromStdString(userMessage(std::current_exception()));
      }
    }
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    RecordsPage* page = w->recordsPage();
    page->setOpenDialogHook([&] {
      return QStringList{dir_->filePath("broken.AT2"), dataFile("records/data/three.aks"), missing};
    });
    page->openClicked();
    Session::settle();
    QCOMPARE(s.boxes.take(), expected);
    QCOMPARE(w->session().records().size(), std::size_t{1});
    QCOMPARE(page->recordsTable()->rowCount(), 1);
    // The folder of the files chosen is offered next time.
    QCOMPARE(w->session().lastFolder(), dir_->path());
  }

  // The open dialog shows a file of every extension the readers know, whatever its case, and
  // under "Все файлы" anything else.
  void openDialogShowsEveryRecord() {
    const QStringList records = {"a.EW2", "b.NS1", "c.v1",  "d.V2c", "e.V1",  "f.V2",  "g.at2",
                                 "h.AT2", "i.ew2", "j.v2C", "k.Ud1", "l.NS",  "m.aks", "n.BRL",
                                 "o.csv", "p.TXT", "q.V1c", "r.UD2", "s.dat", "t.ew"};
    QDir folder(dir_->path());
    QVERIFY(folder.mkdir("records") && folder.cd("records"));
    for (const QString& name : records + QStringList{"z.pdf"})
      QVERIFY(writeFile(folder.filePath(name), "1\n"));
    QFileDialog* dialog = openRecordsDialog(nullptr, folder.path());
    auto visible = [&] {
      auto* model = dialog->findChild<QFileSystemModel*>();
      QStringList names;
      if (!model) return names;
      const QModelIndex root = model->index(folder.path());
      if (!QTest::qWaitFor([&] { return model->rowCount(root) > 0; }, 5000)) return names;
      QTest::qWait(100);
      for (int r = 0; r < model->rowCount(root); ++r)
        if (!model->isDir(model->index(r, 0, root)))
          names << model->fileName(model->index(r, 0, root));
      names.sort();
      return names;
    };
    QCOMPARE(dialog->nameFilters().size(), 2);
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
    QStringList expected = records;
    expected.sort();
    QCOMPARE(visible(), expected);
    QCOMPARE(dialog->nameFilters().at(1), QString::fromUtf8("Все файлы (*)"));
    dialog->selectNameFilter(dialog->nameFilters().at(1));
    expected << "z.pdf";
    QCOMPARE(visible(), expected);
    delete dialog;
  }

  // A file of one column takes its step from the field «Шаг, с» (a decimal comma too); without
  // it the file is refused with the field named, and a file with a step of its own keeps it.
  void oneColumnStep() {
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    RecordsPage* page = w->recordsPage();
    auto* step = page->findChild<QLineEdit*>("EditStep");
    QVERIFY(step);
    const QString column = dataFile("records/data/one_column.txt");
    QCOMPARE(page->openFiles({column}), 0);
    QCOMPARE(s.boxes.take(),
             QStringList{QString::fromStdString(
                 column.toStdString() +
                 ": в файле один столбец ускорений: задайте шаг по времени (поле «Шаг, с»)")});
    step->setText("abc");
    QCOMPARE(page->openFiles({column}), 0);
    QCOMPARE(s.boxes.take(),
             QStringList{QString::fromUtf8(
                 "поле «Шаг, с»: ожидается число секунд больше нуля, например 0.01.")});
    step->setText("0,02");
    const QString at2 = dataFile("analysis/data/RSN8883_14383980_13849090.AT2");
    QCOMPARE(page->openFiles({column, at2}), 2);
    QCOMPARE(s.boxes.take(), QStringList());
    records::Reading reading;
    reading.step = 0.02;
    const records::Record expected = records::readRecord(column.toStdString(), reading);
    QCOMPARE(w->session().at(0).record.dt, 0.02);
    QVERIFY(w->session().at(0).record.accel == expected.accel);
    QCOMPARE(w->session().at(1).record.dt, records::readRecord(at2.toStdString()).dt);
    w->recordsPage()->task().cancel();
  }

  // Files dropped onto the window open as records, on the records page.
  // A file of accelerations alone opens with the step field; without it the message names the
  // field, never a command-line option.
  void oneColumnFileTakesTheStepField() {
    QVERIFY(writeFile(dir_->filePath("one.txt"), "0.1\n0.2\n-0.1\n0\n"));
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    RecordsPage* page = w->recordsPage();
    auto* step = page->findChild<QLineEdit*>(QStringLiteral("EditStep"));
    QVERIFY(step);
    QCOMPARE(page->openFiles({dir_->filePath("one.txt")}), 0);
    QCOMPARE(s.boxes.take(),
             QStringList{dir_->filePath("one.txt") +
                         QString::fromUtf8(": в файле один столбец ускорений: задайте шаг по "
                                           "времени (поле «Шаг, с»)")});
    step->setText(QStringLiteral("abc"));
    QCOMPARE(page->openFiles({dir_->filePath("one.txt")}), 0);
    QCOMPARE(s.boxes.take(),
             QStringList{QString::fromUtf8(
                 "поле «Шаг, с»: ожидается число секунд больше нуля, например 0.01.")});
    step->setText(QStringLiteral("0,02"));
    QCOMPARE(page->openFiles({dir_->filePath("one.txt")}), 1);
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(w->session().records().size(), std::size_t{1});
    QCOMPARE(w->session().records()[0].record.dt, 0.02);
    QCOMPARE(w->session().records()[0].record.accel.size(), std::size_t{4});
  }

  void dropFiles() {
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    w->tabs()->setCurrentIndex(1);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dataFile("records/data/three.aks")),
                  QUrl::fromLocalFile(dataFile("records/data/four.brl"))});
    const QPoint at = w->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &drop);
    QCOMPARE(w->session().records().size(), std::size_t{2});
    QCOMPARE(w->tabs()->currentWidget(), w->recordsPage());
    QCOMPARE(w->recordsPage()->recordsTable()->item(1, 1)->text(), QString("brl"));
  }

  // A long record is thinned on the screen only: its plot keeps every sample.
  void longRecordThinnedForDisplay() {
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    records::Record r;
    r.name = "long";
    r.format = "columns";
    r.dt = 0.001;
    for (int i = 0; i < 90000; ++i) r.accel.push_back((i * 7919 % 1000) / 1000.0 - 0.5);
    w->session().add(r);
    Plot* plot = w->recordsPage()->accelerationPlot();
    QCOMPARE(plot->points(0).size(), std::size_t{90000});
    QVERIFY(plot->line(0)->count() < 20000);
    QVERIFY(plot->line(0)->count() > 1000);
    w->recordsPage()->task().cancel();
  }

  void baselineCopyAndRemove() {
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    RecordsPage* page = w->recordsPage();
    const QString file = dataFile("analysis/data/RSN8883_14383980_13849090.AT2");
    QCOMPARE(page->openFiles({file}), 1);
    page->baselineClicked();
    AnalysisSession& session = w->session();
    QCOMPARE(session.records().size(), std::size_t{2});
    records::Record expected = records::readRecord(file.toStdString());
    matching::correctBaseline(expected.accel, expected.dt);
    const records::Record& copy = session.at(1).record;
    QCOMPARE(QString::fromStdString(copy.name), QString::fromStdString(expected.name) + " (БЛ)");
    QVERIFY(copy.accel == expected.accel);
    QCOMPARE(page->recordsTable()->item(1, 0)->text(), QString::fromStdString(copy.name));
    QCOMPARE(session.selection(), std::vector<std::size_t>{1});

    // Both selected in the list, then removed together.
    page->recordsTable()->selectAll();
    QCOMPARE(session.selection(), (std::vector<std::size_t>{0, 1}));
    page->removeClicked();
    QCOMPARE(session.records().size(), std::size_t{0});
    QCOMPARE(page->recordsTable()->rowCount(), 0);
    QCOMPARE(page->accelerationPlot()->seriesCount(), 0);
    QVERIFY(!page->findChild<QPushButton*>("ButtonSend")->isEnabled());
  }

  // «Удалить» with the selection at or past the records that stay: every page that shows the
  // selection reads it only once it holds the records left (the last record, the only one, a
  // run of them at the end).
  void removeTrailingSelection_data() {
    QTest::addColumn<int>("loaded");
    QTest::addColumn<QList<int>>("removed");
    QTest::newRow("the last of three") << 3 << QList<int>{2};
    QTest::newRow("the only one") << 1 << QList<int>{0};
    QTest::newRow("the last two of three") << 3 << QList<int>{1, 2};
    QTest::newRow("the middle of three") << 3 << QList<int>{1};
  }
  void removeTrailingSelection() {
    QFETCH(int, loaded);
    QFETCH(QList<int>, removed);
    Session s(dir_->path());
    QVERIFY(s.show());
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    AnalysisSession& session = w->session();
    records::Record r = records::readRecord(dataFile("records/data/three.aks").toStdString());
    for (int i = 0; i < loaded; ++i) {
      r.name = "record " + std::to_string(i);
      session.add(r);
    }
    std::vector<std::size_t> chosen(removed.begin(), removed.end());
    session.select(chosen);
    // Each page reads the selection whenever the list or the selection changes.
    std::vector<std::string> seen;
    int stale = 0;
    auto look = [&] {
      for (std::size_t i : session.selection()) {
        if (i >= session.records().size()) {
          ++stale;
          continue;
        }
        seen.push_back(session.at(i).record.name);
      }
      if (const LoadedRecord* current = session.current()) seen.push_back(current->record.name);
    };
    connect(&session, &AnalysisSession::recordsChanged, &session, look);
    connect(&session, &AnalysisSession::selectionChanged, &session, look);
    w->recordsPage()->removeClicked();
    Session::settle();
    QCOMPARE(session.records().size(), static_cast<std::size_t>(loaded - removed.size()));
    QCOMPARE(session.selection(), std::vector<std::size_t>{});
    QCOMPARE(stale, 0);
    QVERIFY(seen.empty());
    QCOMPARE(w->recordsPage()->recordsTable()->rowCount(),
             loaded - static_cast<int>(removed.size()));
    QCOMPARE(w->matchPage()->findChild<QLabel*>("LabelSeed")->text(),
             QString::fromUtf8("(не выбрана: страница «Записи»)"));
    QCOMPARE(s.boxes.take(), QStringList());
    w->recordsPage()->task().cancel();
  }

  // The main window after "send" and after opening the record's *.aks file (the text that
  // import writes) through its own open command: the same fields, graph, store and messages.
  void sendToMainWindow_data() {
    QTest::addColumn<int>("samples");  // 0: the whole database record
    QTest::newRow("database record") << 0;
    QTest::newRow("longer than the store") << kMaxSamples + 1;
  }
  void sendToMainWindow() {
    QFETCH(int, samples);
    const QString file = dataFile("analysis/data/RSN8883_14383980_13849090.AT2");
    records::Record record = records::readRecord(file.toStdString());
    if (samples > 0) record.accel.resize(static_cast<std::size_t>(samples), 0.01);
    if (samples > kMaxSamples) {
      // No program writes such a file; the reader refuses it at its first line.
      QByteArray aks = QByteArray::number(samples) + " 1\r\n";
      for (int i = 0; i < samples; ++i) aks += "0.000 0.01\r\n";
      QVERIFY(writeFile(dir_->filePath("record.aks"), aks));
    } else {
      QCOMPARE(QProcess::execute(ACCELSPEC_CLI, {"import", file, dir_->filePath("record.aks")}), 0);
    }

    MainState opened;
    {
      Session s(dir_->path());
      QVERIFY(s.show());
      s.answers.push_back({true, "record.aks", 2});
      s.press("SpeedButtonOpen");
      opened = mainState(s);
    }
    Session s(dir_->path());
    QVERIFY(s.show());
    if (samples > kMaxSamples) {
      // An accelerogram on show, for the refused send to keep.
      QVERIFY(QFile::copy(dataFile("records/data/three.aks"), dir_->filePath("shown.aks")));
      s.answers.push_back({true, "shown.aks", 2});
      s.press("SpeedButtonOpen");
    }
    const MainState before = mainState(s);
    AnalysisWindow* w = openAnalysis(s);
    QVERIFY(w);
    w->session().add(record);
    Session::settle();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    w->recordsPage()->sendClicked();
    Session::settle();
    const MainState sent = mainState(s);
    if (samples > kMaxSamples) {
      // Refused with the message the file gets, and the main window left exactly as it was:
      // its chart too, which opening the file would have cleared.
      QCOMPARE(sent.boxes, QStringList{QString::fromUtf8("Акселерограмма содержит более 100000 "
                                                         "отсчётов.")});
      QCOMPARE(opened.boxes, sent.boxes);
      QVERIFY(!before.graph.isEmpty());
      MainState unchanged = sent;
      unchanged.boxes = before.boxes;
      QVERIFY(unchanged == before);
      QCOMPARE(QApplication::activeWindow(), w);
      return;
    }
    QVERIFY(!(sent == before));
    QCOMPARE(sent.fields, opened.fields);
    QCOMPARE(sent.graph, opened.graph);
    QCOMPARE(sent.nd, opened.nd);
    QVERIFY(sent.acc == opened.acc);
    QCOMPARE(sent.mode, opened.mode);
    QCOMPARE(sent.boxes, opened.boxes);
    // The record arrived: the main window comes to the front to show it.
    QVERIFY(QTest::qWaitForWindowActive(s.forma.get()));
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

ACCELSPEC_ANALYSIS_TEST_MAIN(AnalysisRecordsTest, "C.UTF-8")
#include "tst_analysis_records.moc"
