// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "check/check.hpp"
#include "matching/match_to_rule.hpp"
#include "matching/sets.hpp"
#include "records/record.hpp"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace accelspec {

class AnalysisSession;
class BackgroundTask;
class Plot;
class RuleChoice;

/// The ratio range of one iteration of a matching run.
struct MatchStep {
  int iteration = 0;
  double lowest = 0, highest = 0;
};

/// What a finished matching run left: the record, the rule's verdict on it, and how it got
/// there.
struct MatchOutcome {
  bool passed = false;
  records::Record record;               ///< m/s², the matched (or, failed, the closest) record
  std::optional<records::Record> seed;  ///< the seed it started from (none: the sweep)
  check::CheckResult check;             ///< the rule's verdict on `record`
  std::vector<MatchStep> steps;         ///< every iteration's ratio range
  int iterations = 0;                   ///< asked for
  double lowestRatio = 0, highestRatio = 0;
};

/// What a finished run of a set left: every component (when the set passed) or why not, the
/// correlation tables, and the iterations of all its matches one after another.
struct SetOutcome {
  matching::SetResult result;
  std::vector<MatchStep> steps;  ///< iterations counted on across the components
  int iterations = 0;            ///< asked for, per match
  check::RuleParameters parameters;
  int components = 1;
  double maxCorrelation = matching::kDefaultMaxCorrelation;
};

/// The analysis window's page "Подбор": a record brought to the target and rule chosen on the
/// page "Совместимость", from the sine sweep or the selected record as seed, in the background
/// with progress and Cancel; the ratio range per iteration as it improves, then the matched
/// spectrum against the target; the result saved as *.aks, sent to the main window or added to
/// the session's records. With more than one component or motion, or noise as the seed, it
/// makes a set of independent components (matching::matchSet): the table of every component's
/// ratios and the correlations of each motion, the set saved as PREFIX_<motion>_<H1|H2|V>.aks.
class MatchPage : public QWidget {
  Q_OBJECT

 public:
  MatchPage(AnalysisSession& session, QWidget* parent = nullptr);

  /// Starts a run with the page's settings (errors shown in the error box).
  void runMatch();
  /// Writes the passed result as *.aks to `path`; false (with the error shown) otherwise.
  bool saveAks(const QString& path);
  /// Adds the passed result to the session's records (selected alone).
  bool addToRecords();
  /// Sends the passed result to the main window.
  bool sendToMain();
  /// Writes every file of the passed set as PREFIX_<motion>_<H1|H2|V>.aks, all of them or none;
  /// false (with the error shown) otherwise.
  bool saveSet(const QString& prefix);
  /// Whether the page's settings ask for a set rather than one record: more than one component
  /// or motion, or noise as the seed.
  bool setMode() const;

  BackgroundTask& task() const { return *task_; }
  const std::optional<MatchOutcome>& outcome() const { return outcome_; }
  const std::optional<SetOutcome>& setOutcome() const { return setOutcome_; }
  /// True when an outcome is shown but the target, the rule, the source or the iterations have
  /// changed since: it is greyed and marked, and it is neither saved, sent nor added.
  bool stale() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QGroupBox* buildSourceBox(QWidget* parent);
  QGroupBox* buildGoalBox(QWidget* parent);
  QGroupBox* buildSetBox(QWidget* parent);
  void runSet(const check::Target& target, const check::RuleParameters& parameters);
  void showSetTables();
  void saveSetClicked();
  bool setUsable() const;
  QWidget* buildSide();
  QWidget* buildPlots();
  void loadSettings();
  void saveSettings();
  void connectControls();
  QString inputsKey() const;
  void showFreshness();
  bool usable() const;
  void showChoice();
  void showOutcome();
  void showSteps(const std::vector<MatchStep>& steps, int iterations);
  void drawSpectrum();
  void drawHistories();
  void saveClicked();

  AnalysisSession& session_;
  RuleChoice& choice_;
  BackgroundTask* task_ = nullptr;
  std::optional<MatchOutcome> outcome_;
  std::optional<SetOutcome> setOutcome_;  // the last set run's (outcome_ then empty)
  QString outcomeKey_;                    // inputsKey() of the run that gave outcome_
  std::uint64_t seedId_ = 0;              // the seed record of that run (0: the sweep)
  std::uint64_t addedId_ = 0;  // the record "Добавить в записи" made of it
  // The running run's iterations, filled by the worker and read on each progress report.
  struct Live {
    std::mutex mutex;
    std::vector<MatchStep> steps;
  };
  std::shared_ptr<Live> live_;
  int liveIterations_ = 0;

  QRadioButton* sweep_ = nullptr;
  QRadioButton* seed_ = nullptr;
  QRadioButton* noise_ = nullptr;
  QLineEdit* noiseNumber_ = nullptr;
  QComboBox* envelope_ = nullptr;
  QLineEdit* strong_ = nullptr;
  QLineEdit* noiseStep_ = nullptr;
  QSpinBox* components_ = nullptr;
  QSpinBox* motions_ = nullptr;
  QComboBox* verticalKind_ = nullptr;  // a share of the horizontal target, or a target of its own
  QLineEdit* vertical_ = nullptr;
  QLineEdit* maxCorrelation_ = nullptr;
  QPushButton* saveSet_ = nullptr;
  QTableWidget* setTable_ = nullptr;          // every component's seed, tries and ratios
  QTableWidget* correlationTable_ = nullptr;  // each motion's pairs
  QLineEdit* duration_ = nullptr;
  QLineEdit* step_ = nullptr;
  QLabel* seedName_ = nullptr;
  QLabel* choiceText_ = nullptr;
  QSpinBox* iterations_ = nullptr;
  QPushButton* match_ = nullptr;
  QLabel* result_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* send_ = nullptr;
  QPushButton* add_ = nullptr;
  Plot* progress_ = nullptr;
  Plot* spectrum_ = nullptr;
  QComboBox* axis_ = nullptr;  // frequency or period along x of the spectrum
  // The seed's (column 0) and the matched record's (column 1) acceleration, velocity and
  // displacement, side by side on the same scales.
  Plot* histories_[3][2] = {};
  QTabWidget* results_ = nullptr;  // the spectrum and the histories
  bool historiesDrawn_ = false;    // the histories show the outcome (drawn when first seen)
};

}  // namespace accelspec
