// SPDX-License-Identifier: MIT
#include "cli/rule_options.hpp"

#include <cmath>
#include <optional>

#include "analysis/number_text.hpp"
#include "check/check_messages.hpp"
#include "data/error.hpp"

namespace accelspec::cli {

namespace {

std::optional<double> positive(const Arguments& a, const char* name) {
  if (!a.has(name)) return std::nullopt;
  double v = 0;
  if (!analysis::parseNumber(a.get(name), v) || !(v > 0) || !std::isfinite(v))
    throw UsageError("--" + std::string(name) + ": ожидается число больше нуля (с точкой)");
  return v;
}

}  // namespace

std::vector<OptionHelp> withRuleHelp(std::vector<OptionHelp> before, std::vector<OptionHelp> after,
                                     std::string_view ruleDefault) {
  const std::string rule =
      ruleDefault.empty() ? std::string("обязателен") : "по умолчанию " + std::string(ruleDefault);
  std::vector<OptionHelp> help = std::move(before);
  help.insert(
      help.end(),
      {
          {"--rule srp|ec8|asce7|rb006",
           "правило: srp — отношения каждой записи 0.9…1.3; ec8 — не менее 3 записей, средний "
           "спектр ≥ 0.9 цели на 0.2·T1…2·T1; asce7 — средний спектр ≥ --min-ratio цели; "
           "rb006 — среднее пиковое ускорение ≥ цели при 0 с и средний спектр ≥ 0.9 цели на "
           "0.5–33 Гц, среднее отношение выводится для сведения (" +
               rule + ")"},
          {"--damping Z", "доля критического затухания, больше 0 и меньше 1 (по умолчанию 0.05)"},
          {"--quantity psa|sa", "сравниваемая величина (по умолчанию psa)"},
          {"--t1 T1", "первый период сооружения, с (для ec8 обязателен; asce7: 0.2·T1…2·T1)"},
          {"--tmin T, --tmax T",
           "диапазон периодов, с (по умолчанию: правила srp, ec8 и rb006 — свой, asce7 — "
           "0.2·T1…2·T1 "
           "или вся сетка проверки)"},
          {"--fmin F, --fmax F", "тот же диапазон частотами, Гц (вместо --tmax и --tmin)"},
          {"--min-ratio R",
           "наименьшее отношение среднего спектра к цели, только asce7 (по умолчанию 0.9)"},
      });
  help.insert(help.end(), after.begin(), after.end());
  return help;
}

check::RuleParameters ruleParameters(const Arguments& a, bool ruleRequired) {
  check::RuleParameters p;
  if (!a.has("rule")) {
    if (ruleRequired) throw UsageError("не указано правило --rule");
  } else {
    try {
      p.rule = check::parseRule(a.get("rule"));
    } catch (const AppError& e) {
      throw UsageError("--rule: " + std::string(e.what()));
    }
  }
  if (const auto d = positive(a, "damping")) {
    if (!(*d < 1)) throw UsageError("--damping: ожидается доля затухания больше 0 и меньше 1");
    p.damping = *d;
  }
  if (a.has("quantity")) {
    const std::string& q = a.get("quantity");
    if (q != "psa" && q != "sa") throw UsageError("--quantity: ожидается psa или sa");
    p.quantity = q == "sa" ? analysis::Quantity::Sa : analysis::Quantity::Psa;
  }
  p.t1 = positive(a, "t1");
  const auto tmin = positive(a, "tmin"), tmax = positive(a, "tmax");
  const auto fmin = positive(a, "fmin"), fmax = positive(a, "fmax");
  try {
    check::setPeriodRange(p, tmin, tmax, fmin, fmax);
  } catch (const AppError& e) {
    const bool twice = (tmin && fmax) || (tmax && fmin);
    throw UsageError(std::string(twice          ? "--tmin с --fmax или --tmax с --fmin: "
                                 : tmin || tmax ? "--tmin больше --tmax: "
                                                : "--fmin больше --fmax: ") +
                     e.what());
  }
  if (const auto r = positive(a, "min-ratio")) p.minRatio = *r;
  if (p.rule == check::Rule::Srp && (p.t1 || a.has("min-ratio")))
    throw UsageError("правило srp не принимает --t1, --min-ratio");
  if (p.rule == check::Rule::Rb006 && (p.t1 || a.has("min-ratio")))
    throw UsageError("правило rb006 не принимает --t1, --min-ratio");
  if (p.rule == check::Rule::Ec8 && a.has("min-ratio"))
    throw UsageError("правило ec8 не принимает --min-ratio");
  if (p.rule == check::Rule::Ec8 && !p.t1) throw UsageError("--t1: " + std::string(msg::kNeedT1));
  return p;
}

check::Target targetOption(const Arguments& a, const check::RuleParameters& parameters) {
  if (!a.has("target")) throw UsageError("не указан целевой спектр --target");
  const std::string& text = a.get("target");
  const bool named = text.starts_with("ec8:") || text.starts_with("rg160:") || text.empty();
  check::Target target;
  try {
    target = check::parseTarget(text);
  } catch (const AppError& e) {
    const std::string what = "--target: " + std::string(e.what());
    if (named) throw UsageError(what);
    throw AppError(what);
  }
  if (!target.supportsDamping(parameters.damping))
    throw UsageError("--target: " + msg::badTarget(text, msg::kRg160Damping));
  return target;
}

}  // namespace accelspec::cli
