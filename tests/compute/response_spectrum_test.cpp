// SPDX-License-Identifier: MIT
#include "compute/response_spectrum.hpp"

#include <cmath>

#include "compute/constants.hpp"
#include "compute_test_support.hpp"
#include "data/messages.hpp"

namespace accelspec {
namespace {

using testing::failureOf;
using testing::Fixture;

void setRange(PlainForm& form, const char* fbeg, const char* fend, const char* df,
              const char* psi = "0.1", const char* dt = "0.004") {
  form.setText(Edit::Fbeg, fbeg);
  form.setText(Edit::Fend, fend);
  form.setText(Edit::DF, df);
  form.setText(Edit::Psi, psi);
  form.setText(Edit::DT, dt);
}

// A record with some content: a decaying 3 Hz wave.
void setRecord(Store& s, int nd, long double dt = 0.004L) {
  s.ND = nd;
  s.DT = dt;
  for (int k = 1; k <= nd; ++k) {
    const long double t = (k - 1) * dt;
    s.Acc[k] = std::sin(kTwoPi * 3 * t) * std::exp(-0.2L * t);
  }
}

TEST(ResponseSpectrum, PointCountsAndFrequencies) {
  struct Case {
    const char *fbeg, *fend, *df;
    int nf;
    long double first, last;
  };
  const Case cases[] = {
      {"2", "30", "0.5", 56, 2, 30},
      {"2", "30", "0.3", 93, 2, 29.9L},
      {"10", "9.5", "1", 0, 10, 10},
      {"30", "2", "-0.5", 56, 30, 2},
  };
  for (const auto& c : cases) {
    Fixture t;
    setRecord(t.s, 500);
    setRange(t.form, c.fbeg, c.fend, c.df);
    computeResponseSpectrum(t.s, t.form);
    EXPECT_EQ(t.s.NF, c.nf) << c.df;
    EXPECT_NEAR(static_cast<double>(t.s.SpF[kResponseBase]), static_cast<double>(c.first), 1e-12);
    EXPECT_NEAR(static_cast<double>(t.s.SpF[kResponseBase + c.nf]), static_cast<double>(c.last),
                1e-12);
    const auto& p = t.form.chart().series(0).points();
    ASSERT_EQ(p.size(), static_cast<size_t>(c.nf + 1));
    EXPECT_LE(p.front().x, p.back().x);  // drawn by ascending frequency
    for (int j = 0; j <= c.nf; ++j) EXPECT_GT(t.s.SpA[kResponseBase + j], 0);
  }
}

TEST(ResponseSpectrum, NegativeCountComputesNothing) {
  Fixture t;
  setRange(t.form, "30", "2", "0.5");
  t.s.SpA[kResponseBase] = 11;
  t.form.memo = "x";
  computeResponseSpectrum(t.s, t.form);
  EXPECT_EQ(t.s.NF, -56);
  EXPECT_EQ(t.s.Mode, kModeResponseSpectrum);
  EXPECT_EQ(t.form.memo, "");
  EXPECT_EQ(t.s.SpA[kResponseBase], 11);
  EXPECT_TRUE(t.form.chart().series(0).empty());
  EXPECT_EQ(t.form.chart().title(), "СПЕКТР ОТВЕТОВ");
}

TEST(ResponseSpectrum, ShortOrSilentRecordsGiveZeros) {
  for (int nd : {0, 1, 500}) {
    Fixture t;
    t.s.ND = nd;  // Acc all zero
    t.s.Acc[1] = nd == 500 ? 0 : 3;
    setRange(t.form, "2", "4", "1");
    computeResponseSpectrum(t.s, t.form);
    for (int j = 0; j <= 2; ++j) EXPECT_EQ(t.s.SpA[kResponseBase + j], 0) << nd;
  }
}

TEST(ResponseSpectrum, UndampedConstantAccelerationPeaksBelowTwiceIt) {
  Fixture t;
  const long double a = -1.5L, dt = 0.004L;
  const int nd = 700;
  t.s.ND = nd;
  for (int k = 1; k <= nd; ++k) t.s.Acc[k] = a;
  setRange(t.form, "2", "7", "2.5", "0");
  computeResponseSpectrum(t.s, t.form);
  for (int j = 0; j <= 2; ++j) {
    const long double w = (2 + 2.5L * j) * kTwoPi;
    long double expected = 0;
    for (int k = 2; k <= nd; ++k) expected = std::fmax(expected, 1 - std::cos(w * (k - 1) * dt));
    expected *= std::fabs(a);
    const long double got = t.s.SpA[kResponseBase + j];
    EXPECT_NEAR(static_cast<double>(got / expected), 1.0, 1e-12) << j;
    EXPECT_LE(got, 2 * std::fabs(a) * (1 + 1e-15L));
  }
}

TEST(ResponseSpectrum, DampingAndStepChangeTheResultAndNDComesFromTheStore) {
  Fixture t;
  setRecord(t.s, 1000);
  setRange(t.form, "3", "3", "1", "0.05");
  computeResponseSpectrum(t.s, t.form);
  const long double light = t.s.SpA[kResponseBase];
  t.form.setText(Edit::Psi, "0.3");
  t.form.setText(Edit::ND, "10");  // not read
  computeResponseSpectrum(t.s, t.form);
  EXPECT_LT(t.s.SpA[kResponseBase], light);  // resonance is tamed by damping
  EXPECT_EQ(t.s.Psi, 0.3L);
  t.form.setText(Edit::DT, "0.008");
  const long double before = t.s.SpA[kResponseBase];
  computeResponseSpectrum(t.s, t.form);
  EXPECT_NE(t.s.SpA[kResponseBase], before);
  EXPECT_EQ(t.s.DT, 0.008L);
}

TEST(ResponseSpectrum, Failures) {
  struct Case {
    const char* name;
    const char *fbeg, *fend, *df, *psi, *dt;
    std::string message;
    int nf;           // NF afterwards (7 = unchanged)
    size_t drawn;     // points on the chart
    int storedUntil;  // points stored (-1: none)
  };
  const Case cases[] = {
      {"bad Fend", "2", "z", "0.5", "0.1", "0.004", "'z' is not a valid floating point value", 7, 0,
       -1},
      {"DF 0", "2", "30", "0", "0.1", "0.004", std::string(msg::kDivByZero), 7, 0, -1},
      {"DF 0, equal ends", "2", "2", "0", "0.1", "0.004", std::string(msg::kInvalidOp), 7, 0, -1},
      {"zero frequency", "-1", "1", "1", "0.1", "0.004", std::string(msg::kInvalidOp), 2, 1, 0},
      {"Fbeg 0", "0", "1", "1", "0.1", "0.004", std::string(msg::kInvalidOp), 1, 0, -1},
      {"critical damping", "2", "3", "1", "1", "0.004", std::string(msg::kInvalidOp), 1, 0, -1},
      {"over-critical", "2", "3", "1", "1.5", "0.004", std::string(msg::kInvalidOp), 1, 0, -1},
      {"negative over-critical", "2", "3", "1", "-1", "0.004", std::string(msg::kInvalidOp), 1, 0,
       -1},
      {"DT 0", "2", "3", "1", "0.1", "0", std::string(msg::kInvalidOp), 1, 0, -1},
      {"too many points", "0.001", "1000", "0.001", "0.1", "0.004",
       std::string(msg::kTooManyFrequencies), 7, 0, -1},
      {"quotient beyond 32 bits", "1e12", "0", "1", "0.1", "0.004",
       std::string(msg::kFrequencyCountOutOfRange), 7, 0, -1},
      {"quotient beyond 64 bits", "0", "1e30", "1", "0.1", "0.004",
       std::string(msg::kTooManyFrequencies), 7, 0, -1},
  };
  for (const auto& c : cases) {
    Fixture t;
    setRecord(t.s, 300);
    t.s.NF = 7;
    for (int j = 0; j < 3; ++j) t.s.SpA[kResponseBase + j] = 99;
    setRange(t.form, c.fbeg, c.fend, c.df, c.psi, c.dt);
    EXPECT_EQ(failureOf([&] { computeResponseSpectrum(t.s, t.form); }), c.message) << c.name;
    EXPECT_EQ(t.s.Mode, kModeResponseSpectrum) << c.name;
    EXPECT_EQ(t.s.NF, c.nf) << c.name;
    EXPECT_EQ(t.form.chart().series(0).size(), c.drawn) << c.name;
    for (int j = 0; j < 3; ++j)
      EXPECT_EQ(t.s.SpA[kResponseBase + j] != 99, j <= c.storedUntil) << c.name << " " << j;
  }
}

TEST(ResponseSpectrum, PeakBeyondTheDoubleRangeIsStoredButNotDrawn) {
  Fixture t;
  t.s.ND = 2;
  t.s.Acc[2] = 1e400L;
  setRange(t.form, "2", "3", "1");
  EXPECT_EQ(failureOf([&] { computeResponseSpectrum(t.s, t.form); }), msg::kOverflow);
  EXPECT_GT(t.s.SpA[kResponseBase], 1e309L);
  EXPECT_TRUE(t.form.chart().series(0).empty());
}

TEST(ResponseSpectrum, GrowingResponseOverflows) {
  Fixture t;
  setRecord(t.s, 100000, 0.01L);
  setRange(t.form, "2", "2", "1", "-0.95", "0.01");
  EXPECT_EQ(failureOf([&] { computeResponseSpectrum(t.s, t.form); }), msg::kOverflow);
  EXPECT_TRUE(t.form.chart().series(0).empty());
}

class CancelAfter : public ResponseProgress {
 public:
  explicit CancelAfter(std::int64_t n) : n_(n) {}
  bool proceed(std::int64_t done, std::int64_t) override { return done < n_; }

 private:
  std::int64_t n_;
};

TEST(ResponseSpectrum, CancelKeepsTheFinishedPoints) {
  Fixture t;
  setRecord(t.s, 200);
  setRange(t.form, "2", "30", "0.5");
  CancelAfter cancel(5);
  // The serial reference reports after every point, so the run stops right after point 5.
  computeResponseSpectrum(t.s, t.form, &cancel, nullptr);
  EXPECT_EQ(t.s.NF, 4);
  EXPECT_EQ(t.form.chart().series(0).size(), 5u);
}

}  // namespace
}  // namespace accelspec
