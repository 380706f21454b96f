// SPDX-License-Identifier: MIT
#pragma once

// The options that state a compatibility rule (--rule, --damping, --quantity, --t1, --tmin,
// --tmax, --fmin, --fmax, --min-ratio), read by one parser for check and match alike.

#include <string>
#include <string_view>
#include <vector>

#include "check/check.hpp"
#include "check/target.hpp"
#include "cli/arguments.hpp"
#include "cli/command.hpp"

namespace accelspec::cli {

/// The help line of --target for check and match.
inline constexpr std::string_view kTargetHelp =
    "целевой спектр: файл *.spv (частоты в Гц, ускорения в м/с²), ec8:TYPE:GROUND:AG (тип 1 "
    "или 2, грунт A–E, AG в м/с²) или rg160:PGA (PGA в g, только при затухании 0.05)";

/// `before`, the help lines of the rule options, then `after`. `ruleDefault`: what stands
/// without --rule ("" when --rule is required).
std::vector<OptionHelp> withRuleHelp(std::vector<OptionHelp> before, std::vector<OptionHelp> after,
                                     std::string_view ruleDefault = "");

/// The rule the options of a call state. Without --rule: srp when `ruleRequired` is false.
/// The damping is a ratio 0 < ζ < 1: every rule compares spectra of damped oscillators. Options
/// the rule does not take are refused rather than ignored: a reviewer reads the command line as
/// the statement of what was checked. Throws UsageError with the option's name.
check::RuleParameters ruleParameters(const Arguments& a, bool ruleRequired);

/// The target of --target. A text that is none of its forms, or a target that has no values
/// for the damping, is a wrong call (UsageError); a target file that cannot be used is a failed
/// input (AppError). Either message begins with "--target: ".
check::Target targetOption(const Arguments& a, const check::RuleParameters& parameters);

}  // namespace accelspec::cli
