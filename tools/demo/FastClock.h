#pragma once

#include <atomic>
#include <chrono>

#include <keln/dispatch/MainQueue.h>

namespace keln::demo {

// The main queue's clock under --fast: the machine's monotonic time plus every wait the
// demo skipped, so that what really takes time (the network, WebKit) still counts and a
// skipped wait counts in full. Thread-safe.
class FastClock final : public dispatch::Clock {
 public:
  dispatch::TimePoint now() const override {
    return std::chrono::steady_clock::now() + dispatch::Duration(skipped_.load());
  }

  // Moves the clock on by `by` beyond real time, and has what waits on it (the main queue,
  // the SDK's retry delays) look at it again.
  void skip(dispatch::Duration by) {
    skipped_ += by.count();
    announceJump();
  }

 private:
  std::atomic<dispatch::Duration::rep> skipped_{0};
};

}  // namespace keln::demo
