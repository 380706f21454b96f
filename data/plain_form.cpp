// SPDX-License-Identifier: MIT
#include "data/plain_form.hpp"

#include "data/defaults.hpp"

namespace accelspec {

PlainForm::PlainForm(char decimalSeparator) : separator(decimalSeparator) {
  for (const auto& entry : kDefaultFieldTexts)
    texts[entry.first] = defaultFieldText(entry.first, separator);
}

std::string PlainForm::text(Edit edit) const {
  auto it = texts.find(edit);
  return it == texts.end() ? std::string() : it->second;
}

void PlainForm::setText(Edit edit, const std::string& text) { texts[edit] = text; }

int PlainForm::rowCount(Grid grid) const { return rows[grid == Grid::Spv ? 0 : 1]; }

void PlainForm::setRowCount(Grid grid, int count) { rows[grid == Grid::Spv ? 0 : 1] = count; }

std::string PlainForm::cell(Grid grid, int col, int row) const {
  const auto& cells = grid == Grid::Spv ? spvCells : memoryCells;
  auto it = cells.find({col, row});
  return it == cells.end() ? std::string() : it->second;
}

void PlainForm::setCell(Grid grid, int col, int row, const std::string& text) {
  (grid == Grid::Spv ? spvCells : memoryCells)[{col, row}] = text;
}

void PlainForm::setSlotControlsVisible(int slot, bool visible) {
  slotVisible.at(static_cast<std::size_t>(slot)) = visible;
}

bool PlainForm::slotChecked(int slot) const {
  return slotCheckedState.at(static_cast<std::size_t>(slot));
}

bool PlainForm::executeOpenDialog() {
  if (onOpenDialog) return onOpenDialog(*this);
  return openAccept;
}

bool PlainForm::executeSaveDialog() {
  if (onSaveDialog) return onSaveDialog(*this);
  return saveAccept;
}

}  // namespace accelspec
