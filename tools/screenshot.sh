#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Photographs the main window after the typical road into docs/window.png, and its steps that
# the user's guide shows into docs/guide-*.png, renders the report's response-spectrum page into
# docs/report.png, and photographs each page of the analysis window after its road into
# docs/analysis-<page>.png. The window: an X server of its
# own (Xvfb) with a window manager (openbox) for the title bar, the road driven by the
# tst_window_screenshot test, then `import -window root`, trimmed to the window.
# Usage: tools/screenshot.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$(pwd)/docs/window.png
cmake --build "$build" --target tst_window_screenshot tst_report tst_analysis_screenshot >/dev/null
case $build in /*) tests=$build/tests ;; *) tests=$(pwd)/$build/tests ;; esac
mkdir -p docs

# Runs the screenshot test $3 on an X server of its own of size $1 with a window manager (for
# the title bars), telling it where to write through the environment setting $2.
photograph() {
  xvfb-run -a -s "-screen 0 $1x24 -dpi 96" bash -c '
    openbox >/dev/null 2>&1 &
    sleep 1
    env QT_QPA_PLATFORM=xcb "$1" "$2" -silent
    status=$?
    kill %1 2>/dev/null || true
    exit $status
  ' screenshot "$2" "$tests/$3"
}

photograph 1100x780 "ACCELSPEC_SCREENSHOT=$out" tst_window_screenshot
# The root window is black around the window: keep the window and its frame only.
for picture in "$out" docs/guide-spectrum-table.png docs/guide-accelerogram.png \
  docs/guide-response-spectrum.png docs/guide-time-window.png docs/guide-help.png; do
  convert "$picture" -bordercolor black -border 1 -trim +repage "$picture"
  echo "wrote $picture"
done

# The report page, as the report test prints it, at 60 pixels an inch.
page=$(mktemp -d)
QT_QPA_PLATFORM=offscreen ACCELSPEC_REPORT_PDF="$page/report.pdf" "$tests/tst_report" \
  responsePageTextsAndPlaces -silent >/dev/null
pdftoppm -png -r 60 -singlefile "$page/report.pdf" "$page/report"
cp "$page/report.png" docs/report.png
rm -rf "$page"
echo "wrote $(pwd)/docs/report.png"

# The analysis window: tst_analysis_screenshot drives one road a page and photographs the window
# (with its frame) after each; a page's road added there lands here as docs/analysis-<page>.png.
shots=$(mktemp -d)
photograph 1200x860 "ACCELSPEC_ANALYSIS_SHOTS=$shots" tst_analysis_screenshot
for shot in "$shots"/analysis-*.png; do
  cp "$shot" docs/
  echo "wrote $(pwd)/docs/$(basename "$shot")"
done
rm -rf "$shots"
