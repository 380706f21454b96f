// SPDX-License-Identifier: MIT
#pragma once

// Drives the main window as a user would: clicks, typed text, answered dialogs. Every message
// box that opens is closed at once and recorded, so a test never hangs on one.

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <initializer_list>
#include <memory>

#include "app/chart_view.hpp"
#include "app/string_grid.hpp"
#include "app/tforma.hpp"
#include "app/treport.hpp"
#include "data/store.hpp"

namespace accelspec::testing {

struct MessageRecord {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
};

/// Closes every message box as soon as it is the active modal widget and keeps what it showed.
class MessageBoxes : public QObject {
 public:
  MessageBoxes() {
    timer_.setInterval(2);
    connect(&timer_, &QTimer::timeout, this, &MessageBoxes::poll);
    timer_.start();
  }

  /// The texts shown since the last call, oldest first.
  QStringList take() {
    QStringList texts;
    for (const MessageRecord& r : seen) texts << r.text;
    seen.clear();
    return texts;
  }

  QList<MessageRecord> seen;

 private:
  void poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    seen.append(
        {box->windowTitle(), box->text(), box->icon(), static_cast<int>(box->buttons().size())});
    QPointer<QWidget> owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
      ok->click();
    } else {
      box->reject();
    }
    // A window manager gives the focus back to the window under the box; offscreen, nothing
    // does, so the user's next click would find no active window.
    if (owner) QTimer::singleShot(0, owner, [owner] { owner->activateWindow(); });
  }

  QTimer timer_;
};

/// One answer to a file dialog: confirm a name (relative to the working folder) with a filter
/// entry (0 keeps the one shown), or cancel.
struct DialogAnswer {
  bool confirm = true;
  QString fileName;
  int filterIndex = 0;
};

/// A running window in a fresh working folder, with its store and report.
class Session {
 public:
  /// Starts in `folder` (made current); the caller keeps the folder across restarts.
  explicit Session(const QString& folder) {
    QDir::setCurrent(folder);
    store = makeStore();
    forma = std::make_unique<TForma>(*store, report);
    forma->setFileDialogHook([this](FileDialogRequest& request) {
      asked.push_back(request);
      if (answers.empty()) {
        unexpectedDialogs++;
        return false;
      }
      const DialogAnswer a = answers.front();
      answers.pop_front();
      if (!a.confirm) return false;
      request.fileName = a.fileName;
      if (a.filterIndex > 0) request.filterIndex = a.filterIndex;
      return true;
    });
  }

  ~Session() {
    // A window closed by the test has already written its file; one left open must not.
    if (forma && forma->isVisible()) forma->hide();
  }

  /// Shows the window, makes it active and lets its first activation run.
  bool show() {
    forma->show();
    return activate();
  }

  bool activate() {
    forma->activateWindow();
    if (!QTest::qWaitForWindowActive(forma.get())) return false;
    settle();
    return true;
  }

  /// Lets queued work (the activation handler) and message boxes run.
  static void settle() {
    for (int i = 0; i < 5; ++i) {
      QCoreApplication::processEvents();
      QTest::qWait(5);
    }
  }

  template <typename T>
  T* find(const char* name) const {
    return forma->findChild<T*>(QString::fromLatin1(name));
  }
  QLineEdit* edit(const char* name) const { return find<QLineEdit>(name); }
  StringGrid* grid(const char* name) const { return find<StringGrid>(name); }
  ChartView* chartView() const { return find<ChartView>("Chart1"); }

  /// Clicks a control (which takes the focus if it can).
  void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    settle();
  }
  void click(const char* name) { click(find<QWidget>(name)); }

  /// Clicks an edit field, replaces its text by typing, and stays in it.
  void type(const char* editName, const QString& text) {
    QLineEdit* e = edit(editName);
    click(e);
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Delete);
    typeIntoFocus(text);
  }

  /// Clicks cell (col, row) of a grid and types its new text into the cell editor.
  /// Clicks a cell of a grid, as the user does to start typing into it; returns the grid.
  StringGrid* clickCell(const char* gridName, int col, int row) {
    StringGrid* g = grid(gridName);
    const QRect r = g->visualRect(g->model()->index(row, col));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
    return g;
  }

  void typeCell(const char* gridName, int col, int row, const QString& text) {
    clickCell(gridName, col, row);
    settle();
    typeIntoFocus(text);
    // Enter closes the editor and keeps the focus in the grid.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle();
  }

  static void typeIntoFocus(const QString& text) {
    for (QChar c : text) {
      QWidget* target = QApplication::focusWidget();
      QTest::keyClick(target, c.toLatin1());
    }
    settle();
  }

  /// Presses the Tab key in the focused control.
  void tab() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    settle();
  }

  void press(const char* buttonName) { click(find<QToolButton>(buttonName)); }

  /// Closes the window as the user would; false when it stayed open.
  bool close() {
    const bool closed = forma->close();
    settle();
    return closed;
  }

  /// The points of a chart series as its line holds them (a long series is thinned).
  QList<QPointF> points(int series) const { return chartView()->lineSeries(series)->points(); }
  /// All points of a chart series, as the commands drew them.
  QList<QPointF> graph(int series) const {
    const std::vector<QPointF>& all = chartView()->allPoints(series);
    return QList<QPointF>(all.begin(), all.end());
  }

  std::unique_ptr<Store> store;
  TReport report;
  std::unique_ptr<TForma> forma;
  MessageBoxes boxes;
  std::deque<DialogAnswer> answers;
  std::vector<FileDialogRequest> asked;
  int unexpectedDialogs = 0;
};

/// Writes a text file with CR LF line ends (UTF-8 here; only Latin text and numbers matter).
inline bool writeFile(const QString& path, const QByteArray& content) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(content) == content.size();
}

inline QByteArray readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

}  // namespace accelspec::testing

/// A configuration file of the eight parameter lines with these values; the labels are never
/// compared, so any 23 characters do.
inline QByteArray configLines(std::initializer_list<const char*> values) {
  QByteArray text;
  for (const char* v : values) text += QByteArray(23, 'x') + " " + v + "\r\n";
  return text;
}

/// The defaults' configuration with a first value that differs from the field's default.
inline QByteArray configWithStart(const char* fbeg) {
  return configLines({fbeg, "30", "0.5", "0.1", "20", "5000", "0.004", "0"});
}

/// main() of a window test, as QTEST_MAIN writes it, with the user's locale fixed first: the
/// decimal separator of every field and cell follows it, and it is read once, at the start.

#define ACCELSPEC_WINDOW_TEST_MAIN(TestClass, locale) \
  int main(int argc, char** argv) {                   \
    qputenv("LC_ALL", locale);                        \
    QApplication app(argc, argv);                     \
    app.setAttribute(Qt::AA_Use96Dpi, true);          \
    TestClass test;                                   \
    QTEST_SET_MAIN_SOURCE_PATH                        \
    return QTest::qExec(&test, argc, argv);           \
  }
