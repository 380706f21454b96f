// SPDX-License-Identifier: MIT
#pragma once

// Picking and scaling a suite of ground motions to a target spectrum, and the suite file that
// keeps what was picked so that the suite can be checked and exported again without the library.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check/check.hpp"
#include "check/target.hpp"
#include "library/library.hpp"
#include "records/record.hpp"

namespace accelspec::suites {

/// What the selection is asked to do (the options of the select command).
struct SelectionParameters {
  /// The rule the suite must meet, and its period range: tmin/tmax (--range) or t1. The
  /// damping and the quantity stay 0.05 and PSA: the library's spectra are 5 % PSA.
  check::RuleParameters rule;
  std::size_t count = 0;  ///< N: how many motions the suite takes (> 0)
  bool pairs = false;     ///< motions of two horizontal components, their RotD spectra
  /// Without pairs: the vertical components instead of the horizontal ones (a vertical target).
  bool vertical = false;
  double scaleMin = 0.25;       ///< the least scale factor a motion may get
  double scaleMax = 4.0;        ///< the largest
  std::size_t maxPerEvent = 0;  ///< K: at most this many motions of one event (0: no limit)
};

/// One component of a member as the suite file keeps it.
struct MemberFile {
  std::string path;    ///< absolute
  std::string format;  ///< the reader's format name ("" : found from the content)
  int channel = 1;     ///< 1-based
};

/// One motion of the suite.
struct Member {
  std::size_t rank = 0;  ///< 1 = the least misfit
  std::int64_t motionId = 0;
  std::string name;               ///< the motion's name
  std::string event;              ///< the event it counts for under --max-per-event
  std::vector<MemberFile> files;  ///< 1, or 2 for a pair (H1, H2)
  double dt = 0;                  ///< s (the larger of a pair's)
  std::size_t samples = 0;        ///< the fewer of a pair's
  double fitFactor = 0;  ///< the scale factor of least misfit (ln SF = mean(ln target − ln S))
  double mse = 0;        ///< mean((ln target − ln(fitFactor·S))²) over the fitted points
  double factor = 0;     ///< the factor applied: fitFactor × the common multiplier
  double pga = 0;        ///< unscaled peak |a| (the larger component of a pair), m/s²
  double scaledPga() const { return factor * pga; }
  /// The unscaled spectrum on the library's points (PSA, or RotD50/RotD100 of a pair), m/s².
  std::vector<double> spectrum;
};

/// The selection's result: the suite, the rule's check on it, and the verdict.
struct Selection {
  SelectionParameters parameters;
  std::string targetText;        ///< the --target text (a file as an absolute path)
  std::size_t candidates = 0;    ///< motions offered
  std::size_t withinLimits = 0;  ///< of those, with a fit factor inside the scale limits
  std::vector<Member> members;   ///< ranked
  /// The common multiplier every fit factor was raised by so that the mean meets the rule (1:
  /// none needed); `multiplierNeeded` is the one the rule asked for, also when the scale
  /// limits refused it (then `multiplier` stays 1 and the suite fails).
  double multiplier = 1, multiplierNeeded = 1;
  bool multiplierRefused = false;
  check::CheckResult check;  ///< the rule on the scaled suite, as `check` computes it
  bool pass = false;
};

/// The points the fit uses: for each point k of the finest check grid (0.1·10^(k/100) Hz up to
/// 50 Hz), whether the rule judges it, as the check decides (the rule's range, --tmin/--tmax,
/// the target's span).
/// Throws AppError as check::evaluateRule for an empty range or a missing t1.
std::vector<bool> judgedPoints(const check::Target& target, const check::RuleParameters& rule);

/// The scale factor of least mean squared error of the logarithms over the points where
/// `mask` is true (only as far as all three vectors reach), and that error. Returns false when
/// there is no such point or a value there is not finite and above zero.
bool fitFactor(const std::vector<double>& target, const std::vector<double>& spectrum,
               const std::vector<bool>& mask, double& factor, double& mse);

/// Picks and scales the suite from `motions` (see the guide, «Наборы записей»). Throws AppError
/// for parameters no suite can meet the form of (count 0, limits reversed, no judged points).
Selection select(const check::Target& target, const SelectionParameters& parameters,
                 const std::vector<library::Motion>& motions);

/// The rule on the members as they stand (their factors and spectra); with `raise`, the common
/// multiplier applied when the mean falls short and the limits allow. Fills check, multiplier
/// and pass. Used by select and (without raising: the suite as it was written) by `suite check`.
/// Throws AppError for a member spectrum shorter than the check grid of the members' steps.
void judge(const check::Target& target, Selection& selection, bool raise = true);

/// The table (rank, motion, files, SF, MSE, scaled PGA), the multiplier, the rule's items with
/// their verdicts, the last line "PASS" or "FAIL"; every line ending in '\n'.
std::string selectionText(const Selection& selection);

/// The suite file: the parameters, the target, the rule and every member with its files and
/// factors, numbers written so that they read back to the same bits.
std::string suiteFileText(const Selection& selection);

/// Reads a suite file's text; `path` names it in messages. The members come without spectra
/// and the check is not kept (recompute and judge again). Throws AppError naming the line for
/// anything damaged: another header or version, a missing or unknown key, a number that is not
/// one, a member line of the wrong shape, a relative path, a missing end line.
Selection parseSuiteFile(const std::string& text, const std::string& path);

/// Reads every member's files again and computes its spectrum on the library's points (5 %
/// PSA with refined peaks; RotD100 for asce7 or RotD50 otherwise of a pair) and its peak, as
/// the library does. Returns a line for each member whose files no longer hold what the suite
/// file states (another step, number of samples or peak): the records changed after the
/// selection. Throws AppError naming the file that cannot be read or used.
std::vector<std::string> recomputeSpectra(Selection& selection, unsigned threads = 1);

/// One scaled component to export: its file name ("MOTION.aks", or "MOTION_H1.aks" and
/// "MOTION_H2.aks" of a pair, characters a file name cannot hold replaced by '_') and the record.
struct ScaledComponent {
  std::string fileName;
  records::Record record;
};

/// Reads every member's files and scales them by the member's factor.
std::vector<ScaledComponent> scaledComponents(const Selection& selection);

}  // namespace accelspec::suites
