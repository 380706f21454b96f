// SPDX-License-Identifier: MIT
#include "memory/memory.hpp"

#include <string>

#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"

namespace accelspec {

namespace {

// The grid's height for `slots` rows under its header row.
int memoryGridHeight(int slots) { return kGridRowPitch * slots + 20; }

// Copies slot `from` (its last index and points 0 … n) into slot `to`.
void moveSlot(Store& s, int from, int to) {
  const long double n = s.SpF[slotCountIndex(from)];
  s.SpF[slotCountIndex(to)] = n;
  const std::int64_t last = fpu::round64(n);
  for (std::int64_t j = 0; j <= last && j <= kMaxSlotLastIndex; ++j) {
    s.SpF[slotBase(to) + j] = s.SpF[slotBase(from) + j];
    s.SpA[slotBase(to) + j] = s.SpA[slotBase(from) + j];
  }
}

}  // namespace

void showMemoryList(const Store& store, Form& form) {
  if (store.NMem > 0) {
    form.setMemoryGridVisible(true);
    form.setRowCount(Grid::Memory, store.NMem + 1);
    form.setMemoryGridHeight(memoryGridHeight(store.NMem));
  }
  for (int k = 1; k <= kMaxSlots && k <= store.NMem; ++k) form.setSlotControlsVisible(k, true);
}

void takeIntoMemory(Store& s, Form& form) {
  if (s.Mode != kModeResponseSpectrum) return;
  if (s.NMem >= kMaxSlots) return;
  // A slot holds 999 points; a larger spectrum would run into the next slot.
  if (s.NF > kMaxSlotLastIndex) throw AppError(msg::kTakeTooLarge);

  s.NMem += 1;
  const int k = s.NMem;
  form.setSlotControlsVisible(k, true);
  if (k == 1) form.setMemoryGridVisible(true);
  form.setRowCount(Grid::Memory, s.NMem + 1);
  form.setMemoryGridHeight(memoryGridHeight(s.NMem));
  form.setCell(Grid::Memory, 1, k, form.openDialogFileName());
  form.setCell(Grid::Memory, 2, k, "График №" + std::to_string(k));

  s.SpF[slotCountIndex(k)] = s.NF;
  for (int j = 0; j <= s.NF; ++j) {
    s.SpF[slotBase(k) + j] = s.SpF[kResponseBase + j];
    s.SpA[slotBase(k) + j] = s.SpA[kResponseBase + j];
  }
}

void overlayMemory(Store& s, Form& form) {
  fpu::clear();
  s.Mode = kModeNone;
  Chart& chart = form.chart();
  chart.clearAll();
  chart.setTitle(std::string(msg::kTitleMemoryOverlay));
  chart.setBottomAxisTitle(std::string(msg::kAxisFrequency));
  for (int k = 1; k <= s.NMem && k <= kMaxSlots; ++k) {
    const std::int64_t last = fpu::round64(s.SpF[slotCountIndex(k)]);
    for (std::int64_t j = 0; j <= last && j <= kMaxSlotLastIndex; ++j)
      chart.series(k).add(s.SpF[slotBase(k) + j], s.SpA[slotBase(k) + j]);
  }
}

void deleteFromMemory(Store& s, Form& form) {
  if (s.NMem <= 0) return;
  const int r = form.memoryCurrentRow();
  const int last = s.NMem;
  form.setSlotControlsVisible(last, false);
  if (last == 1) form.setMemoryGridVisible(false);
  form.setRowCount(Grid::Memory, last);
  form.setMemoryGridHeight(kGridRowPitch * last + 3);
  s.NMem = last - 1;
  for (int k = r; k <= s.NMem; ++k) {
    if (k < 1) continue;
    form.setCell(Grid::Memory, 1, k, form.cell(Grid::Memory, 1, k + 1));
    form.setCell(Grid::Memory, 2, k, form.cell(Grid::Memory, 2, k + 1));
    moveSlot(s, k + 1, k);
  }
}

void toggleSlot(Store&, Form& form, int slot) {
  form.chart().series(slot).setVisible(form.slotChecked(slot));
}

}  // namespace accelspec
