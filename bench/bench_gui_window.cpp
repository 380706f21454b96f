// SPDX-License-Identifier: MIT
// The main window under load: from a button press until the chart has painted the result.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/chart_view.hpp"
#include "app/tforma.hpp"
#include "app/treport.hpp"
#include "data/store.hpp"

namespace {

using accelspec::Edit;
using accelspec::Grid;

// One window for all benchmarks, with a three-point spectrum taken over from the table.
struct Window {
  Window() {
    QDir::setCurrent(dir.path());
    store = accelspec::makeStore();
    forma = std::make_unique<accelspec::TForma>(*store, report);
    // A configuration to read at the first activation, so that no message box waits.
    forma->FormClose();
    forma->show();
    forma->activateWindow();
    if (!QTest::qWaitForWindowExposed(forma.get())) qFatal("the window never showed");
    QTest::qWait(50);
    const char* points[3][2] = {{"2", "1"}, {"10", "3"}, {"30", "2"}};
    forma->setText(Edit::N, "3");
    forma->EditNExit();
    for (int row = 1; row <= 3; ++row)
      for (int col = 0; col < 2; ++col) forma->setCell(Grid::Spv, col, row, points[row - 1][col]);
    forma->StringGridSpvExit();
    // 20 s at 0.0002 s: the sweep fills the whole array of 100000 samples.
    forma->setText(Edit::T, "20");
    forma->setText(Edit::ND, "100000");
    forma->setText(Edit::DT, "0.0002");
    view = forma->findChild<accelspec::ChartView*>("Chart1");
    // An error box would wait for a click for ever: close it and keep its text.
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        error = box->text().toStdString();
        box->reject();
      }
    });
    watchdog.start(10);
  }

  /// True (and the benchmark marked failed) when a command reported an error.
  bool failed(benchmark::State& state) {
    if (error.empty()) return false;
    state.SkipWithError(error.c_str());
    return true;
  }

  void press(const char* button) {
    QTest::mouseClick(forma->findChild<QToolButton*>(button), Qt::LeftButton);
  }
  // Paints the chart now, as the next expose would.
  void paint() {
    QCoreApplication::processEvents();
    view->viewport()->repaint();
  }

  QTemporaryDir dir;
  std::unique_ptr<accelspec::Store> store;
  accelspec::TReport report;
  std::unique_ptr<accelspec::TForma> forma;
  accelspec::ChartView* view = nullptr;
  QTimer watchdog;
  std::string error;
};

// Made at the first use and destroyed before the application object.
std::unique_ptr<Window> theWindow;

Window& window() {
  if (!theWindow) theWindow = std::make_unique<Window>();
  return *theWindow;
}

void BM_SynthesisToPaint(benchmark::State& state) {
  Window& w = window();
  for (auto _ : state) {
    w.press("SpeedButtonAks");
    w.paint();
    if (w.failed(state)) break;
  }
  state.counters["points"] = static_cast<double>(w.view->allPoints(0).size());
  state.counters["drawn"] = static_cast<double>(w.view->lineSeries(0)->count());
}
BENCHMARK(BM_SynthesisToPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RepaintOfTheRecord(benchmark::State& state) {
  Window& w = window();
  w.press("SpeedButtonAks");
  for (auto _ : state) w.paint();
  state.counters["points"] = static_cast<double>(w.view->allPoints(0).size());
  state.counters["drawn"] = static_cast<double>(w.view->lineSeries(0)->count());
}
BENCHMARK(BM_RepaintOfTheRecord)->Unit(benchmark::kMillisecond)->UseRealTime();

// The view's share of a new graph: 100000 points handed over in one replace, axes fitted, then
// one paint. The samples jump up and down from one to the next, as in a recorded accelerogram;
// a smooth sweep costs the view less.
accelspec::Chart noisyRecord() {
  accelspec::Chart model;
  std::vector<accelspec::ChartPoint> points(100000);
  std::uint32_t seed = 12345;
  for (std::size_t i = 0; i < points.size(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    points[i] = {static_cast<double>(i) * 0.0002, static_cast<double>(seed >> 8) / (1 << 24) - 0.5};
  }
  model.series(0).assign(std::move(points));
  return model;
}

void BM_ChartSyncOfANoisyRecord(benchmark::State& state) {
  const accelspec::Chart model = noisyRecord();
  accelspec::Chart changing = model;
  accelspec::ChartView view;
  view.resize(1024, 499);
  view.show();
  if (!QTest::qWaitForWindowExposed(&view)) qFatal("the chart never showed");
  for (auto _ : state) {
    changing.series(0).assign(model.series(0).points());
    view.sync(changing);
    QCoreApplication::processEvents();
    view.viewport()->repaint();
  }
  state.counters["points"] = static_cast<double>(view.allPoints(0).size());
  state.counters["drawn"] = static_cast<double>(view.lineSeries(0)->count());
}
BENCHMARK(BM_ChartSyncOfANoisyRecord)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RepaintOfANoisyRecord(benchmark::State& state) {
  accelspec::ChartView view;
  view.resize(1024, 499);
  view.show();
  if (!QTest::qWaitForWindowExposed(&view)) qFatal("the chart never showed");
  view.sync(noisyRecord());
  QCoreApplication::processEvents();
  for (auto _ : state) view.viewport()->repaint();
}
BENCHMARK(BM_RepaintOfANoisyRecord)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResponseSpectrumToPaint(benchmark::State& state) {
  Window& w = window();
  w.press("SpeedButtonAks");
  // 1 … 500.5 Hz in steps of 0.5: 1000 frequencies over the 100000-sample record.
  w.forma->setText(Edit::Fbeg, "1");
  w.forma->setText(Edit::Fend, "500.5");
  w.forma->setText(Edit::DF, "0.5");
  for (auto _ : state) {
    w.press("SpeedButtonSpo");
    w.paint();
    if (w.failed(state)) break;
  }
  state.counters["points"] = static_cast<double>(w.view->allPoints(0).size());
  state.counters["drawn"] = static_cast<double>(w.view->lineSeries(0)->count());
}
BENCHMARK(BM_ResponseSpectrumToPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  theWindow.reset();
  return 0;
}
