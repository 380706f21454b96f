// SPDX-License-Identifier: MIT
// The analysis window's spectra page under load: from a press of "Рассчитать" until the chart
// has painted the spectra of a 16396-sample record (NGA-West2 RSN8883, 0.005 s) on the default
// 301-frequency grid at dampings 0.02, 0.05 and 0.1 (all five quantities are computed). Runs
// offscreen unless QT_QPA_PLATFORM says otherwise; the user's settings are left alone.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>

#include "app/analysis/analysis_session.hpp"
#include "app/analysis/analysis_window.hpp"
#include "app/analysis/plot.hpp"
#include "app/analysis/records_page.hpp"
#include "app/analysis/spectra_page.hpp"

namespace {

struct Window {
  Window() {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) qFatal("the window never showed");
    window.resize(1100, 760);
    page = window.spectraPage();
    window.tabs()->setCurrentWidget(page);
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        error = box->text().toStdString();
        box->reject();
      }
    });
    watchdog.start(10);
    window.recordsPage()->openFiles(
        {QStringLiteral(ACCELSPEC_DATA "/analysis/data/RSN8883_14383980_13849090.AT2")});
    page->findChild<QComboBox*>("ComboGrid")->setCurrentIndex(0);
    page->findChild<QLineEdit*>("EditGridFrom")->setText("0.1");
    page->findChild<QLineEdit*>("EditGridTo")->setText("100");
    page->findChild<QLineEdit*>("EditGridStep")->setText("100");
    page->findChild<QLineEdit*>("EditDampings")->setText("0.02, 0.05, 0.1");
    QObject::connect(page, &accelspec::SpectraPage::drawn, [this] { drawn = true; });
    QObject::connect(page->plot(), &accelspec::Plot::painted, [this] { painted = drawn; });
  }

  // Presses the button and waits until the new spectra are on the screen.
  bool computeToPaint() {
    drawn = painted = false;
    QTest::mouseClick(page->findChild<QPushButton*>("ButtonCompute"), Qt::LeftButton);
    while (!painted && error.empty()) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return error.empty();
  }

  accelspec::AnalysisWindow window;
  accelspec::SpectraPage* page = nullptr;
  QTimer watchdog;
  std::string error;
  bool drawn = false, painted = false;
};

std::unique_ptr<Window> theWindow;

void BM_SpectraComputeToPaint(benchmark::State& state) {
  if (!theWindow) theWindow = std::make_unique<Window>();
  Window& w = *theWindow;
  for (auto _ : state) {
    if (!w.computeToPaint()) {
      state.SkipWithError(w.error.c_str());
      break;
    }
  }
  state.counters["series"] = w.page->plot()->seriesCount();
  state.counters["points"] = static_cast<double>(w.page->plot()->points(0).size());
}
BENCHMARK(BM_SpectraComputeToPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The window's settings go to a folder of this run only.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  theWindow.reset();
  return 0;
}
