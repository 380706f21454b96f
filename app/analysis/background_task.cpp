// SPDX-License-Identifier: MIT
#include "app/analysis/background_task.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <thread>

#include "app/error_box.hpp"
#include "data/error.hpp"

namespace accelspec {

BackgroundTask::BackgroundTask(QWidget* owner)
    : QObject(owner), owner_(owner), channel_(std::make_shared<Channel>()) {
  channel_->task = this;
}

BackgroundTask::~BackgroundTask() {
  stop_.request_stop();
  // Once the channel is cut no thread posts to this object again; what it posted before is
  // dropped with the object.
  const std::lock_guard lock(channel_->mutex);
  channel_->task = nullptr;
}

namespace {

// Calls `call(task)` on the GUI thread while the task lives; a task gone by then drops it.
template <typename Channel, typename Call>
void post(Channel& channel, Call call) {
  const std::lock_guard lock(channel.mutex);
  if (auto* task = channel.task)
    QMetaObject::invokeMethod(
        task, [task, call = std::move(call)] { call(*task); }, Qt::QueuedConnection);
}

}  // namespace

void BackgroundTask::startErased(std::function<void(const TaskControl&)> work,
                                 std::function<void()> done) {
  // The run still going is told to stop and left to end on its own: joining it here would hold
  // the window for as long as its current step takes.
  stop_.request_stop();
  stop_ = std::stop_source();
  const std::uint64_t run = ++run_;
  busy_ = true;
  lastError_.clear();
  emit started();
  std::thread([channel = channel_, run, stop = stop_.get_token(), work = std::move(work),
               done = std::move(done)] {
    auto report = [channel, run](int percent, const QString& text) {
      post(*channel, [run, percent, text](BackgroundTask& task) {
        if (run == task.run_) emit task.progress(percent, text);
      });
    };
    std::exception_ptr error;
    try {
      work(TaskControl(stop, report));
    } catch (...) {
      error = std::current_exception();
    }
    if (stop.stop_requested()) error = nullptr;
    post(*channel, [run, error, done](BackgroundTask& task) { task.deliver(run, error, done); });
  }).detach();
}

void BackgroundTask::deliver(std::uint64_t run, std::exception_ptr error,
                             const std::function<void()>& done) {
  emit workEnded();
  if (run != run_) return;  // cancelled, or replaced by a newer run
  busy_ = false;
  if (error) {
    const std::string message = userMessage(error);
    lastError_ = QString::fromStdString(message);
    emit finished(false);
    if (showErrors_) showErrorBox(owner_, message);
    return;
  }
  done();
  emit finished(true);
}

void BackgroundTask::cancel() {
  if (!busy_) return;
  stop_.request_stop();
  run_++;
  busy_ = false;
  emit finished(false);
}

bool BackgroundTask::wait(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (busy_) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  QCoreApplication::processEvents();
  return true;
}

TaskProgress::TaskProgress(BackgroundTask& task, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TaskProgress"));
  // The text of a step sits above the bar, whole: inside the bar it was cut to the bar's width.
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("TaskProgressText"));
  text_->setWordWrap(true);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setTextVisible(true);
  bar_->setFormat(QStringLiteral("%p %"));
  cancel_ = new QPushButton(QString::fromUtf8("Отмена"), this);
  cancel_->setObjectName(QStringLiteral("ButtonCancel"));
  auto* row = new QHBoxLayout;
  row->addWidget(bar_, 1);
  row->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(text_);
  layout->addLayout(row);
  setVisible(false);
  connect(cancel_, &QPushButton::clicked, &task, &BackgroundTask::cancel);
  connect(&task, &BackgroundTask::started, this, [this] {
    bar_->setValue(0);
    text_->clear();
    text_->setVisible(false);
    setVisible(true);
  });
  connect(&task, &BackgroundTask::progress, this, [this](int percent, const QString& text) {
    bar_->setValue(percent);
    text_->setText(text);
    text_->setVisible(!text.isEmpty());
  });
  connect(&task, &BackgroundTask::finished, this, [this] { setVisible(false); });
}

}  // namespace accelspec
