// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/store.hpp"
#include "files/formats.hpp"
#include "records/fortran_format.hpp"
#include "records/readers.hpp"
#include "records/record.hpp"

namespace {

using namespace accelspec;
using namespace accelspec::records;

std::string dataPath(const std::string& name) {
  return std::string(ACCELSPEC_TEST_DATA) + "/records/data/" + name;
}

// The message a reading fails with, or "" when it succeeds.
std::string failure(const std::string& text, const Reading& reading = {}) {
  try {
    readRecordText(text, "bad.rec", reading);
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

Reading withFormat(const char* f) {
  Reading r;
  r.format = f;
  return r;
}

struct FormatCase {
  const char* file;
  Reading reading;
  const char* format;
  double dt;
  const char* units;
  std::vector<double> accel;  // m/s²
};

TEST(RecordFormats, EachLayoutReadsToSiUnits) {
  const double g = kStandardGravity;
  // K-NET: the counts sum to 36 over 20 samples, a mean of 1.8 counts taken away.
  const double knet = 3920.0 / 6182761.0 * 0.01;
  Reading step;
  step.step = 0.02;
  Reading gal = step;
  gal.units = "gal";
  Reading second;
  second.channel = 2;
  const std::vector<double> at2 = {0.001 * g,   -0.002 * g, 0.0035 * g, 1.25e-4 * g,
                                   -5.0e-5 * g, 0.0,        0.002 * g,  -0.001 * g};
  const FormatCase cases[] = {
      {"new_layout.AT2", {}, "at2", 0.01, "g", at2},
      {"old_layout.at2", {}, "at2", 0.01, "g", at2},
      {"knet.NS",
       {},
       "knet",
       0.1,
       "gal",
       {(6182761 - 1.8) * knet,
        (-6182761 - 1.8) * knet,
        98.2 * knet,
        198.2 * knet,
        -301.8 * knet,
        -1.8 * knet,
        12343.2 * knet,
        -12346.8 * knet,
        -0.8 * knet,
        0.2 * knet,
        1.2 * knet,
        2.2 * knet,
        3.2 * knet,
        4.2 * knet,
        5.2 * knet,
        6.2 * knet,
        999998.2 * knet,
        -1000001.8 * knet,
        40.2 * knet,
        -43.8 * knet}},
      {"two_channels.V2",
       {},
       "cosmos",
       0.01,
       "cm/s2",
       {-0.9484213, -1.2018770, 0.035, 0, 0.1225, -0.005, 0.07, 0.01, -0.02, 1.0, -0.9999999}},
      {"two_channels.V2",
       second,
       "cosmos",
       0.02,
       "g",
       {1.5e-3 * g, -2.25e-2 * g, 0, 0.4 * g, -1e-4 * g}},
      {"one_column.txt", step, "columns", 0.02, "m/s2", {0.125, -0.25, 0.5, 0.001}},
      {"one_column.txt", gal, "columns", 0.02, "gal", {0.00125, -0.0025, 0.005, 0.00001}},
      {"two_columns.csv", {}, "columns", 0.005, "m/s2", {1.5, -2.5, 0.25, 0}},
      {"three.aks", {}, "aks", 0.004, "m/s2", {0.15, -0.02, 0}},
      {"four.brl", {}, "brl", 0.02, "m/s2", {0.5, -0.5, 1.0, -1.0}},
      {"motion.txt", {}, "eqsig", 0.02, "m/s2", {0.01, -0.02, 0.03, -0.04, 0.05}},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.file);
    const Record r = readRecord(dataPath(c.file), c.reading);
    EXPECT_EQ(r.format, c.format);
    EXPECT_EQ(r.units, c.units);
    // Only a list of numbers read without --units has to assume its unit, and says so.
    const bool unstated = (r.format == "columns" || r.format == "eqsig") && !c.reading.units;
    EXPECT_EQ(r.warnings.size(), unstated ? 1u : 0u);
    EXPECT_NEAR(r.dt, c.dt, 1e-15 * c.dt);
    ASSERT_EQ(r.accel.size(), c.accel.size());
    for (std::size_t i = 0; i < c.accel.size(); ++i)
      EXPECT_NEAR(r.accel[i], c.accel[i], 1e-12 * std::fabs(c.accel[i]) + 1e-15) << i;
  }
}

TEST(RecordFormats, PublishedRecordsReadInFull) {
  const Record peer =
      readRecord(std::string(ACCELSPEC_TEST_DATA) + "/analysis/data/RSN8883_14383980_13849090.AT2");
  EXPECT_EQ(peer.name, "RSN8883_14383980_13849090");
  EXPECT_EQ(peer.dt, 0.005);
  ASSERT_EQ(peer.accel.size(), 16396u);
  EXPECT_DOUBLE_EQ(peer.accel.front(), 8.6900441E-08 * kStandardGravity);

  Reading step;
  step.step = 0.01;
  const Record eqsig = readRecord(
      std::string(ACCELSPEC_TEST_DATA) + "/analysis/data/eqsig_test_motion_dt0p01_column.txt",
      step);
  ASSERT_EQ(eqsig.accel.size(), 4684u);
  EXPECT_EQ(eqsig.accel.front(), 2.42E-07);
  EXPECT_EQ(eqsig.accel.back(), -3.15E-05);
  // eqsig's own file: a name line, "4684 0.0100", the values; found from its content.
  const Record own =
      readRecord(std::string(ACCELSPEC_TEST_DATA) + "/analysis/data/eqsig_test_motion_dt0p01.txt");
  EXPECT_EQ(own.format, "eqsig");
  EXPECT_EQ(own.dt, 0.01);
  EXPECT_EQ(own.accel, eqsig.accel);
}

// Files of the public strong-motion networks (see data/README.md), read to the peak their own
// header states, to the last digit it gives.
TEST(RecordFormats, PublicNetworkFilesReadWithTheirStatedPeaks) {
  struct Case {
    const char* file;
    int channel;
    double stated, lastDigit;  // the header's peak and the step of its last digit, cm/s²
    std::size_t samples;
    double dt;
  };
  const Case cases[] = {
      {"CHB0031412312349.EW", 1, 8.000, 0.001, 6000, 0.01},           // K-NET, line 15
      {"NGNH311106302345.EW1", 1, 0.192, 0.001, 12000, 0.01},         // KiK-net borehole, line 15
      {"Cosmos12TimeSeriesTest2.v1", 1, 161.962, 0.001, 7000, 0.01},  // COSMOS, line 11
      {"Cosmos12TimeSeriesTest2.v1", 2, 161.962, 0.001, 7000, 0.01},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + std::string(" channel ") + std::to_string(c.channel));
    Reading reading;
    reading.channel = c.channel;
    const Record r = readRecord(dataPath(c.file), reading);
    EXPECT_EQ(r.accel.size(), c.samples);
    EXPECT_DOUBLE_EQ(r.dt, c.dt);
    double peak = 0;
    for (double a : r.accel) peak = std::max(peak, std::fabs(a));
    EXPECT_NEAR(peak * 100, c.stated, c.lastDigit / 2 + 1e-9);
  }
}

TEST(RecordFormats, LongerThanTheWindowsStore) {
  std::string text = "# more samples than the window holds\n";
  for (int i = 0; i < kMaxSamples + 5; ++i) text += i % 2 ? "1.5\n" : "-1.5\n";
  Reading step;
  step.step = 0.001;
  const Record r = readRecordText(text, "long.txt", step);
  ASSERT_EQ(r.accel.size(), static_cast<std::size_t>(kMaxSamples) + 5);
  EXPECT_EQ(r.accel.back(), -1.5);
}

TEST(RecordFormats, OwnFileAgreesWithTheWindowsReader) {
  const Record r = readRecord(dataPath("three.aks"));
  auto store = makeStore();
  readAks(dataPath("three.aks"), *store);
  ASSERT_EQ(static_cast<std::size_t>(store->ND), r.accel.size());
  EXPECT_EQ(static_cast<double>(store->DT), r.dt);
  for (int k = 1; k <= store->ND; ++k)
    EXPECT_EQ(static_cast<double>(store->Acc[k]), r.accel[static_cast<std::size_t>(k - 1)]);
}

TEST(RecordFormats, LineEndsAndByteOrderMark) {
  for (const char* text : {"\xEF\xBB\xBF"
                           "t,a\r\n0,1\r\n0.5,2\r\n",
                           "t,a\r0,1\r0.5,2\r", "t,a\n0,1\n0.5,2", "t,a\n0,1\n0.5,2\n\x1a"}) {
    const Record r = readRecordText(text, "x.csv");
    EXPECT_EQ(r.dt, 0.5);
    EXPECT_EQ(r.accel, (std::vector<double>{1, 2}));
  }
}

struct BadCase {
  const char* what;
  std::string text;
  Reading reading;
  const char* message;
};

const std::string kAt2Head =
    "PEER NGA STRONG MOTION DATABASE RECORD\nev\nACCELERATION TIME SERIES IN UNITS OF G\n";

std::string knet(const std::string& freq, const std::string& duration, const std::string& scale,
                 const std::string& data) {
  const char* labels[] = {"Origin Time",
                          "Lat.",
                          "Long.",
                          "Depth. (km)",
                          "Mag.",
                          "Station Code",
                          "Station Lat.",
                          "Station Long.",
                          "Station Height(m)",
                          "Record Time",
                          "Sampling Freq(Hz)",
                          "Duration Time(s)",
                          "Dir.",
                          "Scale Factor",
                          "Max. Acc. (gal)",
                          "Last Correction",
                          "Memo."};
  std::string text;
  for (int i = 0; i < 17; ++i) {
    std::string label = labels[i];
    label.resize(18, ' ');
    text += label + (i == 10 ? freq : i == 11 ? duration : i == 13 ? scale : "1") + "\n";
  }
  return text + data;
}

std::string cosmosFile(const std::string& dtMs, const std::string& dataLine,
                       const std::string& data) {
  std::string text =
      "Corrected acceleration    (Format v01.20 with  2 text lines) test\n"
      "second text line\n"
      "   3 Integer-header values follow on  1 lines, Format= (3I5)\n"
      "    2    1    4\n"
      "  62 Real-header values follow on  7 lines, Format= (10F8.2)\n";
  for (int i = 0; i < 62; ++i) {
    std::string v = i == 61 ? dtMs : "-999.00";
    v.insert(0, 8 - v.size(), ' ');
    text += v + ((i % 10 == 9 || i == 61) ? "\n" : "");
  }
  return text + "   0 Comment line(s) follow, each starting with a \"|\":\n" + dataLine + "\n" +
         data + "End-of-data for Chan  1 acceleration\n";
}

const std::string kAccelLine =
    "       3 acceleration pts, approx    0 secs, units=cm/sec2 (04), Format=(3F10.5)";

TEST(RecordFormats, MalformedRecordsAreRefusedWithFileLineAndReason) {
  Reading step;
  step.step = 0.01;
  Reading wrongStep;
  wrongStep.step = 0.02;
  Reading channel3;
  channel3.channel = 3;
  Reading channel2;
  channel2.channel = 2;
  Reading furlongs;
  furlongs.units = "furlong/s2";
  Reading g = step;
  g.units = "g";
  const BadCase cases[] = {
      {"AT2 header cut short", "PEER NGA\nev\n", withFormat("at2"),
       "bad.rec, строка 3: файл кончается внутри заголовка PEER NGA (ожидается 4 строки)"},
      {"AT2 fewer values than NPTS",
       kAt2Head + "NPTS=  3, DT= 0.01 SEC\n 1.0 2.0\n",
       {},
       "bad.rec, строка 4: NPTS = 3, а значений в файле: 2 (строки 5–5)"},
      {"AT2 more values than NPTS",
       kAt2Head + "NPTS=  1, DT= 0.01 SEC\n 1.0\n 2.0\n",
       {},
       "bad.rec, строка 4: NPTS = 1, а значений в файле: 2 (строки 5–6)"},
      {"AT2 unknown unit",
       "PEER\nev\nACCELERATION TIME SERIES IN UNITS OF FURLONGS\nNPTS= 2, DT= 0.01 SEC\n1 2\n",
       {},
       "bad.rec, строка 3: неизвестная единица «FURLONGS»: ожидается g, gal, cm/s2, m/s2 или "
       "mm/s2"},
      {"AT2 of velocity",
       "PEER\nev\nVELOCITY TIME SERIES IN UNITS OF CM/S\nNPTS= 2, DT= 0.01 SEC\n1 2\n",
       {},
       "bad.rec, строка 3: запись не ускорения: «VELOCITY TIME SERIES IN UNITS OF…»"},
      {"AT2 fourth line", kAt2Head + "NPTS=  two, DT= 0.01 SEC\n1 2\n", withFormat("at2"),
       "bad.rec, строка 4: ожидается «NPTS= n, DT= dt SEC» или «n dt NPTS, DT», найдено «NPTS=  "
       "two, DT= 0.01 SEC»"},
      {"AT2 zero step",
       kAt2Head + "NPTS= 2, DT= 0.0 SEC\n1 2\n",
       {},
       "bad.rec, строка 4: шаг DT = 0: ожидается больше нуля"},
      {"AT2 value",
       kAt2Head + "NPTS= 2, DT= 0.01 SEC\n1.0 2.0x\n",
       {},
       "bad.rec, строка 5: ожидается число, найдено «2.0x»"},
      {"AT2 step disagrees with --step", kAt2Head + "NPTS= 2, DT= 0.01 SEC\n1 2\n", wrongStep,
       "bad.rec, строка 4: шаг в файле 0.01 с, а задан 0.02 с"},
      {"AT2 has one channel", kAt2Head + "NPTS= 2, DT= 0.01 SEC\n1 2\n", channel2,
       "bad.rec: в файле формата at2 один канал, канала 2 нет"},
      {"columns without a step",
       "1\n2\n",
       {},
       "bad.rec: в файле один столбец ускорений: задайте шаг по времени"},
      {"columns non-uniform step",
       "0 1\n0.01 2\n0.02 3\n0.031 4\n",
       {},
       "bad.rec, строка 2: неравномерный шаг: 0.01 с от предыдущей строки, а средний шаг "
       "0.010333333333333333 с (допуск 1e-6 от шага)"},
      {"columns time going back",
       "0.5 1\n0 2\n",
       {},
       "bad.rec, строка 2: время последнего отсчёта 0 не больше времени первого 0.5: ожидается "
       "возрастающее время"},
      {"columns count changes",
       "0 1\n0.01 2\n3\n",
       {},
       "bad.rec, строка 3: чисел в строке: 1, а в строке 1: 2"},
      {"columns three numbers",
       "1 2 3\n",
       {},
       "bad.rec, строка 1: чисел в строке: 3; ожидается столбец ускорений или два столбца (время, "
       "ускорение)"},
      {"columns words after the header",
       "time accel\n0 1\nend of data\n",
       {},
       "bad.rec, строка 3: ожидается число, найдено «end»"},
      {"columns damaged first value", "0.5x\n1\n", step,
       "bad.rec, строка 1: ожидается число, найдено «0.5x»"},
      {"columns empty field",
       "0,,1\n",
       {},
       "bad.rec, строка 1: пустое поле между разделителями в «0,,1»"},
      {"columns one sample", "0.5\n", step, "bad.rec: отсчётов в записи: 1; нужно не меньше двух"},
      {"columns nan", "1\nnan\n", step, "bad.rec, строка 2: ожидается число, найдено «nan»"},
      {"columns beyond range in SI", "1\n1e308\n", g,
       "bad.rec: отсчёт 2 (1e+308 g) вне диапазона чисел"},
      {"unknown --units", "1\n2\n", furlongs,
       "bad.rec: неизвестная единица «furlong/s2»: ожидается g, gal, cm/s2, m/s2 или mm/s2"},
      {"unknown --format", "1\n2\n", withFormat("wav"),
       "bad.rec: неизвестный формат «wav»: ожидается at2, knet, cosmos, eqsig, columns, aks или "
       "brl"},
      {"K-NET header cut short",
       "Origin Time       2000/01/01 00:00:00\nLat. 1\n",
       {},
       "bad.rec, строка 3: файл кончается внутри заголовка K-NET (ожидается 17 строк)"},
      {"K-NET scale factor",
       knet("100Hz", "0", "3920/6182761", "1 2\n"),
       {},
       "bad.rec, строка 14: ожидается множитель вида «3920(gal)/6182761», найдено «3920/6182761»"},
      {"K-NET sampling frequency",
       knet("fast", "0", "3920(gal)/6182761", "1 2\n"),
       {},
       "bad.rec, строка 11: ожидается частота отсчётов вида «100Hz», найдено «fast»"},
      {"K-NET short line inside the data",
       knet("10Hz", "2", "3920(gal)/6182761", "1 2 3\n1 2 3 4 5 6 7 8\n"),
       {},
       "bad.rec, строка 18: отсчётов в строке: 3, а короче восьми может быть только последняя "
       "строка данных"},
      {"K-NET lines lost",
       knet("10Hz", "3", "3920(gal)/6182761", "1 2 3 4 5 6 7 8\n1 2\n"),
       {},
       "bad.rec, строка 12: длительность 3 с при 10 Гц даёт 30 отсчётов, а в файле 10 (строки "
       "18–19)"},
      {"K-NET frequency too small for a step",
       knet("1e-320Hz", "0", "3920(gal)/6182761", ""),
       {},
       "bad.rec, строка 11: шаг по времени inf с вне диапазона чисел"},
      {"K-NET nine on a line",
       knet("10Hz", "1", "3920(gal)/6182761", "1 2 3 4 5 6 7 8 9\n"),
       {},
       "bad.rec, строка 18: отсчётов в строке: 9, а в данных K-NET их не больше 8 в строке"},
      {"COSMOS counts",
       cosmosFile("10.00",
                  "       3 acceleration pts, approx    0 secs, units=counts "
                  "(50), Format=(3F10.5)",
                  "   1.00000   2.00000   3.00000\n"),
       {},
       "bad.rec, строка 14: код единиц 50 не означает ускорение: ожидается 2 (g), 4 (cm/s²), 7 "
       "(in/s²), 10 (gal) или 11 (mg)"},
      {"COSMOS fewer values",
       cosmosFile("10.00", kAccelLine, "   1.00000   2.00000\n"),
       {},
       "bad.rec, строка 15: строка кончается раньше поля: значение 3 из 3, колонки 21–30 (блок "
       "«данные»)"},
      {"COSMOS more values",
       cosmosFile("10.00", kAccelLine, "   1.00000   2.00000   3.00000\n4\n"),
       {},
       "bad.rec, строка 16: блок «данные» в строке 14 объявляет значений: 3, а за ними есть "
       "ещё числа"},
      {"COSMOS value",
       cosmosFile("10.00", kAccelLine, "   1.00000   2.0000x   3.00000\n"),
       {},
       "bad.rec, строка 15: значение 2 из 3, колонки 11–20 (блок «данные»): ожидается число, "
       "найдено «   2.0000x»"},
      {"COSMOS no step",
       cosmosFile("-999.00", kAccelLine, "   1.00000   2.00000   3.00000\n"),
       {},
       "bad.rec, строка 5: значение 62 вещественного заголовка (шаг по времени, мс) равно -999: "
       "ожидается больше нуля"},
      {"COSMOS format",
       cosmosFile("10.00", kAccelLine.substr(0, kAccelLine.size() - 9) + "3Q10.5)",
                  "   1.00000   2.00000   3.00000\n"),
       {},
       "bad.rec, строка 14: ожидается строка блока данных «<n> acceleration pts, approx <t> secs, "
       "units=<единица> (<код>), Format=(…)», найдено «       3 acceleration pts, appro…»"},
      {"COSMOS unknown edit descriptor",
       cosmosFile("10.00", kAccelLine.substr(0, kAccelLine.size() - 8) + "(3Q10.5)",
                  "   1.00000   2.00000   3.00000\n"),
       {},
       "bad.rec, строка 14: формат «(3Q10.5)» не читается: неизвестный описатель «Q»"},
      {"COSMOS data format ending in an empty group",
       cosmosFile("10.00",
                  "       3 acceleration pts, approx    0 secs, units=cm/sec2 (04), "
                  "Format=(F5.1,())",
                  "  1.0\n  2.0\n  3.0\n"),
       {},
       "bad.rec, строка 14: формат «(F5.1,())» не читается: пустая группа «()»"},
      {"COSMOS data format whose last group reads nothing",
       cosmosFile("10.00",
                  "       3 acceleration pts, approx    0 secs, units=cm/sec2 (04), "
                  "Format=(F5.1,(2X))",
                  "  1.0\n  2.0\n  3.0\n"),
       {},
       "bad.rec, строка 14: формат «(F5.1,(2X))» не читается: последняя группа в скобках не "
       "читает ни одного числа"},
      {"COSMOS header format with a huge repeat count",
       [] {
         std::string t = cosmosFile("10.00", kAccelLine, "   1.00000   2.00000   3.00000\n");
         t.replace(t.find("(3I5)"), 5, "(100001I5)");
         return t;
       }(),
       {},
       "bad.rec, строка 3: формат «(100001I5)» не читается: число в формате больше 100000"},
      {"COSMOS missing channel",
       cosmosFile("10.00", kAccelLine, "   1.00000   2.00000   3.00000\n"), channel3,
       "bad.rec: в файле каналов: 1, канала 3 нет"},
      {"COSMOS volume 0",
       "Raw acceleration counts   (Format v01.20 with 13 text lines) Src: 1795\n",
       {},
       "bad.rec, строка 1: файл COSMOS тома V0 (сырые отсчёты регистратора, «Raw acceleration "
       "counts»): ускорения в нём не приведены к единицам; нужен том V1 или V2"},
      {"COSMOS text header cut short",
       "Corrected acceleration    (Format v01.20 with 13 text lines)\nline 2\n",
       {},
       "bad.rec, строка 3: файл кончается внутри текстового заголовка (в строке 1 объявлено "
       "строк: 13)"},
      {"eqsig values lost", "motion\n3 0.01\n1\n2\n", withFormat("eqsig"),
       "bad.rec, строка 2: объявлено отсчётов: 3, а значений в файле: 2 (строки 3–4)"},
      {"eqsig values added",
       "motion\n2 0.01\n1\n2\n3\n",
       {},
       "bad.rec, строка 2: объявлено отсчётов: 2, а значений в файле: 3 (строки 3–5)"},
      {"eqsig sizes", "motion\n3\n1\n", withFormat("eqsig"),
       "bad.rec, строка 2: ожидается «<число отсчётов> <шаг, с>», найдено «3»"},
      {"aks with lines lost", "3 1\n0 1\n0.01 2\n", withFormat("aks"),
       "bad.rec, строка 1: объявлено отсчётов: 3, а строк данных: 2"},
      {"aks with a line too many", "1 1\n0 1\n0.01 2\n", withFormat("aks"),
       "bad.rec, строка 3: лишняя строка: в строке 1 объявлено отсчётов: 1"},
      {"aks first line", "3\n0 1\n0.01 2\n", withFormat("aks"),
       "bad.rec, строка 1: ожидается «<число отсчётов> 1», найдено «3»"},
      {"brl sample number", "2\n1.0 0 1\n2 0.01 2\n", withFormat("brl"),
       "bad.rec, строка 2: ожидается целый номер отсчёта, найдено «1.0»"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(failure(c.text, c.reading), c.message);
  }
}

TEST(RecordFormats, CosmosEndLineAfterEachBlock) {
  const std::string block =
      "       2 acceleration pts, approx    0 secs, units=gal (10), Format=(2F10.5)\n"
      "   1.00000   2.00000\n"
      "End-of-data for Chan  1 acceleration\n"
      "       2 velocity     pts, approx    0 secs, units=cm/s (05), Format=(2F10.5)\n"
      "   3.00000   4.00000\n"
      "End-of-data for Chan  1 velocity\n";
  std::string second = block;
  second.replace(second.find("   1.00000   2.00000"), 20, "   5.00000   6.00000");
  std::string head =
      "Corrected acceleration    (Format v01.20 with  1 text lines)\n"
      "   1 Integer-header values follow on  1 lines, Format= (I5)\n"
      "    2\n"
      "  62 Real-header values follow on  1 lines, Format= (62F6.1)\n";
  for (int i = 0; i < 61; ++i) head += "-999.0";
  head += "  10.0\n   0 Comment line(s) follow\n";
  Reading channel2;
  channel2.channel = 2;
  const Record r = readRecordText(head + block + head + second, "v2", channel2);
  EXPECT_EQ(r.accel, (std::vector<double>{0.05, 0.06}));
  EXPECT_EQ(r.dt, 0.01);
}

TEST(RecordFormats, MissingFileNamesTheFile) {
  try {
    readRecord("/nonexistent-folder/quake.AT2");
    FAIL();
  } catch (const AppError& e) {
    EXPECT_STREQ(e.what(), "/nonexistent-folder/quake.AT2: неверное имя файла");
  }
}

TEST(FortranFormat, ParsesTheLayoutsOfVolumeFiles) {
  struct Case {
    const char* text;
    std::size_t fields, perPass, reversion;
  };
  const Case good[] = {{"(8F10.5)", 8, 8, 0},     {"(10I8)", 10, 10, 0},
                       {"( 1P3E15.6 )", 3, 3, 0}, {"(2X,8(F9.4))", 9, 8, 1},
                       {"(5e16.7e3)", 5, 5, 0},   {"(1F15.6E)", 1, 1, 0},
                       {"(3F10.5/2I5)", 6, 5, 0}};
  for (const Case& c : good) {
    SCOPED_TRACE(c.text);
    const auto f = parseFortranFormat(c.text);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->fields.size(), c.fields);
    EXPECT_EQ(f->valuesPerPass, c.perPass);
    EXPECT_EQ(f->reversion, c.reversion);
  }
  // Empty and value-less groups, zero and huge repeat counts, unbalanced parentheses: each is
  // refused with its reason rather than read past the end of the field list.
  const std::pair<const char*, const char*> bad[] = {
      {"8F10.5", "ожидается формат в скобках: «(8F10.5)»"},
      {"(8Q10.5)", "неизвестный описатель «Q»"},
      {"(F0.1)", "ширина поля F не от 1 до 100"},
      {"(10X)", "формат не читает ни одного числа"},
      {"(999(999F1.0))", "формат разворачивается больше чем в 4096 полей"},
      {"(F10)", "у поля F нет числа знаков после точки"},
      {"(8F10.5", "не хватает закрывающей скобки"},
      {"(8F10.5))", "после закрывающей скобки формата есть ещё текст"},
      {"()", "формат не читает ни одного числа"},
      {"(F5.1,())", "пустая группа «()»"},
      {"(F5.1,2(()))", "пустая группа «()»"},
      {"(F5.1,(/))", "последняя группа в скобках не читает ни одного числа"},
      {"(F5.1,0(F1.0))", "число повторений группы 0"},
      {"(0F5.1)", "число повторений поля 0"},
      {"(100001F5.1)", "число в формате больше 100000"},
      {"(F5.1,100001(F1.0))", "число в формате больше 100000"},
      {"(2(3(4(5(6(7(8(9(10(F1.0))))))))))", "скобки вложены глубже восьми уровней"}};
  for (const auto& [text, reason] : bad) {
    std::string why;
    EXPECT_FALSE(parseFortranFormat(text, &why)) << text;
    EXPECT_EQ(why, reason) << text;
  }
}

TEST(FortranFormat, ReadsFieldsAsFortranInputDoes) {
  struct Case {
    const char* field;
    const char* format;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {"  1234", "(F6.2)", true, 12.34},  {" 1.5-03", "(E7.1)", true, 1.5e-3},
      {"1.5D+02", "(D7.1)", true, 150},   {" -1 2.5", "(F7.1)", true, -12.5},
      {"  12.5", "(1PF6.1)", true, 1.25}, {"1.25E+01", "(1PE8.2)", true, 12.5},
      {"     -42", "(I8)", true, -42},    {"      ", "(F6.2)", false, 0},
      {"abc", "(F3.0)", false, 0},        {"1.5E", "(E4.1)", false, 0},
      {"4.2", "(I3)", false, 0},          {"-", "(F1.0)", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    const auto f = parseFortranFormat(c.format);
    ASSERT_TRUE(f);
    double v = 0;
    EXPECT_EQ(readFortranValue(c.field, f->fields[0], v), c.ok);
    if (c.ok) {
      EXPECT_DOUBLE_EQ(v, c.value);
    }
  }
}

TEST(Units, SpellingsOfTheDatabases) {
  struct Case {
    const char* text;
    const char* name;
  };
  const Case cases[] = {
      {"G", "g"},         {"CM/SEC/SEC", "cm/s2"}, {"cm/s^2", "cm/s2"},   {"Gal", "gal"},
      {"m/s**2", "m/s2"}, {"MM/S2", "mm/s2"},      {"cm / sec2", "cm/s2"}};
  for (const Case& c : cases) {
    const auto u = findUnit(c.text);
    ASSERT_TRUE(u) << c.text;
    EXPECT_EQ(u->name, c.name);
  }
  for (const char* bad : {"", "furlong", "cm/s", "kg", "s2"}) EXPECT_FALSE(findUnit(bad)) << bad;
}

}  // namespace
