// SPDX-License-Identifier: MIT
#include "files/config.hpp"

#include <algorithm>
#include <array>

#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"
#include "files/atomic_write.hpp"
#include "files/cp1251.hpp"

namespace accelspec {

namespace {

// The parameter lines: a 24-character label, then the field's text.
struct ParameterLine {
  const char* label;
  Edit edit;
  long double Store::*value;  // null: the field alone (the damping ratio)
};

constexpr std::array<ParameterLine, kParameterLineCount> kParameterLines{{
    {"Начальная частота, Гц : ", Edit::Fbeg, &Store::Fbeg},
    {"Конечная частота, Гц  : ", Edit::Fend, &Store::Fend},
    {"Шаг по частоте, Гц    : ", Edit::DF, &Store::DF},
    {"Коэф. демпфирования   : ", Edit::Psi, nullptr},
    {"Время воздействия     : ", Edit::T, &Store::T},
    {"Количество данных     : ", Edit::ND, nullptr},
    {"Шаг по времени,       : ", Edit::DT, &Store::DT},
}};
constexpr const char* kMemoryCountLabel = "Кол-во данных в памяти: ";
constexpr const char* kSlotCountLabel = "Количество частот     : ";

// Round(n) of a slot's last index, refused beyond the slot's 999 points.
std::int64_t slotLastIndex(long double n) {
  const std::int64_t last = fpu::round64(n);
  if (last > kMaxSlotLastIndex) throw AppError(msg::kSlotTooLarge);
  return last;
}

// A field's or cell's text as one line of the file: a line end or Ctrl-Z inside it would break
// the file apart on the next load, so they are written as blanks.
std::string lineText(const std::string& utf8) {
  std::string bytes = utf8ToCp1251(utf8);
  for (char& c : bytes)
    if (c == '\r' || c == '\n' || c == '\x1a') c = ' ';
  return bytes;
}

constexpr bool sameFields() {
  for (std::size_t i = 0; i < kParameterLines.size(); ++i)
    if (kParameterLines[i].edit != kConfigurationFields[i]) return false;
  return true;
}
static_assert(sameFields());

}  // namespace

void readConfiguration(TextReader& in, Store& store, Form& form) {
  const char sep = form.decimalSeparator();
  for (const ParameterLine& line : kParameterLines) {
    in.skipLabel();
    if (line.edit == Edit::ND) {
      const std::int32_t nd = in.readInteger();
      in.skipLine();
      store.ND = nd;
      form.setText(Edit::ND, intToText(nd));
      continue;
    }
    const long double value = in.readReal();
    in.skipLine();
    if (line.value) store.*line.value = value;
    form.setText(line.edit, realToText(value, sep));
  }

  in.skipLabel();
  const std::int32_t slots = in.readInteger();
  in.skipLine();
  // Six check boxes and six memory series: a larger count has nowhere to go.
  if (slots < 0 || slots > kMaxSlots) throw AppError(msg::kBadMemoryCount);
  store.NMem = slots;

  for (int k = 1; k <= slots; ++k) {
    form.setCell(Grid::Memory, 1, k, cp1251ToUtf8(in.readLine()));
    form.setCell(Grid::Memory, 2, k, cp1251ToUtf8(in.readLine()));
    in.skipLabel();
    const long double n = in.readReal();
    in.skipLine();
    const std::int64_t last = slotLastIndex(n);
    store.SpF[slotCountIndex(k)] = n;
    for (std::int64_t j = 0; j <= last; ++j) {
      store.SpF[slotBase(k) + j] = in.readReal();
      store.SpA[slotBase(k) + j] = in.readReal();
      in.skipLine();
    }
  }
}

void readConfiguration(const std::string& path, Store& store, Form& form) {
  readFile(path, inputLimit(kCfg), [&](TextReader& in) { readConfiguration(in, store, form); });
}

std::string parameterFileText(const Form& form, Edit edit) {
  std::string value = form.text(edit);
  // The fields show the user's decimal separator; the file always keeps '.', or the next
  // start would stop at this line and lose the memory list.
  const char sep = form.decimalSeparator();
  if (sep != '.') std::replace(value.begin(), value.end(), sep, '.');
  return value;
}

bool parameterReadsBack(Edit edit, const std::string& fileText) {
  const std::string line = lineText(fileText);
  // An empty value would make the reader take the next line's first word.
  if (line.find_first_not_of(" \t") == std::string::npos) return false;
  TextReader in(line);
  try {
    if (edit == Edit::ND) {
      in.readInteger();
    } else {
      in.readReal();
    }
  } catch (const AppError&) {
    return false;
  }
  return true;
}

std::string formatParameterLines(const ParameterTexts& texts) {
  std::string out;
  for (std::size_t i = 0; i < kParameterLines.size(); ++i) {
    out += utf8ToCp1251(kParameterLines[i].label);
    out += lineText(texts[i]);
    out += "\r\n";
  }
  return out;
}

std::string formatMemoryBlock(const Store& store, const Form& form) {
  if (store.NMem < 0 || store.NMem > kMaxSlots) throw AppError(msg::kBadMemoryCount);
  std::string out = utf8ToCp1251(kMemoryCountLabel);
  appendInteger(out, store.NMem);
  out += "\r\n";

  const std::string slotLabel = utf8ToCp1251(kSlotCountLabel);
  for (int k = 1; k <= store.NMem; ++k) {
    out += lineText(form.cell(Grid::Memory, 1, k));
    out += "\r\n";
    out += lineText(form.cell(Grid::Memory, 2, k));
    out += "\r\n";
    const long double n = store.SpF[slotCountIndex(k)];
    out += slotLabel;
    appendReal(out, n);
    out += "\r\n";
    const std::int64_t last = slotLastIndex(n);
    for (std::int64_t j = 0; j <= last; ++j) {
      appendReal(out, store.SpF[slotBase(k) + j]);
      out += ' ';
      appendReal(out, store.SpA[slotBase(k) + j]);
      out += "\r\n";
    }
  }
  return out;
}

std::string formatConfiguration(const Store& store, const Form& form) {
  std::string memory = formatMemoryBlock(store, form);
  ParameterTexts texts;
  for (std::size_t i = 0; i < kParameterLines.size(); ++i)
    texts[i] = parameterFileText(form, kConfigurationFields[i]);
  return formatParameterLines(texts) + memory;
}

void writeConfiguration(const std::string& path, const Store& store, const Form& form) {
  replaceFile(path, formatConfiguration(store, form));
}

}  // namespace accelspec
