// SPDX-License-Identifier: MIT
#include "lifecycle/form_lifecycle.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "data/error.hpp"
#include "data/messages.hpp"
#include "data/plain_form.hpp"
#include "files/cp1251.hpp"
#include "memory/memory.hpp"
#include "tests/files/config_example.hpp"
#include "tests/files/temp_dir.hpp"

namespace accelspec {
namespace {

using testing::fillExample;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

const std::string kDataDir = std::string(ACCELSPEC_TEST_DATA) + "/files/data/";

// The lines of a file, split at CR LF.
std::vector<std::string> lines(const std::string& bytes) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", pos);
    out.push_back(bytes.substr(pos, end - pos));
    if (end == std::string::npos) break;
    pos = end + 2;
  }
  return out;
}

std::string activationError(FormLifecycle& life, Store& store, PlainForm& form) {
  try {
    life.formActivate(store, form);
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

// Runs a test body inside a fresh working folder.
class InWorkingFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override { std::filesystem::current_path(saved_); }
  TempDir dir_;
  std::filesystem::path saved_;
};

using FormActivateClose = InWorkingFolder;

TEST_F(FormActivateClose, MissingConfigurationChangesNothing) {
  auto store = makeStore();
  store->Mode = kModeResponseSpectrum;
  PlainForm form;
  try {
    FormLifecycle().formActivate(*store, form);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  EXPECT_EQ(store->Mode, kModeResponseSpectrum);
  EXPECT_EQ(form.text(Edit::Fend), "30");
  EXPECT_EQ(form.cell(Grid::Spv, 0, 0), "");
  EXPECT_EQ(form.cell(Grid::Memory, 1, 0), "");
}

TEST_F(FormActivateClose, EmptyConfigurationSetsZerosAndHeaders) {
  writeBytes("config.cfg", "");
  auto store = makeStore();
  store->Mode = kModeAccelerogram;
  store->Fbeg = 5;
  PlainForm form;
  FormLifecycle().formActivate(*store, form);
  for (Edit e : {Edit::Fbeg, Edit::Fend, Edit::DF, Edit::Psi, Edit::T, Edit::ND, Edit::DT})
    EXPECT_EQ(form.text(e), "0");
  EXPECT_EQ(store->Fbeg, 0);
  EXPECT_EQ(store->Mode, kModeNone);
  EXPECT_EQ(form.cell(Grid::Spv, 0, 0), "Частота");
  EXPECT_EQ(form.cell(Grid::Spv, 1, 0), "Ускорение");
  EXPECT_EQ(form.cell(Grid::Memory, 0, 0), "Канал");
  EXPECT_EQ(form.cell(Grid::Memory, 1, 0), "                    Имя файла  ( *.aks , *.spv )");
  EXPECT_EQ(form.cell(Grid::Memory, 2, 0), "   Название графика");
}

TEST_F(FormActivateClose, CloseThenActivateRestoresFieldsAndMemory) {
  auto store = makeStore();
  PlainForm form;
  fillExample(*store, form);
  EXPECT_EQ(FormLifecycle().formClose(*store, form), "");
  EXPECT_EQ(readBytes("config.cfg"), readBytes(kDataDir + "example.cfg"));

  auto next = makeStore();
  PlainForm nextForm;
  FormLifecycle().formActivate(*next, nextForm);
  EXPECT_EQ(nextForm.text(Edit::Fend), "3");
  EXPECT_EQ(next->NMem, 1);
  EXPECT_TRUE(nextForm.memoryGridVisible);
  EXPECT_TRUE(nextForm.slotVisible[1]);
  EXPECT_FALSE(nextForm.slotVisible[2]);
  EXPECT_EQ(nextForm.memoryGridHeight, 37);
}

// The user's configuration folder (a start from the desktop menu): no file yet is a first
// start, not an error; the close makes the folder; a file that is there is read as any other.
TEST_F(FormActivateClose, UserFolderFirstStartKeepsDefaultsAndTheCloseMakesTheFolder) {
  const ConfigLocation location{"home/.config/accelspec/config.cfg", true};
  auto store = makeStore();
  store->Mode = kModeAccelerogram;
  PlainForm form;
  form.setText(Edit::Fend, "30");
  FormLifecycle life(location);
  life.formActivate(*store, form);
  EXPECT_EQ(store->Mode, kModeNone);
  EXPECT_EQ(form.text(Edit::Fend), "30");
  EXPECT_EQ(form.cell(Grid::Spv, 0, 0), "Частота");
  EXPECT_FALSE(std::filesystem::exists("home"));

  fillExample(*store, form);
  EXPECT_EQ(life.formClose(*store, form), "");
  EXPECT_EQ(readBytes(location.path), readBytes(kDataDir + "example.cfg"));
  EXPECT_FALSE(std::filesystem::exists("config.cfg"));

  auto next = makeStore();
  PlainForm nextForm;
  FormLifecycle(location).formActivate(*next, nextForm);
  EXPECT_EQ(nextForm.text(Edit::Fend), "3");
  EXPECT_EQ(next->NMem, 1);
}

TEST_F(FormActivateClose, UserFolderStillReportsAFileThatCannotBeRead) {
  std::filesystem::create_directories("cfg/config.cfg");  // a folder where the file should be
  auto store = makeStore();
  PlainForm form;
  FormLifecycle life({"cfg/config.cfg", true});
  EXPECT_NE(activationError(life, *store, form), "");
}

TEST_F(FormActivateClose, CloseFailsWhenTheFileCannotBeWritten) {
  std::filesystem::create_directory("config.cfg");
  auto store = makeStore();
  PlainForm form;
  try {
    FormLifecycle().formClose(*store, form);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "File access denied");
  }
}

// A field that the next start could not read is written with its last good text, the memory
// list is written whole, and the next start loads both.
TEST_F(FormActivateClose, BadFieldAtCloseKeepsLastGoodTextAndMemory) {
  const struct {
    const char* name;
    char separator;
    Edit field;
    const char* typed;
    const char* line;    // the field's line in config.cfg, label cut off
    const char* notice;  // "" when the text reads back
  } cases[] = {
      {"empty step", '.', Edit::DF, "", "0.5", "Шаг по частоте, Гц — 0.5"},
      {"blanks only", '.', Edit::T, "   ", "20", "Время воздействия — 20"},
      {"letters", '.', Edit::Fbeg, "abc", "2", "Начальная частота, Гц — 2"},
      {"fractional count", '.', Edit::ND, "5000.5", "5000", "Количество данных — 5000"},
      {"comma where a point is read", '.', Edit::DT, "0,004", "0.004", "Шаг по времени — 0.004"},
      {"empty under a comma locale", ',', Edit::DF, "", "0.5", "Шаг по частоте, Гц — 0,5"},
      {"comma under a comma locale", ',', Edit::DF, "0,25", "0.25", ""},
      {"text after the value", '.', Edit::Psi, "0.05 ratio", "0.05 ratio", ""},
      {"hexadecimal count", '.', Edit::ND, "$10", "$10", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove("config.cfg");
    auto store = makeStore();
    PlainForm form(c.separator);
    fillExample(*store, form);
    form.setText(c.field, c.typed);
    FormLifecycle life;
    const std::string notice = life.formClose(*store, form);
    if (*c.notice) {
      EXPECT_EQ(notice, std::string(msg::kKeptParameters) + "\n" + c.notice);
    } else {
      EXPECT_EQ(notice, "");
    }
    const std::vector<std::string> written = lines(readBytes("config.cfg"));
    ASSERT_EQ(written.size(), 14u);
    std::size_t index = 0;
    while (kConfigurationFields[index] != c.field) ++index;
    EXPECT_EQ(written[index].substr(24), c.line);

    auto next = makeStore();
    PlainForm nextForm(c.separator);
    FormLifecycle nextLife;
    EXPECT_EQ(activationError(nextLife, *next, nextForm), "");
    EXPECT_EQ(next->NMem, 1);
    EXPECT_EQ(next->SpA[1002], 0.95L);
    EXPECT_EQ(nextForm.cell(Grid::Memory, 2, 1), "График №1");
  }
}

TEST_F(FormActivateClose, LastGoodTextIsTheOneLastLoaded) {
  writeBytes("config.cfg", utf8ToCp1251("Начальная частота, Гц : 4\r\n"
                                        "Конечная частота, Гц  : 9\r\n"
                                        "Шаг по частоте, Гц    : 0.25\r\n"));
  auto store = makeStore();
  PlainForm form;
  FormLifecycle life;
  life.formActivate(*store, form);
  form.setText(Edit::DF, "");
  form.setText(Edit::Fbeg, "x");
  EXPECT_EQ(life.formClose(*store, form),
            std::string(msg::kKeptParameters) +
                "\nНачальная частота, Гц — 4;\nШаг по частоте, Гц — 0.25");
  const std::vector<std::string> written = lines(readBytes("config.cfg"));
  EXPECT_EQ(written[0].substr(24), "4");
  EXPECT_EQ(written[2].substr(24), "0.25");
  // A second close with the same fields writes the same file.
  const std::string first = readBytes("config.cfg");
  life.formClose(*store, form);
  EXPECT_EQ(readBytes("config.cfg"), first);
}

// A configuration that failed to load (here: an empty step written by an older close) keeps
// its memory lines through the close, byte for byte, while the memory list is left alone; a
// memory list the user changed since is written as it now stands.
TEST_F(FormActivateClose, FailedLoadKeepsTheFilesMemoryLines) {
  const std::string example = readBytes(kDataDir + "example.cfg");
  std::vector<std::string> exampleLines = lines(example);
  exampleLines[2] = exampleLines[2].substr(0, 24);  // "Шаг по частоте, Гц    : "
  std::string broken;
  for (const std::string& l : exampleLines) broken += l + "\r\n";
  const std::string memoryLines = example.substr(example.find(utf8ToCp1251("Кол-во")));

  for (bool takeGraph : {false, true}) {
    SCOPED_TRACE(takeGraph ? "memory changed" : "memory left alone");
    writeBytes("config.cfg", broken);
    auto store = makeStore();
    PlainForm form;
    FormLifecycle life;
    EXPECT_EQ(activationError(life, *store, form), "Invalid numeric input");
    EXPECT_EQ(store->NMem, 0);
    if (takeGraph) {
      store->Mode = kModeResponseSpectrum;
      store->NF = 1;
      store->SpF[kResponseBase] = 7;
      store->SpF[kResponseBase + 1] = 8;
      takeIntoMemory(*store, form);
    }
    EXPECT_EQ(life.formClose(*store, form), "");
    const std::string written = readBytes("config.cfg");
    const std::string tail = written.substr(written.find(utf8ToCp1251("Кол-во")));
    if (takeGraph) {
      EXPECT_EQ(lines(tail)[0].substr(24), "1");
      EXPECT_EQ(lines(tail)[4], " 7.00000000000000E+0000  0.00000000000000E+0000");
    } else {
      EXPECT_EQ(tail, memoryLines);
    }
    auto next = makeStore();
    PlainForm nextForm;
    FormLifecycle nextLife;
    EXPECT_EQ(activationError(nextLife, *next, nextForm), "");
    EXPECT_EQ(next->NMem, 1);
    EXPECT_EQ(nextForm.text(Edit::DF), "0.5");
  }
}

// A file whose later lines end in a lone LF or a lone CR keeps them as they were.
TEST_F(FormActivateClose, FailedLoadKeepsMemoryLinesWhateverTheirLineEnds) {
  for (const char* end : {"\n", "\r"}) {
    std::string broken;
    for (int i = 0; i < 7; ++i) broken += std::string(23, 'x') + (i == 0 ? " ?" : " 1") + end;
    broken += std::string(23, 'x') + " 0" + end + "tail";
    writeBytes("config.cfg", broken);
    auto store = makeStore();
    PlainForm form;
    FormLifecycle life;
    EXPECT_NE(activationError(life, *store, form), "");
    life.formClose(*store, form);
    const std::string kept = std::string(23, 'x') + " 0" + end + "tail";
    const std::string written = readBytes("config.cfg");
    ASSERT_GE(written.size(), kept.size());
    EXPECT_EQ(written.substr(written.size() - kept.size()), kept);
  }
}

}  // namespace
}  // namespace accelspec
