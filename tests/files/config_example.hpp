// SPDX-License-Identifier: MIT
#pragma once

// The working state that the configuration file example holds, for the configuration and life
// cycle tests.

#include "data/plain_form.hpp"
#include "data/store.hpp"

namespace accelspec::testing {

/// The state of the configuration file example: EditFend 3, the other fields at their
/// defaults, one graph of three points in memory.
inline void fillExample(Store& store, PlainForm& form) {
  form.setText(Edit::Fend, "3");
  store.NMem = 1;
  form.setCell(Grid::Memory, 1, 1, "test.aks");
  form.setCell(Grid::Memory, 2, 1, "График №1");
  store.SpF[999] = 2;
  const long double points[3][2] = {{2, 0.81L}, {2.5L, 1.2L}, {3, 0.95L}};
  for (int j = 0; j < 3; ++j) {
    store.SpF[1000 + j] = points[j][0];
    store.SpA[1000 + j] = points[j][1];
  }
}

}  // namespace accelspec::testing
