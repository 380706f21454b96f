// SPDX-License-Identifier: MIT
#include "compute/response_engine.hpp"

#include <fpu_control.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "compute/constants.hpp"
#include "compute/oscillator.hpp"
#include "compute/synthesis.hpp"
#include "compute_test_support.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"

namespace accelspec {
namespace {

using testing::failureOf;
using testing::Fixture;

// The 64 significand and 16 sign-and-exponent bits; the rest of the 16 bytes is padding.
bool sameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

struct Texts {
  const char *fbeg, *fend, *df, *psi, *dt;
};

void setTexts(PlainForm& form, const Texts& t) {
  form.setText(Edit::Fbeg, t.fbeg);
  form.setText(Edit::Fend, t.fend);
  form.setText(Edit::DF, t.df);
  form.setText(Edit::Psi, t.psi);
  form.setText(Edit::DT, t.dt);
}

// A record with a 15 Hz resonance, a slow sweep and a little deterministic noise.
void setRecord(Store& s, int nd, long double scale = 1) {
  s.ND = nd;
  std::uint64_t seed = 88172645463325252u;
  for (int k = 1; k <= nd; ++k) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    const long double noise = static_cast<long double>(seed >> 11) * 0x1p-53L - 0.5L;
    const long double t = (k - 1) * 0.004L;
    s.Acc[k] = scale * (std::sin(kTwoPi * 15 * t) + 0.5L * std::sin(kTwoPi * (1 + 0.2L * t) * t) +
                        0.1L * noise);
  }
}

// Marks the response region so that any write into it shows.
void markRegion(Store& s) {
  s.NF = 7;
  for (int i = kResponseBase; i < kArraySize; ++i) {
    s.SpF[i] = -1000 - i;
    s.SpA[i] = -2000 - i;
  }
}

// Runs the command and returns its failure ("" when none).
std::string run(Fixture& t, const Texts& texts, ResponseEngine* engine,
                ResponseProgress* progress = nullptr) {
  setTexts(t.form, texts);
  return failureOf([&] { computeResponseSpectrum(t.s, t.form, progress, engine); });
}

// Everything the command leaves behind, compared bit for bit.
void expectSameOutcome(Fixture& want, Fixture& got, const std::string& label) {
  EXPECT_EQ(got.s.Mode, want.s.Mode) << label;
  EXPECT_EQ(got.s.NF, want.s.NF) << label;
  for (auto [a, b] : {std::pair{want.s.Fbeg, got.s.Fbeg}, std::pair{want.s.DF, got.s.DF},
                      std::pair{want.s.Psi, got.s.Psi}, std::pair{want.s.DT, got.s.DT}})
    EXPECT_TRUE(sameBits(a, b)) << label;
  int differing = 0;
  for (int i = kResponseBase; i < kArraySize; ++i)
    if (!sameBits(want.s.SpF[i], got.s.SpF[i]) || !sameBits(want.s.SpA[i], got.s.SpA[i]))
      if (differing++ == 0)
        ADD_FAILURE() << label << ": first difference at J " << i - kResponseBase;
  const auto& p = want.form.chart().series(0).points();
  const auto& q = got.form.chart().series(0).points();
  ASSERT_EQ(q.size(), p.size()) << label;
  EXPECT_TRUE(p.empty() || std::memcmp(p.data(), q.data(), p.size() * sizeof p[0]) == 0) << label;
  EXPECT_EQ(got.form.chart().title(), want.form.chart().title()) << label;
}

constexpr unsigned kThreadCounts[] = {1, 2, 3, 4};

// The serial reference and engines of several sizes on the same record and texts.
void expectEngineMatchesSerial(const Texts& texts, int nd, long double scale,
                               const std::string& wantMessage, const std::string& label) {
  Fixture serial;
  setRecord(serial.s, nd, scale);
  markRegion(serial.s);
  EXPECT_EQ(run(serial, texts, nullptr), wantMessage) << label;
  for (unsigned threads : kThreadCounts) {
    ResponseEngine engine(threads);
    Fixture t;
    setRecord(t.s, nd, scale);
    markRegion(t.s);
    EXPECT_EQ(run(t, texts, &engine), wantMessage) << label << ", " << threads << " threads";
    expectSameOutcome(serial, t, label + ", " + std::to_string(threads) + " threads");
  }
}

TEST(ResponseEngine, SameBitsAsTheSerialReference) {
  struct Case {
    const char* name;
    Texts texts;
    int nd;
  };
  const Case cases[] = {
      {"defaults", {"2", "30", "0.5", "0.1", "0.004"}, 5000},
      {"undamped", {"2", "30", "0.5", "0", "0.004"}, 3000},
      {"damping 0.02", {"2", "30", "0.5", "0.02", "0.004"}, 3000},
      {"damping 0.05", {"2", "30", "0.5", "0.05", "0.004"}, 3000},
      {"damping 0.3", {"2", "30", "0.5", "0.3", "0.004"}, 3000},
      {"negative damping", {"2", "30", "0.5", "-0.01", "0.004"}, 3000},
      {"descending", {"30", "2", "-0.5", "0.1", "0.004"}, 3000},
      {"one point", {"10", "9.5", "1", "0.1", "0.004"}, 3000},
      {"7 points", {"2", "5", "0.5", "0.1", "0.004"}, 4097},
      {"13 points", {"1", "7", "0.5", "0.05", "0.01"}, 8193},
      {"no point", {"30", "2", "0.5", "0.1", "0.004"}, 3000},
      {"two samples", {"2", "30", "0.5", "0.1", "0.004"}, 2},
      {"one sample", {"2", "30", "0.5", "0.1", "0.004"}, 1},
      {"many short records", {"0.5", "800", "0.01", "0.1", "0.004"}, 40},
  };
  for (const auto& c : cases) expectEngineMatchesSerial(c.texts, c.nd, 1, "", c.name);
}

TEST(ResponseEngine, SameBitsOnASynthesisedRecord) {
  Fixture serial, t;
  ResponseEngine engine(2);
  for (Fixture* f : {&serial, &t}) {
    f->s.N = 4;
    const long double points[][2] = {{1, 2}, {5, 4}, {20, 3}, {40, 1}};
    for (int i = 1; i <= 4; ++i) f->s.SpF[i] = points[i - 1][0], f->s.SpA[i] = points[i - 1][1];
    f->form.setText(Edit::T, "20");
    f->form.setText(Edit::ND, "5000");
    f->form.setText(Edit::DT, "0.004");
    synthesizeAccelerogram(f->s, f->form);
    ASSERT_EQ(f->s.ND, 5000);
  }
  const Texts defaults{"2", "30", "0.5", "0.1", "0.004"};
  EXPECT_EQ(run(serial, defaults, nullptr), "");
  EXPECT_EQ(run(t, defaults, &engine), "");
  expectSameOutcome(serial, t, "synthesised");
  EXPECT_EQ(t.s.NF, 56);
}

TEST(ResponseEngine, FailuresMatchTheSerialReference) {
  struct Case {
    const char* name;
    Texts texts;
    int nd;
    long double scale;
    std::string message;
  };
  const std::string invalid(msg::kInvalidOp), overflow(msg::kOverflow);
  const Case cases[] = {
      {"bad Fend", {"2", "z", "0.5", "0.1", "0.004"}, 300, 1, msg::notAFloat("z")},
      {"empty DT", {"2", "30", "0.5", "0.1", ""}, 300, 1, msg::notAFloat("")},
      {"DF 0", {"2", "30", "0", "0.1", "0.004"}, 300, 1, std::string(msg::kDivByZero)},
      {"DF 0, equal ends", {"2", "2", "0", "0.1", "0.004"}, 300, 1, invalid},
      {"zero frequency mid-range", {"-10", "10", "0.5", "0.1", "0.004"}, 2000, 1, invalid},
      {"Fbeg 0", {"0", "1", "1", "0.1", "0.004"}, 300, 1, invalid},
      {"critical damping", {"2", "3", "1", "1", "0.004"}, 300, 1, invalid},
      {"over-critical", {"2", "3", "1", "1.5", "0.004"}, 300, 1, invalid},
      {"negative critical", {"2", "3", "1", "-1", "0.004"}, 300, 1, invalid},
      {"DT 0", {"2", "3", "1", "0.1", "0"}, 300, 1, invalid},
      {"too many points",
       {"0.001", "1000", "0.001", "0.1", "0.004"},
       300,
       1,
       std::string(msg::kTooManyFrequencies)},
      {"quotient beyond 32 bits",
       {"1e12", "0", "1", "0.1", "0.004"},
       300,
       1,
       std::string(msg::kFrequencyCountOutOfRange)},
      // Negative frequencies decay under negative damping, positive ones grow: the first
      // positive one leaves the extended range while other threads work on higher ones.
      {"response overflow mid-range", {"-61", "99", "20", "-0.5", "0.01"}, 20000, 1, overflow},
      // Peaks near the 15 Hz resonance pass the double range only when drawn.
      {"chart overflow mid-range", {"2", "30", "0.5", "0.05", "0.004"}, 3000, 0x1p1021L, overflow},
      {"record beyond the extended range",
       {"2", "30", "0.5", "0.05", "0.004"},
       3000,
       0x1p16380L,
       overflow},
  };
  for (const auto& c : cases) expectEngineMatchesSerial(c.texts, c.nd, c.scale, c.message, c.name);
}

TEST(ResponseEngine, MidRangeFailuresKeepThePointsBeforeThem) {
  struct Case {
    const char* name;
    Texts texts;
    int nd;
    long double scale;
    int stored, drawn;  // points J < stored are stored, J < drawn are drawn
  };
  const Case cases[] = {
      {"zero frequency", {"-10", "10", "0.5", "0.1", "0.004"}, 2000, 1, 20, 20},
      {"response overflow", {"-61", "99", "20", "-0.5", "0.01"}, 20000, 1, 4, 4},
  };
  for (const auto& c : cases) {
    ResponseEngine engine(3);
    Fixture t;
    setRecord(t.s, c.nd, c.scale);
    markRegion(t.s);
    EXPECT_NE(run(t, c.texts, &engine), "") << c.name;
    EXPECT_EQ(t.form.chart().series(0).size(), static_cast<size_t>(c.drawn)) << c.name;
    for (int j = 0; j <= t.s.NF; ++j)
      EXPECT_EQ(t.s.SpA[kResponseBase + j] != -2000 - kResponseBase - j, j < c.stored)
          << c.name << " J " << j;
  }
  // The first peak beyond the double range is stored but not drawn.
  ResponseEngine engine(2);
  Fixture t;
  setRecord(t.s, 3000, 0x1p1021L);
  markRegion(t.s);
  EXPECT_EQ(run(t, {"2", "30", "0.5", "0.05", "0.004"}, &engine), msg::kOverflow);
  const int J = static_cast<int>(t.form.chart().series(0).size());
  EXPECT_GT(J, 3);
  EXPECT_LT(J, t.s.NF);
  EXPECT_GT(t.s.SpA[kResponseBase + J], std::numeric_limits<double>::max());
  EXPECT_EQ(t.s.SpA[kResponseBase + J + 1], -2000 - kResponseBase - J - 1);
}

// Records every call and asks to stop once `cancelAt` points are done.
class Recorder : public ResponseProgress {
 public:
  explicit Recorder(std::int64_t cancelAt = -1) : cancelAt_(cancelAt) {}
  bool proceed(std::int64_t done, std::int64_t total) override {
    calls.push_back({done, total});
    return cancelAt_ < 0 || done < cancelAt_;
  }
  std::vector<std::pair<std::int64_t, std::int64_t>> calls;

 private:
  std::int64_t cancelAt_;
};

TEST(ResponseEngine, CancelKeepsTheFinishedPrefixOnly) {
  const Texts texts{"2", "30", "0.5", "0.1", "0.004"};
  Fixture serial;
  setRecord(serial.s, 4000);
  ASSERT_EQ(run(serial, texts, nullptr), "");
  for (int cancelAt : {1, 5, 30, 57}) {
    for (unsigned threads : kThreadCounts) {
      ResponseEngine engine(threads, std::chrono::steady_clock::duration::zero());
      Fixture t;
      setRecord(t.s, 4000);
      markRegion(t.s);
      Recorder cancel(cancelAt);
      ASSERT_EQ(run(t, texts, &engine, &cancel), "");
      ASSERT_FALSE(cancel.calls.empty());
      const auto [done, total] = cancel.calls.back();
      EXPECT_GE(done, cancelAt);
      EXPECT_EQ(total, 57);
      EXPECT_EQ(t.s.NF, done - 1) << cancelAt << " " << threads;
      for (int j = 0; j <= 56; ++j) {
        if (j <= t.s.NF) {
          EXPECT_TRUE(sameBits(t.s.SpA[kResponseBase + j], serial.s.SpA[kResponseBase + j]));
          EXPECT_TRUE(sameBits(t.s.SpF[kResponseBase + j], serial.s.SpF[kResponseBase + j]));
        } else {
          EXPECT_EQ(t.s.SpA[kResponseBase + j], -2000 - kResponseBase - j) << j;
        }
      }
      const auto& p = t.form.chart().series(0).points();
      ASSERT_EQ(p.size(), static_cast<size_t>(t.s.NF + 1));
      EXPECT_EQ(std::memcmp(p.data(), serial.form.chart().series(0).points().data(),
                            p.size() * sizeof p[0]),
                0);
    }
  }
}

TEST(ResponseEngine, ProgressIsReportedInOrderAndEndsWithTheTotal) {
  ResponseEngine engine(2, std::chrono::microseconds(50));
  Fixture t;
  setRecord(t.s, kMaxSamples);
  Recorder progress;
  // 40 frequencies of 100000 samples: about 20 ms of work on two cores.
  ASSERT_EQ(run(t, {"1", "40", "1", "0.1", "0.004"}, &engine, &progress), "");
  ASSERT_GE(progress.calls.size(), 2u);
  for (size_t i = 0; i < progress.calls.size(); ++i) {
    EXPECT_LE(progress.calls[i > 0 ? i - 1 : 0].first, progress.calls[i].first);
    EXPECT_EQ(progress.calls[i].second, 40);
  }
  EXPECT_EQ(progress.calls.back(), (std::pair<std::int64_t, std::int64_t>{40, 40}));
  EXPECT_EQ(t.s.NF, 39);

  // A failing run ends without the final call.
  Recorder failing;
  EXPECT_EQ(run(t, {"-3", "3", "1", "0", "0.004"}, &engine, &failing), msg::kInvalidOp);
  for (const auto& call : failing.calls) EXPECT_LE(call.first, 3);
}

// A caller that changes the record from its progress callback (a window that stayed live).
class RecordChanger : public ResponseProgress {
 public:
  explicit RecordChanger(Store& s) : s_(s) {}
  bool proceed(std::int64_t, std::int64_t) override {
    ++calls;
    s_.ND = 1 + calls % 2;
    for (int k = 1; k <= kMaxSamples; ++k) s_.Acc[k] = 1e300L * calls;
    return true;
  }
  int calls = 0;

 private:
  Store& s_;
};

TEST(ResponseEngine, WorkersComputeFromTheRecordAsItWasWhenTheRunStarted) {
  const Texts texts{"1", "40", "1", "0.1", "0.004"};
  Fixture serial;
  setRecord(serial.s, 20000);
  ASSERT_EQ(run(serial, texts, nullptr), "");
  for (unsigned threads : {2u, 4u}) {
    ResponseEngine engine(threads, std::chrono::steady_clock::duration::zero());
    Fixture t;
    setRecord(t.s, 20000);
    RecordChanger changer(t.s);
    ASSERT_EQ(run(t, texts, &engine, &changer), "") << threads;
    // The last call always comes; calls while the workers run come unless a loaded machine
    // keeps the caller from them until the end, so only that last one can be counted on.
    EXPECT_GE(changer.calls, 1) << threads;
    for (int j = 0; j <= serial.s.NF; ++j)
      EXPECT_TRUE(sameBits(t.s.SpA[kResponseBase + j], serial.s.SpA[kResponseBase + j]))
          << threads << " " << j;
  }
}

// A run started from inside proceed() (a dialog processing events) cannot use the engine, which
// is busy: it is done serially, and both runs finish.
class Nested : public ResponseProgress {
 public:
  Nested(ResponseEngine& engine, Store& s) : engine_(engine), s_(s) {}
  bool proceed(std::int64_t, std::int64_t) override {
    if (!ran) {
      ran = true;
      engine_.computePoints(s_, series, 0, 4, nullptr);
    }
    return true;
  }
  bool ran = false;
  Series series;

 private:
  ResponseEngine& engine_;
  Store& s_;
};

TEST(ResponseEngine, RunStartedFromProgressIsDoneSerially) {
  ResponseEngine engine(2, std::chrono::steady_clock::duration::zero());
  Fixture t, inner, serial;
  for (Fixture* f : {&t, &inner, &serial}) {
    setRecord(f->s, 3000);
    f->s.Fbeg = 3, f->s.DF = 0.25L, f->s.Psi = 0.05L, f->s.DT = 0.004L;
  }
  Nested nested(engine, inner.s);
  engine.computePoints(t.s, t.form.chart().series(0), 0, 30, &nested);
  ASSERT_TRUE(nested.ran);
  computeResponsePointsSerial(serial.s, serial.form.chart().series(0), 0, 30, nullptr);
  for (int j = 0; j <= 30; ++j) {
    EXPECT_TRUE(sameBits(t.s.SpA[kResponseBase + j], serial.s.SpA[kResponseBase + j])) << j;
    if (j <= 4) {
      EXPECT_TRUE(sameBits(inner.s.SpA[kResponseBase + j], serial.s.SpA[kResponseBase + j]));
    }
  }
  EXPECT_EQ(nested.series.size(), 5u);
}

// Sets the x87 rounding mode and significand precision for a scope.
class X87Scope {
 public:
  X87Scope(int rounding, fpu_control_t precision) {
    _FPU_GETCW(saved_);
    std::fesetround(rounding);
    fpu_control_t cw;
    _FPU_GETCW(cw);
    cw = static_cast<fpu_control_t>((cw & ~_FPU_EXTENDED) | precision);
    _FPU_SETCW(cw);
  }
  ~X87Scope() { _FPU_SETCW(saved_); }
  X87Scope(const X87Scope&) = delete;
  X87Scope& operator=(const X87Scope&) = delete;

 private:
  fpu_control_t saved_;
};

TEST(ResponseEngine, WorkersUseTheCallersFloatingPointEnvironment) {
  struct Case {
    const char* name;
    int rounding;
    fpu_control_t precision;
  };
  const Case cases[] = {
      {"upward", FE_UPWARD, _FPU_EXTENDED},
      {"downward", FE_DOWNWARD, _FPU_EXTENDED},
      {"toward zero", FE_TOWARDZERO, _FPU_EXTENDED},
      {"53-bit significands", FE_TONEAREST, _FPU_DOUBLE},
  };
  const Texts texts{"2", "30", "0.5", "0.05", "0.004"};
  Fixture nearest;
  setRecord(nearest.s, 2000);
  ASSERT_EQ(run(nearest, texts, nullptr), "");
  for (const auto& c : cases) {
    ResponseEngine engine(3);
    Fixture serial, t;
    setRecord(serial.s, 2000);
    setRecord(t.s, 2000);
    {
      X87Scope scope(c.rounding, c.precision);
      EXPECT_EQ(run(serial, texts, nullptr), "");
      EXPECT_EQ(run(t, texts, &engine), "");
    }
    expectSameOutcome(serial, t, c.name);
    bool differs = false;  // else the case would prove nothing
    for (int j = 0; j <= 56; ++j)
      differs |= !sameBits(serial.s.SpA[kResponseBase + j], nearest.s.SpA[kResponseBase + j]);
    EXPECT_TRUE(differs) << c.name;
  }
}

TEST(ResponseEngine, RangeOutsideTheRegionIsRefused) {
  ResponseEngine engine(2);
  Fixture t;
  Series series;
  EXPECT_EQ(failureOf([&] { engine.computePoints(t.s, series, 0, kMaxResponseLastIndex + 1, {}); }),
            msg::kTooManyFrequencies);
  EXPECT_EQ(failureOf([&] { engine.computePoints(t.s, series, -1, 3, {}); }),
            msg::kTooManyFrequencies);
  t.s.ND = kMaxSamples + 1;
  EXPECT_EQ(failureOf([&] { engine.computePoints(t.s, series, 0, 3, {}); }), msg::kTooManySamples);
  EXPECT_TRUE(series.empty());
}

// The hand-scheduled loop against the reference, one oscillator at a time: record lengths around
// the stretches it works in, odd records, and the faults.
TEST(ResponseEngine, FastPeakMatchesTheReference) {
  Fixture t;
  setRecord(t.s, 9000);
  struct Case {
    long double f, psi, dt;
  };
  const Case oscillators[] = {{0.1L, 0.05L, 0.004L}, {2, 0, 0.004L},     {29.9L, 0.3L, 0.004L},
                              {-7, 0.1L, 0.002L},    {3, -0.02L, 0.01L}, {100, 0.9L, 0.004L},
                              {1e-3L, 0.5L, 0.004L}};
  for (const auto& c : oscillators) {
    fpu::clear();
    const Oscillator o = makeOscillator(c.f, c.psi, c.dt);
    for (int nd : {-1, 0, 1, 2, 3, 4096, 4097, 4098, 8193, 9000}) {
      const long double want = peakAbsoluteAcceleration(o, t.s.Acc.data(), nd);
      const long double got = peakAbsoluteAccelerationFast(o, t.s.Acc.data(), nd);
      EXPECT_TRUE(sameBits(want, got)) << c.f << " Hz, " << nd << " samples";
    }
  }
  struct Odd {
    const char* name;
    std::vector<long double> acc;  // from Acc[1]
  };
  const long double inf = std::numeric_limits<long double>::infinity();
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const Odd records[] = {
      {"negative zeros", {-0.0L, -0.0L, 0.0L, -0.0L}},
      {"constant", std::vector<long double>(5000, -1.5L)},
      {"beyond the extended range", {0, 1.1e4932L, -1.1e4932L, 1.1e4932L}},
      {"infinite sample", {0, 1, inf, 1}},
      {"NaN sample", {0, 1, nan, 1, 2}},
      {"NaN first sample", {nan, 1, 2}},
      {"huge then NaN", {0, 1.1e4932L, -1.1e4932L, nan, 1}},
  };
  const Oscillator o = makeOscillator(5, 0.05L, 0.004L);
  for (const auto& r : records) {
    std::vector<long double> acc{0};
    acc.insert(acc.end(), r.acc.begin(), r.acc.end());
    const auto nd = static_cast<std::int32_t>(r.acc.size());
    long double want = 0, got = 0;
    fpu::clear();
    const std::string wantError =
        failureOf([&] { want = peakAbsoluteAcceleration(o, acc.data(), nd); });
    fpu::clear();
    const std::string gotError =
        failureOf([&] { got = peakAbsoluteAccelerationFast(o, acc.data(), nd); });
    EXPECT_EQ(gotError, wantError) << r.name;
    if (wantError.empty()) {
      EXPECT_TRUE(sameBits(want, got)) << r.name;
    }
    EXPECT_EQ(std::fetestexcept(fpu::kFaults), 0) << r.name;
  }
}

}  // namespace
}  // namespace accelspec
