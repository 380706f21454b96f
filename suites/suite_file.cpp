// SPDX-License-Identifier: MIT
// The suite file: what a selection picked, kept so that the suite can be checked and exported
// again from the record files alone.
//
//   accelspec-suite,1
//   target,ec8:1:B:2.943          one key and its value a line, in this order
//   rule,ec8 … multiplier,1.0432
//   rank,motion,event,factor,…    the members' header, then one member a line
//   1,RSN8883,…
//   end,11                        the number of members: a cut file is refused
//
// Cells are CSV (a cell with a comma, quote or line break in quotes, a quote doubled); numbers
// are written in the shortest text that reads back to the same bits.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <set>

#include "analysis/number_text.hpp"
#include "analysis/spectra.hpp"
#include "data/error.hpp"
#include "records/scan.hpp"
#include "suites/selection.hpp"
#include "suites/suite_messages.hpp"

namespace accelspec::suites {
namespace {

constexpr const char* kMagic = "accelspec-suite";
constexpr int kVersion = 1;
constexpr const char* kMemberHeader =
    "rank,motion,event,factor,fit_factor,mse,pga_m_s2,dt_s,samples,format,channel,path";
constexpr const char* kPairHeaderTail = ",format2,channel2,path2";

std::string cell(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char ch : text) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return quoted + "\"";
}

std::string number(double v) { return analysis::shortestText(v); }

std::string optionalNumber(const std::optional<double>& v) { return v ? number(*v) : ""; }

// The file's lines, each split into its cells; a quoted cell may hold line breaks.
struct Line {
  std::size_t number = 0;
  std::vector<std::string> cells;
};

std::vector<Line> splitLines(const std::string& text, const std::string& path) {
  std::vector<Line> lines;
  Line line{1, {}};
  std::string current;
  bool quoted = false, any = false;
  std::size_t lineNumber = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (quoted) {
      if (ch == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          current += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        if (ch == '\n') ++lineNumber;
        current += ch;
      }
      continue;
    }
    if (ch == '"' && current.empty()) {
      quoted = any = true;
    } else if (ch == ',') {
      line.cells.push_back(std::move(current));
      current.clear();
      any = true;
    } else if (ch == '\n' || ch == '\r') {
      if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (any || !current.empty()) {
        line.cells.push_back(std::move(current));
        lines.push_back(std::move(line));
      }
      current.clear();
      any = false;
      line = Line{++lineNumber, {}};
    } else {
      current += ch;
      any = true;
    }
  }
  if (quoted) throw AppError(msg::badSuiteLine(path, line.number, msg::kSuiteQuote));
  if (any || !current.empty()) {
    line.cells.push_back(std::move(current));
    lines.push_back(std::move(line));
  }
  return lines;
}

class Reader {
 public:
  Reader(std::vector<Line> lines, const std::string& path)
      : lines_(std::move(lines)), path_(path) {}

  [[noreturn]] void fail(std::string_view why) const {
    const std::size_t n = at_ < lines_.size() ? lines_[at_].number
                          : lines_.empty()    ? 1
                                              : lines_.back().number + 1;
    throw AppError(msg::badSuiteLine(path_, n, why));
  }
  bool done() const { return at_ >= lines_.size(); }
  const Line& peek() const {
    if (done()) fail(msg::kSuiteEnd);
    return lines_[at_];
  }
  void next() { ++at_; }
  // Back to the line just read, to name it in a message about its value.
  void back() { --at_; }

  // The value of the key line `key` (two cells), and on to the next line.
  std::string value(std::string_view key) {
    const Line& l = peek();
    if (l.cells.size() != 2 || l.cells[0] != key) fail(msg::suiteKey(key));
    std::string v = l.cells[1];
    next();
    return v;
  }
  double numberOf(const std::string& text) const {
    double v = 0;
    if (!records::parseNumber(text, v)) fail(msg::kSuiteNumber);
    return v;
  }
  std::optional<double> optionalValue(std::string_view key) {
    const Line& l = peek();
    if (l.cells.size() != 2 || l.cells[0] != key) fail(msg::suiteKey(key));
    if (l.cells[1].empty()) {
      next();
      return std::nullopt;
    }
    const double v = numberOf(l.cells[1]);
    next();
    return v;
  }
  double numberValue(std::string_view key) {
    const Line& l = peek();
    if (l.cells.size() != 2 || l.cells[0] != key) fail(msg::suiteKey(key));
    const double v = numberOf(l.cells[1]);
    next();
    return v;
  }
  std::size_t countOf(const std::string& text) const {
    long long v = 0;
    if (!records::parseInteger(text, v) || v < 0) fail(msg::kSuiteNumber);
    return static_cast<std::size_t>(v);
  }
  std::size_t countValue(std::string_view key) { return countOf(value(key)); }

 private:
  std::vector<Line> lines_;
  std::size_t at_ = 0;
  const std::string& path_;
};

}  // namespace

std::string suiteFileText(const Selection& sel) {
  const SelectionParameters& p = sel.parameters;
  const check::RuleParameters& r = p.rule;
  std::string out = std::string(kMagic) + "," + std::to_string(kVersion) + "\n";
  auto key = [&out](const char* k, const std::string& v) {
    out += std::string(k) + "," + cell(v) + "\n";
  };
  key("target", sel.targetText);
  key("rule", check::ruleName(r.rule));
  key("damping", number(r.damping));
  key("quantity", analysis::quantityName(r.quantity));
  key("t1", optionalNumber(r.t1));
  key("tmin", optionalNumber(r.tmin));
  key("tmax", optionalNumber(r.tmax));
  key("min_ratio", number(r.minRatio));
  key("count", std::to_string(p.count));
  key("pairs", p.pairs ? "1" : "0");
  key("scale_min", number(p.scaleMin));
  key("scale_max", number(p.scaleMax));
  key("max_per_event", std::to_string(p.maxPerEvent));
  key("candidates", std::to_string(sel.candidates));
  key("within_limits", std::to_string(sel.withinLimits));
  key("multiplier", number(sel.multiplier));
  out += std::string(kMemberHeader) + (p.pairs ? kPairHeaderTail : "") + "\n";
  for (const Member& m : sel.members) {
    out += std::to_string(m.rank) + "," + cell(m.name) + "," + cell(m.event) + "," +
           number(m.factor) + "," + number(m.fitFactor) + "," + number(m.mse) + "," +
           number(m.pga) + "," + number(m.dt) + "," + std::to_string(m.samples);
    for (const MemberFile& f : m.files)
      out += "," + cell(f.format) + "," + std::to_string(f.channel) + "," + cell(f.path);
    out += "\n";
  }
  out += "end," + std::to_string(sel.members.size()) + "\n";
  return out;
}

Selection parseSuiteFile(const std::string& text, const std::string& path) {
  Reader in(splitLines(text, path), path);
  {
    if (in.done()) in.fail(msg::kSuiteHeader);
    const Line& first = in.peek();
    long long version = 0;
    if (first.cells.size() != 2 || first.cells[0] != kMagic ||
        !records::parseInteger(first.cells[1], version))
      in.fail(msg::kSuiteHeader);
    if (version > kVersion) in.fail(msg::kSuiteNewer);
    if (version != kVersion) in.fail(msg::kSuiteHeader);
    in.next();
  }
  Selection sel;
  SelectionParameters& p = sel.parameters;
  check::RuleParameters& r = p.rule;
  sel.targetText = in.value("target");
  {
    const std::string rule = in.value("rule");
    try {
      r.rule = check::parseRule(rule);
    } catch (const AppError& e) {
      in.back();
      in.fail(e.what());
    }
  }
  r.damping = in.numberValue("damping");
  if (!(r.damping > 0 && r.damping < 1)) {
    in.back();
    in.fail(msg::kSuiteNumber);
  }
  {
    const std::string q = in.value("quantity");
    if (q != "psa" && q != "sa") {
      in.back();
      in.fail(msg::suiteKey("quantity"));
    }
    r.quantity = q == "sa" ? analysis::Quantity::Sa : analysis::Quantity::Psa;
  }
  r.t1 = in.optionalValue("t1");
  r.tmin = in.optionalValue("tmin");
  r.tmax = in.optionalValue("tmax");
  r.minRatio = in.numberValue("min_ratio");
  p.count = in.countValue("count");
  {
    const std::string pairs = in.value("pairs");
    if (pairs != "0" && pairs != "1") {
      in.back();
      in.fail(msg::suiteKey("pairs"));
    }
    p.pairs = pairs == "1";
  }
  p.scaleMin = in.numberValue("scale_min");
  p.scaleMax = in.numberValue("scale_max");
  if (!(p.scaleMin > 0) || !(p.scaleMin <= p.scaleMax)) {
    in.back();
    in.fail(msg::kSuiteScaleLimits);
  }
  p.maxPerEvent = in.countValue("max_per_event");
  sel.candidates = in.countValue("candidates");
  sel.withinLimits = in.countValue("within_limits");
  sel.multiplier = in.numberValue("multiplier");
  if (!(sel.multiplier > 0)) {
    in.back();
    in.fail(msg::kSuiteFactor);
  }
  {
    std::string header;
    const Line& l = in.peek();
    for (std::size_t c = 0; c < l.cells.size(); ++c) header += (c ? "," : "") + l.cells[c];
    if (header != std::string(kMemberHeader) + (p.pairs ? kPairHeaderTail : ""))
      in.fail(msg::suiteKey("rank"));
    in.next();
  }
  const std::size_t fields = p.pairs ? 15 : 12;
  for (;;) {
    const Line& l = in.peek();
    if (!l.cells.empty() && l.cells[0] == "end") {
      if (l.cells.size() != 2 || in.countOf(l.cells[1]) != sel.members.size())
        in.fail(msg::kSuiteEndCount);
      in.next();
      break;
    }
    if (l.cells.size() != fields) in.fail(msg::kSuiteMemberShape);
    Member m;
    m.rank = in.countOf(l.cells[0]);
    if (m.rank != sel.members.size() + 1) in.fail(msg::kSuiteRank);
    m.name = l.cells[1];
    m.event = l.cells[2];
    m.factor = in.numberOf(l.cells[3]);
    m.fitFactor = in.numberOf(l.cells[4]);
    if (!(m.factor > 0) || !(m.fitFactor > 0)) in.fail(msg::kSuiteFactor);
    m.mse = in.numberOf(l.cells[5]);
    m.pga = in.numberOf(l.cells[6]);
    m.dt = in.numberOf(l.cells[7]);
    m.samples = in.countOf(l.cells[8]);
    for (std::size_t c = 9; c < fields; c += 3) {
      MemberFile f;
      f.format = l.cells[c];
      f.channel = static_cast<int>(std::min<std::size_t>(in.countOf(l.cells[c + 1]), 1000000));
      if (f.channel < 1) in.fail(msg::kSuiteNumber);
      f.path = l.cells[c + 2];
      if (!std::filesystem::path(f.path).is_absolute()) in.fail(msg::kSuitePath);
      m.files.push_back(std::move(f));
    }
    sel.members.push_back(std::move(m));
    in.next();
  }
  if (!in.done()) in.fail(msg::kSuiteAfterEnd);
  return sel;
}

namespace {

records::Record readMemberFile(const MemberFile& f) {
  records::Reading reading;
  if (!f.format.empty()) reading.format = f.format;
  reading.channel = f.channel;
  return records::readRecord(f.path, reading);
}

double peakOf(const std::vector<double>& a) {
  double peak = 0;
  for (double v : a) peak = std::max(peak, std::abs(v));
  return peak;
}

}  // namespace

std::vector<std::string> recomputeSpectra(Selection& sel, unsigned threads) {
  const bool rotd100 = sel.parameters.rule.rule == check::Rule::Asce7;
  std::vector<std::string> changed;
  for (Member& m : sel.members) {
    const double statedDt = m.dt, statedPga = m.pga;
    const std::size_t statedSamples = m.samples;
    // Compared once the member's own numbers are in: the same reader gives the same bits, so
    // only a changed file differs (the peak with a little slack for its text in the file).
    const auto compare = [&] {
      if (m.dt != statedDt || m.samples != statedSamples ||
          std::abs(m.pga - statedPga) > 1e-12 * std::max(std::abs(m.pga), std::abs(statedPga)))
        changed.push_back(msg::suiteMemberChanged(
            m.name, analysis::formatNumber(m.dt, 6), std::to_string(m.samples),
            analysis::formatNumber(m.pga, 6), analysis::formatNumber(statedDt, 6),
            std::to_string(statedSamples), analysis::formatNumber(statedPga, 6)));
    };
    std::vector<records::Record> recs;
    for (const MemberFile& f : m.files) recs.push_back(readMemberFile(f));
    analysis::SpectraRequest request;
    request.dampings = {sel.parameters.rule.damping};
    request.quantities = {sel.parameters.rule.quantity};
    request.peaks = analysis::Peaks::Refined;
    request.threads = std::max(1u, threads);
    m.pga = 0;
    for (const auto& r : recs) m.pga = std::max(m.pga, peakOf(r.accel));
    if (recs.size() == 1) {
      request.grid = check::checkGrid(recs[0].dt);
      const analysis::Spectra s = analysis::computeSpectra(recs[0].accel, recs[0].dt, request);
      m.dt = recs[0].dt;
      m.samples = recs[0].accel.size();
      m.spectrum.assign(request.grid.size(), 0);
      for (std::size_t j = 0; j < request.grid.size(); ++j) m.spectrum[j] = s.value(0, 0, j);
      compare();
      continue;
    }
    if (recs[0].dt != recs[1].dt)
      throw AppError(m.files[1].path + ": " + std::string(msg::kSuitePairStep));
    // Two components of one recording may end a few samples apart: the rotation takes the
    // samples both have.
    const std::size_t n = std::min(recs[0].accel.size(), recs[1].accel.size());
    recs[0].accel.resize(n);
    recs[1].accel.resize(n);
    request.grid = check::checkGrid(recs[0].dt);
    request.rotd = rotd100 ? 100 : 50;
    const analysis::Spectra s =
        analysis::computeRotD(recs[0].accel, recs[1].accel, recs[0].dt, recs[1].dt, request);
    m.dt = recs[0].dt;
    m.samples = n;
    m.spectrum.assign(request.grid.size(), 0);
    for (std::size_t j = 0; j < request.grid.size(); ++j) m.spectrum[j] = s.value(0, 0, j);
    compare();
  }
  return changed;
}

std::vector<ScaledComponent> scaledComponents(const Selection& sel) {
  std::vector<ScaledComponent> out;
  std::set<std::string> taken;
  for (const Member& m : sel.members) {
    std::string base = m.name;
    // A motion's name may hold what a file name cannot.
    for (char& ch : base)
      if (ch == '/' || ch == '\\' || ch == '\0' || static_cast<unsigned char>(ch) < 0x20) ch = '_';
    if (base.empty() || base == "." || base == "..") base = "motion" + std::to_string(m.rank);
    for (std::size_t i = 0; i < m.files.size(); ++i) {
      std::string stem = base + (m.files.size() == 2 ? (i == 0 ? "_H1" : "_H2") : "");
      // Two members of one name (components of different recordings) keep apart.
      std::string name = stem + ".aks";
      for (int k = 2; taken.count(name); ++k) name = stem + "_" + std::to_string(k) + ".aks";
      taken.insert(name);
      records::Record r = readMemberFile(m.files[i]);
      for (double& a : r.accel) a *= m.factor;
      r.name = name.substr(0, name.size() - 4);
      out.push_back({name, std::move(r)});
    }
  }
  return out;
}

}  // namespace accelspec::suites
