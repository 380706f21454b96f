#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages accelspec needs, and only when one is missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n qt6-svg-dev
  libgtest-dev libbenchmark-dev clang libclang-rt-14-dev clang-format
  fonts-dejavu-core locales xvfb xauth x11-utils imagemagick poppler-utils openbox
  desktop-file-utils appstream dpkg-dev groff-base gzip lintian shared-mime-info
  pybind11-dev python3-dev python3-numpy python3-pytest
  libsqlite3-dev libxxhash-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
# A comma-decimal locale for the tests that check the user's separator.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8 || echo "note: could not generate ru_RU.UTF-8"
fi
