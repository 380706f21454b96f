// SPDX-License-Identifier: MIT
#include "suites/selection.hpp"

#include "data/error.hpp"

namespace accelspec::suites {

std::vector<bool> judgedPoints(const check::Target&, const check::RuleParameters&) { return {}; }

bool fitFactor(const std::vector<double>&, const std::vector<double>&, const std::vector<bool>&,
               double&, double&) {
  return false;
}

Selection select(const check::Target&, const SelectionParameters&,
                 const std::vector<library::Motion>&) {
  throw AppError("не сделано");
}

void judge(const check::Target&, Selection&) { throw AppError("не сделано"); }

std::string selectionText(const Selection&) { return ""; }

std::string suiteFileText(const Selection&) { return ""; }

Selection parseSuiteFile(const std::string&, const std::string&) { throw AppError("не сделано"); }

void recomputeSpectra(Selection&, unsigned) { throw AppError("не сделано"); }

std::vector<ScaledComponent> scaledComponents(const Selection&) { return {}; }

}  // namespace accelspec::suites
