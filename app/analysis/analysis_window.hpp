// SPDX-License-Identifier: MIT
#pragma once

#include <QMainWindow>
#include <QStringList>

class QTabWidget;

namespace accelspec {

class AnalysisSession;
class CheckPage;
class MatchPage;
class RecordsPage;
class SpectraPage;
class SuitesPage;

/// "Инженерный анализ": the records, their spectra, the compatibility check, matching and the
/// suites of motions picked from the record library, each on its own page, over one session.
/// Non-modal; it keeps its size, place and page in the user's settings.
class AnalysisWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit AnalysisWindow(QWidget* parent = nullptr);
  ~AnalysisWindow() override;

  AnalysisSession& session() { return *session_; }
  QTabWidget* tabs() const { return tabs_; }
  RecordsPage* recordsPage() const { return records_; }
  SpectraPage* spectraPage() const { return spectra_; }
  CheckPage* checkPage() const { return check_; }
  MatchPage* matchPage() const { return match_; }
  SuitesPage* suitesPage() const { return suites_; }

  /// Shows the window, or raises it when it is shown already.
  void showAndRaise();

  /// The page titles, in order.
  static QStringList pageTitles();

 signals:
  /// Files dropped onto the window, to be opened as records.
  void filesDropped(const QStringList& paths);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void saveSettings();
  void restoreSettings();

  AnalysisSession* session_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  RecordsPage* records_ = nullptr;
  SpectraPage* spectra_ = nullptr;
  CheckPage* check_ = nullptr;
  MatchPage* match_ = nullptr;
  SuitesPage* suites_ = nullptr;
};

}  // namespace accelspec
