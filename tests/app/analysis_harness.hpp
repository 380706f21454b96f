// SPDX-License-Identifier: MIT
#pragma once

// The analysis window opened from a running main window, with the user's settings kept in a
// folder of the test's own.

#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

#include "app/analysis/analysis_session.hpp"
#include "app/analysis/analysis_window.hpp"
#include "tests/app/window_harness.hpp"

namespace accelspec::testing {

/// Opens the analysis window through the main window's button; nullptr when it did not open.
inline AnalysisWindow* openAnalysis(Session& s) {
  s.press("SpeedButtonAnalysis");
  AnalysisWindow* w = s.forma->analysisWindow();
  if (!w || !QTest::qWaitForWindowExposed(w)) return nullptr;
  Session::settle();
  return w;
}

/// A folder of the test's own holding a configuration that starts at `fbeg`, the analysis
/// window's settings cleared; nullptr when it cannot be made.
inline std::unique_ptr<QTemporaryDir> freshFolder(const char* fbeg) {
  auto dir = std::make_unique<QTemporaryDir>();
  if (!dir->isValid() || !writeFile(dir->filePath("config.cfg"), configWithStart(fbeg)))
    return nullptr;
  QSettings(QStringLiteral("accelspec"), QStringLiteral("accelspec")).clear();
  return dir;
}

/// Waits until `condition` holds, letting the event loop run; false after `ms`.
template <typename Condition>
bool waitFor(Condition condition, int ms = 60000) {
  return QTest::qWaitFor(condition, ms);
}

}  // namespace accelspec::testing

/// main() of an analysis window test: the locale fixed, and the settings in a fresh folder of
/// this run's own (not Qt's test mode, whose folder every test binary shares), so that no run
/// reads or changes the user's settings or another run's.
#define ACCELSPEC_ANALYSIS_TEST_MAIN(TestClass, locale) \
  int main(int argc, char** argv) {                     \
    QTemporaryDir config;                               \
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8()); \
    qputenv("LC_ALL", locale);                          \
    QApplication app(argc, argv);                       \
    app.setAttribute(Qt::AA_Use96Dpi, true);            \
    TestClass test;                                     \
    QTEST_SET_MAIN_SOURCE_PATH                          \
    return QTest::qExec(&test, argc, argv);             \
  }
