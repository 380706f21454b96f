// SPDX-License-Identifier: MIT
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <thread>

#include "cli/command.hpp"
#include "cli/job.hpp"
#include "compute/response_spectrum.hpp"
#include "data/error.hpp"
#include "records/scan.hpp"

namespace accelspec::cli {

namespace {

// How far the frequencies of a single record have come, on one terminal line. Only the job of
// a single record has one, so only the thread running it ever writes the line.
class TerminalProgress : public ResponseProgress {
 public:
  explicit TerminalProgress(std::ostream& err) : err_(err) {}
  ~TerminalProgress() override { end(); }
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  bool proceed(std::int64_t done, std::int64_t total) override {
    const int percent = static_cast<int>(100 * done / std::max<std::int64_t>(total, 1));
    if (percent != shown_) {
      shown_ = percent;
      err_ << "\rспектр ответа: " << percent << " %" << std::flush;
    }
    return true;
  }
  void end() {
    if (shown_ >= 0) err_ << "\r\033[K" << std::flush;
    shown_ = -1;
  }

 private:
  std::ostream& err_;
  int shown_ = -1;
};

Warnings responseWarnings(const Store& s) {
  Warnings w;
  if (s.Psi < 0) w.push_back("затухание отрицательно");
  if (s.NF < 0) {
    w.push_back("спектр ответа пуст: ни одной частоты от Fbeg до Fend с шагом DF");
    return w;
  }
  for (std::int32_t j = 0; j <= s.NF; ++j)
    if (s.SpA[kResponseBase + j] != 0) return w;
  w.push_back("все значения спектра ответа равны нулю");
  return w;
}

Warnings computeWithWarnings(Store& s, Form& f, ResponseProgress* progress) {
  computeResponseSpectrum(s, f, progress);
  return responseWarnings(s);
}

// Each record's spectrum as DIR/<record name>.spo.
std::vector<Job> batchJobs(const Arguments& a, const FieldTexts& fields) {
  if (a.positional.empty()) throw UsageError("не указаны записи");
  const std::filesystem::path dir = a.get("out-dir");
  std::set<std::string> outputs;
  std::vector<Job> jobs;
  for (const auto& record : a.positional) {
    const std::string out = (dir / std::filesystem::path(record).stem()).string() + ".spo";
    if (!outputs.insert(out).second) throw UsageError("две записи дают один файл " + out);
    jobs.push_back({record, recordKind(a, record), fields,
                    [](Store& s, Form& f) { return computeWithWarnings(s, f, nullptr); }, out});
  }
  return jobs;
}

int runResponse(const Arguments& a, std::ostream& /*out*/, std::ostream& err) {
  FieldTexts fields;
  addField(fields, a, "fbeg", Edit::Fbeg);
  addField(fields, a, "fend", Edit::Fend);
  addField(fields, a, "df", Edit::DF);
  addField(fields, a, "damping", Edit::Psi);
  addField(fields, a, "step", Edit::DT);
  if (a.has("out-dir")) {
    std::vector<Job> jobs = batchJobs(a, fields);
    // The folder is made as spectra makes its own; the window never writes one, so the message
    // is the tool's.
    const std::string& folder = a.get("out-dir");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
      throw AppError(folder + ": не удаётся создать папку: " + records::errnoWords(ec.value()));
    return runJobs(jobs, jobsOption(a), err, isatty(STDERR_FILENO) != 0);
  }
  if (a.has("jobs")) throw UsageError("--jobs задаётся вместе с --out-dir");
  needPositional(a, 2);
  TerminalProgress terminal(err);
  ResponseProgress* progress = isatty(STDERR_FILENO) ? &terminal : nullptr;
  const Job job{a.positional[0], recordKind(a, a.positional[0]), fields,
                [progress, &terminal](Store& s, Form& f) {
                  struct EndLine {  // the line goes before any message is printed
                    TerminalProgress& line;
                    ~EndLine() { line.end(); }
                  } endLine{terminal};
                  return computeWithWarnings(s, f, progress);
                },
                a.positional[1]};
  return runJobs({job}, 1, err, false);
}

}  // namespace

const Command& responseCommand() {
  static const Command command{
      "response",
      {"response RECORD OUT.spo [--kind aks|brl] [--fbeg F] [--fend F] [--df F]\n"
       "                [--damping PSI] [--step DT]",
       "response RECORD... --out-dir DIR [--jobs N] [те же параметры]"},
      "спектр ответа акселерограммы (несколько записей: --out-dir, параллельно --jobs)",
      {"kind", "fbeg", "fend", "df", "damping", "step", "out-dir", "jobs"},
      runResponse,
      {{"--kind aks|brl", "вид записи (по умолчанию по расширению: *.brl — brl, иначе aks)"},
       {"--fbeg F", "начальная частота, Гц (по умолчанию 2)"},
       {"--fend F", "конечная частота, Гц (по умолчанию 30)"},
       {"--df F", "шаг по частоте, Гц (по умолчанию 0.5)"},
       {"--damping PSI", "доля критического затухания (по умолчанию 0.1)"},
       {"--step DT", "шаг записи по времени, с (по умолчанию из файла)"},
       {"--out-dir DIR",
        "папка для спектров нескольких записей, DIR/<имя записи>.spo; создаётся, если её нет"},
       {"--jobs N",
        "сколько записей считать одновременно, от 1 до 9999 (по умолчанию число ядер; только "
        "с --out-dir)"}},
      "response record.aks spectrum.spo --fbeg 2 --fend 30 --df 0.5 --damping 0.05"};
  return command;
}

}  // namespace accelspec::cli
