// SPDX-License-Identifier: MIT
#include "compute/spectrum_table.hpp"

#include "compute_test_support.hpp"
#include "data/messages.hpp"

namespace accelspec {
namespace {

using testing::failureOf;
using testing::Fixture;

void fillTable(PlainForm& form, std::initializer_list<std::pair<const char*, const char*>> rows) {
  int r = 1;
  for (auto [f, a] : rows) {
    form.setCell(Grid::Spv, 0, r, f);
    form.setCell(Grid::Spv, 1, r, a);
    ++r;
  }
}

TEST(SpectrumTable, LeavingTheTableStoresAndDrawsThePoints) {
  Fixture t;
  t.form.setText(Edit::N, "3");
  editNExit(t.s, t.form);
  EXPECT_EQ(t.s.N, 3);
  EXPECT_EQ(t.form.rowCount(Grid::Spv), 4);
  fillTable(t.form, {{"10", "2"}, {"5", "3"}, {"1", "1"}});
  t.form.chart().setTitle("АКСЕЛЕРОГРАММА");
  stringGridSpvExit(t.s, t.form);
  EXPECT_EQ(t.s.Mode, kModeInputSpectrum);
  EXPECT_EQ(t.s.SpF[1], 10);
  EXPECT_EQ(t.s.SpF[3], 1);
  EXPECT_EQ(t.s.SpA[2], 3);
  const auto& p = t.form.chart().series(0).points();
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].x, 1);  // drawn by ascending frequency
  EXPECT_EQ(p[2].x, 10);
  EXPECT_EQ(t.form.chart().bottomAxisTitle(), "Частота (Герцы)");
  EXPECT_EQ(t.form.chart().title(), "АКСЕЛЕРОГРАММА");  // the title is left as it was
}

TEST(SpectrumTable, RowCountFollowsN) {
  const std::pair<const char*, int> cases[] = {{"0", 1}, {"-5", 1}, {"998", 999}, {" 2", 3}};
  for (auto [text, rows] : cases) {
    Fixture t;
    t.form.setText(Edit::N, text);
    editNExit(t.s, t.form);
    EXPECT_EQ(t.form.rowCount(Grid::Spv), rows) << text;
  }
}

TEST(SpectrumTable, BadCountsKeepNAndTheTable) {
  const std::pair<const char*, std::string> cases[] = {
      {"abc", "'abc' is not a valid integer value"},
      {"", "'' is not a valid integer value"},
      {"999", std::string(msg::kTooManySpectrumPoints)},
      {"2147483647", std::string(msg::kTooManySpectrumPoints)},
  };
  for (const auto& [text, message] : cases) {
    Fixture t;
    t.s.N = 2;
    t.form.setRowCount(Grid::Spv, 3);
    t.form.setText(Edit::N, text);
    EXPECT_EQ(failureOf([&] { editNExit(t.s, t.form); }), message);
    EXPECT_EQ(t.s.N, 2);
    EXPECT_EQ(t.form.rowCount(Grid::Spv), 3);
  }
}

TEST(SpectrumTable, ABadCellStopsThereKeepingEarlierRows) {
  Fixture t;
  t.s.N = 5;
  t.s.SpA[2] = 42;
  fillTable(t.form, {{"1", "1"}, {"2", "x"}});
  t.form.chart().series(3).add(1, 1);
  EXPECT_EQ(failureOf([&] { stringGridSpvExit(t.s, t.form); }),
            "'x' is not a valid floating point value");
  EXPECT_EQ(t.s.Mode, kModeInputSpectrum);
  EXPECT_EQ(t.s.SpF[2], 2);   // the frequency of the failing row is already stored
  EXPECT_EQ(t.s.SpA[2], 42);  // its acceleration is not
  EXPECT_EQ(t.form.chart().series(0).size(), 1u);
  EXPECT_TRUE(t.form.chart().series(3).empty());

  Fixture empty;
  empty.s.N = 5;
  fillTable(empty.form, {{"1", "1"}, {"2", "2"}, {"3", "3"}});
  EXPECT_EQ(failureOf([&] { stringGridSpvExit(empty.s, empty.form); }),
            "'' is not a valid floating point value");
  EXPECT_EQ(empty.form.chart().series(0).size(), 3u);
}

TEST(SpectrumTable, NoPointsStillClearsTheChartAndSetsMode) {
  Fixture t;
  t.form.chart().series(0).add(1, 1);
  stringGridSpvExit(t.s, t.form);
  EXPECT_EQ(t.s.Mode, kModeInputSpectrum);
  EXPECT_TRUE(t.form.chart().series(0).empty());
}

TEST(SpectrumTable, CellsUseTheLocaleSeparator) {
  Fixture t;
  t.form.separator = ',';
  t.s.N = 1;
  fillTable(t.form, {{"0,5", "1,25"}});
  stringGridSpvExit(t.s, t.form);
  EXPECT_EQ(t.s.SpF[1], 0.5L);
  EXPECT_EQ(t.s.SpA[1], 1.25L);
  fillTable(t.form, {{"0.5", "1"}});
  EXPECT_EQ(failureOf([&] { stringGridSpvExit(t.s, t.form); }),
            "'0.5' is not a valid floating point value");
}

}  // namespace
}  // namespace accelspec
