// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <memory>

namespace accelspec {

static_assert(std::numeric_limits<long double>::digits == 64,
              "accelspec needs the 80-bit extended long double (64-bit significand)");
static_assert(std::numeric_limits<long double>::is_iec559);

/// Elements 0 … 100000 of every array of the working data set.
inline constexpr int kArraySize = 100001;
/// Samples of an accelerogram: indices 1 … 100000.
inline constexpr int kMaxSamples = 100000;
/// Points of the input spectrum table: indices 1 … 998.
inline constexpr int kMaxSpectrumPoints = 998;
/// Graph memory: slots 1 … 6, slot k from element 1000·k, its last index at 1000·k − 1.
inline constexpr int kMaxSlots = 6;
inline constexpr int kMaxSlotLastIndex = 998;
constexpr int slotBase(int k) { return 1000 * k; }
constexpr int slotCountIndex(int k) { return 1000 * k - 1; }
/// The current response spectrum: point j at element 9000 + j, j = 0 … 91000.
inline constexpr int kResponseBase = 9000;
inline constexpr int kMaxResponseLastIndex = kArraySize - 1 - kResponseBase;

/// Kind of graph the chart and the store currently hold. Scoped, so that a switch that misses
/// a kind is a warning; the names stay those the commands have always used.
enum class ModeKind : std::int32_t {
  kModeNone = 0,
  kModeInputSpectrum = 1,
  kModeAccelerogram = 2,
  kModeResponseSpectrum = 3,
};
using enum ModeKind;

using RealArray = std::array<long double, kArraySize>;

/// The working data set: the one store every command reads and writes. All zero at start.
/// Names are those the engineers use in the formulas; counts are 32-bit as in the files.
struct Store {
  long double Fbeg = 0, Fend = 0, DF = 0, Psi = 0, T = 0, DT = 0, Tbeg = 0, Tend = 0;
  std::int32_t ND = 0, N = 0, NF = 0, NMem = 0;
  ModeKind Mode = kModeNone;

  RealArray Acc{};     ///< Acc[k]: ground acceleration at (k − 1)·DT, m/s², k = 1 … ND
  RealArray SpF{};     ///< frequencies, Hz, by region (input table, memory slots, response)
  RealArray SpA{};     ///< accelerations, m/s², for the same points as SpF
  RealArray SweepT{};  ///< synthesis: time at which the sweep passes input point i
  RealArray Disp{}, Vel{}, AccRel{}, AccAbs{};  ///< response work arrays, last frequency
};

/// Allocates a zeroed working data set; done once per run (about 13 MB).
std::unique_ptr<Store> makeStore();

}  // namespace accelspec
