// SPDX-License-Identifier: MIT
#include "matching/baseline.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/analysis_messages.hpp"
#include "analysis/spectra.hpp"
#include "check/check.hpp"
#include "compute/synthesis.hpp"
#include "data/error.hpp"
#include "data/numbers.hpp"
#include "data/plain_form.hpp"
#include "data/store.hpp"
#include "matching/matching_messages.hpp"
#include "records/record.hpp"
#include "tests/analysis/analysis_test_support.hpp"

namespace accelspec::matching {
namespace {

const std::string kData = std::string(ACCELSPEC_TEST_DATA) + "/analysis/data/";

std::vector<double> psaFrom(const std::vector<double>& accel, double dt, double fmin) {
  analysis::SpectraRequest r;
  for (const auto& p : check::checkGrid(dt))
    if (p.frequency >= fmin * (1 - 1e-9)) r.grid.push_back(p);
  r.threads = 2;
  return analysis::computeSpectra(accel, dt, r).values;
}

double largestChange(const std::vector<double>& a, const std::vector<double>& b) {
  double worst = 0;
  for (std::size_t j = 0; j < a.size(); ++j) worst = std::fmax(worst, std::fabs(b[j] / a[j] - 1));
  return worst;
}

void expectEndsAtRest(const std::vector<double>& accel, double dt) {
  const Drift d = driftOf(accel, dt);
  EXPECT_LE(std::fabs(d.finalVelocity), 0.01 * d.peakVelocity);
  EXPECT_LE(std::fabs(d.finalDisplacement), 0.01 * d.peakDisplacement);
}

struct Record {
  std::string name;
  std::vector<double> accel;
  double dt;
};

std::vector<Record> realRecords() {
  std::vector<Record> out;
  records::Reading column;
  column.step = 0.01;
  for (const auto& [file, reading] : std::vector<std::pair<std::string, records::Reading>>{
           {"eqsig_test_motion_dt0p01_column.txt", column},
           {"RSN8883_14383980_13849090.AT2", {}},
           {"RSN8884_14383980_13873360.AT2", {}}}) {
    const records::Record r = records::readRecord(kData + file, reading);
    out.push_back({file, r.accel, r.dt});
  }
  return out;
}

// An offset of the whole record and a baseline that drifts linearly, each at 0.2 % and 1 % of
// the peak acceleration: the drift they cause is removed, and what remains has the spectrum of
// the record without them to within 2 % from 0.2 Hz up.
TEST(Baseline, OffsetsAndDriftsAreRemovedWithoutTouchingTheSpectrum) {
  for (const Record& r : realRecords()) {
    double pga = 0;
    for (double a : r.accel) pga = std::fmax(pga, std::fabs(a));
    const std::vector<double> clean = psaFrom(r.accel, r.dt, 0.2);
    for (const bool linear : {false, true})
      for (const double share : {0.002, 0.01}) {
        SCOPED_TRACE(r.name + (linear ? " linear " : " offset ") + std::to_string(share));
        std::vector<double> a = r.accel;
        for (std::size_t k = 0; k < a.size(); ++k)
          a[k] += share * pga * (linear ? static_cast<double>(k) / a.size() : 1.0);
        const Drift before = driftOf(a, r.dt);
        ASSERT_GT(std::fabs(before.finalDisplacement), 0.2 * before.peakDisplacement);
        correctBaseline(a, r.dt);
        expectEndsAtRest(a, r.dt);
        EXPECT_LE(largestChange(clean, psaFrom(a, r.dt, 0.2)), 0.02);
      }
  }
}

// A sweep's drift is its own content at its lowest frequencies: there the correction changes
// the spectrum, by an amount this test pins so that a change of method shows.
TEST(Baseline, SineSweepChangesOnlyBelowItsLowestFrequencies) {
  auto store = makeStore();
  PlainForm form;
  form.setText(Edit::T, "20");
  form.setText(Edit::ND, "4000");
  form.setText(Edit::DT, "0.005");
  const double f[] = {0.25, 1, 2.5, 9, 33, 50};
  const double a[] = {0.5, 2, 3, 2.5, 1, 1};
  store->N = 6;
  for (int i = 0; i < 6; ++i) store->SpF[i + 1] = f[i], store->SpA[i + 1] = a[i];
  synthesizeAccelerogram(*store, form);
  std::vector<double> accel(store->Acc.begin() + 1, store->Acc.begin() + 4001);
  const std::vector<double> above = psaFrom(accel, 0.005, 0.5);
  std::vector<double> corrected = accel;
  correctBaseline(corrected, 0.005);
  expectEndsAtRest(corrected, 0.005);
  EXPECT_LE(largestChange(above, psaFrom(corrected, 0.005, 0.5)), 0.05);
}

// A record whose drift is its own long-period content (this one's random walk) comes to rest
// too; its spectrum changes where that content is.
TEST(Baseline, ARecordDriftingByItsOwnContentComesToRest) {
  for (const std::uint64_t seed : {1, 2, 3}) {
    std::vector<double> a = testing::syntheticRecord(6000, 0.005, seed);
    correctBaseline(a, 0.005);
    expectEndsAtRest(a, 0.005);
  }
}

TEST(Baseline, RefusesWhatItCannotCorrectAndLeavesItAlone) {
  struct Case {
    std::vector<double> accel;
    double dt;
    std::string_view message;
  };
  const Case cases[] = {
      {{1, 2, 3}, 0, msg::kRecordStep},
      {{1, 2, 3}, -0.01, msg::kRecordStep},
      {{1, 2, 3}, INFINITY, msg::kRecordStep},
      {{1, 2}, 0.01, msg::kBaselineTooShort},
      {{}, 0.01, msg::kBaselineTooShort},
      {{1, NAN, 3}, 0.01, msg::kRecordNotFinite},
      {{1, 2, -INFINITY}, 0.01, msg::kRecordNotFinite},
  };
  for (const Case& c : cases) {
    std::vector<double> a = c.accel;
    try {
      correctBaseline(a, c.dt);
      ADD_FAILURE() << "accepted " << c.message;
    } catch (const AppError& e) {
      EXPECT_EQ(e.what(), std::string(c.message));
    }
    ASSERT_EQ(a.size(), c.accel.size());
    for (std::size_t k = 0; k < a.size(); ++k)
      EXPECT_TRUE(a[k] == c.accel[k] || (std::isnan(a[k]) && std::isnan(c.accel[k])));
  }
}

TEST(Baseline, ThreeSamplesAndAConstantRecordComeToRest) {
  for (const std::vector<double>& a0 :
       {std::vector<double>{1, 1, 1}, std::vector<double>(500, 0.3), std::vector<double>(7, 0)}) {
    std::vector<double> a = a0;
    correctBaseline(a, 0.01);
    const Drift d = driftOf(a, 0.01);
    EXPECT_NEAR(d.finalVelocity, 0, 1e-12);
    EXPECT_NEAR(d.finalDisplacement, 0, 1e-12);
    for (double v : a) EXPECT_TRUE(std::isfinite(v));
  }
}

// The matcher's own correction on records drifting by an offset of 0.2 % of their peak: at rest
// at the end, the first and last samples as they were, the spectrum from 0.5 Hz up within 2 %
// of the record without the offset.
TEST(Baseline, BringToRestLeavesTheEndsAndTheSpectrumAlone) {
  for (const Record& r : realRecords()) {
    SCOPED_TRACE(r.name);
    double pga = 0;
    for (double a : r.accel) pga = std::fmax(pga, std::fabs(a));
    const std::vector<double> clean = psaFrom(r.accel, r.dt, 0.5);
    std::vector<double> a = r.accel;
    for (double& v : a) v += 0.002 * pga;
    const std::vector<double> before = a;
    bringToRest(a, r.dt);
    expectEndsAtRest(a, r.dt);
    EXPECT_EQ(a.front(), before.front());
    EXPECT_EQ(a.back(), before.back());
    EXPECT_LE(largestChange(clean, psaFrom(a, r.dt, 0.5)), 0.02);
  }
  std::vector<double> shortOne = {1, 2};
  bringToRest(shortOne, 0.01);
  EXPECT_EQ(shortOne, (std::vector<double>{1, 2}));
}

TEST(Baseline, DriftOfAHandWorkedRecord) {
  // v: 0, 0.5, 1.5, 2 (dt 1); d: 0, 0.25, 1.25, 3.
  const Drift d = driftOf({0, 1, 1, 0}, 1);
  EXPECT_EQ(d.finalVelocity, 1.5 + 0.5);
  EXPECT_EQ(d.finalDisplacement, 3);
  EXPECT_EQ(d.peakVelocity, 2);
  EXPECT_EQ(d.peakDisplacement, 3);
  EXPECT_EQ(driftOf({5}, 1).peakVelocity, 0);
}

}  // namespace
}  // namespace accelspec::matching
