// SPDX-License-Identifier: MIT
#pragma once

// The texts the spectra and measures commands show, in one place so that tests compare exact
// strings. Kept beside the analysis code rather than in data/messages.hpp: these commands exist
// only on the command line.

#include <string>
#include <string_view>

namespace accelspec::msg {

/// "неверная сетка «G»: …" — a grid text that is not one of the known forms.
inline std::string badGrid(std::string_view grid, std::string_view why) {
  return "неверная сетка «" + std::string(grid) + "»: " + std::string(why);
}
inline constexpr std::string_view kGridForms =
    "ожидается log:FMIN:FMAX:N, periods:TMIN:TMAX:N, lin:FBEG:FEND:DF, srp, nga или file:PATH";
inline constexpr std::string_view kGridNotPositive = "границы и шаг должны быть больше нуля";
inline constexpr std::string_view kGridReversed = "верхняя граница меньше нижней";
inline constexpr std::string_view kGridPerDecade =
    "число точек на декаду должно быть целым от 1 до 100000";
inline constexpr std::string_view kGridTooLarge = "в сетке более 100000 точек";

/// "PATH, строка L: …" — a line of a frequency file.
inline std::string atLine(std::string_view path, long long line, std::string_view what) {
  return std::string(path) + ", строка " + std::to_string(line) + ": " + std::string(what);
}
inline constexpr std::string_view kGridFileNumber =
    "ожидается одна частота в Гц, число больше нуля";
inline constexpr std::string_view kGridFileDuplicate = "частота повторяется";
inline constexpr std::string_view kGridFileEmpty = "в файле нет ни одной частоты";
inline constexpr std::string_view kGridFileTooLarge =
    "файл больше 8 МиБ — предела для списков частот; такой файл не читается";

// Options of the analysis commands.
inline constexpr std::string_view kBadDamping =
    "ожидается список долей критического затухания через запятую, каждая от 0 до 1 "
    "(не включая 1), без повторов";
inline constexpr std::string_view kBadQuantity =
    "ожидается список из psa, sa, sv, psv, sd через запятую, без повторов";

/// The record cannot be analysed (its step or one of its samples).
inline std::string badRecord(std::string_view name, std::string_view why) {
  return std::string(name) + ": " + std::string(why);
}
inline constexpr std::string_view kRecordStep = "шаг по времени должен быть конечным и больше нуля";
inline constexpr std::string_view kRecordEmpty = "в записи нет ни одного отсчёта";
inline constexpr std::string_view kRecordNotFinite =
    "в записи есть нечисловой отсчёт (NaN или INF)";

/// A grid frequency too high for refined peaks at the record's step.
/// The numbers come formatted, so that no locale reaches them.
inline std::string tooManySubsteps(std::string_view frequency, std::string_view dt) {
  return "частота " + std::string(frequency) + " Гц при шаге записи " + std::string(dt) +
         " с потребовала бы более 1000 подшагов на шаг записи: сузьте сетку или берите пики "
         "только в отсчётах записи";
}
inline constexpr std::string_view kResponseOverflow =
    "отклик осциллятора вышел за пределы чисел двойной точности";

/// A measure of a record beyond the double range (its samples near the largest numbers).
inline std::string measureBeyondRange(std::string_view measure) {
  return "мера " + std::string(measure) +
         " выходит за пределы чисел двойной точности: отсчёты записи слишком велики";
}

/// The warning about a record whose samples are all zero.
inline std::string noMotion(std::string_view name) {
  return "предупреждение: " + std::string(name) + ": все отсчёты записи равны нулю (движения нет)";
}

inline constexpr std::string_view kRotdMismatch =
    "две компоненты пары должны иметь один шаг по времени и одно число отсчётов";
inline constexpr std::string_view kRotdOdd =
    "--rotd: записи берутся парами (две горизонтальные компоненты), их число должно быть чётным";

/// A run whose estimated work is beyond the limit; the numbers come formatted.
inline std::string workBeyondLimit(std::string_view estimate, std::string_view limit) {
  return "оценка работы " + std::string(estimate) +
         " шагов осцилляторов (отсчёты × подшаги × точки сетки × затухания, для пары RotD вдвое) "
         "больше предела " +
         std::string(limit) +
         ": сузьте сетку, уменьшите число затуханий или снимите предел параметром "
         "--work-limit none";
}
inline constexpr std::string_view kBadWorkLimit =
    "--work-limit: ожидается число шагов осцилляторов больше нуля или none";

inline constexpr std::string_view kNoOutDir = "не удаётся создать папку для таблиц";

}  // namespace accelspec::msg
