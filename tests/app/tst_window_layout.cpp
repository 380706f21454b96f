// SPDX-License-Identifier: MIT
// The main window as it is created: names, places, texts, hints and looks of its controls.

#include <QChart>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "tests/app/window_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

class WindowLayout : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    session_ = std::make_unique<Session>(dir_.path());
  }
  void cleanupTestCase() { session_.reset(); }

  void window() {
    TForma& f = *session_->forma;
    QCOMPARE(f.objectName(), QString("Forma"));
    QCOMPARE(f.windowTitle(), QString(" Расчёт акселерограмм и спектров ответа."));
    QCOMPARE(f.size(), QSize(1024, 700));
    QVERIFY(!f.windowIcon().isNull());
    // The stand-in for the original face must draw Cyrillic and keep its size.
    QCOMPARE(f.font().pointSize(), 8);
    const QString family = QFontInfo(f.font()).family();
    QVERIFY2(family == "MS Sans Serif" || family.startsWith("DejaVu Sans"), qPrintable(family));
    QVERIFY(QFontMetrics(f.font()).inFontUcs4(U'Ж'));
  }

  void geometry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("shown");
    const struct {
      const char* name;
      const char* parent;
      QRect rect;
      bool shown;
    } rows[] = {
        {"Panel1", "Forma", {0, 0, 1024, 30}, true},
        {"Panel2", "Forma", {0, 30, 1024, 171}, true},
        {"Chart1", "Forma", {0, 201, 1024, 499}, true},
        {"SpeedButtonOpen", "Panel1", {40, 4, 22, 22}, true},
        {"SpeedButtonSave", "Panel1", {80, 4, 22, 22}, true},
        {"SpeedButtonReport", "Panel1", {144, 4, 22, 22}, false},
        {"SpeedButtonPreview", "Panel1", {184, 4, 22, 22}, false},
        {"SpeedButtonAks", "Panel1", {248, 4, 22, 22}, true},
        {"SpeedButtonSpo", "Panel1", {288, 4, 22, 22}, true},
        {"SpeedButtonMemory", "Panel1", {608, 4, 22, 22}, true},
        {"SpeedButtonDelete", "Panel1", {656, 4, 22, 22}, true},
        {"SpeedButtonVisual", "Panel1", {704, 4, 22, 22}, true},
        {"GroupBoxAks", "Panel2", {1, 1, 184, 169}, true},
        {"GroupBoxTime", "Panel2", {185, 1, 185, 169}, true},
        {"GroupBoxSpv", "Panel2", {370, 1, 160, 169}, true},
        {"GroupBoxMemory", "Panel2", {530, 1, 480, 169}, true},
        {"EditFbeg", "GroupBoxAks", {128, 24, 49, 21}, true},
        {"EditFend", "GroupBoxAks", {128, 48, 49, 21}, true},
        {"EditDF", "GroupBoxAks", {128, 72, 49, 21}, true},
        {"EditPsi", "GroupBoxAks", {128, 96, 49, 21}, true},
        {"EditTbeg", "GroupBoxAks", {104, 120, 49, 21}, true},
        {"EditTend", "GroupBoxAks", {104, 144, 49, 21}, true},
        {"SpeedButtonTime", "GroupBoxAks", {156, 120, 23, 45}, true},
        {"EditT", "GroupBoxTime", {120, 24, 57, 21}, true},
        {"EditND", "GroupBoxTime", {120, 48, 57, 21}, true},
        {"EditDT", "GroupBoxTime", {120, 72, 57, 21}, true},
        {"Memo1", "GroupBoxTime", {8, 96, 169, 69}, true},
        {"EditN", "GroupBoxSpv", {40, 32, 65, 21}, true},
        {"StringGridSpv", "GroupBoxSpv", {8, 60, 145, 105}, true},
        {"StringGridMemory", "GroupBoxMemory", {24, 14, 449, 123}, false},
        {"Chanel1", "GroupBoxMemory", {27, 34, 35, 14}, false},
        {"Chanel6", "GroupBoxMemory", {27, 119, 35, 14}, false},
        {"Label1k", "GroupBoxMemory", {10, 30, 12, 29}, false},
        {"Label1t", "GroupBoxMemory", {11, 31, 12, 29}, false},
        {"Label6k", "GroupBoxMemory", {10, 115, 12, 29}, false},
        {"Label6t", "GroupBoxMemory", {11, 116, 12, 29}, false},
    };
    for (const auto& r : rows) QTest::newRow(r.name) << r.name << r.parent << r.rect << r.shown;
  }

  void geometry() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, rect);
    QFETCH(bool, shown);
    auto* w = session_->forma->findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->parentWidget()->objectName(), parent);
    if (name == "Panel1" || name == "Panel2" || name == "Chart1") {
      // Laid out only once shown; the window is shown hidden-first here.
      session_->forma->show();
      QVERIFY(QTest::qWaitForWindowExposed(session_->forma.get()));
    }
    QCOMPARE(w->geometry(), rect);
    QCOMPARE(w->isVisibleTo(session_->forma.get()), shown);
  }

  void texts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const struct {
      const char* name;
      const char* text;
    } rows[] = {{"EditFbeg", "2"},   {"EditFend", "30"}, {"EditDF", "0.5"}, {"EditPsi", "0.1"},
                {"EditTbeg", "0"},   {"EditTend", "0"},  {"EditT", "20"},   {"EditND", "5000"},
                {"EditDT", "0.004"}, {"EditN", "0"}};
    for (const auto& r : rows) QTest::newRow(r.name) << r.name << QString::fromUtf8(r.text);
  }

  void texts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    auto* e = session_->forma->findChild<QLineEdit*>(name);
    QVERIFY(e);
    QCOMPARE(e->text(), text);
  }

  void captionsAndLabels() {
    TForma& f = *session_->forma;
    const std::pair<const char*, const char*> boxes[] = {
        {"GroupBoxAks", " Для акселерограммы "},
        {"GroupBoxTime", " Временные настройки "},
        {"GroupBoxSpv", " Для спектра воздействий "},
        {"GroupBoxMemory", "Работа с памятью"},
    };
    for (const auto& [name, caption] : boxes)
      QCOMPARE(f.findChild<QGroupBox*>(name)->title(), QString::fromUtf8(caption));

    // Each label ends before the edit field of its row (or the group box's edge).
    const struct {
      const char* text;
      const char* box;
      QPoint at;
      int limit;
    } labels[] = {
        {"Начальная частота, Гц", "GroupBoxAks", {8, 27}, 128},
        {"Конечная частота, Гц", "GroupBoxAks", {8, 51}, 128},
        {"Шаг по частоте, Гц", "GroupBoxAks", {8, 75}, 128},
        {"Коэф. демпфирования", "GroupBoxAks", {8, 99}, 128},
        {"Начальное время", "GroupBoxAks", {8, 123}, 104},
        {"Конечное время", "GroupBoxAks", {8, 147}, 104},
        {"Время воздействия", "GroupBoxTime", {8, 27}, 120},
        {"Количество данных", "GroupBoxTime", {8, 51}, 120},
        {"Шаг по времени", "GroupBoxTime", {8, 75}, 120},
        {"Количество точек спектра", "GroupBoxSpv", {12, 19}, 158},
    };
    for (const auto& l : labels) {
      QLabel* found = nullptr;
      for (QLabel* label : f.findChild<QGroupBox*>(l.box)->findChildren<QLabel*>())
        if (label->text() == QString::fromUtf8(l.text)) found = label;
      QVERIFY2(found, l.text);
      QCOMPARE(found->pos(), l.at);
      QVERIFY(found->width() >= found->fontMetrics().horizontalAdvance(found->text()));
      QVERIFY2(found->geometry().right() < l.limit, l.text);
    }
  }

  void toolButtons() {
    const struct {
      const char* name;
      const char* hint;
      const char* caption;
    } buttons[] = {
        {"SpeedButtonOpen", "Открыть файл", ""},
        {"SpeedButtonSave", "Сохранить файл", ""},
        {"SpeedButtonReport", "", ""},
        {"SpeedButtonPreview", "", ""},
        {"SpeedButtonAks", "Рассчитать акселерограмму по спектру воздействия", ""},
        {"SpeedButtonSpo", "Рассчитать спектр ответа по акселерограмме", ""},
        {"SpeedButtonTime", "", ""},
        {"SpeedButtonMemory", "Взять график в память", "M"},
        {"SpeedButtonDelete", "Удалить график из памяти", "D"},
        {"SpeedButtonVisual", "Отобразить выбранные графики", "V"},
    };
    for (const auto& b : buttons) {
      auto* button = session_->find<QToolButton>(b.name);
      QVERIFY2(button, b.name);
      QCOMPARE(button->focusPolicy(), Qt::NoFocus);
      QCOMPARE(button->toolTip(), QString::fromUtf8(b.hint));
      if (*b.caption) {
        QCOMPARE(button->text(), QString(b.caption));
        QVERIFY(button->font().bold());
        QCOMPARE(button->font().pointSize(), 10);
      } else {
        QVERIFY2(!button->icon().isNull(), b.name);
      }
    }
  }

  void grids() {
    StringGrid* spv = session_->grid("StringGridSpv");
    QCOMPARE(spv->columnCount(), 2);
    QCOMPARE(spv->rowCount(), 6);
    QCOMPARE(spv->fixedRows(), 1);
    QCOMPARE(spv->fixedColumns(), 0);
    StringGrid* memory = session_->grid("StringGridMemory");
    QCOMPARE(memory->columnCount(), 3);
    QCOMPARE(memory->rowCount(), 7);
    QCOMPARE(memory->fixedRows(), 1);
    QCOMPARE(memory->fixedColumns(), 1);
    // Cells 16 pixels plus the grid line; widths likewise.
    QCOMPARE(spv->rowHeight(3), 17);
    QCOMPARE(spv->columnWidth(0), 62);
    QCOMPARE(spv->columnWidth(1), 63);
    QCOMPARE(memory->columnWidth(0), 38);
    QCOMPARE(memory->columnWidth(1), 275);
    QCOMPARE(memory->columnWidth(2), 133);
    // Fixed cells are lime and closed to editing, the others open.
    const QColor lime(0, 255, 0);
    QCOMPARE(spv->item(0, 1)->background().color(), lime);
    QVERIFY(!(spv->item(0, 1)->flags() & Qt::ItemIsEditable));
    QVERIFY(spv->item(1, 0)->flags() & Qt::ItemIsEditable);
    QCOMPARE(memory->item(3, 0)->background().color(), lime);
    QVERIFY(!(memory->item(3, 0)->flags() & Qt::ItemIsEditable));
    QVERIFY(memory->item(3, 2)->flags() & Qt::ItemIsEditable);
    QVERIFY(spv->item(0, 0)->text().isEmpty());
    // Both grids start with their first data row current.
    QCOMPARE(session_->forma->memoryCurrentRow(), 1);
  }

  void memoryMarkers() {
    const QColor colors[] = {{0, 0, 0},   {255, 0, 0}, {0, 128, 0},
                             {0, 0, 128}, {128, 0, 0}, {255, 0, 255}};
    for (int k = 1; k <= 6; ++k) {
      auto* check = session_->find<QCheckBox>(qPrintable(QString("Chanel%1").arg(k)));
      QCOMPARE(check->text(), QString::number(k));
      QVERIFY(check->isChecked());
      auto* star = session_->find<QLabel>(qPrintable(QString("Label%1k").arg(k)));
      auto* shadow = session_->find<QLabel>(qPrintable(QString("Label%1t").arg(k)));
      QCOMPARE(star->text(), QString("*"));
      QCOMPARE(shadow->text(), QString("*"));
      QVERIFY(star->font().bold());
      QCOMPARE(star->font().pointSize(), 18);
      QCOMPARE(star->palette().color(QPalette::WindowText), colors[k - 1]);
      QCOMPARE(shadow->palette().color(QPalette::WindowText), QColor(128, 128, 128));
      QCOMPARE(shadow->pos(), star->pos() + QPoint(1, 1));
      // Stacking: shadow under its star, check box over the memory list.
      const QObjectList& siblings = star->parent()->children();
      QVERIFY(siblings.indexOf(shadow) < siblings.indexOf(star));
      QVERIFY(siblings.indexOf(session_->grid("StringGridMemory")) < siblings.indexOf(check));
    }
  }

  void chart() {
    ChartView* view = session_->chartView();
    QChart* chart = view->chart();
    QVERIFY(!chart->legend()->isVisible());
    QCOMPARE(chart->backgroundBrush().color(), QColor(Qt::white));
    QCOMPARE(chart->title(), QString());
    QCOMPARE(chart->titleBrush().color(), QColor(0, 0, 255));
    QCOMPARE(chart->titleFont().pointSize(), 10);
    QCOMPARE(view->axisY()->titleText(), QString("Значение ускорения a, м/c^2 "));
    QCOMPARE(view->axisX()->titleText(), QString());
    QCOMPARE(view->axisX()->titleFont().pointSize(), 8);
    QCOMPARE(chart->series().size(), 7);
    const QColor colors[] = {{0, 0, 0},   {0, 0, 0},   {255, 0, 0},  {0, 128, 0},
                             {0, 0, 128}, {128, 0, 0}, {255, 0, 128}};
    for (int i = 0; i < 7; ++i) {
      QCOMPARE(view->lineSeries(i)->color(), colors[i]);
      QCOMPARE(view->lineSeries(i)->name(), QString("Series%1").arg(i + 1));
      QVERIFY(view->lineSeries(i)->points().isEmpty());
    }
    QCOMPARE(view->focusPolicy(), Qt::NoFocus);
  }

  void memoStartsEmpty() {
    auto* memo = session_->find<QPlainTextEdit>("Memo1");
    QVERIFY(memo->toPlainText().isEmpty());
    QVERIFY(memo->tabChangesFocus());
  }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<Session> session_;
};

ACCELSPEC_WINDOW_TEST_MAIN(WindowLayout, "C.UTF-8")
#include "tst_window_layout.moc"
