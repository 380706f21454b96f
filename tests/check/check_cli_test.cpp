// SPDX-License-Identifier: MIT
// accelspec-cli check, run as the installed tool: verdicts, exit statuses, the CSV table.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cli_runner.hpp"

namespace {

namespace fs = std::filesystem;

const std::string kData = std::string(ACCELSPEC_TEST_DATA) + "/analysis/data/";
const std::string kEqsig = kData + "eqsig_test_motion_dt0p01_column.txt";  // 46.84 s at 0.01 s

using Result = accelspec::test::CliResult;
using accelspec::test::slurp;

Result cli(const fs::path& dir, const std::string& args) {
  return accelspec::test::runCli(dir, args);
}

using accelspec::test::lines;

std::vector<std::string> cells(const std::string& row) {
  std::vector<std::string> out;
  std::stringstream in(row);
  for (std::string c; std::getline(in, c, ',');) out.push_back(c);
  return out;
}

class CheckCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("accelspec-check-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy(kEqsig, dir / "m.txt");
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

// The record against its own spectrum scaled by 1/1.02 passes srp; the CSV is the table.
TEST_F(CheckCli, RecordAgainstItsOwnSpectrumPasses) {
  const Result first =
      cli(dir, "check m.txt --step 0.01 --target ec8:1:B:3 --rule srp --csv first.csv");
  ASSERT_EQ(first.status, 3) << first.err;
  EXPECT_EQ(lines(first.out).back(), "FAIL");
  const std::vector<std::string> rows = lines(slurp(dir / "first.csv"));
  ASSERT_EQ(rows.size(), 271u);  // 0.1 … 49.77 Hz at dt 0.01
  EXPECT_EQ(rows[0], "frequency_hz,period_s,target_m_s2,computed_m_s2,ratio");
  EXPECT_EQ(rows[1].substr(0, 7), "0.1,10,");
  // The table keeps 10 significant digits, as the spectra table does; the text shows 6.
  const std::vector<std::string> firstRow = cells(rows[1]);
  for (std::size_t c = 3; c < 5; ++c) {  // computed, ratio
    std::string digits;
    for (char ch : firstRow[c]) {
      if (ch == 'e' || ch == 'E') break;
      if (ch >= '0' && ch <= '9' && !(digits.empty() && ch == '0')) digits += ch;
    }
    EXPECT_GE(digits.size(), 8u) << rows[1];
  }
  std::ofstream spv(dir / "own.spv");
  for (std::size_t j = 1; j < rows.size(); ++j) {
    const auto c = cells(rows[j]);
    spv << c[0] << ' ' << std::stod(c[3]) / 1.02 << '\n';
  }
  spv.close();
  const Result own = cli(dir, "check m.txt --step 0.01 --target own.spv --rule srp");
  ASSERT_EQ(own.status, 0) << own.err << own.out;
  const auto out = lines(own.out);
  EXPECT_EQ(out.back(), "PASS");
  EXPECT_EQ(out[1].substr(0, 50), "frequency_hz  period_s   target_m_s2  computed_m_s");
  EXPECT_NE(own.out.find("самая длинная серия ниже 1.0: нет\n"), std::string::npos);
  EXPECT_NE(own.out.find("да   m: длительность не менее 20 с (длительность 46.84 с)\n"),
            std::string::npos);
}

TEST_F(CheckCli, VerdictsAndStatuses) {
  fs::copy(kEqsig, dir / "n.txt");
  struct Case {
    std::string args;
    int status;
    std::string line;  // a line the output holds
  } cases[] = {
      {"check m.txt n.txt --target ec8:1:B:3 --rule ec8 --t1 0.5", 3,
       "нет  не менее 3 записей (2 записи)"},
      {"check m.txt --target rg160:1 --rule asce7 --tmin 0.5 --tmax 1", 3,
       "нет  средний спектр ≥ 0.9 цели (наименьшее "},
      {"check m.txt --target rg160:0.01 --rule asce7 --tmin 0.5 --tmax 1 --min-ratio 1.1", 0,
       "да   средний спектр ≥ 1.1 цели (наименьшее "},
      {"check m.txt n.txt --target rg160:0.3 --rule srp --quantity sa", 3,
       "frequency_hz  period_s   target_m_s2  mean_m_s2  ratio     ratio_m   ratio_n"},
  };
  for (const auto& c : cases) {
    const Result r = cli(dir, c.args + " --step 0.01");
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    bool found = false;
    for (const auto& l : lines(r.out)) found = found || l.rfind(c.line, 0) == 0;
    EXPECT_TRUE(found) << c.args << "\n" << r.out.substr(0, 400);
    EXPECT_EQ(lines(r.out).back(), c.status ? "FAIL" : "PASS");
  }
}

TEST_F(CheckCli, WrongCallsAndFailedInputs) {
  struct Case {
    std::string args;
    int status;
    std::string err;  // the start of the message
  } cases[] = {
      {"check m.txt --rule srp", 2, "не указан целевой спектр --target"},
      {"check m.txt --target rg160:0.3", 2, "не указано правило --rule"},
      {"check m.txt --target rg160:0.3 --rule en", 2,
       "--rule: правило должно быть srp, ec8, asce7 или rb006"},
      {"check m.txt --target rg160:0.3 --rule ec8", 2, "--t1: правило ec8 требует"},
      {"check m.txt --target rg160:0.3 --rule srp --t1 1", 2, "правило srp не принимает"},
      {"check m.txt --target rg160:0.3 --rule srp --tmin 0.1 --fmax 5", 2,
       "граница диапазона задана дважды"},
      {"check m.txt --target rg160:0.3 --rule srp --quantity sd", 2,
       "--quantity: ожидается psa или sa"},
      {"check m.txt --target rg160:0.3 --rule asce7 --tmin 2 --tmax 1", 2, "--tmin больше --tmax"},
      {"check m.txt --target rg160:0.3 --rule srp --fmin 2 --fmax 1", 2, "--fmin больше --fmax"},
      {"check m.txt --target rg160:0.3 --rule srp --damping 0.02", 2,
       "--target: неверная цель «rg160:0.3»: спектр rg160 задан здесь только для затухания"},
      {"check m.txt --target nowhere.spv --rule srp", 1, "--target: неверная цель «nowhere.spv»: "},
      {"check m.txt --target ec8:1:Z:3 --rule srp", 2, "--target: неверная цель «ec8:1:Z:3»"},
      {"check m.txt --target rg160:0.3 --rule srp --csv m.txt", 1, ""},
      {"check missing.txt --target rg160:0.3 --rule srp", 1, "missing.txt"},
  };
  for (const auto& c : cases) {
    const Result r = cli(dir, c.args + " --step 0.01");
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << "\n" << r.err;
    if (c.status == 1) {
      EXPECT_TRUE(r.out.empty()) << c.args;
    }
  }
  EXPECT_EQ(slurp(dir / "m.txt"), slurp(kEqsig));
}

TEST_F(CheckCli, ReportIsWrittenOrRefused) {
  const Result r = cli(
      dir, "check m.txt --step 0.01 --units m/s2 --target ec8:1:B:3 --rule srp --report out.pdf");
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
  ASSERT_EQ(r.status, 3) << r.err;
  EXPECT_EQ(slurp(dir / "out.pdf").substr(0, 5), "%PDF-");
  EXPECT_TRUE(r.err.empty()) << r.err;
#else
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "--report: отчёт PDF недоступен в этой сборке (собрана без Qt).\n");
  EXPECT_FALSE(fs::exists(dir / "out.pdf"));
#endif
}

#ifdef ACCELSPEC_HAVE_CHECK_REPORT
TEST_F(CheckCli, TableAndReportAreWrittenTogetherOrNotAtAll) {
  const std::string run = "check m.txt --step 0.01 --units m/s2 --target ec8:1:B:3 --rule srp ";
  // A report that cannot be written leaves no new table, and an old one as it was.
  const Result fresh = cli(dir, run + "--csv new.csv --report missing/out.pdf");
  EXPECT_EQ(fresh.status, 1);
  EXPECT_EQ(fresh.err, "missing/out.pdf: не удаётся записать файл.\n");
  EXPECT_EQ(fresh.out, "");
  accelspec::test::put(dir / "old.csv", "old\n");
  EXPECT_EQ(cli(dir, run + "--csv old.csv --report missing/out.pdf").status, 1);
  EXPECT_EQ(slurp(dir / "old.csv"), "old\n");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"m.txt", "old.csv"}));
  // Nor the other way round.
  fs::create_directory(dir / "folder.csv");
  EXPECT_EQ(cli(dir, run + "--csv folder.csv --report out.pdf").status, 1);
  EXPECT_FALSE(fs::exists(dir / "out.pdf"));
  EXPECT_EQ(cli(dir, run + "--csv same --report ./same").status, 2);
  EXPECT_FALSE(fs::exists(dir / "same"));

  // A name that is not UTF-8 is written byte for byte.
  const std::string name = "\xc1\xe0\xeb\xea\xee\xe2\xee.pdf";  // Windows-1251
  const Result odd = cli(dir, run + "--csv '" + name + ".csv' --report '" + name + "'");
  EXPECT_EQ(odd.status, 3) << odd.err;
  EXPECT_EQ(slurp(dir / name).substr(0, 5), "%PDF-");
  EXPECT_EQ(lines(slurp(dir / (name + ".csv"))).size(), 271u);
}
#endif

}  // namespace
