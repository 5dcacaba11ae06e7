#pragma once
// Helpers of the fetch tests: elapsed time, bounded waits for events, and a fetch cancelled by
// the test at the moment it chooses. Test thread only.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "services/net.h"

namespace sp::test {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Polls `done` every 10 ms for up to `seconds`; give a bound that only a fault reaches.
inline bool waitUntil(const std::function<bool()>& done, double seconds) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

struct CancelledFetch {
  bool stalled = false;  // what `stalled` answered before the cancel
  brightloom::net::HttpResult result{-1, "unset"};
  double secondsToReturn = 0;  // from raising the cancel flag to the fetch's return
};

// Runs send(address, timeoutSeconds, options) on a thread of its own with a cancel flag of
// ours, raises the flag once `stalled` has returned (it waits until the fetch is where the
// test wants it), and waits for the fetch to return.
inline CancelledFetch cancelFetch(const std::string& address, int timeoutSeconds,
                                  brightloom::net::SendOptions options, const std::function<bool()>& stalled) {
  CancelledFetch fetch;
  std::atomic<bool> cancel{false};
  options.cancel = &cancel;
  std::thread fetcher([&] { fetch.result = brightloom::net::send(address, timeoutSeconds, options); });
  fetch.stalled = stalled();
  const auto raised = Clock::now();
  cancel.store(true);
  fetcher.join();
  fetch.secondsToReturn = secondsSince(raised);
  return fetch;
}

}  // namespace sp::test
