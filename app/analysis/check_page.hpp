// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "check/check.hpp"
#include "check/target.hpp"

class QCheckBox;
class QComboBox;
class QTabWidget;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;

namespace accelspec {

class AnalysisSession;
class BackgroundTask;
class Plot;

/// The target spectrum and the rule chosen on the page "Совместимость", shared with the page
/// "Подбор" (which matches to the same choice). Texts are as the user typed them; they are
/// read, and refused with the text to show, only when a run starts.
class RuleChoice : public QObject {
  Q_OBJECT

 public:
  enum class Source { File, MainTable, Ec8, Rg160 };

  explicit RuleChoice(QObject* parent = nullptr);

  Source source = Source::Ec8;
  QString file;  ///< *.spv path
  int ec8Type = 1;
  QChar ground = QLatin1Char('B');
  QString ag = QStringLiteral("0.3");  ///< in agUnit
  bool agInG = true;
  QString pga = QStringLiteral("0.3");  ///< rg160, g

  check::Rule rule = check::Rule::Ec8;
  QString damping = QStringLiteral("0.05");
  bool sa = false;  ///< quantity: Sa rather than PSA
  QString t1 = QStringLiteral("1"), tmin, tmax, minRatio = QStringLiteral("0.9");

  /// The target text check::parseTarget takes for a code spectrum or a file; empty for the
  /// main window's table.
  std::string targetText() const;
  /// The target: the file read, the code spectrum built, or the main window's table through the
  /// session's link. Throws AppError with the text to show.
  check::Target target(const AnalysisSession& session) const;
  /// The rule's parameters from the texts; throws AppError for a number that is not one, or
  /// what the rule cannot take (matching::validateRuleParameters against `target`).
  check::RuleParameters parameters(const check::Target& target) const;
  /// "Цель: ec8, тип 1, грунт B, ag 2.943 м/с²; правило ec8, …, T1 1 с" — a one-line summary.
  QString summary() const;

  /// Keeps and restores the choice in the session's settings.
  void save(AnalysisSession& session) const;
  void load(AnalysisSession& session);

  /// Tells the pages that show the choice.
  void touch() { emit changed(); }

  /// Everything a result depends on, as one text: two choices that give it are equal (the main
  /// window's table, when chosen, is read through the session's link).
  QString fingerprint(const AnalysisSession& session) const;

 signals:
  void changed();
};

/// The session's one RuleChoice (made on first use, owned by the session).
RuleChoice& ruleChoice(AnalysisSession& session);

/// The analysis window's page "Совместимость": the target, the rule and its parameters, the
/// check of the selected records in the background, the verdict in large type, the ratio curves
/// with the rule's bands, target and computed spectra, the verdict items, the failing points,
/// and the PDF report of the check command.
class CheckPage : public QWidget {
  Q_OBJECT

 public:
  CheckPage(AnalysisSession& session, QWidget* parent = nullptr);

  /// Checks the selected records against the current choice (in the background).
  void runCheck();
  /// Writes the PDF report of the last check to `path` (".pdf" added to a name without an
  /// extension); false (with the error shown) when it could not be written, false and nothing
  /// written when the result is stale.
  bool writeReport(const QString& path);
  BackgroundTask& task() const { return *task_; }
  /// The last check's result, if any.
  const std::optional<check::CheckResult>& result() const { return result_; }
  /// True when a result is shown but the target, the rule or the records chosen have changed
  /// since: it is greyed, marked «устарело — пересчитайте», and no report is written of it.
  bool stale() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void buildControls(QWidget* side);
  void buildVerdict();
  QTabWidget* buildPlots();
  QTabWidget* buildTables();
  QWidget* buildFilePage();
  QWidget* buildEc8Page();
  QGroupBox* buildTargetBox(QWidget* parent);
  QGroupBox* buildRuleBox(QWidget* parent);
  void fromChoice();
  void toChoice();
  void showRuleFields();
  void show(const check::CheckResult& r);
  void drawPlots(const check::CheckResult& r);
  void reportClicked();
  QString inputsKey() const;
  void showFreshness();

  AnalysisSession& session_;
  RuleChoice& choice_;
  BackgroundTask* task_ = nullptr;
  std::optional<check::CheckResult> result_;
  QString resultKey_;  // inputsKey() of the run that gave result_
  bool loading_ = false;

  QComboBox* source_ = nullptr;
  QStackedWidget* sourcePages_ = nullptr;
  QLineEdit* file_ = nullptr;
  QComboBox* ec8Type_ = nullptr;
  QComboBox* ground_ = nullptr;
  QLineEdit* ag_ = nullptr;
  QComboBox* agUnit_ = nullptr;
  QLineEdit* pga_ = nullptr;
  QComboBox* rule_ = nullptr;
  QLineEdit* damping_ = nullptr;
  QComboBox* quantity_ = nullptr;
  QLineEdit* t1_ = nullptr;
  QLineEdit* tmin_ = nullptr;
  QLineEdit* tmax_ = nullptr;
  QLineEdit* minRatio_ = nullptr;
  QLabel* t1Label_ = nullptr;
  QLabel* tminLabel_ = nullptr;
  QLabel* tmaxLabel_ = nullptr;
  QLabel* minRatioLabel_ = nullptr;
  QPushButton* check_ = nullptr;
  QPushButton* report_ = nullptr;
  QLabel* verdict_ = nullptr;
  QLabel* summary_ = nullptr;
  QLabel* stale_ = nullptr;
  QComboBox* axis_ = nullptr;  // frequency or period along x
  Plot* ratios_ = nullptr;
  Plot* spectra_ = nullptr;
  QTableWidget* items_ = nullptr;
  QTableWidget* failing_ = nullptr;
};

}  // namespace accelspec
