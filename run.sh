#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds accelspec and starts it.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(accelspec accelspec-cli)
# The Python module, when pybind11 was found: PYTHONPATH=build/python python3 -c "import accelspec"
if cmake --build build --target help | grep -q '^\.\.\. accelspec_python$'; then
  targets+=(accelspec_python)
fi
cmake --build build -j"$(nproc)" --target "${targets[@]}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available, so the window cannot be shown here."
  echo "Run it under a virtual X server instead:  xvfb-run -a -s '-screen 0 1280x800x24' build/accelspec"
  exit 0
fi
exec build/accelspec "$@"
