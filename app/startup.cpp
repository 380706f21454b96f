// SPDX-License-Identifier: MIT
#include "app/startup.hpp"

#include <QCommandLineParser>
#include <QDir>

#include "files/config.hpp"

namespace accelspec {

void describeStartOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      QString::fromUtf8("Акселерограммы и спектры ответа для инженеров-сейсмиков."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(QCommandLineOption(
      "user-config",
      QString::fromUtf8("хранить config.cfg в $XDG_CONFIG_HOME/accelspec "
                        "(по умолчанию ~/.config/accelspec), а не в рабочей папке")));
  parser.addPositionalArgument(QString::fromUtf8("файлы"),
                               QString::fromUtf8("открыть файлы (*.spv, *.aks, *.spo, *.cfg, "
                                                 "*.brl), как их открывает кнопка «Открыть»"),
                               QString::fromUtf8("[файл...]"));
}

StartOptions startOptions(const QCommandLineParser& parser) {
  StartOptions options;
  options.userConfig = parser.isSet("user-config");
  options.files = parser.positionalArguments();
  return options;
}

QString userConfigPath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  // The XDG rules: a relative path in the variable is invalid and is ignored.
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + "/.config";
  return QDir::cleanPath(base + "/accelspec/" + QString::fromUtf8(kConfigFileName));
}

ConfigLocation configLocation(const StartOptions& options) {
  if (!options.userConfig) return {};
  return {userConfigPath().toStdString(), true};
}

}  // namespace accelspec
