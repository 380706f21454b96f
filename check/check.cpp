// SPDX-License-Identifier: MIT
#include "check/check.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

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

// Source: US NRC SRP 3.7.1 (Rev. 4), Option 1 Approach 2: spectrum ratios 0.9 … 1.3 at every
// check point, at most 9 adjacent points below 1.0, a time step of at most 0.01 s, a duration of
// at least 20 s.
constexpr double kSrpLow = 0.9, kSrpHigh = 1.3, kSrpMaxDt = 0.01, kSrpMinDuration = 20.0;
constexpr std::size_t kSrpMaxRunBelowOne = 9;
// Source: EN 1998-1 §3.2.3.1.2: at least 3 accelerograms; their mean 5 % spectrum not below
// 0.9 of the elastic spectrum over 0.2·T1 … 2·T1.
constexpr double kEc8Ratio = 0.9;
constexpr std::size_t kEc8MinRecords = 3;
// Source: RB-006-98 §5.3.3: no point of the mean spectrum more than 10 % below the design
// spectrum, read as the mean at least 0.9 of the target at every judged point.
constexpr double kRb006Ratio = 0.9;
// Source: RB-006-98 §5.3.2: the ratios of the records' spectra to the design spectrum are taken
// over 0.5–33 Hz; the same band is the range the rule judges (5.3.3 names none of its own).
constexpr double kRb006Fmin = 0.5, kRb006Fmax = 33.0;

std::string num(double v) { return analysis::formatNumber(v, 6); }

std::string at(const CheckPoint& p) { return msg::atPoint(num(p.frequency), num(p.period)); }

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
  if (run.length == 0) return std::string(msg::kNoRun);
  return msg::runOf(run.length, num(points[run.first].frequency),
                    num(points[run.first + run.length - 1].frequency));
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
    case Rule::Rb006:
      return "rb006";
  }
  return "";
}

Rule parseRule(const std::string& text) {
  for (Rule r : {Rule::Srp, Rule::Ec8, Rule::Asce7, Rule::Rb006})
    if (text == ruleName(r)) return r;
  throw AppError(msg::kBadRule);
}

void setPeriodRange(RuleParameters& p, std::optional<double> tmin, std::optional<double> tmax,
                    std::optional<double> fmin, std::optional<double> fmax) {
  if ((tmin && fmax) || (tmax && fmin)) throw AppError(msg::kRangeTwice);
  if (fmax) tmin = 1.0 / *fmax;
  if (fmin) tmax = 1.0 / *fmin;
  if (tmin && tmax && *tmin > *tmax) throw AppError(msg::kRangeReversed);
  p.tmin = tmin;
  p.tmax = tmax;
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

namespace {

// Refuses what no rule can judge: no records or grid, spectra of another grid, values that
// are not finite, a damping the target has no values for.
void checkInputs(const Target& target, const RuleParameters& parameters,
                 const std::vector<analysis::GridPoint>& grid,
                 const std::vector<CheckRecord>& records) {
  if (records.empty()) throw AppError(msg::kNoRecords);
  if (grid.empty()) throw AppError(msg::kNoGrid);
  for (const auto& r : records) {
    if (r.spectrum.size() != grid.size()) throw AppError(msg::kSpectrumLength);
    // A NaN compares false both ways and would slip past every limit as a pass.
    for (double v : r.spectrum)
      if (!std::isfinite(v) || v < 0) throw AppError(msg::kSpectrumNotFinite);
    if (!std::isfinite(r.zeroPeriod) || !std::isfinite(r.dt))
      throw AppError(msg::kSpectrumNotFinite);
  }
  if (!target.supportsDamping(parameters.damping))
    throw AppError(msg::badTarget(target.text, msg::kRg160Damping));
}

struct PeriodRange {
  double lo = 0, hi = INFINITY;
};

// The range of periods the rule judges, and its bands into `res`.
PeriodRange ruleRange(const RuleParameters& parameters, CheckResult& res) {
  PeriodRange range;
  switch (parameters.rule) {
    case Rule::Srp:
      res.lowerBand = kSrpLow;
      res.upperBand = kSrpHigh;
      break;
    case Rule::Ec8:
      if (!parameters.t1 || !(*parameters.t1 > 0)) throw AppError(msg::kNeedT1);
      range = {0.2 * *parameters.t1, 2.0 * *parameters.t1};
      res.lowerBand = kEc8Ratio;
      break;
    case Rule::Asce7:
      if (parameters.tmin || parameters.tmax) {
        range = {parameters.tmin.value_or(0), parameters.tmax.value_or(INFINITY)};
      } else if (parameters.t1) {
        range = {0.2 * *parameters.t1, 2.0 * *parameters.t1};
      }
      res.lowerBand = parameters.minRatio;
      break;
    case Rule::Rb006:
      range = {1.0 / kRb006Fmax, 1.0 / kRb006Fmin};
      res.lowerBand = kRb006Ratio;
      break;
  }
  return range;
}

// Every grid point with its target, mean and ratios, judged when it lies in the rule's range as
// the options narrow it and inside the target. Throws msg::kEmptyRange when none is judged.
void judgePoints(const Target& target, const RuleParameters& parameters,
                 const std::vector<analysis::GridPoint>& grid,
                 const std::vector<CheckRecord>& records, CheckResult& res) {
  const PeriodRange rule = ruleRange(parameters, res);
  // Under srp, ec8 and rb006, --tmin/--tmax narrow the rule's own range (asce7 takes them as its
  // range).
  PeriodRange options = rule;
  if (parameters.rule != Rule::Asce7) {
    if (parameters.tmin) options.lo = std::max(options.lo, *parameters.tmin);
    if (parameters.tmax) options.hi = std::min(options.hi, *parameters.tmax);
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
    // A file target has no values beyond its end points (valueAt only repeats them): nothing
    // is judged there.
    const bool inRule = inPeriodRange(p.period, rule.lo, rule.hi);
    const bool inOptions = inPeriodRange(p.period, options.lo, options.hi);
    const bool inTarget = p.frequency >= target.lowestFrequency() * (1 - kSlack) &&
                          p.frequency <= target.highestFrequency() * (1 + kSlack);
    p.judged = inOptions && inTarget;
    res.cutByOptions = res.cutByOptions || (inRule && !inOptions);
    res.cutByTarget = res.cutByTarget || (inOptions && !inTarget);
    anyJudged = anyJudged || p.judged;
    res.points.push_back(std::move(p));
  }
  if (!anyJudged) throw AppError(msg::kEmptyRange);
}

void add(CheckResult& res, ItemKind kind, std::string_view item, std::string record,
         std::string detail, bool pass) {
  res.verdicts.push_back({std::string(item), std::move(record), std::move(detail), pass, kind});
}

// srp: every record on its own, its ratios within the band, its runs below 1.0, step, duration.
void judgeSrp(const std::vector<CheckRecord>& records, CheckResult& res) {
  const auto& pts = res.points;
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
    add(res, ItemKind::RatioAtLeast, msg::kItemRatioAtLeast, r.name,
        msg::foundLowest(num(lo.ratio), at(pts[lo.point])), atLeast(lo.ratio, kSrpLow));
    add(res, ItemKind::RatioAtMost, msg::kItemRatioAtMost, r.name,
        msg::foundHighest(num(hi.ratio), at(pts[hi.point])), atMost(hi.ratio, kSrpHigh));
    add(res, ItemKind::RunBelowOne, msg::kItemRunBelowOne, r.name, msg::foundRun(runText(pts, run)),
        run.length <= kSrpMaxRunBelowOne);
    add(res, ItemKind::Step, msg::kItemStep, r.name, msg::foundStep(num(r.dt)),
        r.dt <= kSrpMaxDt * (1 + kSlack));
    add(res, ItemKind::Duration, msg::kItemDuration, r.name, msg::foundDuration(num(r.duration())),
        r.duration() >= kSrpMinDuration * (1 - kSlack));
  }
}

// The mean spectrum's extremes and longest run below 1.0 (ec8, asce7).
void meanExtremes(CheckResult& res) {
  const auto [lo, hi] = extremes(res.points, -1);
  res.lowest = lo;
  res.highest = hi;
  res.longestBelowOne = longestRun(res.points, -1);
}

// ec8: the number of records, the mean spectrum against the band, the mean peak against ag·S.
void judgeEc8(const Target& target, const std::vector<CheckRecord>& records, CheckResult& res) {
  meanExtremes(res);
  const Where lo = res.lowest;
  add(res, ItemKind::RecordCount, msg::kItemRecordCount, "", msg::foundRecords(records.size()),
      records.size() >= kEc8MinRecords);
  add(res, ItemKind::MeanSpectrum, msg::kItemEc8Mean, "",
      msg::foundLowest(num(lo.ratio), at(res.points[lo.point])), atLeast(lo.ratio, kEc8Ratio));
  double zpa = 0;
  for (const auto& r : records) zpa += r.zeroPeriod;
  zpa /= static_cast<double>(records.size());
  const double need = target.zeroPeriodValue();
  add(res, ItemKind::MeanPeak,
      target.kind == TargetKind::Ec8 ? msg::kItemPeakEc8 : msg::kItemPeakTarget, "",
      msg::foundPeak(num(zpa), num(need)), atLeast(zpa, need));
}

// asce7: the mean spectrum against --min-ratio over the range.
void judgeAsce7(const RuleParameters& parameters, CheckResult& res) {
  meanExtremes(res);
  const Where lo = res.lowest;
  add(res, ItemKind::MeanSpectrum, msg::itemMeanAtLeast(num(parameters.minRatio)), "",
      msg::foundLowest(num(lo.ratio), at(res.points[lo.point])),
      atLeast(lo.ratio, parameters.minRatio));
}

// rb006: 5.3.1 the mean peak against the zero-period value, 5.3.2 the mean ratio of the records'
// spectra to the target over the judged points (information), 5.3.3 the mean spectrum against
// 0.9 of the target at every judged point.
void judgeRb006(const Target& target, const std::vector<CheckRecord>& records, CheckResult& res) {
  meanExtremes(res);
  double zpa = 0;
  for (const auto& r : records) zpa += r.zeroPeriod;
  zpa /= static_cast<double>(records.size());
  const double need = target.zeroPeriodValue();
  add(res, ItemKind::MeanPeak, msg::kItemRb006Peak, "", msg::foundPeak(num(zpa), num(need)),
      atLeast(zpa, need));
  double sum = 0;
  std::size_t points = 0;
  for (const auto& p : res.points) {
    if (!p.judged) continue;
    ++points;
    for (double r : p.recordRatios) sum += r;
  }
  const double mean = sum / static_cast<double>(points * records.size());
  add(res, ItemKind::MeanRatio, msg::kItemRb006Ratio, "",
      msg::foundMeanRatio(num(mean), points, records.size()), true);
  res.verdicts.back().information = true;
  const Where lo = res.lowest;
  add(res, ItemKind::MeanSpectrum, msg::kItemRb006Mean, "",
      msg::foundLowest(num(lo.ratio), at(res.points[lo.point])), atLeast(lo.ratio, kRb006Ratio));
}

}  // namespace

CheckResult evaluateRule(const Target& target, const RuleParameters& parameters,
                         const std::vector<analysis::GridPoint>& grid,
                         const std::vector<CheckRecord>& records) {
  checkInputs(target, parameters, grid, records);
  CheckResult res;
  res.parameters = parameters;
  res.targetText = describeTarget(target);
  for (const auto& r : records) {
    res.recordNames.push_back(r.name);
    res.spectra.push_back(r.spectrum);
  }
  judgePoints(target, parameters, grid, records, res);
  switch (parameters.rule) {
    case Rule::Srp:
      judgeSrp(records, res);
      break;
    case Rule::Ec8:
      judgeEc8(target, records, res);
      break;
    case Rule::Asce7:
      judgeAsce7(parameters, res);
      break;
    case Rule::Rb006:
      judgeRb006(target, records, res);
      break;
  }
  res.pass = std::all_of(res.verdicts.begin(), res.verdicts.end(),
                         [](const Verdict& v) { return v.pass; });
  return res;
}

CheckResult checkRecords(const Target& target, const RuleParameters& parameters,
                         const std::vector<records::Record>& records, unsigned threads) {
  if (records.empty()) throw AppError(msg::kNoRecords);
  double maxDt = 0;
  for (const auto& r : records) maxDt = std::max(maxDt, r.dt);
  const auto grid = checkGrid(maxDt);
  if (grid.empty()) throw AppError(msg::kNoGrid);
  std::vector<CheckRecord> computed;
  for (const auto& r : records) computed.push_back(checkRecordOf(r, grid, parameters, threads));
  return evaluateRule(target, parameters, grid, computed);
}

namespace {

std::vector<std::string> tableHeader(const CheckResult& res) {
  // PSA and SA alike are accelerations; the ratios have no unit.
  std::vector<std::string> h = {"frequency_hz", "period_s", "target_m_s2",
                                res.recordNames.size() > 1 ? "mean_m_s2" : "computed_m_s2",
                                "ratio"};
  if (res.parameters.rule == Rule::Srp && res.recordNames.size() > 1)
    for (const auto& name : res.recordNames) h.push_back("ratio_" + name);
  return h;
}

// `digits` significant digits: 6 for the text a person reads, 10 in the CSV table as spectra.
std::vector<std::string> tableRow(const CheckResult& res, const CheckPoint& p, int digits = 6) {
  const auto n = [digits](double v) { return analysis::formatNumber(v, digits); };
  std::vector<std::string> row = {n(p.frequency), n(p.period), n(p.target), n(p.computed),
                                  n(p.ratio)};
  if (res.parameters.rule == Rule::Srp && res.recordNames.size() > 1)
    for (double r : p.recordRatios) row.push_back(n(r));
  return row;
}

std::string whereText(const CheckResult& res, const Where& w) {
  std::string s = msg::extremeAt(num(w.ratio), at(res.points[w.point]));
  if (w.record >= 0 && res.recordNames.size() > 1)
    s += ", " + res.recordNames[static_cast<std::size_t>(w.record)];
  return s;
}

}  // namespace

std::string judgedRangeText(const CheckResult& res) {
  if (!res.cutByTarget && !res.cutByOptions) return "";
  const CheckPoint *first = nullptr, *last = nullptr;
  for (const auto& p : res.points)
    if (p.judged) {
      if (!first) first = &p;
      last = &p;
    }
  if (!first) return "";
  return msg::judgedRangeCut(num(first->frequency), num(last->frequency), num(last->period),
                             num(first->period), res.cutByTarget, res.cutByOptions);
}

std::string checkText(const CheckResult& res) {
  std::vector<std::vector<std::string>> rows = {tableHeader(res)};
  for (const auto& p : res.points)
    if (p.judged) rows.push_back(tableRow(res, p));
  std::vector<std::size_t> width(rows[0].size(), 0);
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
  std::string out =
      msg::checkHeading(ruleName(res.parameters.rule), res.targetText, num(res.parameters.damping),
                        analysis::quantityName(res.parameters.quantity));
  out += judgedRangeText(res);
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) out += "  ";
      // Names to the left, numbers to the right, so the columns read as a table.
      const std::string pad(width[c] - row[c].size(), ' ');
      out += &row == &rows[0] ? row[c] + (c + 1 < row.size() ? pad : "") : pad + row[c];
    }
    out += '\n';
  }
  out += std::string(msg::kLowestRatio) + whereText(res, res.lowest) + "\n";
  out += std::string(msg::kHighestRatio) + whereText(res, res.highest) + "\n";
  out += std::string(msg::kLongestRun) + runText(res.points, res.longestBelowOne);
  if (res.longestBelowOne.length && res.longestBelowOne.record >= 0 && res.recordNames.size() > 1)
    out += ", " + res.recordNames[static_cast<std::size_t>(res.longestBelowOne.record)];
  out += "\n";
  for (const auto& v : res.verdicts) {
    out += v.information ? msg::kItemInfo : v.pass ? msg::kItemPass : msg::kItemFail;
    if (!v.record.empty()) out += v.record + ": ";
    out += v.item + " (" + v.detail + ")\n";
  }
  out += res.pass ? "PASS\n" : "FAIL\n";
  return out;
}

// A record name with a comma or quote would otherwise shift every column after it.
std::string csvCell(const std::string& cell) {
  if (cell.find_first_of(",\"\n\r") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (char ch : cell) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return quoted + "\"";
}

std::string checkCsv(const CheckResult& res) {
  std::string out;
  auto line = [&out](const std::vector<std::string>& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c) out += (c ? "," : "") + csvCell(cells[c]);
    out += '\n';
  };
  line(tableHeader(res));
  for (const auto& p : res.points)
    if (p.judged) line(tableRow(res, p, 10));
  return out;
}

}  // namespace accelspec::check
