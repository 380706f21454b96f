// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <map>
#include <utility>

#include "data/form.hpp"

namespace accelspec {

/// A Form held as plain data, with the window's creation-time texts written with the given
/// decimal separator. Serves the command-line tool and the tests; the dialogs answer from the
/// fields below (or from a callback).
class PlainForm : public Form {
 public:
  explicit PlainForm(char decimalSeparator = '.');

  char decimalSeparator() const override { return separator; }
  std::string text(Edit edit) const override;
  void setText(Edit edit, const std::string& text) override;
  void clearMemo() override { memo.clear(); }
  int rowCount(Grid grid) const override;
  void setRowCount(Grid grid, int rows) override;
  std::string cell(Grid grid, int col, int row) const override;
  void setCell(Grid grid, int col, int row, const std::string& text) override;
  int memoryCurrentRow() const override { return memoryRow; }
  void setMemoryGridVisible(bool visible) override { memoryGridVisible = visible; }
  void setMemoryGridHeight(int pixels) override { memoryGridHeight = pixels; }
  void setSlotControlsVisible(int slot, bool visible) override;
  bool slotChecked(int slot) const override;
  Chart& chart() override { return chartData; }
  bool executeOpenDialog() override;
  std::string openDialogFileName() const override { return openFileName; }
  int openDialogFilterIndex() const override { return openFilterIndex; }
  void setSaveDialogFilter(const std::string& filter) override { saveFilter = filter; }
  bool executeSaveDialog() override;
  std::string saveDialogFileName() const override { return saveFileName; }

  char separator = '.';
  std::map<Edit, std::string> texts;
  std::string memo;
  std::array<int, 2> rows{6, 7};
  std::map<std::pair<int, int>, std::string> spvCells, memoryCells;  // (col, row) -> text
  int memoryRow = 1;
  bool memoryGridVisible = false;
  int memoryGridHeight = 123;
  std::array<bool, 7> slotVisible{};  // index 1 … 6
  std::array<bool, 7> slotCheckedState{true, true, true, true, true, true, true};
  Chart chartData;

  /// Dialog answers: a dialog "confirms" when its accept flag is set, after the optional
  /// callback has had its say (tests use it to choose a file or a filter per call).
  bool openAccept = false;
  std::string openFileName;
  int openFilterIndex = 1;
  std::function<bool(PlainForm&)> onOpenDialog;
  bool saveAccept = false;
  std::string saveFileName;
  std::string saveFilter;
  std::function<bool(PlainForm&)> onSaveDialog;
};

}  // namespace accelspec
