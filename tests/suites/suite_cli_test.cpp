// SPDX-License-Identifier: MIT
// suite check and suite export on the NGA-West2 records of the analysis tests, as a reviewer
// runs them from a suite file, and the wrong calls of select and suite.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/number_text.hpp"
#include "records/record.hpp"
#include "tests/cli/cli_runner.hpp"

namespace accelspec::test {
namespace {

namespace fs = std::filesystem;

const std::string kData = std::string(ACCELSPEC_TEST_DATA) + "/analysis/data/";

struct Folder {
  fs::path path;
  Folder() {
    path = fs::temp_directory_path() /
           ("accelspec_suite_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() { fs::remove_all(path); }
  static int& counter() {
    static int n = 0;
    return n;
  }
};

// A suite file of the four components, each alone, with the factors given.
std::string componentSuite(const std::vector<double>& factors, const std::string& rule,
                           const std::string& t1) {
  const char* files[] = {"RSN8883_14383980_13849090", "RSN8883_14383980_13849360",
                         "RSN8884_14383980_13873090", "RSN8884_14383980_13873360"};
  std::string s =
      "accelspec-suite,1\ntarget,ec8:1:B:0.5\nrule," + rule + "\ndamping,0.05\nquantity,psa\nt1," +
      t1 +
      "\ntmin,\ntmax,\nmin_ratio,0.9\ncount,4\npairs,0\nscale_min,0.25\nscale_max,4\n"
      "max_per_event,0\ncandidates,0\nwithin_limits,0\nmultiplier,1\n"
      "rank,motion,event,factor,fit_factor,mse,pga_m_s2,dt_s,samples,format,channel,path\n";
  for (std::size_t i = 0; i < factors.size(); ++i) {
    const std::string f = std::to_string(factors[i]);
    // The record's own step, length and peak, as select writes them.
    const records::Record r = records::readRecord(kData + files[i] + ".AT2");
    double peak = 0;
    for (double v : r.accel) peak = std::max(peak, std::abs(v));
    s += std::to_string(i + 1) + "," + files[i] + ",Event," + f + "," + f + ",0.1," +
         analysis::shortestText(peak) + "," + analysis::shortestText(r.dt) + "," +
         std::to_string(r.accel.size()) + ",at2,1," + kData + files[i] + ".AT2\n";
  }
  return s + "end," + std::to_string(factors.size()) + "\n";
}

// The lines of the rule's items ("да   …" and "нет  …") and the verdict.
std::vector<std::string> items(const std::string& out) {
  std::vector<std::string> v;
  for (const auto& l : lines(out))
    if (l.starts_with("да ") || l.starts_with("нет ") || l == "PASS" || l == "FAIL") v.push_back(l);
  return v;
}

TEST(SuiteCli, CheckAgreesWithCheckOfTheExportedRecords) {
  Folder dir;
  const std::vector<double> factors = {2, 3, 0.5, 1.5};
  put(dir.path / "s.csv", componentSuite(factors, "ec8", "0.5"));
  const CliResult checked = runCli(dir.path, "suite check s.csv");
  ASSERT_TRUE(checked.status == 0 || checked.status == 3) << checked.err;
  EXPECT_EQ(checked.err, "");
  EXPECT_TRUE(checked.out.starts_with(
      "# ec8, цель ec8, тип 1, грунт B, ag 0.5 м/с², затухание 0.05, psa\n"
      "# отбор: правило ec8, цель ec8:1:B:0.5; кандидатов 0, в пределах масштаба 0.25…4: 0\n"
      "rank  motion"))
      << checked.out;

  const CliResult exported = runCli(dir.path, "suite export s.csv --out-dir out");
  ASSERT_EQ(exported.status, 0) << exported.err;
  const auto written = lines(exported.out);
  ASSERT_EQ(written.size(), 4u);
  EXPECT_EQ(written[0], "out/RSN8883_14383980_13849090.aks");

  // Every exported sample is the original times its factor (the file keeps 15 digits).
  const char* stems[] = {"RSN8883_14383980_13849090", "RSN8883_14383980_13849360",
                         "RSN8884_14383980_13873090", "RSN8884_14383980_13873360"};
  for (std::size_t i = 0; i < 4; ++i) {
    const records::Record original = records::readRecord(kData + stems[i] + ".AT2");
    const records::Record scaled =
        records::readRecord((dir.path / "out" / (std::string(stems[i]) + ".aks")).string());
    ASSERT_EQ(scaled.accel.size(), original.accel.size());
    EXPECT_NEAR(scaled.dt, original.dt, 1e-15);
    double peak = 0;
    for (double a : original.accel) peak = std::max(peak, std::abs(a));
    for (std::size_t k = 0; k < original.accel.size(); ++k)
      ASSERT_NEAR(scaled.accel[k], factors[i] * original.accel[k], 1e-13 * factors[i] * peak)
          << stems[i] << " sample " << k;
  }

  // check of the exported records gives the suite check's items and verdict: the same rule, the
  // same code.
  const CliResult direct =
      runCli(dir.path,
             "check out/RSN8883_14383980_13849090.aks out/RSN8883_14383980_13849360.aks "
             "out/RSN8884_14383980_13873090.aks out/RSN8884_14383980_13873360.aks "
             "--target ec8:1:B:0.5 --rule ec8 --t1 0.5");
  EXPECT_EQ(direct.status, checked.status);
  EXPECT_EQ(items(direct.out), items(checked.out)) << direct.out << checked.out;
  EXPECT_GE(items(checked.out).size(), 4u);
}

TEST(SuiteCli, PairsAreCheckedByTheirRotDAndExportedAsH1H2) {
  Folder dir;
  std::string s =
      "accelspec-suite,1\ntarget,ec8:1:B:0.5\nrule,asce7\ndamping,0.05\nquantity,psa\nt1,\n"
      "tmin,0.2\ntmax,2\nmin_ratio,0.9\ncount,2\npairs,1\nscale_min,0.25\nscale_max,4\n"
      "max_per_event,0\ncandidates,0\nwithin_limits,0\nmultiplier,1\n"
      "rank,motion,event,factor,fit_factor,mse,pga_m_s2,dt_s,samples,format,channel,path,format2,"
      "channel2,path2\n";
  s += "1,RSN8883,E,2,2,0.1,1,0.005,1,at2,1," + kData + "RSN8883_14383980_13849090.AT2,at2,1," +
       kData + "RSN8883_14383980_13849360.AT2\n";
  s += "2,RSN8884,E,3,3,0.1,1,0.005,1,,1," + kData + "RSN8884_14383980_13873090.AT2,,1," + kData +
       "RSN8884_14383980_13873360.AT2\n";
  put(dir.path / "s.csv", s + "end,2\n");
  const CliResult checked = runCli(dir.path, "suite check s.csv");
  EXPECT_EQ(checked.status, 3) << checked.err;  // two motions, asce7 asks for eleven
  EXPECT_NE(checked.out.find("нет  не менее 11 записей (записей: 2)\n"), std::string::npos)
      << checked.out;
  EXPECT_TRUE(checked.out.ends_with("FAIL\n"));
  // Exchanging the components of a pair leaves its RotD100 as it was.
  std::string swapped = s;
  const std::string h1 = kData + "RSN8883_14383980_13849090.AT2",
                    h2 = kData + "RSN8883_14383980_13849360.AT2";
  swapped.replace(swapped.find(h1), h1.size(), "@");
  swapped.replace(swapped.find(h2), h2.size(), h1);
  swapped.replace(swapped.find("@"), 1, h2);
  put(dir.path / "t.csv", swapped + "end,2\n");
  const CliResult again = runCli(dir.path, "suite check t.csv");
  EXPECT_EQ(items(again.out), items(checked.out));

  const CliResult exported = runCli(dir.path, "suite export s.csv --out-dir out");
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.out,
            "out/RSN8883_H1.aks\nout/RSN8883_H2.aks\nout/RSN8884_H1.aks\nout/RSN8884_H2.aks\n");
}

// The whole road: index the records, select a suite from the library, check it again from the
// files alone. The library's spectra and the ones suite check computes from the files give the
// same items to the digits printed.
TEST(SuiteCli, SelectFromTheLibraryAndCheckAgainFromTheFiles) {
  if (!ACCELSPEC_HEAVY_TESTS)
    GTEST_SKIP() << "indexing and RotD of whole records: optimised builds";
  Folder dir;
  fs::create_directories(dir.path / "records");
  for (const char* f : {"RSN8883_14383980_13849090", "RSN8883_14383980_13849360",
                        "RSN8884_14383980_13873090", "RSN8884_14383980_13873360"})
    fs::copy_file(kData + f + ".AT2", dir.path / "records" / (std::string(f) + ".AT2"));
  const CliResult added = runCli(dir.path, "library add records --library lib.sqlite");
  ASSERT_EQ(added.status, 0) << added.err;

  const CliResult pairs = runCli(dir.path,
                                 "select --target ec8:1:B:0.5 --rule asce7 --range 0.1:2 --pairs "
                                 "--count 2 --library lib.sqlite --csv pairs.csv");
  EXPECT_EQ(pairs.status, 3) << pairs.err;  // two motions; asce7 asks for eleven
  EXPECT_NE(pairs.out.find("\n   1  RSN8883  RSN8883_14383980_13849090.AT2 + "), std::string::npos)
      << pairs.out;
  const CliResult again = runCli(dir.path, "suite check pairs.csv");
  EXPECT_EQ(again.status, pairs.status) << again.err;
  EXPECT_EQ(again.err, "");  // the library's step, length and peak are the files' own
  EXPECT_EQ(items(again.out), items(pairs.out)) << again.out << pairs.out;

  const CliResult ec8 = runCli(dir.path,
                               "select --target ec8:1:B:0.5 --rule ec8 --t1 0.5 --count 3 "
                               "--max-per-event 3 --library lib.sqlite --csv ec8.csv");
  ASSERT_TRUE(ec8.status == 0 || ec8.status == 3) << ec8.err;
  EXPECT_EQ(lines(ec8.out).size(),
            3u + 1 + 3 + 3 + (ec8.out.find("# общий множитель") != std::string::npos))
      << ec8.out;
  const CliResult ec8Again = runCli(dir.path, "suite check ec8.csv");
  EXPECT_EQ(items(ec8Again.out), items(ec8.out)) << ec8Again.out << ec8.out;
  // All four components come from one event: one of it a suite with --max-per-event 1.
  const CliResult one = runCli(dir.path,
                               "select --target ec8:1:B:0.5 --rule ec8 --t1 0.5 --count 3 "
                               "--max-per-event 1 --library lib.sqlite");
  EXPECT_EQ(one.status, 3);
  EXPECT_NE(one.out.find("нет  записей в наборе не меньше запрошенного (набрано 1 из 3)"),
            std::string::npos)
      << one.out;
  // Neither the suite file nor the report may be written over the library they are read from,
  // nor over the suite file suite check reads.
  const std::string library = slurp(dir.path / "lib.sqlite");
  std::vector<std::string> options = {"--csv"};
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
  options.push_back("--report");
  EXPECT_EQ(runCli(dir.path, "suite check ec8.csv --report ec8.csv").status, 1);
#endif
  for (const std::string& option : options) {
    const CliResult over = runCli(dir.path,
                                  "select --target ec8:1:B:0.5 --count 2 --library "
                                  "lib.sqlite " +
                                      option + " lib.sqlite");
    EXPECT_EQ(over.status, 1) << option;
    EXPECT_NE(over.err.find("ничего не записано"), std::string::npos) << over.err;
  }
  EXPECT_EQ(slurp(dir.path / "lib.sqlite"), library);
  const std::string suite = slurp(dir.path / "ec8.csv");
  EXPECT_EQ(runCli(dir.path, "suite export ec8.csv --out-dir records").status, 0);
  EXPECT_EQ(slurp(dir.path / "ec8.csv"), suite);
  // A filter that lets nothing through: an empty suite, told, and FAIL.
  const CliResult none = runCli(dir.path,
                                "select --target ec8:1:B:0.5 --count 3 --where 'pga>1000' "
                                "--library lib.sqlite");
  EXPECT_EQ(none.status, 3);
  EXPECT_TRUE(none.out.ends_with(
      "ни одна запись не подходит: кандидатов нет (при --pairs берутся только пары)\nFAIL\n"))
      << none.out;
}

TEST(SuiteCli, DamagedSuitesAndMissingRecordsFailWithoutWriting) {
  Folder dir;
  std::string s = componentSuite({1, 1}, "ec8", "0.5");
  put(dir.path / "cut.csv", s.substr(0, s.rfind("end,")));
#ifdef ACCELSPEC_HAVE_CHECK_REPORT
  const std::string report = " --report r.pdf";
#else
  const std::string report;
#endif
  CliResult r = runCli(dir.path, "suite check cut.csv" + report);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "cut.csv: строка 21: файл оборван: нет последней строки «end,N» с числом записей.\n");
  EXPECT_FALSE(fs::exists(dir.path / "r.pdf"));

  const std::string gone = kData + "RSN8884_14383980_13873360.AT2";
  std::string missing = componentSuite({1, 1, 1, 1}, "ec8", "0.5");
  missing.replace(missing.find(gone), gone.size(), (dir.path / "gone.AT2").string());
  put(dir.path / "m.csv", missing);
  r = runCli(dir.path, "suite check m.csv" + report);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find((dir.path / "gone.AT2").string()), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.path / "r.pdf"));
  r = runCli(dir.path, "suite export m.csv --out-dir out");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(dir.path / "out" / "RSN8883_14383980_13849090.aks"));

  // A record that changed after the selection (here: the suite states another length) is
  // checked as it is now, and said so.
  std::string stale = componentSuite({1, 1, 1, 1}, "ec8", "0.5");
  stale.replace(stale.find(",16396,"), 7, ",16000,");
  put(dir.path / "stale.csv", stale);
  r = runCli(dir.path, "suite check stale.csv");
  EXPECT_TRUE(r.status == 0 || r.status == 3) << r.err;
  EXPECT_EQ(r.err,
            "предупреждение: stale.csv: запись RSN8883_14383980_13849090 изменилась после отбора: "
            "шаг 0.005 с, отсчётов 16396, пик 0.938289 м/с² (в файле набора 0.005 с, 16000, "
            "0.938289 м/с²)\n");

  r = runCli(dir.path, "suite check nothing.csv");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.starts_with("nothing.csv: ")) << r.err;
}

#ifdef ACCELSPEC_HAVE_CHECK_REPORT
std::string shell(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return out;
}

TEST(SuiteCli, TheReportShowsTheRuleAndEveryMotionOnAsManyPagesAsItTakes) {
  Folder dir;
  put(dir.path / "s.csv", componentSuite({2, 3, 0.5, 1.5}, "ec8", "0.5"));
  const CliResult r = runCli(dir.path, "suite check s.csv --report r.pdf");
  ASSERT_TRUE(r.status == 0 || r.status == 3) << r.err;
  const std::string pdf = slurp(dir.path / "r.pdf");
  ASSERT_TRUE(pdf.starts_with("%PDF-")) << pdf.substr(0, 20);
  const std::string text = shell("pdftotext -layout '" + (dir.path / "r.pdf").string() + "' -");
  EXPECT_NE(text.find("Набор записей: правило ec8"), std::string::npos) << text;
  EXPECT_NE(text.find("RSN8884_14383980_13873360"), std::string::npos) << text;
  EXPECT_NE(text.find(r.status == 0 ? "ПРОХОДИТ" : "НЕ ПРОХОДИТ"), std::string::npos) << text;
  EXPECT_NE(text.find("не менее 3 записей"), std::string::npos) << text;

  // Sixty motions: the table goes on to further pages instead of running off the first.
  std::string many = componentSuite(std::vector<double>(4, 1.0), "ec8", "0.5");
  const std::string member = many.substr(many.find("\n1,") + 1);
  std::string body;
  for (int i = 0; i < 60; ++i) {
    std::string line = member.substr(0, member.find('\n') + 1);
    line.replace(0, 1, std::to_string(i + 1));
    line.replace(line.find(",RSN"), 4, ",M" + std::to_string(i + 1) + "_RSN");
    body += line;
  }
  many = many.substr(0, many.find("\n1,") + 1) + body + "end,60\n";
  many.replace(many.find("count,4"), 7, "count,60");
  put(dir.path / "many.csv", many);
  const CliResult m = runCli(dir.path, "suite check many.csv --report many.pdf");
  ASSERT_TRUE(m.status == 0 || m.status == 3) << m.err;
  const std::string info = shell("pdfinfo '" + (dir.path / "many.pdf").string() + "'");
  EXPECT_EQ(info.find("Pages:          1\n"), std::string::npos) << info;
  const std::string manyText = shell("pdftotext '" + (dir.path / "many.pdf").string() + "' -");
  EXPECT_NE(manyText.find("M60_RSN8883_14383980_13849090"), std::string::npos);
}
#endif

// The group's word alone sends the user to `suite --help`: that help must exist.
TEST(SuiteCli, TheGroupsHelpListsItsCommands) {
  Folder dir;
  const CliResult alone = runCli(dir.path, "suite");
  EXPECT_EQ(alone.status, 2);
  EXPECT_EQ(alone.err,
            "accelspec-cli: suite: укажите команду: check, export\n"
            "Подробнее: accelspec-cli suite --help\n");
  const CliResult help = runCli(dir.path, "suite --help");
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_NE(help.out.find("  accelspec-cli suite check SUITE.csv [--report OUT.pdf]\n"),
            std::string::npos)
      << help.out;
  EXPECT_NE(help.out.find("  accelspec-cli suite export SUITE.csv --out-dir DIR\n"),
            std::string::npos);
  EXPECT_EQ(runCli(dir.path, "help suite").out, help.out);
  EXPECT_EQ(runCli(dir.path, "suite -h").out, help.out);
}

TEST(SuiteCli, WrongCallsAreTold) {
  Folder dir;
  struct Case {
    const char* args;
    const char* first;  // the first line of the message
  } cases[] = {
      {"select --target ec8:1:B:3", "accelspec-cli: не указано число записей --count"},
      {"select --target ec8:1:B:3 --count 0",
       "accelspec-cli: --count: ожидается целое число от 1 до 100000"},
      {"select --target ec8:1:B:3 --count 3 --pairs=yes",
       "accelspec-cli: параметр --pairs не принимает значения"},
      {"select --target ec8:1:B:3 --count 3 --range 3:1",
       "accelspec-cli: --range: TMIN должен быть меньше TMAX"},
      {"select --target ec8:1:B:3 --count 3 --range 1",
       "accelspec-cli: --range: ожидается TMIN:TMAX, периоды в секундах больше нуля"},
      {"select --target ec8:1:B:3 --count 3 --scale-min 5",
       "accelspec-cli: --scale-min больше --scale-max"},
      {"select --target ec8:1:B:3 --count 3 --rule ec8", "accelspec-cli: --t1: "},
      {"select --target ec8:1:B:3 --count 3 --where 'pga>>'",
       "accelspec-cli: --where: неверное условие, позиция 5"},
      {"select a.at2 --target ec8:1:B:3 --count 3",
       "accelspec-cli: select не принимает файлов: записи берутся из библиотеки"},
      {"suite export s.csv", "accelspec-cli: не указана папка --out-dir"},
      {"suite check s.csv --out-dir x", "accelspec-cli: неизвестный параметр --out-dir"},
      {"suite check", "accelspec-cli: suite check: укажите один файл набора"},
      {"suite export a.csv b.csv --out-dir x",
       "accelspec-cli: suite export: укажите один файл набора"},
  };
  for (const Case& c : cases) {
    const CliResult r = runCli(dir.path, c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
    EXPECT_TRUE(r.err.starts_with(c.first)) << c.args << "\n" << r.err;
    const std::string args = c.args;
    const std::string command =
        args.starts_with("select") ? "select" : args.substr(0, args.find(' ', 6));
    EXPECT_TRUE(r.err.ends_with("Подробнее: accelspec-cli " + command + " --help\n")) << r.err;
  }
}

}  // namespace
}  // namespace accelspec::test
