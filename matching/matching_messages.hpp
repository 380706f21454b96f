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

}  // namespace accelspec::msg
