// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
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

/// The fields of the parameter lines 1 … 7, in the file's order; line 6 (ND) holds an integer.
inline constexpr std::size_t kParameterLineCount = 7;
inline constexpr std::array<Edit, kParameterLineCount> kConfigurationFields{
    Edit::Fbeg, Edit::Fend, Edit::DF, Edit::Psi, Edit::T, Edit::ND, Edit::DT};

/// Texts of the parameter lines, UTF-8, '.' as decimal point, in kConfigurationFields' order.
using ParameterTexts = std::array<std::string, kParameterLineCount>;

/// The text of field `edit` as the file carries it: the user's decimal separator made '.'.
std::string parameterFileText(const Form& form, Edit edit);

/// True when `fileText`, written on the line of field `edit`, reads back without error: it holds
/// a value (an empty text would make the reader take the next line's first word) that converts
/// as a real (as an integer for ND). Text after the value is ignored, as the reader does.
bool parameterReadsBack(Edit edit, const std::string& fileText);

/// Lines 1 … 7 in Windows-1251: each label, then its text as it stands. Never throws.
std::string formatParameterLines(const ParameterTexts& texts);

/// Line 8 and the memory list in Windows-1251. Throws the errors of formatConfiguration.
std::string formatMemoryBlock(const Store& store, const Form& form);

/// The Windows-1251 text writeConfiguration writes. Throws the capacity errors for an NMem
/// outside 0 … 6 or a slot of more than 999 points, and "Invalid floating point operation" for
/// a slot count that does not round to an integer.
std::string formatConfiguration(const Store& store, const Form& form);

}  // namespace accelspec
