// SPDX-License-Identifier: MIT
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <new>
#include <ostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "analysis/analysis_messages.hpp"
#include "analysis/grid.hpp"
#include "analysis/measures.hpp"
#include "analysis/number_text.hpp"
#include "analysis/spectra.hpp"
#include "cli/command.hpp"
#include "cli/job.hpp"
#include "cli/records_cli.hpp"
#include "compute/parallel.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"
#include "records/record.hpp"
#include "records/scan.hpp"

namespace accelspec::cli {

namespace {

using analysis::Peaks;
using analysis::SpectraRequest;

// A failure of one record (or pair) as the user sees it: the message names the file.
std::string failureText(const std::string& names, const std::string& what) {
  return msg::withFullStop(what.rfind(names, 0) == 0 ? what : names + ": " + what);
}

void writeOutput(const std::string& path, const std::string& text) {
  try {
    replaceFile(path, text);
  } catch (const IoError& e) {
    throw AppError(path + ": " + records::ioMessage(e));
  }
}

// One spectra run: a record or a pair, and where its table goes ("" for standard output).
struct Unit {
  std::vector<std::string> records;
  std::string output;
};

SpectraRequest spectraRequest(const Arguments& c, int& gridStatus) {
  SpectraRequest r;
  const std::string grid = c.has("grid") ? c.get("grid") : analysis::kDefaultGrid;
  if (c.has("damping"))
    r.dampings = optionValue("damping", [&] { return analysis::parseDampings(c.get("damping")); });
  if (c.has("quantity"))
    r.quantities =
        optionValue("quantity", [&] { return analysis::parseQuantities(c.get("quantity")); });
  if (c.has("peaks")) {
    const std::string& p = c.get("peaks");
    if (p != "refined" && p != "samples")
      throw UsageError("--peaks должен быть refined или samples");
    r.peaks = p == "samples" ? Peaks::Samples : Peaks::Refined;
  }
  if (c.has("rotd")) {
    const std::string& p = c.get("rotd");
    if (p != "50" && p != "100") throw UsageError("--rotd должен быть 50 или 100");
    r.rotd = p == "50" ? 50 : 100;
  }
  try {
    r.grid = analysis::parseGrid(grid);
  } catch (const AppError& e) {
    // A grid text that is not one is a wrong call; a frequency file that cannot be used is a
    // failed input.
    if (grid.rfind("file:", 0) != 0 || grid.size() == 5) throw UsageError(e.what());
    gridStatus = 1;
    throw;
  }
  return r;
}

std::vector<Unit> spectraUnits(const Arguments& c, int rotd) {
  const std::size_t group = rotd ? 2 : 1;
  if (c.positional.size() % group != 0) throw UsageError(std::string(msg::kRotdOdd));
  if (c.has("csv") && c.has("out-dir")) throw UsageError("--csv и --out-dir вместе не задаются");
  std::vector<Unit> units;
  for (std::size_t i = 0; i < c.positional.size(); i += group)
    units.push_back({{c.positional.begin() + i, c.positional.begin() + i + group}, ""});
  if (c.has("out-dir")) {
    const std::filesystem::path dir = c.get("out-dir");
    std::set<std::string> outputs;
    for (Unit& u : units) {
      u.output = (dir / std::filesystem::path(u.records[0]).stem()).string() + ".csv";
      if (!outputs.insert(u.output).second)
        throw UsageError("две записи дают один файл " + u.output);
    }
  } else if (units.size() > 1) {
    throw UsageError(rotd ? "несколько пар записей пишутся только в --out-dir"
                          : "несколько записей пишутся только в --out-dir");
  } else if (c.has("csv")) {
    units[0].output = c.get("csv");
  }
  return units;
}

// --work-limit: the most oscillator steps a unit may take (0: no limit).
double workLimitOf(const Arguments& c) {
  if (!c.has("work-limit")) return analysis::kDefaultWorkLimit;
  const std::string& text = c.get("work-limit");
  if (text == "none") return 0;
  double limit = 0;
  if (!analysis::parseNumber(text, limit) || !(limit > 0) || !std::isfinite(limit))
    throw UsageError(std::string(msg::kBadWorkLimit));
  return limit;
}

// The progress line of a long run on a terminal, and the one writer to it while units run:
// nothing for the first second, then at most five times a second.
class SpectraProgress {
 public:
  using Clock = std::chrono::steady_clock;
  SpectraProgress(std::ostream& err, std::size_t total, bool shown)
      : err_(err), total_(total), enabled_(shown), start_(Clock::now()), last_(start_) {}

  void advance(std::size_t oscillators) {
    std::lock_guard guard(mutex_);
    done_ += oscillators;
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) ||
        (shown_ && now - last_ < std::chrono::milliseconds(200)))
      return;
    last_ = now;
    shown_ = true;
    err_ << "\rспектры: осцилляторов посчитано " << done_ << " из " << total_ << " ("
         << done_ * 100 / std::max<std::size_t>(total_, 1) << " %)" << std::flush;
  }

  void message(const std::string& line) {
    std::lock_guard guard(mutex_);
    if (shown_) err_ << "\r\033[K";
    shown_ = false;
    err_ << line << '\n' << std::flush;
  }

  void end() {
    std::lock_guard guard(mutex_);
    if (shown_) err_ << '\n' << std::flush;
    shown_ = false;
  }

 private:
  std::mutex mutex_;
  std::ostream& err_;
  const std::size_t total_;
  const bool enabled_;
  const Clock::time_point start_;
  Clock::time_point last_;
  std::size_t done_ = 0;
  bool shown_ = false;  // the cursor stands at the end of the progress line
};

// The table of one unit, or throws the message to show. Refuses a unit whose work is beyond
// `workLimit` (0: none) before any of it is done.
std::string spectraOf(const Unit& u, const records::Reading& reading, SpectraRequest r,
                      double workLimit, SpectraProgress& progress) {
  std::vector<records::Record> read;
  for (const std::string& path : u.records) {
    read.push_back(records::readRecord(path, reading));
    const std::string warnings = readingWarnings(path, read.back());
    if (!warnings.empty()) progress.message(warnings.substr(0, warnings.size() - 1));
  }
  std::string names = u.records[0];
  if (u.records.size() > 1) names += ", " + u.records[1];
  const double work = analysis::spectraWork(r, read[0].accel.size(), read[0].dt);
  if (workLimit > 0 && work > workLimit)
    throw AppError(names + ": " +
                   msg::workBeyondLimit(analysis::formatNumber(work, 3),
                                        analysis::formatNumber(workLimit, 3)));
  try {
    const analysis::Spectra s =
        r.rotd ? analysis::computeRotD(read[0].accel, read[1].accel, read[0].dt, read[1].dt, r)
               : analysis::computeSpectra(read[0].accel, read[0].dt, r);
    return analysis::spectraCsv(r, s);
  } catch (const AppError& e) {
    throw AppError(names + ": " + e.what());
  }
}

int runSpectra(const Arguments& c, std::ostream& out, std::ostream& err) {
  if (c.positional.empty()) throw UsageError("не указаны записи");
  const records::Reading reading = readingOf(c);
  int gridStatus = 0;
  try {
    const double workLimit = workLimitOf(c);
    SpectraRequest r = spectraRequest(c, gridStatus);
    const std::vector<Unit> units = spectraUnits(c, r.rotd);
    const unsigned jobs = jobsOption(c);
    std::vector<std::string> outputs;
    for (const Unit& u : units)
      if (!u.output.empty()) outputs.push_back(u.output);
    std::vector<std::string> inputs = c.positional;
    for (std::string& file : optionInputs(c)) inputs.push_back(std::move(file));
    if (refuseOutputsThatAreInputs(inputs, outputs, err)) return 1;
    if (c.has("out-dir")) {
      const std::string& folder = c.get("out-dir");
      std::error_code ec;
      std::filesystem::create_directories(folder, ec);
      if (ec) throw AppError(folder + ": " + std::string(msg::kNoOutDir));
    }

    // Several records share the threads one record each; a single one spreads its oscillators.
    const unsigned outer = std::min<unsigned>(jobs, static_cast<unsigned>(units.size()));
    r.threads = outer > 1 ? 1 : jobs;
    SpectraProgress progress(err, units.size() * r.grid.size() * r.dampings.size(),
                             &err == &std::cerr && isatty(STDERR_FILENO));
    r.progress = [&progress](std::size_t oscillators) { progress.advance(oscillators); };
    std::atomic<bool> failed{false};
    std::string standardOutput;
    parallelFor(units.size(), outer, [&](std::size_t i) {
      const Unit& u = units[i];
      std::string message;
      try {
        const std::string table = spectraOf(u, reading, r, workLimit, progress);
        if (u.output.empty())
          standardOutput = table;
        else
          writeOutput(u.output, table);
        return;
      } catch (const AppError& e) {
        message = failureText(u.records[0], e.what());
      } catch (const std::bad_alloc&) {
        message = failureText(u.records[0], "не хватает памяти");
      }
      failed = true;
      progress.message(message);
    });
    progress.end();
    out << standardOutput << std::flush;
    return failed ? 1 : 0;
  } catch (const AppError& e) {  // the frequency file of --grid, the output folder
    err << msg::withFullStop(e.what()) << '\n';
    return gridStatus ? gridStatus : 1;
  }
}

int runMeasures(const Arguments& c, std::ostream& out, std::ostream& err) {
  if (c.positional.empty()) throw UsageError("не указаны записи");
  const records::Reading reading = readingOf(c);
  if (c.has("csv") && refuseOutputsThatAreInputs(c.positional, {c.get("csv")}, err)) return 1;
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  std::string table = analysis::measuresCsvHeader();
  bool failed = false;
  for (const std::string& path : c.positional) {
    try {
      const records::Record record = readRecordReporting(path, reading, err);
      try {
        table += analysis::measuresCsvRow(
            path, analysis::computeMeasures(record.accel, record.dt, Peaks::Refined, threads));
      } catch (const AppError& e) {
        throw AppError(path + ": " + e.what());
      }
    } catch (const AppError& e) {
      failed = true;
      err << failureText(path, e.what()) << '\n';
    } catch (const std::bad_alloc&) {
      failed = true;
      err << failureText(path, "не хватает памяти") << '\n';
    }
  }
  if (failed) return 1;
  if (!c.has("csv")) {
    out << table << std::flush;
    return 0;
  }
  try {
    writeOutput(c.get("csv"), table);
  } catch (const AppError& e) {
    err << msg::withFullStop(e.what()) << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

const Command& spectraCommand() {
  static const Command command{
      "spectra",
      {"spectra RECORD... [--grid G] [--damping LIST] [--quantity LIST]\n"
       "                [--peaks refined|samples] [--rotd 50|100] [--csv OUT.csv | --out-dir DIR]\n"
       "                [--jobs N] [--work-limit STEPS|none] [--format F] [--units U] [--step DT]\n"
       "                [--channel N]"},
      "спектры psa, sa, sv, psv, sd (сетки log, periods, lin, srp, nga, file:), единицы СИ",
      withReadingOptions(
          {"grid", "damping", "quantity", "peaks", "rotd", "csv", "out-dir", "jobs", "work-limit"}),
      runSpectra,
      withReadingHelp(
          {{"--grid G",
            "сетка: log:FMIN:FMAX:N (N точек на декаду, Гц), periods:TMIN:TMAX:N (с), "
            "lin:FBEG:FEND:DF (Гц), srp (75 частот 0.2–33 Гц), nga (111 периодов 0.01–20 с) или "
            "file:PATH (частоты в Гц); по умолчанию log:0.1:100:100"},
           {"--damping LIST",
            "доли критического затухания через запятую, от 0 до 1 (по умолчанию 0.05)"},
           {"--quantity LIST",
            "psa, sa (м/с²), psv, sv (м/с), sd (м) через запятую (по умолчанию psa)"},
           {"--peaks refined|samples",
            "пики с уточнённым шагом или только в отсчётах (по умолчанию refined)"},
           {"--rotd 50|100",
            "записи парами как две горизонтальные компоненты: медиана или наибольшее по углам "
            "поворота 0–179° (по умолчанию без поворота)"},
           {"--csv OUT.csv", "файл таблицы одной записи (по умолчанию стандартный вывод)"},
           {"--out-dir DIR", "папка для таблиц нескольких записей, DIR/<имя записи>.csv"},
           {"--jobs N", "число потоков, от 1 до 9999 (по умолчанию число ядер)"},
           {"--work-limit STEPS|none",
            "наибольшая работа в шагах осцилляторов (отсчёты × подшаги × точки сетки × "
            "затухания, для пары RotD вдвое), больше которой расчёт не начинается; none — без "
            "предела (по умолчанию 2e10)"}}),
      "spectra quake.at2 --grid srp --damping 0.05,0.02 --quantity psa,sd --csv quake.csv"};
  return command;
}

const Command& measuresCommand() {
  static const Command command{
      "measures",
      {"measures RECORD... [--csv OUT.csv] [--format F] [--units U] [--step DT] [--channel N]"},
      "pga, pgv, pgd, arias, d5_75, d5_95, cav, cav_std, housner_5, единицы СИ",
      withReadingOptions({"csv"}),
      runMeasures,
      withReadingHelp({{"--csv OUT.csv", "файл таблицы (по умолчанию стандартный вывод)"}}),
      "measures quake.at2 other.at2 --csv measures.csv"};
  return command;
}

}  // namespace accelspec::cli
