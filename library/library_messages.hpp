// SPDX-License-Identifier: MIT
#pragma once

// The texts of the record library and of its --where expressions, in one place so that tests
// compare exact strings.

#include <string>
#include <string_view>

namespace accelspec::msg {

/// "неверное условие, позиция N: …" — N counts characters from 1. The caller names where the
/// condition came from (the command's --where, the window's field).
inline std::string badWhere(std::size_t position, std::string_view what) {
  return "неверное условие, позиция " + std::to_string(position) + ": " + std::string(what);
}
inline constexpr std::string_view kWhereField = "ожидается имя поля";
inline std::string whereUnknownField(std::string_view name, std::string_view fields) {
  return "неизвестное поле «" + std::string(name) + "»; поля: " + std::string(fields);
}
inline constexpr std::string_view kWhereOperator = "ожидается сравнение: =, !=, <, <=, >, >= или ~";
inline constexpr std::string_view kWhereValue =
    "ожидается значение: число, слово или текст в кавычках";
inline constexpr std::string_view kWhereNumber = "ожидается число";
inline constexpr std::string_view kWhereNumberG = "ожидается число (у pga — можно с g: 0.1g)";
inline constexpr std::string_view kWhereQuote = "кавычка не закрыта";
inline constexpr std::string_view kWhereClose = "ожидается «)»";
inline constexpr std::string_view kWhereAndOr = "ожидается and, or или конец условия";
inline constexpr std::string_view kWhereContains = "«~» (содержит) — только для текстовых полей";
inline constexpr std::string_view kWhereDepth = "слишком глубокая вложенность (более 64 уровней)";
inline constexpr std::string_view kWhereLength = "условие длиннее 4096 знаков";
inline std::string whereCharacter(std::string_view c) {
  return "недопустимый знак «" + std::string(c) + "»";
}

// The library file.
inline constexpr std::string_view kLibraryNoHome =
    "не задан ни XDG_DATA_HOME, ни HOME: укажите файл библиотеки (--library FILE)";
inline std::string libraryMissing(std::string_view path) {
  return "библиотеки записей «" + std::string(path) +
         "» нет; её создаёт команда accelspec-cli library add";
}
inline std::string libraryNotDatabase(std::string_view path) {
  return "«" + std::string(path) + "» — не библиотека записей accelspec";
}
inline std::string libraryNewer(std::string_view path, int version, int ours) {
  return "библиотека записей «" + std::string(path) + "» создана более новой версией программы " +
         "(схема " + std::to_string(version) + ", эта версия знает схемы до " +
         std::to_string(ours) + "); откройте её новой версией или укажите другой файл";
}
inline std::string libraryError(std::string_view path, std::string_view what) {
  return "библиотека записей «" + std::string(path) + "»: " + std::string(what);
}
inline constexpr std::string_view kLibraryReadOnly =
    "файл или папка только для чтения — записать нельзя; записанное раньше сохранено";
inline constexpr std::string_view kLibraryFull =
    "диск заполнен — запись прервана; записанное раньше сохранено";
inline constexpr std::string_view kLibraryIo =
    "ошибка ввода-вывода при записи или чтении файла (место на диске, права, носитель); "
    "записанное раньше сохранено";
inline constexpr std::string_view kLibraryBusy =
    "файл занят другой программой дольше 60 с — попробуйте позже";
inline std::string libraryNoPath(std::string_view path) {
  return "«" + std::string(path) + "»: нет такого файла или папки";
}
inline std::string libraryNotIndexed(std::string_view path) {
  return "«" + std::string(path) + "» нет в библиотеке; добавьте его командой library add";
}
inline std::string libraryChannels(std::string_view path, std::size_t channels) {
  return "в «" + std::string(path) + "» " + std::to_string(channels) +
         " каналов; укажите канал: ФАЙЛ:N";
}
inline std::string libraryNoChannel(std::string_view path, int channel) {
  return "в «" + std::string(path) + "» нет канала " + std::to_string(channel);
}
inline std::string libraryVertical(std::string_view path) {
  return "«" + std::string(path) +
         "» — вертикальная составляющая; в пару берутся только горизонтальные";
}
inline constexpr std::string_view kLibrarySamePair = "в пару нужны две разные составляющие";
inline constexpr std::string_view kLibraryPairMismatch =
    "у составляющих пары разные шаг или число отсчётов";
inline std::string libraryFileChanged(std::string_view path) {
  return "«" + std::string(path) + "» изменился после индексации; выполните library add заново";
}

}  // namespace accelspec::msg
