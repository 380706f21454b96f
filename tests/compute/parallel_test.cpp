// SPDX-License-Identifier: MIT
#include "compute/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace accelspec {
namespace {

TEST(ParallelFor, WorkIsDoneOnTheThreadsTheSystemGives) {
  for (unsigned granted : {0u, 1u, 3u, 7u}) {
    std::atomic<unsigned> started{0};
    const ThreadStarter start = [&](std::function<void()> work) {
      if (started >= granted) throw std::system_error(EAGAIN, std::generic_category());
      ++started;
      return std::thread(std::move(work));
    };
    std::vector<std::atomic<int>> done(50);
    const unsigned used = parallelFor(
        done.size(), 8, [&](std::size_t i) { ++done[i]; }, start);
    EXPECT_EQ(used, granted + 1) << granted;
    for (std::size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i], 1) << granted << " " << i;
  }
  // Never more threads than there is work, and at least the caller's own.
  EXPECT_EQ(parallelFor(2, 8, [](std::size_t) {}), 2u);
  EXPECT_EQ(parallelFor(0, 0, [](std::size_t) {}), 1u);
}
// Whatever thread meets which failure first, the lowest failing index is the one reported, and
// every other index still runs.
TEST(ParallelFor, TheLowestFailingIndexIsRethrown) {
  for (unsigned threads : {1u, 4u}) {
    std::vector<std::atomic<int>> done(40);
    try {
      parallelFor(done.size(), threads, [&](std::size_t i) {
        ++done[i];
        if (i == 7 || i == 31) throw std::runtime_error(std::to_string(i));
      });
      ADD_FAILURE() << "nothing thrown on " << threads;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "7") << threads;
    }
    for (std::size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i], 1) << threads << " " << i;
  }
}

}  // namespace
}  // namespace accelspec
