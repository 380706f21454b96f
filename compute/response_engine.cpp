// SPDX-License-Identifier: MIT
#include "compute/response_engine.hpp"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "compute/oscillator.hpp"
#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"

namespace accelspec {

namespace {

void checkRange(const Store& s, std::int32_t first, std::int32_t last) {
  if (first < 0 || last > kMaxResponseLastIndex) throw AppError(msg::kTooManyFrequencies);
  if (s.ND > kMaxSamples) throw AppError(msg::kTooManySamples);
}

// What a worker needs for one run; copied out of the store before the workers start, so that
// nothing the caller does meanwhile (its progress callback included) can reach the workers.
struct Job {
  std::vector<long double> acc;  // Acc[0 … max(ND, 1)]: at most 1.6 MB, kept from run to run
  std::int32_t nd = 0;
  long double Fbeg = 0, DF = 0, Psi = 0, DT = 0;
  std::int32_t last = -1;
  std::fenv_t env{};
};

enum PointState : std::uint8_t { kPending, kDone, kFailed };

constexpr std::size_t kTableSize = kMaxResponseLastIndex + 1;

}  // namespace

struct ResponseEngine::Impl {
  std::chrono::steady_clock::duration progressInterval;

  std::mutex m;
  std::condition_variable wake;  // pool threads: a new run, or the end
  std::condition_variable idle;  // caller: the pool has nothing more in hand
  std::vector<std::thread> pool;
  std::uint64_t generation = 0;  // runs started; guarded by m
  bool shutdown = false;         // guarded by m
  unsigned busy = 0;             // pool threads still in the current run; guarded by m
  Job job;                       // written by the caller before it takes m to start a run

  std::atomic<std::int32_t> next{0};   // the next J to take
  std::atomic<std::int32_t> limit{0};  // no J above it is taken: the lowest failing J so far
  std::atomic<bool> stop{false};

  // One entry per J of the response region, written by the thread that computed J and read by
  // the caller after the state says so. Allocated once with the engine.
  std::unique_ptr<long double[]> freq = std::make_unique<long double[]>(kTableSize);
  std::unique_ptr<long double[]> peak = std::make_unique<long double[]>(kTableSize);
  std::unique_ptr<std::atomic<std::uint8_t>[]> state =
      std::make_unique<std::atomic<std::uint8_t>[]>(kTableSize);
  std::int32_t errorJ = INT32_MAX;  // guarded by m
  std::exception_ptr error;         // the error of errorJ; guarded by m

  std::atomic<bool> running{false};  // set by the caller for a whole run

  void startPool(unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      try {
        pool.emplace_back([this] { serve(); });
      } catch (const std::system_error&) {
        break;  // fewer helpers; the caller computes anyway
      }
    }
  }

  void stopPool() {
    {
      std::lock_guard lock(m);
      shutdown = true;
    }
    wake.notify_all();
    for (auto& t : pool) t.join();
  }

  void serve() {
    std::uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock lock(m);
        wake.wait(lock, [&] { return shutdown || generation != seen; });
        if (shutdown) return;
        seen = generation;
      }
      std::fesetenv(&job.env);
      while (takeAndCompute()) {
      }
      std::lock_guard lock(m);
      if (--busy == 0) idle.notify_all();
    }
  }

  // Computes the next untaken frequency; false when there is none left to take.
  bool takeAndCompute() {
    if (stop.load(std::memory_order_relaxed)) return false;
    // Never counts past the end, however often an idle caller asks.
    std::int32_t J = next.load();
    do {
      if (J > job.last || J > limit.load()) return false;
    } while (!next.compare_exchange_weak(J, J + 1));
    compute(J);
    return true;
  }

  void compute(std::int32_t J) {
    fpu::clear();
    try {
      const long double f = responseFrequency(J, job.DF, job.Fbeg);
      const Oscillator o = makeOscillator(f, job.Psi, job.DT);
      const long double p = peakAbsoluteAccelerationFast(o, job.acc.data(), job.nd);
      freq[J] = f;  // the frequency of step 11 is the same computation again
      peak[J] = p;
      state[J].store(kDone, std::memory_order_release);
    } catch (...) {
      fpu::clear();
      std::lock_guard lock(m);
      if (J < errorJ) {
        errorJ = J;
        error = std::current_exception();
      }
      std::int32_t seen = limit.load();
      while (J < seen && !limit.compare_exchange_weak(seen, J)) {
      }
      state[J].store(kFailed, std::memory_order_release);
    }
  }

  // Makes sure no pool thread is still working when a run ends, however it ends.
  struct RunEnd {
    Impl& impl;
    ~RunEnd() {
      impl.stop.store(true);
      std::unique_lock lock(impl.m);
      impl.idle.wait(lock, [&] { return impl.busy == 0; });
    }
  };

  // Copies what the workers read and wakes them for points first … last.
  void startRun(const Store& s, std::int32_t first, std::int32_t last) {
    fpu::clear();
    // The oscillator reads Acc[1] even for a record of fewer samples.
    job.acc.assign(s.Acc.begin(), s.Acc.begin() + std::max(s.ND, std::int32_t{1}) + 1);
    job.nd = s.ND;
    job.Fbeg = s.Fbeg;
    job.DF = s.DF;
    job.Psi = s.Psi;
    job.DT = s.DT;
    job.last = last;
    std::fegetenv(&job.env);
    for (std::int32_t J = first; J <= last; ++J)
      state[J].store(kPending, std::memory_order_relaxed);
    next.store(first);
    limit.store(last);
    stop.store(false);
    {
      std::lock_guard lock(m);
      errorJ = INT32_MAX;
      error = nullptr;
      busy = static_cast<unsigned>(pool.size());
      ++generation;
    }
    wake.notify_all();
  }

  // Stores and draws the finished points from `committed` on, in J order; returns the first
  // point not yet stored. A chart overflow is thrown from here.
  std::int32_t commitFinished(Store& s, Series& series, std::int32_t committed, std::int32_t last) {
    while (committed <= last && state[committed].load(std::memory_order_acquire) == kDone) {
      s.SpF[kResponseBase + committed] = freq[committed];
      s.SpA[kResponseBase + committed] = peak[committed];
      series.add(s.SpF[kResponseBase + committed], s.SpA[kResponseBase + committed]);
      ++committed;
    }
    return committed;
  }

  // For a failed point that is the next to store: every point below it has finished, so the
  // error held is the lowest failure's.
  [[noreturn]] void rethrowLowestFailure() {
    std::exception_ptr failure;
    {
      std::lock_guard lock(m);
      failure = error;
    }
    std::rethrow_exception(failure);
  }

  void run(Store& s, Series& series, std::int32_t first, std::int32_t last,
           ResponseProgress* progress) {
    startRun(s, first, last);
    RunEnd end{*this};

    const std::int64_t total = std::int64_t{last} - first + 1;
    std::int32_t committed = first;  // the next point to store and draw
    auto lastReport = std::chrono::steady_clock::now();
    for (;;) {
      const bool worked = takeAndCompute();
      committed = commitFinished(s, series, committed, last);
      if (committed > last) break;
      if (state[committed].load(std::memory_order_acquire) == kFailed) rethrowLowestFailure();
      if (!worked) {
        // Nothing left to take: wait for the pool, waking to report progress.
        std::unique_lock lock(m);
        idle.wait_until(lock, lastReport + progressInterval, [&] { return busy == 0; });
      }
      const auto now = std::chrono::steady_clock::now();
      if (now - lastReport >= progressInterval) {
        lastReport = now;
        if (progress && !progress->proceed(committed - first, total)) {
          s.NF = committed - 1;
          return;
        }
      }
    }
    if (progress && !progress->proceed(total, total)) s.NF = last;
  }
};

void computeResponsePointsSerial(Store& s, Series& series, std::int32_t first, std::int32_t last,
                                 ResponseProgress* progress) {
  checkRange(s, first, last);
  const std::int64_t total = std::int64_t{last} - first + 1;
  for (std::int32_t J = first; J <= last; ++J) {
    const long double f = responseFrequency(J, s.DF, s.Fbeg);
    const Oscillator o = makeOscillator(f, s.Psi, s.DT);
    const long double peak = peakAbsoluteAcceleration(o, s.Acc.data(), s.ND);
    // Computed again rather than reused, as the command has always done it: the reference
    // keeps every operation of the command in its order, and the same operands give the same
    // bits (the engine reuses the first result for that reason).
    s.SpF[kResponseBase + J] = responseFrequency(J, s.DF, s.Fbeg);
    s.SpA[kResponseBase + J] = peak;
    series.add(s.SpF[kResponseBase + J], s.SpA[kResponseBase + J]);
    if (progress && !progress->proceed(J - first + 1, total)) {
      s.NF = J;  // a cancelled run keeps only the points it computed
      return;
    }
  }
}

ResponseEngine::ResponseEngine(unsigned threads,
                               std::chrono::steady_clock::duration progressInterval)
    : impl_(std::make_unique<Impl>()) {
  impl_->progressInterval = progressInterval;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  impl_->startPool(threads - 1);
}

ResponseEngine::~ResponseEngine() { impl_->stopPool(); }

ResponseEngine& ResponseEngine::shared() {
  static ResponseEngine engine;
  return engine;
}

unsigned ResponseEngine::threads() const { return static_cast<unsigned>(impl_->pool.size()) + 1; }

void ResponseEngine::computePoints(Store& s, Series& series, std::int32_t first, std::int32_t last,
                                   ResponseProgress* progress) {
  checkRange(s, first, last);
  if (last < first) return;
  if (impl_->running.exchange(true)) {
    computeResponsePointsSerial(s, series, first, last, progress);
    return;
  }
  struct Release {
    std::atomic<bool>& flag;
    ~Release() { flag.store(false); }
  } release{impl_->running};
  impl_->run(s, series, first, last, progress);
}

}  // namespace accelspec
