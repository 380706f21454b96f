#pragma once

// The one-page PDF of a compatibility check. The header is free of Qt so that the command-line
// tool can call it; the drawing is in check_report.cpp, built with Qt's PDF writer.

#include <string>

#include "check/check.hpp"

namespace accelspec {

/// Writes the report of `result` to `path` (A4 portrait, one page): the target and computed
/// spectra on log axes with the rule's bands, the ratio curve and the verdict table. Needs a
/// QGuiApplication (fonts). Replaces `path` only when the file is complete; throws AppError
/// naming the path when it cannot be written.
void writeCheckReport(const std::string& path, const check::CheckResult& result);

/// As writeCheckReport, creating an offscreen QGuiApplication for the call when there is none
/// (for the command-line tool).
void writeCheckReportStandalone(const std::string& path, const check::CheckResult& result);

}  // namespace accelspec
