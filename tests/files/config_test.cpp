// SPDX-License-Identifier: MIT
#include "files/config.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <limits>

#include "data/error.hpp"
#include "data/plain_form.hpp"
#include "files/cp1251.hpp"
#include "files/textio.hpp"
#include "tests/files/config_example.hpp"
#include "tests/files/temp_dir.hpp"

namespace accelspec {
namespace {

using testing::fillExample;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

const std::string kDataDir = std::string(ACCELSPEC_TEST_DATA) + "/files/data/";

// The example as UTF-8 lines (the file itself is Windows-1251).
std::string cp1251Lines(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* line : lines) out += utf8ToCp1251(line) + "\r\n";
  return out;
}

TEST(Configuration, ExampleIsWrittenByteForByte) {
  auto store = makeStore();
  PlainForm form;
  fillExample(*store, form);
  const std::string golden = readBytes(kDataDir + "example.cfg");
  ASSERT_EQ(golden.size(), 445u);
  EXPECT_EQ(formatConfiguration(*store, form), golden);

  TempDir dir;
  writeConfiguration(dir.file("a.cfg"), *store, form);
  EXPECT_EQ(readBytes(dir.file("a.cfg")), golden);
}

TEST(Configuration, ExampleReadsBack) {
  auto store = makeStore();
  PlainForm form;
  form.texts.clear();
  readConfiguration(kDataDir + "example.cfg", *store, form);
  const std::pair<Edit, const char*> fields[] = {
      {Edit::Fbeg, "2"}, {Edit::Fend, "3"},  {Edit::DF, "0.5"},  {Edit::Psi, "0.1"},
      {Edit::T, "20"},   {Edit::ND, "5000"}, {Edit::DT, "0.004"}};
  for (const auto& [edit, text] : fields) EXPECT_EQ(form.text(edit), text);
  EXPECT_EQ(store->Fbeg, 2);
  EXPECT_EQ(store->Fend, 3);
  EXPECT_EQ(store->DF, 0.5L);
  EXPECT_EQ(store->Psi, 0);  // the damping ratio goes to its field only
  EXPECT_EQ(store->T, 20);
  EXPECT_EQ(store->ND, 5000);
  EXPECT_EQ(store->DT, 0.004L);
  EXPECT_EQ(store->NMem, 1);
  EXPECT_EQ(form.cell(Grid::Memory, 1, 1), "test.aks");
  EXPECT_EQ(form.cell(Grid::Memory, 2, 1), "График №1");
  EXPECT_EQ(store->SpF[999], 2);
  EXPECT_EQ(store->SpF[1002], 3);
  EXPECT_EQ(store->SpA[1000], 0.81L);
  EXPECT_EQ(store->SpA[1002], 0.95L);
  EXPECT_TRUE(form.texts.count(Edit::N) == 0);  // no other field touched
}

TEST(Configuration, CommaLocaleFieldsAndRoundTrip) {
  auto store = makeStore();
  PlainForm form;
  form.separator = ',';
  readConfiguration(kDataDir + "example.cfg", *store, form);
  EXPECT_EQ(form.text(Edit::DF), "0,5");
  EXPECT_EQ(form.text(Edit::DT), "0,004");
  // The file keeps '.', so a comma locale loses nothing at the next start.
  TempDir dir;
  writeConfiguration(dir.file("c.cfg"), *store, form);
  EXPECT_EQ(readWholeFile(dir.file("c.cfg")), readWholeFile(kDataDir + "example.cfg"));
  PlainForm again;
  again.separator = ',';
  readConfiguration(dir.file("c.cfg"), *store, again);
  EXPECT_EQ(again.text(Edit::DF), "0,5");
  EXPECT_EQ(store->NMem, 1);

  // Under a point locale a comma typed into a field is written as it stands and fails to load.
  PlainForm point;
  point.setText(Edit::DF, "0,5");
  writeConfiguration(dir.file("p.cfg"), *store, point);
  PlainForm third;
  EXPECT_THROW(readConfiguration(dir.file("p.cfg"), *store, third), IoError);
  EXPECT_EQ(third.text(Edit::Fend), "30");
  EXPECT_EQ(third.text(Edit::DF), "0.5");  // the failing line leaves its field alone
}

struct ReadCase {
  const char* name;
  std::string text;
  const char* error;  // nullptr: loads
  Edit checkedEdit;
  const char* checkedText;
  std::int32_t nmem;
  long double slot1Count = -5;  // SpF[999] afterwards; the store starts with -5
};

TEST(Configuration, ReadingRules) {
  const std::string sevenLines = cp1251Lines({
      "Начальная частота, Гц : 1",
      "Конечная частота, Гц  : 9",
      "Шаг по частоте, Гц    :    0.25 Гц",
      "Коэф. демпфирования   : 0.05",
      "Время воздействия     : 10",
      "Количество данных     : 2500",
      "Шаг по времени,       : 0.004",
  });
  const ReadCase cases[] = {
      {"empty file", "", nullptr, Edit::DT, "0", 0},
      {"ends after line 7", sevenLines, nullptr, Edit::DF, "0.25", 0},
      {"memory count 0", sevenLines + cp1251Lines({"Кол-во данных в памяти: 0"}), nullptr, Edit::ND,
       "2500", 0},
      {"bare LF line ends", utf8ToCp1251("Начальная частота, Гц : 7\nКонечная частота, Гц  : 8\n"),
       nullptr, Edit::Fend, "8", 0},
      {"short label line", cp1251Lines({"Начальная: 1", "Конечная частота, Гц  : 9"}),
       "Invalid numeric input", Edit::Fbeg, "2", 0},
      {"empty field written as the bare label",
       cp1251Lines({"Начальная частота, Гц : ", "Конечная частота, Гц  : 9"}),
       "Invalid numeric input", Edit::Fbeg, "2", 0},
      {"count with a point",
       cp1251Lines({"Начальная частота, Гц : 1", "Конечная частота, Гц  : 9",
                    "Шаг по частоте, Гц    : 1", "Коэф. демпфирования   : 1",
                    "Время воздействия     : 7", "Количество данных     : 5000.5"}),
       "Invalid numeric input", Edit::T, "7", 0},
      {"decimal comma", cp1251Lines({"Начальная частота, Гц : 0,5"}), "Invalid numeric input",
       Edit::Fbeg, "2", 0},
      {"seven slots", sevenLines + cp1251Lines({"Кол-во данных в памяти: 7"}),
       "Количество графиков в памяти должно быть от 0 до 6", Edit::DT, "0.004", 0},
      {"negative slot count", sevenLines + cp1251Lines({"Кол-во данных в памяти: -1"}),
       "Количество графиков в памяти должно быть от 0 до 6", Edit::DT, "0.004", 0},
      {"slot of 1000 points",
       sevenLines + cp1251Lines({"Кол-во данных в памяти: 1", "a", "b",
                                 "Количество частот     :  9.99000000000000E+0002"}),
       "График в памяти содержит более 999 точек", Edit::DT, "0.004", 1},
      {"slot count beyond integers",
       sevenLines + cp1251Lines({"Кол-во данных в памяти: 1", "a", "b",
                                 "Количество частот     :  1.00000000000000E+0030"}),
       "Invalid floating point operation", Edit::DT, "0.004", 1},
      {"non-finite point",
       sevenLines +
           cp1251Lines({"Кол-во данных в памяти: 1", "a", "b", "Количество частот     :  0.0E+0000",
                        " 1.0E+0000                    Nan"}),
       "Invalid numeric input", Edit::DT, "0.004", 1, 0},
      {"missing slot lines read as nothing",
       sevenLines + cp1251Lines({"Кол-во данных в памяти: 2"}), nullptr, Edit::DT, "0.004", 2, 0},
  };
  for (const auto& c : cases) {
    auto store = makeStore();
    store->SpF[999] = -5;
    PlainForm form;
    TextReader in(c.text);
    try {
      readConfiguration(in, *store, form);
      EXPECT_EQ(c.error, nullptr) << c.name;
    } catch (const AppError& e) {
      ASSERT_NE(c.error, nullptr) << c.name << ": " << e.what();
      EXPECT_STREQ(e.what(), c.error) << c.name;
    }
    EXPECT_EQ(form.text(c.checkedEdit), c.checkedText) << c.name;
    EXPECT_EQ(store->NMem, c.nmem) << c.name;
    EXPECT_EQ(store->SpF[999], c.slot1Count) << c.name;
  }
}

TEST(Configuration, SlotsOfEverySize) {
  auto store = makeStore();
  PlainForm form;
  store->NMem = 3;
  const long double counts[] = {56, -1, 998};
  for (int k = 1; k <= 3; ++k) {
    store->SpF[slotCountIndex(k)] = counts[k - 1];
    for (int j = 0; j <= 998; ++j) {
      store->SpF[slotBase(k) + j] = 2 + j * 0.5L;
      store->SpA[slotBase(k) + j] = k / 3.0L + j;
    }
    form.setCell(Grid::Memory, 1, k, "/home/user/record " + std::to_string(k) + ".aks");
    form.setCell(Grid::Memory, 2, k, "График №" + std::to_string(k));
  }
  const std::string text = formatConfiguration(*store, form);
  const std::string slot1 =
      utf8ToCp1251("Количество частот     : ") + " 5.60000000000000E+0001\r\n";
  EXPECT_NE(text.find(slot1), std::string::npos);
  EXPECT_EQ(text.size(), 8 * 24 + (1 + 2 + 3 + 3 + 2 + 4 + 5 + 1) + 8 * 2 +  // parameter lines
                             3 * (23 + 9 + 4) + 3 * (24 + 23 + 2) +          // slot heads
                             (57 + 0 + 999) * 49);                           // point lines

  auto back = makeStore();
  PlainForm again;
  TextReader in(text);
  readConfiguration(in, *back, again);
  EXPECT_EQ(back->NMem, 3);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(back->SpF[slotCountIndex(k)], counts[k - 1]);
    EXPECT_EQ(again.cell(Grid::Memory, 1, k), form.cell(Grid::Memory, 1, k));
    EXPECT_EQ(again.cell(Grid::Memory, 2, k), form.cell(Grid::Memory, 2, k));
  }
  EXPECT_EQ(back->SpF[slotBase(1) + 56], 30);
  EXPECT_EQ(back->SpA[slotBase(3) + 998], 998 + 1);
  EXPECT_EQ(back->SpF[slotBase(2)], 0);  // a negative count: no points
  EXPECT_EQ(back->SpA[slotBase(1)], 0.333333333333333L);
}

TEST(Configuration, TextsOutsideWindows1251AndLineBreaks) {
  auto store = makeStore();
  PlainForm form;
  store->NMem = 1;
  store->SpF[999] = -1;
  form.setCell(Grid::Memory, 1, 1, "C:\\data\\запись №5 €.aks");
  form.setCell(Grid::Memory, 2, 1, "Sinus ✓ 漢\r\nsecond line\x1a");
  form.setText(Edit::Psi, "0.1\n");
  const std::string text = formatConfiguration(*store, form);
  EXPECT_NE(text.find(utf8ToCp1251("C:\\data\\запись №5 €.aks\r\n")), std::string::npos);
  EXPECT_NE(text.find("Sinus ? ?  second line \r\n"), std::string::npos);

  auto back = makeStore();
  PlainForm again;
  TextReader in(text);
  readConfiguration(in, *back, again);
  EXPECT_EQ(again.cell(Grid::Memory, 1, 1), "C:\\data\\запись №5 €.aks");
  EXPECT_EQ(again.cell(Grid::Memory, 2, 1), "Sinus ? ?  second line ");
  EXPECT_EQ(again.text(Edit::Psi), "0.1");
}

TEST(Configuration, WriterRefusesWhatCannotBeRead) {
  auto store = makeStore();
  PlainForm form;
  store->NMem = 7;
  EXPECT_THROW(formatConfiguration(*store, form), AppError);
  store->NMem = 1;
  store->SpF[999] = std::numeric_limits<long double>::quiet_NaN();
  try {
    formatConfiguration(*store, form);
    FAIL();
  } catch (const AppError& e) {
    EXPECT_STREQ(e.what(), "Invalid floating point operation");
  }
  store->SpF[999] = 999;
  EXPECT_THROW(formatConfiguration(*store, form), AppError);
}

}  // namespace
}  // namespace accelspec
