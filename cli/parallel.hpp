#pragma once

#include <cstddef>
#include <functional>
#include <thread>

namespace accelspec::cli {

/// Starts a thread running `work`; throws std::system_error when the system refuses one.
using ThreadStarter = std::function<std::thread(std::function<void()> work)>;

/// The ordinary std::thread.
std::thread startThread(std::function<void()> work);

/// Calls work(0 … count − 1), each index once, on up to `threads` threads, the calling thread
/// included. Threads the system refuses are done without, down to the calling thread alone.
/// Returns the threads that took part. `work` must not throw.
unsigned forEachInParallel(std::size_t count, unsigned threads,
                           const std::function<void(std::size_t)>& work,
                           const ThreadStarter& start = startThread);

}  // namespace accelspec::cli
