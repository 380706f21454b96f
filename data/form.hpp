// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "data/chart.hpp"

namespace accelspec {

/// The edit fields of the main window.
enum class Edit { Fbeg, Fend, DF, Psi, Tbeg, Tend, T, ND, DT, N };

/// Rows of both string grids follow each other every this many pixels (cell and grid line);
/// the memory list's height and its slot controls are placed by it.
inline constexpr int kGridRowPitch = 17;

/// The two string grids: the input spectrum table and the memory list.
enum class Grid { Spv, Memory };

/// The main window as the commands see it: field texts, grid cells, the memo, slot controls,
/// the chart and the two file dialogs. TForma implements it over Qt widgets; PlainForm over plain
/// data for tests and the command-line tool. Texts are UTF-8.
class Form {
 public:
  virtual ~Form() = default;

  /// Decimal separator of the user's locale, used for every number text of fields and cells.
  virtual char decimalSeparator() const = 0;

  virtual std::string text(Edit edit) const = 0;
  virtual void setText(Edit edit, const std::string& text) = 0;

  /// Empties Memo1.
  virtual void clearMemo() = 0;

  /// Grid cells keep their text when the row count shrinks below them, and show it again when
  /// it grows. Rows count from 0 (the header row).
  virtual int rowCount(Grid grid) const = 0;
  virtual void setRowCount(Grid grid, int rows) = 0;
  virtual std::string cell(Grid grid, int col, int row) const = 0;
  virtual void setCell(Grid grid, int col, int row, const std::string& text) = 0;

  /// The memory list's selected row (1 … row count − 1; 1 before the user picked one).
  virtual int memoryCurrentRow() const = 0;
  virtual void setMemoryGridVisible(bool visible) = 0;
  virtual void setMemoryGridHeight(int pixels) = 0;
  /// Slot k's check box (Chanel1 … Chanel6) and its two star labels.
  virtual void setSlotControlsVisible(int slot, bool visible) = 0;
  virtual bool slotChecked(int slot) const = 0;

  virtual Chart& chart() = 0;

  /// OpenDialogFile: shows it modally; true when a file was confirmed. The dialog keeps its file
  /// name ("" until the first choice) and its filter index (1 … 5, 1 at first) between uses.
  virtual bool executeOpenDialog() = 0;
  virtual std::string openDialogFileName() const = 0;
  virtual int openDialogFilterIndex() const = 0;

  /// SaveDialogFile: its one-entry filter ("label|*.ext") is set before each use.
  virtual void setSaveDialogFilter(const std::string& filter) = 0;
  virtual bool executeSaveDialog() = 0;
  virtual std::string saveDialogFileName() const = 0;
};

}  // namespace accelspec
