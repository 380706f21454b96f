// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace accelspec::icons {

/// Faces of the tool buttons and the window icon: the program's own drawings (SVG files in the
/// resources, app/icons/), so that they look the same under every desktop theme and stay sharp
/// at any scale.
QIcon open();
QIcon save();
QIcon report();
QIcon preview();
/// A sine sweep: the synthesised accelerogram.
QIcon synthesis();
/// A damped resonance curve: the response spectrum.
QIcon responseSpectrum();
/// A record between two brackets: the time window (drawn for the tall 23 × 45 button).
QIcon timeWindow();
/// Spectra of several records against a band: the analysis window.
QIcon analysis();
QIcon window();

}  // namespace accelspec::icons
