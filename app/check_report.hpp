// SPDX-License-Identifier: MIT
#pragma once

// The one-page PDF of a compatibility check. The header is free of Qt so that the command-line
// tool can call it; the drawing is in check_report.cpp, built with Qt's PDF writer.

#include <functional>
#include <string>

#include "check/check.hpp"
#include "data/error.hpp"

namespace accelspec {

/// The report of `result` as the bytes of a PDF (A4 portrait, one page): the target and
/// computed spectra on log axes with the rule's bands, the ratio curve and the verdict table.
/// Needs a QGuiApplication (fonts). Throws AppError when there is nothing to report.
std::string checkReportPdf(const check::CheckResult& result);

/// Writes checkReportPdf(result) to `path` with replaceFile (the name's bytes as they are, only
/// a complete file replaces the old one); throws AppError naming the path when it cannot.
void writeCheckReport(const std::string& path, const check::CheckResult& result);

/// "PATH: не удаётся записать файл" for a report that could not be written (with the reason when
/// a planted link was refused).
std::string reportWriteFailure(const std::string& path, const IoError& e);

/// As checkReportPdf, creating an offscreen QGuiApplication for the call when there is none
/// (for the command-line tool).
std::string checkReportPdfStandalone(const check::CheckResult& result);

/// make() with a Qt application for drawing: the one running, or an offscreen one made for the
/// call and whose Qt notes are kept off standard error (the command-line tool has none).
std::string withOffscreenGui(const std::function<std::string()>& make);

}  // namespace accelspec
