// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>
#include <thread>

namespace accelspec {

/// Starts a thread running `work`; throws std::system_error when the system refuses one.
using ThreadStarter = std::function<std::thread(std::function<void()> work)>;

/// The ordinary std::thread.
std::thread startThread(std::function<void()> work);

/// Calls task(0 … count − 1), each index once, on up to `threads` threads, the calling thread
/// included. Threads the system refuses are done without, down to the calling thread alone.
/// Returns the threads that took part. When tasks throw, the exception of the lowest failing
/// index is rethrown once every thread has stopped, so the message does not depend on the
/// threads; the other indices have run.
unsigned parallelFor(std::size_t count, unsigned threads,
                     const std::function<void(std::size_t)>& task,
                     const ThreadStarter& start = startThread);

}  // namespace accelspec
