// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/spectra.hpp"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace accelspec {

class AnalysisSession;
class BackgroundTask;
class Plot;

/// The spectra of one record as last computed.
struct RecordSpectra {
  std::uint64_t id = 0;
  std::string name;
  analysis::Spectra spectra;
};

/// The analysis window's page "Спектры": response spectra of the selected records on a grid of
/// the user's choice for several dampings, drawn by frequency or period on linear or
/// logarithmic axes, or on a tripartite chart; the table exports as CSV.
class SpectraPage : public QWidget {
  Q_OBJECT

 public:
  SpectraPage(AnalysisSession& session, QWidget* parent = nullptr);

  /// The grid text of the choice made (`--grid`'s forms); empty when the main window's grid is
  /// chosen but not reachable.
  std::string gridText() const;

  /// The results shown, one a record, and the request they answer (all five quantities).
  const std::vector<RecordSpectra>& results() const { return results_; }
  const analysis::SpectraRequest& request() const { return request_; }

  /// Writes the CSV table of every record shown: to `target` for one record, into the folder
  /// `target` as "<record>.csv" for several. Returns the files written; a failure is shown in
  /// the error box and stops the export.
  QStringList writeCsv(const QString& target);

  /// Replaces the save dialog of the CSV export (tests answer it): given the suggested path
  /// (file or folder), returns the confirmed one or "" for a cancel.
  void setSaveDialogHook(std::function<QString(const QString&)> hook) {
    saveHook_ = std::move(hook);
  }

  Plot* plot() const { return plot_; }
  BackgroundTask& task() const { return *task_; }

 public slots:
  void computeClicked();
  void csvClicked();
  /// Draws the results again for the quantity, axes and view chosen.
  void redraw();

 signals:
  /// New results have been laid onto the chart.
  void drawn();

 private:
  std::optional<analysis::SpectraRequest> requestFromFields();
  QGridLayout* buildComputeControls();
  QHBoxLayout* buildViewRow();
  void gridKindChanged();
  void chooseGridFile();
  void drawSpectra(std::size_t quantity);
  void drawTripartite();
  void saveSettings();
  void restoreSettings();
  QLineEdit* field(const char* name, const QString& text);

  AnalysisSession& session_;
  BackgroundTask* task_ = nullptr;
  QComboBox* gridKind_ = nullptr;
  QLineEdit* gridFrom_ = nullptr;
  QLineEdit* gridTo_ = nullptr;
  QLineEdit* gridStep_ = nullptr;
  QLineEdit* gridFile_ = nullptr;
  QPushButton* gridBrowse_ = nullptr;
  QLabel* fromLabel_ = nullptr;
  QLabel* toLabel_ = nullptr;
  QLabel* stepLabel_ = nullptr;
  QLineEdit* dampings_ = nullptr;
  QComboBox* quantity_ = nullptr;
  QComboBox* peaks_ = nullptr;
  QComboBox* axisX_ = nullptr;
  QCheckBox* logX_ = nullptr;
  QCheckBox* logY_ = nullptr;
  QComboBox* view_ = nullptr;
  QPushButton* csv_ = nullptr;
  QLabel* status_ = nullptr;
  Plot* plot_ = nullptr;
  // The bounds and step of each range grid (log, periods, lin), kept apart.
  struct RangeTexts {
    QString from, to, step;
  };
  RangeTexts ranges_[3] = {{QStringLiteral("0.1"), QStringLiteral("100"), QStringLiteral("100")},
                           {QStringLiteral("0.01"), QStringLiteral("10"), QStringLiteral("100")},
                           {QStringLiteral("0.1"), QStringLiteral("50"), QStringLiteral("0.1")}};
  int shownRange_ = -1;  // the range grid whose texts the fields hold
  analysis::SpectraRequest request_;
  std::vector<RecordSpectra> results_;
  std::function<QString(const QString&)> saveHook_;
};

}  // namespace accelspec
