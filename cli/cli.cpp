#include "cli/cli.hpp"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/analysis_cli.hpp"
#include "cli/records_cli.hpp"
#include "compute/response_spectrum.hpp"
#include "compute/synthesis.hpp"
#include "compute/time_window.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "data/plain_form.hpp"
#include "data/store.hpp"
#include "files/open_command.hpp"
#include "files/save_command.hpp"

namespace accelspec::cli {

namespace {

constexpr const char* kUsage =
    "Использование:\n"
    "  accelspec-cli synth SPECTRUM.spv OUT.aks [--duration T] [--samples ND] [--step DT]\n"
    "  accelspec-cli response RECORD OUT.spo [--kind aks|brl] [--fbeg F] [--fend F] [--df F]\n"
    "                [--damping PSI] [--step DT]\n"
    "  accelspec-cli response RECORD... --out-dir DIR [--jobs N] [те же параметры]\n"
    "  accelspec-cli window RECORD OUT.aks --from TBEG --to TEND [--kind aks|brl]\n"
    "  accelspec-cli convert INPUT OUT [--kind spv|aks|spo|cfg|brl]\n"
    "  accelspec-cli import RECORD OUT.aks [--format F] [--units U] [--step DT] [--channel N]\n"
    "  accelspec-cli spectra RECORD... [--grid G] [--damping LIST] [--quantity LIST]\n"
    "                [--peaks refined|samples] [--rotd 50|100] [--csv OUT.csv | --out-dir DIR]\n"
    "                [--jobs N] [READING]\n"
    "  accelspec-cli measures RECORD... [--csv OUT.csv] [READING]\n"
    "  accelspec-cli --help\n"
    "\n"
    "synth     синтез акселерограммы по спектру воздействия\n"
    "response  спектр ответа акселерограммы (несколько записей: --out-dir, параллельно --jobs)\n"
    "window    вырезать временное окно из акселерограммы\n"
    "convert   открыть файл и сохранить его так, как это делает программа\n"
    "import    записать запись из базы (at2, knet, cosmos, columns, aks, brl) как *.aks\n"
    "spectra   спектры psa, sa, sv, psv, sd (сетки log:FMIN:FMAX:N, periods:TMIN:TMAX:N,\n"
    "          lin:FBEG:FEND:DF, srp, nga, file:PATH; по умолчанию log:0.1:100:100, 0.05, psa)\n"
    "measures  pga, pgv, pgd, arias, d5_75, d5_95, cav, cav_std, housner_5, единицы СИ\n"
    "READING   [--format F] [--units U] [--step DT] [--channel N], как у import\n"
    "\n"
    "Числа пишутся с точкой. Не заданный параметр имеет значение по умолчанию программы\n"
    "(после открытия записи шаг по времени берётся из файла). Файл config.cfg не используется.\n"
    "Код выхода: 0 готово, 1 ошибка (текст в stderr), 2 неверный вызов.\n";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Open dialog filter indices.
enum Kind { kSpv = 1, kAks = 2, kSpo = 3, kCfg = 4, kBrl = 5 };

int kindByName(const std::string& name) {
  static const std::map<std::string, int> kinds = {
      {"spv", kSpv}, {"aks", kAks}, {"spo", kSpo}, {"cfg", kCfg}, {"brl", kBrl}};
  auto it = kinds.find(name);
  return it == kinds.end() ? 0 : it->second;
}

std::string extensionOf(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext;
}

struct Arguments {
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;

  bool has(const std::string& name) const { return options.count(name) != 0; }
  const std::string& get(const std::string& name) const { return options.at(name); }
};

Arguments parse(int argc, const char* const* argv, const std::set<std::string>& allowed) {
  Arguments a;
  a.command = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0 || arg == "--") {
      a.positional.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2), value;
    const auto eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.erase(eq);
    } else {
      if (i + 1 >= argc) throw UsageError("у параметра --" + name + " нет значения");
      value = argv[++i];
    }
    if (!allowed.count(name)) throw UsageError("неизвестный параметр --" + name);
    if (a.options.count(name)) throw UsageError("параметр --" + name + " задан дважды");
    a.options[name] = value;
  }
  return a;
}

// One run of the program's own commands, as the window would do them: open, set fields,
// compute, save. Returns the message the window would show, or "" on success.
struct Job {
  std::string input;
  int kind = kAks;
  std::vector<std::pair<Edit, std::string>> fields;
  std::function<void(Store&, Form&)> compute;
  std::string output;
};

std::string runJob(const Job& job) {
  try {
    auto store = makeStore();  // like a freshly started program, configuration never loaded
    PlainForm form;
    form.openFileName = job.input;
    form.openFilterIndex = job.kind;
    form.openAccept = true;
    openFile(*store, form);
    for (const auto& [edit, text] : job.fields) form.setText(edit, text);
    if (job.compute) job.compute(*store, form);
    form.saveFileName = job.output;
    form.saveAccept = true;
    saveFile(*store, form);
    return "";
  } catch (const AppError& e) {
    return msg::withFullStop(e.what());
  } catch (const std::bad_alloc&) {
    return msg::withFullStop("Out of memory");
  }
}

void needPositional(const Arguments& a, std::size_t count) {
  if (a.positional.size() != count)
    throw UsageError("команде " + a.command + " нужно файлов: " + std::to_string(count));
}

int recordKind(const Arguments& a, const std::string& path) {
  if (a.has("kind")) {
    const int k = kindByName(a.get("kind"));
    if (k != kAks && k != kBrl) throw UsageError("--kind должен быть aks или brl");
    return k;
  }
  return extensionOf(path) == "brl" ? kBrl : kAks;
}

void addField(std::vector<std::pair<Edit, std::string>>& fields, const Arguments& a,
              const char* option, Edit edit) {
  if (a.has(option)) fields.emplace_back(edit, a.get(option));
}

// Progress of several records on a terminal: one line rewritten in place.
class RecordProgress {
 public:
  RecordProgress(std::ostream& err, std::size_t total, bool enabled)
      : err_(err), total_(total), enabled_(enabled) {}
  void finished() {
    std::lock_guard lock(mutex_);
    ++done_;
    if (enabled_) err_ << "\rзаписей обработано: " << done_ << " из " << total_ << std::flush;
  }
  void print(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (enabled_) err_ << "\r\033[K";
    err_ << line << '\n' << std::flush;
  }
  void end() {
    if (enabled_ && done_ > 0) err_ << '\n' << std::flush;
  }

 private:
  std::ostream& err_;
  std::size_t total_;
  std::size_t done_ = 0;
  bool enabled_;
  std::mutex mutex_;
};

class TerminalProgress : public ResponseProgress {
 public:
  explicit TerminalProgress(std::ostream& err) : err_(err) {}
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

int runResponse(const Arguments& a, std::ostream& err) {
  std::vector<std::pair<Edit, std::string>> fields;
  addField(fields, a, "fbeg", Edit::Fbeg);
  addField(fields, a, "fend", Edit::Fend);
  addField(fields, a, "df", Edit::DF);
  addField(fields, a, "damping", Edit::Psi);
  addField(fields, a, "step", Edit::DT);
  // A single record on a terminal shows how far its frequencies have come.
  TerminalProgress terminal(err);
  const bool single = !a.has("out-dir");
  const auto compute = [&terminal, single](Store& s, Form& f) {
    struct EndLine {
      TerminalProgress& progress;
      ~EndLine() { progress.end(); }
    } endLine{terminal};
    computeResponseSpectrum(s, f, single && isatty(STDERR_FILENO) ? &terminal : nullptr);
  };

  std::vector<Job> jobs;
  if (!a.has("out-dir")) {
    if (a.has("jobs")) throw UsageError("--jobs задаётся вместе с --out-dir");
    needPositional(a, 2);
    jobs.push_back(
        {a.positional[0], recordKind(a, a.positional[0]), fields, compute, a.positional[1]});
  } else {
    if (a.positional.empty()) throw UsageError("не указаны записи");
    const std::filesystem::path dir = a.get("out-dir");
    std::set<std::string> outputs;
    for (const auto& record : a.positional) {
      const std::string out = (dir / std::filesystem::path(record).stem()).string() + ".spo";
      if (!outputs.insert(out).second) throw UsageError("две записи дают один файл " + out);
      jobs.push_back({record, recordKind(a, record), fields, compute, out});
    }
  }

  unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  if (a.has("jobs")) {
    const std::string& text = a.get("jobs");
    if (text.empty() || text.size() > 4 || !std::all_of(text.begin(), text.end(), ::isdigit) ||
        std::stoi(text) < 1)
      throw UsageError("--jobs должен быть целым числом от 1 до 9999");
    threads = static_cast<unsigned>(std::stoi(text));
  }
  threads = std::min<unsigned>(threads, static_cast<unsigned>(jobs.size()));

  RecordProgress progress(err, jobs.size(), jobs.size() > 1 && isatty(STDERR_FILENO));
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  const auto worker = [&] {
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      const std::string message = runJob(jobs[i]);
      if (!message.empty()) {
        failed = true;
        progress.print(jobs.size() > 1 ? jobs[i].input + ": " + message : message);
      }
      progress.finished();
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();
  progress.end();
  return failed ? 1 : 0;
}

int runSingle(const Job& job, std::ostream& err) {
  const std::string message = runJob(job);
  if (message.empty()) return 0;
  err << message << '\n';
  return 1;
}

}  // namespace

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  if (argc < 2) {
    err << kUsage;
    return 2;
  }
  const std::string command = argv[1];
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h" || arg == "help") {
      out << kUsage;
      return 0;
    }
  }
  if (command == "import") return runImport(argc, argv, err, kUsage);
  if (command == "spectra") return runSpectra(argc, argv, out, err, kUsage);
  if (command == "measures") return runMeasures(argc, argv, out, err, kUsage);
  static const std::map<std::string, std::set<std::string>> allowed = {
      {"synth", {"duration", "samples", "step"}},
      {"response", {"kind", "fbeg", "fend", "df", "damping", "step", "out-dir", "jobs"}},
      {"window", {"from", "to", "kind"}},
      {"convert", {"kind"}},
  };
  try {
    auto it = allowed.find(command);
    if (it == allowed.end()) throw UsageError("неизвестная команда " + command);
    const Arguments a = parse(argc, argv, it->second);

    if (command == "response") return runResponse(a, err);

    Job job;
    if (command == "synth") {
      needPositional(a, 2);
      job.kind = kSpv;
      addField(job.fields, a, "duration", Edit::T);
      addField(job.fields, a, "samples", Edit::ND);
      addField(job.fields, a, "step", Edit::DT);
      job.compute = [](Store& s, Form& f) { synthesizeAccelerogram(s, f); };
    } else if (command == "window") {
      needPositional(a, 2);
      if (!a.has("from") || !a.has("to")) throw UsageError("нужны --from и --to");
      job.kind = recordKind(a, a.positional[0]);
      addField(job.fields, a, "from", Edit::Tbeg);
      addField(job.fields, a, "to", Edit::Tend);
      job.compute = [](Store& s, Form& f) { cutTimeWindow(s, f); };
    } else {  // convert
      needPositional(a, 2);
      const std::string kind = a.has("kind") ? a.get("kind") : extensionOf(a.positional[0]);
      job.kind = kindByName(kind);
      if (job.kind == 0) throw UsageError("вид файла не ясен: укажите --kind spv|aks|spo|cfg|brl");
    }
    job.input = a.positional[0];
    job.output = a.positional[1];
    return runSingle(job, err);
  } catch (const UsageError& e) {
    err << "accelspec-cli: " << e.what() << "\n\n" << kUsage;
    return 2;
  }
}

}  // namespace accelspec::cli
