// SPDX-License-Identifier: MIT
#pragma once

#include <QMessageBox>
#include <QString>
#include <string>

namespace accelspec {

/// The caption of the program's message boxes: the program file's name without its extension.
QString applicationTitle();

/// The program's one message box, modal over `parent`, with an OK button: every error of a
/// command (its text from userMessage) and every notice reaches the user through it. The box is
/// wide enough for its caption, which a narrow box would cut short. `message` is UTF-8, shown as
/// it stands.
void showErrorBox(QWidget* parent, const std::string& message,
                  QMessageBox::Icon icon = QMessageBox::Critical);

}  // namespace accelspec
