// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/arguments.hpp"
#include "compute/parallel.hpp"
#include "data/form.hpp"
#include "data/store.hpp"

namespace accelspec::cli {

/// Warnings about a result that follows the rules but is hardly what a script wanted.
using Warnings = std::vector<std::string>;

/// One run of the program's own commands, as the window would do them: open `input` as `kind`,
/// set the field texts, compute, save `output`.
struct Job {
  std::string input;
  int kind = kAks;
  FieldTexts fields;
  /// The command's work on the opened file; returns its warnings. Empty: save what was opened.
  std::function<Warnings(Store&, Form&)> compute;
  std::string output;
};

/// What a job ended with: the message the window would show ("" on success) and the warnings.
struct JobResult {
  std::string message;
  Warnings warnings;
};

/// Runs `job` in a freshly made store. Never throws: every failure becomes its message.
JobResult runJob(const Job& job);

/// One line per job whose output is one of the inputs of `jobs` (the same device and inode,
/// through any link or folder); empty when none is.
std::vector<std::string> outputsThatAreInputs(const std::vector<Job>& jobs);

/// The same for any command: one line per name in `outputs` that is one of `inputs`.
std::vector<std::string> outputsThatAreInputs(const std::vector<std::string>& inputs,
                                              const std::vector<std::string>& outputs);

/// The files a call's options name for reading: --seed, --target and the file of
/// --grid file:PATH (a named design spectrum or grid names none; a name that is no file is
/// passed on and harms nothing).
std::vector<std::string> optionInputs(const Arguments& a);

/// Writes the lines of outputsThatAreInputs(inputs, outputs) and "ничего не записано" on `err`
/// when there are any; returns whether there were (the command must then stop with status 1).
bool refuseOutputsThatAreInputs(const std::vector<std::string>& inputs,
                                const std::vector<std::string>& outputs, std::ostream& err);

/// Runs `jobs` on up to `threads` threads (threads the system refuses are done without) after
/// checking that no output is an input (otherwise nothing runs). Messages and warnings go to
/// `err`, each prefixed by its record's name when there are several jobs. `showProgress`: a
/// progress line on `err` while several jobs run. Returns the exit status: 0, or 1 when a job
/// failed.
int runJobs(const std::vector<Job>& jobs, unsigned threads, std::ostream& err, bool showProgress,
            const ThreadStarter& start = startThread);

/// Writes msg::noMotion(name) on `err` when every sample of `accel` is zero; returns whether it
/// did. Such a record has no spectrum and no duration to speak of, though nothing fails.
bool warnAboutNoMotion(const std::string& name, const std::vector<double>& accel,
                       std::ostream& err);

/// Warnings about a record of `nd` samples Acc[1 … nd]: empty, or every sample zero.
void warnAboutRecord(const Store& s, Warnings& w);

}  // namespace accelspec::cli
