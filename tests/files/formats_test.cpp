// SPDX-License-Identifier: MIT
#include "files/formats.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "data/error.hpp"
#include "tests/files/temp_dir.hpp"

namespace accelspec {
namespace {

using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

constexpr long double kUntouched = -777;

using Points = std::vector<std::pair<long double, long double>>;

// A store whose arrays hold a mark, so that a reader's writes beyond its count show.
std::unique_ptr<Store> markedStore() {
  auto store = makeStore();
  store->SpF.fill(kUntouched);
  store->SpA.fill(kUntouched);
  store->Acc.fill(kUntouched);
  return store;
}

struct SpectrumCase {
  const char* name;
  const char* text;
  Points points;
};

const SpectrumCase kSpectrumCases[] = {
    {"empty file", "", {}},
    {"three points",
     " 1.00000000000000E+0000  1.00000000000000E+0000\r\n"
     " 5.00000000000000E+0000  3.00000000000000E+0000\r\n"
     " 1.00000000000000E+0001  2.00000000000000E+0000\r\n",
     {{1, 1}, {5, 3}, {10, 2}}},
    {"one empty line after the last", "1 2\r\n3 4\r\n\r\n", {{1, 2}, {3, 4}, {0, 0}}},
    {"blanks after the last line end", "1 2\r\n3 4\r\n   ", {{1, 2}, {3, 4}, {0, 0}}},
    {"many empty lines give one point", "1 2\r\n\r\n\r\n\r\n", {{1, 2}, {0, 0}}},
    {"no line end after the last", "1 2\r\n3 4", {{1, 2}, {3, 4}}},
    {"a single number takes the next line's first", "1\r\n2 3\r\n4 5\r\n", {{1, 2}, {4, 5}}},
    {"empty lines between data lines", "1 2\r\n\r\n\r\n3 4\r\n", {{1, 2}, {3, 4}}},
    {"only the first two numbers of a line", "1 2 3 4\r\n5 6 7\r\n", {{1, 2}, {5, 6}}},
    {"LF line ends", "1 2\n3 4\n5 6\n", {{1, 2}, {3, 4}, {5, 6}}},
    {"mixed line ends", "1 2\r\n3 4 9\n5 6\r7 8\n", {{1, 2}, {3, 4}, {5, 6}, {7, 8}}},
    {"one empty LF line after the last", "1 2\n3 4\n\n", {{1, 2}, {3, 4}, {0, 0}}},
    {"Ctrl-Z ends the data",
     "1 2\r\n3 4\r\n\x1a"
     "5 6\r\n",
     {{1, 2}, {3, 4}}},
    {"tabs and a decreasing order", "\t10\t2\r\n 2.5e0 -1.2E+0000\r\n", {{10, 2}, {2.5L, -1.2L}}},
    {"an accelerogram read as a spectrum",
     "2 1\r\n0 0.5\r\n0.01 -0.5\r\n",
     {{2, 1}, {0, 0.5L}, {0.01L, -0.5L}}},
};

TEST(ReadSpv, PointsByLayout) {
  for (const auto& c : kSpectrumCases) {
    auto store = markedStore();
    TextReader in(c.text);
    readSpv(in, *store);
    ASSERT_EQ(store->N, static_cast<std::int32_t>(c.points.size())) << c.name;
    for (std::size_t i = 0; i < c.points.size(); ++i) {
      EXPECT_EQ(store->SpF[i + 1], c.points[i].first) << c.name << " point " << i + 1;
      EXPECT_EQ(store->SpA[i + 1], c.points[i].second) << c.name << " point " << i + 1;
    }
    EXPECT_EQ(store->SpF[c.points.size() + 1], kUntouched) << c.name;
    EXPECT_EQ(store->SpF[0], kUntouched) << c.name;
  }
}

TEST(ReadSpo, PointsFromElement9000) {
  for (const auto& c : kSpectrumCases) {
    auto store = markedStore();
    TextReader in(c.text);
    readSpo(in, *store);
    ASSERT_EQ(store->NF, static_cast<std::int32_t>(c.points.size()) - 1) << c.name;
    for (std::size_t j = 0; j < c.points.size(); ++j) {
      EXPECT_EQ(store->SpF[9000 + j], c.points[j].first) << c.name;
      EXPECT_EQ(store->SpA[9000 + j], c.points[j].second) << c.name;
    }
    EXPECT_EQ(store->SpF[8999], kUntouched) << c.name;
    EXPECT_EQ(store->SpF[1], kUntouched) << c.name;
  }
}

struct FailureCase {
  const char* name;
  const char* text;
  std::int32_t count;  // N reached, the failing pass included
};

TEST(ReadSpv, InvalidNumbersEndTheReadingKeepingWhatWasRead) {
  const FailureCase cases[] = {
      {"a heading line", "Frequency Acceleration\r\n1 2\r\n", 1},
      {"a decimal comma", "1 2\r\n2,5 1\r\n", 2},
      {"a non-finite value as written", "1 2\r\n3                    Nan\r\n", 2},
      {"an acceleration missing before a word", "1 2\r\n3\r\nend\r\n", 2},
  };
  for (const auto& c : cases) {
    auto store = markedStore();
    TextReader in(c.text);
    try {
      readSpv(in, *store);
      ADD_FAILURE() << c.name;
    } catch (const IoError& e) {
      EXPECT_STREQ(e.what(), "Invalid numeric input") << c.name;
    }
    EXPECT_EQ(store->N, c.count) << c.name;
    if (c.count > 1) {
      EXPECT_EQ(store->SpF[1], 1) << c.name;
      EXPECT_EQ(store->SpA[1], 2) << c.name;
    }
  }
}

std::string manyLines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += std::to_string(i) + " " + std::to_string(-i) + "\r\n";
  return text;
}

TEST(ReadSpv, RefusesThe999thPointKeepingTheFirst998) {
  auto store = markedStore();
  const std::string fits = manyLines(998);
  TextReader full(fits);
  readSpv(full, *store);
  EXPECT_EQ(store->N, 998);

  store = markedStore();
  const std::string tooMany = manyLines(1005);
  TextReader in(tooMany);
  try {
    readSpv(in, *store);
    FAIL();
  } catch (const AppError& e) {
    EXPECT_STREQ(e.what(), "Спектр воздействия содержит более 998 точек");
  }
  EXPECT_EQ(store->N, 998);
  EXPECT_EQ(store->SpF[998], 998);
  EXPECT_EQ(store->SpF[999], kUntouched);  // the count of memory slot 1
}

TEST(ReadSpo, RefusesThe91002ndPoint) {
  auto store = markedStore();
  const std::string tooMany = manyLines(91003);
  TextReader in(tooMany);
  EXPECT_THROW(readSpo(in, *store), AppError);
  EXPECT_EQ(store->NF, 91000);
  EXPECT_EQ(store->SpF[100000], 91001);
  EXPECT_EQ(store->SpA[100000], -91001);
}

struct AccelerogramCase {
  const char* name;
  const char* text;
  std::int32_t nd;
  long double dt;
  long double t;
  std::vector<long double> samples;  // Acc[1], Acc[2], … as far as checked
  std::size_t untouchedFrom;         // first index the reader must not write
};

TEST(ReadAks, CountTimeStepAndSamples) {
  const AccelerogramCase cases[] = {
      {"three samples",
       "3 1\r\n"
       " 0.00000000000000E+0000  1.50000000000000E-0001\r\n"
       " 4.00000000000000E-0003 -2.00000000000000E-0002\r\n"
       " 8.00000000000000E-0003  0.00000000000000E+0000\r\n",
       3,
       0.004L,
       3 * 0.004L,
       {0.15L, -0.02L, 0},
       4},
      {"fewer lines than the count", "4 1\r\n0 1\r\n0.5 2\r\n", 4, 0.5L, 2, {1, 2, 0, 0}, 5},
      {"more lines than the count", "2 1\r\n0 1\r\n0.5 2\r\n1 3\r\n", 2, 0.5L, 1, {1, 2}, 3},
      {"count alone on line 1",
       "3\r\n0 1.5\r\n0.004 2\r\n0.008 3\r\n",
       3,
       0.004L,
       3 * 0.004L,
       {2, 3, 0},
       4},
      {"one sample", "1 1\r\n10 5\r\n", 1, -10, -10, {5, 0}, 3},
      {"equal times", "2 1\r\n3 1\r\n3 2\r\n", 2, 0, 0, {1, 2}, 3},
      {"negative count", "-2 1\r\n0 1\r\n0.5 2\r\n1 3\r\n", -2, 0.5L, -1, {1, 2}, 3},
      {"zero count", "0 1\r\n0 1\r\n0.25 2\r\n", 0, 0.25L, 0, {1, 2}, 3},
      {"first time not zero", "2 1\r\n10 1\r\n10.5 2\r\n", 2, 0.5L, 1, {1, 2}, 3},
      {"hexadecimal count", "$3 1\r\n0 1\r\n1 2\r\n2 3\r\n", 3, 1, 3, {1, 2, 3}, 4},
      {"empty file", "", 0, 0, 0, {0, 0}, 3},
  };
  for (const auto& c : cases) {
    auto store = markedStore();
    TextReader in(c.text);
    readAks(in, *store);
    EXPECT_EQ(store->ND, c.nd) << c.name;
    EXPECT_EQ(store->DT, c.dt) << c.name;
    EXPECT_EQ(store->T, c.t) << c.name;
    for (std::size_t k = 0; k < c.samples.size(); ++k)
      EXPECT_EQ(store->Acc[k + 1], c.samples[k]) << c.name << " sample " << k + 1;
    EXPECT_EQ(store->Acc[c.untouchedFrom], kUntouched) << c.name;
    EXPECT_EQ(store->Acc[0], kUntouched) << c.name;
  }
}

TEST(ReadAks, FullCapacityWithMissingLinesReadsZeros) {
  auto store = markedStore();
  TextReader in("100000 1\r\n0 1\r\n0.01 2\r\n");
  readAks(in, *store);
  EXPECT_EQ(store->ND, 100000);
  EXPECT_EQ(store->Acc[100000], 0);
  EXPECT_EQ(store->T, 100000 * 0.01L);
}

struct AksFailure {
  const char* name;
  const char* text;
  const char* message;
  std::int32_t nd;  // ND afterwards (the store starts with ND = 7, DT = 0.5, T = 3.5)
  long double dt;
  long double t;
};

TEST(ReadAks, Failures) {
  const AksFailure cases[] = {
      {"count with a point", "5000.0 1\r\n0 1\r\n", "Invalid numeric input", 7, 0.5L, 3.5L},
      {"second field not a number", "3 x\r\n0 1\r\n", "Invalid numeric input", 3, 0.5L, 3.5L},
      {"count above the capacity", "100001 1\r\n0 1\r\n1 2\r\n",
       "Акселерограмма содержит более 100000 отсчётов", 7, 0.5L, 3.5L},
      {"count beyond 32 bits", "2147483648 1\r\n", "Invalid numeric input", 7, 0.5L, 3.5L},
      {"time step beyond the range", "2 1\r\n-1.1E4932 1\r\n1.1E4932 2\r\n",
       "Floating point overflow", 2, 0.5L, 3.5L},
      {"duration beyond the range", "100000 1\r\n0 1\r\n1E4930 2\r\n", "Floating point overflow",
       100000, 1e4930L, 3.5L},
  };
  for (const auto& c : cases) {
    auto store = markedStore();
    store->ND = 7;
    store->DT = 0.5L;
    store->T = 3.5L;
    TextReader in(c.text);
    try {
      readAks(in, *store);
      ADD_FAILURE() << c.name;
    } catch (const AppError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.name;
    }
    EXPECT_EQ(store->ND, c.nd) << c.name;
    EXPECT_EQ(store->DT, c.dt) << c.name;
    EXPECT_EQ(store->T, c.t) << c.name;
    EXPECT_EQ(store->Acc[3], kUntouched) << c.name;
  }
}

TEST(ReadBrl, SampleNumbersAndHeaderAreDropped) {
  auto store = markedStore();
  TextReader in(
      "3 samples, 250 Hz\r\n"
      "1 0.0 0.15 extra\r\n"
      "2\t0.004\t-0.02\r\n"
      "3 0.008 0 9 9 9\r\n"
      "4 0.012 5\r\n");
  readBrl(in, *store);
  EXPECT_EQ(store->ND, 3);
  EXPECT_EQ(store->DT, 0.004L);
  EXPECT_EQ(store->T, 3 * 0.004L);
  EXPECT_EQ(store->Acc[1], 0.15L);
  EXPECT_EQ(store->Acc[2], -0.02L);
  EXPECT_EQ(store->Acc[3], 0);
  EXPECT_EQ(store->Acc[4], kUntouched);

  TextReader pointed("2\r\n1.0 0 1\r\n2 1 2\r\n");
  EXPECT_THROW(readBrl(pointed, *store), IoError);
  EXPECT_EQ(store->ND, 2);
}

TEST(WriteFormats, ExactText) {
  auto store = makeStore();
  store->N = 3;
  store->SpF[1] = 1, store->SpA[1] = 1;
  store->SpF[2] = 5, store->SpA[2] = 3;
  store->SpF[3] = 10, store->SpA[3] = 2;
  EXPECT_EQ(formatSpv(*store),
            " 1.00000000000000E+0000  1.00000000000000E+0000\r\n"
            " 5.00000000000000E+0000  3.00000000000000E+0000\r\n"
            " 1.00000000000000E+0001  2.00000000000000E+0000\r\n");

  store->ND = 3;
  store->DT = 0.004L;
  store->Acc[1] = 0.15L, store->Acc[2] = -0.02L, store->Acc[3] = 0;
  EXPECT_EQ(formatAks(*store),
            "3 1\r\n"
            " 0.00000000000000E+0000  1.50000000000000E-0001\r\n"
            " 4.00000000000000E-0003 -2.00000000000000E-0002\r\n"
            " 8.00000000000000E-0003  0.00000000000000E+0000\r\n");

  store->NF = 1;
  store->SpF[9000] = 2, store->SpA[9000] = std::numeric_limits<long double>::infinity();
  store->SpF[9001] = 2.5L, store->SpA[9001] = std::numeric_limits<long double>::quiet_NaN();
  EXPECT_EQ(formatSpo(*store),
            " 2.00000000000000E+0000                    +Inf\r\n"
            " 2.50000000000000E+0000                     Nan\r\n");
}

TEST(WriteFormats, EmptyGraphs) {
  auto store = makeStore();
  const std::pair<std::int32_t, const char*> counts[] = {{0, "0 1\r\n"}, {-3, "-3 1\r\n"}};
  for (const auto& [count, aks] : counts) {
    store->N = count;
    store->NF = count - 1;
    store->ND = count;
    EXPECT_EQ(formatSpv(*store), "");
    EXPECT_EQ(formatSpo(*store), "");
    EXPECT_EQ(formatAks(*store), aks);
  }
}

TEST(WriteFormats, RefusesWhatTheStoreCannotHold) {
  auto store = makeStore();
  store->N = 999;
  EXPECT_THROW(formatSpv(*store), AppError);
  store->NF = 91001;
  EXPECT_THROW(formatSpo(*store), AppError);
  store->ND = 100001;
  EXPECT_THROW(formatAks(*store), AppError);

  store->ND = 100;
  store->DT = 1e4931L;  // the time of sample 13 is beyond the range
  try {
    formatAks(*store);
    FAIL();
  } catch (const AppError& e) {
    EXPECT_STREQ(e.what(), "Floating point overflow");
  }
}

TEST(WriteFormats, AccelerogramRoundTripThroughAFile) {
  TempDir dir;
  auto store = makeStore();
  std::mt19937_64 random(99);
  std::normal_distribution<double> noise(0, 3);
  store->ND = 2500;
  store->DT = 0.004L;
  for (int k = 1; k <= store->ND; ++k) store->Acc[k] = static_cast<long double>(noise(random)) / 3;
  const std::string path = dir.file("record.aks");
  writeAks(path, *store);
  EXPECT_EQ(readBytes(path).size(), 8 + 2500 * 49u);

  auto back = makeStore();
  readAks(path, *back);
  EXPECT_EQ(back->ND, 2500);
  EXPECT_NEAR(static_cast<double>(back->DT), 0.004, 1e-17);
  EXPECT_EQ(back->T, back->ND * back->DT);
  for (int k = 1; k <= store->ND; ++k)
    ASSERT_LE(std::fabs(back->Acc[k] - store->Acc[k]), 1e-14L * std::fabs(store->Acc[k])) << k;

  store->N = 2;
  store->SpF[1] = 1.0L / 3.0L, store->SpA[1] = -2;
  store->SpF[2] = 0.1L, store->SpA[2] = 1e-300L;
  writeSpv(path, *store);
  readSpv(path, *back);
  EXPECT_EQ(back->N, 2);
  EXPECT_EQ(back->SpF[1], 0.333333333333333L);
  EXPECT_EQ(back->SpF[2], 0.1L);
  EXPECT_EQ(back->SpA[2], 1e-300L);
}

TEST(ReadFiles, MissingFileChangesNothing) {
  TempDir dir;
  auto store = markedStore();
  store->N = 5;
  EXPECT_THROW(readSpv(dir.file("nothing.spv"), *store), IoError);
  EXPECT_EQ(store->N, 5);
  writeBytes(dir.file("x.brl"), "1\r\n1 0 2\r\n");
  readBrl(dir.file("x.brl"), *store);
  EXPECT_EQ(store->ND, 1);
  EXPECT_EQ(store->Acc[1], 2);
}

}  // namespace
}  // namespace accelspec
