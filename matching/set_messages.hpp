// SPDX-License-Identifier: MIT
#pragma once

// The texts of the noise seeds and of sets of components, in one place so that tests compare
// exact strings.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/messages.hpp"

namespace accelspec::msg {

inline constexpr std::string_view kBadEnvelope = "огибающая должна быть jht или sh";
inline constexpr std::string_view kNoiseBadShape =
    "длительность сильной фазы и шаг шума должны быть конечными и больше нуля";
inline constexpr std::string_view kNoiseTooLong =
    "шум с такой сильной фазой и шагом превысил бы 100000 отсчётов";

inline constexpr std::string_view kSetBadComponents = "число компонент должно быть 1, 2 или 3";
inline constexpr std::string_view kSetBadCount = "число движений должно быть целым от 1 до 100";
inline constexpr std::string_view kSetBadCorrelation =
    "наибольший коэффициент корреляции должен быть больше 0 и не больше 1";
inline constexpr std::string_view kSetNoVertical =
    "для трёх компонент нужна цель вертикальной компоненты";
inline constexpr std::string_view kSetSweepOnce =
    "развёртка одинакова для всех компонент и движений (корреляция 1): для набора нужны "
    "записи-основы или шум";
inline constexpr std::string_view kSetSeedSteps =
    "у записей-основ разный шаг: компоненты набора должны иметь один шаг";
/// "нужно не менее N записей-основ (по одной на компоненту), дано M".
inline std::string setTooFewSeeds(std::size_t need, std::size_t given) {
  return "нужно не менее " +
         countOf(static_cast<long long>(need), "записи-основы", "записей-основ", "записей-основ") +
         " (по одной на компоненту), дано " + std::to_string(given);
}
inline constexpr std::string_view kSetSweepSeed = "развёртка";
/// "noise:NUMBER, поток M/C/A": a noise seed's name, its stream's motion, component and try.
inline std::string noiseSeedName(std::uint64_t number, int motion, int component, int attempt) {
  return "noise:" + std::to_string(number) + ", поток " + std::to_string(motion) + "/" +
         std::to_string(component) + "/" + std::to_string(attempt);
}

/// "M_A" — a component of a set: its motion and axis.
inline std::string setComponent(int motion, std::string_view axis) {
  return std::to_string(motion) + "_" + std::string(axis);
}

/// "компонента M_A не прошла проверку R за N попыток; ближе всего: отношения от L до H. Файлы
/// набора не записаны."
inline std::string setRuleFailed(std::string_view component, std::string_view rule, int tries,
                                 std::string_view lowest, std::string_view highest) {
  return "компонента " + std::string(component) + " не прошла проверку " + std::string(rule) +
         " за " + countOf(tries, "попытку", "попытки", "попыток") + "; ближе всего: отношения от " +
         std::string(lowest) + " до " + std::string(highest) + ". Файлы набора не записаны.";
}
/// "компонента M_A: корреляция с M_B не ниже |r| = X при пределе Y за N попыток. Файлы набора не
/// записаны."
inline std::string setCorrelationFailed(std::string_view component, std::string_view other,
                                        int tries, std::string_view value, std::string_view limit) {
  return "компонента " + std::string(component) + ": корреляция с " + std::string(other) +
         " не ниже |r| = " + std::string(value) + " при пределе " + std::string(limit) + " за " +
         countOf(tries, "попытку", "попытки", "попыток") + ". Файлы набора не записаны.";
}
inline constexpr std::string_view kSetSeedsExhausted =
    "записи-основы кончились: дайте больше записей --seed.";

/// "# корреляция ускорений компонент (Пирсон), |r| не более X".
inline std::string setCorrelationHeading(std::string_view limit) {
  return "# корреляция ускорений компонент (Пирсон), |r| не более " + std::string(limit);
}
inline constexpr std::string_view kSetMotionColumn = "движение";

/// "M_A: подобрано за N итераций (основа S, попыток K): отношения от L до H; пиковое
/// ускорение P м/с² (×Z значения цели при 0 с); цель T".
inline std::string setComponentLine(std::string_view component, int iterations,
                                    std::string_view seed, int tries, std::string_view lowest,
                                    std::string_view highest, std::string_view peak,
                                    std::string_view share, std::string_view target) {
  return std::string(component) + ": подобрано за " +
         countOf(iterations, "итерацию", "итерации", "итераций") + " (основа " + std::string(seed) +
         ", " + countOf(tries, "попытка", "попытки", "попыток") + "): отношения от " +
         std::string(lowest) + " до " + std::string(highest) + "; пиковое ускорение " +
         std::string(peak) + " м/с² (×" + std::string(share) + " значения цели при 0 с); цель " +
         std::string(target);
}

}  // namespace accelspec::msg
