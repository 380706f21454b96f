// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace accelspec::records {

/// Standard gravity used for every conversion from g, m/s².
inline constexpr double kStandardGravity = 9.80665;

/// What a record file's header says about the recording; empty or unset where the format or
/// the file says nothing. Texts are trimmed, with control bytes and broken UTF-8 shown as "?".
struct Metadata {
  std::string event;              ///< the event's name or id
  std::string date;               ///< the event's date, "YYYY-MM-DD", with " hh:mm:ss" where given
  std::string station;            ///< the station's code or name
  std::string component;          ///< the component as the header names it ("90", "E-W", "Up")
  std::optional<double> azimuth;  ///< degrees clockwise from north, 0 ≤ a < 360
  bool vertical = false;          ///< the header calls the component vertical
  std::optional<double> magnitude;  ///< as the header gives it (moment magnitude first)
  std::optional<double> distance;   ///< epicentral, km
  std::optional<double> vs30;       ///< m/s
};

/// A ground-motion record as the analysis commands use it: uniform step, SI units.
struct Record {
  std::string path;    ///< the file it was read from
  std::string name;    ///< file name without folder and extension
  std::string format;  ///< "at2", "knet", "cosmos", "eqsig", "columns", "aks", "brl"
  double dt = 0;       ///< time step, s (> 0)
  std::vector<double>
      accel;          ///< acceleration, m/s², any length (not limited to the window's store)
  std::string units;  ///< the units the values were read in: g|gal|cm/s2|m/s2|mm/s2|in/s2|mg
  /// What the reading had to assume (a unit the file does not state), for "предупреждение: …".
  std::vector<std::string> warnings;
  Metadata metadata;  ///< the header's description of the recording
};

/// How to read a record; an empty field means "take it from the file".
struct Reading {
  std::optional<std::string> format;  ///< --format: at2|knet|cosmos|eqsig|columns|aks|brl
  std::optional<std::string> units;   ///< --units: g|gal|cm/s2|m/s2|mm/s2
  std::optional<double> step;         ///< --step DT, s (required for one-column files)
  int channel = 1;                    ///< --channel N, 1-based (COSMOS files with several)
  /// How the caller lets the user give the step and the unit ("--step", "--units"), added to
  /// the messages that ask for them; empty: the messages name no setting.
  std::string stepOption, unitsOption;
};

/// Reads one record, finding the format from the content unless `reading.format` names it.
/// Throws AppError with a message that names the file, the line and what was expected; never
/// returns a shortened or mis-scaled record. At least two samples, every one finite.
Record readRecord(const std::string& path, const Reading& reading = {});

/// As readRecord, from file text already in memory; `path` names the file in messages and in
/// the record. Throws AppError.
Record readRecordText(std::string_view text, const std::string& path, const Reading& reading = {});

/// The format names `--format` takes, in the order the usage lists them.
inline constexpr const char* kFormatNames[] = {"at2",     "knet", "cosmos", "eqsig",
                                               "columns", "aks",  "brl"};

}  // namespace accelspec::records
