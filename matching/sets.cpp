// SPDX-License-Identifier: MIT
#include "matching/sets.hpp"

#include <algorithm>
#include <cmath>

#include "data/error.hpp"
#include "data/store.hpp"
#include "matching/matching_messages.hpp"
#include "matching/set_messages.hpp"

namespace accelspec::matching {

const char* axisName(Axis axis) {
  switch (axis) {
    case Axis::H1:
      return "H1";
    case Axis::H2:
      return "H2";
    case Axis::V:
      return "V";
  }
  return "";
}

double pearson(const std::vector<double>& a, const std::vector<double>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  if (n < 2) return 0;
  long double ma = 0, mb = 0;
  for (std::size_t k = 0; k < n; ++k) {
    ma += a[k];
    mb += b[k];
  }
  ma /= static_cast<long double>(n);
  mb /= static_cast<long double>(n);
  long double sab = 0, saa = 0, sbb = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const long double da = a[k] - ma, db = b[k] - mb;
    sab += da * db;
    saa += da * da;
    sbb += db * db;
  }
  if (!(saa > 0) || !(sbb > 0)) return 0;
  return static_cast<double>(sab / std::sqrt(saa * sbb));
}

std::vector<std::pair<Axis, Axis>> componentPairs(int components) {
  std::vector<std::pair<Axis, Axis>> pairs;
  for (int i = 0; i < components; ++i)
    for (int j = i + 1; j < components; ++j)
      pairs.emplace_back(static_cast<Axis>(i), static_cast<Axis>(j));
  return pairs;
}

std::string setFileName(const std::string& prefix, int motion, Axis axis) {
  return prefix + "_" + std::to_string(motion) + "_" + axisName(axis) + ".aks";
}

void validateSetRequest(const SetRequest& r) {
  if (r.components < 1 || r.components > 3) throw AppError(msg::kSetBadComponents);
  if (r.count < 1 || r.count > kMaxMotions) throw AppError(msg::kSetBadCount);
  if (!(r.maxCorrelation > 0) || !(r.maxCorrelation <= 1)) throw AppError(msg::kSetBadCorrelation);
  if (r.iterations < 1 || r.iterations > kMaxIterations) throw AppError(msg::kMatchBadIterations);
  if (r.components == 3 && !r.vertical) throw AppError(msg::kSetNoVertical);
  validateRuleParameters(r.parameters, r.horizontal);
  if (r.components == 3) validateRuleParameters(r.parameters, *r.vertical);
  switch (r.seedKind) {
    case SeedKind::Sweep:
      if (r.components * r.count > 1) throw AppError(msg::kSetSweepOnce);
      break;
    case SeedKind::Records: {
      const std::size_t need = static_cast<std::size_t>(r.components * r.count);
      if (r.records.size() < need) throw AppError(msg::setTooFewSeeds(need, r.records.size()));
      for (const auto& rec : r.records)
        if (rec.dt != r.records.front().dt) throw AppError(msg::kSetSeedSteps);
      break;
    }
    case SeedKind::Noise:
      if (!(r.noise.strong > 0) || !std::isfinite(r.noise.strong) || !(r.noise.dt > 0) ||
          !std::isfinite(r.noise.dt))
        throw AppError(msg::kNoiseBadShape);
      if (!(std::round(envelopeShape(r.noise.envelope, r.noise.strong).duration / r.noise.dt) <=
            kMaxSamples))
        throw AppError(msg::kNoiseTooLong);
      break;
  }
}

namespace {

// Where the next seed of a component comes from, and the records not used yet.
class Seeds {
 public:
  explicit Seeds(const SetRequest& r) : request_(r) {
    for (const auto& rec : r.records) longest_ = std::max(longest_, rec.accel.size());
  }

  // The seed of (motion, component)'s try `attempt` (0-based), or nothing when none is left.
  std::optional<MatchSource> next(int motion, Axis axis, int attempt, std::string& name) {
    MatchSource source;
    switch (request_.seedKind) {
      case SeedKind::Sweep:
        if (attempt > 0) return std::nullopt;
        source.duration = request_.sweepDuration;
        source.step = request_.sweepStep;
        name = std::string(msg::kSetSweepSeed);
        return source;
      case SeedKind::Noise: {
        if (attempt >= kNoiseAttempts) return std::nullopt;
        records::Record rec;
        rec.dt = request_.noise.dt;
        rec.accel = noiseSeed(request_.noise, static_cast<unsigned>(motion),
                              static_cast<unsigned>(axis), static_cast<unsigned>(attempt));
        rec.name =
            msg::noiseSeedName(request_.noise.number, motion, static_cast<int>(axis), attempt);
        name = rec.name;
        source.seed = std::move(rec);
        source.wholeGrid = true;
        return source;
      }
      case SeedKind::Records: {
        if (used_ >= request_.records.size()) return std::nullopt;
        records::Record rec = request_.records[used_++];
        // The components of a motion are one simultaneous record: one length for all of them.
        rec.accel.resize(longest_, 0.0);
        name = rec.name;
        source.seed = std::move(rec);
        return source;
      }
    }
    return std::nullopt;
  }

 private:
  const SetRequest& request_;
  std::size_t used_ = 0, longest_ = 0;
};

}  // namespace

SetResult matchSet(const SetRequest& request, const SetProgress& progress, std::stop_token stop) {
  validateSetRequest(request);
  SetResult out;
  Seeds seeds(request);
  for (int motion = 1; motion <= request.count; ++motion) {
    std::vector<SetComponent> kept;
    for (int c = 0; c < request.components; ++c) {
      const Axis axis = static_cast<Axis>(c);
      const check::Target& target = axis == Axis::V ? *request.vertical : request.horizontal;
      SetFailure failure{motion, axis};
      failure.correlationValue = INFINITY;
      bool anyRulePass = false;
      std::optional<double> closest;  // the distance of the closest failed match from its band
      std::optional<SetComponent> made;
      for (int attempt = 0;; ++attempt) {
        std::string name;
        const std::optional<MatchSource> source = seeds.next(motion, axis, attempt, name);
        if (!source) {
          failure.seedsExhausted = request.seedKind == SeedKind::Records;
          break;
        }
        failure.tries = attempt + 1;
        std::function<void(int, double, double)> told;
        if (progress)
          told = [&](int i, double lo, double hi) {
            progress(motion, axis, attempt + 1, i, lo, hi);
          };
        RuleMatch m = matchToRule(target, request.parameters, *source, request.iterations,
                                  request.threads, told, stop);
        if (!m.match.passed) {
          const double miss = std::max({0.0, std::log(m.goalLowest / m.match.lowestRatio),
                                        std::log(m.match.highestRatio / m.goalHighest)});
          if (!closest || miss < *closest) {
            closest = miss;
            failure.lowest = m.match.lowestRatio;
            failure.highest = m.match.highestRatio;
          }
          continue;
        }
        anyRulePass = true;
        // The largest |r| with the components already kept.
        double worst = 0;
        Axis with = Axis::H1;
        for (const auto& k : kept) {
          const double r = std::fabs(pearson(k.match.accel, m.match.accel));
          if (r > worst) {
            worst = r;
            with = k.axis;
          }
        }
        if (worst > request.maxCorrelation) {
          if (worst < failure.correlationValue) {
            failure.correlationValue = worst;
            failure.other = with;
          }
          continue;
        }
        SetComponent sc;
        sc.motion = motion;
        sc.axis = axis;
        sc.seed = name;
        sc.tries = attempt + 1;
        sc.dt = m.dt;
        sc.match = std::move(m.match);
        sc.check = std::move(*m.check);
        sc.targetText = target.text;
        sc.goalLowest = m.goalLowest;
        sc.goalHighest = m.goalHighest;
        made = std::move(sc);
        break;
      }
      if (!made) {
        // A component whose every passing match was too much like another failed on the
        // correlation; one the rule never passed failed on the rule.
        failure.correlation = anyRulePass && failure.correlationValue < INFINITY;
        out.failure = failure;
        out.components.clear();
        out.correlations.clear();
        return out;
      }
      kept.push_back(std::move(*made));
    }
    std::vector<double> table;
    for (const auto& [a, b] : componentPairs(request.components))
      table.push_back(pearson(kept[static_cast<std::size_t>(a)].match.accel,
                              kept[static_cast<std::size_t>(b)].match.accel));
    out.correlations.push_back(std::move(table));
    for (auto& k : kept) out.components.push_back(std::move(k));
  }
  out.passed = true;
  return out;
}

}  // namespace accelspec::matching
