#include "report/qt/treport.hpp"

#include <QWidget>

namespace accelspec {

TReport::TReport(QObject* parent) : QObject(parent) {}
TReport::~TReport() = default;

void TReport::preview(QWidget* mainWindow) { (void)mainWindow; }

bool TReport::exportPdf(const QString& path) {
  (void)path;
  return false;
}

QWidget* TReport::previewWindow() const { return preview_.data(); }

void TReport::render(QPagedPaintDevice& device) const { (void)device; }

}  // namespace accelspec
