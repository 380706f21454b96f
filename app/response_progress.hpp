// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include "compute/response_spectrum.hpp"

class QProgressDialog;
class QWidget;

namespace accelspec {

/// The progress of a response spectrum run: nothing for a short run; once a run has taken a
/// moment and has a second or more to go, a modal progress box whose button stops the run with
/// the points computed so far. The box paints
/// while the run goes on, but no other command can start meanwhile.
class ResponseProgressDialog : public ResponseProgress {
 public:
  explicit ResponseProgressDialog(QWidget* parent);
  ~ResponseProgressDialog() override;
  ResponseProgressDialog(const ResponseProgressDialog&) = delete;
  ResponseProgressDialog& operator=(const ResponseProgressDialog&) = delete;

  bool proceed(std::int64_t done, std::int64_t total) override;

  /// Runs shorter than this show nothing.
  static constexpr int kDelayMs = 400;

 private:
  QWidget* parent_;
  QPointer<QProgressDialog> dialog_;
  QElapsedTimer started_;
  qint64 lastUpdate_ = 0;
};

}  // namespace accelspec
