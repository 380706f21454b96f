// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

class QFileDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace accelspec {

class AnalysisSession;
class BackgroundTask;
class Plot;

/// The open dialog's filters: every extension the record readers know, in every case, then
/// "Все файлы".
QString recordFileFilter();
/// The open dialog of the page "Записи" (several files, in `folder`), owned by `parent`.
QFileDialog* openRecordsDialog(QWidget* parent, const QString& folder);

/// The analysis window's page "Записи": the loaded records, the time histories of the selected
/// one, its intensity measures, a baseline-corrected copy, and the way to the main window.
class RecordsPage : public QWidget {
  Q_OBJECT

 public:
  RecordsPage(AnalysisSession& session, QWidget* parent = nullptr);

  /// Reads each file as a record (format from its content, the step of a one-column file from
  /// the field EditStep) and adds it; a file that cannot be read is reported in the error box
  /// with the reader's message and the others still load. A step field that holds no positive
  /// number is reported and nothing is read. Returns how many were added.
  int openFiles(const QStringList& paths);

  /// Replaces the open dialog (tests answer it); an empty hook brings the dialog back.
  void setOpenDialogHook(std::function<QStringList()> hook) { openHook_ = std::move(hook); }

  Plot* accelerationPlot() const { return plots_[0]; }
  Plot* velocityPlot() const { return plots_[1]; }
  Plot* displacementPlot() const { return plots_[2]; }
  QTableWidget* recordsTable() const { return list_; }
  QTableWidget* measuresTable() const { return measures_; }
  BackgroundTask& task() const { return *task_; }

 public slots:
  void openClicked();
  void removeClicked();
  void baselineClicked();
  void sendClicked();

 private:
  QHBoxLayout* buildButtons();
  void buildList();
  void buildMeasures();
  QWidget* buildPlots();
  void fillList();
  void showSelection();
  void listSelectionChanged();
  void showMeasures();
  void computeMeasures();

  AnalysisSession& session_;
  BackgroundTask* task_ = nullptr;
  QTableWidget* list_ = nullptr;
  QTableWidget* measures_ = nullptr;
  QLabel* measuresTitle_ = nullptr;
  Plot* plots_[3] = {};
  QLineEdit* step_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* baseline_ = nullptr;
  QPushButton* send_ = nullptr;
  std::function<QStringList()> openHook_;
  bool filling_ = false;
};

}  // namespace accelspec
