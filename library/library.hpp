// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/measures.hpp"

namespace accelspec::library {

/// The library's spectra: 5 % PSA with refined peaks at 0.1·10^(k/100) Hz, k = 0 … 300
/// (0.1–100 Hz, 100 points a decade), m/s². Point k is the check grid's point k.
inline constexpr std::size_t kSpectrumPoints = 301;
inline constexpr double kSpectrumDamping = 0.05;

/// The frequency of the library's spectrum point k, Hz.
double spectrumFrequency(std::size_t k);

/// One indexed component (one channel of one file) as the library stores it.
struct Component {
  std::int64_t id = 0;
  std::string path;    ///< absolute path of the file
  std::string format;  ///< the reader's format name
  int channel = 1;     ///< 1-based channel of the file
  /// What the header carries; empty or unset when the format or the file has none.
  std::string event, date, station, component;
  std::optional<double> azimuth;    ///< degrees clockwise from north
  std::optional<double> magnitude;  ///< as the header gives it
  std::optional<double> distance;   ///< km
  std::optional<double> vs30;       ///< m/s
  double dt = 0;                    ///< s
  std::size_t samples = 0;
  analysis::Measures measures;  ///< the nine measures
  std::vector<double> psa;      ///< kSpectrumPoints values, m/s²
};

/// A ground motion: one component alone, or the two horizontal components of one recording.
struct Motion {
  std::int64_t id = 0;
  std::string name;   ///< e.g. the record number or the file stem shared by the pair
  std::string event;  ///< the header's event, else the folder of the first component
  std::vector<Component> components;    ///< 1 or 2
  std::vector<double> rotd50, rotd100;  ///< kSpectrumPoints values each; empty unless a pair
  bool pair() const { return components.size() == 2; }
};

}  // namespace accelspec::library
