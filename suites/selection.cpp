// SPDX-License-Identifier: MIT
#include "suites/selection.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

#include "analysis/number_text.hpp"
#include "analysis/spectra.hpp"
#include "check/check_messages.hpp"
#include "data/error.hpp"
#include "suites/suite_messages.hpp"

namespace accelspec::suites {
namespace {

// Source: ASCE 7-16 §16.2.2: not fewer than 11 ground motions for a nonlinear response history
// analysis.
constexpr std::size_t kAsce7MinMotions = 11;

// The step of the finest check grid: it stops at 50 Hz (check::checkGrid).
constexpr double kFinestStep = 0.01;

std::string num(double v) { return analysis::formatNumber(v, 6); }

// The number of check-grid points a record of step `dt` has (its Nyquist frequency and 50 Hz
// cap it), remembered per step: a library holds few distinct steps.
class GridSizes {
 public:
  std::size_t of(double dt) {
    const auto found = sizes_.find(dt);
    if (found != sizes_.end()) return found->second;
    const std::size_t n = check::checkGrid(dt).size();
    sizes_.emplace(dt, n);
    return n;
  }

 private:
  std::map<double, std::size_t> sizes_;
};

// ln SF = mean(ln T − ln S) and MSE = mean((ln T − ln(SF·S))²) over the masked points, from the
// logarithms of the target already taken.
// Source: Technical Report for the PEER Ground Motion Database Web Application (Beta, 1 October
// 2010), §2.3.2, the scale factor and MSE of the NGA-West2 database's selection tool, here with
// every point's weight equal. ln(SF·S) is written ln SF + ln S: the residual of a
// point is (ln T − ln S) − ln SF.
bool fitLogs(const std::vector<double>& lnTarget, const std::vector<double>& spectrum,
             const std::vector<bool>& mask, std::size_t size, double& factor, double& mse) {
  long double sum = 0;
  std::size_t n = 0;
  for (std::size_t j = 0; j < size; ++j) {
    if (!mask[j]) continue;
    const double s = spectrum[j];
    if (!(s > 0) || !std::isfinite(s) || !std::isfinite(lnTarget[j])) return false;
    sum += lnTarget[j] - std::log(s);
    ++n;
  }
  if (n == 0) return false;
  const long double lnFactor = sum / static_cast<long double>(n);
  long double squares = 0;
  for (std::size_t j = 0; j < size; ++j) {
    if (!mask[j]) continue;
    const long double e = (lnTarget[j] - std::log(spectrum[j])) - lnFactor;
    squares += e * e;
  }
  factor = static_cast<double>(std::exp(lnFactor));
  mse = static_cast<double>(squares / static_cast<long double>(n));
  return std::isfinite(factor) && factor > 0;
}

std::string folderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

// The library keeps absolute paths; one that is not (a library written by hand) is taken from
// the current folder, so that the suite file is never refused for it.
std::string absolutePath(const std::string& path) {
  if (path.empty() || std::filesystem::path(path).is_absolute()) return path;
  return std::filesystem::absolute(path).lexically_normal().string();
}

std::string stemOf(const std::string& path) { return std::filesystem::path(path).stem().string(); }

// The rule's check of the members scaled by their factors times `multiplier`, with the suite's
// own items: asce7's count and the count that was asked for.
check::CheckResult evaluate(const check::Target& target, const Selection& sel,
                            const std::vector<analysis::GridPoint>& grid, double multiplier) {
  std::vector<check::CheckRecord> records;
  records.reserve(sel.members.size());
  for (const Member& m : sel.members) {
    check::CheckRecord r;
    r.name = m.name;
    r.dt = m.dt;
    r.samples = m.samples;
    const double f = m.factor * multiplier;
    r.zeroPeriod = f * m.pga;
    r.spectrum.resize(grid.size());
    for (std::size_t j = 0; j < grid.size(); ++j) r.spectrum[j] = f * m.spectrum[j];
    records.push_back(std::move(r));
  }
  check::CheckResult res = check::evaluateRule(target, sel.parameters.rule, grid, records);
  const std::size_t n = sel.members.size();
  if (sel.parameters.rule.rule == check::Rule::Asce7)
    res.verdicts.push_back({std::string(msg::kItemAsce7Count), "", msg::foundMotions(n),
                            n >= kAsce7MinMotions, check::ItemKind::RecordCount});
  if (n < sel.parameters.count)
    res.verdicts.push_back({std::string(msg::kItemSuiteCount), "",
                            msg::foundSuiteCount(n, sel.parameters.count), false,
                            check::ItemKind::RecordCount});
  res.pass = std::all_of(res.verdicts.begin(), res.verdicts.end(),
                         [](const check::Verdict& v) { return v.pass; });
  return res;
}

// The least common multiplier that lifts the mean to the rule's lower band at every judged
// point and, where the rule has the item, the mean peak to the target's zero-period value.
// Every spectrum scales with its factor, so the mean does too. 0 when none can (a zero mean).
double neededMultiplier(const check::Target& target, const Selection& sel,
                        const check::CheckResult& res) {
  const auto has = [&res](check::ItemKind kind) {
    return std::any_of(res.verdicts.begin(), res.verdicts.end(),
                       [kind](const check::Verdict& v) { return v.kind == kind; });
  };
  double m = 1;
  // Only what the rule asks of the mean: a rule of each record's ratios has no mean band.
  if (has(check::ItemKind::MeanSpectrum))
    for (const check::CheckPoint& p : res.points) {
      if (!p.judged) continue;
      if (!(p.computed > 0)) return 0;
      m = std::max(m, res.lowerBand * p.target / p.computed);
    }
  if (has(check::ItemKind::MeanPeak)) {
    double zpa = 0;
    for (const Member& mm : sel.members) zpa += mm.factor * mm.pga;
    zpa /= static_cast<double>(sel.members.size());
    if (!(zpa > 0)) return 0;
    m = std::max(m, target.zeroPeriodValue() / zpa);
  }
  return m;
}

bool meanFallsShort(const check::CheckResult& res) {
  return std::any_of(res.verdicts.begin(), res.verdicts.end(), [](const check::Verdict& v) {
    return !v.pass &&
           (v.kind == check::ItemKind::MeanSpectrum || v.kind == check::ItemKind::MeanPeak);
  });
}

}  // namespace

std::vector<bool> judgedPoints(const check::Target& target, const check::RuleParameters& rule) {
  const auto grid = check::checkGrid(kFinestStep);
  // A stand-in record equal to the target: the check decides which points it judges.
  check::CheckRecord probe;
  probe.name = "probe";
  probe.dt = kFinestStep;
  probe.samples = 1;
  probe.zeroPeriod = target.zeroPeriodValue();
  for (const auto& g : grid) probe.spectrum.push_back(target.valueAt(g.frequency, rule.damping));
  const check::CheckResult res = check::evaluateRule(target, rule, grid, {probe});
  std::vector<bool> mask;
  for (const auto& p : res.points) mask.push_back(p.judged);
  return mask;
}

bool fitFactor(const std::vector<double>& target, const std::vector<double>& spectrum,
               const std::vector<bool>& mask, double& factor, double& mse) {
  const std::size_t size = std::min({target.size(), spectrum.size(), mask.size()});
  std::vector<double> lnTarget(size);
  for (std::size_t j = 0; j < size; ++j) lnTarget[j] = target[j] > 0 ? std::log(target[j]) : NAN;
  return fitLogs(lnTarget, spectrum, mask, size, factor, mse);
}

Selection select(const check::Target& target, const SelectionParameters& parameters,
                 const std::vector<library::Motion>& motions) {
  if (parameters.count == 0) throw AppError(msg::kSuiteCount);
  if (!(parameters.scaleMin > 0) || !(parameters.scaleMin <= parameters.scaleMax) ||
      !std::isfinite(parameters.scaleMax))
    throw AppError(msg::kSuiteScaleLimits);
  // The library keeps 5 % PSA only: a fit at another damping or quantity would compare unlike
  // spectra without a word.
  if (parameters.rule.damping != library::kSpectrumDamping ||
      parameters.rule.quantity != analysis::Quantity::Psa)
    throw AppError(msg::kSuiteLibrarySpectra);
  Selection sel;
  sel.parameters = parameters;
  sel.targetText = target.text;
  const std::vector<bool> mask = judgedPoints(target, parameters.rule);
  const auto grid = check::checkGrid(kFinestStep);
  std::vector<double> lnTarget(grid.size());
  for (std::size_t j = 0; j < grid.size(); ++j)
    lnTarget[j] = std::log(target.valueAt(grid[j].frequency, parameters.rule.damping));

  GridSizes sizes;
  // The candidates within the limits, each with the spectrum it was fitted on (the motions
  // outlive the selection: only the members copy theirs).
  std::vector<std::pair<Member, const std::vector<double>*>> fitted;
  auto offer = [&](Member m, const std::vector<double>& spectrum) {
    ++sel.candidates;
    const std::size_t size = std::min({sizes.of(m.dt), spectrum.size(), mask.size()});
    if (!fitLogs(lnTarget, spectrum, mask, size, m.fitFactor, m.mse)) return;
    if (m.fitFactor < parameters.scaleMin || m.fitFactor > parameters.scaleMax) return;
    ++sel.withinLimits;
    m.factor = m.fitFactor;
    fitted.emplace_back(std::move(m), &spectrum);
  };
  // Source: ASCE 7-16 §16.2.3: the maximum-direction spectrum of a pair (RotD100); the median
  // (RotD50) for the other rules.
  const bool rotd100 = parameters.rule.rule == check::Rule::Asce7;
  for (const library::Motion& motion : motions) {
    if (motion.components.empty()) continue;
    if (parameters.pairs) {
      if (!motion.pair()) continue;
      const auto& a = motion.components[0];
      const auto& b = motion.components[1];
      Member m;
      m.motionId = motion.id;
      m.name = motion.name;
      m.event = motion.event.empty() ? folderOf(a.path) : motion.event;
      m.files = {{absolutePath(a.path), a.format, a.channel},
                 {absolutePath(b.path), b.format, b.channel}};
      m.dt = std::max(a.dt, b.dt);
      m.samples = std::min(a.samples, b.samples);
      m.pga = std::max(a.measures.pga, b.measures.pga);
      const std::vector<double>& s = rotd100 ? motion.rotd100 : motion.rotd50;
      offer(std::move(m), s);
      continue;
    }
    for (const library::Component& c : motion.components) {
      // A horizontal design spectrum is met by horizontal components, a vertical one by vertical.
      if (c.vertical != parameters.vertical) continue;
      Member m;
      m.motionId = motion.id;
      // A component of a pair goes by its file's name (and channel): the pair's name is shared.
      m.name = motion.pair() ? stemOf(c.path) : motion.name;
      if (motion.pair() && c.channel != 1) m.name += "_" + std::to_string(c.channel);
      if (m.name.empty()) m.name = stemOf(c.path);
      m.event = !motion.event.empty() ? motion.event
                : !c.event.empty()    ? c.event
                                      : folderOf(c.path);
      m.files = {{absolutePath(c.path), c.format, c.channel}};
      m.dt = c.dt;
      m.samples = c.samples;
      m.pga = c.measures.pga;
      offer(std::move(m), c.psa);
    }
  }
  // Least misfit first; ties by name and id so that a run gives the same suite every time.
  std::sort(fitted.begin(), fitted.end(), [](const auto& a, const auto& b) {
    const Member &x = a.first, &y = b.first;
    if (x.mse != y.mse) return x.mse < y.mse;
    if (x.name != y.name) return x.name < y.name;
    return x.motionId < y.motionId;
  });
  std::unordered_map<std::string, std::size_t> perEvent;
  for (auto& [m, spectrum] : fitted) {
    if (sel.members.size() == parameters.count) break;
    if (parameters.maxPerEvent > 0 && perEvent[m.event] >= parameters.maxPerEvent) continue;
    ++perEvent[m.event];
    m.rank = sel.members.size() + 1;
    m.spectrum = *spectrum;
    sel.members.push_back(std::move(m));
  }
  judge(target, sel, true);
  return sel;
}

void judge(const check::Target& target, Selection& sel, bool raise) {
  sel.check = check::CheckResult{};
  sel.pass = false;
  if (raise) {  // a suite read back keeps the multiplier it was written with, to be shown
    sel.multiplier = 1;
    sel.multiplierNeeded = 1;
    sel.multiplierRefused = false;
  }
  if (sel.members.empty()) return;
  double maxDt = 0;
  for (const Member& m : sel.members) maxDt = std::max(maxDt, m.dt);
  const auto grid = check::checkGrid(maxDt);
  if (grid.empty()) throw AppError(msg::kNoGrid);
  for (const Member& m : sel.members)
    if (m.spectrum.size() < grid.size()) throw AppError(msg::kSpectrumLength);
  check::CheckResult res = evaluate(target, sel, grid, 1);
  if (raise && meanFallsShort(res)) {
    const double m = neededMultiplier(target, sel, res);
    double largest = 0;
    for (const Member& mm : sel.members) largest = std::max(largest, mm.factor * m);
    sel.multiplierNeeded = m;
    if (m > 1 && largest <= sel.parameters.scaleMax) {
      for (Member& mm : sel.members) mm.factor *= m;
      sel.multiplier = m;
      res = evaluate(target, sel, grid, 1);
    } else {
      sel.multiplierRefused = true;
      res.verdicts.push_back(
          {std::string(msg::kItemMultiplier), "",
           m > 0 ? msg::foundMultiplier(num(m), num(largest), num(sel.parameters.scaleMax))
                 : std::string(msg::kSuiteZeroMean),
           false, check::ItemKind::MeanSpectrum});
      res.pass = false;
    }
  }
  sel.pass = res.pass;
  sel.check = std::move(res);
}

namespace {

std::string fileNames(const Member& m) {
  std::string s;
  for (const MemberFile& f : m.files) {
    if (!s.empty()) s += " + ";
    s += std::filesystem::path(f.path).filename().string();
    if (f.channel != 1) s += "#" + std::to_string(f.channel);
  }
  return s;
}

// Counts the characters a terminal shows for `text` (UTF-8: every byte but continuation bytes).
std::size_t shown(const std::string& text) {
  std::size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

std::string selectionText(const Selection& sel) {
  const auto& rule = sel.parameters.rule;
  std::string out =
      msg::checkHeading(check::ruleName(rule.rule),
                        sel.check.targetText.empty() ? sel.targetText : sel.check.targetText,
                        num(rule.damping), analysis::quantityName(rule.quantity));
  // Also for a suite read back: the file keeps how it was picked.
  out += msg::selectionHeading(check::ruleName(rule.rule), sel.targetText, sel.candidates,
                               num(sel.parameters.scaleMin), num(sel.parameters.scaleMax),
                               sel.withinLimits);
  if (sel.members.empty()) {
    out += std::string(sel.candidates == 0 ? msg::kSuiteNoCandidates : msg::kSuiteNoneWithin) +
           "\nFAIL\n";
    return out;
  }
  out += check::judgedRangeText(sel.check);
  std::vector<std::vector<std::string>> rows = {
      {"rank", "motion", "files", "sf", "mse", "scaled_pga_m_s2"}};
  for (const Member& m : sel.members)
    rows.push_back({std::to_string(m.rank), m.name, fileNames(m), num(m.factor), num(m.mse),
                    num(m.scaledPga())});
  std::vector<std::size_t> width(rows[0].size(), 0);
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], shown(row[c]));
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) out += "  ";
      const std::string pad(width[c] - shown(row[c]), ' ');
      // Names to the left, numbers to the right.
      const bool text = c == 1 || c == 2 || &row == &rows[0];
      out += text ? row[c] + (c + 1 < row.size() ? pad : "") : pad + row[c];
    }
    out += '\n';
  }
  if (sel.multiplier != 1) out += msg::multiplierApplied(num(sel.multiplier));
  for (const auto& v : sel.check.verdicts) {
    out += v.information ? msg::kItemInfo : v.pass ? msg::kItemPass : msg::kItemFail;
    if (!v.record.empty()) out += v.record + ": ";
    out += v.item + " (" + v.detail + ")\n";
  }
  out += sel.pass ? "PASS\n" : "FAIL\n";
  return out;
}

}  // namespace accelspec::suites
