// SPDX-License-Identifier: MIT
#pragma once

// The texts of the baseline and matching commands, in one place so that tests compare exact
// strings.

#include <cstddef>
#include <string>
#include <string_view>

#include "check/check_messages.hpp"

namespace accelspec::msg {

inline constexpr std::string_view kBaselineTooShort =
    "для поправки базовой линии нужно не менее трёх отсчётов";

inline constexpr std::string_view kMatchNoPoints = "в сетке подбора нет ни одной точки";
inline constexpr std::string_view kMatchBadTarget =
    "целевой спектр должен быть конечным и больше нуля во всех точках подбора";
inline constexpr std::string_view kMatchBadDuration =
    "длительность и шаг синтеза должны быть конечными и больше нуля, а отсчётов от 3 до 100000";
inline constexpr std::string_view kMatchSilentSeed =
    "исходная запись без движения: её спектр равен нулю во всех точках подбора";
inline constexpr std::string_view kMatchTooLong =
    "запись с паузой в конце для подбора превысила бы 100000 отсчётов";

inline constexpr std::string_view kMatchBadIterations =
    "число итераций подбора должно быть целым от 1 до 1000";
inline constexpr std::string_view kMatchBadDamping = "затухание должно быть больше 0 и меньше 1";
inline constexpr std::string_view kMatchNeedT1 = "правило ec8 требует первый период T1 в с";
inline constexpr std::string_view kMatchBadPeriod =
    "периоды T1, Tmin и Tmax должны быть конечными и больше нуля";
inline constexpr std::string_view kMatchTminAboveTmax = "Tmin больше Tmax";
inline constexpr std::string_view kMatchBadMinRatio =
    "наименьшее отношение должно быть конечным и больше нуля";

/// "N итерацию/итерации/итераций".
inline std::string iterationCount(int n) { return countOf(n, "итерацию", "итерации", "итераций"); }

/// "против масштабированной исходной записи: Ариас ×A, D5–95 S с, наибольшее смещение ×D,
/// первая и последняя секунды до E % пика": the four figures of a matched seed's character,
/// numbers formatted by the caller (S with its sign).
inline std::string matchCharacter(std::string_view arias, std::string_view shift,
                                  std::string_view displacement, std::string_view edges) {
  return "против масштабированной исходной записи: Ариас ×" + std::string(arias) + ", D5–95 " +
         std::string(shift) + " с, наибольшее смещение ×" + std::string(displacement) +
         ", первая и последняя секунды до " + std::string(edges) + " % пика";
}

/// "подобрано за N итераций: отношения от L до H; пиковое ускорение P м/с² (×K значения цели
/// при 0 с Z м/с²)": the summary of a match that passed, the character appended by the caller.
inline std::string matchSummary(int iterations, std::string_view lowest, std::string_view highest,
                                std::string_view peak, std::string_view share,
                                std::string_view zeroPeriod) {
  return "подобрано за " + iterationCount(iterations) + ": отношения от " + std::string(lowest) +
         " до " + std::string(highest) + "; пиковое ускорение " + std::string(peak) + " м/с² (×" +
         std::string(share) + " значения цели при 0 с " + std::string(zeroPeriod) + " м/с²)";
}

/// "запись, проходящая проверку R, не подобрана за N итераций; ближе всего: отношения от L до
/// H. Файл F не записан.".
inline std::string matchFailed(std::string_view rule, int iterations, std::string_view lowest,
                               std::string_view highest, std::string_view output) {
  return "запись, проходящая проверку " + std::string(rule) + ", не подобрана за " +
         iterationCount(iterations) + "; ближе всего: отношения от " + std::string(lowest) +
         " до " + std::string(highest) + ". Файл " + std::string(output) + " не записан.";
}
inline constexpr std::string_view kMatchClosest = "ближайшая запись ";

/// "предупреждение: проверка R пройдена, но отношения от L до H вне цели подбора A–B.".
inline std::string matchOutsideAim(std::string_view rule, std::string_view lowest,
                                   std::string_view highest, std::string_view aimLow,
                                   std::string_view aimHigh) {
  return "предупреждение: проверка " + std::string(rule) + " пройдена, но отношения от " +
         std::string(lowest) + " до " + std::string(highest) + " вне цели подбора " +
         std::string(aimLow) + "–" + std::string(aimHigh) + ".";
}
inline constexpr std::string_view kMatchPeakOff =
    "предупреждение: пиковое ускорение отличается от значения цели при 0 с больше чем на 10 %.";
inline constexpr std::string_view kMatchCharacterLost =
    "предупреждение: характер исходной записи сохранён хуже цели (Ариас в пределах ×1.25, D5–95 "
    "в пределах 2 с, наибольшее смещение ×0.5–1.5, первая и последняя секунды ниже 5 % пика).";
inline constexpr std::string_view kMatchEc8Set =
    "примечание: правило ec8 судит набор не менее чем из 3 записей; эта запись проверена как "
    "одна из них, проверьте набор командой check.";

}  // namespace accelspec::msg
