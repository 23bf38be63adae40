#pragma once

// Internal: the threads that run the sessions' I/O loops.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace keln::http {

// Runs each session's I/O loop on a thread of its own. A thread whose loop has ended
// stays parked for a while and runs the next loop handed over, so that a fresh session
// (every payment makes one) starts without waiting for a new thread to be made and
// scheduled. Parked threads end by themselves after a minute without work.
//
// Thread-safe; the pool lives until the process ends.
class IOThreadPool {
 public:
  // One loop handed to the pool.
  class Run {
   public:
    // Blocks until the loop has returned and what it captured has been released. Must
    // not be called from the loop's own thread.
    void wait();
    // True on the thread running the loop, while it runs.
    bool isCurrentThread() const;

   private:
    friend class IOThreadPool;
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;                // guarded by mutex_
    const void* runningOn_ = nullptr;  // guarded by mutex_: the worker running the loop
  };

  // Runs `loop` on a parked thread, or on a new one when none is parked.
  static std::shared_ptr<Run> start(std::function<void()> loop);
};

}  // namespace keln::http
