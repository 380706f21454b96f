#pragma once

// The analysis commands of accelspec-cli: response spectra on standard grids and intensity
// measures of records of any supported format.

#include <iosfwd>
#include <string_view>

namespace accelspec::cli {

/// accelspec-cli spectra RECORD... [--grid G] [--damping LIST] [--quantity LIST]
/// [--peaks refined|samples] [--rotd 50|100] [--csv OUT.csv | --out-dir DIR] [--jobs N] [READING],
/// argv[1] == "spectra". One record (or pair) goes to --csv or to `out`; several to --out-dir.
/// Returns 0 done, 1 a record failed (its message on `err`, no file for it), 2 wrong call.
int runSpectra(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
               std::string_view usage);

/// accelspec-cli measures RECORD... [--csv OUT.csv] [READING], argv[1] == "measures": one row per
/// record, to --csv or to `out`, written only when every record succeeded. Same exit statuses.
int runMeasures(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                std::string_view usage);

}  // namespace accelspec::cli
