// SPDX-License-Identifier: MIT
#include "analysis/measures.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace accelspec::analysis {
namespace {

constexpr double kG = 9.80665;

TEST(Measures, HandWorkedRecords) {
  struct Case {
    const char* name;
    std::vector<double> accel;
    double dt;
    Measures expected;  // housner not compared here
  } cases[] = {
      // v = 0, .5, 1, .5, 0; d = 0, .125, .5, .875, 1; ∫a² = 1, 2, 3, 4 at the samples.
      {"triangle", {0, 2, 0, -2, 0}, 0.5, {2, 1, 1, 4 * M_PI / (2 * kG), 1.4, 1.8, 2, 2, 0}},
      // The second second's peak, 0.1 m/s², stays below 0.025 g: only the first counts.
      {"quiet second",
       {0, 2, 0, -0.1, 0},
       0.5,
       {2, 1, 0, (8 + 0.02) / 2 * 0.5 * M_PI / (2 * kG), 0, 0, 1.05, 1, 0}},
      // 0.3 s does not divide a second: the step from 0.9 s to 1.2 s is split at 1 s, where
      // |a| is 0.7 on the line between its samples.
      {"split step", {1, 1, 1, 1, 0.1}, 0.3, {1, 1.065, 0, 0, 0, 0, 1.065, 0.985, 0}},
      // A sample on a window's edge belongs to both windows.
      {"edge sample", {0.1, 0.1, 1, 0.1, 0.1}, 0.5, {1, 0, 0, 0, 0, 0, 0.65, 0.65, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Measures m = computeMeasures(c.accel, c.dt);
    EXPECT_DOUBLE_EQ(m.pga, c.expected.pga);
    EXPECT_DOUBLE_EQ(m.cav, c.expected.cav);
    EXPECT_NEAR(m.cavStd, c.expected.cavStd, 1e-15);
    if (c.expected.pgv != 0) {
      EXPECT_DOUBLE_EQ(m.pgv, c.expected.pgv);
    }
    if (c.expected.arias != 0) {
      EXPECT_DOUBLE_EQ(m.arias, c.expected.arias);
    }
    if (std::string(c.name) == "triangle") {
      EXPECT_DOUBLE_EQ(m.pgd, 1);
      EXPECT_DOUBLE_EQ(m.d5_75, 1.4);
      EXPECT_DOUBLE_EQ(m.d5_95, 1.8);
    }
  }
}

TEST(Measures, DurationsInterpolateTheCrossings) {
  // a² is 0, 1, 1, 0, 0, 9, 0: the Arias integral, trapezoid at 1 s, reaches 0.5, 1.5, 2, 2,
  // 6.5, 11: 5 % (0.55) at 1 + 0.05 s, 75 % (8.25) at 5 + 1.75/4.5 s, 95 % (10.45) at
  // 5 + 3.95/4.5 s.
  const Measures m = computeMeasures({0, 1, -1, 0, 0, 3, 0}, 1.0);
  EXPECT_DOUBLE_EQ(m.d5_75, 5 + 1.75 / 4.5 - 1.05);
  EXPECT_DOUBLE_EQ(m.d5_95, 5 + 3.95 / 4.5 - 1.05);
  EXPECT_DOUBLE_EQ(m.arias, 11 * std::numbers::pi / (2 * kG));
}

TEST(Measures, ARecordWithoutMotion) {
  const Measures m = computeMeasures(std::vector<double>(50, 0.0), 0.01);
  EXPECT_EQ(m.pga, 0);
  EXPECT_EQ(m.arias, 0);
  EXPECT_EQ(m.housner, 0);
  EXPECT_TRUE(std::isnan(m.d5_75));
  EXPECT_TRUE(std::isnan(m.d5_95));
  EXPECT_EQ(measuresCsvRow("still", m), "still,0,0,0,0,nan,nan,0,0,0\n");
}

TEST(Measures, CsvRows) {
  Measures m;
  m.pga = 2.0 / 3;
  m.pgv = 0.1;
  m.pgd = 1e-7;
  m.arias = 1234567.25;
  m.d5_75 = 5;
  m.d5_95 = 21.0013;
  m.cav = 8.53872;
  m.cavStd = 0;
  m.housner = 1.07833;
  EXPECT_EQ(
      measuresCsvHeader(),
      "record,pga_m_s2,pgv_m_s,pgd_m,arias_m_s,d5_75_s,d5_95_s,cav_m_s,cav_std_m_s,housner_5_m\n");
  const std::string values = ",0.6666666667,0.1,1e-07,1234567.25,5,21.0013,8.53872,0,1.07833\n";
  EXPECT_EQ(measuresCsvRow("data/RSN8883.AT2", m), "data/RSN8883.AT2" + values);
  EXPECT_EQ(measuresCsvRow("a,b \"c\".txt", m), "\"a,b \"\"c\"\".txt\"" + values);
}

}  // namespace
}  // namespace accelspec::analysis
