// SPDX-License-Identifier: MIT
#include <cstdint>
#include <ostream>

#include "cli/command.hpp"
#include "cli/job.hpp"
#include "compute/time_window.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"

namespace accelspec::cli {

namespace {

Warnings windowWarnings(const Store& s, std::int32_t recordSamples) {
  Warnings w;
  if (s.Tend < s.Tbeg) {
    w.push_back("конец окна раньше его начала");
  } else {
    // The cut has read old samples up to Round(Tend / DT) + 1; those past the record's last
    // sample are zeros. The quotient has been computed once already without a fault.
    const std::int64_t lastRead = fpu::round64(s.Tend / s.DT) + 1;
    if (lastRead > recordSamples)
      w.push_back("окно выходит за конец записи на " +
                  msg::countOf(lastRead - recordSamples, "отсчёт", "отсчёта", "отсчётов") +
                  ": там нули");
  }
  warnAboutRecord(s, w);
  return w;
}

int runWindow(const Arguments& a, std::ostream& /*out*/, std::ostream& err) {
  needPositional(a, 2);
  if (!a.has("from") || !a.has("to")) throw UsageError("нужны --from и --to");
  Job job{a.positional[0], recordKind(a, a.positional[0]), {}, {}, a.positional[1]};
  addField(job.fields, a, "from", Edit::Tbeg);
  addField(job.fields, a, "to", Edit::Tend);
  job.compute = [](Store& s, Form& f) {
    const std::int32_t samples = s.ND;
    cutTimeWindow(s, f);
    return windowWarnings(s, samples);
  };
  return runJobs({job}, 1, err, false);
}

}  // namespace

const Command& windowCommand() {
  static const Command command{
      "window",
      {"window RECORD OUT.aks --from TBEG --to TEND [--kind aks|brl]"},
      "вырезать временное окно из акселерограммы",
      {"from", "to", "kind"},
      runWindow,
      {{"--from TBEG", "начало окна, с (обязателен)"},
       {"--to TEND", "конец окна, с (обязателен)"},
       {"--kind aks|brl", "вид записи (по умолчанию по расширению: *.brl — brl, иначе aks)"}},
      "window record.aks part.aks --from 2 --to 5"};
  return command;
}

}  // namespace accelspec::cli
