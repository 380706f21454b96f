// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QSettings>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/measures.hpp"
#include "records/record.hpp"

namespace accelspec {

/// The main window's input spectrum table as it stands: frequencies (Hz) and accelerations
/// (m/s²), point by point.
struct SpectrumTable {
  std::vector<double> frequencies;
  std::vector<double> amplitudes;
};

/// What the analysis window may ask of the main window. Each hook may be empty (a window tested
/// on its own); the main window fills all of them.
struct MainWindowLink {
  /// Puts the record into the main window as opening its *.aks file would; shows any error
  /// there. True when the record arrived.
  std::function<bool(const records::Record&)> sendRecord;
  /// The spectrum table of the main window.
  std::function<SpectrumTable()> spectrumTable;
  /// The linear grid of the main window's fields, "lin:FBEG:FEND:DF" with points.
  std::function<std::string()> linearGrid;
  /// Opens the user's guide at a place ("chapter.md#anchor").
  std::function<void(const QString& topic)> showHelp;
  /// Brings the main window to the front (after a record arrived there).
  std::function<void()> raise;
};

/// One loaded record and what has been worked out about it.
struct LoadedRecord {
  std::uint64_t id = 0;  ///< unique in the session: work finished late finds its record by it
  records::Record record;
  std::optional<analysis::Measures> measures;  ///< empty until computed
};

/// The records the analysis window works on, the user's selection among them, the way back to
/// the main window, and the user's settings of every page.
class AnalysisSession : public QObject {
  Q_OBJECT

 public:
  explicit AnalysisSession(QObject* parent = nullptr);

  const std::vector<LoadedRecord>& records() const { return records_; }
  const LoadedRecord& at(std::size_t index) const { return records_.at(index); }

  /// Adds a record at the end and selects it alone; returns its index.
  std::size_t add(records::Record record);
  /// Removes the records at `indices`; the selection keeps the records that stay.
  void remove(std::vector<std::size_t> indices);
  /// The index of the record with `id`, if it is still loaded.
  std::optional<std::size_t> indexOf(std::uint64_t id) const;
  /// Keeps the measures of the record with `id` if it is still loaded (the list may have
  /// changed while they were computed). True when kept.
  bool setMeasures(std::uint64_t id, const analysis::Measures& m);

  /// Indices of the selected records, ascending.
  const std::vector<std::size_t>& selection() const { return selection_; }
  /// The first selected record, or nullptr.
  const LoadedRecord* current() const;
  void select(std::vector<std::size_t> indices);

  /// Sends the record to the main window and raises it. A record the main window's store
  /// refuses is refused here first, with the main window's message in a box over `owner`, so
  /// that the main window is left exactly as it was. True when the record arrived.
  bool sendToMain(const records::Record& record, QWidget* owner);

  MainWindowLink& link() { return link_; }
  const MainWindowLink& link() const { return link_; }

  /// The user's settings of the analysis window (never the program's configuration file).
  QSettings& settings() { return settings_; }

  /// The folder the user last opened or saved a file in.
  QString lastFolder();
  void setLastFolder(const QString& folder);

 signals:
  void recordsChanged();
  void selectionChanged();
  /// The measures of the record at `index` have arrived.
  void measuresChanged(std::size_t index);

 private:
  std::vector<LoadedRecord> records_;
  std::uint64_t nextId_ = 1;
  std::vector<std::size_t> selection_;
  MainWindowLink link_;
  QSettings settings_;
};

}  // namespace accelspec
