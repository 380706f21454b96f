// SPDX-License-Identifier: MIT
#include "app/response_progress.hpp"

#include <QFontMetrics>
#include <QProgressDialog>
#include <algorithm>

#include "data/messages.hpp"

namespace accelspec {

namespace {

constexpr int kSteps = 1000;
constexpr qint64 kUpdateMs = 50;
constexpr double kMinRemainingMs = 1000;

QString text(std::string_view s) { return QString::fromUtf8(s.data(), std::ssize(s)); }

// The box takes the main window's caption, which is far wider than its label: a box only as wide
// as the label shows the caption cut in the middle. The frame's own caption font is bolder and
// its buttons take room too, hence the margins.
void fitCaption(QProgressDialog& box) {
  QFont captionFont = box.font();
  captionFont.setBold(true);
  const int caption = QFontMetrics(captionFont).horizontalAdvance(box.windowTitle());
  box.setMinimumWidth(std::max(box.minimumWidth(), caption * 5 / 4 + 120));
}

}  // namespace

ResponseProgressDialog::ResponseProgressDialog(QWidget* parent) : parent_(parent) {
  started_.start();
}

ResponseProgressDialog::~ResponseProgressDialog() { delete dialog_.data(); }

bool ResponseProgressDialog::proceed(std::int64_t done, std::int64_t total) {
  const qint64 now = started_.elapsed();
  if (!dialog_) {
    if (now < kDelayMs || done >= total || done <= 0) return true;
    // A box that would close again at once is only a flash: it waits for a run with a second
    // or more still to go.
    const double remaining =
        static_cast<double>(now) * static_cast<double>(total - done) / static_cast<double>(done);
    if (remaining < kMinRemainingMs) return true;
    dialog_ = new QProgressDialog(text(msg::kProgressResponseSpectrum), text(msg::kProgressStop), 0,
                                  kSteps, parent_);
    dialog_->setObjectName("ProgressResponseSpectrum");
    dialog_->setWindowTitle(parent_ ? parent_->windowTitle() : QString());
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    fitCaption(*dialog_);
  } else if (now - lastUpdate_ < kUpdateMs) {
    return !dialog_->wasCanceled();
  }
  lastUpdate_ = now;
  // A modal progress box handles the pending events itself when its value is set.
  dialog_->setValue(static_cast<int>(done * kSteps / std::max<std::int64_t>(total, 1)));
  return !dialog_->wasCanceled();
}

}  // namespace accelspec
