// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "data/chart.hpp"
#include "data/form.hpp"
#include "data/store.hpp"
#include "lifecycle/form_lifecycle.hpp"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class QWindow;

namespace accelspec {

class AnalysisWindow;
class ChartView;
class HelpWindow;
class StringGrid;
class TReport;

/// What a file dialog is asked, and what it answers when the user confirms.
struct FileDialogRequest {
  enum class Kind { Open, Save };
  Kind kind = Kind::Open;
  QString objectName;    ///< "OpenDialogFile" or "SaveDialogFile"
  QStringList labels;    ///< the filter's entries, in order
  QStringList patterns;  ///< "*.spv" … for each entry
  int filterIndex = 1;   ///< in: the entry shown first; out: the entry chosen (1 …)
  QString fileName;      ///< in: the name the dialog keeps; out: the name confirmed
};

/// Shows a file dialog for the request; true when the user confirmed a name.
using FileDialogHook = std::function<bool(FileDialogRequest&)>;

/// Forma, the main window. It only places the controls and passes each event to its command;
/// the commands reach the window through Form. Every error of a command ends up in run().
class TForma : public QWidget, public Form {
  Q_OBJECT

 public:
  TForma(Store& store, TReport& report, QWidget* parent = nullptr);
  ~TForma() override;

  // Form
  char decimalSeparator() const override;
  std::string text(Edit edit) const override;
  void setText(Edit edit, const std::string& text) override;
  void clearMemo() override;
  int rowCount(Grid grid) const override;
  void setRowCount(Grid grid, int rows) override;
  std::string cell(Grid grid, int col, int row) const override;
  void setCell(Grid grid, int col, int row, const std::string& text) override;
  int memoryCurrentRow() const override;
  void setMemoryGridVisible(bool visible) override;
  void setMemoryGridHeight(int pixels) override;
  void setSlotControlsVisible(int slot, bool visible) override;
  bool slotChecked(int slot) const override;
  Chart& chart() override { return chartModel_; }
  bool executeOpenDialog() override;
  std::string openDialogFileName() const override;
  int openDialogFilterIndex() const override { return openDialog_.filterIndex; }
  void setSaveDialogFilter(const std::string& filter) override;
  bool executeSaveDialog() override;
  std::string saveDialogFileName() const override;

  /// Replaces the file dialogs (tests and scripted runs answer them without showing anything);
  /// an empty hook brings the real dialogs back.
  void setFileDialogHook(FileDialogHook hook) { dialogHook_ = std::move(hook); }

  /// Where config.cfg is kept; set before the window is first shown.
  void setConfigLocation(ConfigLocation location) {
    lifecycle_ = FormLifecycle(std::move(location));
  }
  /// Files named on the command line: each is opened, after the first activation has loaded the
  /// configuration, exactly as the Open command opens a name typed into its dialog.
  void openAtStart(const QStringList& files) { startFiles_ = files; }

  /// The caption of the error box: the program file's name without its extension.
  static QString applicationTitle();

  /// The analysis window, created on its first opening (nullptr until then).
  AnalysisWindow* analysisWindow() const { return analysis_.get(); }
  /// The user's guide, made on first use; it stays with this window and closes with it.
  HelpWindow* helpWindow();
  /// Opens the guide at a place ("chapter.md#anchor"; empty for the contents).
  void showHelp(const QString& topic);
  /// F1: the guide at the place that explains the control under the mouse (a tool button) or
  /// the one holding the focus, else at the main window's chapter.
  void showContextHelp();

 public slots:
  void FormActivate();
  bool FormClose();
  void SpeedButtonOpenClick();
  void SpeedButtonSaveClick();
  void SpeedButtonReportClick();
  void SpeedButtonPreviewClick();
  void SpeedButtonAksClick();
  void SpeedButtonSpoClick();
  void SpeedButtonTimeClick();
  void SpeedButtonMemoryClick();
  void SpeedButtonDeleteClick();
  void SpeedButtonVisualClick();
  /// Opens the analysis window, or raises it when it is open.
  void SpeedButtonAnalysisClick();
  void SpeedButtonHelpClick();
  /// «О программе»: the name, version and licence.
  void SpeedButtonAboutClick();
  void EditNExit();
  void StringGridSpvExit();
  void Chanel1Click();
  void Chanel2Click();
  void Chanel3Click();
  void Chanel4Click();
  void Chanel5Click();
  void Chanel6Click();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  /// Runs one command: any error it throws is shown in the error box, and the chart view is
  /// brought up to date whether it failed or not. True when the command finished.
  template <typename Command>
  bool run(Command&& command);

  void createToolBar();
  void createParameterPanel();
  void createAksBox();
  void createTimeBox();
  void createSpvBox();
  void createMemoryBox();
  void addSlotControls(int slot);
  QGroupBox* addGroupBox(const char* name, const char* caption, int x, int w);
  /// A field's caption and its edit, showing the field's default text, on line `y`.
  void addParameterRow(QWidget* box, Edit which, const char* name, int x, int y, int w);
  QLineEdit* addEdit(QWidget* box, const char* name, const QString& text, int x, int y, int w);
  QLabel* addLabel(QWidget* box, const QString& text, int x, int y);
  QToolButton* addToolButton(QWidget* parent, const char* name, int x, const QString& hint);

  enum class FocusArea { Other, EditN, Spv };
  FocusArea areaOf(QWidget* widget) const;
  void focusMoved(QWidget* now);
  void focusWindowMoved(QWindow* window);

  bool runFileDialog(FileDialogRequest& request);
  /// The Open command with its dialog answered by `file`; the kind follows the extension.
  void openNamedFile(const QString& file);
  /// The analysis window, made and linked to this window on first use.
  AnalysisWindow& openAnalysisWindow();
  QLineEdit* edit(Edit which) const;
  StringGrid* grid(Grid which) const;

  Store& store_;
  TReport& report_;
  FormLifecycle lifecycle_;
  Chart chartModel_;

  QFrame* panel1_ = nullptr;
  QFrame* panel2_ = nullptr;
  QGroupBox* groupBoxMemory_ = nullptr;
  std::array<QLineEdit*, 10> edits_{};  // by Edit
  QPlainTextEdit* memo1_ = nullptr;
  StringGrid* gridSpv_ = nullptr;
  StringGrid* gridMemory_ = nullptr;
  std::array<QCheckBox*, 7> chanels_{};    // 1 … 6
  std::array<QLabel*, 7> starLabels_{};    // Label1k … Label6k
  std::array<QLabel*, 7> shadowLabels_{};  // Label1t … Label6t
  ChartView* chart1_ = nullptr;

  HelpWindow* help_ = nullptr;

  FileDialogRequest openDialog_;
  FileDialogRequest saveDialog_;
  FileDialogHook dialogHook_;
  QStringList startFiles_;

  std::unique_ptr<AnalysisWindow> analysis_;

  FocusArea lastArea_ = FocusArea::Other;
  // Set while this window is the last of the program's own windows to have had the focus;
  // only an activation with the flag clear is a new activation of the form.
  bool ownFocus_ = false;
};

}  // namespace accelspec
