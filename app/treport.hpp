// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "report/report.hpp"

class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace accelspec {

/// The printed report: one A4 portrait page with the heading, the chart and two columns of
/// numbers. Created at start and kept for the whole run; fillReport writes page(), preview()
/// and exportPdf() draw it.
class TReport : public QObject {
  Q_OBJECT

 public:
  explicit TReport(QObject* parent = nullptr);
  ~TReport() override;

  ReportPage& page() { return page_; }
  const ReportPage& page() const { return page_; }

  /// Shows the page in a non-modal print-preview window (print, export to PDF) and returns
  /// when that window closes; the main window stays usable meanwhile and gets the focus back.
  void preview(QWidget* mainWindow);

  /// Renders the page to a PDF file. Returns false when the file cannot be written.
  bool exportPdf(const QString& path);

  /// The open preview window, or nullptr when none is shown (lets tests close it).
  QWidget* previewWindow() const;

  /// Draws the page on any paged device (printer, PDF writer); lengths are millimetres on
  /// the page whatever the device resolution.
  void render(QPagedPaintDevice& device) const;

 signals:
  /// Emitted once the preview window is on screen.
  void previewShown();

 private:
  ReportPage page_;
  QPointer<QWidget> preview_;
};

}  // namespace accelspec
