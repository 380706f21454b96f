#pragma once

// The texts of the baseline and matching commands, in one place so that tests compare exact
// strings.

#include <string_view>

namespace accelspec::msg {

inline constexpr std::string_view kBaselineTooShort =
    "для поправки базовой линии нужно не менее трёх отсчётов";

inline constexpr std::string_view kMatchNoPoints = "в сетке подбора нет ни одной точки";
inline constexpr std::string_view kMatchBadTarget =
    "целевой спектр должен быть конечным и больше нуля во всех точках подбора";
inline constexpr std::string_view kMatchBadDuration =
    "длительность и шаг синтеза должны быть конечными и больше нуля, а отсчётов от 3 до 100000";
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

}  // namespace accelspec::msg
