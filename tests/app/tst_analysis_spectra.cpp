// SPDX-License-Identifier: MIT
// The spectra page: the grid each choice names, spectra for three dampings exactly as the core
// computes them, the tripartite chart, the CSV table to the byte, chart export, cancel, errors
// and the settings kept.

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QValueAxis>
#include <set>
#include <thread>

#include "analysis/grid.hpp"
#include "analysis/spectra.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/plot.hpp"
#include "app/analysis/records_page.hpp"
#include "app/analysis/spectra_page.hpp"
#include "data/error.hpp"
#include "records/record.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

const char* const kRecord = ACCELSPEC_TEST_DATA "/analysis/data/RSN8883_14383980_13849090.AT2";
const char* const kSecond = ACCELSPEC_TEST_DATA "/analysis/data/RSN8883_14383980_13849360.AT2";

analysis::SpectraRequest threeDampings() {
  analysis::SpectraRequest r;
  r.grid = analysis::parseGrid(analysis::kDefaultGrid);
  r.dampings = {0.02, 0.05, 0.1};
  r.quantities = {analysis::Quantity::Psa, analysis::Quantity::Sa, analysis::Quantity::Sv,
                  analysis::Quantity::Psv, analysis::Quantity::Sd};
  r.threads = std::max(1u, std::thread::hardware_concurrency());
  return r;
}

}  // namespace

class AnalysisSpectraTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = freshFolder("2");
    QVERIFY(dir_);
    s_ = std::make_unique<Session>(dir_->path());
    QVERIFY(s_->show());
    w_ = openAnalysis(*s_);
    QVERIFY(w_);
    page_ = w_->spectraPage();
    w_->tabs()->setCurrentWidget(page_);
  }
  void cleanup() {
    s_.reset();
    dir_.reset();
  }

  void gridOfEachChoice_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("grid");
    QTest::newRow("log") << 0 << "0.1"
                         << "log:0.1:100:100";
    QTest::newRow("periods, decimal comma") << 1 << "0,05"
                                            << "periods:0.05:10:100";
    QTest::newRow("lin") << 2 << "1"
                         << "lin:1:50:0.1";
    QTest::newRow("srp") << 3 << ""
                         << "srp";
    QTest::newRow("nga") << 4 << ""
                         << "nga";
    QTest::newRow("file") << 5 << ""
                          << "file:freq.txt";
    QTest::newRow("main window's fields") << 6 << ""
                                          << "lin:2:30:0.5";
  }
  void gridOfEachChoice() {
    QFETCH(int, kind);
    QFETCH(QString, from);
    QFETCH(QString, grid);
    page_->findChild<QComboBox*>("ComboGrid")->setCurrentIndex(kind);
    if (!from.isEmpty()) page_->findChild<QLineEdit*>("EditGridFrom")->setText(from);
    page_->findChild<QLineEdit*>("EditGridFile")->setText("freq.txt");
    QCOMPARE(QString::fromStdString(page_->gridText()), grid);
    QCOMPARE(page_->findChild<QLineEdit*>("EditGridFile")->isVisibleTo(page_), kind == 5);
  }

  // Every series is one record's spectrum at one damping, value for value as the core's.
  void threeDampingsAsComputed() {
    load({kRecord});
    compute();
    const records::Record record = records::readRecord(kRecord);
    const analysis::SpectraRequest request = threeDampings();
    const analysis::Spectra expected = analysis::computeSpectra(record.accel, record.dt, request);
    QCOMPARE(page_->results().size(), std::size_t{1});
    QVERIFY(page_->results()[0].spectra.values == expected.values);

    Plot* plot = page_->plot();
    QCOMPARE(plot->seriesCount(), 3);
    const QStringList names = {"RSN8883_14383980_13849090, ζ = 0.02",
                               "RSN8883_14383980_13849090, ζ = 0.05",
                               "RSN8883_14383980_13849090, ζ = 0.1"};
    for (int q : {0, 4}) {  // psa and sd, by frequency and by period
      page_->findChild<QComboBox*>("ComboQuantity")->setCurrentIndex(q);
      page_->findChild<QComboBox*>("ComboAxisX")->setCurrentIndex(q == 0 ? 0 : 1);
      for (int d = 0; d < 3; ++d) {
        QCOMPARE(plot->seriesName(d), names[d]);
        const std::vector<QPointF>& points = plot->points(d);
        QCOMPARE(points.size(), std::size_t{301});
        for (std::size_t j = 0; j < 301; ++j) {
          // By period the points run the other way.
          const std::size_t k = q == 0 ? j : 300 - j;
          const auto& g = request.grid[k];
          QCOMPARE(points[j].x(), q == 0 ? g.frequency : g.period);
          QCOMPARE(points[j].y(),
                   expected.value(static_cast<std::size_t>(d), static_cast<std::size_t>(q), k));
        }
        QCOMPARE(plot->line(d)->count(), 301);
      }
    }
  }

  void tripartite() {
    load({kRecord});
    compute();
    page_->findChild<QComboBox*>("ComboView")->setCurrentIndex(1);
    Plot* plot = page_->plot();
    QVERIFY(plot->xLog() && plot->yLog());
    QCOMPARE(plot->seriesCount(), 3);
    const analysis::Spectra& s = page_->results()[0].spectra;
    const std::vector<QPointF>& points = plot->points(1);
    const auto& grid = page_->request().grid;
    QCOMPARE(points.front().x(), grid.back().period);
    QCOMPARE(points.front().y(), s.value(1, 3, 300));
    // The guides of SD and PSA lie in the chart too, out of the data's series, written with
    // their values.
    QVERIFY(plot->chart()->series().size() > 3);
    QCoreApplication::processEvents();
    QStringList written;
    for (QGraphicsItem* item : plot->view()->scene()->items())
      if (auto* t = dynamic_cast<QGraphicsSimpleTextItem*>(item))
        if (t->text().startsWith("SD ") || t->text().startsWith("PSA ")) written << t->text();
    QVERIFY2(written.filter(QRegularExpression("^SD [0-9.e-]+ м$")).size() >= 2 &&
                 written.filter(QRegularExpression("^PSA [0-9.e-]+ g$")).size() >= 2,
             qPrintable(written.join('|')));
    // The read-out gives all three quantities at the point under the mouse.
    const QPoint centre =
        plot->view()->mapFromScene(plot->chart()->mapToScene(plot->chart()->plotArea().center()));
    const QString text = plot->readoutAt(centre);
    QVERIFY2(text.contains("SD = ") && text.contains("PSA = ") && text.startsWith("T = "),
             qPrintable(text));
  }

  void csvExactToTheByte() {
    load({kRecord, kSecond});
    w_->session().select({0, 1});
    compute();
    QCOMPARE(page_->results().size(), std::size_t{2});
    const analysis::SpectraRequest request = threeDampings();
    QString asked;
    page_->setSaveDialogHook([&](const QString& suggested) {
      asked = suggested;
      return dir_->path();
    });
    page_->findChild<QPushButton*>("ButtonCsv")->click();
    for (const char* file : {kRecord, kSecond}) {
      const records::Record r = records::readRecord(file);
      const std::string expected =
          analysis::spectraCsv(request, analysis::computeSpectra(r.accel, r.dt, request));
      QCOMPARE(readFile(dir_->filePath(QString::fromStdString(r.name) + ".csv")),
               QByteArray::fromStdString(expected));
    }

    // One record: one file, named by the user.
    w_->session().select({1});
    compute();
    page_->setSaveDialogHook([&](const QString&) { return dir_->filePath("one"); });
    page_->findChild<QPushButton*>("ButtonCsv")->click();
    const records::Record r = records::readRecord(kSecond);
    QCOMPARE(readFile(dir_->filePath("one.csv")),
             QByteArray::fromStdString(
                 analysis::spectraCsv(request, analysis::computeSpectra(r.accel, r.dt, request))));
    // A folder that does not exist: the error box, nothing claimed written.
    QCOMPARE(page_->writeCsv(dir_->filePath("no/such/folder/x.csv")), QStringList());
    QCOMPARE(s_->boxes.take().size(), 1);
  }

  void chartExport() {
    load({kRecord});
    compute();
    Plot* plot = page_->plot();
    const QString png = dir_->filePath("chart.png"), print = dir_->filePath("print.png"),
                  svg = dir_->filePath("chart.svg");
    QVERIFY(plot->exportPng(png));
    QVERIFY(plot->exportPrintPng(print));
    QVERIFY(plot->exportSvg(svg));
    QImage shown(png), printed(print);
    QCOMPARE(shown.size(), plot->view()->size());
    QCOMPARE(printed.width(), 2480);
    QCOMPARE(printed.height(), qRound(2480.0 * plot->view()->height() / plot->view()->width()));
    QCOMPARE(qRound(printed.dotsPerMeterX() * 0.0254), 300);
    // Not a blank picture: the three curves leave many dark pixels.
    int dark = 0;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) dark += qGray(shown.pixel(x, y)) < 128;
    QVERIFY(dark > 1000);
    const QByteArray text = readFile(svg);
    QVERIFY(text.startsWith("<?xml"));
    QVERIFY(text.contains("<svg") && text.contains("</svg>"));
    QVERIFY(text.contains("<path") || text.contains("<polyline"));
    QVERIFY(!plot->exportPng(dir_->filePath("no/such/folder/x.png")));
  }

  void badInputAndCancel() {
    load({kRecord});
    compute();
    const std::vector<double> before = page_->results()[0].spectra.values;
    // A bad grid and bad dampings: the parser's message, the results as they were.
    page_->findChild<QComboBox*>("ComboGrid")->setCurrentIndex(0);
    // Each message names the field by its caption, never a command-line option or form.
    const std::pair<const char*, const char*> bad[] = {
        {"EditGridFrom", "Сетка, от, Гц: ожидается число больше нуля."},
        {"EditGridStep", "Сетка, точек на декаду: ожидается число больше нуля."}};
    for (const auto& [field, message] : bad) {
      page_->findChild<QLineEdit*>(field)->setText("-1");
      page_->computeClicked();
      QCOMPARE(s_->boxes.take(), QStringList{QString::fromUtf8(message)});
      page_->findChild<QLineEdit*>(field)->setText(field[8] == 'F' ? "0.1" : "100");
    }
    page_->findChild<QLineEdit*>("EditGridTo")->setText("0.05");
    page_->computeClicked();
    QCOMPARE(s_->boxes.take(),
             QStringList{QString::fromUtf8("Сетка: верхняя граница меньше нижней.")});
    page_->findChild<QLineEdit*>("EditGridTo")->setText("100");
    page_->findChild<QLineEdit*>("EditDampings")->setText("0.05, 1.5");
    page_->computeClicked();
    QStringList boxes = s_->boxes.take();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].startsWith(QString::fromUtf8("Затухания: ожидается список")),
             qPrintable(boxes[0]));
    QVERIFY(page_->results()[0].spectra.values == before);

    // An error of the computation itself comes from the background in the same box, with the
    // core's message; the results stay.
    page_->findChild<QLineEdit*>("EditDampings")->setText("0.05");
    page_->findChild<QLineEdit*>("EditGridTo")->setText("20000");
    page_->computeClicked();
    QVERIFY(waitFor([&] { return !page_->task().busy(); }));
    boxes = s_->boxes.take();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0], page_->task().lastError());
    QVERIFY(!boxes[0].isEmpty());
    QVERIFY(page_->results()[0].spectra.values == before);
    page_->findChild<QLineEdit*>("EditGridTo")->setText("100");

    // A cancelled run leaves the results and the chart as they were.
    page_->findChild<QLineEdit*>("EditDampings")->setText("0.05");
    page_->computeClicked();
    QVERIFY(page_->task().busy());
    page_->findChild<QPushButton*>("ButtonCancel")->click();
    QVERIFY(!page_->task().busy());
    QTest::qWait(300);
    QVERIFY(page_->results()[0].spectra.values == before);
    QCOMPARE(page_->plot()->seriesCount(), 3);
    QCOMPARE(s_->boxes.take(), QStringList());

    // No record chosen: nothing runs.
    w_->session().select({});
    page_->computeClicked();
    QVERIFY(!page_->task().busy());
  }

  // Each range grid keeps its own fields: the linear grid never inherits "100 points a decade"
  // as its step in Hz, and going back finds what was typed.
  void gridFieldsPerType() {
    auto* kind = page_->findChild<QComboBox*>("ComboGrid");
    auto text = [this](const char* name) { return page_->findChild<QLineEdit*>(name)->text(); };
    kind->setCurrentIndex(0);
    page_->findChild<QLineEdit*>("EditGridFrom")->setText("0.2");
    kind->setCurrentIndex(2);
    QCOMPARE(QString::fromStdString(page_->gridText()), QString("lin:0.1:50:0.1"));
    QCOMPARE(analysis::parseGrid(page_->gridText()).size(), std::size_t{500});
    page_->findChild<QLineEdit*>("EditGridStep")->setText("0.5");
    kind->setCurrentIndex(3);
    kind->setCurrentIndex(0);
    QCOMPARE(text("EditGridFrom"), QString("0.2"));
    QCOMPARE(text("EditGridStep"), QString("100"));
    kind->setCurrentIndex(2);
    QCOMPARE(text("EditGridStep"), QString("0.5"));
  }

  // Under a comma locale "0,05" is one damping, and "0,02, 0,05" two.
  void dampingsWithDecimalComma() {
    load({kRecord});
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const std::pair<const char*, std::vector<double>> cases[] = {{"0,05", {0.05}},
                                                                 {"0,02, 0,05", {0.02, 0.05}},
                                                                 {"0,02; 0,1", {0.02, 0.1}},
                                                                 {"0.02, 0.05", {0.02, 0.05}}};
    for (const auto& [text, dampings] : cases) {
      page_->findChild<QLineEdit*>("EditDampings")->setText(QString::fromUtf8(text));
      QVERIFY(page_->findChild<QPushButton*>("ButtonCompute")->isEnabled());
      page_->findChild<QPushButton*>("ButtonCompute")->click();
      QVERIFY2(page_->task().wait(), qPrintable(s_->boxes.take().join("|")));
      QCOMPARE(s_->boxes.take(), QStringList());
      QCOMPARE(page_->request().dampings, dampings);
    }
    QLocale::setDefault(QLocale::c());
  }

  // Twenty records: no two alike in colour and line style, none black or red as targets and
  // limits are; a mean drawn thicker.
  void seriesLookApart() {
    Plot plot;
    std::set<std::pair<QRgb, int>> looks;
    for (int k = 0; k < 20; ++k) {
      const int index = plot.addSeries(QString::number(k), {{0, -0.3 + k * 0.03}, {1, 0.3}});
      const QPen pen = plot.line(index)->pen();
      QVERIFY(pen.color() != QColor(Qt::black));
      QVERIFY(pen.color().red() < 200 || pen.color().green() > 60);
      looks.insert({pen.color().rgb(), static_cast<int>(pen.style())});
    }
    QCOMPARE(looks.size(), std::size_t{20});
    const double width = plot.line(0)->pen().widthF();
    plot.emphasise(0);
    QVERIFY(plot.line(0)->pen().widthF() >= 2 * width);

    // Filled again with a range a million times wider, the ticks stay a handful.
    plot.clear();
    plot.addSeries("wide", {{0, -3e5}, {1, 3e5}});
    plot.refresh();
    auto* y = qobject_cast<QValueAxis*>(plot.chart()->axes(Qt::Vertical).front());
    QVERIFY(y->tickCount() < 20);
  }

  void settingsKept() {
    page_->findChild<QComboBox*>("ComboGrid")->setCurrentIndex(1);
    page_->findChild<QLineEdit*>("EditDampings")->setText("0.03");
    page_->findChild<QComboBox*>("ComboQuantity")->setCurrentIndex(3);
    page_->findChild<QCheckBox*>("CheckLogY")->setChecked(true);
    w_->close();
    s_.reset();
    s_ = std::make_unique<Session>(dir_->path());
    QVERIFY(s_->show());
    w_ = openAnalysis(*s_);
    QVERIFY(w_);
    page_ = w_->spectraPage();
    QCOMPARE(w_->tabs()->currentWidget(), page_);
    QCOMPARE(page_->findChild<QComboBox*>("ComboGrid")->currentIndex(), 1);
    QCOMPARE(page_->findChild<QLineEdit*>("EditDampings")->text(), QString("0.03"));
    QCOMPARE(page_->findChild<QComboBox*>("ComboQuantity")->currentIndex(), 3);
    QVERIFY(page_->findChild<QCheckBox*>("CheckLogY")->isChecked());
  }

 private:
  void load(std::initializer_list<const char*> files) {
    QStringList paths;
    for (const char* f : files) paths << QString::fromUtf8(f);
    QCOMPARE(w_->recordsPage()->openFiles(paths), static_cast<int>(paths.size()));
  }
  void compute() {
    bool drawn = false;
    auto c = connect(page_, &SpectraPage::drawn, this, [&] { drawn = true; });
    page_->findChild<QPushButton*>("ButtonCompute")->click();
    QVERIFY(waitFor([&] { return drawn; }));
    disconnect(c);
    QCOMPARE(s_->boxes.take(), QStringList());
  }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Session> s_;
  AnalysisWindow* w_ = nullptr;
  SpectraPage* page_ = nullptr;
};

ACCELSPEC_ANALYSIS_TEST_MAIN(AnalysisSpectraTest, "C.UTF-8")
#include "tst_analysis_spectra.moc"
