// SPDX-License-Identifier: MIT
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "app/treport.hpp"
#include "report/report.hpp"

using namespace accelspec;

namespace {

constexpr double kPtToMm = 25.4 / 72.0;

struct Word {
  QString text;
  double xMin, yMin, xMax, yMax;  // mm from the page's top-left corner
};

QString run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    qWarning() << program << args << process.readAllStandardError();
    return {};
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

QList<Word> wordsOf(const QString& pdf) {
  const QString html = run("pdftotext", {"-bbox", pdf, "-"});
  static const QRegularExpression re(
      "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">"
      "([^<]*)</word>");
  QList<Word> words;
  for (auto it = re.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    words.push_back({m.captured(5), m.captured(1).toDouble() * kPtToMm,
                     m.captured(2).toDouble() * kPtToMm, m.captured(3).toDouble() * kPtToMm,
                     m.captured(4).toDouble() * kPtToMm});
  }
  return words;
}

const Word* findWord(const QList<Word>& words, const QString& text, double below = 0) {
  for (const Word& w : words)
    if (w.text == text && w.yMin >= below) return &w;
  return nullptr;
}

// Words whose left edge lies in [left, right) mm, below `top` mm, top to bottom.
QStringList column(const QList<Word>& words, double left, double right, double top) {
  QList<Word> hits;
  for (const Word& w : words)
    if (w.xMin >= left - 0.5 && w.xMin < right && w.yMin >= top - 0.5) hits.push_back(w);
  std::stable_sort(hits.begin(), hits.end(),
                   [](const Word& a, const Word& b) { return a.yMin < b.yMin; });
  QStringList texts;
  for (const Word& w : hits) texts << w.text;
  return texts;
}

// The page as a grey image at 5 pixels per millimetre.
constexpr double kPxPerMm = 5.0;
QImage rasterOf(const QString& pdf, const QString& dir) {
  const QString base = dir + "/page";
  run("pdftoppm",
      {"-gray", "-png", "-r", QString::number(kPxPerMm * 25.4), "-singlefile", pdf, base});
  return QImage(base + ".png").convertToFormat(QImage::Format_Grayscale8);
}

// The bounding box (mm) of dark pixels inside `area` (mm); empty when there are none.
QRectF inkBox(const QImage& img, const QRectF& area) {
  int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
  const int ya = std::max(0, int(area.top() * kPxPerMm)),
            yb = std::min(img.height(), int(area.bottom() * kPxPerMm));
  const int xa = std::max(0, int(area.left() * kPxPerMm)),
            xb = std::min(img.width(), int(area.right() * kPxPerMm));
  for (int y = ya; y < yb; ++y) {
    const uchar* row = img.constScanLine(y);
    for (int x = xa; x < xb; ++x) {
      if (row[x] < 160) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
      }
    }
  }
  if (x1 < 0) return {};
  return QRectF(x0 / kPxPerMm, y0 / kPxPerMm, (x1 + 1 - x0) / kPxPerMm, (y1 + 1 - y0) / kPxPerMm);
}

// A response spectrum of nf + 1 points with texts that occur nowhere else on the page.
void fillResponse(TReport& report, int nf, char sep = '.') {
  auto store = makeStore();
  store->Mode = kModeResponseSpectrum;
  store->NF = nf;
  for (int j = 0; j <= nf; ++j) {
    store->SpF[kResponseBase + j] = 0.125L + 0.25L * j;
    store->SpA[kResponseBase + j] = 3.0625L + 0.5L * j * (j % 3);
  }
  fillReport(*store, report.page(), sep);
}

}  // namespace

class TstReport : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    QVERIFY2(!QStandardPaths::findExecutable("pdftotext").isEmpty(), "poppler-utils missing");
  }

  void neverFilledPageIsBlank() {
    TReport report;
    const QString pdf = dir_.filePath("blank.pdf");
    QVERIFY(report.exportPdf(pdf));
    QCOMPARE(run("pdftotext", {pdf, "-"}).trimmed(), QString());
    const QImage img = rasterOf(pdf, dir_.path());
    QVERIFY(std::abs(img.width() - 1050) <= 1);  // A4 portrait
    QVERIFY(std::abs(img.height() - 1485) <= 1);
    QVERIFY(inkBox(img, QRectF(0, 0, 210, 297)).isEmpty());
  }

  void responsePageTextsAndPlaces() {
    TReport report;
    fillResponse(report, 56);
    const QString pdf = dir_.filePath("response.pdf");
    QVERIFY(report.exportPdf(pdf));
    // tools/screenshot.sh keeps this page for the picture in the docs.
    if (const QString keep = qEnvironmentVariable("ACCELSPEC_REPORT_PDF"); !keep.isEmpty()) {
      QFile::remove(keep);
      QVERIFY(QFile::copy(pdf, keep));
    }
    const QString text = run("pdftotext", {pdf, "-"});
    for (const char* s : {"Отчёт по спектру ответов", "СПЕКТР ОТВЕТОВ", "Частота (Герцы)",
                          "Зачение ускорения, м/c^2"}) {
      QVERIFY2(text.contains(QString::fromUtf8(s)), s);
    }

    const QList<Word> words = wordsOf(pdf);
    // Heading: 10 mm margin + 59.8 mm across, 10 mm + 2.1 mm down, within its 6.35 mm.
    const Word* heading = findWord(words, "Отчёт");
    QVERIFY(heading);
    QVERIFY2(std::abs(heading->xMin - 69.8) < 0.6, qPrintable(QString::number(heading->xMin)));
    QVERIFY(heading->yMin > 12.0 && heading->yMax < 20.6);

    // The columns start 95.25 mm into the detail band, 20.6 mm from the top of the page; the
    // 169.6 mm of a column hold 41 lines: the header and the first 40 values of 57.
    const QStringList freq = column(words, 10.0, 41.0, 115.0);
    const QStringList acc = column(words, 50.2, 90.0, 115.0);
    QCOMPARE(freq.size(), 41);
    QCOMPARE(acc.size(), 41);
    QCOMPARE(freq.first(), QString("Частота"));
    QCOMPARE(acc.first(), QString("Ускорение"));
    QCOMPARE(freq[1], QString("0.125"));
    QCOMPARE(acc[1], QString("3.0625"));
    QCOMPARE(freq[40], QString("9.875"));  // j = 39
    QCOMPARE(acc[40], QString("3.0625"));
    QVERIFY(!findWord(words, "10.125"));  // j = 40 is cut
    const Word* first = findWord(words, "Частота", 114.0);
    QVERIFY(std::abs(first->xMin - 10.0) < 0.6);
    QVERIFY(first->yMin > 115.85 - 0.3 && first->yMin < 117.5);
    const Word* second = findWord(words, "Ускорение", 114.0);
    QVERIFY(std::abs(second->xMin - 50.2) < 0.6);
    QVERIFY(std::abs(second->yMin - first->yMin) < 0.1);

    // Chart title centred over the 190 mm frame that starts at 10 mm.
    const Word* title = findWord(words, "СПЕКТР");
    QVERIFY(title);
    QVERIFY(title->yMin > 20.6 && title->yMax < 27.0);

    // The chart's ink stays within its frame, reaches nearly across it, and ends above the
    // columns; nothing is printed outside the margins.
    const QImage img = rasterOf(pdf, dir_.path());
    const QRectF chart = inkBox(img, QRectF(0, 18.7, 210, 115.85 - 18.7));
    QVERIFY2(chart.left() >= 10.0 && chart.left() < 15.0,
             qPrintable(QString::number(chart.left())));
    QVERIFY(chart.right() <= 200.0 && chart.right() > 185.0);
    QVERIFY(chart.top() >= 20.6 && chart.top() < 25.0);
    QVERIFY(chart.bottom() > 100.0 && chart.bottom() < 115.85);
    const QRectF all = inkBox(img, QRectF(0, 0, 210, 297));
    QVERIFY(all.left() >= 10.0 && all.top() >= 10.0 && all.right() <= 200.0 &&
            all.bottom() <= 287.0);
  }

  void sameMillimetresAtAnyResolution() {
    TReport report;
    fillResponse(report, 20);
    const QString pdfHigh = dir_.filePath("high.pdf");
    QVERIFY(report.exportPdf(pdfHigh));
    const QString pdfLow = dir_.filePath("low.pdf");
    {
      QPrinter printer(QPrinter::ScreenResolution);
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setResolution(150);
      printer.setOutputFileName(pdfLow);
      report.render(printer);
    }
    const QList<Word> high = wordsOf(pdfHigh), low = wordsOf(pdfLow);
    QCOMPARE(low.size(), high.size());
    for (const char* s : {"Отчёт", "СПЕКТР", "Частота", "Ускорение", "0.125", "(Герцы)"}) {
      const Word* a = findWord(high, QString::fromUtf8(s));
      const Word* b = findWord(low, QString::fromUtf8(s));
      QVERIFY2(a && b, s);
      QVERIFY2(std::abs(a->xMin - b->xMin) < 0.4 && std::abs(a->yMin - b->yMin) < 0.4, s);
    }
  }

  void inputSpectrumWithCommaAndOtherModes() {
    TReport report;
    auto store = makeStore();
    store->Mode = kModeInputSpectrum;
    store->N = 2;
    store->SpF[1] = 0.5L;
    store->SpA[1] = 2.0L;
    store->SpF[2] = 1234.5L;
    store->SpA[2] = 0.25L;
    fillReport(*store, report.page(), ',');
    const QString pdf = dir_.filePath("input.pdf");
    QVERIFY(report.exportPdf(pdf));
    QList<Word> words = wordsOf(pdf);
    QCOMPARE(column(words, 10.0, 41.0, 115.0), QStringList({"Частота", "0,5", "1234,5"}));
    QCOMPARE(column(words, 50.2, 90.0, 115.0), QStringList({"Ускорение", "2", "0,25"}));
    QVERIFY(findWord(words, "воздействий"));
    QVERIFY(findWord(words, "ВОЗДЕЙСТВИЙ"));

    // An accelerogram on the chart: columns and line go, heading and frame stay.
    store->Mode = kModeAccelerogram;
    fillReport(*store, report.page(), ',');
    QVERIFY(report.exportPdf(pdf));
    words = wordsOf(pdf);
    QVERIFY(column(words, 10.0, 41.0, 115.0).isEmpty());
    QVERIFY(findWord(words, "воздействий"));
    QVERIFY(findWord(words, "ВОЗДЕЙСТВИЙ"));
  }

  void exportToAMissingFolderFails() {
    TReport report;
    QVERIFY(!report.exportPdf(dir_.filePath("no/such/folder/report.pdf")));
  }

  void previewIsNonModalAndReturnsWhenClosed() {
    TReport report;
    fillResponse(report, 56);
    QWidget main;
    main.setObjectName("Forma");
    auto* button = new QPushButton("press", &main);
    int presses = 0;
    connect(button, &QPushButton::clicked, [&] { ++presses; });
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    bool checked = false;
    int shown = 0;
    connect(&report, &TReport::previewShown, [&] { ++shown; });
    QTimer::singleShot(50, [&] {
      // Closed whatever this check finds, so that a failure does not hang the test.
      const auto closer = qScopeGuard([&] {
        if (report.previewWindow()) report.previewWindow()->close();
      });
      QWidget* win = report.previewWindow();
      QVERIFY(win && win->isVisible());
      QCOMPARE(win->windowModality(), Qt::NonModal);
      QVERIFY(!QApplication::activeModalWidget());
      QVERIFY(win->findChild<QAction*>("ReportPrint"));
      QVERIFY(win->findChild<QAction*>("ReportExportPdf"));
      // The main window takes input while the preview is open.
      QTest::mouseClick(button, Qt::LeftButton);
      // Pressing the preview button again only brings the open preview forward.
      report.preview(&main);
      QCOMPARE(report.previewWindow(), win);
      // Export through the preview's own button and file dialog.
      QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(name);
        name->setText(dir_.filePath("from-preview.pdf"));
        QMetaObject::invokeMethod(dialog, "accept");
      });
      win->findChild<QAction*>("ReportExportPdf")->trigger();
      QVERIFY(QFile::exists(dir_.filePath("from-preview.pdf")));
      QVERIFY(run("pdftotext", {dir_.filePath("from-preview.pdf"), "-"}).contains("9.875"));
      checked = true;
    });
    QElapsedTimer clock;
    clock.start();
    report.preview(&main);
    QVERIFY(checked);
    QCOMPARE(shown, 1);
    QCOMPARE(presses, 1);
    QVERIFY(clock.elapsed() < 30000);
    QTRY_VERIFY(!report.previewWindow());

    // Closing the main window's object under an open preview ends the preview with it.
    auto* doomed = new QWidget;
    doomed->show();
    QTimer::singleShot(50, [&] { delete doomed; });
    report.preview(doomed);
    QVERIFY(!report.previewWindow());

    // A preview can be opened again afterwards.
    QTimer::singleShot(50, [&] { report.previewWindow()->close(); });
    report.preview(&main);
    QCOMPARE(shown, 3);
  }

 private:
  QTemporaryDir dir_;
};

QTEST_MAIN(TstReport)
#include "tst_report.moc"
