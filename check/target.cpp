// SPDX-License-Identifier: MIT
#include "check/target.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <optional>
#include <string_view>

#include "analysis/number_text.hpp"
#include "check/check_messages.hpp"
#include "data/error.hpp"
#include "data/store.hpp"
#include "files/formats.hpp"
#include "records/record.hpp"
#include "records/scan.hpp"

namespace accelspec::check {
namespace {

struct Ec8Row {
  char ground;
  double soil, tb, tc, td;
};

// Source: EN 1998-1 §3.2.2.2, Tables 3.2 (type 1) and 3.3 (type 2): S, TB, TC, TD (s).
constexpr Ec8Row kEc8Type1[] = {{'A', 1.0, 0.15, 0.4, 2.0},
                                {'B', 1.2, 0.15, 0.5, 2.0},
                                {'C', 1.15, 0.20, 0.6, 2.0},
                                {'D', 1.35, 0.20, 0.8, 2.0},
                                {'E', 1.4, 0.15, 0.5, 2.0}};
constexpr Ec8Row kEc8Type2[] = {{'A', 1.0, 0.05, 0.25, 1.2},
                                {'B', 1.35, 0.05, 0.25, 1.2},
                                {'C', 1.5, 0.10, 0.25, 1.2},
                                {'D', 1.8, 0.10, 0.30, 1.2},
                                {'E', 1.6, 0.05, 0.25, 1.2}};

// Control points of the horizontal design spectrum at 5 % damping: amplification of the PGA at
// 33, 9 and 2.5 Hz, and at 0.25 Hz a displacement of 2.05 × 36 in per g of PGA.
// Source: US NRC Regulatory Guide 1.60 (Rev. 1), Figure 1 and Table I.
constexpr double kRgFa = 33.0, kRgFb = 9.0, kRgFc = 2.5, kRgFd = 0.25;
constexpr double kRgAmpB = 2.61, kRgAmpC = 3.13;
constexpr double kRgDispPerG = 2.05 * 36.0 * 0.0254;  // m per g of PGA

double loglog(double f, double f0, double v0, double f1, double v1) {
  const double w = std::log(f / f0) / std::log(f1 / f0);
  return std::exp(std::log(v0) + w * (std::log(v1) - std::log(v0)));
}

std::vector<std::string> splitColons(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string::npos) return parts;
    start = colon + 1;
  }
}

Target parseEc8(const std::string& text) {
  const auto parts = splitColons(text);
  double ag = 0;
  if (parts.size() != 4 || (parts[1] != "1" && parts[1] != "2") || parts[2].size() != 1 ||
      !analysis::parseNumber(parts[3], ag) || !(ag > 0))
    throw AppError(msg::badTarget(text, msg::kEc8Form));
  Target t;
  t.kind = TargetKind::Ec8;
  t.text = text;
  t.ec8Type = parts[1] == "1" ? 1 : 2;
  const char g = parts[2][0];
  const auto& table = t.ec8Type == 1 ? kEc8Type1 : kEc8Type2;
  const auto row = std::find_if(std::begin(table), std::end(table),
                                [g](const Ec8Row& r) { return r.ground == g; });
  if (row == std::end(table)) throw AppError(msg::badTarget(text, msg::kEc8Form));
  // The plateau 2.5·ag·S·η is the spectrum's largest value, and η = √(10/(5 + ξ)) its largest,
  // √2, at no damping (EN 1998-1 §3.2.2.2 (3)).
  if (!std::isfinite(2.5 * ag * row->soil * std::numbers::sqrt2))
    throw AppError(msg::badTarget(text, msg::kTargetBeyondRange));
  t.ground = g;
  t.ag = ag;
  t.soil = row->soil;
  t.tb = row->tb;
  t.tc = row->tc;
  t.td = row->td;
  // Nor may its smallest values fall below the normal doubles, where a ratio to them overflows:
  // at 0.01 Hz, beyond any grid, with the least η (0.55).
  if (!std::isnormal(t.valueAt(0.01, 0.99)))
    throw AppError(msg::badTarget(text, msg::kTargetBeyondRange));
  return t;
}

Target parseRg160(const std::string& text) {
  const auto parts = splitColons(text);
  double pga = 0;
  if (parts.size() != 2 || !analysis::parseNumber(parts[1], pga) || !(pga > 0))
    throw AppError(msg::badTarget(text, msg::kRg160Form));
  // The largest amplification, at C.
  if (!std::isfinite(kRgAmpC * pga * records::kStandardGravity))
    throw AppError(msg::badTarget(text, msg::kTargetBeyondRange));
  Target t;
  t.kind = TargetKind::Rg160;
  t.text = text;
  t.pga = pga * records::kStandardGravity;
  if (!std::isnormal(t.valueAt(0.01, 0.05)))  // its smallest values, as for ec8
    throw AppError(msg::badTarget(text, msg::kTargetBeyondRange));
  return t;
}

// The points of a table as a file target; `fail` turns what is wrong into the error to throw.
template <typename Fail>
Target tableOf(const std::vector<double>& frequencies, const std::vector<double>& values,
               const std::string& text, std::string_view empty, Fail fail) {
  Target t;
  t.kind = TargetKind::File;
  t.text = text;
  if (frequencies.size() != values.size()) fail(msg::kTableSizes);
  if (frequencies.size() > static_cast<std::size_t>(kMaxSpectrumPoints))
    fail(msg::kTooManyTablePoints);
  for (std::size_t i = 0; i < frequencies.size(); ++i) {
    const double f = frequencies[i], a = values[i];
    if (!(f > 0) || !std::isfinite(f) || (!t.frequencies.empty() && !(f > t.frequencies.back())))
      fail(msg::kSpvOrder);
    if (!(a > 0) || !std::isfinite(a)) fail(msg::kSpvValue);
    t.frequencies.push_back(f);
    t.values.push_back(a);
  }
  if (t.frequencies.empty()) fail(empty);
  return t;
}

template <typename Fail>
Target tableOf(const Store& store, const std::string& text, std::string_view empty, Fail fail) {
  if (store.N > kMaxSpectrumPoints) fail(msg::kTooManyTablePoints);
  std::vector<double> f, a;
  for (std::int32_t i = 1; i <= store.N; ++i) {
    f.push_back(static_cast<double>(store.SpF[i]));
    a.push_back(static_cast<double>(store.SpA[i]));
  }
  return tableOf(f, a, text, empty, fail);
}

Target parseFile(const std::string& text) {
  // The window's own reader, so that a file the window writes is read the same way here.
  auto store = std::make_unique<Store>();
  try {
    readSpv(text, *store);
  } catch (const IoError& e) {
    // The window's reader speaks the window's English; the check's messages are Russian.
    throw AppError(msg::badTarget(text, records::ioMessage(e)));
  } catch (const AppError& e) {
    throw AppError(msg::badTarget(text, e.what()));
  }
  return tableOf(*store, text, msg::kSpvEmpty,
                 [&](std::string_view why) { throw AppError(msg::badTarget(text, why)); });
}

}  // namespace

namespace {

// The factor of "T*R" at the end of `part`: R a number or a fraction A/B. Nothing when the text
// after the last '*' is no number (a file whose name holds a '*'); throws, naming `whole`, for a
// number that is not above zero.
std::optional<double> factorOf(const std::string& part, const std::string& whole) {
  const auto star = part.rfind('*');
  if (star == std::string::npos) return std::nullopt;
  const std::string r = part.substr(star + 1);
  const auto slash = r.find('/');
  double a = 0, b = 1;
  if (slash == std::string::npos ? !records::parseNumber(r, a)
                                 : !records::parseNumber(r.substr(0, slash), a) ||
                                       !records::parseNumber(r.substr(slash + 1), b))
    return std::nullopt;
  const double f = a / b;
  if (!(a > 0) || !(b > 0) || !std::isfinite(f) || !(f > 0))
    throw AppError(msg::badTarget(whole, msg::kTargetFactor));
  return f;
}

Target parseUnscaled(const std::string& text) {
  if (text.starts_with("ec8:")) return parseEc8(text);
  if (text.starts_with("rg160:")) return parseRg160(text);
  if (text.empty()) throw AppError(msg::badTarget(text, msg::kTargetForms));
  return parseFile(text);
}

}  // namespace

Target parseTarget(const std::string& text) {
  // Factors are taken off the end one by one (a loop, not a recursion: a text of many factors
  // must not run out of stack).
  std::string base = text;
  double scale = 1;
  bool scaled = false;
  while (const auto factor = factorOf(base, text)) {
    scale *= *factor;
    scaled = true;
    base.erase(base.rfind('*'));
  }
  if (!scaled) return parseUnscaled(text);
  if (!(scale > 0) || !std::isfinite(scale))
    throw AppError(msg::badTarget(text, msg::kTargetFactor));
  Target t = parseUnscaled(base);
  t.scale = scale;
  t.text = text;
  return t;
}

Target scaledTarget(const Target& target, const std::string& factor) {
  const std::string text = target.text + "*" + factor;
  std::optional<double> f;
  try {
    f = factorOf("*" + factor, text);
  } catch (const AppError&) {
    // Named below with the whole text.
  }
  if (!f) throw AppError(msg::badTarget(text, msg::kTargetFactor));
  Target t = target;
  t.scale *= *f;
  t.text = text;
  return t;
}

Target tableTarget(const Store& store, const std::string& name) {
  return tableOf(store, name, msg::kTableEmpty,
                 [&](std::string_view why) { throw AppError(name + ": " + std::string(why)); });
}

Target tableTarget(const std::vector<double>& frequencies, const std::vector<double>& values,
                   const std::string& name) {
  return tableOf(frequencies, values, name, msg::kTableEmpty,
                 [&](std::string_view why) { throw AppError(name + ": " + std::string(why)); });
}

bool Target::supportsDamping(double damping) const {
  return kind != TargetKind::Rg160 || std::abs(damping - 0.05) < 1e-12;
}

double Target::valueAt(double frequency, double damping) const {
  return scale * unscaledValueAt(frequency, damping);
}

double Target::unscaledValueAt(double frequency, double damping) const {
  switch (kind) {
    case TargetKind::File: {
      if (frequency <= frequencies.front()) return values.front();
      if (frequency >= frequencies.back()) return values.back();
      const auto hi = std::upper_bound(frequencies.begin(), frequencies.end(), frequency);
      const std::size_t j = static_cast<std::size_t>(hi - frequencies.begin());
      return loglog(frequency, frequencies[j - 1], values[j - 1], frequencies[j], values[j]);
    }
    case TargetKind::Ec8: {
      // Source: EN 1998-1 §3.2.2.2, expressions (3.2) to (3.5); η from (3.6).
      const double eta = std::max(0.55, std::sqrt(10.0 / (5.0 + 100.0 * damping)));
      const double period = 1.0 / frequency;
      const double plateau = 2.5 * ag * soil * eta;
      if (period <= tb) return ag * soil * (1.0 + period / tb * (2.5 * eta - 1.0));
      if (period <= tc) return plateau;
      if (period <= td) return plateau * tc / period;
      return plateau * tc * td / (period * period);
    }
    case TargetKind::Rg160: {
      if (!supportsDamping(damping)) throw AppError(msg::badTarget(text, msg::kRg160Damping));
      const double w = 2.0 * std::numbers::pi * kRgFd;
      const double atD = w * w * kRgDispPerG * (pga / records::kStandardGravity);
      if (frequency >= kRgFa) return pga;
      if (frequency >= kRgFb) return loglog(frequency, kRgFb, kRgAmpB * pga, kRgFa, pga);
      if (frequency >= kRgFc) return loglog(frequency, kRgFc, kRgAmpC * pga, kRgFb, kRgAmpB * pga);
      if (frequency >= kRgFd) return loglog(frequency, kRgFd, atD, kRgFc, kRgAmpC * pga);
      // Constant displacement: PSA falls with the square of the frequency.
      return atD * (frequency / kRgFd) * (frequency / kRgFd);
    }
  }
  return 0;
}

double Target::lowestFrequency() const {
  return kind == TargetKind::File ? frequencies.front() : 0.0;
}

double Target::highestFrequency() const {
  return kind == TargetKind::File ? frequencies.back() : INFINITY;
}

double Target::zeroPeriodValue() const {
  switch (kind) {
    case TargetKind::File:
      return scale * values.back();
    case TargetKind::Ec8:
      return scale * (ag * soil);
    case TargetKind::Rg160:
      return scale * pga;
  }
  return 0;
}

namespace {

std::string describeUnscaled(const Target& target) {
  switch (target.kind) {
    case TargetKind::File:
      return target.text;
    case TargetKind::Ec8:
      return msg::ec8Target(target.ec8Type, target.ground, analysis::formatNumber(target.ag, 6));
    case TargetKind::Rg160:
      return msg::rg160Target(analysis::formatNumber(target.pga / records::kStandardGravity, 6));
  }
  return target.text;
}

}  // namespace

std::string describeTarget(const Target& target) {
  // A file target is named by its text, which already ends in the factor.
  if (target.scale == 1 || target.kind == TargetKind::File) return describeUnscaled(target);
  return describeUnscaled(target) + " ×" + analysis::formatNumber(target.scale, 6);
}

}  // namespace accelspec::check
