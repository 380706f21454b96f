// SPDX-License-Identifier: MIT
#pragma once

// The texts only the Python module shows, in one place so that tests compare exact strings. The
// module otherwise passes on the core's own messages unchanged.

#include <string>
#include <string_view>

namespace accelspec::msg {

/// "ИМЯ: ожидается одномерный массив чисел" — an array of another shape.
inline std::string pyNotVector(std::string_view name) {
  return std::string(name) + ": ожидается одномерный массив чисел";
}
inline constexpr std::string_view kPyGridArray =
    "grid: частоты сетки должны быть конечными, больше нуля и строго возрастать";
inline constexpr std::string_view kPyGridEmpty = "grid: в сетке нет ни одной частоты";
inline constexpr std::string_view kPyPeaks = "peaks: ожидается refined или samples";
inline constexpr std::string_view kPyPercentile = "percentile: ожидается 50 или 100";
inline constexpr std::string_view kPyThreads = "threads: ожидается целое число от 0 до 1024";
inline constexpr std::string_view kPyStep = "dt: шаг по времени должен быть конечным и больше нуля";
inline constexpr std::string_view kPyQuantityCheck = "quantity: ожидается psa или sa";
inline constexpr std::string_view kPyDampingCheck =
    "damping: ожидается доля критического затухания от 0 до 1 (не включая 1)";
/// "ИМЯ: ожидается число больше нуля" — a rule option.
inline std::string pyPositive(std::string_view name) {
  return std::string(name) + ": ожидается конечное число больше нуля";
}
inline constexpr std::string_view kPySrpOptions = "правило srp не принимает t1, min_ratio";
inline constexpr std::string_view kPyRb006Options = "правило rb006 не принимает t1, min_ratio";
inline constexpr std::string_view kPyEc8Options = "правило ec8 не принимает min_ratio";
inline constexpr std::string_view kPyNoRecords = "records: не указаны записи";
inline constexpr std::string_view kPyRecordItem =
    "records: каждая запись — Record или пара (ускорения, шаг)";
inline constexpr std::string_view kPySeedStep =
    "dt: для массива seed нужен шаг по времени, для Record он берётся из записи";
inline constexpr std::string_view kPyIterations = "iterations: ожидается целое число от 1 до 1000";
inline constexpr std::string_view kPyFrequency =
    "частота цели должна быть конечным числом больше нуля";
inline constexpr std::string_view kPyTableLengths =
    "таблица цели: частоты и значения должны быть одномерными массивами одной длины";

}  // namespace accelspec::msg
