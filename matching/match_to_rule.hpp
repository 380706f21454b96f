// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "check/check.hpp"
#include "check/target.hpp"
#include "matching/spectral_match.hpp"
#include "records/record.hpp"

namespace accelspec::matching {

/// What a record is matched from: a seed record, or (without one) the program's sine sweep of
/// `duration` s at step `step` s.
struct MatchSource {
  std::optional<records::Record> seed;
  double duration = 20, step = 0.005;
  /// Whether the seed is brought to the target at every point of the check grid inside the
  /// target's span, not only at the points the rule judges (which alone must pass): for a seed
  /// with no character of its own to keep outside the judged range, such as noise.
  bool wholeGrid = false;
};

/// The iterations a match may take unless told otherwise, and the most it may be told: a cap,
/// since a run stops by itself once a record passes or the ratios stall. The command line and
/// the window start from the same cap, so that both give the same record for the same inputs.
inline constexpr int kDefaultIterations = 200;
inline constexpr int kMaxIterations = 1000;

/// A run towards a rule's verdict and how it ended.
struct RuleMatch {
  MatchResult match;
  double dt = 0;                           ///< s, the matched record's step
  double goalLowest = 0, goalHighest = 0;  ///< the aim's band the run steered the ratios into
  /// The rule's verdict on the matched record when it passed; empty otherwise.
  std::optional<check::CheckResult> check;
};

/// The rule's verdict on one matched record: every item passes but the count of records under
/// ec8, which concerns the set the record will join, not the record.
bool passesRule(const check::CheckResult& result);

/// The parameters as the window sets them, refused with the text to show when the rule cannot
/// take them: damping in (0, 1), ec8 without T1, Tmin above Tmax, a target that has no values
/// at the damping. Throws AppError; changes nothing.
void validateRuleParameters(const check::RuleParameters& parameters, const check::Target& target);

/// Brings a record to `target` until `parameters`' rule passes it on the check grid of its step:
/// the grid and the judged points are the check's own, and only the judged points are matched
/// (the seed is left as it is outside them as far as the bands allow); the peak acceleration is
/// steered to the target's zero-period value. The run stops once a record passes within the
/// aim's band, on a stall, or after `iterations` (1…1000); the best record the rule passed is
/// returned. `progress` is told each iteration's lowest and highest ratio. Throws AppError for a
/// target, source or grid that cannot be matched, MatchCancelled when `stop` is requested; leaves
/// nothing behind either way.
RuleMatch matchToRule(
    const check::Target& target, const check::RuleParameters& parameters, const MatchSource& source,
    int iterations, unsigned threads,
    const std::function<void(int iteration, double lowest, double highest)>& progress = {},
    std::stop_token stop = {});

}  // namespace accelspec::matching
