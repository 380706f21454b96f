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

}  // namespace

Record readRecordText(std::string_view text, const std::string& path, const Reading& reading) {
  const std::string format = reading.format ? *reading.format : detectFormat(text, path);
  if (!knownFormat(format))
    failFile(path, "неизвестный формат " + shown(format) +
                       ": ожидается at2, knet, cosmos, columns, aks или brl");
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
  if (reading.step && !(*reading.step > 0 && std::isfinite(*reading.step)))
    failFile(path, "шаг --step " + numberText(*reading.step) + ": ожидается больше нуля");

  ParsedRecord p;
  if (format == "at2") {
    p = parseAt2(text, path);
  } else if (format == "knet") {
    p = parseKnet(text, path);
  } else if (format == "cosmos") {
    p = parseCosmos(text, path, reading.channel);
  } else if (format == "columns") {
    p = parseColumns(text, path);
  } else if (format == "aks") {
    p = parseAks(text, path);
  } else {
    p = parseBrl(text, path);
  }

  Record r;
  r.path = path;
  r.name = std::filesystem::path(path).stem().string();
  r.format = format;
  if (p.dt) {
    // A step given on the command line must agree with the file's own.
    if (reading.step && std::fabs(*reading.step - *p.dt) > 1e-6 * *p.dt)
      failAt(
          path, p.stepLine,
          "шаг в файле " + numberText(*p.dt) + " с, а --step " + numberText(*reading.step) + " с");
    if (!std::isfinite(*p.dt))
      failAt(path, p.stepLine, "шаг по времени " + numberText(*p.dt) + " с вне диапазона чисел");
    r.dt = *p.dt;
  } else if (reading.step) {
    r.dt = *reading.step;
  } else {
    failFile(path, "в файле один столбец ускорений: шаг по времени задаётся параметром --step");
  }
  if (p.values.size() < 2)
    failFile(path,
             "отсчётов в записи: " + std::to_string(p.values.size()) + "; нужно не меньше двух");
  const Unit unit = override ? *override : p.unit;
  r.units = unit.name;
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

Record readRecord(const std::string& path, const Reading& reading) {
  std::string text;
  try {
    text = readWholeFile(path);
  } catch (const IoError& e) {
    failFile(path, ioMessage(e));
  }
  try {
    return readRecordText(text, path, reading);
  } catch (const std::bad_alloc&) {
    failFile(path, "не хватает памяти для записи");
  }
}

}  // namespace accelspec::records
