// SPDX-License-Identifier: MIT
#include "app/error_box.hpp"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QSpacerItem>

namespace accelspec {

QString applicationTitle() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void showErrorBox(QWidget* parent, const std::string& message, QMessageBox::Icon icon) {
  QMessageBox box(icon, applicationTitle(), QString::fromStdString(message), QMessageBox::Ok,
                  parent);
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 140;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
}

}  // namespace accelspec
