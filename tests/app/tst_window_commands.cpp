// SPDX-License-Identifier: MIT
// The commands as the user reaches them through the window: the typical road from a typed
// spectrum to a response spectrum in memory and back after a restart, Open and Save of every
// kind, and how failures are reported.

#include <QChart>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTest>

#include "data/messages.hpp"
#include "tests/app/window_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

const QStringList kOpenLabels = {"Спектр воздействия  ( *.spv )", "Акселерограмма  ( *.aks )",
                                 "Спектр ответов  ( *.spo )", "Конфигурация  ( *.cfg )",
                                 "BRUEL-акселерограмма  ( *.brl )"};

// Types a spectrum into the table and leaves it.
void typeSpectrum(Session& s, const QList<QPair<QString, QString>>& points) {
  s.type("EditN", QString::number(points.size()));
  s.click("EditFbeg");
  for (int i = 0; i < points.size(); ++i) {
    s.typeCell("StringGridSpv", 0, i + 1, points[i].first);
    s.typeCell("StringGridSpv", 1, i + 1, points[i].second);
  }
  s.click("EditDF");
}

bool ascending(const QList<QPointF>& points) {
  for (qsizetype i = 1; i < points.size(); ++i)
    if (points[i].x() < points[i - 1].x()) return false;
  return true;
}

QList<QByteArray> lines(const QByteArray& content) {
  QList<QByteArray> result = content.split('\n');
  if (!result.isEmpty() && result.last().isEmpty()) result.removeLast();
  return result;
}

QString chartTitle(const Session& s) { return s.chartView()->chart()->title(); }

}  // namespace

class WindowCommands : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
  }
  void cleanup() { dir_.reset(); }

  void typicalRoadAndRestart() {
    QList<QPointF> spectrum;
    {
      Session s(dir_->path());
      QVERIFY(s.show());
      QCOMPARE(s.boxes.take(), QStringList{"File not found."});

      typeSpectrum(s, {{"2", "1"}, {"10", "3"}, {"30", "2"}});
      QCOMPARE(s.store->Mode, kModeInputSpectrum);
      QCOMPARE(s.points(0), (QList<QPointF>{{2, 1}, {10, 3}, {30, 2}}));

      s.click("Memo1");
      Session::typeIntoFocus("note");
      s.press("SpeedButtonAks");
      QCOMPARE(s.boxes.take(), QStringList());
      QCOMPARE(s.store->Mode, kModeAccelerogram);
      QCOMPARE(chartTitle(s), QString("АКСЕЛЕРОГРАММА"));
      QCOMPARE(s.chartView()->axisX()->titleText(), QString("Время (секунды)"));
      QCOMPARE(s.edit("EditTbeg")->text(), QString("0"));
      QCOMPARE(s.edit("EditTend")->text(), QString("19.996"));
      QVERIFY(s.find<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
      const QList<QPointF> record = s.graph(0);
      QVERIFY2(record.size() > 4900 && record.size() <= 5001,
               qPrintable(QString::number(record.size())));
      QVERIFY(ascending(record));
      QCOMPARE(s.chartView()->axisX()->min(), 0.0);
      QVERIFY(s.chartView()->axisX()->max() <= 20.0);

      s.press("SpeedButtonSpo");
      QCOMPARE(s.boxes.take(), QStringList());
      QCOMPARE(s.store->Mode, kModeResponseSpectrum);
      QCOMPARE(chartTitle(s), QString("СПЕКТР ОТВЕТОВ"));
      QCOMPARE(s.chartView()->axisX()->titleText(), QString("Частота (Герцы)"));
      spectrum = s.points(0);
      QCOMPARE(spectrum.size(), 57);  // 2 … 30 Hz in steps of 0.5
      QCOMPARE(spectrum.first().x(), 2.0);
      QCOMPARE(spectrum.last().x(), 30.0);
      for (int i = 1; i < 7; ++i) QVERIFY(s.points(i).isEmpty());

      s.press("SpeedButtonMemory");
      StringGrid* memory = s.grid("StringGridMemory");
      QVERIFY(memory->isVisible());
      QCOMPARE(memory->rowCount(), 2);
      QCOMPARE(memory->height(), 17 * 1 + 20);
      QCOMPARE(memory->item(1, 2)->text(), QString("График №1"));
      QVERIFY(s.find<QCheckBox>("Chanel1")->isVisible());
      QVERIFY(s.find<QLabel>("Label1k")->isVisible());
      QVERIFY(s.find<QLabel>("Label1t")->isVisible());
      QVERIFY(!s.find<QCheckBox>("Chanel2")->isVisible());

      s.answers.push_back({true, "road.spo", 0});
      s.press("SpeedButtonSave");
      QCOMPARE(s.asked.back().labels, QStringList{"Спектр ответов  ( *.spo )"});
      QCOMPARE(lines(readFile(dir_->filePath("road.spo"))).size(), 57);

      QVERIFY(s.close());
      QCOMPARE(s.boxes.take(), QStringList());
      QVERIFY(!s.forma->isVisible());
      // Line 8 and the slot's title, in the file's single-byte code.
      const QByteArray config = readFile(dir_->filePath("config.cfg"));
      QVERIFY(config.contains(": 1\r\n\r\n\xC3\xF0\xE0\xF4\xE8\xEA \xB9\x31\r\n"));
    }

    // The next run finds the parameters and the memory again.
    Session s(dir_->path());
    QVERIFY(s.show());
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.store->Mode, kModeNone);
    StringGrid* memory = s.grid("StringGridMemory");
    QVERIFY(memory->isVisible());
    QCOMPARE(memory->rowCount(), 2);
    QCOMPARE(memory->height(), 37);
    QCOMPARE(memory->item(0, 0)->text(), QString("Канал"));
    QCOMPARE(memory->item(0, 2)->text(), QString("   Название графика"));
    QCOMPARE(memory->item(1, 2)->text(), QString("График №1"));
    QCOMPARE(s.forma->cell(Grid::Spv, 1, 0), std::string("Ускорение"));
    QVERIFY(s.find<QCheckBox>("Chanel1")->isVisible());
    s.press("SpeedButtonVisual");
    QCOMPARE(chartTitle(s), QString("СПЕКТРЫ ОТВЕТОВ, взятые из памяти"));
    QVERIFY(s.points(0).isEmpty());
    QCOMPARE(s.points(1), spectrum);

    // A slot's check box hides and shows its curve, keeping the points.
    s.click("Chanel1");
    QVERIFY(!s.chartView()->lineSeries(1)->isVisible());
    s.click("Chanel1");
    QVERIFY(s.chartView()->lineSeries(1)->isVisible());
    QCOMPARE(s.points(1), spectrum);
    QCOMPARE(s.boxes.take(), QStringList());
  }

  void saveAndOpenEveryKind() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();

    // Right after the start no graph is shown: a configuration is saved. A name typed without
    // an extension gets the one of the kind.
    s.answers.push_back({true, "mine", 0});
    s.press("SpeedButtonSave");
    QCOMPARE(s.asked.back().objectName, QString("SaveDialogFile"));
    QCOMPARE(s.asked.back().labels, QStringList{"Конфигурация  ( *.cfg )"});
    QCOMPARE(s.asked.back().patterns, QStringList{"*.cfg"});
    QVERIFY(QFile::exists(dir_->filePath("mine.cfg")));

    typeSpectrum(s, {{"2", "1"}, {"10", "3"}, {"30", "2"}});
    s.answers.push_back({true, "design", 0});
    s.press("SpeedButtonSave");
    QCOMPARE(s.asked.back().labels, QStringList{"Спектр воздействий  ( *.spv )"});
    QCOMPARE(lines(readFile(dir_->filePath("design.spv"))).first(),
             QByteArray(" 2.00000000000000E+0000  1.00000000000000E+0000\r"));

    s.press("SpeedButtonAks");
    const QList<QPointF> record = s.graph(0);
    s.answers.push_back({true, "acc.aks", 0});
    s.press("SpeedButtonSave");
    QCOMPARE(s.asked.back().labels, QStringList{"Акселерограмма  ( *.aks )"});
    QCOMPARE(lines(readFile(dir_->filePath("acc.aks"))).first(),
             QByteArray::number(s.store->ND) + " 1\r");

    s.press("SpeedButtonSpo");
    const QList<QPointF> response = s.points(0);
    // Saving over an existing file replaces it without a question.
    QVERIFY(writeFile(dir_->filePath("resp.spo"), "junk"));
    s.answers.push_back({true, "resp.spo", 0});
    s.press("SpeedButtonSave");
    QCOMPARE(lines(readFile(dir_->filePath("resp.spo"))).size(), 57);
    QCOMPARE(s.boxes.take(), QStringList());

    // Open: five kinds, the first at first, then the one chosen last.
    s.type("EditFbeg", "7");
    s.type("EditN", "1");
    s.click("EditDT");
    s.answers.push_back({true, "design", 1});
    s.press("SpeedButtonOpen");
    QCOMPARE(s.asked.back().objectName, QString("OpenDialogFile"));
    QCOMPARE(s.asked.back().labels, kOpenLabels);
    QCOMPARE(s.asked.back().filterIndex, 1);
    QCOMPARE(s.forma->openDialogFileName(),
             QDir(dir_->path()).absoluteFilePath("design.spv").toStdString());
    QCOMPARE(s.store->Mode, kModeInputSpectrum);
    QCOMPARE(chartTitle(s), QString("СПЕКТР ВОЗДЕЙСТВИЯ"));
    QCOMPARE(s.edit("EditN")->text(), QString("3"));
    QCOMPARE(s.grid("StringGridSpv")->rowCount(), 4);
    QCOMPARE(s.grid("StringGridSpv")->item(3, 0)->text(), QString("30"));
    QCOMPARE(s.points(0), (QList<QPointF>{{2, 1}, {10, 3}, {30, 2}}));

    s.type("EditND", "12");
    s.type("EditDT", "1");
    s.answers.push_back({true, "acc.aks", 2});
    s.press("SpeedButtonOpen");
    QCOMPARE(s.asked.back().filterIndex, 1);
    QCOMPARE(s.store->Mode, kModeAccelerogram);
    QCOMPARE(s.edit("EditND")->text(), QString("5000"));
    QCOMPARE(s.edit("EditDT")->text(), QString("0.004"));
    QCOMPARE(s.graph(0), record.mid(0, 5000));

    s.answers.push_back({true, "resp.spo", 3});
    s.press("SpeedButtonOpen");
    QCOMPARE(s.asked.back().filterIndex, 2);
    QCOMPARE(s.store->Mode, kModeResponseSpectrum);
    QCOMPARE(s.edit("EditFbeg")->text(), QString("2"));
    QCOMPARE(s.edit("EditFend")->text(), QString("30"));
    QCOMPARE(s.points(0), response);

    s.answers.push_back({true, "mine.cfg", 4});
    s.press("SpeedButtonOpen");
    QCOMPARE(s.store->Mode, kModeNone);
    QVERIFY(s.points(0).isEmpty());
    QCOMPARE(chartTitle(s), QString("СПЕКТР ОТВЕТОВ"));
    QCOMPARE(s.edit("EditFbeg")->text(), QString("2"));
    QCOMPARE(s.edit("EditDT")->text(), QString("0.004"));

    QVERIFY(writeFile(dir_->filePath("rec.brl"),
                      "3 samples\r\n1 10.0 0.5\r\n2 10.25 -1.5\r\n3 10.5 2\r\n"));
    s.answers.push_back({true, "rec.brl", 5});
    s.press("SpeedButtonOpen");
    QCOMPARE(s.store->Mode, kModeAccelerogram);
    QCOMPARE(s.points(0), (QList<QPointF>{{0, 0.5}, {0.25, -1.5}, {0.5, 2}}));
    QCOMPARE(s.edit("EditT")->text(), QString("0.75"));
    QCOMPARE(s.edit("EditTend")->text(), QString("0.5"));
    // An imported record is saved as an accelerogram.
    s.answers.push_back({true, "rec", 0});
    s.press("SpeedButtonSave");
    QCOMPARE(s.asked.back().labels, QStringList{"Акселерограмма  ( *.aks )"});
    QCOMPARE(lines(readFile(dir_->filePath("rec.aks"))).first(), QByteArray("3 1\r"));

    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.unexpectedDialogs, 0);
  }

  // The real dialogs: the filters offered, the entry kept between uses, a name that does not
  // exist accepted, and an existing file replaced without a question.
  void realFileDialogs() {
    Session s(dir_->path());
    s.forma->setFileDialogHook({});
    QVERIFY(s.show());
    s.boxes.take();

    struct Seen {
      QString name;
      QStringList filters;
      QString shown;
    };
    QList<Seen> seen;
    QString typed;
    int choose = 0;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      // What the user reads: the entries of the kind list.
      auto* kinds = dialog->findChild<QComboBox*>("fileTypeCombo");
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      if (!kinds || !name) {
        QMetaObject::invokeMethod(dialog, "reject");
        QFAIL("not the program's own file dialog");
      }
      QStringList entries;
      for (int i = 0; i < kinds->count(); ++i) entries << kinds->itemText(i);
      seen.append({dialog->objectName(), entries, kinds->currentText()});
      if (choose > 0) dialog->selectNameFilter(kinds->itemText(choose - 1));
      name->setText(typed);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    answer.start(10);

    typed = "missing";
    choose = 2;
    s.press("SpeedButtonOpen");
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].name, QString("OpenDialogFile"));
    QCOMPARE(seen[0].filters, kOpenLabels);
    QCOMPARE(seen[0].shown, kOpenLabels[0]);
    QCOMPARE(s.boxes.take(), QStringList{"File not found."});
    QCOMPARE(s.forma->openDialogFilterIndex(), 2);
    QCOMPARE(s.forma->openDialogFileName(),
             QDir(dir_->path()).absoluteFilePath("missing.aks").toStdString());

    choose = 0;
    s.press("SpeedButtonOpen");
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[1].shown, kOpenLabels[1]);
    s.boxes.take();

    // The failed open left an accelerogram of no samples to save.
    typed = "rec";
    s.press("SpeedButtonSave");
    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen[2].name, QString("SaveDialogFile"));
    QCOMPARE(seen[2].filters, QStringList{"Акселерограмма  ( *.aks )"});
    QCOMPARE(readFile(dir_->filePath("rec.aks")), QByteArray("0 1\r\n"));
    QVERIFY(writeFile(dir_->filePath("rec.aks"), "old"));
    s.press("SpeedButtonSave");
    QCOMPARE(readFile(dir_->filePath("rec.aks")), QByteArray("0 1\r\n"));
    QCOMPARE(s.boxes.take(), QStringList());
  }

  void cancelledDialogsChangeNothing() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    typeSpectrum(s, {{"1", "1"}, {"5", "3"}});
    s.click("Memo1");
    Session::typeIntoFocus("kept");
    s.answers.push_back({false, {}, 0});
    s.press("SpeedButtonOpen");
    s.answers.push_back({false, {}, 0});
    s.press("SpeedButtonSave");
    QCOMPARE(s.asked.size(), std::size_t{2});
    QCOMPARE(s.find<QPlainTextEdit>("Memo1")->toPlainText(), QString("kept"));
    QCOMPARE(s.points(0).size(), 2);
    QCOMPARE(s.store->Mode, kModeInputSpectrum);
    QCOMPARE(s.forma->openDialogFileName(), std::string());
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList());
    QCOMPARE(s.boxes.take(), QStringList());
  }

  void openFailures_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::newRow("missing file") << "nothere" << QByteArray() << 2 << "File not found."
                                  << "АКСЕЛЕРОГРАММА";
    QTest::newRow("spectrum read as accelerogram")
        << "s.spv" << QByteArray(" 1.5E+0000  1.0E+0000\r\n") << 2 << "Invalid numeric input."
        << "АКСЕЛЕРОГРАММА";
    QTest::newRow("configuration read as spectrum")
        << "c.cfg" << QByteArray("Frequency from, Hz    : 2\r\n") << 1 << "Invalid numeric input."
        << "СПЕКТР ВОЗДЕЙСТВИЯ";
    QTest::newRow("comma in a response spectrum")
        << "r.spo" << QByteArray("2 0,5\r\n") << 3 << "Invalid numeric input."
        << "СПЕКТР ОТВЕТОВ";
  }

  void openFailures() {
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(int, filter);
    QFETCH(QString, message);
    QFETCH(QString, title);
    if (!content.isEmpty()) QVERIFY(writeFile(dir_->filePath(file), content));
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    typeSpectrum(s, {{"1", "1"}, {"5", "3"}});
    s.click("Memo1");
    Session::typeIntoFocus("gone");
    s.answers.push_back({true, file, filter});
    s.press("SpeedButtonOpen");
    const QList<MessageRecord> boxes = s.boxes.seen;
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, message);
    QCOMPARE(boxes[0].title, TForma::applicationTitle());
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    // What was done before the failure stays done and shows.
    QCOMPARE(chartTitle(s), title);
    QVERIFY(s.points(0).isEmpty());
    QVERIFY(s.find<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
    QCOMPARE(s.edit("EditN")->text(), QString("2"));
  }

  // Enter in the save dialog must never write one kind into the file of another: the name
  // kept from the last save comes back with the extension of the kind now held.
  void saveOffersTheNameWithTheKindsExtension() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    typeSpectrum(s, {{"2", "1"}, {"10", "3"}, {"30", "2"}});
    s.press("SpeedButtonAks");
    s.answers.push_back({true, "rec", 0});
    s.press("SpeedButtonSave");
    const QString folder = QDir(dir_->path()).absolutePath();
    QVERIFY(QFile::exists(folder + "/rec.aks"));
    const QByteArray record = readFile(folder + "/rec.aks");

    s.press("SpeedButtonSpo");
    s.answers.push_back({false, "", 0});  // only what the dialog offers matters here
    s.press("SpeedButtonSave");
    QCOMPARE(s.asked.back().fileName, folder + "/rec.spo");
    QCOMPARE(s.asked.back().patterns, QStringList{"*.spo"});
    s.answers.push_back({true, s.asked.back().fileName, 0});
    s.press("SpeedButtonSave");
    QCOMPARE(readFile(folder + "/rec.aks"), record);
    QCOMPARE(lines(readFile(folder + "/rec.spo")).size(), 57);
    QCOMPARE(s.boxes.take(), QStringList());
  }

  // A field left empty at close: the user is told once, the close goes on, and the next start
  // finds the graph memory and the field's last good value.
  void emptyFieldAtCloseKeepsTheMemory() {
    {
      Session s(dir_->path());
      QVERIFY(s.show());
      s.boxes.take();
      typeSpectrum(s, {{"2", "1"}, {"10", "3"}, {"30", "2"}});
      s.press("SpeedButtonAks");
      s.press("SpeedButtonSpo");
      s.press("SpeedButtonMemory");
      s.type("EditDF", "");
      s.type("EditND", "5000.5");
      s.click("EditFbeg");
      QVERIFY(s.close());
      const QList<MessageRecord> seen = s.boxes.seen;
      s.boxes.take();
      QCOMPARE(seen.size(), 1);
      QCOMPARE(seen[0].icon, QMessageBox::Warning);
      QCOMPARE(seen[0].text, QString::fromUtf8(msg::kKeptParameters.data()) +
                                 "\nШаг по частоте, Гц — 0.5;\nКоличество данных — 5000");
    }
    Session s(dir_->path());
    QVERIFY(s.show());
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.edit("EditDF")->text(), QString("0.5"));
    QCOMPARE(s.edit("EditND")->text(), QString("5000"));
    QCOMPARE(s.store->NMem, 1);
    QVERIFY(s.grid("StringGridMemory")->isVisible());
    QVERIFY(s.close());
    QCOMPARE(s.boxes.take(), QStringList());
  }

  // Every face drawn, at the size of its button: an SVG that fails to load gives an empty icon.
  void iconsAreDrawn() {
    Session s(dir_->path());
    const struct {
      const char* button;
      QSize size;
    } faces[] = {{"SpeedButtonOpen", {16, 16}},   {"SpeedButtonSave", {16, 16}},
                 {"SpeedButtonReport", {16, 16}}, {"SpeedButtonPreview", {16, 16}},
                 {"SpeedButtonAks", {16, 16}},    {"SpeedButtonSpo", {16, 16}},
                 {"SpeedButtonTime", {19, 40}}};
    QList<QIcon> icons{s.forma->windowIcon()};
    for (const auto& face : faces) {
      QToolButton* button = s.find<QToolButton>(face.button);
      QCOMPARE(button->iconSize(), face.size);
      icons << button->icon();
    }
    for (const QIcon& icon : icons) {
      const QImage image = icon.pixmap(QSize(16, 16)).toImage();
      int painted = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) painted += qAlpha(image.pixel(x, y)) > 0;
      QVERIFY2(painted > 20, qPrintable(QString::number(painted)));
    }
  }

  void failedSaveAndClose() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    s.answers.push_back({true, "nodir/x.cfg", 0});
    s.press("SpeedButtonSave");
    QCOMPARE(s.boxes.take(), QStringList{"Invalid filename."});

    // The configuration cannot be written: the window says so and stays open.
    QVERIFY(QDir(dir_->path()).mkdir("config.cfg"));
    QVERIFY(!s.close());
    QCOMPARE(s.boxes.take(), QStringList{"File access denied."});
    QVERIFY(s.forma->isVisible());
    QVERIFY(QDir(dir_->path()).rmdir("config.cfg"));
    QVERIFY(s.close());
    QVERIFY(QFile::exists(dir_->filePath("config.cfg")));
    QCOMPARE(s.boxes.take(), QStringList());
  }

  // A long response spectrum shows its progress after a moment and can be stopped there; the
  // points computed so far are kept and shown.
  void longResponseSpectrumCanBeStopped() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    typeSpectrum(s, {{"2", "1"}, {"10", "3"}, {"30", "2"}});
    s.type("EditT", "19.9998");
    s.type("EditND", "100000");
    s.type("EditDT", "0.0002");
    s.press("SpeedButtonAks");
    QCOMPARE(s.graph(0).size(), 100000);
    s.type("EditFbeg", "1");
    s.type("EditFend", "1000.5");
    s.type("EditDF", "0.0625");

    QString label;
    int captionRoom = 0;
    QTimer stopper;
    connect(&stopper, &QTimer::timeout, this, [&] {
      auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
      if (!progress || !progress->isVisible()) return;
      label = progress->labelText();
      captionRoom = progress->width() -
                    QFontMetrics(progress->font()).horizontalAdvance(progress->windowTitle());
      if (auto* stop = progress->findChild<QPushButton*>()) stop->click();
    });
    stopper.start(20);
    s.press("SpeedButtonSpo");
    stopper.stop();
    QCOMPARE(label, QString("Расчёт спектра ответа…"));
    // The box is wide enough for the caption it takes from the main window.
    QVERIFY2(captionRoom >= 100, qPrintable(QString::number(captionRoom)));
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.store->Mode, kModeResponseSpectrum);
    const qsizetype drawn = s.graph(0).size();
    QVERIFY2(drawn > 0 && drawn < 15993, qPrintable(QString::number(drawn)));
    QCOMPARE(qsizetype{s.store->NF} + 1, drawn);
    QVERIFY(!s.find<QProgressDialog>("ProgressResponseSpectrum"));
  }

  // Text typed into a cell counts at once, also for a command started while the cell editor is
  // still open; the editor stays open and the user types on.
  void cellBeingTypedCountsForCommands() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    QVERIFY(writeFile(dir_->filePath("a.spo"), "1 1\r\n2 4\r\n"));
    s.answers.push_back({true, "a.spo", 3});
    s.press("SpeedButtonOpen");
    s.press("SpeedButtonMemory");
    StringGrid* memory = s.clickCell("StringGridMemory", 2, 1);
    Session::typeIntoFocus("B");
    s.press("SpeedButtonVisual");
    QVERIFY(memory->isEditing());
    Session::typeIntoFocus("C");
    QVERIFY(s.close());
    QVERIFY(readFile(dir_->filePath("config.cfg")).contains("\r\nBC\r\n"));
    QCOMPARE(s.boxes.take(), QStringList());
  }

  void memoryListFollowsTheUser() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.boxes.take();
    // Nothing to take before a response spectrum is shown.
    s.press("SpeedButtonMemory");
    QVERIFY(!s.grid("StringGridMemory")->isVisible());

    QVERIFY(writeFile(dir_->filePath("a.spo"), "1 1\r\n2 4\r\n"));
    QVERIFY(writeFile(dir_->filePath("b.spo"), "1 2\r\n2 5\r\n3 6\r\n"));
    for (const char* name : {"a.spo", "b.spo", "a.spo"}) {
      s.answers.push_back({true, name, 3});
      s.press("SpeedButtonOpen");
      s.press("SpeedButtonMemory");
    }
    StringGrid* memory = s.grid("StringGridMemory");
    QCOMPARE(memory->rowCount(), 4);
    QCOMPARE(memory->height(), 17 * 3 + 20);
    QCOMPARE(memory->item(2, 1)->text(), QDir(dir_->path()).absoluteFilePath("b.spo"));
    for (int k = 1; k <= 3; ++k)
      QVERIFY(s.find<QLabel>(qPrintable(QString("Label%1k").arg(k)))->isVisible());

    // The user picks row 2 and deletes it; the third moves up with its title.
    s.clickCell("StringGridMemory", 2, 2);
    QCOMPARE(s.forma->memoryCurrentRow(), 2);
    s.press("SpeedButtonDelete");
    QCOMPARE(memory->rowCount(), 3);
    QCOMPARE(memory->height(), 17 * 2 + 20);
    QCOMPARE(memory->item(2, 2)->text(), QString("График №3"));
    QVERIFY(!s.find<QCheckBox>("Chanel3")->isVisible());

    // A title typed into the list is what the overlay and the configuration keep.
    s.typeCell("StringGridMemory", 2, 1, "A");
    QCOMPARE(s.forma->cell(Grid::Memory, 2, 1), std::string("A"));
    s.press("SpeedButtonVisual");
    QCOMPARE(s.points(1).size(), 2);
    QCOMPARE(s.points(2).size(), 2);
    QCOMPARE(s.chartView()->lineSeries(2)->color(), QColor(255, 0, 0));
    QVERIFY(s.close());
    QVERIFY(readFile(dir_->filePath("config.cfg")).contains("\r\nA\r\n"));
    QCOMPARE(s.boxes.take(), QStringList());
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

ACCELSPEC_WINDOW_TEST_MAIN(WindowCommands, "C.UTF-8")
#include "tst_window_commands.moc"
