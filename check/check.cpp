#include "check/check.hpp"

#include <algorithm>
#include <cmath>

#include "analysis/number_text.hpp"
#include "check/check_messages.hpp"
#include "data/error.hpp"

namespace accelspec::check {
namespace {

// Rule limits compared with a little slack, so that a step written as 0.01 in a file, or a
// duration of exactly 20 s, is not refused for its last bit.
constexpr double kSlack = 1e-9;

// A ratio is compared with the same slack: a spectrum scaled to exactly a band's edge, or equal
// to the target up to its last bits, is at the edge and not beyond it.
bool atLeast(double ratio, double limit) { return ratio >= limit * (1 - kSlack); }
bool atMost(double ratio, double limit) { return ratio <= limit * (1 + kSlack); }
bool belowOne(double ratio) { return ratio < 1 - kSlack; }
constexpr double kSrpLow = 0.9, kSrpHigh = 1.3, kSrpMaxDt = 0.01, kSrpMinDuration = 20.0;
constexpr std::size_t kSrpMaxRunBelowOne = 9;
constexpr double kEc8Ratio = 0.9;
constexpr std::size_t kEc8MinRecords = 3;

std::string num(double v) { return analysis::formatNumber(v, 6); }

std::string at(const CheckPoint& p) { return num(p.frequency) + " Hz (" + num(p.period) + " s)"; }

bool inPeriodRange(double period, double lo, double hi) {
  return period >= lo * (1 - kSlack) && period <= hi * (1 + kSlack);
}

// The longest run of adjacent judged points whose ratio is below 1.0.
Run longestRun(const std::vector<CheckPoint>& points, int record) {
  Run best, current;
  best.record = current.record = record;
  for (std::size_t j = 0; j < points.size(); ++j) {
    const double r =
        record < 0 ? points[j].ratio : points[j].recordRatios[static_cast<std::size_t>(record)];
    if (points[j].judged && belowOne(r)) {
      if (current.length == 0) current.first = j;
      ++current.length;
      if (current.length > best.length) best = current;
    } else {
      current.length = 0;
    }
  }
  return best;
}

// Lowest and highest judged ratio of one record (−1: the mean).
std::pair<Where, Where> extremes(const std::vector<CheckPoint>& points, int record) {
  Where lo{0, record, 0}, hi{0, record, 0};
  bool first = true;
  for (std::size_t j = 0; j < points.size(); ++j) {
    if (!points[j].judged) continue;
    const double r =
        record < 0 ? points[j].ratio : points[j].recordRatios[static_cast<std::size_t>(record)];
    if (first || r < lo.ratio) lo = {j, record, r};
    if (first || r > hi.ratio) hi = {j, record, r};
    first = false;
  }
  return {lo, hi};
}

std::string runText(const std::vector<CheckPoint>& points, const Run& run) {
  if (run.length == 0) return "none";
  return std::to_string(run.length) + " points, " + num(points[run.first].frequency) + "–" +
         num(points[run.first + run.length - 1].frequency) + " Hz";
}

}  // namespace

const char* ruleName(Rule rule) {
  switch (rule) {
    case Rule::Srp:
      return "srp";
    case Rule::Ec8:
      return "ec8";
    case Rule::Asce7:
      return "asce7";
  }
  return "";
}

Rule parseRule(const std::string& text) {
  for (Rule r : {Rule::Srp, Rule::Ec8, Rule::Asce7})
    if (text == ruleName(r)) return r;
  throw AppError(std::string(msg::kBadRule));
}

std::vector<analysis::GridPoint> checkGrid(double maxDt) {
  std::vector<analysis::GridPoint> grid;
  if (!(maxDt > 0) || !std::isfinite(maxDt)) return grid;
  const double fmax = std::min(50.0, 1.0 / (2.0 * maxDt)) * (1 + kSlack);
  for (int k = 0;; ++k) {
    const double f = 0.1 * std::pow(10.0, k / 100.0);
    if (f > fmax) break;
    grid.push_back({f, 1.0 / f});
  }
  return grid;
}

CheckRecord checkRecordOf(const records::Record& record,
                          const std::vector<analysis::GridPoint>& grid,
                          const RuleParameters& parameters, unsigned threads) {
  analysis::SpectraRequest request;
  request.grid = grid;
  request.dampings = {parameters.damping};
  request.quantities = {parameters.quantity};
  request.peaks = parameters.refinedPeaks ? analysis::Peaks::Refined : analysis::Peaks::Samples;
  request.threads = std::max(1u, threads);
  const analysis::Spectra s = analysis::computeSpectra(record.accel, record.dt, request);
  CheckRecord out;
  out.name = record.name;
  out.dt = record.dt;
  out.samples = record.accel.size();
  for (double a : record.accel) out.zeroPeriod = std::max(out.zeroPeriod, std::abs(a));
  out.spectrum.resize(grid.size());
  for (std::size_t j = 0; j < grid.size(); ++j) out.spectrum[j] = s.value(0, 0, j);
  return out;
}

CheckResult evaluateRule(const Target& target, const RuleParameters& parameters,
                         const std::vector<analysis::GridPoint>& grid,
                         const std::vector<CheckRecord>& records) {
  if (records.empty()) throw AppError(std::string(msg::kNoRecords));
  if (grid.empty()) throw AppError(std::string(msg::kNoGrid));
  for (const auto& r : records)
    if (r.spectrum.size() != grid.size()) throw AppError(std::string(msg::kSpectrumLength));
  if (!target.supportsDamping(parameters.damping))
    throw AppError(msg::badTarget(target.text, msg::kRg160Damping));

  CheckResult res;
  res.parameters = parameters;
  res.targetText = describeTarget(target);
  for (const auto& r : records) {
    res.recordNames.push_back(r.name);
    res.spectra.push_back(r.spectrum);
  }

  // The range of periods the rule judges.
  double tlo = 0, thi = INFINITY;
  switch (parameters.rule) {
    case Rule::Srp:
      res.lowerBand = kSrpLow;
      res.upperBand = kSrpHigh;
      break;
    case Rule::Ec8:
      if (!parameters.t1 || !(*parameters.t1 > 0)) throw AppError(std::string(msg::kNeedT1));
      tlo = 0.2 * *parameters.t1;
      thi = 2.0 * *parameters.t1;
      res.lowerBand = kEc8Ratio;
      break;
    case Rule::Asce7:
      if (parameters.tmin || parameters.tmax) {
        tlo = parameters.tmin.value_or(0);
        thi = parameters.tmax.value_or(INFINITY);
      } else if (parameters.t1) {
        tlo = 0.2 * *parameters.t1;
        thi = 2.0 * *parameters.t1;
      }
      res.lowerBand = parameters.minRatio;
      break;
  }

  const double n = static_cast<double>(records.size());
  bool anyJudged = false;
  for (std::size_t j = 0; j < grid.size(); ++j) {
    CheckPoint p;
    p.frequency = grid[j].frequency;
    p.period = grid[j].period;
    p.target = target.valueAt(p.frequency, parameters.damping);
    double sum = 0;
    for (const auto& r : records) {
      sum += r.spectrum[j];
      p.recordRatios.push_back(r.spectrum[j] / p.target);
    }
    p.computed = sum / n;
    p.ratio = p.computed / p.target;
    p.judged = inPeriodRange(p.period, tlo, thi);
    anyJudged = anyJudged || p.judged;
    res.points.push_back(std::move(p));
  }
  if (!anyJudged) throw AppError(std::string(msg::kEmptyRange));

  const auto& pts = res.points;
  auto add = [&](std::string item, std::string record, std::string detail, bool pass) {
    res.verdicts.push_back({std::move(item), std::move(record), std::move(detail), pass});
  };

  if (parameters.rule == Rule::Srp) {
    bool firstRecord = true;
    for (std::size_t i = 0; i < records.size(); ++i) {
      const int ri = static_cast<int>(i);
      const auto& r = records[i];
      const auto [lo, hi] = extremes(pts, ri);
      const Run run = longestRun(pts, ri);
      if (firstRecord || lo.ratio < res.lowest.ratio) res.lowest = lo;
      if (firstRecord || hi.ratio > res.highest.ratio) res.highest = hi;
      if (firstRecord || run.length > res.longestBelowOne.length) res.longestBelowOne = run;
      firstRecord = false;
      add("every ratio >= 0.9", r.name, "lowest " + num(lo.ratio) + " at " + at(pts[lo.point]),
          atLeast(lo.ratio, kSrpLow));
      add("every ratio <= 1.3", r.name, "highest " + num(hi.ratio) + " at " + at(pts[hi.point]),
          atMost(hi.ratio, kSrpHigh));
      add("at most 9 adjacent points below 1.0", r.name, "longest run " + runText(pts, run),
          run.length <= kSrpMaxRunBelowOne);
      add("step at most 0.01 s", r.name, "step " + num(r.dt) + " s",
          r.dt <= kSrpMaxDt * (1 + kSlack));
      add("duration at least 20 s", r.name, "duration " + num(r.duration()) + " s",
          r.duration() >= kSrpMinDuration * (1 - kSlack));
    }
  } else {
    const auto [lo, hi] = extremes(pts, -1);
    res.lowest = lo;
    res.highest = hi;
    res.longestBelowOne = longestRun(pts, -1);
    if (parameters.rule == Rule::Ec8) {
      add("at least 3 records", "", std::to_string(records.size()) + " records",
          records.size() >= kEc8MinRecords);
      add("mean spectrum >= 0.9 of the target from 0.2·T1 to 2·T1", "",
          "lowest " + num(lo.ratio) + " at " + at(pts[lo.point]), atLeast(lo.ratio, kEc8Ratio));
      double zpa = 0;
      for (const auto& r : records) zpa += r.zeroPeriod;
      zpa /= n;
      const double need = target.zeroPeriodValue();
      add(target.kind == TargetKind::Ec8 ? "mean peak ground acceleration >= ag·S"
                                         : "mean peak ground acceleration >= the target at 0 s",
          "", "mean " + num(zpa) + " m/s2, target " + num(need) + " m/s2", atLeast(zpa, need));
    } else {
      add("mean spectrum >= " + num(parameters.minRatio) + " of the target", "",
          "lowest " + num(lo.ratio) + " at " + at(pts[lo.point]),
          atLeast(lo.ratio, parameters.minRatio));
    }
  }
  res.pass = std::all_of(res.verdicts.begin(), res.verdicts.end(),
                         [](const Verdict& v) { return v.pass; });
  return res;
}

CheckResult checkRecords(const Target& target, const RuleParameters& parameters,
                         const std::vector<records::Record>& records, unsigned threads) {
  if (records.empty()) throw AppError(std::string(msg::kNoRecords));
  double maxDt = 0;
  for (const auto& r : records) maxDt = std::max(maxDt, r.dt);
  const auto grid = checkGrid(maxDt);
  if (grid.empty()) throw AppError(std::string(msg::kNoGrid));
  std::vector<CheckRecord> computed;
  for (const auto& r : records) computed.push_back(checkRecordOf(r, grid, parameters, threads));
  return evaluateRule(target, parameters, grid, computed);
}

namespace {

std::vector<std::string> tableHeader(const CheckResult& res) {
  std::vector<std::string> h = {"frequency_hz", "period_s", "target",
                                res.recordNames.size() > 1 ? "mean" : "computed", "ratio"};
  if (res.parameters.rule == Rule::Srp && res.recordNames.size() > 1)
    for (const auto& name : res.recordNames) h.push_back("ratio_" + name);
  return h;
}

std::vector<std::string> tableRow(const CheckResult& res, const CheckPoint& p) {
  std::vector<std::string> row = {num(p.frequency), num(p.period), num(p.target), num(p.computed),
                                  num(p.ratio)};
  if (res.parameters.rule == Rule::Srp && res.recordNames.size() > 1)
    for (double r : p.recordRatios) row.push_back(num(r));
  return row;
}

std::string whereText(const CheckResult& res, const Where& w) {
  std::string s = num(w.ratio) + " at " + at(res.points[w.point]);
  if (w.record >= 0 && res.recordNames.size() > 1)
    s += ", " + res.recordNames[static_cast<std::size_t>(w.record)];
  return s;
}

}  // namespace

std::string checkText(const CheckResult& res) {
  std::vector<std::vector<std::string>> rows = {tableHeader(res)};
  for (const auto& p : res.points)
    if (p.judged) rows.push_back(tableRow(res, p));
  std::vector<std::size_t> width(rows[0].size(), 0);
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
  std::string out = "# " + std::string(ruleName(res.parameters.rule)) + ", target " +
                    res.targetText + ", damping " + num(res.parameters.damping) + ", " +
                    analysis::quantityName(res.parameters.quantity) + "\n";
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) out += "  ";
      // Names to the left, numbers to the right, so the columns read as a table.
      const std::string pad(width[c] - row[c].size(), ' ');
      out += &row == &rows[0] ? row[c] + (c + 1 < row.size() ? pad : "") : pad + row[c];
    }
    out += '\n';
  }
  out += "lowest ratio: " + whereText(res, res.lowest) + "\n";
  out += "highest ratio: " + whereText(res, res.highest) + "\n";
  out += "longest run below 1.0: " + runText(res.points, res.longestBelowOne);
  if (res.longestBelowOne.length && res.longestBelowOne.record >= 0 && res.recordNames.size() > 1)
    out += ", " + res.recordNames[static_cast<std::size_t>(res.longestBelowOne.record)];
  out += "\n";
  for (const auto& v : res.verdicts) {
    out += v.pass ? "pass  " : "fail  ";
    if (!v.record.empty()) out += v.record + ": ";
    out += v.item + " (" + v.detail + ")\n";
  }
  out += res.pass ? "PASS\n" : "FAIL\n";
  return out;
}

std::string checkCsv(const CheckResult& res) {
  std::string out;
  auto line = [&out](const std::vector<std::string>& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c) out += (c ? "," : "") + cells[c];
    out += '\n';
  };
  line(tableHeader(res));
  for (const auto& p : res.points)
    if (p.judged) line(tableRow(res, p));
  return out;
}

}  // namespace accelspec::check
