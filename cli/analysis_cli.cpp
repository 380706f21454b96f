#include "cli/analysis_cli.hpp"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "analysis/analysis_messages.hpp"
#include "analysis/grid.hpp"
#include "analysis/measures.hpp"
#include "analysis/spectra.hpp"
#include "cli/records_cli.hpp"
#include "data/error.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"
#include "records/record.hpp"

namespace accelspec::cli {

namespace {

using analysis::Peaks;
using analysis::SpectraRequest;

// A wrong call: the reason, then the usage, exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Call {
  std::vector<std::string> records;
  std::map<std::string, std::string> options;
  bool has(const char* name) const { return options.count(name) != 0; }
};

Call parseCall(int argc, const char* const* argv, const std::set<std::string>& allowed) {
  Call c;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0 || arg == "--") {
      c.records.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2), value;
    if (const auto eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.erase(eq);
    } else {
      if (i + 1 >= argc) throw UsageError("у параметра --" + name + " нет значения");
      value = argv[++i];
    }
    if (!allowed.count(name) && !kReadingOptions.count(name))
      throw UsageError("неизвестный параметр --" + name);
    if (!c.options.emplace(name, value).second)
      throw UsageError("параметр --" + name + " задан дважды");
  }
  if (c.records.empty()) throw UsageError("не указаны записи");
  return c;
}

unsigned jobsOf(const Call& c) {
  if (!c.has("jobs")) return std::max(1u, std::thread::hardware_concurrency());
  const std::string& text = c.options.at("jobs");
  if (text.empty() || text.size() > 4 || !std::all_of(text.begin(), text.end(), ::isdigit) ||
      std::stoi(text) < 1)
    throw UsageError("--jobs должен быть целым числом от 1 до 9999");
  return static_cast<unsigned>(std::stoi(text));
}

// A failure of one record (or pair) as the user sees it: the message names the file.
std::string failureText(const std::string& names, const std::string& what) {
  return msg::withFullStop(what.rfind(names, 0) == 0 ? what : names + ": " + what);
}

void writeOutput(const std::string& path, const std::string& text) {
  try {
    replaceFile(path, text);
  } catch (const IoError& e) {
    throw AppError(path + ": " + e.what());
  }
}

// One spectra run: a record or a pair, and where its table goes ("" for standard output).
struct Unit {
  std::vector<std::string> records;
  std::string output;
};

SpectraRequest spectraRequest(const Call& c, int& gridStatus) {
  SpectraRequest r;
  const std::string grid = c.has("grid") ? c.options.at("grid") : analysis::kDefaultGrid;
  try {
    if (c.has("damping")) r.dampings = analysis::parseDampings(c.options.at("damping"));
    if (c.has("quantity")) r.quantities = analysis::parseQuantities(c.options.at("quantity"));
  } catch (const AppError& e) {
    throw UsageError(e.what());
  }
  if (c.has("peaks")) {
    const std::string& p = c.options.at("peaks");
    if (p != "refined" && p != "samples")
      throw UsageError("--peaks должен быть refined или samples");
    r.peaks = p == "samples" ? Peaks::Samples : Peaks::Refined;
  }
  if (c.has("rotd")) {
    const std::string& p = c.options.at("rotd");
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

std::vector<Unit> spectraUnits(const Call& c, int rotd) {
  const std::size_t group = rotd ? 2 : 1;
  if (c.records.size() % group != 0) throw UsageError(std::string(msg::kRotdOdd));
  if (c.has("csv") && c.has("out-dir")) throw UsageError("--csv и --out-dir вместе не задаются");
  std::vector<Unit> units;
  for (std::size_t i = 0; i < c.records.size(); i += group)
    units.push_back({{c.records.begin() + i, c.records.begin() + i + group}, ""});
  if (c.has("out-dir")) {
    const std::filesystem::path dir = c.options.at("out-dir");
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
    units[0].output = c.options.at("csv");
  }
  return units;
}

// The table of one unit, or throws the message to show.
std::string spectraOf(const Unit& u, const records::Reading& reading, SpectraRequest r) {
  std::vector<records::Record> read;
  for (const std::string& path : u.records) read.push_back(records::readRecord(path, reading));
  std::string names = u.records[0];
  if (u.records.size() > 1) names += ", " + u.records[1];
  try {
    const analysis::Spectra s =
        r.rotd ? analysis::computeRotD(read[0].accel, read[1].accel, read[0].dt, read[1].dt, r)
               : analysis::computeSpectra(read[0].accel, read[0].dt, r);
    return analysis::spectraCsv(r, s);
  } catch (const AppError& e) {
    throw AppError(names + ": " + e.what());
  }
}

}  // namespace

int runSpectra(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
               std::string_view usage) {
  int gridStatus = 0;
  try {
    const Call c = parseCall(
        argc, argv, {"grid", "damping", "quantity", "peaks", "rotd", "csv", "out-dir", "jobs"});
    const records::Reading reading = parseReading(c.options);
    SpectraRequest r = spectraRequest(c, gridStatus);
    const std::vector<Unit> units = spectraUnits(c, r.rotd);
    const unsigned jobs = jobsOf(c);
    if (c.has("out-dir")) {
      const std::string& folder = c.options.at("out-dir");
      std::error_code ec;
      std::filesystem::create_directories(folder, ec);
      if (ec) throw AppError(folder + ": " + std::string(msg::kNoOutDir));
    }

    // Several records share the threads one record each; a single one spreads its oscillators.
    const unsigned outer = std::min<unsigned>(jobs, static_cast<unsigned>(units.size()));
    r.threads = outer > 1 ? 1 : jobs;
    std::mutex lock;
    std::atomic<std::size_t> next{0};
    bool failed = false;
    std::string standardOutput;
    const auto worker = [&] {
      for (std::size_t i = next++; i < units.size(); i = next++) {
        const Unit& u = units[i];
        try {
          const std::string table = spectraOf(u, reading, r);
          if (u.output.empty())
            standardOutput = table;
          else
            writeOutput(u.output, table);
        } catch (const AppError& e) {
          std::lock_guard guard(lock);
          failed = true;
          err << failureText(u.records[0], e.what()) << '\n';
        } catch (const std::bad_alloc&) {
          std::lock_guard guard(lock);
          failed = true;
          err << failureText(u.records[0], "не хватает памяти") << '\n';
        }
      }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < outer; ++t) {
      try {
        pool.emplace_back(worker);
      } catch (const std::system_error&) {
        break;
      }
    }
    worker();
    for (auto& t : pool) t.join();
    out << standardOutput << std::flush;
    return failed ? 1 : 0;
  } catch (const ReadingOptionError& e) {
    err << "accelspec-cli: " << e.what() << "\n\n" << usage;
    return 2;
  } catch (const UsageError& e) {
    err << "accelspec-cli: " << e.what() << "\n\n" << usage;
    return 2;
  } catch (const AppError& e) {  // the frequency file of --grid, the output folder
    err << msg::withFullStop(e.what()) << '\n';
    return gridStatus ? gridStatus : 1;
  }
}

int runMeasures(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                std::string_view usage) {
  try {
    const Call c = parseCall(argc, argv, {"csv"});
    const records::Reading reading = parseReading(c.options);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::string table = analysis::measuresCsvHeader();
    bool failed = false;
    for (const std::string& path : c.records) {
      try {
        const records::Record record = records::readRecord(path, reading);
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
      writeOutput(c.options.at("csv"), table);
    } catch (const AppError& e) {
      err << msg::withFullStop(e.what()) << '\n';
      return 1;
    }
    return 0;
  } catch (const ReadingOptionError& e) {
    err << "accelspec-cli: " << e.what() << "\n\n" << usage;
    return 2;
  } catch (const UsageError& e) {
    err << "accelspec-cli: " << e.what() << "\n\n" << usage;
    return 2;
  }
}

}  // namespace accelspec::cli
