// SPDX-License-Identifier: MIT
#pragma once

// The texts of the target parser and the compatibility check, in one place so that tests
// compare exact strings.

#include <cstddef>
#include <string>
#include <string_view>

#include "data/messages.hpp"

namespace accelspec::msg {

/// "неверная цель «T»: …" — a target text that cannot be used.
inline std::string badTarget(std::string_view target, std::string_view why) {
  return "неверная цель «" + std::string(target) + "»: " + std::string(why);
}
inline constexpr std::string_view kTargetForms =
    "ожидается файл *.spv, ec8:TYPE:GROUND:AG или rg160:PGA";
inline constexpr std::string_view kEc8Form =
    "ожидается ec8:TYPE:GROUND:AG: TYPE 1 или 2, GROUND от A до E, AG в м/с² больше нуля";
inline constexpr std::string_view kTargetFactor =
    "множитель после * должен быть числом или дробью A/B больше нуля";
inline constexpr std::string_view kRg160Form = "ожидается rg160:PGA: PGA в g больше нуля";
inline constexpr std::string_view kTargetBeyondRange =
    "значения спектра выходят за пределы чисел двойной точности";
inline constexpr std::string_view kSpvEmpty = "в файле нет ни одной точки";
inline constexpr std::string_view kSpvOrder = "частоты должны быть больше нуля и строго возрастать";
inline constexpr std::string_view kSpvValue = "ускорения должны быть конечными и больше нуля";
inline constexpr std::string_view kTableEmpty = "в таблице спектра нет ни одной точки";
inline constexpr std::string_view kTableSizes = "в таблице спектра частот и ускорений не поровну";
inline constexpr std::string_view kTooManyTablePoints = "в таблице больше 998 точек";
inline constexpr std::string_view kRg160Damping =
    "спектр rg160 задан здесь только для затухания 0.05";

inline constexpr std::string_view kBadRule = "правило должно быть srp, ec8, asce7 или rb006";
inline constexpr std::string_view kNoRecords = "нет ни одной записи для проверки";
inline constexpr std::string_view kSpectrumLength =
    "спектр записи не совпадает по числу точек с сеткой проверки";
inline constexpr std::string_view kSpectrumNotFinite =
    "в спектре записи есть нечисловое или отрицательное значение";
inline constexpr std::string_view kNeedT1 = "правило ec8 требует первый период T1 в с";
inline constexpr std::string_view kEmptyRange =
    "в проверяемый диапазон периодов не попала ни одна точка сетки проверки";
inline constexpr std::string_view kRangeTwice =
    "граница диапазона задана дважды: периодом и частотой";
inline constexpr std::string_view kRangeReversed =
    "нижняя граница диапазона периодов больше верхней";
inline constexpr std::string_view kNoGrid =
    "шаг записи слишком велик: частота Найквиста ниже 0.1 Гц, сетка проверки пуста";

// The check's own words: items of the rules, what was found, the summary. Numbers come formatted
// by the caller; the units are spelled here.
inline constexpr std::string_view kItemRatioAtLeast = "все отношения ≥ 0.9";
inline constexpr std::string_view kItemRatioAtMost = "все отношения ≤ 1.3";
inline constexpr std::string_view kItemRunBelowOne = "не более 9 соседних точек ниже 1.0";
inline constexpr std::string_view kItemStep = "шаг не более 0.01 с";
inline constexpr std::string_view kItemDuration = "длительность не менее 20 с";
inline constexpr std::string_view kItemRecordCount = "не менее 3 записей";
inline constexpr std::string_view kItemEc8Mean = "средний спектр ≥ 0.9 цели от 0.2·T1 до 2·T1";
inline constexpr std::string_view kItemPeakEc8 = "среднее пиковое ускорение грунта ≥ ag·S";
inline constexpr std::string_view kItemPeakTarget =
    "среднее пиковое ускорение грунта ≥ цели при 0 с";
// rb006: the clauses of section 5.3 of the Russian safety guide, each item named by its clause.
inline constexpr std::string_view kItemRb006Peak =
    "5.3.1: среднее пиковое ускорение записей ≥ цели при 0 с";
inline constexpr std::string_view kItemRb006Mean =
    "5.3.3: средний спектр ни в одной точке ниже 0.9 цели";
inline constexpr std::string_view kItemRb006Ratio =
    "5.3.2: среднее отношение спектров записей к цели на 0.5–33 Гц, для сведения: в доступном "
    "тексте РБ-006-98 знак неравенства утрачен";
/// "среднее R по N точкам и M записям".
inline std::string foundMeanRatio(std::string_view ratio, std::size_t points, std::size_t records) {
  return "среднее " + std::string(ratio) + " по " + countOf(points, "точке", "точкам", "точкам") +
         " и " + countOf(records, "записи", "записям", "записям");
}

/// "средний спектр ≥ R цели" (asce7).
inline std::string itemMeanAtLeast(std::string_view ratio) {
  return "средний спектр ≥ " + std::string(ratio) + " цели";
}

/// "F Гц (P с)": a grid point.
inline std::string atPoint(std::string_view frequency, std::string_view period) {
  return std::string(frequency) + " Гц (" + std::string(period) + " с)";
}
/// "наименьшее R при F Гц (P с)".
inline std::string foundLowest(std::string_view ratio, std::string_view at) {
  return "наименьшее " + std::string(ratio) + " при " + std::string(at);
}
/// "наибольшее R при F Гц (P с)".
inline std::string foundHighest(std::string_view ratio, std::string_view at) {
  return "наибольшее " + std::string(ratio) + " при " + std::string(at);
}
/// "самая длинная серия: …".
inline std::string foundRun(std::string_view run) {
  return "самая длинная серия: " + std::string(run);
}
inline constexpr std::string_view kNoRun = "нет";
/// "N точек, F1–F2 Гц".
inline std::string runOf(std::size_t n, std::string_view from, std::string_view to) {
  return countOf(n, "точка", "точки", "точек") + ", " + std::string(from) + "–" + std::string(to) +
         " Гц";
}
/// "шаг D с".
inline std::string foundStep(std::string_view dt) { return "шаг " + std::string(dt) + " с"; }
/// "длительность D с".
inline std::string foundDuration(std::string_view d) {
  return "длительность " + std::string(d) + " с";
}
/// "N записей".
inline std::string foundRecords(std::size_t n) { return countOf(n, "запись", "записи", "записей"); }
/// "среднее A м/с², цель B м/с²".
inline std::string foundPeak(std::string_view mean, std::string_view target) {
  return "среднее " + std::string(mean) + " м/с², цель " + std::string(target) + " м/с²";
}

/// "# RULE, цель T, затухание D, Q\n": the first line of the check's table.
inline std::string checkHeading(std::string_view rule, std::string_view target,
                                std::string_view damping, std::string_view quantity) {
  return "# " + std::string(rule) + ", цель " + std::string(target) + ", затухание " +
         std::string(damping) + ", " + std::string(quantity) + "\n";
}
/// "# проверяемый диапазон сужен до F1–F2 Гц (T1–T2 с): WHY\n": the rule's range was cut by the
/// target file's span (it has no values beyond its end points) and/or by --tmin/--tmax.
inline std::string judgedRangeCut(std::string_view f1, std::string_view f2, std::string_view t1,
                                  std::string_view t2, bool byTarget, bool byOptions) {
  std::string why;
  if (byTarget) why = "вне частот файла цели у неё нет значений";
  if (byOptions) why += std::string(why.empty() ? "" : "; ") + "так задан диапазон периодов";
  return "# проверяемый диапазон сужен до " + std::string(f1) + "–" + std::string(f2) + " Гц (" +
         std::string(t1) + "–" + std::string(t2) + " с): " + why + "\n";
}

/// "R при F Гц (P с)": an extreme of the summary.
inline std::string extremeAt(std::string_view ratio, std::string_view at) {
  return std::string(ratio) + " при " + std::string(at);
}
inline constexpr std::string_view kLowestRatio = "наименьшее отношение: ";
inline constexpr std::string_view kHighestRatio = "наибольшее отношение: ";
inline constexpr std::string_view kLongestRun = "самая длинная серия ниже 1.0: ";
// Both five characters wide on a terminal, so the items line up.
inline constexpr std::string_view kItemPass = "да   ";
inline constexpr std::string_view kItemFail = "нет  ";
inline constexpr std::string_view kItemInfo = "инф. ";

/// "ec8, тип T, грунт G, ag A м/с²".
inline std::string ec8Target(int type, char ground, std::string_view ag) {
  return "ec8, тип " + std::to_string(type) + ", грунт " + std::string(1, ground) + ", ag " +
         std::string(ag) + " м/с²";
}
/// "rg160, PGA P g".
inline std::string rg160Target(std::string_view pga) {
  return "rg160, PGA " + std::string(pga) + " g";
}

}  // namespace accelspec::msg
