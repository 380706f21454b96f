// SPDX-License-Identifier: MIT
#pragma once

// The texts of the selection and of the suite file, in one place so that tests compare exact
// strings.

#include <cstddef>
#include <string>
#include <string_view>

namespace accelspec::msg {

inline constexpr std::string_view kSuiteCount = "число записей набора должно быть больше нуля";
inline constexpr std::string_view kSuiteScaleLimits =
    "пределы масштаба: ожидается 0 < наименьший ≤ наибольший";
inline constexpr std::string_view kSuiteLibrarySpectra =
    "отбор идёт по спектрам библиотеки: PSA при затухании 0.05";
inline constexpr std::string_view kSuiteNoCandidates =
    "ни одна запись не подходит: кандидатов нет (при --pairs берутся только пары)";
inline constexpr std::string_view kSuiteNoneWithin =
    "ни одна запись не подходит: нет записей в пределах масштаба";

/// "# отбор: правило R, цель T; кандидатов N, в пределах масштаба A…B: M\n".
inline std::string selectionHeading(std::string_view rule, std::string_view target,
                                    std::size_t candidates, std::string_view scaleMin,
                                    std::string_view scaleMax, std::size_t within) {
  return "# отбор: правило " + std::string(rule) + ", цель " + std::string(target) +
         "; кандидатов " + std::to_string(candidates) + ", в пределах масштаба " +
         std::string(scaleMin) + "…" + std::string(scaleMax) + ": " + std::to_string(within) + "\n";
}
/// "# общий множитель M: средний спектр поднят до требования\n".
inline std::string multiplierApplied(std::string_view m) {
  return "# общий множитель " + std::string(m) + ": средний спектр поднят до требования\n";
}
/// The item of a common multiplier the scale limits refused.
inline constexpr std::string_view kItemMultiplier = "общий множитель в пределах масштаба";
inline std::string foundMultiplier(std::string_view need, std::string_view largest,
                                   std::string_view limit) {
  return "нужен " + std::string(need) + ", наибольший масштаб стал бы " + std::string(largest) +
         " > " + std::string(limit);
}
inline constexpr std::string_view kSuiteZeroMean = "средний спектр равен нулю в точке диапазона";
/// The item of a suite with fewer motions than were asked for.
inline constexpr std::string_view kItemSuiteCount = "записей в наборе не меньше запрошенного";
inline std::string foundSuiteCount(std::size_t got, std::size_t asked) {
  return "набрано " + std::to_string(got) + " из " + std::to_string(asked);
}
/// asce7's count item.
inline constexpr std::string_view kItemAsce7Count = "не менее 11 записей";
inline std::string foundMotions(std::size_t n) { return "записей: " + std::to_string(n); }

/// "PATH: строка N: WHY" — a suite file that cannot be used.
inline std::string badSuiteLine(std::string_view path, std::size_t line, std::string_view why) {
  return std::string(path) + ": строка " + std::to_string(line) + ": " + std::string(why);
}
inline constexpr std::string_view kSuiteHeader =
    "ожидается первая строка «accelspec-suite,1» (файл набора этой версии)";
inline constexpr std::string_view kSuiteNewer = "файл набора более новой версии";
inline constexpr std::string_view kSuiteNumber = "ожидается число";
inline constexpr std::string_view kSuiteMemberShape =
    "строка записи набора должна иметь 12 или 15 полей";
inline constexpr std::string_view kSuiteRank = "номера записей должны идти по порядку с 1";
inline constexpr std::string_view kSuitePath = "путь к файлу записи должен быть абсолютным";
inline constexpr std::string_view kSuiteFactor = "масштаб должен быть конечным и больше нуля";
inline constexpr std::string_view kSuiteQuote = "незакрытая кавычка";
inline constexpr std::string_view kSuiteEnd =
    "файл оборван: нет последней строки «end,N» с числом записей";
inline constexpr std::string_view kSuiteEndCount = "число записей в строке end не совпадает";
inline constexpr std::string_view kSuiteAfterEnd = "после строки end ничего не должно быть";
/// "ожидается ключ K".
inline std::string suiteKey(std::string_view key) {
  return "ожидается ключ «" + std::string(key) + "»";
}
/// "запись R изменилась после отбора: шаг D с, отсчётов N, пик P м/с² (в файле набора …)".
inline std::string suiteMemberChanged(std::string_view name, std::string_view dt,
                                      std::string_view samples, std::string_view pga,
                                      std::string_view statedDt, std::string_view statedSamples,
                                      std::string_view statedPga) {
  return "запись " + std::string(name) + " изменилась после отбора: шаг " + std::string(dt) +
         " с, отсчётов " + std::string(samples) + ", пик " + std::string(pga) +
         " м/с² (в файле набора " + std::string(statedDt) + " с, " + std::string(statedSamples) +
         ", " + std::string(statedPga) + " м/с²)";
}
/// A pair whose components differ in step.
inline constexpr std::string_view kSuitePairStep = "компоненты пары с разным шагом";

}  // namespace accelspec::msg
