// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/cli/cli_runner.hpp"

namespace {

namespace fs = std::filesystem;

using Result = accelspec::test::CliResult;
using accelspec::test::put;
using accelspec::test::slurp;

Result cli(const fs::path& dir, const std::string& args) {
  return accelspec::test::runCli(dir, args);
}

class Import : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("accelspec-import-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* f : {"new_layout.AT2", "two_channels.V2", "one_column.txt", "four.brl"})
      fs::copy_file(fs::path(ACCELSPEC_TEST_DATA) / "records" / "data" / f, dir / f);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(Import, WritesTheProgramsAccelerogramInMetresPerSecondSquared) {
  const Result r = cli(dir, "import new_layout.AT2 out.aks");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  const std::string text = slurp(dir / "out.aks");
  EXPECT_EQ(text.substr(0, 103),
            "8 1\r\n"
            " 0.00000000000000E+0000  9.80665000000000E-0003\r\n"
            " 1.00000000000000E-0002 -1.96133000000000E-0002\r\n");

  // The second COSMOS channel, in g, 0.02 s apart; the option forms "--name value" and
  // "--name=value" alike.
  EXPECT_EQ(cli(dir, "import two_channels.V2 ch2.aks --channel=2 --format cosmos").status, 0);
  EXPECT_EQ(slurp(dir / "ch2.aks").substr(0, 54),
            "5 1\r\n"
            " 0.00000000000000E+0000  1.47099750000000E-0002\r\n");
  // The window's own reader takes the file back as it was written.
  EXPECT_EQ(cli(dir, "convert out.aks back.aks").status, 0);
  EXPECT_EQ(slurp(dir / "back.aks"), text);

  // A list of numbers does not state its unit: without --units the assumed one is said.
  const Result assumed = cli(dir, "import one_column.txt col.aks --step 0.02");
  EXPECT_EQ(assumed.status, 0);
  EXPECT_EQ(assumed.err,
            "предупреждение: one_column.txt: единица ускорений в файле не указана и не задана "
            "(--units); значения приняты в m/s²\n");
  const Result stated = cli(dir, "import one_column.txt col.aks --step 0.02 --units gal");
  EXPECT_EQ(stated.status, 0);
  EXPECT_EQ(stated.err, "");
  EXPECT_EQ(slurp(dir / "col.aks").substr(54, 49),
            " 2.00000000000000E-0002 -2.50000000000000E-0003\r\n");
}

TEST_F(Import, FailuresLeaveNoFileAndSayWhy) {
  struct Case {
    std::string args;
    int status;
    std::string err;  // exact for status 1; its first line for status 2
  };
  {
    std::ofstream big(dir / "big.txt");
    for (int i = 0; i < 100001; ++i) big << "0.5\n";
  }
  const Case cases[] = {
      {"import missing.AT2 out.aks", 1, "missing.AT2: файл не найден.\n"},
      {"import /dev/zero out.aks", 1,
       "/dev/zero, строка 1: строка длиннее 1048576 байт: такой файл не читается.\n"},
      {"import one_column.txt out.aks", 1,
       "one_column.txt: в файле один столбец ускорений: задайте шаг по времени (--step)\n"},
      {"import two_channels.V2 out.aks --channel 3", 1,
       "two_channels.V2: в файле каналов: 2, канала 3 нет.\n"},
      {"import big.txt out.aks --step 0.01 --units m/s2", 1,
       "big.txt: в записи 100001 отсчётов, а файл *.aks вмещает не более 100000; команды spectra "
       "и measures читают запись целиком.\n"},
      {"import four.brl no-such-folder/out.aks", 1,
       "no-such-folder/out.aks: неверное имя файла.\n"},
      {"import new_layout.AT2 out.aks --units furlong", 2,
       "accelspec-cli: --units должен быть одним из: g, gal, cm/s2, m/s2 или mm/s2\n"},
      {"import new_layout.AT2 out.aks --format wav", 2,
       "accelspec-cli: --format должен быть одним из: at2, knet, cosmos, eqsig, columns, aks, "
       "brl\n"},
      {"import one_column.txt out.aks --step -1", 2,
       "accelspec-cli: --step должен быть положительным числом секунд (с точкой)\n"},
      {"import one_column.txt out.aks --step 0,01", 2,
       "accelspec-cli: --step должен быть положительным числом секунд (с точкой)\n"},
      {"import two_channels.V2 out.aks --channel 0", 2,
       "accelspec-cli: --channel должен быть целым числом от 1 до 9999\n"},
      {"import new_layout.AT2 out.aks --kind aks", 2,
       "accelspec-cli: неизвестный параметр --kind\n"},
      {"import new_layout.AT2", 2, "accelspec-cli: команде import нужно файлов: 2\n"},
      {"import new_layout.AT2 out.aks --step", 2,
       "accelspec-cli: у параметра --step нет значения\n"},
      {"import new_layout.AT2 out.aks --step 0.01 --step 0.01", 2,
       "accelspec-cli: параметр --step задан дважды\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Result r = cli(dir, c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    if (c.status == 1) {
      EXPECT_EQ(r.err, c.err);
    } else {
      EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
      EXPECT_EQ(r.err, c.err + "Подробнее: accelspec-cli import --help\n");
    }
    EXPECT_FALSE(fs::exists(dir / "out.aks"));
  }
}

TEST_F(Import, AFailedImportKeepsTheOldFile) {
  std::ofstream(dir / "out.aks") << "kept";
  EXPECT_EQ(cli(dir, "import one_column.txt out.aks").status, 1);
  EXPECT_EQ(slurp(dir / "out.aks"), "kept");
}

}  // namespace
