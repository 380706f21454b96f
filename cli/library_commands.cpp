// SPDX-License-Identifier: MIT
// accelspec-cli library add | list | pair | prune | info: the record library on the command line.

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string>

#include "cli/arguments.hpp"
#include "cli/command.hpp"
#include "data/error.hpp"
#include "files/atomic_write.hpp"
#include "library/library.hpp"
#include "records/scan.hpp"

namespace accelspec::cli {

namespace {

library::Library openLibrary(const Arguments& a, bool create) {
  return library::Library::open(a.has("library") ? a.get("library") : std::string(), create);
}

std::string number(double v) {
  if (std::isnan(v)) return "nan";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

std::string optionalNumber(const std::optional<double>& v) { return v ? number(*v) : ""; }

// A CSV cell: quoted when it holds a comma, a quote or a line end.
std::string cell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void writeOutput(const std::string& path, const std::string& text) {
  try {
    replaceFile(path, text);
  } catch (const IoError& e) {
    throw AppError(path + ": " + records::ioMessage(e));
  }
}

// "PATH" or "PATH:N" (a channel of a COSMOS file) when PATH alone is no file.
std::pair<std::string, int> fileAndChannel(const std::string& text) {
  std::error_code ec;
  if (std::filesystem::exists(text, ec)) return {text, 0};
  const std::size_t colon = text.rfind(':');
  if (colon != std::string::npos && colon + 1 < text.size() && text.size() - colon <= 5) {
    const std::string digits = text.substr(colon + 1);
    if (digits.find_first_not_of("0123456789") == std::string::npos && digits[0] != '0')
      return {text.substr(0, colon), std::stoi(digits)};
  }
  return {text, 0};
}

// The progress line on a terminal: files done of all and files a second, at most five times a
// second, from the first second on.
class AddProgressLine {
 public:
  using Clock = std::chrono::steady_clock;
  AddProgressLine(std::ostream& err, bool shown)
      : err_(err), enabled_(shown), start_(Clock::now()) {}
  void show(const library::AddProgress& p) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (p.done < p.total && (now - start_ < std::chrono::seconds(1) ||
                             (shown_ && now - last_ < std::chrono::milliseconds(200))))
      return;
    last_ = now;
    shown_ = true;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", p.perSecond);
    err_ << "\r\033[Kбиблиотека: файлов " << p.done << " из " << p.total << ", " << rate
         << " в секунду" << std::flush;
  }
  void end() {
    if (shown_) err_ << '\n' << std::flush;
    shown_ = false;
  }

 private:
  std::ostream& err_;
  const bool enabled_;
  const Clock::time_point start_;
  Clock::time_point last_;
  bool shown_ = false;
};

int runAdd(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.empty()) throw UsageError("library add: укажите файлы или папки записей");
  library::AddOptions options;
  options.jobs = jobsOption(a);
  library::Library lib = openLibrary(a, true);
  AddProgressLine progress(err, &err == &std::cerr && isatty(STDERR_FILENO));
  options.progress = [&progress](const library::AddProgress& p) { progress.show(p); };
  library::AddSummary s;
  try {
    s = lib.add(a.positional, options);
  } catch (...) {
    progress.end();
    throw;
  }
  progress.end();
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", s.seconds);
  out << "файлов: " << s.files << "; проиндексировано: " << s.indexed
      << ", без изменений: " << s.unchanged << ", не прочитано: " << s.skipped.size() << "\n"
      << "составляющих записано: " << s.components << ", пар составлено: " << s.pairs << "\n"
      << "библиотека: " << lib.path() << " (" << seconds << " с)\n";
  if (!s.skipped.empty()) {
    err << "не прочитаны (" << s.skipped.size() << "):\n";
    for (const auto& k : s.skipped) err << k.message << "\n";
  }
  return 0;
}

std::string csvOf(const std::vector<library::Motion>& motions) {
  std::string t =
      "motion,pair,path,format,channel,event,date,station,component,azimuth_deg,magnitude,"
      "distance_km,vs30_m_s,dt_s,samples,pga_m_s2,pgv_m_s,pgd_m,arias_m_s,d5_75_s,d5_95_s,"
      "cav_m_s,cav_std_m_s,housner_5_m\n";
  for (const auto& m : motions)
    for (const auto& c : m.components) {
      const auto& x = c.measures;
      t += cell(m.name) + "," + (m.pair() ? "1" : "0") + "," + cell(c.path) + "," + cell(c.format) +
           "," + std::to_string(c.channel) + "," + cell(c.event) + "," + cell(c.date) + "," +
           cell(c.station) + "," + cell(c.component) + "," + optionalNumber(c.azimuth) + "," +
           optionalNumber(c.magnitude) + "," + optionalNumber(c.distance) + "," +
           optionalNumber(c.vs30) + "," + number(c.dt) + "," + std::to_string(c.samples) + "," +
           number(x.pga) + "," + number(x.pgv) + "," + number(x.pgd) + "," + number(x.arias) + "," +
           number(x.d5_75) + "," + number(x.d5_95) + "," + number(x.cav) + "," + number(x.cavStd) +
           "," + number(x.housner) + "\n";
    }
  return t;
}

int runList(const Arguments& a, std::ostream& out, std::ostream&) {
  if (!a.positional.empty()) throw UsageError("library list: лишний параметр " + a.positional[0]);
  const library::Filter filter = optionValue(
      "where", [&] { return library::parseWhere(a.has("where") ? a.get("where") : ""); });
  const library::Library lib = openLibrary(a, false);
  const std::string table = csvOf(lib.motions(filter));
  if (a.has("csv")) {
    writeOutput(a.get("csv"), table);
  } else {
    out << table;
  }
  return 0;
}

int runPair(const Arguments& a, std::ostream& out, std::ostream&) {
  needPositional(a, 2);
  library::Library lib = openLibrary(a, false);
  const auto [file1, channel1] = fileAndChannel(a.positional[0]);
  const auto [file2, channel2] = fileAndChannel(a.positional[1]);
  const library::Motion m = lib.pair(file1, file2, channel1, channel2);
  out << "пара «" << m.name << "»: " << m.components[0].path << " + " << m.components[1].path
      << "\n";
  return 0;
}

int runPrune(const Arguments& a, std::ostream& out, std::ostream&) {
  needPositional(a, 0);
  library::Library lib = openLibrary(a, false);
  const library::PruneSummary s = lib.prune();
  out << "удалено файлов: " << s.files << ", составляющих: " << s.components << "\n";
  return 0;
}

int runInfo(const Arguments& a, std::ostream& out, std::ostream&) {
  needPositional(a, 0);
  const library::Library lib = openLibrary(a, false);
  const library::Info i = lib.info();
  out << "библиотека: " << i.path << "\n"
      << "схема: " << i.schemaVersion << "\n"
      << "размер: " << i.bytes << " байт\n"
      << "файлов: " << i.files << "\n"
      << "составляющих: " << i.components << "\n"
      << "движений: " << i.motions << " (пар: " << i.pairs
      << ", из них заданных вручную: " << i.manualPairs << ")\n";
  for (const auto& [format, count] : i.formats) out << "  " << format << ": " << count << "\n";
  return 0;
}

const OptionHelp kLibraryHelp{
    "--library FILE",
    "файл библиотеки (по умолчанию $XDG_DATA_HOME/accelspec/library.sqlite, без XDG_DATA_HOME — "
    "~/.local/share/accelspec/library.sqlite)"};

}  // namespace

const Command& libraryAddCommand() {
  static const Command c{
      "library add",
      {"library add PATH... [--library FILE] [--jobs N]"},
      "добавляет в библиотеку записей файлы и папки (с вложенными): метаданные, меры, спектры, "
      "пары",
      {"library", "jobs"},
      runAdd,
      {kLibraryHelp,
       {"--jobs N", "сколько файлов читать и считать одновременно (по умолчанию число ядер)"}},
      "library add ~/records/ngaw2 ~/records/knet --jobs 2"};
  return c;
}

const Command& libraryListCommand() {
  static const Command c{
      "library list",
      {"library list [--where EXPR] [--csv OUT.csv] [--library FILE]"},
      "таблица библиотеки записей: по строке на составляющую, пары рядом",
      {"library", "where", "csv"},
      runList,
      {{"--where EXPR",
        "условие отбора: сравнения полей (pga, magnitude, format, event …) через and, or, not и "
        "скобки; по умолчанию все"},
       {"--csv OUT.csv", "файл таблицы (по умолчанию стандартный вывод)"},
       kLibraryHelp},
      "library list --where \"pga>=0.1g and magnitude>=6 and format=at2\" --csv chosen.csv"};
  return c;
}

const Command& libraryPairCommand() {
  static const Command c{
      "library pair",
      {"library pair FILE1[:N] FILE2[:N] [--library FILE]"},
      "составляет пару из двух горизонтальных составляющих вручную (N — канал файла COSMOS)",
      {"library"},
      runPair,
      {kLibraryHelp},
      "library pair site/a_h1.at2 site/a_h2.at2"};
  return c;
}

const Command& libraryPruneCommand() {
  static const Command c{"library prune",
                         {"library prune [--library FILE]"},
                         "удаляет из библиотеки файлы, которых больше нет на диске",
                         {"library"},
                         runPrune,
                         {kLibraryHelp},
                         "library prune --library lib.sqlite"};
  return c;
}

const Command& libraryInfoCommand() {
  static const Command c{"library info",
                         {"library info [--library FILE]"},
                         "сведения о библиотеке: файл, схема, число файлов, составляющих и пар",
                         {"library"},
                         runInfo,
                         {kLibraryHelp},
                         "library info --library lib.sqlite"};
  return c;
}

}  // namespace accelspec::cli
