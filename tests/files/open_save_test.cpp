// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cfloat>
#include <filesystem>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/messages.hpp"
#include "data/plain_form.hpp"
#include "files/config.hpp"
#include "files/cp1251.hpp"
#include "files/file_kind.hpp"
#include "files/open_command.hpp"
#include "files/save_command.hpp"
#include "files/textio.hpp"
#include "tests/files/temp_dir.hpp"

namespace accelspec {
namespace {

using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

const std::string kDataDir = std::string(ACCELSPEC_TEST_DATA) + "/files/data/";

class OpenSave : public ::testing::Test {
 protected:
  OpenSave() : store_(makeStore()) {
    // What an earlier command left: a memo text, a drawn graph, memory series.
    form_.memo = "notes";
    form_.chartData.setTitle("OLD");
    form_.chartData.setBottomAxisTitle("OLD AXIS");
    form_.chartData.series(0).add(1, 1);
    form_.chartData.series(3).add(2, 2);
    store_->Mode = kModeResponseSpectrum;
  }

  // Opens `bytes` as a file of the given filter; returns the error text ("" on success).
  std::string open(std::string_view bytes, int filter) {
    const std::string path = dir_.file("input");
    writeBytes(path, bytes);
    return openPath(path, filter);
  }

  std::string openPath(const std::string& path, int filter) {
    form_.onOpenDialog = [path, filter](PlainForm& f) {
      f.openFileName = path;
      f.openFilterIndex = filter;
      return true;
    };
    try {
      openFile(*store_, form_);
      return "";
    } catch (const AppError& e) {
      return e.what();
    }
  }

  // Saves to a fresh file; returns its bytes, or "<no dialog>" / "<cancelled>".
  std::string save(bool accept = true) {
    const std::string path = dir_.file("saved" + std::to_string(++saves_));
    bool shown = false;
    form_.onSaveDialog = [&](PlainForm& f) {
      shown = true;
      f.saveFileName = path;
      return accept;
    };
    saveFile(*store_, form_);
    if (!shown) return "<no dialog>";
    if (!accept) return std::filesystem::exists(path) ? "<written>" : "<cancelled>";
    return readBytes(path);
  }

  std::vector<ChartPoint> curve() const { return form_.chartData.series(0).points(); }

  TempDir dir_;
  std::unique_ptr<Store> store_;
  PlainForm form_;
  int saves_ = 0;
};

TEST_F(OpenSave, CancelledOpenChangesNothing) {
  form_.onOpenDialog = [](PlainForm&) { return false; };
  openFile(*store_, form_);
  EXPECT_EQ(form_.memo, "notes");
  EXPECT_EQ(form_.chartData.title(), "OLD");
  EXPECT_EQ(form_.chartData.series(0).size(), 1u);
  EXPECT_EQ(store_->Mode, kModeResponseSpectrum);
}

TEST_F(OpenSave, UnknownFilterIndexOnlyClears) {
  for (int index : {0, 6}) {
    EXPECT_EQ(open("1 2\r\n", index), "");
    EXPECT_EQ(form_.memo, "");
    EXPECT_EQ(form_.chartData.series(3).size(), 0u);
    EXPECT_EQ(form_.chartData.title(), "OLD");
    EXPECT_EQ(store_->Mode, kModeResponseSpectrum);
  }
}

TEST_F(OpenSave, InputSpectrum) {
  EXPECT_EQ(open("10 2\r\n2.5 4\r\n0.004 -1\r\n", kSpv), "");
  EXPECT_EQ(store_->Mode, kModeInputSpectrum);
  EXPECT_EQ(store_->N, 3);
  EXPECT_EQ(form_.text(Edit::N), "3");
  EXPECT_EQ(form_.rowCount(Grid::Spv), 4);
  const char* cells[3][2] = {{"10", "2"}, {"2.5", "4"}, {"0.004", "-1"}};
  for (int j = 1; j <= 3; ++j) {  // the table keeps the file's order
    EXPECT_EQ(form_.cell(Grid::Spv, 0, j), cells[j - 1][0]);
    EXPECT_EQ(form_.cell(Grid::Spv, 1, j), cells[j - 1][1]);
  }
  const auto points = curve();  // the chart orders by frequency
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].x, 0.004);
  EXPECT_EQ(points[2].x, 10);
  EXPECT_EQ(form_.memo, "");
  EXPECT_TRUE(form_.chartData.series(3).empty());
  EXPECT_EQ(form_.chartData.title(), "СПЕКТР ВОЗДЕЙСТВИЯ");
  EXPECT_EQ(form_.chartData.bottomAxisTitle(), "Частота (Герцы)");
}

TEST_F(OpenSave, EmptyInputSpectrum) {
  EXPECT_EQ(open("", kSpv), "");
  EXPECT_EQ(store_->N, 0);
  EXPECT_EQ(form_.text(Edit::N), "0");
  EXPECT_EQ(form_.rowCount(Grid::Spv), 1);
  EXPECT_TRUE(curve().empty());
  EXPECT_EQ(store_->Mode, kModeInputSpectrum);
  EXPECT_EQ(save(), "");
}

TEST_F(OpenSave, WrongFilterForTheFile) {
  // An accelerogram read as a spectrum: the count line becomes a point.
  EXPECT_EQ(open("2 1\r\n0 5\r\n0.5 6\r\n", kSpv), "");
  EXPECT_EQ(store_->N, 3);
  EXPECT_EQ(form_.cell(Grid::Spv, 0, 1), "2");

  // A spectrum read as an accelerogram fails after the chart was cleared and titled.
  form_.setText(Edit::ND, "5000");
  EXPECT_EQ(open("1.5 2\r\n", kAks), "Invalid numeric input");
  EXPECT_EQ(store_->Mode, kModeAccelerogram);
  EXPECT_EQ(form_.chartData.title(), "АКСЕЛЕРОГРАММА");
  EXPECT_EQ(form_.chartData.bottomAxisTitle(), "Время (секунды)");
  EXPECT_TRUE(curve().empty());
  EXPECT_EQ(form_.text(Edit::ND), "5000");

  // A configuration read as a spectrum: the first label word is not a number.
  EXPECT_EQ(openPath(kDataDir + "example.cfg", kSpv), "Invalid numeric input");
  EXPECT_EQ(store_->Mode, kModeInputSpectrum);
}

std::string accelerogramText(int count, long double firstTime, long double step) {
  std::string text = std::to_string(count) + " 1\r\n";
  for (int k = 1; k <= count; ++k)
    text += realField(firstTime + (k - 1) * step) + " " + realField(k % 7 - 3.0L) + "\r\n";
  return text;
}

TEST_F(OpenSave, AccelerogramFieldsAndCurve) {
  EXPECT_EQ(open(accelerogramText(5000, 0, 0.004L), kAks), "");
  EXPECT_EQ(store_->Mode, kModeAccelerogram);
  const std::pair<Edit, const char*> fields[] = {{Edit::ND, "5000"},
                                                 {Edit::DT, "0.004"},
                                                 {Edit::T, "20"},
                                                 {Edit::Tbeg, "0"},
                                                 {Edit::Tend, "19.996"}};
  for (const auto& [edit, text] : fields) EXPECT_EQ(form_.text(edit), text);
  EXPECT_EQ(store_->Tbeg, 0);
  EXPECT_EQ(store_->Tend, store_->T - store_->DT);
  const auto points = curve();
  ASSERT_EQ(points.size(), 5000u);
  EXPECT_EQ(points.front().x, 0);
  EXPECT_NEAR(points.back().x, 19.996, 1e-12);
  EXPECT_EQ(points[1].y, -1);
}

TEST_F(OpenSave, AccelerogramStartingLateOrEmpty) {
  form_.separator = ',';
  EXPECT_EQ(open(accelerogramText(3, 10, 0.5L), kAks), "");
  EXPECT_EQ(form_.text(Edit::Tbeg), "0");
  EXPECT_EQ(form_.text(Edit::Tend), "1");
  EXPECT_EQ(curve().front().x, 0);

  EXPECT_EQ(open("0 1\r\n0 0\r\n0,004 0\r\n", kAks), "Invalid numeric input");
  EXPECT_EQ(open("0 1\r\n0 0\r\n0.004 0\r\n", kAks), "");
  EXPECT_EQ(form_.text(Edit::ND), "0");
  EXPECT_EQ(form_.text(Edit::T), "0");
  EXPECT_EQ(form_.text(Edit::Tend), "-0,004");
  EXPECT_EQ(form_.text(Edit::DT), "0,004");
  EXPECT_TRUE(curve().empty());
  EXPECT_EQ(save(), "0 1\r\n");
}

TEST_F(OpenSave, ImportedRecordIsSavedAsAnAccelerogram) {
  EXPECT_EQ(open("3 samples\r\n1 10.0 0.15\r\n2 10.004 -0.02\r\n3 10.008 0\r\n", kBrl), "");
  EXPECT_EQ(form_.text(Edit::ND), "3");
  EXPECT_EQ(form_.text(Edit::DT), "0.004");  // 10.004 − 10.0, shown to 15 digits
  EXPECT_EQ(form_.chartData.title(), "АКСЕЛЕРОГРАММА");
  EXPECT_EQ(curve().size(), 3u);
  const std::string saved = save();
  EXPECT_EQ(form_.saveFilter, "Акселерограмма  ( *.aks )|*.aks");
  EXPECT_EQ(saved.substr(0, 5), "3 1\r\n");
  EXPECT_EQ(saved.substr(5, 49), " 0.00000000000000E+0000  1.50000000000000E-0001\r\n");
  EXPECT_EQ(saved.size(), 5 + 3 * 49u);
}

TEST_F(OpenSave, ResponseSpectrum) {
  form_.setText(Edit::DF, "0.5");
  std::string text;
  for (int j = 0; j <= 56; ++j) text += std::to_string(2 + j * 0.5) + " 1\r\n";
  EXPECT_EQ(open(text, kSpo), "");
  EXPECT_EQ(store_->Mode, kModeResponseSpectrum);
  EXPECT_EQ(store_->NF, 56);
  EXPECT_EQ(form_.text(Edit::Fbeg), "2");
  EXPECT_EQ(form_.text(Edit::Fend), "30");
  EXPECT_EQ(form_.text(Edit::DF), "0.5");
  EXPECT_EQ(store_->Fend, 30);
  EXPECT_EQ(curve().size(), 57u);
  EXPECT_EQ(form_.chartData.title(), "СПЕКТР ОТВЕТОВ");

  // An empty file keeps the frequency range and its fields.
  EXPECT_EQ(open("", kSpo), "");
  EXPECT_EQ(store_->NF, -1);
  EXPECT_EQ(store_->Fbeg, 2);
  EXPECT_EQ(form_.text(Edit::Fend), "30");
  EXPECT_TRUE(curve().empty());
  EXPECT_EQ(save(), "");
  EXPECT_EQ(form_.saveFilter, "Спектр ответов  ( *.spo )|*.spo");
}

TEST_F(OpenSave, ValuesBeyondTheDoubleRangeOpenAndAreDrawnAtItsEdge) {
  // Written by the program itself from values of the extended range.
  const std::string line =
      " 1.00000000000000E+0400 -2.50000000000000E+4000\r\n"
      " 2.00000000000000E+0000  1.79769313486232E+0308\r\n";
  for (const int kind : {kSpv, kSpo}) {
    EXPECT_EQ(open(line, kind), "") << kind;
    const long double* f = kind == kSpv ? &store_->SpF[1] : &store_->SpF[kResponseBase];
    const long double* a = kind == kSpv ? &store_->SpA[1] : &store_->SpA[kResponseBase];
    EXPECT_EQ(f[0], 1e400L);
    EXPECT_EQ(a[0], -2.5e4000L);
    EXPECT_GT(a[1], static_cast<long double>(DBL_MAX));  // rounds up past the largest double
    ASSERT_EQ(curve().size(), 2u);
    EXPECT_EQ(curve()[0].x, 2);
    EXPECT_EQ(curve()[0].y, DBL_MAX);
    EXPECT_EQ(curve()[1].x, DBL_MAX);
    EXPECT_EQ(curve()[1].y, -DBL_MAX);
    EXPECT_EQ(save(), line) << "the stored values keep their precision";
  }
  EXPECT_EQ(open("2 1\r\n0 1E4000\r\n1E400 -1E4000\r\n", kAks), "");
  EXPECT_EQ(store_->Acc[1], 1e4000L);
  ASSERT_EQ(curve().size(), 2u);
  EXPECT_EQ(curve()[1].x, DBL_MAX);
  EXPECT_EQ(curve()[1].y, -DBL_MAX);
}

TEST_F(OpenSave, ConfigurationClearsTheChartAndShowsMemory) {
  EXPECT_EQ(openPath(kDataDir + "example.cfg", kCfg), "");
  EXPECT_EQ(store_->Mode, kModeNone);
  EXPECT_EQ(form_.chartData.title(), "OLD");
  EXPECT_EQ(form_.chartData.bottomAxisTitle(), "OLD AXIS");
  EXPECT_TRUE(curve().empty());
  EXPECT_EQ(form_.text(Edit::Fend), "3");
  EXPECT_TRUE(form_.memoryGridVisible);
  EXPECT_TRUE(form_.slotVisible[1]);
  EXPECT_EQ(form_.cell(Grid::Spv, 0, 0), "");  // headers are the activation's business

  // Mode 0: Save writes the configuration, the same bytes as at closing.
  EXPECT_EQ(save(), readBytes(kDataDir + "example.cfg"));
  EXPECT_EQ(form_.saveFilter, "Конфигурация  ( *.cfg )|*.cfg");
}

TEST_F(OpenSave, FailedReadKeepsFieldsAndWhatWasRead) {
  form_.setText(Edit::N, "2");
  EXPECT_EQ(openPath(dir_.file("missing.spv"), kSpv), "File not found");
  EXPECT_EQ(form_.memo, "");
  EXPECT_EQ(store_->Mode, kModeInputSpectrum);
  EXPECT_EQ(form_.text(Edit::N), "2");

  EXPECT_EQ(open("1 2\r\n3 4\r\n5 x\r\n", kSpv), "Invalid numeric input");
  EXPECT_EQ(store_->N, 3);
  EXPECT_EQ(store_->SpA[2], 4);
  EXPECT_EQ(form_.text(Edit::N), "2");
  EXPECT_TRUE(curve().empty());

  // A configuration keeps the lines before the failing one; the memory list is not shown.
  EXPECT_EQ(openPath(kDataDir + "example.cfg", kCfg), "");
  form_.memoryGridVisible = false;
  EXPECT_EQ(open(utf8ToCp1251("Начальная частота, Гц : 4\r\nКонечная частота, Гц  : 5\r\n"
                              "Шаг по частоте, Гц    : x\r\n"),
                 kCfg),
            "Invalid numeric input");
  EXPECT_EQ(form_.text(Edit::Fend), "5");
  EXPECT_EQ(form_.text(Edit::DF), "0.5");
  EXPECT_EQ(store_->Mode, kModeNone);
  EXPECT_FALSE(form_.memoryGridVisible);
}

TEST_F(OpenSave, SaveByMode) {
  store_->N = 2;
  store_->SpF[1] = 1, store_->SpA[1] = 2;
  store_->SpF[2] = 3, store_->SpA[2] = -4;
  store_->Mode = kModeInputSpectrum;
  EXPECT_EQ(save(false), "<cancelled>");
  EXPECT_EQ(form_.saveFilter, "Спектр воздействий  ( *.spv )|*.spv");
  EXPECT_EQ(save(),
            " 1.00000000000000E+0000  2.00000000000000E+0000\r\n"
            " 3.00000000000000E+0000 -4.00000000000000E+0000\r\n");
  store_->N = 0;
  EXPECT_EQ(save(), "");

  for (ModeKind mode : {ModeKind{4}, ModeKind{-1}}) {
    store_->Mode = mode;
    EXPECT_EQ(save(), "<no dialog>");
  }
}

TEST_F(OpenSave, SaveReplacesAnExistingFileAndChangesNothingElse) {
  const std::string path = dir_.file("record.aks");
  writeBytes(path, "old content");
  store_->Mode = kModeAccelerogram;
  store_->ND = 1;
  store_->DT = 0.01L;
  store_->Acc[1] = 5;
  form_.onSaveDialog = [&](PlainForm& f) {
    f.saveFileName = path;
    return true;
  };
  saveFile(*store_, form_);
  EXPECT_EQ(readBytes(path), "1 1\r\n 0.00000000000000E+0000  5.00000000000000E+0000\r\n");
  EXPECT_EQ(store_->Mode, kModeAccelerogram);
  EXPECT_EQ(form_.chartData.title(), "OLD");
  EXPECT_EQ(form_.memo, "notes");
}

TEST_F(OpenSave, AccelerogramAndSpectrumRoundTrips) {
  EXPECT_EQ(open(accelerogramText(1000, 3, 0.02L), kAks), "");
  const std::string saved = save();
  EXPECT_EQ(saved.substr(8, 23), " 0.00000000000000E+0000");  // renumbered from 0
  auto before = makeStore();
  *before = *store_;
  EXPECT_EQ(open(saved, kAks), "");
  EXPECT_EQ(store_->ND, 1000);
  EXPECT_NEAR(static_cast<double>(store_->DT), 0.02, 1e-15);
  for (int k = 1; k <= 1000; ++k) ASSERT_EQ(store_->Acc[k], before->Acc[k]) << k;

  EXPECT_EQ(open("5 1\r\n0.3333333333333333 2\r\n1 1e-7\r\n", kSpv), "");
  const std::string spectrum = save();
  EXPECT_EQ(open(spectrum, kSpv), "");
  EXPECT_EQ(store_->N, 3);
  EXPECT_EQ(store_->SpF[1], 5);
  EXPECT_EQ(store_->SpF[2], 0.333333333333333L);
  EXPECT_EQ(store_->SpA[3], 1e-7L);
  EXPECT_EQ(save(), spectrum);
}

TEST(OfferedSaveName, TakesTheExtensionOfTheKindToBeSaved) {
  const struct {
    const char* kept;
    std::string_view filter;
    const char* offered;
  } cases[] = {
      {"/data/rec.aks", msg::kSaveFilterResponseSpectrum, "/data/rec.spo"},
      {"/data/rec.spo", msg::kSaveFilterConfiguration, "/data/rec.cfg"},
      {"/data/rec.spo", msg::kSaveFilterResponseSpectrum, "/data/rec.spo"},
      {"/data/rec", msg::kSaveFilterInputSpectrum, "/data/rec.spv"},
      {"/data/rec.2024.aks", msg::kSaveFilterAccelerogram, "/data/rec.2024.aks"},
      {"/data.old/rec", msg::kSaveFilterAccelerogram, "/data.old/rec.aks"},
      {"", msg::kSaveFilterResponseSpectrum, ""},
      {"/data/", msg::kSaveFilterResponseSpectrum, "/data/"},
      {"/data/rec.aks", "Все файлы|*", "/data/rec.aks"},
      {"/data/rec.aks", "no pattern", "/data/rec.aks"},
  };
  for (const auto& c : cases) EXPECT_EQ(offeredSaveName(c.kept, c.filter), c.offered) << c.kept;
}

TEST(UserMessage, EveryErrorGetsTheTextTheUserSees) {
  auto message = [](auto error) { return userMessage(std::make_exception_ptr(error)); };
  EXPECT_EQ(message(std::bad_alloc()), "Out of memory.");
  EXPECT_EQ(message(IoError(106, "Invalid numeric input")), "Invalid numeric input.");
  EXPECT_EQ(message(AppError("'x' is not a valid floating point value")),
            "'x' is not a valid floating point value.");
  EXPECT_EQ(message(std::runtime_error("Спектр")), "Спектр.");
  EXPECT_EQ(message(42), "Unknown error.");
  EXPECT_EQ(userMessage(nullptr), "");
}

}  // namespace
}  // namespace accelspec
