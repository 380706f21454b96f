// SPDX-License-Identifier: MIT
// The record library on the public records: what it stores, how it pairs, how it stays whole
// when a run is killed, when two run at once, on a full disk and across schema versions.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <stop_token>
#include <string>
#include <thread>

#include "../cli/cli_runner.hpp"
#include "analysis/grid.hpp"
#include "analysis/measures.hpp"
#include "analysis/spectra.hpp"
#include "data/error.hpp"
#include "library/library.hpp"
#include "records/record.hpp"

namespace {

namespace fs = std::filesystem;
using namespace accelspec;
using namespace accelspec::library;
using accelspec::test::runCli;

const fs::path kData = ACCELSPEC_TEST_DATA;

// RotD of the 16000-sample public pairs takes minutes under the sanitizers; the threads of
// `add` are covered there by the tests on the synthetic and the smaller records.
#if defined(__SANITIZE_THREAD__)
constexpr bool kHeavyPairs = false;
#else
constexpr bool kHeavyPairs = ACCELSPEC_HEAVY_TESTS;
#endif

class Library_ : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("accelspec-library-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "records");
    db = (dir / "lib.sqlite").string();
  }
  void TearDown() override { fs::remove_all(dir); }

  void copy(const fs::path& from, const std::string& folder = "records") {
    fs::create_directories(dir / folder);
    fs::copy_file(from, dir / folder / from.filename(), fs::copy_options::overwrite_existing);
  }
  // The public records of two pairs each: NGA-West2 RSN8883/8884, K-NET CHB003, KiK-net NGNH31.
  void copyPublic() {
    for (const char* f : {"RSN8883_14383980_13849090.AT2", "RSN8883_14383980_13849360.AT2",
                          "RSN8884_14383980_13873090.AT2", "RSN8884_14383980_13873360.AT2"})
      copy(kData / "analysis/data" / f);
    for (const char* f : {"CHB0031412312349.EW", "CHB0031412312349.NS", "CHB0031412312349.UD",
                          "NGNH311106302345.EW1", "NGNH311106302345.NS1", "NGNH311106302345.EW2",
                          "NGNH311106302345.NS2"})
      copy(kData / "records/data" / f, "knet");
  }
  // K-NET CHB003 alone: one pair and a vertical, 6000 samples each (light enough for the
  // sanitizer builds).
  void copyChb() {
    for (const char* f : {"CHB0031412312349.EW", "CHB0031412312349.NS", "CHB0031412312349.UD"})
      copy(kData / "records/data" / f, "knet");
  }
  // `count` small synthetic records in the eqsig layout, `samples` samples each.
  void synthetic(int count, int samples, const std::string& folder = "synthetic") {
    fs::create_directories(dir / folder);
    for (int i = 0; i < count; ++i) {
      std::string text = "motion " + std::to_string(i) + "\n" + std::to_string(samples) + " 0.01\n";
      for (int k = 0; k < samples; ++k)
        text += std::to_string(std::sin(0.05 * k * (1 + i % 7)) * (1 + i)) + "\n";
      test::put(dir / folder / ("m" + std::to_string(1000 + i) + ".txt"), text);
    }
  }
  std::string sql(const std::string& query) {
    sqlite3* h = nullptr;
    sqlite3_open(db.c_str(), &h);
    std::string out;
    sqlite3_exec(
        h, query.c_str(),
        [](void* o, int n, char** v, char**) {
          auto& s = *static_cast<std::string*>(o);
          for (int i = 0; i < n; ++i) s += (i ? "|" : "") + std::string(v[i] ? v[i] : "NULL");
          s += "\n";
          return 0;
        },
        &out, nullptr);
    sqlite3_close(h);
    return out;
  }
  std::map<std::string, Motion> byName(const std::vector<Motion>& motions) {
    std::map<std::string, Motion> out;
    for (const auto& m : motions) out[m.name] = m;
    return out;
  }

  fs::path dir;
  std::string db;
};

std::string failure(const std::function<void()>& f) {
  try {
    f();
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

TEST_F(Library_, StoresWhatTheCoreComputesAndPairsByTheNamingRule) {
  if (!kHeavyPairs) GTEST_SKIP() << "heavy";
  copyPublic();
  Library lib = Library::open(db, true);
  AddOptions options;
  options.jobs = 2;
  const AddSummary s = lib.add({(dir / "records").string(), (dir / "knet").string()}, options);
  EXPECT_EQ(s.files, 11u);
  EXPECT_EQ(s.indexed, 11u);
  EXPECT_EQ(s.components, 11u);
  EXPECT_EQ(s.pairs, 5u);
  EXPECT_TRUE(s.skipped.empty());

  const auto motions = byName(lib.motions());
  ASSERT_EQ(motions.size(), 6u);
  // Surface and borehole sensors apart; the vertical alone.
  for (const char* name :
       {"RSN8883", "RSN8884", "CHB0031412312349", "NGNH311106302345-1", "NGNH311106302345-2"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(motions.count(name));
    EXPECT_TRUE(motions.at(name).pair());
  }
  EXPECT_EQ(fs::path(motions.at("CHB0031412312349").components[1].path).extension(), ".NS");
  EXPECT_TRUE(motions.count("CHB0031412312349.UD"));
  for (const auto& [name, m] : motions)
    if (!m.pair()) {
      EXPECT_EQ(fs::path(m.components[0].path).extension(), ".UD");
      EXPECT_TRUE(m.components[0].vertical);
    }

  // The stored numbers are the core's, bit for bit.
  const Motion& rsn = motions.at("RSN8883");
  EXPECT_EQ(rsn.event, "14383980");
  const records::Record a = records::readRecord(rsn.components[0].path);
  const records::Record b = records::readRecord(rsn.components[1].path);
  EXPECT_EQ(fs::path(a.path).filename(), "RSN8883_14383980_13849090.AT2");
  const analysis::Measures m = analysis::computeMeasures(a.accel, a.dt);
  EXPECT_EQ(rsn.components[0].measures.pga, m.pga);
  EXPECT_EQ(rsn.components[0].measures.housner, m.housner);
  EXPECT_EQ(rsn.components[0].measures.d5_95, m.d5_95);
  EXPECT_EQ(rsn.components[0].samples, 16396u);
  EXPECT_EQ(rsn.components[0].dt, 0.005);
  EXPECT_EQ(rsn.components[0].station, "Anaheim - Lakeview & Riverdale");
  EXPECT_EQ(rsn.components[1].azimuth, 0.0);
  analysis::SpectraRequest r;
  r.grid = analysis::parseGrid("log:0.1:100:100");
  const analysis::Spectra psa = analysis::computeSpectra(a.accel, a.dt, r);
  ASSERT_EQ(rsn.components[0].psa.size(), kSpectrumPoints);
  r.rotd = 100;
  const analysis::Spectra rotd100 = analysis::computeRotD(a.accel, b.accel, a.dt, b.dt, r);
  r.rotd = 50;
  const analysis::Spectra rotd50 = analysis::computeRotD(a.accel, b.accel, a.dt, b.dt, r);
  ASSERT_EQ(rsn.rotd100.size(), kSpectrumPoints);
  ASSERT_EQ(rsn.rotd50.size(), kSpectrumPoints);
  for (std::size_t k = 0; k < kSpectrumPoints; ++k) {
    EXPECT_EQ(rsn.components[0].psa[k], psa.values[k]) << k;
    EXPECT_EQ(rsn.rotd100[k], rotd100.values[k]) << k;
    EXPECT_EQ(rsn.rotd50[k], rotd50.values[k]) << k;
    // RotD100 is the largest over the angles, which include both components' own.
    EXPECT_LE(rsn.rotd50[k], rsn.rotd100[k]) << k;
    EXPECT_GE(rsn.rotd100[k], rsn.components[1].psa[k] * (1 - 1e-12)) << k;
  }
  EXPECT_DOUBLE_EQ(spectrumFrequency(0), 0.1);
  EXPECT_DOUBLE_EQ(spectrumFrequency(300), 100.0);

  // --where against stored fields.
  EXPECT_EQ(lib.motions("format=at2").size(), 2u);
  EXPECT_EQ(lib.motions("pair=0").size(), 1u);
  EXPECT_EQ(lib.motions("station=NGNH31 and magnitude<3").size(), 2u);
  EXPECT_EQ(lib.motions("event=\"x'); DROP TABLE files; --\"").size(), 0u);
  EXPECT_EQ(lib.info().files, 11u);

  const Info info = lib.info();
  EXPECT_EQ(info.schemaVersion, kSchemaVersion);
  EXPECT_EQ(info.components, 11u);
  EXPECT_EQ(info.pairs, 5u);
  EXPECT_EQ(info.motions, 6u);
}

TEST_F(Library_, SkipsTheUnchangedReindexesTheChangedAndListsTheUnreadable) {
  if (!kHeavyPairs) GTEST_SKIP() << "heavy";
  copyPublic();
  test::put(dir / "records" / "notes.txt", "not a record\n");
  Library lib = Library::open(db, true);
  AddSummary s = lib.add({dir.string()});
  EXPECT_EQ(s.indexed, 11u);
  ASSERT_EQ(s.skipped.size(), 1u);
  EXPECT_EQ(s.skipped[0].message, (dir / "records" / "notes.txt").string() +
                                      ": в файле один столбец ускорений: задайте шаг по времени");
  // The library's own file in the walked folder is never indexed.
  for (const auto& k : s.skipped) EXPECT_EQ(k.path.find("lib.sqlite"), std::string::npos);

  s = lib.add({dir.string()});
  EXPECT_EQ(s.indexed, 0u);
  EXPECT_EQ(s.unchanged, 11u);
  EXPECT_EQ(s.pairs, 0u);

  // A new time with the same content: the time is kept, nothing is computed again.
  const fs::path ew = dir / "knet" / "CHB0031412312349.EW";
  fs::last_write_time(ew, fs::last_write_time(ew) + std::chrono::seconds(5));
  s = lib.add({dir.string()});
  EXPECT_EQ(s.indexed, 0u);
  EXPECT_EQ(s.unchanged, 11u);
  s = lib.add({dir.string()});
  EXPECT_EQ(s.unchanged, 11u);

  // Changed content: indexed again, its pair made again from the new numbers.
  const double before = byName(lib.motions()).at("CHB0031412312349").components[0].measures.pga;
  std::string text = test::slurp(ew);
  const std::size_t data = text.find("Memo.");
  text.replace(text.find('\n', data) + 1, 9, "  9999999");
  test::put(ew, text);
  s = lib.add({(dir / "knet").string()});
  EXPECT_EQ(s.indexed, 1u);
  EXPECT_EQ(s.unchanged, 6u);
  EXPECT_EQ(s.pairs, 1u);
  const Motion after = byName(lib.motions()).at("CHB0031412312349");
  EXPECT_TRUE(after.pair());
  EXPECT_GT(after.components[0].measures.pga, before);
  EXPECT_EQ(sql("SELECT count(*) FROM files"), "11\n");
  EXPECT_EQ(sql("SELECT count(*) FROM components"), "11\n");
}

TEST_F(Library_, HandSetPairsAndPrune) {
  if (!kHeavyPairs) GTEST_SKIP() << "heavy";
  copyPublic();
  Library lib = Library::open(db, true);
  lib.add({(dir / "knet").string()});
  const std::string ew1 = (dir / "knet" / "NGNH311106302345.EW1").string();
  const std::string ns2 = (dir / "knet" / "NGNH311106302345.NS2").string();
  const Motion m = lib.pair(ew1, ns2);
  EXPECT_TRUE(m.manual);
  EXPECT_EQ(m.name, "NGNH311106302345+NGNH311106302345");
  auto motions = byName(lib.motions());
  // The two automatic pairs are broken; their other halves stand alone.
  EXPECT_FALSE(motions.count("NGNH311106302345-1"));
  EXPECT_FALSE(motions.count("NGNH311106302345-2"));
  EXPECT_EQ(lib.motions("pair=0").size(), 3u);
  EXPECT_EQ(lib.info().manualPairs, 1u);
  // Remembered when a file is indexed again; the rule does not take the components back.
  std::string text = test::slurp(ns2);
  text.replace(text.find('\n', text.find("Memo.")) + 1, 9, "  1234567");
  test::put(ns2, text);
  const AddSummary s = lib.add({(dir / "knet").string()});
  EXPECT_EQ(s.indexed, 1u);
  EXPECT_EQ(s.pairs, 1u);
  EXPECT_EQ(lib.info().manualPairs, 1u);
  EXPECT_EQ(lib.motions("pair=1").size(), 2u);

  const std::string ud = (dir / "knet" / "CHB0031412312349.UD").string();
  EXPECT_EQ(failure([&] { lib.pair(ud, ew1); }),
            "«" + ud + "» — вертикальная составляющая; в пару берутся только горизонтальные");
  EXPECT_EQ(failure([&] { lib.pair(ew1, ew1); }), "в пару нужны две разные составляющие");
  const std::string chb = (dir / "knet" / "CHB0031412312349.EW").string();
  EXPECT_EQ(failure([&] { lib.pair(chb, ew1); }),
            "у составляющих пары разные шаг или число отсчётов");
  EXPECT_EQ(failure([&] { lib.pair("/no/such.at2", ew1); }),
            "«/no/such.at2» нет в библиотеке; добавьте его командой library add");

  // Prune: the files gone from the disk go, with their pairs.
  fs::remove(chb);
  const PruneSummary p = lib.prune();
  EXPECT_EQ(p.files, 1u);
  EXPECT_EQ(p.components, 1u);
  motions = byName(lib.motions());
  EXPECT_FALSE(motions.count("CHB0031412312349"));
  EXPECT_TRUE(motions.count("CHB0031412312349.NS"));
  EXPECT_EQ(sql("SELECT count(*) FROM pairs"), "1\n");
  EXPECT_EQ(sql("PRAGMA integrity_check"), "ok\n");
  EXPECT_EQ(sql("PRAGMA foreign_key_check"), "");
}

TEST_F(Library_, CosmosChannelsOfOneStationPair) {
  copy(kData / "records/data/Cosmos12TimeSeriesTest2.v1");
  copy(kData / "records/data/two_channels.V2");
  Library lib = Library::open(db, true);
  const AddSummary s = lib.add({(dir / "records").string()});
  EXPECT_EQ(s.components, 4u);
  // 340° and 90° of station J2236 pair; the hand-made file's two channels point the same way.
  EXPECT_EQ(s.pairs, 1u);
  const auto motions = byName(lib.motions());
  ASSERT_TRUE(motions.count("CI-J2236 2005-06-16"));
  EXPECT_EQ(motions.at("CI-J2236 2005-06-16").components[1].channel, 2);
  EXPECT_TRUE(motions.count("two_channels.V2:1") && motions.count("two_channels.V2:2"));
}

TEST_F(Library_, OpeningRefusesWhatIsNoLibraryOfThisVersion) {
  EXPECT_EQ(failure([&] { Library::open(db, false); }),
            "библиотеки записей «" + db + "» нет; её создаёт команда accelspec-cli library add");
  test::put(dir / "text.sqlite", "hello\n");
  const std::string text = (dir / "text.sqlite").string();
  EXPECT_EQ(failure([&] { Library::open(text, false); }),
            "«" + text + "» — не библиотека записей accelspec");
  const std::string other = (dir / "other.sqlite").string();
  sqlite3* h = nullptr;
  sqlite3_open(other.c_str(), &h);
  sqlite3_exec(h, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
  sqlite3_close(h);
  EXPECT_EQ(failure([&] { Library::open(other, true); }),
            "«" + other + "» — не библиотека записей accelspec");

  copyChb();
  { Library::open(db, true).add({(dir / "knet").string()}); }
  sql("PRAGMA user_version=99");
  EXPECT_EQ(failure([&] { Library::open(db, false); }),
            "библиотека записей «" + db +
                "» создана более новой версией программы (схема 99, эта версия знает схемы до " +
                std::to_string(kSchemaVersion) +
                "); откройте её новой версией или укажите другой файл");
  // Version 1 had no hand-set pairs: opened, it gets them and keeps every component.
  sql("PRAGMA user_version=1; DROP TABLE manual_pairs;");
  {
    Library lib = Library::open(db, false);
    EXPECT_EQ(lib.info().schemaVersion, kSchemaVersion);
    EXPECT_EQ(lib.info().components, 3u);
    lib.pair((dir / "knet" / "CHB0031412312349.NS").string(),
             (dir / "knet" / "CHB0031412312349.EW").string());
  }
  EXPECT_EQ(sql("SELECT count(*) FROM manual_pairs"), "1\n");
}

TEST_F(Library_, DefaultPathFollowsXdg) {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const std::string saved = xdg ? xdg : "";
  ::setenv("XDG_DATA_HOME", "/x/data", 1);
  EXPECT_EQ(defaultLibraryPath(), "/x/data/accelspec/library.sqlite");
  ::setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored, as the specification says
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  if (!home.empty()) {
    EXPECT_EQ(defaultLibraryPath(), home + "/.local/share/accelspec/library.sqlite");
  }
  if (xdg)
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}

// The window's "Отмена": no file is started after it, every file started is written, the next
// run does the rest.
TEST_F(Library_, ACancelledAddKeepsWhatItFinished) {
  synthetic(40, 2000);
  Library lib = Library::open(db, true);
  std::stop_source stop;
  AddOptions options;
  options.jobs = 2;
  options.stop = stop.get_token();
  std::size_t calls = 0, lastDone = 0;
  options.progress = [&](const AddProgress& p) {
    ++calls;
    EXPECT_EQ(p.total, 40u);
    EXPECT_GE(p.done, lastDone);
    lastDone = p.done;
    if (p.done >= 3) stop.request_stop();
  };
  const AddSummary s = lib.add({(dir / "synthetic").string()}, options);
  EXPECT_TRUE(s.cancelled);
  EXPECT_GE(s.indexed, 3u);
  EXPECT_LT(s.indexed, 40u);
  EXPECT_GT(calls, 0u);
  EXPECT_EQ(lib.info().files, s.indexed);
  const AddSummary rest = lib.add({(dir / "synthetic").string()});
  EXPECT_FALSE(rest.cancelled);
  EXPECT_EQ(rest.unchanged, s.indexed);
  EXPECT_EQ(rest.indexed, 40u - s.indexed);
}

// A run killed in the middle keeps every file it finished, whole, and the next run completes.
TEST_F(Library_, AKilledAddLeavesAConsistentLibrary) {
  synthetic(300, 1000);
  const std::string folder = (dir / "synthetic").string();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::execl(ACCELSPEC_CLI, ACCELSPEC_CLI, "library", "add", folder.c_str(), "--library", db.c_str(),
            "--jobs", "1", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Killed once some files are in.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  int stored = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!fs::exists(db)) continue;
    const std::string n = sql("SELECT count(*) FROM files");
    stored = n.empty() ? 0 : std::stoi(n);
    if (stored >= 5) break;
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed";
  ASSERT_GE(stored, 5);
  EXPECT_EQ(sql("PRAGMA integrity_check"), "ok\n");
  // Every stored file is whole: its component with a full spectrum.
  EXPECT_EQ(sql("SELECT count(*) FROM files f WHERE NOT EXISTS (SELECT 1 FROM components c "
                "WHERE c.file_id = f.id AND length(c.psa) = 2408)"),
            "0\n");
  const int kept = std::stoi(sql("SELECT count(*) FROM files"));
  EXPECT_LT(kept, 300);
  Library lib = Library::open(db, false);
  const AddSummary s = lib.add({folder});
  EXPECT_EQ(s.unchanged, static_cast<std::size_t>(kept));
  EXPECT_EQ(s.indexed, 300u - kept);
  EXPECT_EQ(lib.info().components, 300u);
}

TEST_F(Library_, TwoAddsAtOnceIndexEachFileOnce) {
  synthetic(60, 2000);
  const std::string folder = (dir / "synthetic").string();
  // Both make the file: the race of the first moments (the schema, the journal mode) is the
  // narrowest, so it is run a few times.
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(db + suffix);
    const std::string args = "library add '" + folder + "' --library '" + db + "' --jobs 1";
    test::CliResult r1, r2;
    std::thread t1([&] { r1 = runCli(dir, args); });
    std::thread t2([&] { r2 = runCli(dir / "synthetic", args); });
    t1.join();
    t2.join();
    EXPECT_EQ(r1.status, 0) << r1.err;
    EXPECT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(sql("SELECT count(*), count(DISTINCT path) FROM files"), "60|60\n");
    EXPECT_EQ(sql("SELECT count(*) FROM components"), "60\n");
    EXPECT_EQ(sql("PRAGMA integrity_check"), "ok\n");
  }
}

// A disk that fills up: a clear message, and what was written before stays.
TEST_F(Library_, AFullDiskStopsWithAMessageAndKeepsWhatWasWritten) {
  synthetic(40, 2000);
  const std::string folder = (dir / "synthetic").string();
  ASSERT_EQ(runCli(dir, "library add '" + folder + "' --library '" + db + "'").status, 0);
  synthetic(200, 4000, "more");
  // Files may grow by at most 1200 KiB (ulimit counts 1024-byte blocks in bash).
  const test::CliResult r = runCli(dir, "library info --library '" + db +
                                            "' >/dev/null; bash -c \"ulimit -f 1200; "
                                            "trap '' XFSZ; exec '" ACCELSPEC_CLI "' library add '" +
                                            (dir / "more").string() + "' --library '" + db + "'\"");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("; записанное раньше сохранено.\n"), std::string::npos) << r.err;
  EXPECT_EQ(sql("PRAGMA integrity_check"), "ok\n");
  const int kept = std::stoi(sql("SELECT count(*) FROM files"));
  EXPECT_GE(kept, 40);
  EXPECT_LT(kept, 240);
  EXPECT_EQ(sql("SELECT count(*) FROM files f WHERE NOT EXISTS (SELECT 1 FROM components c "
                "WHERE c.file_id = f.id)"),
            "0\n");
}

// A library in a folder that may not be written: read as it is; adding says why it cannot.
TEST_F(Library_, AReadOnlyLibraryIsReadAndRefusesWritesClearly) {
  copyChb();
  synthetic(2, 100, "records");
  const fs::path folder = dir / "ro";
  fs::create_directories(folder);
  const std::string ro = (folder / "lib.sqlite").string();
  ASSERT_EQ(runCli(dir, "library add knet --library '" + ro + "'").status, 0);
  // Root writes anything: the commands then run as nobody.
  std::string as;
  if (::geteuid() == 0) {
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "setpriv is needed to drop root";
    as = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
  fs::permissions(ro, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir, fs::perms::all);
  const std::string cli = as + "'" ACCELSPEC_CLI "' library ";
  const auto run = [&](const std::string& args) {
    return runCli(dir, "--version >/dev/null; " + cli + args + " --library '" + ro + "'");
  };
  test::CliResult r = run("info");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("составляющих: 3\n"), std::string::npos) << r.out;
  r = run("list --where pair=1");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::lines(r.out).size(), 3u);
  r = run("add records");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "библиотека записей «" + ro +
                       "»: файл или папка только для чтения — записать нельзя; записанное раньше "
                       "сохранено.\n");
  fs::permissions(folder, fs::perms::owner_all);
  fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_write);
  Library lib = Library::open(ro, false);
  EXPECT_EQ(lib.info().components, 3u);
}

TEST_F(Library_, CommandLine) {
  if (!kHeavyPairs) GTEST_SKIP() << "heavy";
  copyPublic();
  const std::string lib = " --library '" + db + "'";
  test::put(dir / "knet" / "broken.AT2",
            "PEER NGA STRONG MOTION DATABASE RECORD\nx\nACCELERATION TIME SERIES IN UNITS OF "
            "G\nNPTS=  3, DT= 0.01 SEC\n1 2\n");
  test::CliResult r = runCli(dir, "library add knet records --jobs 2" + lib);
  EXPECT_EQ(r.status, 0);
  const auto out = test::lines(r.out);
  ASSERT_EQ(out.size(), 3u) << r.out;
  EXPECT_EQ(out[0], "файлов: 12; проиндексировано: 11, без изменений: 0, не прочитано: 1");
  EXPECT_EQ(out[1], "составляющих записано: 11, пар составлено: 5");
  EXPECT_EQ(r.err, "не прочитаны (1):\n" + (dir / "knet" / "broken.AT2").string() +
                       ", строка 4: NPTS = 3, а значений в файле: 2 (строки 5–5)\n");

  r = runCli(dir, "library list --where 'format=at2 and pga>0.1g'" + lib);
  EXPECT_EQ(r.status, 0) << r.err;
  const auto rows = test::lines(r.out);
  ASSERT_EQ(rows.size(), 3u) << r.out;  // RSN8884: both components above 0.1 g
  EXPECT_EQ(rows[0].substr(0, 50), "motion,pair,path,format,channel,event,date,station");
  EXPECT_EQ(rows[1].substr(0, 10), "RSN8884,1,");

  r = runCli(dir, "library list --csv all.csv" + lib);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(test::lines(test::slurp(dir / "all.csv")).size(), 12u);

  r = runCli(dir, "library list --where 'pga>'" + lib);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "accelspec-cli: --where: неверное условие, позиция 5: ожидается значение: "
            "число, слово или текст в кавычках\nПодробнее: accelspec-cli library list --help\n");
  r = runCli(dir, "library");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "accelspec-cli: library: укажите команду: add, list, pair, prune, info\n"
            "Подробнее: accelspec-cli library --help\n");
  // The group's help: every command of it, one after another.
  r = runCli(dir, "help library");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, runCli(dir, "library --help").out);
  EXPECT_NE(r.out.find("  accelspec-cli library prune [--library FILE]\n"), std::string::npos);
  r = runCli(dir, "help library add");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Использование:\n  accelspec-cli library add PATH... [--library FILE]", 0),
            0u);
  r = runCli(dir, "library remove x");
  EXPECT_EQ(r.err,
            "accelspec-cli: неизвестная команда library remove\nПодробнее: accelspec-cli --help\n");

  r = runCli(dir, "library pair knet/NGNH311106302345.EW1 knet/NGNH311106302345.NS2" + lib);
  EXPECT_EQ(r.status, 0) << r.err;
  r = runCli(dir, "library info" + lib);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("движений: 7 (пар: 4, из них заданных вручную: 1)\n"), std::string::npos)
      << r.out;
  fs::remove(dir / "knet" / "CHB0031412312349.UD");
  r = runCli(dir, "library prune" + lib);
  EXPECT_EQ(r.out, "удалено файлов: 1, составляющих: 1\n");
  r = runCli(dir, "library info --library missing.sqlite");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "библиотеки записей «" + (dir / "missing.sqlite").string() +
                       "» нет; её создаёт команда accelspec-cli library add.\n");
  r = runCli(dir, "library add nowhere" + lib);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "«nowhere»: нет такого файла или папки.\n");
}

}  // namespace
