// SPDX-License-Identifier: MIT
#include "app/analysis/analysis_window.hpp"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>

#include "app/analysis/analysis_session.hpp"
#include "app/analysis/check_page.hpp"
#include "app/analysis/match_page.hpp"
#include "app/analysis/records_page.hpp"
#include "app/analysis/spectra_page.hpp"
#include "app/analysis/suites_page.hpp"
#include "app/icons.hpp"

namespace accelspec {

namespace {

const char* const kGeometryKey = "analysis/geometry";
const char* const kTabKey = "analysis/tab";

// The face of the main window's panel, a little larger: this window is read for its tables.
QFont analysisFont() {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(9);
  return font;
}

}  // namespace

AnalysisWindow::AnalysisWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("AnalysisWindow"));
  setWindowTitle(QString::fromUtf8("Инженерный анализ"));
  setWindowIcon(icons::window());
  setFont(analysisFont());
  setAcceptDrops(true);
  session_ = new AnalysisSession(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("AnalysisTabs"));
  records_ = new RecordsPage(*session_, tabs_);
  spectra_ = new SpectraPage(*session_, tabs_);
  check_ = new CheckPage(*session_, tabs_);
  match_ = new MatchPage(*session_, tabs_);
  suites_ = new SuitesPage(*session_, tabs_);
  const QStringList titles = pageTitles();
  tabs_->addTab(records_, titles[0]);
  tabs_->addTab(spectra_, titles[1]);
  tabs_->addTab(check_, titles[2]);
  tabs_->addTab(match_, titles[3]);
  tabs_->addTab(suites_, titles[4]);
  setCentralWidget(tabs_);
  restoreSettings();
  connect(this, &AnalysisWindow::filesDropped, records_, &RecordsPage::openFiles);
  connect(tabs_, &QTabWidget::currentChanged, this,
          [this](int tab) { session_->settings().setValue(kTabKey, tab); });
  // The guide's section of each page is headed by the page's title.
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this] {
    if (const auto& show = session_->link().showHelp)
      show(QStringLiteral("03-analysis-window.md#") +
           tabs_->tabText(tabs_->currentIndex()).toLower());
  });
}

AnalysisWindow::~AnalysisWindow() = default;

QStringList AnalysisWindow::pageTitles() {
  return {QString::fromUtf8("Записи"), QString::fromUtf8("Спектры"),
          QString::fromUtf8("Совместимость"), QString::fromUtf8("Подбор"),
          QString::fromUtf8("Наборы")};
}

void AnalysisWindow::showAndRaise() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void AnalysisWindow::restoreSettings() {
  QSettings& settings = session_->settings();
  if (!restoreGeometry(settings.value(kGeometryKey).toByteArray())) {
    resize(1000, 720);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  const int tab = settings.value(kTabKey, 0).toInt();
  if (tab >= 0 && tab < tabs_->count()) tabs_->setCurrentIndex(tab);
}

void AnalysisWindow::saveSettings() {
  QSettings& settings = session_->settings();
  settings.setValue(kGeometryKey, saveGeometry());
  settings.setValue(kTabKey, tabs_->currentIndex());
  settings.sync();
}

void AnalysisWindow::closeEvent(QCloseEvent* event) {
  saveSettings();
  event->accept();
}

void AnalysisWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void AnalysisWindow::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  tabs_->setCurrentWidget(records_);
  emit filesDropped(paths);
}

}  // namespace accelspec
