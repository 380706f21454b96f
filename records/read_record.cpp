// SPDX-License-Identifier: MIT
#include <cmath>
#include <filesystem>
#include <new>

#include "data/error.hpp"
#include "files/textio.hpp"
#include "records/readers.hpp"
#include "records/record.hpp"

namespace accelspec::records {

namespace {

bool knownFormat(std::string_view name) {
  for (const char* f : kFormatNames)
    if (name == f) return true;
  return false;
}

constexpr std::uint64_t kMiB = 1024 * 1024;

// The most bytes a record file of each format may hold: far above the largest real file of that
// format, so that no real record is refused, while a device or a file of endless zeros is
// stopped before it fills the memory. A record of an hour at 200 Hz (720000 values) takes
// about 11 MB as PEER NGA text (15 bytes a value), 7 MB as K-NET counts (the stations record
// at 100 Hz, for minutes), 65 MB as a COSMOS V2 file of three channels with acceleration,
// velocity and displacement (10 bytes a value), 35 MB as the program's own accelerogram file
// (49 bytes a line) and up to 50 MB as two columns of long numbers.
std::uint64_t limitOf(const std::string& format) {
  if (format == "knet") return 64 * kMiB;
  if (format == "at2") return 128 * kMiB;
  if (format == "eqsig") return 128 * kMiB;  // one value a line, as PEER NGA
  return 256 * kMiB;  // cosmos, columns, aks, brl; also before the format is known
}

std::string limitMessage(const std::string& format) {
  return "файл больше " + std::to_string(limitOf(format) / kMiB) +
         " МиБ — предела для записей формата " + format + "; такой файл не читается";
}

// Reads the record whose lines `start` gives; `source`, when streamed, gets the limit of the
// format once it is known.
Record readLines(const LineCursor& start, LineSource* source, const std::string& path,
                 const Reading& reading) {
  const std::string format = reading.format ? *reading.format : detectFormat(start, path);
  if (!knownFormat(format))
    failFile(path, "неизвестный формат " + shown(format) +
                       ": ожидается at2, knet, cosmos, eqsig, columns, aks или brl");
  if (source) source->setLimit(limitOf(format), limitMessage(format));
  if (reading.channel < 1)
    failFile(path, "номер канала " + std::to_string(reading.channel) + ": ожидается 1 или больше");
  if (reading.channel != 1 && format != "cosmos")
    failFile(path, "в файле формата " + format + " один канал, канала " +
                       std::to_string(reading.channel) + " нет");
  std::optional<Unit> override;
  if (reading.units) {
    override = findUnit(*reading.units);
    if (!override)
      failFile(path, "неизвестная единица " + shown(*reading.units) + ": ожидается " +
                         std::string(kUnitChoices));
  }
  // " (--step)": where the caller has a name for the setting the message asks about.
  const auto named = [](const std::string& option) {
    return option.empty() ? std::string() : " (" + option + ")";
  };
  if (reading.step && !(*reading.step > 0 && std::isfinite(*reading.step)))
    failFile(path, "заданный шаг " + numberText(*reading.step) + named(reading.stepOption) +
                       ": ожидается больше нуля");

  ParsedRecord p;
  if (format == "at2") {
    p = parseAt2(start, path);
  } else if (format == "knet") {
    p = parseKnet(start, path);
  } else if (format == "cosmos") {
    p = parseCosmos(start, path, reading.channel);
  } else if (format == "columns") {
    p = parseColumns(start, path);
  } else if (format == "eqsig") {
    p = parseEqsig(start, path);
  } else if (format == "aks") {
    p = parseAks(start, path);
  } else {
    p = parseBrl(start, path);
  }

  Record r;
  r.path = path;
  r.name = std::filesystem::path(path).stem().string();
  r.format = format;
  r.metadata = std::move(p.metadata);
  if (p.dt) {
    // A step given on the command line must agree with the file's own.
    if (reading.step && std::fabs(*reading.step - *p.dt) > 1e-6 * *p.dt)
      failAt(path, p.stepLine,
             "шаг в файле " + numberText(*p.dt) + " с, а задан " + numberText(*reading.step) +
                 " с" + named(reading.stepOption));
    if (!std::isfinite(*p.dt))
      failAt(path, p.stepLine, "шаг по времени " + numberText(*p.dt) + " с вне диапазона чисел");
    r.dt = *p.dt;
  } else if (reading.step) {
    r.dt = *reading.step;
  } else {
    failFile(path,
             "в файле один столбец ускорений: задайте шаг по времени" + named(reading.stepOption));
  }
  if (p.values.size() < 2)
    failFile(path,
             "отсчётов в записи: " + std::to_string(p.values.size()) + "; нужно не меньше двух");
  const Unit unit = override ? *override : p.unit;
  r.units = unit.name;
  // A plain list of numbers does not say its unit: a file in g read as m/s² would be 9.81 times
  // too small, so the assumption is said.
  if (!override && (format == "columns" || format == "eqsig"))
    r.warnings.push_back(path + ": единица ускорений в файле не указана и не задана" +
                         named(reading.unitsOption) + "; значения приняты в m/s²");
  r.accel.resize(p.values.size());
  for (std::size_t i = 0; i < p.values.size(); ++i) {
    const auto v = static_cast<double>(static_cast<long double>(p.values[i]) * unit.factor);
    if (!std::isfinite(v))
      failFile(path, "отсчёт " + std::to_string(i + 1) + " (" + numberText(p.values[i]) + " " +
                         unit.name + ") вне диапазона чисел");
    r.accel[i] = v;
  }
  return r;
}

}  // namespace

Record readRecordText(std::string_view text, const std::string& path, const Reading& reading) {
  return readLines(LineCursor(text, path), nullptr, path, reading);
}

Record readRecord(const std::string& path, const Reading& reading) {
  try {
    auto source = openLines(path, limitOf(""),
                            "файл больше " + std::to_string(limitOf("") / kMiB) +
                                " МиБ — предела для файлов записей; такой файл не читается");
    return readLines(LineCursor(source), source.get(), path, reading);
  } catch (const IoError& e) {
    failFile(path, ioMessage(e));
  } catch (const std::bad_alloc&) {
    failFile(path, "не хватает памяти для записи");
  }
}

}  // namespace accelspec::records
