// SPDX-License-Identifier: MIT
#include <ostream>

#include "cli/command.hpp"
#include "cli/job.hpp"
#include "compute/synthesis.hpp"

namespace accelspec::cli {

namespace {

Warnings synthesisWarnings(const Store& s) {
  Warnings w;
  if (s.N < 2) w.push_back("в спектре воздействия меньше двух точек");
  if (s.T < 0) w.push_back("длительность отрицательна");
  if (s.DT < 0) w.push_back("шаг по времени отрицателен");
  warnAboutRecord(s, w);
  return w;
}

int runSynth(const Arguments& a, std::ostream& /*out*/, std::ostream& err) {
  needPositional(a, 2);
  Job job{a.positional[0], kSpv, {}, {}, a.positional[1]};
  addField(job.fields, a, "duration", Edit::T);
  addField(job.fields, a, "samples", Edit::ND);
  addField(job.fields, a, "step", Edit::DT);
  job.compute = [](Store& s, Form& f) {
    synthesizeAccelerogram(s, f);
    return synthesisWarnings(s);
  };
  return runJobs({job}, 1, err, false);
}

}  // namespace

const Command& synthCommand() {
  static const Command command{
      "synth",
      {"synth SPECTRUM.spv OUT.aks [--duration T] [--samples ND] [--step DT]"},
      "синтез акселерограммы по спектру воздействия",
      {"duration", "samples", "step"},
      runSynth,
      {{"--duration T", "длительность воздействия, с (по умолчанию 20)"},
       {"--samples ND", "число отсчётов акселерограммы, не более 100000 (по умолчанию 5000)"},
       {"--step DT", "шаг по времени, с (по умолчанию 0.004)"}},
      "synth design.spv record.aks --duration 20 --samples 5000 --step 0.004"};
  return command;
}

}  // namespace accelspec::cli
