// SPDX-License-Identifier: MIT
#include "compute/synthesis.hpp"

#include <cmath>
#include <cstdint>
#include <string>

#include "compute/constants.hpp"
#include "compute_test_support.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "data/numbers.hpp"

namespace accelspec {
namespace {

using testing::failureOf;
using testing::Fixture;

void setSpectrum(Store& s, std::initializer_list<std::pair<long double, long double>> points) {
  s.N = 0;
  for (auto [f, a] : points) {
    ++s.N;
    s.SpF[s.N] = f;
    s.SpA[s.N] = a;
  }
}

void setTimes(PlainForm& form, const char* T, const char* ND, const char* DT) {
  form.setText(Edit::T, T);
  form.setText(Edit::ND, ND);
  form.setText(Edit::DT, DT);
}

TEST(Synthesis, WorkedExampleOfSixSamples) {
  Fixture t;
  setSpectrum(t.s, {{1, 2}, {2, 4}, {4, 2}});
  setTimes(t.form, "1", "5", "0.25");
  t.form.memo = "notes";
  synthesizeAccelerogram(t.s, t.form);

  EXPECT_EQ(t.s.Mode, kModeAccelerogram);
  EXPECT_EQ(t.s.ND, 5);
  EXPECT_EQ(t.form.memo, "");
  EXPECT_EQ(t.form.text(Edit::Tbeg), "0");
  EXPECT_EQ(t.form.text(Edit::Tend), "1");
  EXPECT_EQ(t.s.SweepT[1], 0);
  EXPECT_EQ(t.s.SweepT[2], 0.5L);
  EXPECT_EQ(t.s.SweepT[3], 1);
  const double expected[] = {2, -1.713178, 2.422799, -2.943986, -1.856483, 0.338878};
  for (int k = 1; k <= 6; ++k)
    EXPECT_NEAR(static_cast<double>(t.s.Acc[k]), expected[k - 1], 5e-7) << "sample " << k;
  EXPECT_EQ(t.s.Acc[1], 2);  // a quarter cycle: sin is exactly 1
  EXPECT_EQ(t.s.Acc[7], 0);
  const auto& p = t.form.chart().series(0).points();
  ASSERT_EQ(p.size(), 6u);  // one sample more than ND is drawn
  EXPECT_EQ(p[5].x, 1.25);
  EXPECT_EQ(t.form.chart().title(), "АКСЕЛЕРОГРАММА");
  EXPECT_EQ(t.form.chart().bottomAxisTitle(), "Время (секунды)");
}

TEST(Synthesis, TwoPointsOfEqualAmplitude) {
  Fixture t;
  setSpectrum(t.s, {{1, 1}, {2, 1}});
  setTimes(t.form, "1", "5", "0.25");
  synthesizeAccelerogram(t.s, t.form);
  EXPECT_EQ(t.form.chart().series(0).size(), 5u);
  EXPECT_EQ(t.s.Acc[1], 1);
  EXPECT_NEAR(static_cast<double>(t.s.Acc[5]), -0.901310, 5e-7);
}

TEST(Synthesis, DescendingSpectrumSweepsDownwardAndRepeatsExactly) {
  Fixture t;
  setSpectrum(t.s, {{4, 2}, {2, 4}, {1, 2}});
  setTimes(t.form, "1", "5", "0.25");
  synthesizeAccelerogram(t.s, t.form);
  EXPECT_EQ(t.s.SweepT[1], 0);
  EXPECT_EQ(t.s.SweepT[3], 1);
  EXPECT_GT(t.s.SweepT[2], 0);
  const RealArray first = t.s.Acc;
  synthesizeAccelerogram(t.s, t.form);
  EXPECT_EQ(first, t.s.Acc);  // the phase restarts at 0 every run
}

TEST(Synthesis, DefaultsGiveAtLeastNDSamplesAndKeepND) {
  Fixture t;
  setSpectrum(t.s, {{1, 1}, {5, 3}, {10, 2}});
  synthesizeAccelerogram(t.s, t.form);
  EXPECT_EQ(t.s.ND, 5000);
  EXPECT_EQ(t.form.text(Edit::Tend), "19.996");
  const auto samples = t.form.chart().series(0).size();
  EXPECT_GE(samples, 5000u);
  EXPECT_LE(samples, 5002u);
}

TEST(Synthesis, FailuresKeepWhatWasDone) {
  struct Case {
    const char* name;
    std::initializer_list<std::pair<long double, long double>> spectrum;
    const char *T, *ND, *DT;
    std::string message;
  };
  const Case cases[] = {
      {"one point", {{1, 1}}, "1", "5", "0.25", std::string(msg::kInvalidOp)},
      {"equal ends", {{2, 1}, {3, 1}, {2, 1}}, "1", "5", "0.25", std::string(msg::kInvalidOp)},
      {"zero first frequency", {{0, 1}, {2, 1}}, "1", "5", "0.25", std::string(msg::kInvalidOp)},
      {"zero ratio", {{1, 1}, {0, 1}, {4, 1}}, "1", "5", "0.25", std::string(msg::kDivByZero)},
      {"negative ratio", {{1, 1}, {-2, 1}, {4, 1}}, "1", "5", "0.25", std::string(msg::kInvalidOp)},
      {"zero step", {{1, 1}, {2, 1}}, "1", "5", "0", std::string(msg::kDivByZero)},
      {"zero duration", {{1, 1}, {2, 1}}, "0", "5", "0.25", std::string(msg::kInvalidOp)},
      {"bad T", {{1, 1}, {2, 1}}, "x", "5", "0.25", "'x' is not a valid floating point value"},
      {"bad ND", {{1, 1}, {2, 1}}, "1", "5.5", "0.25", "'5.5' is not a valid integer value"},
      {"bad DT", {{1, 1}, {2, 1}}, "1", "5", "", "'' is not a valid floating point value"},
      {"ND beyond the array",
       {{1, 1}, {2, 1}},
       "1",
       "100001",
       "0.25",
       std::string(msg::kTooManySamples)},
  };
  for (const auto& c : cases) {
    Fixture t;
    setSpectrum(t.s, c.spectrum);
    setTimes(t.form, c.T, c.ND, c.DT);
    t.s.Acc[1] = 7;
    t.form.chart().series(2).add(1, 1);
    EXPECT_EQ(failureOf([&] { synthesizeAccelerogram(t.s, t.form); }), c.message) << c.name;
    EXPECT_EQ(t.s.Mode, kModeAccelerogram) << c.name;
    EXPECT_EQ(t.form.chart().title(), "АКСЕЛЕРОГРАММА") << c.name;
    EXPECT_TRUE(t.form.chart().series(2).empty()) << c.name;
    EXPECT_TRUE(t.form.chart().series(0).empty()) << c.name;
    EXPECT_EQ(t.s.Acc[1], 7) << c.name;
  }
}

// The sweep kernel alone, as the matching calls it with numbers and without a chart, gives the
// command's samples to the bit and fails with the command's first fault.
TEST(Synthesis, TheKernelAloneGivesTheCommandsSamplesAndFaults) {
  struct Case {
    const char* name;
    std::initializer_list<std::pair<long double, long double>> spectrum;
    long double T, DT;
    std::int32_t ND;
  };
  const Case cases[] = {
      {"rising", {{0.2L, 1}, {1, 3}, {5, 2}, {25, 0.5L}}, 20, 0.004L, 5000},
      {"falling", {{8, 1}, {2, 2}, {0.5L, 1}}, 10, 0.01L, 1000},
      {"zero ratio", {{1, 1}, {0, 1}, {4, 1}}, 1, 0.25L, 5},
      {"gone back", {{1, 1}, {2, 1}, {0.25L, 1}, {4, 1}}, 1, 0.25L, 5},
      {"zero step", {{1, 1}, {2, 1}}, 1, 0, 5},
  };
  for (const auto& c : cases) {
    Fixture command, kernel;
    setSpectrum(command.s, c.spectrum);
    setSpectrum(kernel.s, c.spectrum);
    command.form.setText(Edit::T, realToText(c.T, '.'));
    command.form.setText(Edit::ND, std::to_string(c.ND));
    command.form.setText(Edit::DT, realToText(c.DT, '.'));
    kernel.s.T = c.T;
    kernel.s.ND = c.ND;
    kernel.s.DT = c.DT;
    const std::string failed = failureOf([&] { synthesizeAccelerogram(command.s, command.form); });
    fpu::clear();
    EXPECT_EQ(failureOf([&] { sweepAccelerogram(kernel.s, nullptr); }), failed) << c.name;
    for (int k = 1; k <= kMaxSamples; ++k)
      ASSERT_EQ(kernel.s.Acc[k], command.s.Acc[k]) << c.name << " sample " << k;
    for (int i = 1; i <= kernel.s.N; ++i)
      EXPECT_EQ(kernel.s.SweepT[i], command.s.SweepT[i]) << c.name << " point " << i;
  }
}

TEST(Synthesis, ASweepGoneBackBeforeTheFirstSampleStopsThere) {
  Fixture t;
  setSpectrum(t.s, {{1, 1}, {2, 1}, {0.25L, 1}, {4, 1}});  // sweep times 0, 0.5, -1, 1
  setTimes(t.form, "1", "5", "0.25");
  t.s.Acc[0] = 123;
  EXPECT_EQ(failureOf([&] { synthesizeAccelerogram(t.s, t.form); }), msg::kSynthesisOutOfRange);
  EXPECT_EQ(t.form.chart().series(0).size(), 3u);  // the first segment stays drawn
  EXPECT_EQ(t.s.Acc[0], 123);
}

TEST(Synthesis, TheSweepStopsAtTheEndOfTheArray) {
  struct Case {
    const char *T, *ND, *DT;
  };
  // 100001 samples for a full record of 100000; twice the array; an absurd step count.
  const Case cases[] = {
      {"20", "100000", "0.0002"}, {"20", "5000", "0.0001"}, {"1", "5", "1e-4000"}};
  for (const auto& c : cases) {
    Fixture t;
    setSpectrum(t.s, {{1, 1}, {2, 1}});
    setTimes(t.form, c.T, c.ND, c.DT);
    synthesizeAccelerogram(t.s, t.form);
    EXPECT_EQ(t.form.chart().series(0).size(), 100000u) << c.DT;
    EXPECT_NE(t.s.Acc[100000], 0) << c.DT;
    EXPECT_EQ(t.s.ND, std::stoi(c.ND));
  }
}

TEST(Synthesis, ConversionsStoreInOrderUntilTheFailingOne) {
  Fixture t;
  setTimes(t.form, "3", "bad", "0.5");
  t.s.ND = 9;
  failureOf([&] { synthesizeAccelerogram(t.s, t.form); });
  EXPECT_EQ(t.s.T, 3);
  EXPECT_EQ(t.s.ND, 9);
  EXPECT_EQ(t.s.DT, 0);
  EXPECT_EQ(t.form.text(Edit::Tend), "0");  // steps after the conversions did not run

  Fixture z;
  setSpectrum(z.s, {{1, 1}, {2, 1}});
  setTimes(z.form, "1", "1", "0");
  failureOf([&] { synthesizeAccelerogram(z.s, z.form); });
  EXPECT_EQ(z.form.text(Edit::Tend), "0");
}

TEST(Synthesis, NoPointsIsNotAFailure) {
  Fixture t;
  t.s.Acc[3] = 5;
  synthesizeAccelerogram(t.s, t.form);
  EXPECT_TRUE(t.form.chart().series(0).empty());
  EXPECT_EQ(t.s.Acc[3], 5);
  EXPECT_EQ(t.s.Mode, kModeAccelerogram);
}

TEST(Synthesis, TwoPiIsTheNearestExtendedValue) {
  EXPECT_EQ(kTwoPi, 6.283185307179586477L);
  EXPECT_EQ(kTwoPi / 2, 3.14159265358979323846L);
  EXPECT_EQ(static_cast<double>(kTwoPi), 6.283185307179586);
}

}  // namespace
}  // namespace accelspec
