// SPDX-License-Identifier: MIT
#include "analysis/spectra.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <new>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "analysis/grid.hpp"
#include "analysis/number_text.hpp"
#include "compute/oscillator.hpp"
#include "data/error.hpp"
#include "data/fpu.hpp"
#include "tests/analysis/analysis_test_support.hpp"

namespace accelspec::analysis {
namespace {

// The window's own response command for one frequency, damping 0.05, in 80-bit arithmetic.
long double windowResponse(const std::vector<double>& accel, long double f, long double dt) {
  std::vector<long double> acc(accel.size() + 1);
  for (std::size_t i = 0; i < accel.size(); ++i) acc[i + 1] = accel[i];
  fpu::clear();
  return peakAbsoluteAcceleration(makeOscillator(f, 0.05L, dt), acc.data(),
                                  static_cast<std::int32_t>(accel.size()));
}

TEST(Spectra, SamplePeaksAgreeWithTheWindowsResponse) {
  struct Case {
    std::size_t n;
    double dt;
    const char* grid;
  } cases[] = {{4684, 0.01, "log:0.1:100:100"},
               {16396, 0.005, "log:0.1:100:25"},
               {3000, 0.02, "lin:0.05:25:0.35"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.grid);
    const std::vector<double> accel = testing::syntheticRecord(c.n, c.dt);
    SpectraRequest r;
    r.grid = parseGrid(c.grid);
    r.quantities = {Quantity::Sa};
    r.peaks = Peaks::Samples;
    r.threads = 2;
    const Spectra s = computeSpectra(accel, c.dt, r);
    double worst = 0;
    for (std::size_t j = 0; j < r.grid.size(); ++j) {
      const long double expected = windowResponse(accel, r.grid[j].frequency, c.dt);
      worst =
          std::max(worst, static_cast<double>(std::fabs(s.value(0, 0, j) - expected) / expected));
    }
    EXPECT_LE(worst, 1e-12);
  }
}

// The exact response to a constant ground acceleration a from rest, with ω_d = ω√(1 − ζ²):
// u = −a/ω²·(1 − e^(−ζωt)(cos ω_d t + ζω/ω_d · sin ω_d t)), v = −a/ω_d · e^(−ζωt) sin ω_d t.
struct Exact {
  double sd, sv, sa;
};
Exact exactPeaks(double a, double f, double zeta, double h, std::size_t points) {
  const long double w = 2 * std::numbers::pi_v<long double> * f;
  const long double wd = w * std::sqrt(1 - static_cast<long double>(zeta) * zeta);
  Exact e{0, 0, 0};
  for (std::size_t k = 0; k <= points; ++k) {
    const long double t = k * static_cast<long double>(h), decay = std::exp(-zeta * w * t);
    const long double u =
        -a / (w * w) * (1 - decay * (std::cos(wd * t) + zeta * w / wd * std::sin(wd * t)));
    const long double v = -a / wd * decay * std::sin(wd * t);
    e.sd = std::max(e.sd, static_cast<double>(std::fabs(u)));
    e.sv = std::max(e.sv, static_cast<double>(std::fabs(v)));
    e.sa = std::max(e.sa, static_cast<double>(std::fabs(2 * zeta * w * v + w * w * u)));
  }
  return e;
}

TEST(Spectra, PeaksOfAConstantExcitationAtSamplesAndSubsteps) {
  struct Case {
    double f, zeta, dt;
    Peaks peaks;
    long long substeps;
  } cases[] = {
      {1.0, 0.0, 0.01, Peaks::Samples, 1},    {1.3, 0.05, 0.05, Peaks::Samples, 1},
      {1.3, 0.05, 0.05, Peaks::Refined, 2},   {7.7, 0.02, 0.02, Peaks::Refined, 4},
      {40, 0.1, 0.01, Peaks::Refined, 8},     {0.35, 0.3, 0.1, Peaks::Refined, 1},
      {12.5, 0.05, 0.004, Peaks::Refined, 1}, {12.5, 0.05, 0.0041, Peaks::Refined, 2},
  };
  const std::size_t n = 400;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.f << " Hz, " << c.zeta << ", " << c.dt << " s");
    ASSERT_EQ(c.peaks == Peaks::Refined ? refinedSubsteps(c.f, c.dt) : 1, c.substeps);
    SpectraRequest r;
    r.grid = {{c.f, 1 / c.f}};
    r.dampings = {c.zeta};
    r.quantities = {Quantity::Sd, Quantity::Sv, Quantity::Sa, Quantity::Psa, Quantity::Psv};
    r.peaks = c.peaks;
    const Spectra s = computeSpectra(std::vector<double>(n, 1.5), c.dt, r);
    const Exact e = exactPeaks(1.5, c.f, c.zeta, c.dt / c.substeps, (n - 1) * c.substeps);
    const double w = 2 * M_PI * c.f;
    const double expected[] = {e.sd, e.sv, e.sa, w * w * e.sd, w * e.sd};
    for (int q = 0; q < 5; ++q) EXPECT_NEAR(s.value(0, q, 0), expected[q], 1e-10 * expected[q]);
  }
}

TEST(Spectra, RefinedPeaksNeverFallBelowSamplePeaks) {
  const std::vector<double> accel = testing::syntheticRecord(2000, 0.02, 7);
  SpectraRequest r;
  r.grid = parseGrid("log:0.2:50:20");
  r.dampings = {0.02, 0.05};
  r.quantities = {Quantity::Sa, Quantity::Sv, Quantity::Sd};
  r.peaks = Peaks::Samples;
  const Spectra samples = computeSpectra(accel, 0.02, r);
  r.peaks = Peaks::Refined;
  const Spectra refined = computeSpectra(accel, 0.02, r);
  double gained = 0;
  for (std::size_t i = 0; i < samples.values.size(); ++i) {
    EXPECT_GE(refined.values[i], samples.values[i]) << i;
    gained = std::max(gained, refined.values[i] / samples.values[i] - 1);
  }
  EXPECT_GT(gained, 0.01);  // at 50 Hz and 0.02 s the samples miss a great deal
}

TEST(Spectra, SameValuesOnAnyNumberOfThreads) {
  const std::vector<double> accel = testing::syntheticRecord(3000, 0.005, 3);
  SpectraRequest r;
  r.grid = parseGrid("log:0.1:100:30");
  r.dampings = {0.02, 0.05, 0.1};
  r.quantities = {Quantity::Psa, Quantity::Sa, Quantity::Sv, Quantity::Psv, Quantity::Sd};
  r.threads = 1;
  const Spectra one = computeSpectra(accel, 0.005, r);
  r.threads = 3;
  EXPECT_EQ(computeSpectra(accel, 0.005, r).values, one.values);
  r.rotd = 50;
  r.threads = 1;
  const std::vector<double> other = testing::syntheticRecord(3000, 0.005, 4);
  const Spectra rotOne = computeRotD(accel, other, 0.005, 0.005, r);
  r.threads = 3;
  EXPECT_EQ(computeRotD(accel, other, 0.005, 0.005, r).values, rotOne.values);
}

TEST(Spectra, ProgressCountsEveryOscillatorOnce) {
  const std::vector<double> accel = testing::syntheticRecord(500, 0.01, 3);
  SpectraRequest r;
  r.grid = parseGrid("log:0.5:50:7");  // 15 points, sub-steps 1 … 10
  r.dampings = {0.02, 0.05, 0.1};
  r.threads = 3;
  std::atomic<std::size_t> done{0}, calls{0};
  r.progress = [&](std::size_t n) { done += n, ++calls; };
  computeSpectra(accel, 0.01, r);
  EXPECT_EQ(done, 45u);
  done = calls = 0;
  r.rotd = 50;
  computeRotD(accel, accel, 0.01, 0.01, r);
  EXPECT_EQ(done, 45u);
  EXPECT_EQ(calls, 45u);
  EXPECT_EQ(spectraWork(r, 500, 0.01), 500.0 * (8 + 2 + 2 + 3 + 4 + 6 + 8 + 10) * 3 * 2);
}

// The AVX2 and plain builds of the inner loop give the same bits, sample and refined peaks alike,
// whatever -march the build uses: neither may fuse a multiplication and an addition.
TEST(Spectra, AvxAndPlainKernelsGiveTheSameBits) {
  if (!processorHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  const std::vector<double> accel = testing::syntheticRecord(3000, 0.005, 5);
  SpectraRequest r;
  r.grid = parseGrid("log:0.1:100:30");
  r.dampings = {0.02, 0.05};
  r.quantities = {Quantity::Psa, Quantity::Sa, Quantity::Sv, Quantity::Sd};
  for (const Peaks peaks : {Peaks::Samples, Peaks::Refined}) {
    r.peaks = peaks;
    usePeakKernel(PeakKernel::Plain);
    const Spectra plain = computeSpectra(accel, 0.005, r);
    usePeakKernel(PeakKernel::Avx2);
    const Spectra avx2 = computeSpectra(accel, 0.005, r);
    usePeakKernel(PeakKernel::Automatic);
    ASSERT_EQ(plain.values.size(), avx2.values.size());
    for (std::size_t i = 0; i < plain.values.size(); ++i)
      EXPECT_EQ(std::bit_cast<std::uint64_t>(plain.values[i]),
                std::bit_cast<std::uint64_t>(avx2.values[i]))
          << "value " << i << ": " << plain.values[i] << " vs " << avx2.values[i];
  }
}

TEST(Spectra, RotatedPeaksOfKnownPairs) {
  const std::vector<double> accel = testing::syntheticRecord(1500, 0.01, 5);
  const std::vector<double> none(accel.size(), 0.0);
  SpectraRequest r;
  r.grid = parseGrid("log:0.3:30:5");
  r.quantities = {Quantity::Sd, Quantity::Sa, Quantity::Sv, Quantity::Psa};
  const Spectra single = computeSpectra(accel, 0.01, r);
  std::vector<double> cosines;
  for (int k = 0; k < 180; ++k) cosines.push_back(std::fabs(std::cos(k * M_PI / 180)));
  std::sort(cosines.begin(), cosines.end());
  const double median = (cosines[89] + cosines[90]) / 2;
  struct Case {
    const std::vector<double>* second;
    int rotd;
    double factor;
  } cases[] = {{&none, 100, 1.0}, {&none, 50, median}, {&accel, 100, std::sqrt(2.0)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rotd);
    r.rotd = c.rotd;
    const Spectra rot = computeRotD(accel, *c.second, 0.01, 0.01, r);
    for (std::size_t i = 0; i < rot.values.size(); ++i)
      EXPECT_NEAR(rot.values[i], c.factor * single.values[i], 1e-9 * single.values[i]) << i;
  }
}

TEST(Spectra, RotatedPeakOverAFewPointsMatchesEveryProjection) {
  // Points whose peaks fall at different angles: the filter must keep every one that wins.
  std::vector<double> x, y;
  for (int k = 0; k < 2000; ++k) {
    const double t = k * 0.01;
    x.push_back(std::sin(3.1 * t) * (1 + 0.3 * std::cos(0.7 * t)));
    y.push_back(0.6 * std::cos(2.3 * t + 0.4) * std::exp(-0.05 * t));
  }
  for (int percentile : {50, 100}) {
    double peaks[180];
    for (int k = 0; k < 180; ++k) {
      peaks[k] = 0;
      const double c = std::cos(k * std::numbers::pi_v<long double> / 180);
      const double s = std::sin(k * std::numbers::pi_v<long double> / 180);
      for (std::size_t t = 0; t < x.size(); ++t)
        peaks[k] = std::max(peaks[k], std::fabs(x[t] * c + y[t] * s));
    }
    std::sort(peaks, peaks + 180);
    const double expected = percentile == 100 ? peaks[179] : (peaks[89] + peaks[90]) / 2;
    EXPECT_EQ(rotatedPeak(x, y, percentile), expected) << percentile;
  }
}

std::string failure(const std::function<void()>& f) {
  try {
    f();
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

TEST(Spectra, RotDMemoryFollowsTheRecordNotTheSubsteps) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer reserves more address space than the limit this test sets";
#else
  // 10 000 samples at 999 sub-steps a sample: kept in full, the two histories of u and v would
  // take 320 MB; a child process with 96 MB of address space beyond its own must still do it.
  const std::vector<double> x = testing::syntheticRecord(10000, 0.01, 6);
  const std::vector<double> y = testing::syntheticRecord(10000, 0.01, 7);
  SpectraRequest r;
  r.grid = parseGrid("lin:4990:4990:1");
  r.rotd = 100;
  r.quantities = {Quantity::Psa, Quantity::Sa, Quantity::Sv};
  ASSERT_EQ(refinedSubsteps(4990, 0.01), 998);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (96u << 20);
    const rlimit space{limit, limit};
    ::setrlimit(RLIMIT_AS, &space);
    try {
      const Spectra s = computeRotD(x, y, 0.01, 0.01, r);
      ::_exit(s.values[0] > 0 ? 0 : 2);
    } catch (const std::bad_alloc&) {
      ::_exit(3);
    } catch (...) {
      ::_exit(4);
    }
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: out of memory";
#endif
}

TEST(Spectra, RefusedRecordsAndPairs) {
  SpectraRequest r;
  r.grid = parseGrid("lin:1:5:1");
  const std::vector<double> good = {0, 1, -1, 0.5};
  const std::string steps =
      "частота 5 Гц при шаге записи 11 с потребовала бы более 1000 подшагов на шаг записи: "
      "сузьте сетку или берите пики только в отсчётах записи";
  struct Case {
    std::vector<double> accel;
    double dt;
    const char* message;
  } cases[] = {
      {good, 0, "шаг по времени должен быть конечным и больше нуля"},
      {good, -0.01, "шаг по времени должен быть конечным и больше нуля"},
      {good, NAN, "шаг по времени должен быть конечным и больше нуля"},
      {{}, 0.01, "в записи нет ни одного отсчёта"},
      {{0, NAN, 1}, 0.01, "в записи есть нечисловой отсчёт (NaN или INF)"},
      {{0, 1, INFINITY}, 0.01, "в записи есть нечисловой отсчёт (NaN или INF)"},
      {{0, 1.5e308, -1.5e308, 1.5e308},
       0.01,
       "отклик осциллятора вышел за пределы чисел двойной точности"},
      {good, 11, steps.c_str()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(failure([&] { computeSpectra(c.accel, c.dt, r); }), c.message) << c.dt;
    r.rotd = 100;
    EXPECT_EQ(failure([&] { computeRotD(good, c.accel, c.dt, c.dt, r); }), c.message) << c.dt;
    r.rotd = 0;
  }
  r.rotd = 50;
  const char* mismatch =
      "две компоненты пары должны иметь один шаг по времени и одно число отсчётов";
  EXPECT_EQ(failure([&] { computeRotD(good, {0, 1, 2}, 0.01, 0.01, r); }), mismatch);
  EXPECT_EQ(failure([&] { computeRotD(good, good, 0.01, 0.02, r); }), mismatch);
}

TEST(Spectra, OneSampleRecordsHaveNoResponse) {
  SpectraRequest r;
  r.grid = parseGrid("lin:1:3:1");
  r.quantities = {Quantity::Sa, Quantity::Sd};
  for (const Spectra& s : {computeSpectra({2.5}, 0.01, r), computeRotD({2.5}, {1}, 0.01, 0.01, [&] {
                             auto q = r;
                             q.rotd = 50;
                             return q;
                           }())})
    for (double v : s.values) EXPECT_EQ(v, 0);
}

TEST(Spectra, ListsOfDampingsAndQuantities) {
  EXPECT_EQ(parseDampings("0.05"), std::vector<double>{0.05});
  EXPECT_EQ(parseDampings("0.02,0,0.1"), (std::vector<double>{0.02, 0, 0.1}));
  EXPECT_EQ(parseQuantities("sd,psa,sa,sv,psv"),
            (std::vector<Quantity>{Quantity::Sd, Quantity::Psa, Quantity::Sa, Quantity::Sv,
                                   Quantity::Psv}));
  for (const char* bad :
       {"", "0.05,", ",0.05", "1", "-0.01", "0.05,0.05", "0,05", " 0.05", "5%", "nan", "1e400"})
    EXPECT_EQ(failure([&] { parseDampings(bad); }),
              "ожидается список долей критического затухания через запятую, каждая "
              "от 0 до 1 (не включая 1), без повторов")
        << bad;
  for (const char* bad : {"", "PSA", "psa,", "psa,psa", "pga", "psa sd"})
    EXPECT_EQ(failure([&] { parseQuantities(bad); }),
              "ожидается список из psa, sa, sv, psv, sd через запятую, без повторов")
        << bad;
}

TEST(Spectra, CsvColumnsRowsAndDigits) {
  SpectraRequest r;
  r.grid = parseGrid("lin:0.5:1:0.5");
  r.dampings = {0.05, 0.1};
  r.quantities = {Quantity::Sd, Quantity::Psa};
  Spectra s;
  s.dampings = 2;
  s.quantities = 2;
  s.points = 2;
  s.values = {1.0 / 3, 2e-7, 12345678901.0, 0, 0.25, 0.5, 1, 2.0 / 3};
  EXPECT_EQ(spectraCsv(r, s),
            "frequency_hz,period_s,sd_0.05_m,psa_0.05_m_s2,sd_0.1_m,psa_0.1_m_s2\n"
            "0.5,2,0.3333333333,1.23456789e+10,0.25,1\n"
            "1,1,2e-07,0,0.5,0.6666666667\n");
}

// A cancel asked before the run or while it goes ends it with SpectraCancelled and nothing
// else, one record or a pair; a stop never asked changes nothing.
TEST(Spectra, StopEndsTheRun) {
  std::vector<double> accel(20000);
  for (std::size_t i = 0; i < accel.size(); ++i) accel[i] = std::sin(0.01 * static_cast<double>(i));
  SpectraRequest r;
  r.grid = parseGrid("log:0.1:100:400");
  r.threads = 2;
  std::stop_source source;
  r.stop = source.get_token();
  const Spectra whole = computeSpectra(accel, 0.005, r);
  SpectraRequest plain;
  plain.grid = r.grid;
  EXPECT_EQ(whole.values, computeSpectra(accel, 0.005, plain).values);

  source.request_stop();
  EXPECT_THROW(computeSpectra(accel, 0.005, r), SpectraCancelled);
  r.rotd = 50;
  EXPECT_THROW(computeRotD(accel, accel, 0.005, 0.005, r), SpectraCancelled);

  // Asked from another thread while the run goes (a run far longer than the wait).
  std::stop_source later;
  r.rotd = 0;
  r.stop = later.get_token();
  r.grid = parseGrid("log:0.1:100:4000");
  r.dampings = {0.01, 0.02, 0.05, 0.1, 0.2};
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    later.request_stop();
  });
  EXPECT_THROW(computeSpectra(std::vector<double>(200000, 0.5), 0.005, r), SpectraCancelled);
  canceller.join();
}

TEST(Spectra, NumberTexts) {
  struct Case {
    double v;
    const char* text;
  } cases[] = {{0.05, "0.05"},
               {1.5e-5, "1.5e-05"},
               {100, "100"},
               {1e10, "1e+10"},
               {1.23456789012e11, "1.23456789e+11"},
               {2.0 / 3, "0.6666666667"},
               {NAN, "nan"},
               {-INFINITY, "-inf"}};
  for (const Case& c : cases) EXPECT_EQ(formatNumber(c.v), c.text) << c.v;
  double v = 0;
  EXPECT_TRUE(parseNumber("+1.5e-3", v));
  EXPECT_EQ(v, 0.0015);
  for (const char* bad : {"", "1.5 ", "inf", "1,5", "0x10", "1e999", "."})
    EXPECT_FALSE(parseNumber(bad, v)) << bad;
}

}  // namespace
}  // namespace accelspec::analysis
