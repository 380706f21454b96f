#pragma once

#include <QIcon>

namespace accelspec::icons {

/// Faces of the tool buttons and the window icon, drawn by the program itself so that they look
/// the same under every desktop theme.
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
QIcon window();

}  // namespace accelspec::icons
