// SPDX-License-Identifier: MIT
#include "compute/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <system_error>
#include <vector>

namespace accelspec {

std::thread startThread(std::function<void()> work) { return std::thread(std::move(work)); }

unsigned parallelFor(std::size_t count, unsigned threads,
                     const std::function<void(std::size_t)>& task, const ThreadStarter& start) {
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::size_t failedAt = SIZE_MAX;
  std::exception_ptr failure;
  const auto worker = [&] {
    for (std::size_t i = next++; i < count; i = next++) {
      try {
        task(i);
      } catch (...) {
        std::lock_guard lock(mutex);
        if (i < failedAt) failedAt = i, failure = std::current_exception();
      }
    }
  };
  const std::size_t wanted =
      std::min<std::size_t>(std::max(threads, 1u), std::max<std::size_t>(count, 1));
  std::vector<std::thread> pool;
  pool.reserve(wanted);  // a started thread is never lost to a failed push_back
  for (std::size_t t = 1; t < wanted; ++t) {
    try {
      pool.push_back(start(worker));
    } catch (const std::system_error&) {
      break;  // the threads already started and this one share the work
    }
  }
  worker();
  for (auto& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
  return static_cast<unsigned>(pool.size()) + 1;
}

}  // namespace accelspec
