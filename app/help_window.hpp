// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextBrowser>
#include <QWidget>
#include <vector>

class QLineEdit;
class QListWidget;
class QToolButton;
class QTreeWidget;

namespace accelspec {

/// The anchor a heading gets, as the repository's Markdown viewer makes it: lower case, letters,
/// digits, '-' and '_' kept, every blank turned into '-', everything else dropped.
QString headingSlug(const QString& heading);

/// One heading of the guide: where it is and what it says.
struct HelpHeading {
  QString chapter;  ///< file name in the guide, e.g. "02-main-window.md"
  QString anchor;   ///< its slug, unique within the chapter ("-1", "-2" … added as needed)
  QString title;    ///< the heading's text without Markdown marks
  int level = 1;
};

/// The chapters of the guide, in reading order (file names).
QStringList helpChapters();
/// Every heading of every chapter, in reading order.
const std::vector<HelpHeading>& helpHeadings();
/// The place of the guide that explains a control of the main window ("chapter.md#anchor"), or
/// an empty text when no place is given for that name.
QString helpTopicForControl(const QString& objectName);
/// Every control name that has its own place in the guide.
QStringList helpControls();

/// Shows the guide's chapters and scrolls to the heading a link's fragment names.
class HelpBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  using QTextBrowser::QTextBrowser;

  /// The anchor of the heading shown ("" at a chapter's top, or when no heading has it).
  QString currentAnchor() const;

  /// Gives the chapter's headings room above them, once per chapter shown.
  void spaceHeadings();

 protected:
  void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

 private:
  /// The heading whose slug is `anchor`; an invalid block when there is none.
  QTextBlock headingBlock(const QString& anchor) const;
};

/// The user's guide: contents, full-text search, back and forward, pictures. Not modal: the
/// main window stays usable beside it.
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  /// Opens a place: "chapter.md" or "chapter.md#anchor"; an empty topic opens the contents.
  void showTopic(const QString& topic);

  /// The place shown: "chapter.md#anchor" (no '#' at a chapter's top).
  QString currentTopic() const;

  /// Lists the sections whose text holds the phrase (case ignored); each hit is a topic.
  QStringList search(const QString& phrase);

  HelpBrowser* browser() const { return browser_; }

 private:
  void fillContents();
  void followInContents(const QUrl& source);
  void openHit(int row);

  HelpBrowser* browser_ = nullptr;
  QTreeWidget* contents_ = nullptr;
  QLineEdit* searchField_ = nullptr;
  QListWidget* hits_ = nullptr;
  QToolButton* back_ = nullptr;
  QToolButton* forward_ = nullptr;
  QStringList hitTopics_;
  QString phrase_;  // of the last search
};

}  // namespace accelspec
