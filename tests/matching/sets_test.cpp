// SPDX-License-Identifier: MIT
// Noise seeds (the generator's streams, the normal numbers, the envelopes) and sets of
// independent components: the correlation, the refusals, and whole sets matched and checked.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "check/check.hpp"
#include "check/target.hpp"
#include "data/error.hpp"
#include "matching/matching_messages.hpp"
#include "matching/noise.hpp"
#include "matching/set_messages.hpp"
#include "matching/sets.hpp"

namespace accelspec::matching {
namespace {

template <class F>
std::string errorOf(F f) {
  try {
    f();
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

// The streams are std::mt19937_64 seeded through std::seed_seq, whose output the standard lays
// down: its first draw for seed 1, motion 1, component 0, try 0 is the same with every library.
// Each (number, motion, component, try) gives its own stream.
TEST(Noise, StreamsAreNamedAndDistinct) {
  std::seed_seq seq{1u, 0u, 1u, 0u, 0u};
  std::mt19937_64 direct(seq);
  std::mt19937_64 stream = noiseStream(1, 1, 0, 0);
  EXPECT_EQ(stream(), direct());
  std::set<std::uint64_t> firsts;
  for (std::uint64_t number : {1ull, 2ull, (1ull << 32) + 1})
    for (unsigned m = 1; m <= 2; ++m)
      for (unsigned c = 0; c < 3; ++c)
        for (unsigned a = 0; a < 2; ++a) firsts.insert(noiseStream(number, m, c, a)());
  EXPECT_EQ(firsts.size(), 3u * 2 * 3 * 2);  // the high half of NUMBER counts too
}

// Marsaglia's polar method on the engine's raw output: a sample of 200000 has the moments of
// N(0, 1) within their sampling error, and the same engine gives the same numbers.
TEST(Noise, GaussianHasTheMomentsOfTheStandardNormal) {
  std::mt19937_64 e1(42), e2(42);
  Gaussian g1(e1), g2(e2);
  constexpr int n = 200000;
  long double sum = 0, sq = 0, cube = 0, four = 0;
  int beyond3 = 0;
  for (int i = 0; i < n; ++i) {
    const double x = g1();
    ASSERT_EQ(x, g2());
    sum += x;
    sq += x * x;
    cube += x * x * x;
    four += x * x * x * x;
    beyond3 += std::fabs(x) > 3;
  }
  EXPECT_NEAR(static_cast<double>(sum / n), 0, 5 * std::sqrt(1.0 / n));
  EXPECT_NEAR(static_cast<double>(sq / n), 1, 5 * std::sqrt(2.0 / n));
  EXPECT_NEAR(static_cast<double>(cube / n), 0, 5 * std::sqrt(15.0 / n));
  EXPECT_NEAR(static_cast<double>(four / n), 3, 5 * std::sqrt(96.0 / n));
  // P(|x| > 3) = 0.0026998.
  EXPECT_NEAR(beyond3 / static_cast<double>(n), 0.0026998, 5 * std::sqrt(0.0027 / n));
}

// The trapezoid: (t/t1)² up to t1 = strong/5, 1 until t2 = t1 + strong, then exp(−c(t − t2))
// down to 0.02 at the end; at least 20 s long. Saragoni–Hart: its peak 1 at 0.2·tη, η = 0.05 at
// tη, and within 3 dB of the peak for `strong` seconds.
TEST(Noise, EnvelopesHaveTheirPublishedShape) {
  const EnvelopeShape t = envelopeShape(Envelope::Trapezoid, 10);
  EXPECT_DOUBLE_EQ(t.rise, 2);
  EXPECT_DOUBLE_EQ(t.strongEnd, 12);
  EXPECT_DOUBLE_EQ(t.duration, 22);
  EXPECT_DOUBLE_EQ(envelopeAt(Envelope::Trapezoid, t, 1), 0.25);
  EXPECT_DOUBLE_EQ(envelopeAt(Envelope::Trapezoid, t, 2), 1);
  EXPECT_DOUBLE_EQ(envelopeAt(Envelope::Trapezoid, t, 12), 1);
  EXPECT_NEAR(envelopeAt(Envelope::Trapezoid, t, 22), 0.02, 1e-12);
  EXPECT_DOUBLE_EQ(envelopeShape(Envelope::Trapezoid, 5).duration, 20);  // the decay lengthened
  EXPECT_DOUBLE_EQ(envelopeShape(Envelope::Trapezoid, 20).duration, 44);

  const EnvelopeShape s = envelopeShape(Envelope::SaragoniHart, 10);
  EXPECT_NEAR(envelopeAt(Envelope::SaragoniHart, s, 0.2 * s.tEta), 1, 1e-12);
  EXPECT_NEAR(envelopeAt(Envelope::SaragoniHart, s, s.tEta), 0.05, 1e-12);
  EXPECT_LT(envelopeAt(Envelope::SaragoniHart, s, 0.19 * s.tEta), 1);
  EXPECT_LT(envelopeAt(Envelope::SaragoniHart, s, 0.21 * s.tEta), 1);
  double above = 0;
  constexpr double dt = 1e-4;
  for (double x = 0; x < s.tEta; x += dt)
    above += envelopeAt(Envelope::SaragoniHart, s, x) >= std::numbers::sqrt2 / 2 ? dt : 0;
  EXPECT_NEAR(above, 10, 1e-3);
  EXPECT_GE(s.duration, 20);
  EXPECT_EQ(parseEnvelope("jht"), Envelope::Trapezoid);
  EXPECT_EQ(parseEnvelope("sh"), Envelope::SaragoniHart);
  EXPECT_EQ(errorOf([] { parseEnvelope("JHT"); }), msg::kBadEnvelope);
}

// A seed is the stream's numbers under the envelope: zero at t = 0, its strong part louder than
// its rise and coda, the same bytes each time, another stream another record; refused when it
// would be too long or its shape is no number.
TEST(Noise, SeedsFollowTheirEnvelopeAndStream) {
  NoiseParameters p;
  p.dt = 0.01;
  const std::vector<double> a = noiseSeed(p, 1, 0, 0);
  ASSERT_EQ(a.size(), 2200u);
  EXPECT_EQ(a, noiseSeed(p, 1, 0, 0));
  EXPECT_NE(a, noiseSeed(p, 1, 0, 1));
  EXPECT_NE(a, noiseSeed(p, 2, 0, 0));
  EXPECT_EQ(a[0], 0);
  const auto rms = [&](double from, double to) {
    long double s = 0;
    std::size_t n = 0;
    for (std::size_t k = static_cast<std::size_t>(from / p.dt); k < to / p.dt; ++k, ++n)
      s += a[k] * a[k];
    return std::sqrt(static_cast<double>(s / n));
  };
  EXPECT_GT(rms(3, 12), 3 * rms(0, 1));
  EXPECT_GT(rms(3, 12), 10 * rms(20, 22));
  p.strong = 1e9;
  EXPECT_EQ(errorOf([&] { noiseSeed(p, 1, 0, 0); }), msg::kNoiseTooLong);
  p.strong = NAN;
  EXPECT_EQ(errorOf([&] { noiseSeed(p, 1, 0, 0); }), msg::kNoiseBadShape);
  p.strong = 10;
  p.dt = 0;
  EXPECT_EQ(errorOf([&] { noiseSeed(p, 1, 0, 0); }), msg::kNoiseBadShape);
}

TEST(Sets, PearsonOfKnownSignals) {
  std::vector<double> s(1000), c(1000), lin(1000);
  for (std::size_t k = 0; k < s.size(); ++k) {
    s[k] = std::sin(2 * std::numbers::pi * static_cast<double>(k) / 100);
    c[k] = std::cos(2 * std::numbers::pi * static_cast<double>(k) / 100);
    lin[k] = 3 * s[k] + 7;
  }
  EXPECT_NEAR(pearson(s, s), 1, 1e-15);
  EXPECT_NEAR(pearson(s, lin), 1, 1e-15);  // r ignores scale and offset
  for (double& x : lin) x = -x;
  EXPECT_NEAR(pearson(s, lin), -1, 1e-15);
  EXPECT_NEAR(pearson(s, c), 0, 1e-12);
  EXPECT_EQ(pearson(s, std::vector<double>(1000, 2.0)), 0);  // no variance: no correlation
  EXPECT_EQ(pearson({}, {}), 0);
  // Over the common samples only.
  std::vector<double> longer = s;
  longer.resize(1500, 5.0);
  EXPECT_NEAR(pearson(s, longer), 1, 1e-15);
}

TEST(Sets, NamesAndPairs) {
  EXPECT_EQ(setFileName("out/eq", 2, Axis::V), "out/eq_2_V.aks");
  EXPECT_EQ(setFileName("eq", 10, Axis::H2), "eq_10_H2.aks");
  EXPECT_EQ(componentPairs(1).size(), 0u);
  ASSERT_EQ(componentPairs(3).size(), 3u);
  EXPECT_EQ(componentPairs(3)[1], std::make_pair(Axis::H1, Axis::V));
  EXPECT_EQ(componentPairs(3)[2], std::make_pair(Axis::H2, Axis::V));
}

TEST(Sets, RefusedRequests) {
  const auto base = [] {
    SetRequest r;
    r.horizontal = check::parseTarget("rg160:0.3");
    r.vertical = check::parseTarget("rg160:0.3*2/3");
    r.components = 3;
    return r;
  };
  struct Row {
    void (*change)(SetRequest&);
    std::string message;
  } rows[] = {
      {[](SetRequest& r) { r.components = 0; }, std::string(msg::kSetBadComponents)},
      {[](SetRequest& r) { r.components = 4; }, std::string(msg::kSetBadComponents)},
      {[](SetRequest& r) { r.count = 0; }, std::string(msg::kSetBadCount)},
      {[](SetRequest& r) { r.count = 101; }, std::string(msg::kSetBadCount)},
      {[](SetRequest& r) { r.maxCorrelation = 0; }, std::string(msg::kSetBadCorrelation)},
      {[](SetRequest& r) { r.maxCorrelation = 1.5; }, std::string(msg::kSetBadCorrelation)},
      {[](SetRequest& r) { r.maxCorrelation = NAN; }, std::string(msg::kSetBadCorrelation)},
      {[](SetRequest& r) { r.vertical.reset(); }, std::string(msg::kSetNoVertical)},
      {[](SetRequest& r) { r.seedKind = SeedKind::Sweep; }, std::string(msg::kSetSweepOnce)},
      {[](SetRequest& r) {
         r.seedKind = SeedKind::Sweep;
         r.components = 1;
         r.count = 2;
       },
       std::string(msg::kSetSweepOnce)},
      {[](SetRequest& r) {
         r.seedKind = SeedKind::Records;
         r.records.resize(2);
       },
       msg::setTooFewSeeds(3, 2)},
      {[](SetRequest& r) {
         r.seedKind = SeedKind::Records;
         r.records.resize(3);
         r.records[0].dt = r.records[1].dt = 0.01;
         r.records[2].dt = 0.005;
       },
       std::string(msg::kSetSeedSteps)},
      {[](SetRequest& r) { r.noise.strong = -1; }, std::string(msg::kNoiseBadShape)},
      {[](SetRequest& r) { r.noise.strong = 1000; }, std::string(msg::kNoiseTooLong)},
      {[](SetRequest& r) { r.iterations = 0; }, std::string(msg::kMatchBadIterations)},
      {[](SetRequest& r) { r.parameters.damping = 1; }, std::string(msg::kMatchBadDamping)},
  };
  for (const auto& row : rows) {
    SetRequest r = base();
    row.change(r);
    EXPECT_EQ(errorOf([&] { validateSetRequest(r); }), row.message) << row.message;
    EXPECT_EQ(errorOf([&] { matchSet(r); }), row.message) << row.message;
  }
  EXPECT_EQ(errorOf([&] { validateSetRequest(base()); }), "");
  EXPECT_EQ(msg::setTooFewSeeds(3, 2),
            "нужно не менее 3 записей-основ (по одной на компоненту), дано 2");
}

// Whole sets from noise: every component passes its rule against its own target when checked
// again from its samples, the correlations are those of the samples and within the limit, and
// the same request gives the same numbers.
TEST(Sets, NoiseSetPassesComponentByComponent) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  SetRequest r;
  r.horizontal = check::parseTarget("rg160:0.3");
  r.vertical = check::parseTarget("rg160:0.3*2/3");
  r.components = 3;
  r.count = 2;
  r.noise.dt = 0.01;
  r.threads = 2;
  int reports = 0;
  const SetResult set = matchSet(r, [&](int, Axis, int, int, double, double) { ++reports; });
  ASSERT_TRUE(set.passed);
  ASSERT_EQ(set.components.size(), 6u);
  EXPECT_GT(reports, 6);
  ASSERT_EQ(set.correlations.size(), 2u);
  for (std::size_t i = 0; i < set.components.size(); ++i) {
    const SetComponent& c = set.components[i];
    EXPECT_EQ(c.motion, static_cast<int>(i / 3) + 1);
    EXPECT_EQ(c.axis, static_cast<Axis>(i % 3));
    records::Record rec;
    rec.name = "c";
    rec.dt = c.dt;
    rec.accel = c.match.accel;
    const check::CheckResult again =
        check::checkRecords(c.axis == Axis::V ? *r.vertical : r.horizontal, r.parameters, {rec}, 1);
    EXPECT_TRUE(again.pass) << i << "\n" << check::checkText(again);
    EXPECT_EQ(c.targetText, c.axis == Axis::V ? "rg160:0.3*2/3" : "rg160:0.3");
  }
  for (std::size_t m = 0; m < 2; ++m) {
    const auto& k = set.components;
    const std::vector<double> expected = {
        pearson(k[3 * m].match.accel, k[3 * m + 1].match.accel),
        pearson(k[3 * m].match.accel, k[3 * m + 2].match.accel),
        pearson(k[3 * m + 1].match.accel, k[3 * m + 2].match.accel)};
    EXPECT_EQ(set.correlations[m], expected);
    for (double x : expected) EXPECT_LE(std::fabs(x), kDefaultMaxCorrelation);
  }
  // The vertical component's peak follows its own target's zero-period value.
  EXPECT_LT(set.components[2].match.peak, 0.8 * set.components[0].match.peak);
  const SetResult again = matchSet(r);
  ASSERT_TRUE(again.passed);
  for (std::size_t i = 0; i < 6; ++i)
    EXPECT_EQ(again.components[i].match.accel, set.components[i].match.accel) << i;
}

// A limit no pair of independent records meets: every stream of the second component is tried,
// the set fails on the correlation with the least |r| reached, and nothing is returned.
TEST(Sets, CorrelationAboveTheLimitRemakesThenFails) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  SetRequest r;
  r.horizontal = check::parseTarget("rg160:0.3");
  r.components = 2;
  r.noise.dt = 0.01;
  r.maxCorrelation = 1e-6;
  r.threads = 2;
  std::set<int> attempts;
  const SetResult set = matchSet(r, [&](int, Axis axis, int attempt, int, double, double) {
    if (axis == Axis::H2) attempts.insert(attempt);
  });
  EXPECT_FALSE(set.passed);
  EXPECT_TRUE(set.components.empty());
  ASSERT_TRUE(set.failure);
  EXPECT_EQ(set.failure->axis, Axis::H2);
  EXPECT_TRUE(set.failure->correlation);
  EXPECT_EQ(set.failure->tries, kNoiseAttempts);
  EXPECT_EQ(set.failure->other, Axis::H1);
  EXPECT_GT(set.failure->correlationValue, 1e-6);
  EXPECT_LT(set.failure->correlationValue, 0.16);
  EXPECT_EQ(attempts.size(), static_cast<std::size_t>(kNoiseAttempts));
}

// Recorded seeds: one record given twice is the same motion twice (r = 1 after matching alike):
// the second component is made again from the next record, and the set says it took two tries.
TEST(Sets, ARepeatedRecordIsReplacedByTheNext) {
  if (!ACCELSPEC_HEAVY_TESTS) GTEST_SKIP() << "whole records are matched in optimised builds";
  NoiseParameters p;
  p.dt = 0.01;
  records::Record a, b;
  a.name = "a";
  a.dt = b.dt = 0.01;
  a.accel = noiseSeed(p, 9, 0, 0);
  b.name = "b";
  b.accel = noiseSeed(p, 9, 1, 0);
  b.accel.resize(1500);  // shorter: padded with zeros to the longest
  SetRequest r;
  r.horizontal = check::parseTarget("rg160:0.3");
  r.components = 2;
  r.seedKind = SeedKind::Records;
  r.records = {a, a, b};
  r.threads = 2;
  const SetResult set = matchSet(r);
  ASSERT_TRUE(set.passed);
  ASSERT_EQ(set.components.size(), 2u);
  EXPECT_EQ(set.components[0].seed, "a");
  EXPECT_EQ(set.components[1].seed, "b");
  EXPECT_EQ(set.components[1].tries, 2);
  EXPECT_EQ(set.components[1].match.accel.size(), a.accel.size());
  EXPECT_LE(std::fabs(set.correlations[0][0]), 0.16);
  // With no third record the set cannot be made, and says the seeds ran out.
  r.records = {a, a};
  const SetResult none = matchSet(r);
  ASSERT_TRUE(none.failure);
  EXPECT_TRUE(none.failure->seedsExhausted);
  EXPECT_TRUE(none.failure->correlation);
  EXPECT_EQ(none.failure->tries, 1);
}

}  // namespace
}  // namespace accelspec::matching
