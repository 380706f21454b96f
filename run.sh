#!/usr/bin/env bash
# Installs what is missing, builds accelspec and starts it.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target accelspec accelspec-cli
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available, so the window cannot be shown here."
  echo "Run it under a virtual X server instead:  xvfb-run -a -s '-screen 0 1280x800x24' build/accelspec"
  exit 0
fi
exec build/accelspec "$@"
