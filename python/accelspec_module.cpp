// SPDX-License-Identifier: MIT
// accelspec._core: the core's analysis, check and matching over numpy arrays. The Python layer
// (accelspec/__init__.py) gives these functions their keyword defaults and result types; here
// every argument is checked, copied out of Python, and the computation runs without the GIL.

#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <future>
#include <new>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "analysis/analysis_messages.hpp"
#include "analysis/grid.hpp"
#include "analysis/measures.hpp"
#include "analysis/spectra.hpp"
#include "check/check.hpp"
#include "check/check_messages.hpp"
#include "check/target.hpp"
#include "data/error.hpp"
#include "matching/baseline.hpp"
#include "matching/match_to_rule.hpp"
#include "matching/spectral_match.hpp"
#include "python/python_messages.hpp"
#include "records/record.hpp"

namespace py = pybind11;

namespace accelspec::python {

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

// A value the caller gave wrongly.
[[noreturn]] void bad(std::string_view what) { throw py::value_error(std::string(what)); }

// Whether `path` names something this process can open for reading that is not a folder.
bool readable(const std::string& path) {
  std::error_code ec;
  return ::access(path.c_str(), R_OK) == 0 && !std::filesystem::is_directory(path, ec);
}

// An error of the core about a file: OSError when the file cannot be opened at all, ValueError
// for what the file holds. The message is the core's own.
[[noreturn]] void raiseForFile(const std::string& path, const AppError& e) {
  if (!readable(path)) {
    PyErr_SetString(PyExc_OSError, e.what());
    throw py::error_already_set();
  }
  throw py::value_error(e.what());
}

// A one-dimensional array of doubles copied out of Python (converted once when it is not
// contiguous float64).
std::vector<double> vectorOf(const py::object& object, const char* name) {
  Array a;
  try {
    a = Array::ensure(object);
  } catch (const py::error_already_set&) {
    bad(msg::pyNotVector(name));
  }
  if (!a || a.ndim() != 1) {
    PyErr_Clear();
    bad(msg::pyNotVector(name));
  }
  return std::vector<double>(a.data(), a.data() + a.shape(0));
}

py::array_t<double> arrayOf(const std::vector<double>& v) {
  py::array_t<double> a(static_cast<py::ssize_t>(v.size()));
  if (!v.empty()) std::memcpy(a.mutable_data(), v.data(), v.size() * sizeof(double));
  return a;
}

double stepOf(double dt) {
  if (!(dt > 0) || !std::isfinite(dt)) bad(msg::kPyStep);
  return dt;
}

// threads: 0 for every core, else 1 … 1024.
unsigned threadsOf(long long threads) {
  if (threads < 0 || threads > 1024) bad(msg::kPyThreads);
  if (threads == 0) return std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(threads);
}

analysis::Peaks peaksOf(const std::string& peaks) {
  if (peaks == "refined") return analysis::Peaks::Refined;
  if (peaks == "samples") return analysis::Peaks::Samples;
  bad(msg::kPyPeaks);
}

// A grid text (as --grid takes it) or the frequencies themselves, Hz, strictly ascending.
std::vector<analysis::GridPoint> gridOf(const py::object& grid) {
  if (py::isinstance<py::str>(grid)) {
    const std::string text = grid.cast<std::string>();
    try {
      return analysis::parseGrid(text);
    } catch (const AppError& e) {
      if (text.rfind("file:", 0) == 0 && text.size() > 5) raiseForFile(text.substr(5), e);
      throw py::value_error(e.what());
    }
  }
  const std::vector<double> f = vectorOf(grid, "grid");
  if (f.empty()) bad(msg::kPyGridEmpty);
  if (f.size() > analysis::kMaxGridPoints) bad("grid: " + std::string(msg::kGridTooLarge));
  std::vector<analysis::GridPoint> points;
  for (std::size_t j = 0; j < f.size(); ++j) {
    if (!(f[j] > 0) || !std::isfinite(f[j]) || (j > 0 && !(f[j] > f[j - 1])))
      bad(msg::kPyGridArray);
    points.push_back({f[j], 1.0 / f[j]});
  }
  return points;
}

std::vector<double> dampingsOf(const std::vector<double>& dampings) {
  if (dampings.empty()) bad("dampings: " + std::string(msg::kBadDamping));
  for (std::size_t i = 0; i < dampings.size(); ++i) {
    if (!(dampings[i] >= 0 && dampings[i] < 1)) bad("dampings: " + std::string(msg::kBadDamping));
    for (std::size_t k = 0; k < i; ++k)
      if (dampings[k] == dampings[i]) bad("dampings: " + std::string(msg::kBadDamping));
  }
  return dampings;
}

std::vector<analysis::Quantity> quantitiesOf(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) {
    // A blank or a comma inside one name would let the list parser read two.
    if (n.find_first_of(", \t") != std::string::npos)
      bad("quantities: " + std::string(msg::kBadQuantity));
    text += (text.empty() ? "" : ",") + n;
  }
  try {
    return analysis::parseQuantities(text);
  } catch (const AppError& e) {
    throw py::value_error("quantities: " + std::string(e.what()));
  }
}

analysis::SpectraRequest requestOf(const py::object& grid, const std::vector<double>& dampings,
                                   const std::vector<std::string>& quantities,
                                   const std::string& peaks, long long threads) {
  analysis::SpectraRequest r;
  r.grid = gridOf(grid);
  r.dampings = dampingsOf(dampings);
  r.quantities = quantitiesOf(quantities);
  r.peaks = peaksOf(peaks);
  r.threads = threadsOf(threads);
  return r;
}

// (frequencies, periods, values[damping, quantity, point]).
py::tuple spectraTuple(const analysis::SpectraRequest& r, const analysis::Spectra& s) {
  py::array_t<double> f(static_cast<py::ssize_t>(r.grid.size()));
  py::array_t<double> t(static_cast<py::ssize_t>(r.grid.size()));
  for (std::size_t j = 0; j < r.grid.size(); ++j) {
    f.mutable_data()[j] = r.grid[j].frequency;
    t.mutable_data()[j] = r.grid[j].period;
  }
  py::array_t<double> v({static_cast<py::ssize_t>(s.dampings),
                         static_cast<py::ssize_t>(s.quantities),
                         static_cast<py::ssize_t>(s.points)});
  if (!s.values.empty())
    std::memcpy(v.mutable_data(), s.values.data(), s.values.size() * sizeof(double));
  return py::make_tuple(f, t, v);
}

// Runs `compute` without the GIL, turning the core's errors into ValueError and MemoryError.
template <typename F>
auto released(F&& compute) {
  try {
    py::gil_scoped_release release;
    return compute();
  } catch (const AppError& e) {
    throw py::value_error(e.what());
  }
}

// Runs `compute(stop)` on a worker thread while this one, without the GIL, looks for Ctrl+C every
// 50 ms: an interrupt asks the run to stop (the spectra loops ask their token before each group
// of oscillators) and raises KeyboardInterrupt once the worker has ended. The core's errors
// become ValueError.
template <typename F>
auto interruptible(F&& compute) {
  std::stop_source stop;
  auto future = std::async(std::launch::async, [&] { return compute(stop.get_token()); });
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    while (future.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      if (interrupted) continue;
      py::gil_scoped_acquire acquire;
      if (PyErr_CheckSignals() != 0) {
        interrupted = true;
        stop.request_stop();
      }
    }
  }
  try {
    auto result = future.get();
    if (interrupted) throw py::error_already_set();
    return result;
  } catch (const analysis::SpectraCancelled&) {
    throw py::error_already_set();
  } catch (const AppError& e) {
    if (interrupted) throw py::error_already_set();
    throw py::value_error(e.what());
  }
}

py::tuple spectra(const py::object& acc, double dt, const py::object& grid,
                  const std::vector<double>& dampings, const std::vector<std::string>& quantities,
                  const std::string& peaks, long long threads) {
  const std::vector<double> a = vectorOf(acc, "acc");
  const analysis::SpectraRequest r = requestOf(grid, dampings, quantities, peaks, threads);
  const double step = stepOf(dt);
  const analysis::Spectra s = interruptible([&](std::stop_token token) {
    analysis::SpectraRequest run = r;
    run.stop = std::move(token);
    return analysis::computeSpectra(a, step, run);
  });
  return spectraTuple(r, s);
}

py::tuple rotd(const py::object& acc1, const py::object& acc2, double dt, const py::object& grid,
               const std::vector<double>& dampings, const std::vector<std::string>& quantities,
               const std::string& peaks, int percentile, long long threads) {
  const std::vector<double> a1 = vectorOf(acc1, "acc1");
  const std::vector<double> a2 = vectorOf(acc2, "acc2");
  analysis::SpectraRequest r = requestOf(grid, dampings, quantities, peaks, threads);
  if (percentile != 50 && percentile != 100) bad(msg::kPyPercentile);
  r.rotd = percentile;
  const double step = stepOf(dt);
  const analysis::Spectra s = interruptible([&](std::stop_token token) {
    analysis::SpectraRequest run = r;
    run.stop = std::move(token);
    return analysis::computeRotD(a1, a2, step, step, run);
  });
  return spectraTuple(r, s);
}

// The table of `accelspec-cli spectra --csv` for a result of spectra() or rotd().
std::string spectraCsv(const py::object& freqs, const py::object& periods,
                       const std::vector<double>& dampings,
                       const std::vector<std::string>& quantities, const py::object& values) {
  const std::vector<double> f = vectorOf(freqs, "freqs"), t = vectorOf(periods, "periods");
  analysis::SpectraRequest r;
  r.dampings = dampingsOf(dampings);
  r.quantities = quantitiesOf(quantities);
  for (std::size_t j = 0; j < f.size() && j < t.size(); ++j) r.grid.push_back({f[j], t[j]});
  analysis::Spectra s;
  s.dampings = r.dampings.size();
  s.quantities = r.quantities.size();
  s.points = r.grid.size();
  const Array v = Array::ensure(values);
  if (!v || f.size() != t.size() ||
      static_cast<std::size_t>(v.size()) != s.dampings * s.quantities * s.points) {
    PyErr_Clear();
    bad(msg::pyNotVector("values"));
  }
  s.values.assign(v.data(), v.data() + v.size());
  return analysis::spectraCsv(r, s);
}

py::dict measures(const py::object& acc, double dt, const std::string& peaks, long long threads) {
  const std::vector<double> a = vectorOf(acc, "acc");
  const analysis::Peaks p = peaksOf(peaks);
  const unsigned n = threadsOf(threads);
  const double step = stepOf(dt);
  const analysis::Measures m = released([&] { return analysis::computeMeasures(a, step, p, n); });
  // The names of the measures command's table.
  py::dict d;
  d["pga"] = m.pga;
  d["pgv"] = m.pgv;
  d["pgd"] = m.pgd;
  d["arias"] = m.arias;
  d["d5_75"] = m.d5_75;
  d["d5_95"] = m.d5_95;
  d["cav"] = m.cav;
  d["cav_std"] = m.cavStd;
  d["housner_5"] = m.housner;
  return d;
}

// --- Records ---------------------------------------------------------------------------------

records::Record readRecord(const std::string& path, std::optional<std::string> format,
                           std::optional<std::string> units, std::optional<double> step,
                           int channel) {
  records::Reading reading;
  reading.format = std::move(format);
  reading.units = std::move(units);
  reading.step = step;
  reading.channel = channel;
  try {
    py::gil_scoped_release release;
    return records::readRecord(path, reading);
  } catch (const AppError& e) {
    raiseForFile(path, e);
  }
}

// A record of the module: a Record object, or (acc, dt) / (acc, dt, name).
records::Record recordOf(const py::handle& item, std::size_t index) {
  if (py::isinstance<records::Record>(item)) return item.cast<records::Record>();
  if (!py::isinstance<py::tuple>(item) && !py::isinstance<py::list>(item)) bad(msg::kPyRecordItem);
  const py::sequence s = item.cast<py::sequence>();
  if (s.size() != 2 && s.size() != 3) bad(msg::kPyRecordItem);
  records::Record r;
  r.accel = vectorOf(s[0], "acc");
  try {
    r.dt = stepOf(s[1].cast<double>());
    r.name = s.size() == 3 ? s[2].cast<std::string>() : "запись " + std::to_string(index + 1);
  } catch (const py::cast_error&) {
    bad(msg::kPyRecordItem);
  }
  r.path = r.name;
  r.format = "array";
  r.units = "m/s2";
  return r;
}

// --- Targets ---------------------------------------------------------------------------------

check::Target targetOf(const std::string& spec) {
  try {
    py::gil_scoped_release release;
    return check::parseTarget(spec);
  } catch (const AppError& e) {
    const bool named = spec.starts_with("ec8:") || spec.starts_with("rg160:") || spec.empty();
    if (!named) raiseForFile(spec, e);
    throw py::value_error(e.what());
  }
}

check::Target tableTargetOf(const py::object& frequencies, const py::object& values,
                            const std::string& name) {
  const std::vector<double> f = vectorOf(frequencies, "frequencies");
  const std::vector<double> v = vectorOf(values, "values");
  if (f.size() != v.size()) bad(msg::kPyTableLengths);
  try {
    return check::tableTarget(f, v, name);
  } catch (const AppError& e) {
    throw py::value_error(e.what());
  }
}

double targetValue(const check::Target& t, double frequency, double damping) {
  if (!(frequency > 0) || !std::isfinite(frequency)) bad(msg::kPyFrequency);
  try {
    return t.valueAt(frequency, damping);
  } catch (const AppError& e) {
    throw py::value_error(e.what());
  }
}

py::object targetCall(const check::Target& t, const py::object& frequency, double damping) {
  if (py::isinstance<py::float_>(frequency) || py::isinstance<py::int_>(frequency))
    return py::float_(targetValue(t, frequency.cast<double>(), damping));
  const Array f = Array::ensure(frequency);
  if (!f) {
    PyErr_Clear();
    bad(msg::kPyFrequency);
  }
  py::array_t<double> out(std::vector<py::ssize_t>(f.shape(), f.shape() + f.ndim()));
  for (py::ssize_t i = 0; i < f.size(); ++i)
    out.mutable_data()[i] = targetValue(t, f.data()[i], damping);
  return py::object(std::move(out));
}

const char* kindName(check::TargetKind k) {
  switch (k) {
    case check::TargetKind::Ec8:
      return "ec8";
    case check::TargetKind::Rg160:
      return "rg160";
    case check::TargetKind::File:
      break;
  }
  return "file";
}

// --- Check -----------------------------------------------------------------------------------

struct RuleOptions {
  std::string rule;
  double damping;
  std::string quantity;
  std::optional<double> t1, tmin, tmax, fmin, fmax, minRatio;
  std::string peaks;
};

std::optional<double> positive(std::optional<double> v, const char* name) {
  if (v && (!(*v > 0) || !std::isfinite(*v))) bad(msg::pyPositive(name));
  return v;
}

// The rule's parameters as the check command takes them from its options, refused with the
// same reasons (the option names are the keywords here).
check::RuleParameters parametersOf(const RuleOptions& o, const check::Target& target) {
  check::RuleParameters p;
  try {
    p.rule = check::parseRule(o.rule);
  } catch (const AppError& e) {
    throw py::value_error("rule: " + std::string(e.what()));
  }
  if (!(o.damping >= 0 && o.damping < 1)) bad(msg::kPyDampingCheck);
  p.damping = o.damping;
  if (o.quantity != "psa" && o.quantity != "sa") bad(msg::kPyQuantityCheck);
  p.quantity = o.quantity == "sa" ? analysis::Quantity::Sa : analysis::Quantity::Psa;
  p.t1 = positive(o.t1, "t1");
  try {
    check::setPeriodRange(p, positive(o.tmin, "tmin"), positive(o.tmax, "tmax"),
                          positive(o.fmin, "fmin"), positive(o.fmax, "fmax"));
  } catch (const AppError& e) {
    throw py::value_error(e.what());
  }
  if (const auto r = positive(o.minRatio, "min_ratio")) p.minRatio = *r;
  if (p.rule == check::Rule::Srp && (p.t1 || o.minRatio)) bad(msg::kPySrpOptions);
  if (p.rule == check::Rule::Rb006 && (p.t1 || o.minRatio)) bad(msg::kPyRb006Options);
  if (p.rule == check::Rule::Ec8 && o.minRatio) bad(msg::kPyEc8Options);
  if (p.rule == check::Rule::Ec8 && !p.t1) bad("t1: " + std::string(msg::kNeedT1));
  p.refinedPeaks = peaksOf(o.peaks) == analysis::Peaks::Refined;
  if (!target.supportsDamping(p.damping))
    throw py::value_error(msg::badTarget(target.text, msg::kRg160Damping));
  return p;
}

const char* itemKindName(check::ItemKind k) {
  switch (k) {
    case check::ItemKind::RatioAtLeast:
      return "ratio_at_least";
    case check::ItemKind::RatioAtMost:
      return "ratio_at_most";
    case check::ItemKind::RunBelowOne:
      return "run_below_one";
    case check::ItemKind::Step:
      return "step";
    case check::ItemKind::Duration:
      return "duration";
    case check::ItemKind::RecordCount:
      return "record_count";
    case check::ItemKind::MeanSpectrum:
      return "mean_spectrum";
    case check::ItemKind::MeanRatio:
      return "mean_ratio";
    case check::ItemKind::MeanPeak:
      break;
  }
  return "mean_peak";
}

// What the Python layer turns into CheckResult: plain values and arrays.
py::dict checkDict(const check::CheckResult& r) {
  py::dict d;
  d["passed"] = r.pass;
  d["rule"] = check::ruleName(r.parameters.rule);
  d["target"] = r.targetText;
  d["records"] = r.recordNames;
  py::list items;
  for (const check::Verdict& v : r.verdicts) {
    py::dict i;
    i["item"] = v.item;
    i["record"] = v.record;
    i["detail"] = v.detail;
    i["passed"] = v.pass;
    i["kind"] = itemKindName(v.kind);
    i["information"] = v.information;
    items.append(i);
  }
  d["items"] = items;
  const std::size_t n = r.points.size(), m = r.recordNames.size();
  py::array_t<double> f(n), t(n), target(n), computed(n), ratio(n);
  py::array_t<bool> judged(n);
  py::array_t<double> ratios({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(m)});
  py::array_t<double> spectra({static_cast<py::ssize_t>(m), static_cast<py::ssize_t>(n)});
  for (std::size_t j = 0; j < n; ++j) {
    const check::CheckPoint& p = r.points[j];
    f.mutable_data()[j] = p.frequency;
    t.mutable_data()[j] = p.period;
    target.mutable_data()[j] = p.target;
    computed.mutable_data()[j] = p.computed;
    ratio.mutable_data()[j] = p.ratio;
    judged.mutable_data()[j] = p.judged;
    for (std::size_t k = 0; k < m; ++k)
      ratios.mutable_data()[j * m + k] = k < p.recordRatios.size() ? p.recordRatios[k] : NAN;
  }
  for (std::size_t k = 0; k < m; ++k)
    for (std::size_t j = 0; j < n; ++j)
      spectra.mutable_data()[k * n + j] =
          k < r.spectra.size() && j < r.spectra[k].size() ? r.spectra[k][j] : NAN;
  d["frequency_hz"] = f;
  d["period_s"] = t;
  d["target_value"] = target;
  d["computed"] = computed;
  d["ratio"] = ratio;
  d["judged"] = judged;
  d["record_ratios"] = ratios;
  d["spectra"] = spectra;
  d["text"] = check::checkText(r);
  d["csv"] = check::checkCsv(r);
  return d;
}

py::dict checkRecords(const py::list& items, const check::Target& target,
                      const RuleOptions& options, long long threads) {
  if (items.size() == 0) bad(msg::kPyNoRecords);
  std::vector<records::Record> records;
  for (std::size_t i = 0; i < items.size(); ++i) records.push_back(recordOf(items[i], i));
  const check::RuleParameters p = parametersOf(options, target);
  const unsigned n = threadsOf(threads);
  const check::CheckResult r = released([&] { return check::checkRecords(target, p, records, n); });
  return checkDict(r);
}

// --- Baseline and matching -------------------------------------------------------------------

py::array_t<double> baseline(const py::object& acc, double dt) {
  std::vector<double> a = vectorOf(acc, "acc");
  const double step = stepOf(dt);
  released([&] {
    matching::correctBaseline(a, step);
    return 0;
  });
  return arrayOf(a);
}

py::dict drift(const py::object& acc, double dt) {
  const std::vector<double> a = vectorOf(acc, "acc");
  const matching::Drift d = matching::driftOf(a, stepOf(dt));
  py::dict out;
  out["final_velocity"] = d.finalVelocity;
  out["final_displacement"] = d.finalDisplacement;
  out["peak_velocity"] = d.peakVelocity;
  out["peak_displacement"] = d.peakDisplacement;
  return out;
}

py::dict match(const check::Target& target, const py::object& seed, std::optional<double> dt,
               const RuleOptions& options, double duration, double step, int iterations,
               long long threads, const py::object& progress) {
  const check::RuleParameters p = parametersOf(options, target);
  matching::MatchSource source;
  if (!seed.is_none()) {
    if (py::isinstance<records::Record>(seed)) {
      source.seed = seed.cast<records::Record>();
    } else {
      if (!dt) bad(msg::kPySeedStep);
      records::Record r;
      r.accel = vectorOf(seed, "seed");
      r.dt = stepOf(*dt);
      r.name = r.path = "seed";
      source.seed = std::move(r);
    }
  }
  source.duration = *positive(duration, "duration");
  source.step = *positive(step, "step");
  if (iterations < 1 || iterations > 1000) bad(msg::kPyIterations);
  const unsigned n = threadsOf(threads);

  // Each iteration asks Python whether Ctrl+C was pressed (and tells `progress`): a request
  // stops the run, which then throws MatchCancelled and keeps nothing.
  std::stop_source stop;
  bool interrupted = false;
  std::optional<py::error_already_set> progressError;
  const auto onIteration = [&](int i, double lo, double hi) {
    py::gil_scoped_acquire acquire;
    if (PyErr_CheckSignals() != 0) {
      progressError.emplace();
      interrupted = true;
      stop.request_stop();
      return;
    }
    if (progress.is_none()) return;
    try {
      progress(i, lo, hi);
    } catch (py::error_already_set& e) {
      progressError.emplace(std::move(e));
      stop.request_stop();
    }
  };
  std::optional<matching::RuleMatch> matched;
  try {
    py::gil_scoped_release release;
    matched =
        matching::matchToRule(target, p, source, iterations, n, onIteration, stop.get_token());
  } catch (const matching::MatchCancelled&) {
    if (progressError && !interrupted) throw std::move(*progressError);
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
  } catch (const AppError& e) {
    throw py::value_error(e.what());
  }
  const matching::MatchResult& r = matched->match;
  py::dict d;
  d["acc"] = arrayOf(r.accel);
  d["dt"] = matched->dt;
  d["passed"] = r.passed;
  d["within_aim"] = r.withinAim;
  d["lowest_ratio"] = r.lowestRatio;
  d["highest_ratio"] = r.highestRatio;
  d["peak"] = r.peak;
  d["iterations"] = r.iterations;
  d["aim_lowest"] = matched->goalLowest;
  d["aim_highest"] = matched->goalHighest;
  d["zero_period"] = target.zeroPeriodValue();
  d["scale"] = r.scale;
  if (source.seed) {
    const matching::Character c = matching::characterOf(r.accel, r.reference, matched->dt);
    py::dict ch;
    ch["arias"] = c.arias;
    ch["d5_95_shift"] = c.d5_95Shift;
    ch["displacement"] = c.displacement;
    ch["edges"] = c.edges;
    ch["kept"] = c.kept();
    d["character"] = ch;
  } else {
    d["character"] = py::none();
  }
  d["check"] = matched->check ? py::object(checkDict(*matched->check)) : py::none();
  return d;
}

}  // namespace

}  // namespace accelspec::python

PYBIND11_MODULE(_core, m) {
  using namespace accelspec;
  using namespace accelspec::python;
  m.doc() = "The accelspec core (compiled part); use the functions of the accelspec package.";

  py::class_<records::Record>(
      m, "Record",
      "A record read by read_record: acc (m/s², read-only array), dt (s), format, path, name,\n"
      "units (the file's), warnings (what the reading assumed) and meta (all of them).\n\n"
      "Запись, прочитанная read_record: ускорения acc в м/с², шаг dt в с, формат и единицы файла.")
      .def_property_readonly("acc",
                             [](py::object self) {
                               const auto& r = self.cast<const records::Record&>();
                               py::array_t<double> a({static_cast<py::ssize_t>(r.accel.size())},
                                                     {sizeof(double)}, r.accel.data(), self);
                               a.attr("flags").attr("writeable") = false;
                               return a;
                             })
      .def_readonly("dt", &records::Record::dt)
      .def_readonly("format", &records::Record::format)
      .def_readonly("path", &records::Record::path)
      .def_readonly("name", &records::Record::name)
      .def_readonly("units", &records::Record::units)
      .def_readonly("warnings", &records::Record::warnings)
      .def_property_readonly("meta",
                             [](const records::Record& r) {
                               py::dict d;
                               d["path"] = r.path;
                               d["name"] = r.name;
                               d["format"] = r.format;
                               d["units"] = r.units;
                               d["dt"] = r.dt;
                               d["samples"] = r.accel.size();
                               d["warnings"] = r.warnings;
                               return d;
                             })
      .def("__len__", [](const records::Record& r) { return r.accel.size(); })
      .def("__repr__", [](const records::Record& r) {
        return "<accelspec.Record " + r.name + ": " + std::to_string(r.accel.size()) +
               " samples, dt " + py::repr(py::float_(r.dt)).cast<std::string>() + " s, " +
               r.format + ">";
      });

  py::class_<check::Target>(
      m, "Target",
      "A target spectrum of pseudo-acceleration (m/s²): t(frequency_hz, damping=0.05) for a\n"
      "number or an array; zero_period, kind (file, ec8, rg160), text, description.\n\n"
      "Целевой спектр псевдоускорений (м/с²) как функция частоты в Гц.")
      .def("__call__", &targetCall, py::arg("frequency"), py::arg("damping") = 0.05,
           "The target at `frequency` (Hz, > 0) for `damping`, m/s². / Значение цели, м/с².")
      .def_property_readonly("zero_period", &check::Target::zeroPeriodValue)
      .def_readonly("text", &check::Target::text)
      .def_property_readonly("kind", [](const check::Target& t) { return kindName(t.kind); })
      .def_property_readonly("description", &check::describeTarget)
      .def_property_readonly("lowest_frequency", &check::Target::lowestFrequency)
      .def_property_readonly("highest_frequency", &check::Target::highestFrequency)
      .def("supports_damping", &check::Target::supportsDamping, py::arg("damping"))
      .def("__repr__", [](const check::Target& t) {
        return "<accelspec.Target " + check::describeTarget(t) + ">";
      });

  m.def("read_record", &readRecord, py::arg("path"), py::arg("format") = py::none(),
        py::arg("units") = py::none(), py::arg("step") = py::none(), py::arg("channel") = 1);
  m.def("spectra", &spectra, py::arg("acc"), py::arg("dt"), py::arg("grid"), py::arg("dampings"),
        py::arg("quantities"), py::arg("peaks"), py::arg("threads"));
  m.def("rotd", &rotd, py::arg("acc1"), py::arg("acc2"), py::arg("dt"), py::arg("grid"),
        py::arg("dampings"), py::arg("quantities"), py::arg("peaks"), py::arg("percentile"),
        py::arg("threads"));
  m.def("spectra_csv", &spectraCsv, py::arg("freqs"), py::arg("periods"), py::arg("dampings"),
        py::arg("quantities"), py::arg("values"));
  m.def("measures", &measures, py::arg("acc"), py::arg("dt"), py::arg("peaks"), py::arg("threads"));
  m.def("target", &targetOf, py::arg("spec"));
  m.def("table_target", &tableTargetOf, py::arg("frequencies"), py::arg("values"), py::arg("name"));
  m.def(
      "check",
      [](const py::list& records, const check::Target& target, const std::string& rule,
         double damping, const std::string& quantity, std::optional<double> t1,
         std::optional<double> tmin, std::optional<double> tmax, std::optional<double> fmin,
         std::optional<double> fmax, std::optional<double> minRatio, const std::string& peaks,
         long long threads) {
        return checkRecords(records, target,
                            {rule, damping, quantity, t1, tmin, tmax, fmin, fmax, minRatio, peaks},
                            threads);
      },
      py::arg("records"), py::arg("target"), py::arg("rule"), py::arg("damping"),
      py::arg("quantity"), py::arg("t1"), py::arg("tmin"), py::arg("tmax"), py::arg("fmin"),
      py::arg("fmax"), py::arg("min_ratio"), py::arg("peaks"), py::arg("threads"));
  m.def("baseline", &baseline, py::arg("acc"), py::arg("dt"));
  m.def("drift", &drift, py::arg("acc"), py::arg("dt"));
  m.def(
      "match",
      [](const check::Target& target, const py::object& seed, std::optional<double> dt,
         const std::string& rule, double damping, const std::string& quantity,
         std::optional<double> t1, std::optional<double> tmin, std::optional<double> tmax,
         std::optional<double> fmin, std::optional<double> fmax, std::optional<double> minRatio,
         double duration, double step, int iterations, long long threads,
         const py::object& progress) {
        return match(target, seed, dt,
                     {rule, damping, quantity, t1, tmin, tmax, fmin, fmax, minRatio, "refined"},
                     duration, step, iterations, threads, progress);
      },
      py::arg("target"), py::arg("seed"), py::arg("dt"), py::arg("rule"), py::arg("damping"),
      py::arg("quantity"), py::arg("t1"), py::arg("tmin"), py::arg("tmax"), py::arg("fmin"),
      py::arg("fmax"), py::arg("min_ratio"), py::arg("duration"), py::arg("step"),
      py::arg("iterations"), py::arg("threads"), py::arg("progress"));
}
