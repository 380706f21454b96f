// SPDX-License-Identifier: MIT
#include "cli/job.hpp"

#include <sys/stat.h>

#include <atomic>
#include <mutex>
#include <new>
#include <ostream>

#include "analysis/analysis_messages.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "data/plain_form.hpp"
#include "files/open_command.hpp"
#include "files/save_command.hpp"

namespace accelspec::cli {

JobResult runJob(const Job& job) {
  JobResult result;
  try {
    auto store = makeStore();  // like a freshly started program, configuration never loaded
    PlainForm form;
    form.openFileName = job.input;
    form.openFilterIndex = job.kind;
    form.openAccept = true;
    openFile(*store, form);
    for (const auto& [edit, text] : job.fields) form.setText(edit, text);
    if (job.compute) result.warnings = job.compute(*store, form);
    form.saveFileName = job.output;
    form.saveAccept = true;
    saveFile(*store, form);
  } catch (...) {
    result = {userMessage(std::current_exception()), {}};
  }
  return result;
}

namespace {

struct FileId {
  dev_t device;
  ino_t inode;
  bool operator==(const FileId&) const = default;
};

// Follows every link: a link to the input is the input. A name that cannot be looked up (not
// there yet, or not allowed) is no file the run could overwrite unseen.
bool identify(const std::string& path, FileId& id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  id = {st.st_dev, st.st_ino};
  return true;
}

}  // namespace

std::vector<std::string> outputsThatAreInputs(const std::vector<std::string>& inputs,
                                              const std::vector<std::string>& outputs) {
  std::vector<std::pair<FileId, const std::string*>> ids;
  for (const auto& input : inputs) {
    FileId id{};
    if (identify(input, id)) ids.emplace_back(id, &input);
  }
  std::vector<std::string> clashes;
  for (const auto& output : outputs) {
    FileId out{};
    if (!identify(output, out)) continue;
    for (const auto& [in, name] : ids) {
      if (in == out) {
        clashes.push_back(output + ": файл результата совпадает с входным файлом " + *name);
        break;
      }
    }
  }
  return clashes;
}

std::vector<std::string> optionInputs(const Arguments& a) {
  std::vector<std::string> inputs;
  for (const char* name : {"seed", "target"})
    if (a.has(name)) inputs.push_back(a.get(name));
  if (a.has("grid") && a.get("grid").starts_with("file:"))
    inputs.push_back(a.get("grid").substr(5));
  return inputs;
}

bool refuseOutputsThatAreInputs(const std::vector<std::string>& inputs,
                                const std::vector<std::string>& outputs, std::ostream& err) {
  const auto clashes = outputsThatAreInputs(inputs, outputs);
  for (const auto& line : clashes) err << line << '\n';
  if (!clashes.empty()) err << "ничего не записано\n";
  return !clashes.empty();
}

std::vector<std::string> outputsThatAreInputs(const std::vector<Job>& jobs) {
  std::vector<std::string> inputs, outputs;
  for (const auto& job : jobs) {
    inputs.push_back(job.input);
    outputs.push_back(job.output);
  }
  return outputsThatAreInputs(inputs, outputs);
}

namespace {

// The one writer to the terminal while jobs run: messages, warnings and the progress line,
// which it rewrites in place.
class RecordReport {
 public:
  RecordReport(std::ostream& err, std::size_t total, bool progress)
      : err_(err), total_(total), progress_(progress) {}

  void finished(const std::string& prefix, const JobResult& r) {
    std::lock_guard lock(mutex_);
    if (!r.message.empty() || !r.warnings.empty()) {
      if (shown_) err_ << "\r\033[K";
      shown_ = false;
      if (!r.message.empty()) err_ << prefix << r.message << '\n';
      for (const auto& w : r.warnings) err_ << prefix << "предупреждение: " << w << '\n';
    }
    ++done_;
    if (progress_) {
      err_ << "\rзаписей обработано: " << done_ << " из " << total_;
      shown_ = true;
    }
    err_ << std::flush;
  }

  void end() {
    std::lock_guard lock(mutex_);
    if (shown_) err_ << '\n' << std::flush;
    shown_ = false;
  }

 private:
  std::mutex mutex_;
  std::ostream& err_;
  const std::size_t total_;
  const bool progress_;
  std::size_t done_ = 0;
  bool shown_ = false;  // the cursor stands at the end of the progress line
};

}  // namespace

int runJobs(const std::vector<Job>& jobs, unsigned threads, std::ostream& err, bool showProgress,
            const ThreadStarter& start) {
  std::vector<std::string> inputs, outputs;
  for (const auto& job : jobs) {
    inputs.push_back(job.input);
    outputs.push_back(job.output);
  }
  if (refuseOutputsThatAreInputs(inputs, outputs, err)) return 1;
  RecordReport report(err, jobs.size(), showProgress && jobs.size() > 1);
  std::atomic<bool> failed{false};
  parallelFor(
      jobs.size(), threads,
      [&](std::size_t i) {
        const JobResult r = runJob(jobs[i]);
        if (!r.message.empty()) failed = true;
        report.finished(jobs.size() > 1 ? jobs[i].input + ": " : "", r);
      },
      start);
  report.end();
  return failed ? 1 : 0;
}

bool warnAboutNoMotion(const std::string& name, const std::vector<double>& accel,
                       std::ostream& err) {
  for (double a : accel)
    if (a != 0) return false;
  err << msg::noMotion(name) << '\n';
  return true;
}

void warnAboutRecord(const Store& s, Warnings& w) {
  if (s.ND <= 0) {
    w.push_back("акселерограмма пуста (отсчётов: " + std::to_string(s.ND) + ")");
    return;
  }
  for (std::int32_t k = 1; k <= s.ND; ++k)
    if (s.Acc[k] != 0) return;
  w.push_back("все отсчёты акселерограммы равны нулю");
}

}  // namespace accelspec::cli
