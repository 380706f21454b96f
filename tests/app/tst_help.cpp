// SPDX-License-Identifier: MIT
// The user's guide in the window: F1 over a control opens the place that explains it, the "?"
// button opens the contents, every link and picture of the guide leads somewhere, the search
// finds what the guide says, and reading the guide never counts as leaving the main window.

#include <QCursor>
#include <QListWidget>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "app/analysis/analysis_window.hpp"
#include "app/help_window.hpp"
#include "tests/app/window_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

// Every link and picture a chapter shows, as the viewer holds them.
struct ChapterLinks {
  QStringList links;
  QStringList pictures;
};

ChapterLinks linksOf(const QTextDocument& doc) {
  ChapterLinks out;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      if (format.isImageFormat()) out.pictures << format.toImageFormat().name();
      if (format.isAnchor() && !format.anchorHref().isEmpty()) out.links << format.anchorHref();
    }
  }
  // Table cells are frames of their own; the blocks above cover them through the document's
  // block list, which runs through every frame.
  out.links.removeDuplicates();
  out.pictures.removeDuplicates();
  return out;
}

}  // namespace

class Help : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(writeFile(dir_->filePath("config.cfg"), configWithStart("7")));
  }
  void cleanup() { dir_.reset(); }

  void f1OpensThePlaceThatExplainsTheFocusedControl_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("heading");
    QTest::newRow("EditFbeg") << "EditFbeg"
                              << "Начальная частота, Гц; Конечная частота, Гц; Шаг по частоте, Гц";
    QTest::newRow("EditDF") << "EditDF"
                            << "Начальная частота, Гц; Конечная частота, Гц; Шаг по частоте, Гц";
    QTest::newRow("EditPsi") << "EditPsi"
                             << "Коэф. демпфирования";
    QTest::newRow("EditTend") << "EditTend"
                              << "Начальное время, Конечное время и кнопка окна";
    QTest::newRow("EditND") << "EditND"
                            << "Количество данных";
    QTest::newRow("EditDT") << "EditDT"
                            << "Шаг по времени";
    QTest::newRow("EditN") << "EditN"
                           << "Количество точек спектра";
    QTest::newRow("Memo1") << "Memo1"
                           << "Поле заметок";
  }

  void f1OpensThePlaceThatExplainsTheFocusedControl() {
    QFETCH(QString, control);
    QFETCH(QString, heading);
    Session s(dir_->path());
    QVERIFY(s.show());
    s.click(control.toLatin1().constData());
    QCOMPARE(QApplication::focusWidget()->objectName(), control);
    // The pointer rests on the focused field, as it does after a click.
    QCursor::setPos(s.find<QWidget>(control.toLatin1().constData())->mapToGlobal(QPoint(4, 4)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    Session::settle();
    HelpWindow* help = s.forma->findChild<HelpWindow*>("HelpWindow");
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->currentTopic(), helpTopicForControl(control));
    QCOMPARE(help->browser()->textCursor().block().text(), heading);
    // The contents mark the place shown.
    auto* tree = help->findChild<QTreeWidget*>("HelpContents");
    QVERIFY(tree->currentItem());
    QCOMPARE(tree->currentItem()->text(0), heading);
  }

  void f1OverAToolButtonOpensItsPlace_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("heading");
    QTest::newRow("SpeedButtonAks") << "SpeedButtonAks"
                                    << "Рассчитать акселерограмму по спектру воздействия";
    QTest::newRow("SpeedButtonSpo") << "SpeedButtonSpo"
                                    << "Рассчитать спектр ответа по акселерограмме";
    QTest::newRow("SpeedButtonMemory") << "SpeedButtonMemory"
                                       << "M — Взять график в память";
    QTest::newRow("SpeedButtonAnalysis") << "SpeedButtonAnalysis"
                                         << "Окно анализа";
    QTest::newRow("SpeedButtonTime") << "SpeedButtonTime"
                                     << "Начальное время, Конечное время и кнопка окна";
  }

  // Tool buttons take no focus: the one under the pointer is asked about, even while a field
  // holds the focus.
  void f1OverAToolButtonOpensItsPlace() {
    QFETCH(QString, control);
    QFETCH(QString, heading);
    Session s(dir_->path());
    QVERIFY(s.show());
    s.click("EditFbeg");
    auto* button = s.find<QToolButton>(control.toLatin1().constData());
    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    Session::settle();
    HelpWindow* help = s.forma->findChild<HelpWindow*>("HelpWindow");
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->currentTopic(), helpTopicForControl(control));
    QCOMPARE(help->browser()->textCursor().block().text(), heading);
  }

  void everyControlOfTheWindowHasAPlaceThatExists() {
    Session s(dir_->path());
    QVERIFY(s.show());
    for (const QString& control : helpControls()) {
      QVERIFY2(s.forma->objectName() == control || s.find<QWidget>(control.toLatin1().constData()),
               qPrintable(control));
      const QString topic = helpTopicForControl(control);
      s.forma->showHelp(topic);
      QCOMPARE(s.forma->helpWindow()->currentTopic(), topic);
    }
  }

  // In the analysis window F1 opens the section of the page shown.
  void f1InTheAnalysisWindowOpensItsPage() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.press("SpeedButtonAnalysis");
    AnalysisWindow* analysis = s.forma->analysisWindow();
    QVERIFY(analysis && analysis->isVisible());
    for (int page = 0; page < analysis->tabs()->count(); ++page) {
      analysis->tabs()->setCurrentIndex(page);
      analysis->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(analysis));
      QTest::keyClick(analysis, Qt::Key_F1);
      Session::settle();
      HelpWindow* help = s.forma->helpWindow();
      QVERIFY(help->isVisible());
      QCOMPARE(help->browser()->textCursor().block().text(), analysis->tabs()->tabText(page));
    }
  }

  void theHelpButtonOpensTheContents() {
    Session s(dir_->path());
    QVERIFY(s.show());
    auto* button = s.find<QToolButton>("SpeedButtonHelp");
    QVERIFY(button);
    QCOMPARE(button->geometry(), QRect(808, 4, 22, 22));
    QCOMPARE(button->toolTip(), QString("Справка"));
    QCOMPARE(button->text(), QString("?"));
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    s.press("SpeedButtonHelp");
    HelpWindow* help = s.forma->helpWindow();
    QVERIFY(help->isVisible());
    QCOMPARE(help->currentTopic(), QString("README.md"));
    // Not modal: the main window goes on taking input.
    QVERIFY(!help->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    // Every chapter is in the contents tree.
    auto* tree = help->findChild<QTreeWidget*>("HelpContents");
    QSet<QString> chapters;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
      chapters << tree->topLevelItem(i)->data(0, Qt::UserRole).toString().section('#', 0, 0);
    // Titles read as the chapters show them: no Markdown marks, escaped ones kept as text.
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
      const QString title = (*it)->text(0);
      QVERIFY2(!title.contains('`') && !title.contains('\\'), qPrintable(title));
    }
    QCOMPARE(tree->findItems("Спектр воздействия (*.spv)", Qt::MatchRecursive).size(), 1);
    for (const QString& chapter : helpChapters())
      QVERIFY2(chapters.contains(chapter), qPrintable(chapter));
  }

  // F1 and «?» bring back a minimised guide, maximised if it was.
  void aMinimisedGuideComesBack() {
    Session s(dir_->path());
    QVERIFY(s.show());
    s.press("SpeedButtonHelp");
    HelpWindow* help = s.forma->helpWindow();
    QVERIFY(help && help->isVisible());
    help->showMinimized();
    Session::settle();
    QVERIFY(help->isMinimized());
    s.press("SpeedButtonHelp");
    Session::settle();
    QVERIFY(!help->isMinimized());

    help->showMaximized();
    Session::settle();
    help->setWindowState(help->windowState() | Qt::WindowMinimized);
    Session::settle();
    QVERIFY(help->isMinimized());
    s.forma->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.forma.get()));
    s.click("EditFbeg");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    Session::settle();
    QVERIFY(!help->isMinimized());
    QVERIFY(help->isMaximized());
  }

  // Reading the guide and coming back is no new activation: what was typed stays, and the
  // configuration on disk is not read again.
  void theGuideIsNoOtherForm() {
    Session s(dir_->path());
    QVERIFY(s.show());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("7"));
    s.type("EditFbeg", "9");
    QCursor::setPos(s.edit("EditFbeg")->mapToGlobal(QPoint(4, 4)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    Session::settle();
    HelpWindow* help = s.forma->helpWindow();
    QVERIFY(QTest::qWaitForWindowActive(help));
    help->showTopic("05-formulas.md");
    Session::settle();
    QVERIFY(s.activate());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("9"));
    QCOMPARE(s.boxes.take(), QStringList());
    // The back button returns to the place F1 opened.
    auto* back = help->findChild<QToolButton*>("HelpBack");
    QVERIFY(back->isEnabled());
    back->click();
    QCOMPARE(help->currentTopic(), helpTopicForControl("EditFbeg"));
    // Headings keep their room above them on every road back to a chapter.
    int spaced = 0;
    for (QTextBlock b = help->browser()->document()->begin(); b.isValid(); b = b.next())
      if (b.blockNumber() > 0 && b.blockFormat().headingLevel() > 0) {
        QVERIFY2(b.blockFormat().topMargin() > 0, qPrintable(b.text()));
        ++spaced;
      }
    QVERIFY(spaced > 10);
    // Closing the main window closes the guide with it.
    QVERIFY(s.close());
    QVERIFY(!help->isVisible());
  }

  void everyLinkAndPictureOfTheGuideLeadsSomewhere() {
    HelpWindow help;
    help.show();
    int links = 0;
    int pictures = 0;
    for (const QString& chapter : helpChapters()) {
      help.showTopic(chapter);
      QVERIFY2(!help.browser()->document()->isEmpty(), qPrintable(chapter));
      const ChapterLinks found = linksOf(*help.browser()->document());
      const QUrl base = help.browser()->source();
      for (const QString& picture : found.pictures) {
        const QVariant image = help.browser()->loadResource(QTextDocument::ImageResource,
                                                            base.resolved(QUrl(picture)));
        QVERIFY2(image.isValid() && !image.toByteArray().isEmpty(),
                 qPrintable(chapter + ": " + picture));
        ++pictures;
      }
      for (const QString& link : found.links) {
        if (link.startsWith("http")) continue;
        const QUrl target = base.resolved(QUrl(link));
        QVERIFY2(QFile::exists(":" + target.path()), qPrintable(chapter + ": " + link));
        help.showTopic(target.fileName() + (target.hasFragment() ? "#" + target.fragment() : ""));
        if (target.hasFragment())
          QVERIFY2(help.browser()->currentAnchor() == target.fragment(),
                   qPrintable(chapter + ": " + link));
        help.showTopic(chapter);
        ++links;
      }
    }
    QVERIFY(links > 20);
    QVERIFY(pictures >= 4);
  }

  void theSearchFindsWhatTheGuideSays_data() {
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("chapter");
    QTest::newRow("capacity") << "91001"
                              << "02-main-window.md";
    QTest::newRow("case ignored") << "ЗНАЧЕНИЯ СПЕКТРА ОТВЕТА ВЫЧИСЛЯЮТСЯ"
                                  << "05-formulas.md";
    QTest::newRow("file bytes") << "Windows-1251"
                                << "06-files.md";
    QTest::newRow("message") << "Invalid numeric input"
                             << "07-messages.md";
  }

  void theSearchFindsWhatTheGuideSays() {
    QFETCH(QString, phrase);
    QFETCH(QString, chapter);
    HelpWindow help;
    help.show();
    const QStringList hits = help.search(phrase);
    QStringList chapters;
    for (const QString& hit : hits) chapters << hit.section('#', 0, 0);
    QVERIFY2(chapters.contains(chapter), qPrintable(hits.join(' ')));
    // Opening a hit shows its place with the phrase marked.
    auto* list = help.findChild<QListWidget*>("HelpHits");
    QCOMPARE(list->count(), hits.size());
    const int row = static_cast<int>(chapters.indexOf(chapter));
    emit list->itemActivated(list->item(row));
    QCOMPARE(help.currentTopic().section('#', 0, 0), chapter);
    QCOMPARE(help.browser()->textCursor().selectedText().toLower(), phrase.toLower());
    QVERIFY(help.search("нет такой фразы в справке").isEmpty());
  }

  void slugsAreThoseOfTheRepositoryViewer_data() {
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("slug");
    QTest::newRow("words") << "Шаг по времени"
                           << "шаг-по-времени";
    QTest::newRow("punctuation") << "Коэф. демпфирования"
                                 << "коэф-демпфирования";
    QTest::newRow("dash") << "M — Взять график в память"
                          << "m--взять-график-в-память";
    QTest::newRow("code and case") << "accelspec-cli SPECTRA"
                                   << "accelspec-cli-spectra";
    QTest::newRow("file name") << "Спектр воздействия (*.spv)"
                               << "спектр-воздействия-spv";
    QTest::newRow("underscore") << "d5_75 и d5_95"
                                << "d5_75-и-d5_95";
  }

  void slugsAreThoseOfTheRepositoryViewer() {
    QFETCH(QString, heading);
    QFETCH(QString, slug);
    QCOMPARE(headingSlug(heading), slug);
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

ACCELSPEC_WINDOW_TEST_MAIN(Help, "C.UTF-8")
#include "tst_help.moc"
