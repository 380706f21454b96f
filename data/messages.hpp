// SPDX-License-Identifier: MIT
#pragma once

// Every text the program shows to the user, in one place, so that tests compare exact strings.

#include <string>
#include <string_view>

namespace accelspec::msg {

// Floating-point faults.
inline constexpr std::string_view kInvalidOp = "Invalid floating point operation";
inline constexpr std::string_view kDivByZero = "Floating point division by zero";
inline constexpr std::string_view kOverflow = "Floating point overflow";

// Input/output errors by code.
inline constexpr std::string_view kFileNotFound = "File not found";                // 2
inline constexpr std::string_view kInvalidFilename = "Invalid filename";           // 3
inline constexpr std::string_view kTooManyOpenFiles = "Too many open files";       // 4
inline constexpr std::string_view kAccessDenied = "File access denied";            // 5
inline constexpr std::string_view kReadBeyondEof = "Read beyond end of file";      // 100
inline constexpr std::string_view kDiskFull = "Disk full";                         // 101
inline constexpr std::string_view kInvalidNumericInput = "Invalid numeric input";  // 106

// Errors that are not input/output errors.
inline constexpr std::string_view kOutOfMemory = "Out of memory";
/// The same in the words of the command-line tool's own commands.
inline constexpr std::string_view kOutOfMemoryRu = "не хватает памяти";
inline constexpr std::string_view kUnknownError = "Unknown error";

/// A write refused because it would go through a symbolic link that another user may have
/// planted: a link in a sticky folder open to every user, owned by neither the user nor the
/// folder's owner.
inline std::string plantedLink(std::string_view link) {
  return "запись через символьную ссылку " + std::string(link) +
         " запрещена: ссылка лежит в общей папке (с битом sticky, открытой всем на запись) и "
         "принадлежит другому пользователю";
}

/// "I/O error %d" for any other code.
std::string ioErrorText(int code);

/// The text of an input/output error code.
std::string ioErrorMessage(int code);

/// "'%s' is not a valid floating point value".
std::string notAFloat(std::string_view text);
/// "'%s' is not a valid integer value".
std::string notAnInteger(std::string_view text);

// Grid header cells, set when the main window activates.
inline constexpr std::string_view kHeaderFrequency = "Частота";
inline constexpr std::string_view kHeaderAcceleration = "Ускорение";
inline constexpr std::string_view kHeaderChannel = "Канал";
inline constexpr std::string_view kHeaderFileName =
    "                    Имя файла  ( *.aks , *.spv )";
inline constexpr std::string_view kHeaderGraphTitle = "   Название графика";

// The open dialog's filter: label and pattern of each kind, in the order of its filter index.
inline constexpr std::string_view kOpenFilter =
    "Спектр воздействия  ( *.spv )|*.spv|Акселерограмма  ( *.aks )|*.aks|Спектр ответов  ( *.spo "
    ")|*.spo|Конфигурация  ( *.cfg )|*.cfg|BRUEL-акселерограмма  ( *.brl )|*.brl";

// The save dialog's one filter entry, by the kind of graph held.
inline constexpr std::string_view kSaveFilterConfiguration = "Конфигурация  ( *.cfg )|*.cfg";
inline constexpr std::string_view kSaveFilterInputSpectrum = "Спектр воздействий  ( *.spv )|*.spv";
inline constexpr std::string_view kSaveFilterAccelerogram = "Акселерограмма  ( *.aks )|*.aks";
inline constexpr std::string_view kSaveFilterResponseSpectrum = "Спектр ответов  ( *.spo )|*.spo";

// Capacities of the working data set: counts that would not fit are refused with these.
inline constexpr std::string_view kTooManySpectrumPoints =
    "Спектр воздействия содержит более 998 точек";
inline constexpr std::string_view kTooManyResponsePoints =
    "Спектр ответов содержит более 91001 точки";
inline constexpr std::string_view kTooManySamples = "Акселерограмма содержит более 100000 отсчётов";
inline constexpr std::string_view kBadMemoryCount =
    "Количество графиков в памяти должно быть от 0 до 6";
inline constexpr std::string_view kSlotTooLarge = "График в памяти содержит более 999 точек";
inline constexpr std::string_view kSynthesisOutOfRange =
    "Развёртка уходит раньше первого отсчёта акселерограммы: частоты спектра воздействия "
    "должны идти в одну сторону";
inline constexpr std::string_view kWindowOutOfRange =
    "Временное окно выходит за пределы акселерограммы (отсчёты 1 … 100000)";
inline constexpr std::string_view kTooManyFrequencies =
    "Спектр ответов содержит более 91001 точки: уменьшите диапазон частот или увеличьте шаг";
inline constexpr std::string_view kFrequencyCountOutOfRange =
    "Число точек спектра ответов не помещается в 32-битное целое";
inline constexpr std::string_view kTakeTooLarge =
    "Спектр ответов содержит более 999 точек и не помещается в ячейку памяти";
// Files larger than any file of their kind can be: refused before the reader takes more.
inline constexpr std::string_view kSpvFileTooLarge =
    "Файл больше 1 МБ и не может быть спектром воздействия";
inline constexpr std::string_view kSpoFileTooLarge =
    "Файл больше 32 МБ и не может быть спектром ответов";
inline constexpr std::string_view kAksFileTooLarge =
    "Файл больше 32 МБ и не может быть акселерограммой";
inline constexpr std::string_view kBrlFileTooLarge =
    "Файл больше 32 МБ и не может быть записью акселерограммы";
inline constexpr std::string_view kCfgFileTooLarge =
    "Файл больше 16 МБ и не может быть файлом конфигурации";

// Chart and axis titles.
inline constexpr std::string_view kTitleInputSpectrum = "СПЕКТР ВОЗДЕЙСТВИЯ";
inline constexpr std::string_view kTitleAccelerogram = "АКСЕЛЕРОГРАММА";
inline constexpr std::string_view kTitleResponseSpectrum = "СПЕКТР ОТВЕТОВ";
inline constexpr std::string_view kTitleMemoryOverlay = "СПЕКТРЫ ОТВЕТОВ, взятые из памяти";
inline constexpr std::string_view kAxisTime = "Время (секунды)";
inline constexpr std::string_view kAxisFrequency = "Частота (Герцы)";

// The printed report.
inline constexpr std::string_view kReportHeadingInput = "Отчёт по спектру воздействий";
inline constexpr std::string_view kReportHeadingResponse = "Отчёт по спектру ответов";
inline constexpr std::string_view kReportTitleInput = "СПЕКТР ВОЗДЕЙСТВИЙ";
inline constexpr std::string_view kReportColumnFrequency = "Частота";
inline constexpr std::string_view kReportColumnAcceleration = "Ускорение";
inline constexpr std::string_view kReportAxisAcceleration = "Зачение ускорения, м/c^2";

// Report preview window.
inline constexpr std::string_view kPreviewCaption = "Предварительный просмотр отчёта";
inline constexpr std::string_view kPreviewPrint = "Печать…";
inline constexpr std::string_view kPreviewExportPdf = "Сохранить в PDF…";
inline constexpr std::string_view kPreviewPdfFilter = "Документ PDF (*.pdf)";
inline constexpr std::string_view kPreviewFitPage = "Страница целиком";
inline constexpr std::string_view kPreviewFitWidth = "По ширине";
inline constexpr std::string_view kPreviewZoomIn = "Крупнее";
inline constexpr std::string_view kPreviewZoomOut = "Мельче";
inline constexpr std::string_view kPreviewClose = "Закрыть";
inline constexpr std::string_view kPreviewExportFailed = "Не удалось записать файл PDF";

// Progress of a long response spectrum run in the main window.
inline constexpr std::string_view kProgressResponseSpectrum = "Расчёт спектра ответа…";
inline constexpr std::string_view kProgressStop = "Прервать";

// Closing with a parameter field that the next start could not read.
inline constexpr std::string_view kKeptParameters =
    "Эти поля не содержат числа, и в config.cfg для них сохранены прежние значения:";

/// The Russian noun form for a count: `one` for 1, 21, 101 …, `few` for 2–4, 22–24 …, `many`
/// for 0, 5–20, 25–30, 111–114 … (the sign does not change the form).
std::string_view pluralForm(long long n, std::string_view one, std::string_view few,
                            std::string_view many);

/// The count and its noun: "1 точка", "2 точки", "5 точек".
std::string countOf(long long n, std::string_view one, std::string_view few, std::string_view many);

/// The text shown in the error box: a full stop is appended when the last character sorts after
/// "." in the Windows-1251 code (letters, digits, ':' and '?'), not after '.', ')', '!' or a blank.
std::string withFullStop(std::string_view message);

}  // namespace accelspec::msg
