// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "check/check.hpp"
#include "library/library.hpp"
#include "suites/selection.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTableWidget;

namespace accelspec {

class AnalysisSession;
class BackgroundTask;
class LibraryFilter;
class LibraryModel;
class Plot;
class RuleChoice;

/// The curves of a suite's chart on the check's points: the mean of the scaled spectra (the
/// one the rule judges) and the spread of their logarithms, exp(μ ± σ) with μ the mean and σ
/// the standard deviation (n − 1) of ln(SF·S) at each point; σ is 0 for a suite of one.
struct SuiteCurves {
  std::vector<double> frequency;     ///< Hz, ascending
  std::vector<double> mean;          ///< m/s²
  std::vector<double> lower, upper;  ///< exp(μ − σ), exp(μ + σ), m/s²
};
SuiteCurves suiteCurves(const check::CheckResult& check);

/// What a folder added to the library came to.
struct AddOutcome {
  int indexed = 0;         ///< files indexed now
  int unchanged = 0;       ///< files the library had already, unchanged
  QStringList refused;     ///< "file: the reader's message", one each
  bool cancelled = false;  ///< stopped by the user; what was indexed before stays
};

/// The analysis window's page «Наборы»: folders of records added to the library (in the
/// background, with progress and cancel), the library's motions as a table to sort and filter,
/// the selection's parameters beside the target chosen on «Совместимость», the suite picked and
/// scaled to it as a table and a chart, its exports (the suite file, the scaled records, the PDF
/// report), and a motion sent to the page «Записи».
class SuitesPage : public QWidget {
  Q_OBJECT

 public:
  SuitesPage(AnalysisSession& session, QWidget* parent = nullptr);
  ~SuitesPage() override;

  /// The library file the page works on ("" before one is set: the default one).
  QString libraryPath() const { return libraryPath_; }
  /// Works on another library file (kept in the user's settings) and reloads the table.
  void setLibraryPath(const QString& path);
  /// Adds the files and folders (recursively) to the library in the background; the table is
  /// reloaded when the run ends, also when it was cancelled (what was indexed stays).
  void addFolders(const QStringList& paths);
  /// Reloads the table from the library under the condition in the field EditWhere.
  void reload();
  /// Picks and scales the suite with the page's parameters (in the background).
  void runSelection();

  /// Writes the suite file / every scaled component as *.aks into `folder` / the PDF report;
  /// false (the error shown) when it could not, false and nothing written without a fresh
  /// selection.
  bool saveSuite(const QString& path);
  bool exportRecords(const QString& folder);
  bool writeReport(const QString& path);
  /// Adds the motion at `row` of the library's table (as shown, sorted and filtered) to the
  /// page «Записи», each component a record, and selects them. False (the error shown) when a
  /// file cannot be read.
  bool sendLibraryMotion(int row);
  /// Adds the scaled components of the suite's member at `row` to «Записи».
  bool sendSuiteMember(int row);

  /// Replaces the file dialogs (tests answer them): the kind is "add", "library", "suite",
  /// "records" or "report"; an empty hook brings the dialogs back.
  void setDialogHook(std::function<QStringList(const QString& kind)> hook) {
    dialogHook_ = std::move(hook);
  }

  /// The motions of a library file under a condition: the library itself unless replaced
  /// (tests give motions made in memory); called on a background thread.
  using MotionSource = std::function<std::vector<library::Motion>(const std::string& path,
                                                                  const std::string& where)>;
  void setMotionSource(MotionSource source);

  BackgroundTask& libraryTask() const { return *libraryTask_; }
  BackgroundTask& selectionTask() const { return *selectionTask_; }
  /// The table's motions, without their spectra.
  LibraryModel* model() const { return model_; }
  LibraryFilter* filter() const { return filter_; }
  QTableView* libraryTable() const { return table_; }
  QTableWidget* suiteTable() const { return suite_; }
  Plot* plot() const { return plot_; }
  const std::optional<suites::Selection>& selection() const { return selection_; }
  /// The outcome of the last add that ended.
  const std::optional<AddOutcome>& lastAdd() const { return lastAdd_; }
  /// True when a selection is shown but its inputs (target, parameters, library) have changed.
  bool stale() const;

 signals:
  /// The table has been filled from the library.
  void reloaded();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* buildSide();
  QWidget* buildLibraryBox(QWidget* parent);
  QWidget* buildParameters(QWidget* parent);
  QWidget* buildLibraryTab();
  QWidget* buildSuiteTab();
  void loadSettings();
  void saveSettings();
  void showRuleFields();
  suites::SelectionParameters parameters(const check::Target& target) const;
  QString inputsKey() const;
  void showFreshness();
  void showSelection();
  void drawChart();
  void showAdd(const AddOutcome& outcome);
  QStringList ask(const QString& kind);
  bool addRecords(std::vector<records::Record> records);

  AnalysisSession& session_;
  RuleChoice& choice_;
  BackgroundTask* libraryTask_ = nullptr;
  BackgroundTask* selectionTask_ = nullptr;
  BackgroundTask* loadTask_ = nullptr;
  QString libraryPath_;
  int libraryVersion_ = 0;  // raised by every add: a selection before it is stale
  std::optional<suites::Selection> selection_;
  QString selectionKey_;
  std::optional<AddOutcome> lastAdd_;
  std::function<QStringList(const QString&)> dialogHook_;
  MotionSource source_;
  bool loading_ = false;  // the fields are being filled from the settings

  LibraryModel* model_ = nullptr;
  LibraryFilter* filter_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QLabel* libraryLabel_ = nullptr;
  QLabel* addLabel_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* libraryFile_ = nullptr;
  QLineEdit* filterEdit_ = nullptr;
  QLineEdit* where_ = nullptr;
  QLabel* count_ = nullptr;
  QTableView* table_ = nullptr;
  QPushButton* libraryToRecords_ = nullptr;
  QLabel* target_ = nullptr;
  QComboBox* rule_ = nullptr;
  QSpinBox* countEdit_ = nullptr;
  QLineEdit* t1_ = nullptr;
  QLineEdit* tmin_ = nullptr;
  QLineEdit* tmax_ = nullptr;
  QLabel* t1Label_ = nullptr;
  QCheckBox* pairs_ = nullptr;
  QLineEdit* scaleMin_ = nullptr;
  QLineEdit* scaleMax_ = nullptr;
  QSpinBox* perEvent_ = nullptr;
  QPushButton* select_ = nullptr;
  QPushButton* saveSuite_ = nullptr;
  QPushButton* exportRecords_ = nullptr;
  QPushButton* report_ = nullptr;
  QLabel* verdict_ = nullptr;
  QLabel* summary_ = nullptr;
  QTableWidget* suite_ = nullptr;
  QPushButton* suiteToRecords_ = nullptr;
  Plot* plot_ = nullptr;
  QComboBox* axis_ = nullptr;
};

}  // namespace accelspec
