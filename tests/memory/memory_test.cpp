// SPDX-License-Identifier: MIT
#include "memory/memory.hpp"

#include "../compute/compute_test_support.hpp"
#include "data/messages.hpp"
#include "data/plain_form.hpp"

namespace accelspec {
namespace {

using testing::failureOf;
using testing::Fixture;

// A response spectrum of nf + 1 points, values tagged with `tag`.
void setResponse(Store& s, int nf, long double tag) {
  s.Mode = kModeResponseSpectrum;
  s.NF = nf;
  for (int j = 0; j <= nf; ++j) {
    s.SpF[kResponseBase + j] = 2 + 0.5L * j;
    s.SpA[kResponseBase + j] = tag + j;
  }
}

TEST(Memory, TakeFillsTheNextSlotAndItsControls) {
  Fixture t;
  t.form.openFileName = "/data/test.aks";
  setResponse(t.s, 2, 10);
  takeIntoMemory(t.s, t.form);
  EXPECT_EQ(t.s.NMem, 1);
  EXPECT_TRUE(t.form.memoryGridVisible);
  EXPECT_TRUE(t.form.slotVisible[1]);
  EXPECT_EQ(t.form.rowCount(Grid::Memory), 2);
  EXPECT_EQ(t.form.memoryGridHeight, 37);
  EXPECT_EQ(t.form.cell(Grid::Memory, 1, 1), "/data/test.aks");
  EXPECT_EQ(t.form.cell(Grid::Memory, 2, 1), "График №1");
  EXPECT_EQ(t.s.SpF[999], 2);
  EXPECT_EQ(t.s.SpA[1002], 12);
  EXPECT_EQ(t.s.Mode, kModeResponseSpectrum);
}

TEST(Memory, TakeIsRefusedSilentlyOutsideMode3AndBeyondSixSlots) {
  Fixture t;
  setResponse(t.s, 1, 0);
  t.s.Mode = kModeAccelerogram;
  takeIntoMemory(t.s, t.form);
  EXPECT_EQ(t.s.NMem, 0);
  t.s.Mode = kModeResponseSpectrum;
  for (int i = 0; i < 7; ++i) takeIntoMemory(t.s, t.form);
  EXPECT_EQ(t.s.NMem, 6);
  EXPECT_EQ(t.form.rowCount(Grid::Memory), 7);
  overlayMemory(t.s, t.form);
  takeIntoMemory(t.s, t.form);  // the overlay left Mode 0
  EXPECT_EQ(t.s.NMem, 6);
}

TEST(Memory, SlotCapacity) {
  Fixture t;
  setResponse(t.s, 998, 0);
  takeIntoMemory(t.s, t.form);
  EXPECT_EQ(t.s.SpA[1000 + 998], 998);
  EXPECT_EQ(t.s.SpF[1999], 0);  // slot 2's count is untouched

  setResponse(t.s, 999, 0);
  EXPECT_EQ(failureOf([&] { takeIntoMemory(t.s, t.form); }), msg::kTakeTooLarge);
  EXPECT_EQ(t.s.NMem, 1);
  EXPECT_FALSE(t.form.slotVisible[2]);
}

TEST(Memory, DeleteMovesLaterSlotsUpAndTitlesWithThem) {
  Fixture t;
  for (int k = 1; k <= 3; ++k) {
    setResponse(t.s, k, 100 * k);  // slot k has k + 1 points
    takeIntoMemory(t.s, t.form);
  }
  t.form.memoryRow = 1;
  deleteFromMemory(t.s, t.form);
  EXPECT_EQ(t.s.NMem, 2);
  EXPECT_EQ(t.form.cell(Grid::Memory, 2, 1), "График №2");
  EXPECT_EQ(t.form.cell(Grid::Memory, 2, 2), "График №3");
  EXPECT_EQ(t.s.SpF[999], 2);  // the moved graph keeps its own count
  EXPECT_EQ(t.s.SpA[1000], 200);
  EXPECT_EQ(t.s.SpF[1999], 3);
  EXPECT_EQ(t.s.SpA[2003], 303);
  EXPECT_FALSE(t.form.slotVisible[3]);
  EXPECT_EQ(t.form.rowCount(Grid::Memory), 3);
  EXPECT_EQ(t.form.memoryGridHeight, 17 * 2 + 20);
  takeIntoMemory(t.s, t.form);
  EXPECT_EQ(t.form.cell(Grid::Memory, 2, 3), "График №3");

  t.form.memoryRow = 3;  // the last row: nothing moves
  deleteFromMemory(t.s, t.form);
  EXPECT_EQ(t.form.cell(Grid::Memory, 2, 2), "График №3");
  deleteFromMemory(t.s, t.form);
  t.form.memoryRow = 1;
  deleteFromMemory(t.s, t.form);
  EXPECT_EQ(t.s.NMem, 0);
  EXPECT_FALSE(t.form.memoryGridVisible);
  EXPECT_FALSE(t.form.slotVisible[1]);
  deleteFromMemory(t.s, t.form);  // empty memory: nothing
  EXPECT_EQ(t.s.NMem, 0);
}

TEST(Memory, OverlayDrawsEachSlotOnItsSeriesAndChecksShowOrHide) {
  Fixture t;
  for (int k = 1; k <= 2; ++k) {
    setResponse(t.s, 3, k);
    takeIntoMemory(t.s, t.form);
  }
  t.s.SpF[1999] = -1;  // slot 2 with no points
  t.form.chart().series(0).add(1, 1);
  overlayMemory(t.s, t.form);
  EXPECT_EQ(t.s.Mode, kModeNone);
  EXPECT_TRUE(t.form.chart().series(0).empty());
  EXPECT_EQ(t.form.chart().series(1).size(), 4u);
  EXPECT_TRUE(t.form.chart().series(2).empty());
  EXPECT_EQ(t.form.chart().title(), "СПЕКТРЫ ОТВЕТОВ, взятые из памяти");
  EXPECT_EQ(t.form.chart().bottomAxisTitle(), "Частота (Герцы)");

  t.form.slotCheckedState[1] = false;
  toggleSlot(t.s, t.form, 1);
  EXPECT_FALSE(t.form.chart().series(1).visible());
  EXPECT_EQ(t.form.chart().series(1).size(), 4u);
  t.form.slotCheckedState[1] = true;
  toggleSlot(t.s, t.form, 1);
  EXPECT_TRUE(t.form.chart().series(1).visible());
}

TEST(Memory, OverlayOfEmptyMemoryClearsAndTitles) {
  Fixture t;
  t.form.chart().series(3).add(1, 1);
  overlayMemory(t.s, t.form);
  for (int i = 0; i < 7; ++i) EXPECT_TRUE(t.form.chart().series(i).empty());
  EXPECT_EQ(t.s.Mode, kModeNone);
}

TEST(ShowMemoryList, ShowsOnlyAndNeverHides) {
  auto store = makeStore();
  PlainForm form;
  form.slotVisible[5] = true;
  showMemoryList(*store, form);  // no slots: nothing changes
  EXPECT_FALSE(form.memoryGridVisible);
  EXPECT_EQ(form.rows[1], 7);
  EXPECT_EQ(form.memoryGridHeight, 123);

  store->NMem = 3;
  showMemoryList(*store, form);
  EXPECT_TRUE(form.memoryGridVisible);
  EXPECT_EQ(form.rowCount(Grid::Memory), 4);
  EXPECT_EQ(form.memoryGridHeight, 71);
  const bool expected[] = {false, true, true, true, false, true, false};
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(form.slotVisible[k], expected[k]) << k;
}

}  // namespace
}  // namespace accelspec
