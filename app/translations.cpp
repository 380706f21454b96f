// SPDX-License-Identifier: MIT
#include "app/translations.hpp"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace accelspec {

bool installQtTranslations(QCoreApplication& app) {
  // The program speaks Russian whatever the desktop's language; only a Russian desktop gets
  // Qt's own texts in Russian too, so that a dialog never mixes two foreign languages.
  const QLocale locale = QLocale::system();
  if (locale.language() != QLocale::Russian) return false;
  auto* translator = new QTranslator(&app);
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace accelspec
