#pragma once

#include <string>

#include "data/form.hpp"
#include "data/store.hpp"
#include "files/textio.hpp"

namespace accelspec {

/// The configuration file read at every activation and written at close, in the working folder.
inline constexpr const char* kConfigFileName = "config.cfg";

/// Reads a configuration file into the store and the form, applying each value as it is read.
/// Throws input/output and capacity errors; what was applied before the failure stays.
void readConfiguration(const std::string& path, Store& store, Form& form);

/// readConfiguration from file text already in memory: Fbeg, Fend, DF (Hz), EditPsi, T (s),
/// ND, DT (s) and their fields, NMem, and for slots 1 … NMem the memory list's cells and the
/// slot's points. Throws IoError "Invalid numeric input", the capacity errors for a memory count
/// outside 0 … 6 (NMem unchanged) or a slot of more than 999 points (its count unchanged), and
/// "Invalid floating point operation" for a slot count that does not round to an integer.
void readConfiguration(TextReader& in, Store& store, Form& form);

/// Writes the parameter fields' texts and the graph memory. The previous file is replaced only
/// once the new one is complete. Throws input/output errors.
void writeConfiguration(const std::string& path, const Store& store, const Form& form);

/// The Windows-1251 text writeConfiguration writes. Throws the capacity errors for an NMem
/// outside 0 … 6 or a slot of more than 999 points, and "Invalid floating point operation" for
/// a slot count that does not round to an integer.
std::string formatConfiguration(const Store& store, const Form& form);

/// ShowMemoryList: shows (never hides) the memory list and slot controls for NMem slots.
void showMemoryList(const Store& store, Form& form);

/// FormActivate: readConfiguration on config.cfg, Mode := 0, showMemoryList, grid headers.
void formActivate(Store& store, Form& form);

/// FormClose: writeConfiguration on config.cfg.
void formClose(const Store& store, const Form& form);

}  // namespace accelspec
