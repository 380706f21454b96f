#include "app/analysis/background_task.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include "app/error_box.hpp"
#include "data/error.hpp"

namespace accelspec {

BackgroundTask::BackgroundTask(QWidget* owner) : QObject(owner), owner_(owner) {}

BackgroundTask::~BackgroundTask() {
  run_++;
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

void BackgroundTask::startErased(std::function<void(const TaskControl&)> work,
                                 std::function<void()> done) {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  const std::uint64_t run = ++run_;
  busy_ = true;
  lastError_.clear();
  emit started();
  thread_ = std::jthread(
      [this, run, work = std::move(work), done = std::move(done)](std::stop_token stop) {
        // Progress and the result go to the GUI thread as queued calls on this object, which
        // drops them if it is gone by then.
        auto report = [this, run](int percent, const QString& text) {
          QMetaObject::invokeMethod(
              this,
              [this, run, percent, text] {
                if (run == run_) emit progress(percent, text);
              },
              Qt::QueuedConnection);
        };
        std::exception_ptr error;
        try {
          work(TaskControl(stop, report));
        } catch (...) {
          error = std::current_exception();
        }
        if (stop.stop_requested()) error = nullptr;
        QMetaObject::invokeMethod(
            this, [this, run, error, done] { deliver(run, error, done); }, Qt::QueuedConnection);
      });
}

void BackgroundTask::deliver(std::uint64_t run, std::exception_ptr error,
                             const std::function<void()>& done) {
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
  thread_.request_stop();
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
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setTextVisible(true);
  cancel_ = new QPushButton(QString::fromUtf8("Отмена"), this);
  cancel_->setObjectName(QStringLiteral("ButtonCancel"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(bar_, 1);
  layout->addWidget(cancel_);
  setVisible(false);
  connect(cancel_, &QPushButton::clicked, &task, &BackgroundTask::cancel);
  connect(&task, &BackgroundTask::started, this, [this] {
    bar_->setValue(0);
    bar_->setFormat(QStringLiteral("%p %"));
    setVisible(true);
  });
  connect(&task, &BackgroundTask::progress, this, [this](int percent, const QString& text) {
    bar_->setValue(percent);
    bar_->setFormat(text.isEmpty() ? QStringLiteral("%p %") : text + QStringLiteral(" — %p %"));
  });
  connect(&task, &BackgroundTask::finished, this, [this] { setVisible(false); });
}

}  // namespace accelspec
