// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/grid.hpp"
#include "analysis/spectra.hpp"
#include "check/target.hpp"
#include "records/record.hpp"

namespace accelspec::check {

/// The rules a set of records may be checked against.
enum class Rule { Srp, Ec8, Asce7, Rb006 };

/// "srp", "ec8", "asce7", "rb006".
const char* ruleName(Rule rule);
/// Parses a rule name. Throws AppError for anything else.
Rule parseRule(const std::string& text);

/// What the check is asked to do (the options of the check command).
struct RuleParameters {
  Rule rule = Rule::Srp;
  double damping = 0.05;                                  ///< ratio of critical
  analysis::Quantity quantity = analysis::Quantity::Psa;  ///< Psa or Sa
  std::optional<double> t1;                               ///< s: ec8 (required), asce7
  /// s: asce7's range; under srp and ec8 they narrow the rule's own range.
  std::optional<double> tmin, tmax;
  // Source: ASCE 7-16 §16.2.3: the mean spectrum not below 0.9 of the target.
  double minRatio = 0.9;  ///< asce7
  bool refinedPeaks = true;
};

/// Sets the period range of `parameters` from --tmin/--tmax (s) or --fmin/--fmax (Hz; fmin
/// gives tmax = 1/fmin, fmax gives tmin = 1/fmax). Throws AppError when a bound is given both
/// ways or the lower one lies above the upper; changes nothing then.
void setPeriodRange(RuleParameters& parameters, std::optional<double> tmin,
                    std::optional<double> tmax, std::optional<double> fmin,
                    std::optional<double> fmax);

/// The check grid: 0.1·10^(k/100) Hz, k = 0, 1, … while the frequency is at most
/// min(50 Hz, 1/(2·maxDt)) (with a relative slack of 1e-9). Empty when that is below 0.1 Hz.
std::vector<analysis::GridPoint> checkGrid(double maxDt);

/// One record as the rules see it: its spectrum on the check grid already computed.
struct CheckRecord {
  std::string name;
  double dt = 0;                 ///< s
  std::size_t samples = 0;       ///< ND
  double zeroPeriod = 0;         ///< peak |acceleration|, m/s²
  std::vector<double> spectrum;  ///< m/s², one value per grid point
  double duration() const { return static_cast<double>(samples) * dt; }
};

/// The spectrum of `record` for the check: PSA or SA at the parameters' damping, refined peaks
/// unless asked otherwise, on `grid`. Throws AppError as analysis::computeSpectra.
CheckRecord checkRecordOf(const records::Record& record,
                          const std::vector<analysis::GridPoint>& grid,
                          const RuleParameters& parameters, unsigned threads = 1);

/// One grid point of the result.
struct CheckPoint {
  double frequency = 0, period = 0;  ///< Hz, s
  double target = 0;                 ///< m/s²
  double computed = 0;               ///< the record's value, or the mean of the records, m/s²
  double ratio = 0;                  ///< computed / target
  std::vector<double> recordRatios;  ///< each record's ratio (in record order)
  bool judged = false;               ///< inside the range the rule judges
};

/// What an item of a rule is about, so that callers tell items apart without reading their words.
enum class ItemKind {
  RatioAtLeast,  ///< srp: every ratio of a record at or above the lower band
  RatioAtMost,   ///< srp: every ratio of a record at or below the upper band
  RunBelowOne,   ///< srp: adjacent points below 1.0
  Step,          ///< srp: the record's time step
  Duration,      ///< srp: the record's duration
  RecordCount,   ///< ec8: how many records the set has
  MeanSpectrum,  ///< ec8, asce7: the mean spectrum against the lower band
  MeanPeak,      ///< ec8, rb006 (5.3.1): the mean peak ground acceleration
  MeanRatio,     ///< rb006 (5.3.2): the mean ratio over 0.5–33 Hz, for information only
};

/// One item of the rule with its own verdict, e.g. item "все отношения ≥ 0.9", detail
/// "наименьшее 0.85 при 2.512 Гц (0.3981 с)", and for srp the record it concerns.
struct Verdict {
  std::string item;
  std::string record;  ///< empty when the item concerns the whole set
  std::string detail;
  bool pass = false;
  ItemKind kind = ItemKind::RatioAtLeast;
  /// Printed with its value for information: it never fails (`pass` stays true).
  bool information = false;
};

/// Where an extreme was found: the grid point index and the record (−1: the mean).
struct Where {
  std::size_t point = 0;
  int record = -1;
  double ratio = 0;
};

/// The longest run of adjacent judged points below 1.0.
struct Run {
  std::size_t first = 0, length = 0;
  int record = -1;
};

/// Everything the check found.
struct CheckResult {
  RuleParameters parameters;
  std::string targetText;                    ///< describeTarget of the target
  std::vector<std::string> recordNames;      ///< in order
  std::vector<CheckPoint> points;            ///< every grid point, ascending frequency
  std::vector<std::vector<double>> spectra;  ///< each record's values on the grid, m/s²
  Where lowest, highest;                     ///< among the judged ratios (each record's for srp)
  Run longestBelowOne;
  double lowerBand = 0.9, upperBand = 0;  ///< the rule's bands on the ratio (0: none above)
  /// Set when the judged range is narrower than the rule's own: by the target file's frequency
  /// span (a file has no values beyond its end points) or by --tmin/--tmax under srp and ec8.
  bool cutByTarget = false, cutByOptions = false;
  std::vector<Verdict> verdicts;
  bool pass = false;
};

/// Evaluates the rule on spectra already computed on `grid` (each record's spectrum has one
/// value per grid point). Throws AppError for no records, a spectrum of the wrong length, an
/// empty judged range, or a missing --t1 for ec8.
CheckResult evaluateRule(const Target& target, const RuleParameters& parameters,
                         const std::vector<analysis::GridPoint>& grid,
                         const std::vector<CheckRecord>& records);

/// Computes the check grid from the records' largest step, each record's spectrum, and
/// evaluates the rule. Throws AppError as checkRecordOf and evaluateRule.
CheckResult checkRecords(const Target& target, const RuleParameters& parameters,
                         const std::vector<records::Record>& records, unsigned threads = 1);

/// "# проверяемый диапазон …\n" when the judged range is narrower than the rule's own (the
/// target file's span or --tmin/--tmax cut it); empty otherwise.
std::string judgedRangeText(const CheckResult& result);

/// The table and summary of the check command, the last line "PASS" or "FAIL", each line
/// ending in '\n'.
std::string checkText(const CheckResult& result);

/// The table as CSV with a header line, numbers locale-free.
std::string checkCsv(const CheckResult& result);

}  // namespace accelspec::check
