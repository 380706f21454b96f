// SPDX-License-Identifier: MIT
// accelspec-cli spectra and measures, run as the installed tool.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
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
const std::string kEqsig = kData + "eqsig_test_motion_dt0p01_column.txt";

using Result = accelspec::test::CliResult;
using accelspec::test::put;
using accelspec::test::slurp;

Result cli(const fs::path& dir, const std::string& args) {
  return accelspec::test::runCli(dir, args);
}

using accelspec::test::lines;

class AnalysisCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("accelspec-analysis-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    put(dir / "a.txt", "# t, a\n0 0\n0.01 0.5\n0.02 -0.25\n0.03 1\n0.04 0\n0.05 -0.5\n");
    put(dir / "b.txt", "0\n0.25\n-1\n0.5\n0\n0.1\n");
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(AnalysisCli, SpectraTableToStandardOutputFileAndFolder) {
  const Result one = cli(dir, "spectra '" + kEqsig + "' --step 0.01");
  ASSERT_EQ(one.status, 0) << one.err;
  const std::vector<std::string> rows = lines(one.out);
  ASSERT_EQ(rows.size(), 302u);
  EXPECT_EQ(rows[0], "frequency_hz,period_s,psa_0.05_m_s2");
  EXPECT_EQ(rows[1].substr(0, 9), "0.1,10,0.");
  EXPECT_EQ(rows[301].substr(0, 11), "100,0.01,1.");

  const std::string args =
      " --step 0.01 --grid srp --damping 0.1,0.02 --quantity sd,sa,psv,sv,psa --peaks samples";
  ASSERT_EQ(cli(dir, "spectra '" + kEqsig + "' --csv one.csv" + args).status, 0);
  const std::string table = slurp(dir / "one.csv");
  EXPECT_EQ(lines(table)[0],
            "frequency_hz,period_s,sd_0.1_m,sa_0.1_m_s2,psv_0.1_m_s,sv_0.1_m_s,psa_0.1_m_s2,"
            "sd_0.02_m,sa_0.02_m_s2,psv_0.02_m_s,sv_0.02_m_s,psa_0.02_m_s2");
  EXPECT_EQ(lines(table).size(), 76u);
  EXPECT_EQ(lines(table)[30].substr(0, 5), "3.15,");

  fs::copy(kEqsig, dir / "x.txt");
  fs::copy(kEqsig, dir / "y.dat");
  const Result many = cli(dir, "spectra x.txt y.dat --out-dir out --jobs 2" + args);
  ASSERT_EQ(many.status, 0) << many.err;
  EXPECT_EQ(slurp(dir / "out/x.csv"), table);
  EXPECT_EQ(slurp(dir / "out/y.csv"), table);
  const Result serial = cli(dir, "spectra '" + kEqsig + "' --jobs 1" + args);
  EXPECT_EQ(serial.out, table);
}

// The response command and spectra --peaks samples give the same sa on the same frequencies.
TEST_F(AnalysisCli, SamplePeaksMatchTheResponseCommand) {
  ASSERT_EQ(cli(dir, "import '" + kEqsig + "' m.aks --step 0.01").status, 0);
  ASSERT_EQ(
      cli(dir, "response m.aks m.spo --fbeg 0.5 --fend 40 --df 0.5 --damping 0.05 --step 0.01")
          .status,
      0);
  const Result s = cli(dir, "spectra m.aks --grid lin:0.5:40:0.5 --peaks samples --quantity sa");
  ASSERT_EQ(s.status, 0) << s.err;
  std::stringstream spo(slurp(dir / "m.spo"));
  const std::vector<std::string> rows = lines(s.out);
  ASSERT_EQ(rows.size(), 81u);
  for (std::size_t j = 1; j < rows.size(); ++j) {
    long double f = 0, sa = 0;
    spo >> f >> sa;
    const double ours = std::stod(rows[j].substr(rows[j].rfind(',') + 1));
    EXPECT_DOUBLE_EQ(std::stod(rows[j].substr(0, rows[j].find(','))), static_cast<double>(f));
    // The table has 10 significant digits.
    EXPECT_NEAR(ours, static_cast<double>(sa), 5e-10 * static_cast<double>(sa)) << rows[j];
  }
}

TEST_F(AnalysisCli, RotatedPairs) {
  const Result r = cli(dir, "spectra a.txt b.txt --step 0.01 --rotd 100 --grid lin:5:10:5");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines(r.out).size(), 3u);
  const Result pairs =
      cli(dir, "spectra a.txt b.txt b.txt a.txt --step 0.01 --rotd 50 --out-dir pairs");
  ASSERT_EQ(pairs.status, 0) << pairs.err;
  EXPECT_TRUE(fs::exists(dir / "pairs/a.csv"));
  EXPECT_TRUE(fs::exists(dir / "pairs/b.csv"));
  // The median over angles does not depend on which component comes first.
  EXPECT_EQ(slurp(dir / "pairs/a.csv"), slurp(dir / "pairs/b.csv"));
}

TEST_F(AnalysisCli, WrongCalls) {
  const char* bad[] = {
      "spectra",
      "spectra a.txt --grid log:1:2",
      "spectra a.txt --grid srp:1",
      "spectra a.txt --damping 1",
      "spectra a.txt --damping 0.05,",
      "spectra a.txt --quantity pga",
      "spectra a.txt --peaks exact",
      "spectra a.txt --rotd 75",
      "spectra a.txt --rotd 50",
      "spectra a.txt b.txt",
      "spectra a.txt b.txt --csv x.csv",
      "spectra a.txt --csv x.csv --out-dir d",
      "spectra a.txt --jobs 0",
      "spectra a.txt --work-limit 0",
      "spectra a.txt --work-limit -5",
      "spectra a.txt --work-limit inf",
      "spectra a.txt --work-limit all",
      "spectra a.txt --colour red",
      "spectra a.txt --format wav",
      "spectra x/a.txt y/a.txt --out-dir d",
      "measures",
      "measures a.txt --grid srp",
      "measures a.txt --rotd 50",
  };
  for (const char* args : bad) {
    const Result r = cli(dir, std::string(args) + " --step 0.01");
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err.rfind("accelspec-cli: ", 0), 0u) << args;
    const std::string command = std::string(args).substr(0, std::string(args).find(' '));
    EXPECT_NE(r.err.find("\nПодробнее: accelspec-cli " + command + " --help\n"), std::string::npos)
        << args;
    EXPECT_EQ(r.err.find("Использование"), std::string::npos) << args;
    EXPECT_EQ(r.out, "") << args;
  }
  EXPECT_FALSE(fs::exists(dir / "x.csv"));
  EXPECT_FALSE(fs::exists(dir / "d"));
}

TEST_F(AnalysisCli, FailuresNameTheFileAndWriteNothing) {
  put(dir / "short.txt", "0\n1\n");
  put(dir / "bad.txt", "0\n1\nx\n");
  put(dir / "grid.txt", "1\n-2\n");
  struct Case {
    std::string args, message;
  } cases[] = {
      {"spectra missing.txt --csv out.csv", "missing.txt: файл не найден.\n"},
      {"spectra a.txt --grid file:nogrid.txt --csv out.csv", "nogrid.txt: File not found.\n"},
      {"spectra a.txt --grid file:grid.txt --csv out.csv",
       "grid.txt, строка 2: ожидается одна частота в Гц, число больше нуля.\n"},
      {"spectra a.txt --grid lin:1000:6000:1000 --csv out.csv",
       "a.txt: частота 6000 Гц при шаге записи 0.01 с потребовала бы более 1000 подшагов на шаг "
       "записи: сузьте сетку или берите пики только в отсчётах записи.\n"},
      {"spectra a.txt short.txt --rotd 50 --csv out.csv",
       "a.txt, short.txt: две компоненты пары должны иметь один шаг по времени и одно "
       "число отсчётов.\n"},
      {"measures a.txt missing.txt --csv out.csv", "missing.txt: файл не найден.\n"},
  };
  for (const Case& c : cases) {
    const Result r = cli(dir, c.args + " --step 0.01 --units m/s2");
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.message) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_FALSE(fs::exists(dir / "out.csv")) << c.args;
  }
  const Result folder = cli(dir, "spectra b.txt --step 0.01 --units m/s2 --out-dir a.txt");
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "a.txt: не удаётся создать папку для таблиц.\n");
  // Of several records, the good ones are still written.
  const Result some = cli(dir, "spectra a.txt bad.txt --step 0.01 --units m/s2 --out-dir out");
  EXPECT_EQ(some.status, 1);
  EXPECT_EQ(some.err.rfind("bad.txt", 0), 0u) << some.err;
  EXPECT_TRUE(fs::exists(dir / "out/a.csv"));
  EXPECT_FALSE(fs::exists(dir / "out/bad.csv"));
}

TEST_F(AnalysisCli, WorkBeyondTheLimitIsRefusedUnlessAskedFor) {
  // a.txt: 6 samples; lin:5:10:1 at 0.01 s: 1 sub-step at 5 Hz and 2 at 6 … 10 Hz, so
  // 6 × 11 steps a damping, twice that for a pair.
  const std::string refused =
      " шагов осцилляторов (отсчёты × подшаги × точки сетки × затухания, для пары RotD вдвое) "
      "больше предела 100: сузьте сетку, уменьшите число затуханий или снимите предел "
      "параметром --work-limit none.\n";
  struct Case {
    std::string args, message;
  } cases[] = {
      {"a.txt --damping 0.02,0.05", "a.txt: оценка работы 132" + refused},
      {"a.txt b.txt --rotd 50", "a.txt, b.txt: оценка работы 132" + refused},
  };
  for (const Case& c : cases) {
    const std::string args = "spectra " + c.args + " --grid lin:5:10:1 --step 0.01 --units m/s2 ";
    const Result r = cli(dir, args + "--work-limit 100 --csv out.csv");
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.message) << c.args;
    EXPECT_FALSE(fs::exists(dir / "out.csv")) << c.args;
    for (const char* limit : {"132", "none"}) {
      const Result done = cli(dir, args + "--work-limit " + limit);
      EXPECT_EQ(done.status, 0) << c.args << limit << done.err;
      EXPECT_EQ(done.err, "") << c.args;
      EXPECT_EQ(done.out, cli(dir, args).out) << c.args;
    }
  }
  // The default limit stops 100 000 samples on a grid of 100 000 points before any work.
  std::string samples;
  for (int k = 0; k < 100000; ++k) samples += k % 7 == 0 ? "0.5\n" : "-0.1\n";
  put(dir / "long.txt", samples);
  const Result fine =
      cli(dir, "spectra long.txt --grid lin:0.001:100:0.001 --step 0.01 --units m/s2");
  EXPECT_EQ(fine.status, 1);
  EXPECT_EQ(fine.err.rfind("long.txt: оценка работы 1.05e+11 шагов осцилляторов", 0), 0u)
      << fine.err;
  EXPECT_NE(fine.err.find("больше предела 2e+10"), std::string::npos) << fine.err;
}

TEST_F(AnalysisCli, NoFileTheCommandReadsIsOverwritten) {
  put(dir / "freqs.txt", "1\n2\n5\n");
  struct Case {
    std::string args, output;
  } cases[] = {
      {"spectra a.txt --grid file:freqs.txt --csv freqs.txt", "freqs.txt"},
      {"spectra a.txt --grid file:a.csv --out-dir .", "./a.csv"},
      {"spectra a.txt --grid file:freqs.txt --csv a.txt", "a.txt"},
      {"measures a.txt --csv ./a.txt", "./a.txt"},
  };
  put(dir / "a.csv", "3\n");
  for (const Case& c : cases) {
    const std::string before =
        slurp(dir / "freqs.txt") + slurp(dir / "a.txt") + slurp(dir / "a.csv");
    const Result r = cli(dir, c.args + " --step 0.01 --units m/s2");
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_NE(r.err.find(c.output + ": файл результата совпадает с входным файлом"),
              std::string::npos)
        << c.args << r.err;
    EXPECT_EQ(slurp(dir / "freqs.txt") + slurp(dir / "a.txt") + slurp(dir / "a.csv"), before)
        << c.args;
  }
}

TEST_F(AnalysisCli, RecordWithoutMotionIsWarnedOfAndOverflowRefused) {
  put(dir / "zero.txt", "0\n0\n0\n0\n");
  const std::string warning =
      "предупреждение: zero.txt: все отсчёты записи равны нулю (движения нет)\n";
  const Result measures = cli(dir, "measures zero.txt --step 0.01 --units m/s2");
  EXPECT_EQ(measures.status, 0);
  EXPECT_EQ(measures.err, warning);
  // The durations of a record without motion are the one documented "nan".
  EXPECT_EQ(lines(measures.out).back(), "zero.txt,0,0,0,0,nan,nan,0,0,0");
  const Result spectra = cli(dir, "spectra zero.txt --step 0.01 --units m/s2 --grid lin:1:2:1");
  EXPECT_EQ(spectra.status, 0);
  EXPECT_EQ(spectra.err, warning);
  EXPECT_EQ(spectra.out, "frequency_hz,period_s,psa_0.05_m_s2\n1,1,0\n2,0.5,0\n");

  // Samples near the largest doubles: a measure that would be "inf" is refused, nothing written.
  put(dir / "big.txt", "0\n1e200\n-1e200\n0\n");
  put(dir / "huge.txt", "0\n1.7e308\n-1.7e308\n0\n");
  struct Case {
    const char* args;
    std::string message;
  } cases[] = {
      {"measures big.txt --csv out.csv",
       "big.txt: мера arias выходит за пределы чисел двойной точности: отсчёты записи слишком "
       "велики.\n"},
      {"measures huge.txt --csv out.csv",
       "huge.txt: отклик осциллятора вышел за пределы чисел двойной точности.\n"},
      {"spectra huge.txt --csv out.csv",
       "huge.txt: отклик осциллятора вышел за пределы чисел двойной точности.\n"},
  };
  for (const Case& c : cases) {
    const Result r = cli(dir, std::string(c.args) + " --step 0.01 --units m/s2");
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.message) << c.args;
    EXPECT_EQ(r.out.find("inf"), std::string::npos) << c.args;
    EXPECT_FALSE(fs::exists(dir / "out.csv")) << c.args;
  }
}

TEST_F(AnalysisCli, OutputThroughALinkPlantedInASharedFolderIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "links of another user can be made only by root (lchown)";
  fs::create_directory(dir / "shared");
  fs::permissions(dir / "shared", fs::perms::all | fs::perms::sticky_bit);
  put(dir / "mine.csv", "the user's own table\n");
  fs::create_symlink(dir / "mine.csv", dir / "shared/out.csv");
  ASSERT_EQ(::lchown((dir / "shared/out.csv").c_str(), 65534, 65534), 0);
  // spectra names the record whose table could not be written.
  for (const std::string prefix : {"", "a.txt: "}) {
    const std::string command = prefix.empty() ? "measures" : "spectra";
    const Result r = cli(dir, command + " a.txt --step 0.01 --units m/s2 --csv shared/out.csv");
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_EQ(r.err,
              prefix +
                  "shared/out.csv: запись через символьную ссылку shared/out.csv запрещена: ссылка "
                  "лежит в общей папке (с битом sticky, открытой всем на запись) и принадлежит "
                  "другому пользователю.\n")
        << command;
    EXPECT_EQ(slurp(dir / "mine.csv"), "the user's own table\n") << command;
  }
}

TEST_F(AnalysisCli, EveryRecordFormat) {
  const std::string records = std::string(ACCELSPEC_TEST_DATA) + "/records/data/";
  struct Case {
    const char* file;
    const char* options;
  } cases[] = {{"new_layout.AT2", ""},
               {"old_layout.at2", ""},
               {"knet.NS", ""},
               {"two_channels.V2", ""},
               {"two_channels.V2", " --channel 2"},
               {"one_column.txt", " --step 0.01"},
               {"two_columns.csv", ""},
               {"three.aks", ""},
               {"four.brl", ""}};
  std::vector<std::string> tables;
  for (const Case& c : cases) {
    const std::string path = "'" + records + c.file + "'" + c.options;
    const Result s = cli(dir, "spectra " + path + " --grid lin:1:3:1 --quantity psa,sd");
    EXPECT_EQ(s.status, 0) << c.file << s.err;
    EXPECT_EQ(lines(s.out).size(), 4u) << c.file;
    tables.push_back(s.out);
    const Result m = cli(dir, "measures " + path);
    EXPECT_EQ(m.status, 0) << c.file << m.err;
    EXPECT_EQ(lines(m.out).size(), 2u) << c.file;
  }
  EXPECT_EQ(tables[0], tables[1]);  // the two AT2 layouts hold the same record
  EXPECT_NE(tables[3], tables[4]);
}

TEST_F(AnalysisCli, MeasuresTable) {
  const Result r = cli(dir, "measures '" + kEqsig + "' a.txt --step 0.01");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> rows = lines(r.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(
      rows[0],
      "record,pga_m_s2,pgv_m_s,pgd_m,arias_m_s,d5_75_s,d5_95_s,cav_m_s,cav_std_m_s,housner_5_m");
  EXPECT_EQ(rows[1], kEqsig +
                         ",1.41,0.2600622869,0.07278134007,0.6341971939,10.97596166,21.00126438,"
                         "8.538723981,8.04683981,1.078346966");
  EXPECT_EQ(rows[2].substr(0, 10), "a.txt,1,0.");
  ASSERT_EQ(cli(dir, "measures a.txt --step 0.01 --csv m.csv").status, 0);
  EXPECT_EQ(slurp(dir / "m.csv"), rows[0] + "\n" + rows[2] + "\n");
}

}  // namespace
