// SPDX-License-Identifier: MIT
#pragma once

// The data files: action spectrum (*.spv), response spectrum (*.spo), accelerogram (*.aks) and
// the imported record (*.brl, read only). Readers store each value into the working data set as
// it is read; after a failure what was stored stays, and the count keeps the value it reached.
// Writers build the whole text first and replace the file only when it is complete.

#include <string>

#include "data/store.hpp"
#include "files/textio.hpp"

namespace accelspec {

/// *.spv: N := the number of points, SpF/SpA[1 … N] (Hz, m/s²), one pass per line while the
/// data has not ended. Throws IoError (open, "Invalid numeric input"; N counts the failing
/// pass) or the capacity error at a 999th point (N stays 998, points 1 … 998 stored).
void readSpv(const std::string& path, Store& store);
void readSpv(TextReader& in, Store& store);

/// *.spo: NF := the index of the last point (−1 for none), SpF/SpA[9000 … 9000 + NF]. Throws as
/// readSpv; the capacity error comes at a 91002nd point (NF stays 91000).
void readSpo(const std::string& path, Store& store);
void readSpo(TextReader& in, Store& store);

/// *.aks: ND, DT := t2 − t1 (s), T := ND·DT (s), Acc[1], Acc[2] always and Acc[3 … ND] (m/s²).
/// Throws IoError, a floating-point fault of DT or T, or the capacity error for an ND above
/// 100000 (before ND or any sample is stored).
void readAks(const std::string& path, Store& store);
void readAks(TextReader& in, Store& store);

/// *.brl: as readAks, from a count line and lines of "sample number, time, acceleration".
void readBrl(const std::string& path, Store& store);
void readBrl(TextReader& in, Store& store);

/// The text of a *.spv file of SpF/SpA[1 … N]: empty for N <= 0. Throws the capacity error for
/// N above 998.
std::string formatSpv(const Store& store);
/// The text of a *.spo file of SpF/SpA[9000 … 9000 + NF]: empty for NF < 0. Throws the
/// capacity error for NF above 91000.
std::string formatSpo(const Store& store);
/// The text of a *.aks file: "ND 1", then (k − 1)·DT and Acc[k] for k = 1 … ND. Throws the
/// capacity error for ND above 100000, or "Floating point overflow" for a time beyond range.
std::string formatAks(const Store& store);

/// Writers: the texts above, replacing `path` once complete. Throw as the format functions and
/// IoError; the previous file is then unchanged.
void writeSpv(const std::string& path, const Store& store);
void writeSpo(const std::string& path, const Store& store);
void writeAks(const std::string& path, const Store& store);

}  // namespace accelspec
