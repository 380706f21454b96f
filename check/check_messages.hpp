#pragma once

// The texts of the target parser and the compatibility check, in one place so that tests
// compare exact strings.

#include <string>
#include <string_view>

namespace accelspec::msg {

/// "неверная цель «T»: …" — a --target text that cannot be used.
inline std::string badTarget(std::string_view target, std::string_view why) {
  return "--target: неверная цель «" + std::string(target) + "»: " + std::string(why);
}
inline constexpr std::string_view kTargetForms =
    "ожидается файл *.spv, ec8:TYPE:GROUND:AG или rg160:PGA";
inline constexpr std::string_view kEc8Form =
    "ожидается ec8:TYPE:GROUND:AG: TYPE 1 или 2, GROUND от A до E, AG в м/с² больше нуля";
inline constexpr std::string_view kRg160Form = "ожидается rg160:PGA: PGA в g больше нуля";
inline constexpr std::string_view kSpvEmpty = "в файле нет ни одной точки";
inline constexpr std::string_view kSpvOrder = "частоты должны быть больше нуля и строго возрастать";
inline constexpr std::string_view kSpvValue = "ускорения должны быть конечными и больше нуля";
inline constexpr std::string_view kTableEmpty = "в таблице спектра нет ни одной точки";
inline constexpr std::string_view kTableSizes = "в таблице спектра частот и ускорений не поровну";
inline constexpr std::string_view kTooManyTablePoints = "в таблице больше 998 точек";
inline constexpr std::string_view kRg160Damping =
    "спектр rg160 задан здесь только для затухания 0.05";

inline constexpr std::string_view kBadRule = "--rule: ожидается srp, ec8 или asce7";
inline constexpr std::string_view kNoRecords = "нет ни одной записи для проверки";
inline constexpr std::string_view kSpectrumLength =
    "спектр записи не совпадает по числу точек с сеткой проверки";
inline constexpr std::string_view kSpectrumNotFinite =
    "в спектре записи есть нечисловое или отрицательное значение";
inline constexpr std::string_view kNeedT1 = "--t1: правило ec8 требует первый период T1 в с";
inline constexpr std::string_view kEmptyRange =
    "в проверяемый диапазон периодов не попала ни одна точка сетки проверки";
inline constexpr std::string_view kNoGrid =
    "шаг записи слишком велик: частота Найквиста ниже 0.1 Гц, сетка проверки пуста";

}  // namespace accelspec::msg
