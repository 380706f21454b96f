// SPDX-License-Identifier: MIT
// The window under a locale that writes numbers with a decimal comma: fields, cells and chart
// labels use the comma, files keep the point.

#include <QChart>
#include <QFileDialog>
#include <QHeaderView>
#include <QTest>
#include <QTreeView>

#include "app/translations.hpp"

#include "tests/app/window_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

QByteArray configText(const char* df, const char* dt) {
  return configLines({"2", "30", df, "0.1", "20", "5000", dt, "0"});
}

}  // namespace

class WindowLocale : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
  }
  void cleanup() { dir_.reset(); }

  void commaEverywhereButInFiles() {
    QVERIFY(writeFile(dir_->filePath("config.cfg"), configText("0.5", "0.004")));
    Session s(dir_->path());
    QCOMPARE(s.forma->decimalSeparator(), ',');
    QVERIFY(s.show());
    QCOMPARE(s.boxes.take(), QStringList());
    // Values read from the file are shown the user's way.
    QCOMPARE(s.edit("EditDF")->text(), QString("0,5"));
    QCOMPARE(s.edit("EditDT")->text(), QString("0,004"));

    s.type("EditN", "2");
    s.click("EditFbeg");
    s.typeCell("StringGridSpv", 0, 1, "2");
    s.typeCell("StringGridSpv", 1, 1, "1,5");
    s.typeCell("StringGridSpv", 0, 2, "30");
    s.typeCell("StringGridSpv", 1, 2, "2.5");
    s.click("EditFend");
    QCOMPARE(s.boxes.take(), QStringList{"'2.5' is not a valid floating point value."});
    s.typeCell("StringGridSpv", 1, 2, "2,5");
    s.click("EditFend");
    QCOMPARE(s.points(0), (QList<QPointF>{{2, 1.5}, {30, 2.5}}));

    s.press("SpeedButtonAks");
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.edit("EditTend")->text(), QString("19,996"));
    QCOMPARE(s.chartView()->chart()->locale().decimalPoint(), QString(","));

    // Files keep the point.
    s.typeCell("StringGridSpv", 1, 2, "2,5");
    s.click("EditFend");
    s.answers.push_back({true, "design.spv", 0});
    s.press("SpeedButtonSave");
    QCOMPARE(readFile(dir_->filePath("design.spv")),
             QByteArray(" 2.00000000000000E+0000  1.50000000000000E+0000\r\n"
                        " 3.00000000000000E+0001  2.50000000000000E+0000\r\n"));
    s.answers.push_back({true, "design.spv", 1});
    s.press("SpeedButtonOpen");
    QCOMPARE(s.grid("StringGridSpv")->item(1, 1)->text(), QString("1,5"));
    QCOMPARE(s.boxes.take(), QStringList());
  }

  // A first start: the fields show their defaults the user's way, so that the synthesis takes
  // them as they stand; the configuration written at close keeps the point.
  void defaultsInTheUsersForm() {
    {
      Session s(dir_->path());
      QVERIFY(s.show());
      QCOMPARE(s.boxes.take(), QStringList{"File not found."});
      QCOMPARE(s.edit("EditDF")->text(), QString("0,5"));
      QCOMPARE(s.edit("EditPsi")->text(), QString("0,1"));
      QCOMPARE(s.edit("EditDT")->text(), QString("0,004"));
      s.type("EditN", "2");
      s.click("EditFbeg");
      s.typeCell("StringGridSpv", 0, 1, "2");
      s.typeCell("StringGridSpv", 1, 1, "1");
      s.typeCell("StringGridSpv", 0, 2, "30");
      s.typeCell("StringGridSpv", 1, 2, "2");
      s.click("EditFend");
      s.press("SpeedButtonAks");
      QCOMPARE(s.boxes.take(), QStringList());
      QCOMPARE(s.store->ND, 5000);
      QCOMPARE(s.store->DT, 0.004L);
      QVERIFY(s.close());
      QCOMPARE(s.boxes.take(), QStringList());
    }
    const QByteArray config = readFile(dir_->filePath("config.cfg"));
    QVERIFY(config.contains(": 0.5\r\n"));
    QVERIFY(config.contains(": 0.004\r\n"));
  }

  // Qt's own texts in Russian, and a file list whose columns show their texts whole.
  void qtDialogsSpeakRussian() {
    QVERIFY(installQtTranslations(*qApp));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Перейти к:"));
    // 19 bytes: "19 байты" is wider than the size column the dialog gives itself.
    QVERIFY(writeFile(dir_->filePath("design.spv"), "2 1\r\n10 3\r\n30 222\r\n"));
    Session s(dir_->path());
    s.forma->setFileDialogHook({});
    QVERIFY(s.show());
    s.boxes.take();

    QStringList headers;
    QList<int> shortBy;
    int tries = 0;
    QTimer look;
    connect(&look, &QTimer::timeout, this, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      dialog->findChild<QAbstractButton*>("detailModeButton")->click();
      auto* list = dialog->findChild<QTreeView*>("treeView");
      if (list->model()->rowCount(list->rootIndex()) == 0 && ++tries < 200) return;
      QHeaderView* header = list->header();
      for (int c = 0; c < header->count(); ++c) {
        headers << list->model()->headerData(c, Qt::Horizontal).toString();
        if (c > 0)
          shortBy << static_cast<QAbstractItemView*>(list)->sizeHintForColumn(c) -
                         header->sectionSize(c);
      }
      QMetaObject::invokeMethod(dialog, "reject");
    });
    look.start(10);
    s.press("SpeedButtonOpen");
    look.stop();
    QCOMPARE(headers, (QStringList{"Имя", "Размер", "Тип", "Дата изменения"}));
    for (int missing : shortBy) QVERIFY2(missing <= 0, qPrintable(QString::number(missing)));
    QCOMPARE(s.boxes.take(), QStringList());
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

ACCELSPEC_WINDOW_TEST_MAIN(WindowLocale, "ru_RU.UTF-8")
#include "tst_window_locale.moc"
