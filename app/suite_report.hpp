// SPDX-License-Identifier: MIT
#pragma once

// The PDF of a suite of motions. The header is free of Qt so that the command-line tool can call
// it; the drawing is in suite_report.cpp, built with Qt's PDF writer.

#include <string>

#include "suites/selection.hpp"

namespace accelspec {

/// The report of `selection` as the bytes of a PDF (A4 portrait): the rule, the target and the
/// common multiplier; the scaled spectra as thin lines, their mean, the target and the rule's
/// band on log axes against the period, the judged range shaded; the rule's items with their
/// verdicts; the table of motions with their files and factors (on further pages when it is
/// long). Needs a QGuiApplication (fonts). Throws AppError when there is nothing to report.
std::string suiteReportPdf(const suites::Selection& selection);

/// As suiteReportPdf, creating an offscreen QGuiApplication for the call when there is none
/// (for the command-line tool).
std::string suiteReportPdfStandalone(const suites::Selection& selection);

}  // namespace accelspec
