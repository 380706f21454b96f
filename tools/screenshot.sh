#!/usr/bin/env bash
# Photographs the main window after the typical road into docs/window.png, renders the
# report's response-spectrum page into docs/report.png, and photographs each page of the analysis
# window after its road into docs/analysis-<page>.png. The window: an X server of its
# own (Xvfb) with a window manager (openbox) for the title bar, the road driven by the
# tst_window_screenshot test, then `import -window root`, trimmed to the window.
# Usage: tools/screenshot.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$(pwd)/docs/window.png
cmake --build "$build" --target tst_window_screenshot tst_report tst_analysis_screenshot >/dev/null
driver=$(pwd)/$build/tests/tst_window_screenshot
[ -x "$driver" ] || driver=$build/tests/tst_window_screenshot
mkdir -p docs
xvfb-run -a -s "-screen 0 1100x780x24 -dpi 96" bash -c '
  openbox >/dev/null 2>&1 &
  sleep 1
  QT_QPA_PLATFORM=xcb ACCELSPEC_SCREENSHOT="$1" "$2" -silent
  status=$?
  kill %1 2>/dev/null || true
  exit $status
' screenshot "$out" "$driver"
# The root window is black around the window: keep the window and its frame only.
convert "$out" -bordercolor black -border 1 -trim +repage "$out"
echo "wrote $out"

# The report page, as the report test prints it, at 60 pixels an inch.
page=$(mktemp -d)
QT_QPA_PLATFORM=offscreen ACCELSPEC_REPORT_PDF="$page/report.pdf" "$build/tests/tst_report" \
  responsePageTextsAndPlaces -silent >/dev/null
pdftoppm -png -r 60 -singlefile "$page/report.pdf" "$page/report"
cp "$page/report.png" docs/report.png
rm -rf "$page"
echo "wrote $(pwd)/docs/report.png"

# The analysis window: tst_analysis_screenshot drives one road a page and photographs the window
# (with its frame) after each; a page's road added there lands here as docs/analysis-<page>.png.
analysis=$(pwd)/$build/tests/tst_analysis_screenshot
[ -x "$analysis" ] || analysis=$build/tests/tst_analysis_screenshot
shots=$(mktemp -d)
xvfb-run -a -s "-screen 0 1200x860x24 -dpi 96" bash -c '
  openbox >/dev/null 2>&1 &
  sleep 1
  QT_QPA_PLATFORM=xcb ACCELSPEC_ANALYSIS_SHOTS="$1" "$2" -silent
  status=$?
  kill %1 2>/dev/null || true
  exit $status
' screenshot "$shots" "$analysis"
for shot in "$shots"/analysis-*.png; do
  cp "$shot" docs/
  echo "wrote $(pwd)/docs/$(basename "$shot")"
done
rm -rf "$shots"
