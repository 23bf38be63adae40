#pragma once

#include <keln/Export.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace keln::dispatch {

using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;

// The time source of delayed work. Thread-safe.
class KELN_EXPORT Clock {
 public:
  virtual ~Clock() = default;
  virtual TimePoint now() const = 0;
};

// The machine's monotonic clock.
class KELN_EXPORT SystemClock final : public Clock {
 public:
  TimePoint now() const override { return std::chrono::steady_clock::now(); }
};

// A clock that moves only when told to, for tests. Thread-safe.
class KELN_EXPORT ManualClock final : public Clock {
 public:
  TimePoint now() const override;
  void advance(Duration by);

 private:
  mutable std::mutex mutex_;
  TimePoint now_{};  // guarded by mutex_
};

// The main queue: a serial queue of tasks that the host runs on its main thread by
// driving one of the run operations below. Tasks may be posted from any thread; they
// start in the order they were posted (FIFO). A delayed task joins the queue when its
// deadline on the queue's clock has passed, behind the tasks already waiting.
//
// Every SDK callback reaches the host through this queue, so a host must drive it (for
// example from its own event loop, by calling runPending() regularly, or with
// runUntil()). An event loop that drives the queue installs a wake handler and sleeps
// until timeUntilNextTask() has passed or the handler tells it to look again.
class KELN_EXPORT MainQueue {
 public:
  using Task = std::function<void()>;

  // The process-wide main queue.
  static MainQueue& main();

  MainQueue();
  MainQueue(const MainQueue&) = delete;
  MainQueue& operator=(const MainQueue&) = delete;

  // Any thread.
  void async(Task task);
  void asyncAfter(Duration delay, Task task);

  // Runs the tasks that are due now, and those they post in turn, until none is due.
  // Returns how many ran. Main thread.
  std::size_t runPending();

  // Runs tasks as they become due until `condition` holds (checked before and after each
  // task) or `timeout` of real time has passed. Returns the final value of `condition`.
  // Main thread.
  bool runUntil(const std::function<bool()>& condition, Duration timeout);

  // Runs due tasks for `duration` of real time.
  void runFor(Duration duration);

  // The clock that delays are measured on (the system clock unless replaced).
  std::shared_ptr<Clock> clock() const;
  void setClock(std::shared_ptr<Clock> clock);

  // Drops every waiting task without running it (tests).
  void discardPending();

  // Number of tasks waiting, due or not.
  std::size_t pendingCount() const;

  // Wakes a thread blocked in runUntil(), and the event loop behind the wake handler, so
  // that they look at the clock again (used by ManualClock::advance).
  void wake();

  // Called on the posting thread after each async(), asyncAfter(), setClock() and wake(),
  // so that an event loop driving this queue can look at it again. It must be safe to call
  // from any thread and must not call back into this queue. Null removes it; a call already
  // under way on another thread may still finish after the removal.
  using WakeHandler = std::function<void()>;
  void setWakeHandler(WakeHandler handler);

  // How long, on the queue's clock, until a waiting task is due: zero when one is due now,
  // nullopt when none waits. Any thread.
  std::optional<Duration> timeUntilNextTask() const;

 private:
  struct Timer {
    TimePoint deadline;
    std::uint64_t sequence;
    Task task;
  };

  // Moves due timers to the ready list; caller holds mutex_.
  void collectDueTimersLocked(TimePoint now);
  bool runOneLocked(std::unique_lock<std::mutex>& lock);
  // Wakes runUntil() and calls the wake handler; caller does not hold mutex_.
  void notifyWaiters();

  mutable std::mutex mutex_;
  std::condition_variable wakeUp_;
  std::deque<Task> ready_;                          // guarded by mutex_
  std::vector<Timer> timers_;                       // guarded by mutex_; a min-heap on (deadline, sequence)
  std::uint64_t nextSequence_ = 0;                  // guarded by mutex_
  std::shared_ptr<Clock> clock_;                    // guarded by mutex_
  std::shared_ptr<const WakeHandler> wakeHandler_;  // guarded by mutex_
};

}  // namespace keln::dispatch
