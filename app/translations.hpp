// SPDX-License-Identifier: MIT
#pragma once

class QCoreApplication;

namespace accelspec {

/// Gives Qt's own dialogs and buttons ("Open", "Look in:", "Cancel") the texts of the user's
/// language when it is Russian, from Qt's translation files (qtbase_ru.qm). Without the file
/// they stay English; true when a translation was installed.
bool installQtTranslations(QCoreApplication& app);

}  // namespace accelspec
