// SPDX-License-Identifier: MIT
#include "app/help_window.hpp"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

// The guide lives in a static library: nothing registers it unless asked (outside any namespace,
// as the macro requires).
static void registerGuide() { Q_INIT_RESOURCE(guide); }

namespace accelspec {

namespace {

const QString kGuideRoot = QStringLiteral(":/docs/guide/");
// The contents page comes first; the chapters follow by their numbered names.
const QString kContentsPage = QStringLiteral("README.md");

void ensureRegistered() {
  static const bool registered = (registerGuide(), true);
  (void)registered;
}

QString readChapter(const QString& chapter) {
  QFile file(kGuideRoot + chapter);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

// Markdown marks a heading or a searched text may carry, taken away as the viewer does.
QString plainText(QString text) {
  static const QRegularExpression link(QStringLiteral("!?\\[([^\\]]*)\\]\\([^)]*\\)"));
  static const QRegularExpression escaped(QStringLiteral("\\\\([*_`|\\\\])"));
  text.replace(link, QStringLiteral("\\1"));
  // An escaped mark is text: kept aside while the marks are taken away.
  text.replace(escaped, QString(QChar(0xE000)) + QStringLiteral("\\1"));
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QChar(0xE000) && i + 1 < text.size()) {
      out += text[++i];
    } else if (text[i] != QLatin1Char('`') && text[i] != QLatin1Char('*')) {
      out += text[i];
    }
  }
  return out;
}

struct Section {
  HelpHeading heading;  // anchor empty for the text before a chapter's first heading
  QString text;
};

// Splits a chapter at its headings; fenced code blocks hold no headings.
std::vector<Section> sectionsOf(const QString& chapter) {
  static const QRegularExpression headingLine(QStringLiteral("^(#{1,6})\\s+(.*?)\\s*#*\\s*$"));
  std::vector<Section> sections(1);
  sections.front().heading.chapter = chapter;
  QHash<QString, int> seen;
  bool fenced = false;
  for (const QString& line : readChapter(chapter).split(QLatin1Char('\n'))) {
    if (line.startsWith(QLatin1String("```"))) fenced = !fenced;
    const QRegularExpressionMatch m = fenced ? QRegularExpressionMatch() : headingLine.match(line);
    if (!fenced && m.hasMatch()) {
      HelpHeading h;
      h.chapter = chapter;
      h.level = static_cast<int>(m.capturedLength(1));
      h.title = plainText(m.captured(2)).trimmed();
      h.anchor = headingSlug(h.title);
      if (const int n = seen[h.anchor]++; n > 0) h.anchor += QLatin1Char('-') + QString::number(n);
      sections.push_back({h, h.title + QLatin1Char('\n')});
    } else {
      sections.back().text += plainText(line) + QLatin1Char('\n');
    }
  }
  return sections;
}

const std::vector<Section>& allSections() {
  static const std::vector<Section> all = [] {
    std::vector<Section> out;
    for (const QString& chapter : helpChapters())
      for (Section& s : sectionsOf(chapter)) out.push_back(std::move(s));
    return out;
  }();
  return all;
}

QString topicOf(const HelpHeading& h) {
  return h.anchor.isEmpty() ? h.chapter : h.chapter + QLatin1Char('#') + h.anchor;
}

// Each control of the main window and the place of the guide that explains it.
struct ControlTopic {
  const char* control;
  const char* topic;
};
constexpr ControlTopic kControlTopics[] = {
    {"Forma", "02-main-window.md"},
    {"SpeedButtonOpen", "02-main-window.md#открыть-файл"},
    {"SpeedButtonSave", "02-main-window.md#сохранить-файл"},
    {"SpeedButtonAks", "02-main-window.md#рассчитать-акселерограмму-по-спектру-воздействия"},
    {"SpeedButtonSpo", "02-main-window.md#рассчитать-спектр-ответа-по-акселерограмме"},
    {"SpeedButtonMemory", "02-main-window.md#m--взять-график-в-память"},
    {"SpeedButtonDelete", "02-main-window.md#d--удалить-график-из-памяти"},
    {"SpeedButtonVisual", "02-main-window.md#v--отобразить-выбранные-графики"},
    {"SpeedButtonAnalysis", "03-analysis-window.md"},
    {"SpeedButtonHelp", "README.md"},
    {"SpeedButtonAbout", "02-main-window.md#о-программе"},
    {"SpeedButtonTime", "02-main-window.md#начальное-время-конечное-время-и-кнопка-окна"},
    {"GroupBoxAks", "02-main-window.md#для-акселерограммы"},
    {"EditFbeg", "02-main-window.md#начальная-частота-гц-конечная-частота-гц-шаг-по-частоте-гц"},
    {"EditFend", "02-main-window.md#начальная-частота-гц-конечная-частота-гц-шаг-по-частоте-гц"},
    {"EditDF", "02-main-window.md#начальная-частота-гц-конечная-частота-гц-шаг-по-частоте-гц"},
    {"EditPsi", "02-main-window.md#коэф-демпфирования"},
    {"EditTbeg", "02-main-window.md#начальное-время-конечное-время-и-кнопка-окна"},
    {"EditTend", "02-main-window.md#начальное-время-конечное-время-и-кнопка-окна"},
    {"GroupBoxTime", "02-main-window.md#временные-настройки"},
    {"EditT", "02-main-window.md#время-воздействия"},
    {"EditND", "02-main-window.md#количество-данных"},
    {"EditDT", "02-main-window.md#шаг-по-времени"},
    {"Memo1", "02-main-window.md#поле-заметок"},
    {"GroupBoxSpv", "02-main-window.md#для-спектра-воздействий"},
    {"EditN", "02-main-window.md#количество-точек-спектра"},
    {"StringGridSpv", "02-main-window.md#таблица-частота--ускорение"},
    {"GroupBoxMemory", "02-main-window.md#работа-с-памятью"},
    {"StringGridMemory", "02-main-window.md#список-графиков-в-памяти"},
    {"Chanel1", "02-main-window.md#флажки-1--6"},
    {"Chanel2", "02-main-window.md#флажки-1--6"},
    {"Chanel3", "02-main-window.md#флажки-1--6"},
    {"Chanel4", "02-main-window.md#флажки-1--6"},
    {"Chanel5", "02-main-window.md#флажки-1--6"},
    {"Chanel6", "02-main-window.md#флажки-1--6"},
    {"Chart1", "02-main-window.md#график"},
};

}  // namespace

QString headingSlug(const QString& heading) {
  QString slug;
  for (const QChar c : heading.toLower()) {
    if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
      slug += c;
    else if (c == QLatin1Char(' '))
      slug += QLatin1Char('-');
  }
  return slug;
}

QStringList helpChapters() {
  ensureRegistered();
  QStringList chapters =
      QDir(kGuideRoot).entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name);
  if (chapters.removeAll(kContentsPage) > 0) chapters.prepend(kContentsPage);
  return chapters;
}

const std::vector<HelpHeading>& helpHeadings() {
  static const std::vector<HelpHeading> headings = [] {
    std::vector<HelpHeading> out;
    for (const Section& s : allSections())
      if (!s.heading.anchor.isEmpty()) out.push_back(s.heading);
    return out;
  }();
  return headings;
}

QString helpTopicForControl(const QString& objectName) {
  for (const ControlTopic& c : kControlTopics)
    if (objectName == QLatin1String(c.control)) return QString::fromUtf8(c.topic);
  return {};
}

QStringList helpControls() {
  QStringList names;
  for (const ControlTopic& c : kControlTopics) names << QString::fromLatin1(c.control);
  return names;
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
  if (type == QTextDocument::UnknownResource && name.path().endsWith(QLatin1String(".md")))
    type = QTextDocument::MarkdownResource;
  // The whole address goes into the history, so that Back returns to the same heading.
  QTextBrowser::doSetSource(name, type);
  if (const QTextBlock block = headingBlock(name.fragment()); block.isValid()) {
    setTextCursor(QTextCursor(block));
    const QRectF r = document()->documentLayout()->blockBoundingRect(block);
    verticalScrollBar()->setValue(static_cast<int>(r.top()));
  }
}

void HelpBrowser::spaceHeadings() {
  // Markdown gives headings no room above them: a section would run into the one before.
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level == 0 || block.blockNumber() == 0) continue;
    // A chapter shown again (Back, Forward, another place in it) is spaced already.
    if (block.blockFormat().topMargin() > 0) return;
    QTextBlockFormat format = block.blockFormat();
    format.setTopMargin(level <= 2 ? 16 : 10);
    format.setBottomMargin(4);
    QTextCursor(block).setBlockFormat(format);
  }
}

QString HelpBrowser::currentAnchor() const {
  const QString anchor = source().fragment();
  return headingBlock(anchor).isValid() ? anchor : QString();
}

QTextBlock HelpBrowser::headingBlock(const QString& anchor) const {
  if (anchor.isEmpty()) return {};
  // The viewer makes no anchors of its own: find the heading whose slug the fragment names.
  QHash<QString, int> seen;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() == 0) continue;
    QString slug = headingSlug(block.text());
    if (const int n = seen[slug]++; n > 0) slug += QLatin1Char('-') + QString::number(n);
    if (slug == anchor) return block;
  }
  return {};
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  ensureRegistered();
  setObjectName("HelpWindow");
  setWindowTitle(QStringLiteral("Справка"));
  resize(980, 720);

  auto* tools = new QHBoxLayout;
  auto button = [&](const char* name, const QString& text, const QString& hint) {
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    tools->addWidget(b);
    return b;
  };
  back_ = button("HelpBack", QStringLiteral("◀"), QStringLiteral("Назад"));
  forward_ = button("HelpForward", QStringLiteral("▶"), QStringLiteral("Вперёд"));
  QToolButton* home = button("HelpHome", QStringLiteral("⌂"), QStringLiteral("Содержание"));
  tools->addSpacing(12);
  tools->addWidget(new QLabel(QStringLiteral("Поиск:"), this));
  searchField_ = new QLineEdit(this);
  searchField_->setObjectName("HelpSearch");
  searchField_->setPlaceholderText(QStringLiteral("слово или фраза, Enter"));
  searchField_->setClearButtonEnabled(true);
  tools->addWidget(searchField_, 1);

  contents_ = new QTreeWidget(this);
  contents_->setObjectName("HelpContents");
  contents_->setHeaderHidden(true);
  hits_ = new QListWidget(this);
  hits_->setObjectName("HelpHits");
  auto* tabs = new QTabWidget(this);
  tabs->setObjectName("HelpTabs");
  tabs->addTab(contents_, QStringLiteral("Содержание"));
  tabs->addTab(hits_, QStringLiteral("Найдено"));

  browser_ = new HelpBrowser(this);
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenExternalLinks(true);

  auto* split = new QSplitter(this);
  split->addWidget(tabs);
  split->addWidget(browser_);
  split->setStretchFactor(1, 3);
  split->setSizes({280, 700});

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(tools);
  layout->addWidget(split, 1);

  back_->setEnabled(false);
  forward_->setEnabled(false);
  connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(home, &QToolButton::clicked, this, [this] { showTopic({}); });
  // Every road to a chapter (a link, the contents, Back and Forward) announces it here, before
  // the view is scrolled to its place.
  connect(browser_, &QTextBrowser::sourceChanged, browser_, &HelpBrowser::spaceHeadings);
  connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::followInContents);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
  connect(contents_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { showTopic(item->data(0, Qt::UserRole).toString()); });
  connect(contents_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { showTopic(item->data(0, Qt::UserRole).toString()); });
  connect(searchField_, &QLineEdit::returnPressed, this, [this, tabs] {
    search(searchField_->text());
    tabs->setCurrentWidget(hits_);
  });
  connect(hits_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { openHit(hits_->row(item)); });
  connect(hits_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { openHit(hits_->row(item)); });
  fillContents();
}

void HelpWindow::fillContents() {
  // Chapters at the top level; their sections (two levels) below them.
  QTreeWidgetItem* parents[3] = {};
  for (const HelpHeading& h : helpHeadings()) {
    if (h.level > 3) continue;
    QTreeWidgetItem* item = nullptr;
    if (h.level == 1 || !parents[h.level - 2]) {
      item = new QTreeWidgetItem(contents_);
    } else {
      item = new QTreeWidgetItem(parents[h.level - 2]);
    }
    item->setText(0, h.title);
    item->setData(0, Qt::UserRole, topicOf(h));
    parents[h.level - 1] = item;
    for (int deeper = h.level; deeper < 3; ++deeper) parents[deeper] = nullptr;
  }
}

void HelpWindow::followInContents(const QUrl& source) {
  // The place shown is marked in the contents: its own heading, else its chapter.
  const QString page = source.fileName();
  const QString topic = source.hasFragment() ? page + QLatin1Char('#') + source.fragment() : page;
  QTreeWidgetItem* chapter = nullptr;
  for (QTreeWidgetItemIterator it(contents_); *it; ++it) {
    const QString itemTopic = (*it)->data(0, Qt::UserRole).toString();
    if (itemTopic == topic) {
      contents_->setCurrentItem(*it);
      return;
    }
    if (!chapter && itemTopic.section(QLatin1Char('#'), 0, 0) == page) chapter = *it;
  }
  if (chapter) contents_->setCurrentItem(chapter);
}

void HelpWindow::showTopic(const QString& topic) {
  if (!isVisible()) show();
  // A minimised guide is still visible to Qt: it is brought back as it was (maximised stays
  // maximised), or F1 and «?» would seem to do nothing.
  if (isMinimized()) {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
  }
  raise();
  activateWindow();
  const QString target = topic.isEmpty() ? kContentsPage : topic;
  browser_->setSource(QUrl(QStringLiteral("qrc") + kGuideRoot + target),
                      QTextDocument::MarkdownResource);
}

QString HelpWindow::currentTopic() const {
  const QString page = browser_->source().fileName();
  const QString anchor = browser_->currentAnchor();
  return anchor.isEmpty() ? page : page + QLatin1Char('#') + anchor;
}

QStringList HelpWindow::search(const QString& phrase) {
  hits_->clear();
  hitTopics_.clear();
  const QString wanted = phrase.simplified();
  phrase_ = wanted;
  if (searchField_->text().simplified() != wanted) searchField_->setText(wanted);
  if (wanted.isEmpty()) return hitTopics_;
  for (const Section& s : allSections()) {
    if (!s.text.simplified().contains(wanted, Qt::CaseInsensitive)) continue;
    const QString where = s.heading.title.isEmpty() ? s.heading.chapter : s.heading.title;
    hits_->addItem(where);
    hitTopics_ << topicOf(s.heading);
  }
  return hitTopics_;
}

void HelpWindow::openHit(int row) {
  if (row < 0 || row >= hitTopics_.size()) return;
  showTopic(hitTopics_[row]);
  // Marks the phrase where it first stands in the section.
  if (!phrase_.isEmpty()) browser_->find(phrase_);
}

}  // namespace accelspec
