// SPDX-License-Identifier: MIT
#pragma once

// Sets of independent components: N motions of one, two or three components (H1, H2, V), each
// component matched to its target from a seed of its own, the components of a motion kept
// statistically independent (the absolute Pearson correlation of their accelerations within a
// limit), all of them or none.

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "check/check.hpp"
#include "check/target.hpp"
#include "matching/match_to_rule.hpp"
#include "matching/noise.hpp"
#include "records/record.hpp"

namespace accelspec::matching {

/// A component of a motion: two horizontal, one vertical.
enum class Axis { H1 = 0, H2 = 1, V = 2 };
/// "H1", "H2", "V".
const char* axisName(Axis axis);

/// Source: US NRC SRP 3.7.1 (Rev. 4): the absolute value of the correlation coefficient of any
/// two of the three components at most 0.16.
inline constexpr double kDefaultMaxCorrelation = 0.16;
/// Source: RB-006-98 §4.4.1: the vertical spectrum is the horizontal one times 2/3 over the
/// whole frequency range.
inline constexpr double kDefaultVerticalRatio = 2.0 / 3.0;
/// How many streams a component of a noise set may take before the set is given up: the first
/// and this many − 1 more, each for a failed match or a correlation above the limit.
inline constexpr int kNoiseAttempts = 6;
/// The most motions a set may have.
inline constexpr int kMaxMotions = 100;

/// What seeds the components.
enum class SeedKind {
  Sweep,    ///< the sine sweep: one motion of one component only (every sweep is the same)
  Records,  ///< recorded seeds, taken in order; a component remade takes the next unused one
  Noise,    ///< white noise under an envelope, one generator stream per motion, component, try
};

/// What a set is asked to be.
struct SetRequest {
  check::Target horizontal;               ///< H1 and H2
  std::optional<check::Target> vertical;  ///< V (needed for three components)
  check::RuleParameters parameters;
  int components = 1;  ///< 1 (H1), 2 (H1, H2) or 3 (H1, H2, V)
  int count = 1;       ///< motions, 1 … 100
  SeedKind seedKind = SeedKind::Noise;
  std::vector<records::Record> records;  ///< Records: one step; padded to the longest with zeros
  NoiseParameters noise;                 ///< Noise
  double sweepDuration = 20, sweepStep = 0.005;  ///< Sweep
  double maxCorrelation = kDefaultMaxCorrelation;
  int iterations = kDefaultIterations;
  unsigned threads = 1;
};

/// One component of the set as matched.
struct SetComponent {
  int motion = 1;  ///< 1-based
  Axis axis = Axis::H1;
  std::string seed;  ///< the record's name, "noise:NUMBER поток M/C/A", or "развёртка"
  int tries = 1;     ///< seeds used for it, the one kept included
  double dt = 0;
  MatchResult match;                       ///< the matched record and its ratios
  check::CheckResult check;                ///< the rule's verdict on it
  std::string targetText;                  ///< its target's text (the vertical one for V)
  double goalLowest = 0, goalHighest = 0;  ///< the aim's band its run steered into
};

/// Why a set was given up, for the component it stopped at.
struct SetFailure {
  int motion = 1;
  Axis axis = Axis::H1;
  int tries = 0;
  bool correlation = false;        ///< the rule passed, but |r| stayed above the limit
  double lowest = 0, highest = 0;  ///< the closest match's ratios (rule failures)
  double correlationValue = 0;     ///< the least largest |r| reached (correlation failures)
  Axis other = Axis::H1;           ///< the component that |r| was with
  bool seedsExhausted = false;     ///< recorded seeds ran out before the tries did
};

/// What a set run gives: every component (when it passed), the correlation tables, or why not.
struct SetResult {
  bool passed = false;
  std::vector<SetComponent> components;  ///< motion by motion, H1, H2, V
  /// Per motion, the Pearson r of each pair in the order H1–H2, H1–V, H2–V (those present).
  std::vector<std::vector<double>> correlations;
  std::optional<SetFailure> failure;
};

/// The Pearson correlation coefficient of two records of one step over their common samples;
/// 0 when either has no variance there.
double pearson(const std::vector<double>& a, const std::vector<double>& b);

/// The pairs of `components` components in table order ("H1–H2", "H1–V", "H2–V").
std::vector<std::pair<Axis, Axis>> componentPairs(int components);

/// Told of each iteration of each match: the component, its try (1-based), the iteration and its
/// ratio range.
using SetProgress =
    std::function<void(int motion, Axis axis, int attempt, int iteration, double lo, double hi)>;

/// Refuses a request that cannot make a set (AppError with the text to show): components outside
/// 1…3, count outside 1…100, a sweep for more than one component or motion, three components
/// without a vertical target, a limit outside (0, 1], recorded seeds too few for one try of each
/// component, of several steps or none, noise whose envelope or step is no number above zero or
/// would take more than 100000 samples, and the rule's own refusals (validateRuleParameters).
void validateSetRequest(const SetRequest& request);

/// Matches the set: motion by motion, component by component, each from its own seed to its
/// own target until the rule passes it (matchToRule); a component whose match fails, or whose
/// |r| with a component already kept exceeds the limit, is made again from the next seed (noise:
/// the next stream, at most kNoiseAttempts in all; records: the next unused record). Stops at
/// the first component that cannot be made, with `failure` set. Deterministic: the same request
/// gives the same numbers. Throws AppError as validateSetRequest and matchToRule, MatchCancelled
/// on a stop.
SetResult matchSet(const SetRequest& request, const SetProgress& progress = {},
                   std::stop_token stop = {});

/// "OUT_PREFIX_<motion>_<H1|H2|V>.aks".
std::string setFileName(const std::string& prefix, int motion, Axis axis);

}  // namespace accelspec::matching
