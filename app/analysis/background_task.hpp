// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

class QLabel;
class QProgressBar;
class QPushButton;

namespace accelspec {

/// What a piece of background work sees of its run: whether to stop, and where to report.
class TaskControl {
 public:
  TaskControl(std::stop_token stop, std::function<void(int, const QString&)> report)
      : stop_(std::move(stop)), report_(std::move(report)) {}
  /// True once the user cancelled: the work should return (or throw) soon.
  bool cancelled() const { return stop_.stop_requested(); }
  const std::stop_token& stopToken() const { return stop_; }
  /// Progress in percent (0 … 100) with a short text; delivered on the GUI thread.
  void report(int percent, const QString& text = {}) const { report_(percent, text); }

 private:
  std::stop_token stop_;
  std::function<void(int, const QString&)> report_;
};

/// Runs one piece of work at a time off the GUI thread. Its result reaches `done` on the GUI
/// thread; an error reaches the user through the program's error box over `owner`; a cancelled
/// run delivers nothing, so whatever the work would have changed stays as it was.
class BackgroundTask : public QObject {
  Q_OBJECT

 public:
  explicit BackgroundTask(QWidget* owner);
  /// Cancels a run still going without waiting for it: the run finds this object gone.
  ~BackgroundTask() override;

  bool busy() const { return busy_; }

  /// Starts `work`, cancelling a run still going (never waiting for it: a cancelled run ends
  /// on its own, and what it delivers is dropped). `done` runs on the GUI thread with the
  /// result unless the run was cancelled or threw.
  template <typename T>
  void start(std::function<T(const TaskControl&)> work, std::function<void(T&)> done) {
    auto result = std::make_shared<std::optional<T>>();
    startErased(
        [work = std::move(work), result](const TaskControl& c) { result->emplace(work(c)); },
        [done = std::move(done), result] {
          if (*result) done(**result);
        });
  }

  /// Asks the running work to stop; its result, if it still comes, is dropped.
  void cancel();

  /// Waits until no run is going, delivering what finished (for tests and the benchmark).
  /// False when `timeoutMs` passed first.
  bool wait(int timeoutMs = 60000);

  /// Suppresses the error box (tests read lastError instead).
  void setShowErrors(bool show) { showErrors_ = show; }
  /// The message of the last run that failed, empty when it succeeded.
  const QString& lastError() const { return lastError_; }

 signals:
  void started();
  void progress(int percent, const QString& text);
  /// After every run: succeeded, failed or cancelled.
  void finished(bool succeeded);
  /// When the work of a run has returned, cancelled or not (a cancelled run's work goes on until
  /// it notices; what it changed outside the task, such as files, is complete only then).
  void workEnded();

 private:
  // What a run's thread reaches this object through: null once the object is gone.
  struct Channel {
    std::mutex mutex;
    BackgroundTask* task = nullptr;
  };

  void startErased(std::function<void(const TaskControl&)> work, std::function<void()> done);
  void deliver(std::uint64_t run, std::exception_ptr error, const std::function<void()>& done);

  QPointer<QWidget> owner_;
  std::shared_ptr<Channel> channel_;
  std::stop_source stop_;  // the running run's
  std::uint64_t run_ = 0;  // the run whose results count; others are dropped
  bool busy_ = false;
  bool showErrors_ = true;
  QString lastError_;
};

/// A thin progress bar and an "Отмена" button, shown while a task runs.
class TaskProgress : public QWidget {
  Q_OBJECT

 public:
  TaskProgress(BackgroundTask& task, QWidget* parent = nullptr);

 private:
  QLabel* text_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace accelspec
