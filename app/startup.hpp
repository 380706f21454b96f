// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include "lifecycle/form_lifecycle.hpp"

class QCommandLineParser;

namespace accelspec {

/// What the program was started with, besides Qt's own options.
struct StartOptions {
  /// --user-config: config.cfg lives in the user's configuration folder, not the working one.
  /// The desktop entry passes it, so a start from the menu never depends on the working folder.
  bool userConfig = false;
  /// Files to open, in order, each as the Open command would open it.
  QStringList files;
};

/// Declares the program's options on `parser` (--help, --version, --user-config, files).
void describeStartOptions(QCommandLineParser& parser);
/// The options of a parser that has processed the command line.
StartOptions startOptions(const QCommandLineParser& parser);

/// The user's configuration file: $XDG_CONFIG_HOME/accelspec/config.cfg, where an unset or
/// relative XDG_CONFIG_HOME means ~/.config (the XDG base directory rules).
QString userConfigPath();

/// Where the window keeps config.cfg for a start with these options.
ConfigLocation configLocation(const StartOptions& options);

}  // namespace accelspec
