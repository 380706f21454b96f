// SPDX-License-Identifier: MIT
// The library's table of the page «Наборы» with 10000 motions: a sort by a text column (the
// name, natural order) and by a number column (the PGA), each both ways, through the model and
// through the table view until it has painted; a filter typed and cleared; a scroll from the top
// to the bottom, painted. Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <random>
#include <string>

#include "app/analysis/library_model.hpp"

namespace {

using accelspec::LibraryFilter;
using accelspec::LibraryModel;

// 10000 motions as an NGA-West2 download indexes: a fifth of them pairs, some without magnitude.
std::vector<accelspec::library::Motion> motions(int n) {
  std::mt19937 random(20);
  std::uniform_real_distribution<double> magnitude(4.5, 7.9), pga(0.05, 9.0), distance(1, 300);
  std::vector<accelspec::library::Motion> out;
  for (int i = 1; i <= n; ++i) {
    accelspec::library::Motion m;
    m.id = i;
    m.name = "RSN" + std::to_string(i);
    m.event = "Event " + std::to_string(i % 331);
    accelspec::library::Component c;
    c.path = "/data/nga/RSN" + std::to_string(i) + "_STATION_H1.AT2";
    c.format = "at2";
    c.station = "Station " + std::to_string(i % 1709);
    c.date = "20" + std::to_string(10 + i % 14) + "-01-01";
    if (i % 7 != 0) c.magnitude = magnitude(random);
    c.distance = distance(random);
    c.vs30 = 180 + i % 700;
    c.dt = 0.005;
    c.samples = static_cast<std::size_t>(4000 + i);
    c.measures.pga = pga(random);
    m.components.push_back(c);
    if (i % 5 == 0) {
      c.path = "/data/nga/RSN" + std::to_string(i) + "_STATION_H2.AT2";
      c.measures.pga = pga(random);
      m.components.push_back(c);
    }
    out.push_back(std::move(m));
  }
  return out;
}

struct Table {
  Table() : filter(&model) {
    model.setMotions(motions(10000));
    view.setModel(&filter);
    view.setSortingEnabled(true);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view.resize(1100, 600);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) qFatal("the table never showed");
  }
  // Paints what the view shows now.
  void paint() {
    view.viewport()->repaint();
    QCoreApplication::processEvents();
  }
  LibraryModel model;
  LibraryFilter filter;
  QTableView view;
};

std::unique_ptr<Table> theTable;
Table& table() {
  if (!theTable) theTable = std::make_unique<Table>();
  return *theTable;
}

void BM_ModelSort(benchmark::State& state) {
  Table& t = table();
  const int column = static_cast<int>(state.range(0));
  bool down = false;
  for (auto _ : state) {
    t.filter.sort(column, down ? Qt::DescendingOrder : Qt::AscendingOrder);
    down = !down;
  }
  state.counters["rows"] = t.filter.rowCount();
}
BENCHMARK(BM_ModelSort)
    ->Arg(LibraryModel::Name)
    ->Arg(LibraryModel::Pga)
    ->Arg(LibraryModel::Station)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A click on a column's header as the user makes it, until the sorted rows are painted.
void BM_ViewSortToPaint(benchmark::State& state) {
  Table& t = table();
  const int column = static_cast<int>(state.range(0));
  bool down = false;
  for (auto _ : state) {
    t.view.sortByColumn(column, down ? Qt::DescendingOrder : Qt::AscendingOrder);
    t.paint();
    down = !down;
  }
}
BENCHMARK(BM_ViewSortToPaint)
    ->Arg(LibraryModel::Name)
    ->Arg(LibraryModel::Pga)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_FilterTypedAndCleared(benchmark::State& state) {
  Table& t = table();
  for (auto _ : state) {
    t.filter.setText(QStringLiteral("station 17"));
    t.paint();
    t.filter.setText(QString());
    t.paint();
  }
}
BENCHMARK(BM_FilterTypedAndCleared)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the top to the bottom of the 10000 rows and back, painted each time.
void BM_ScrollToPaint(benchmark::State& state) {
  Table& t = table();
  QScrollBar* bar = t.view.verticalScrollBar();
  bool bottom = false;
  for (auto _ : state) {
    bar->setValue(bottom ? bar->minimum() : bar->maximum());
    t.paint();
    bottom = !bottom;
  }
}
BENCHMARK(BM_ScrollToPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// Making the rows' keys (off the window's thread, after every add and condition), and setting
// them on the model with the view's sort (on it).
void BM_PrepareRows(benchmark::State& state) {
  const auto rows = motions(10000);
  for (auto _ : state) benchmark::DoNotOptimize(LibraryModel::prepare(rows));
}
BENCHMARK(BM_PrepareRows)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SetRowsToPaint(benchmark::State& state) {
  Table& t = table();
  const auto rows = motions(10000);
  for (auto _ : state) {
    state.PauseTiming();
    auto prepared = LibraryModel::prepare(rows);
    state.ResumeTiming();
    t.model.setRows(std::move(prepared));
    t.filter.sort(LibraryModel::Name, Qt::AscendingOrder);
    t.paint();
  }
}
BENCHMARK(BM_SetRowsToPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  theTable.reset();
  return 0;
}
