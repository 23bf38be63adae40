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

// The time source of delayed work. What waits for a deadline on it sleeps at most the
// time left, counted in real time, and looks again when the clock announces a jump.
// Thread-safe.
class KELN_EXPORT Clock {
 public:
  virtual ~Clock() = default;
  virtual TimePoint now() const = 0;

 protected:
  // A clock that moves forward other than with real time calls this, so that what waits
  // for deadlines on the main queue's clock looks at it again. Any thread.
  static void announceJump();
};

// The machine's monotonic clock.
class KELN_EXPORT SystemClock final : public Clock {
 public:
  TimePoint now() const override { return std::chrono::steady_clock::now(); }
};

// A clock that moves only when told to, for tests. Moving it announces the jump (see
// Clock::announceJump()). Thread-safe.
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
// The queue is only a queue: the SDK's network I/O, time-outs and retry delays run on a
// thread of the SDK's own, whatever the host does with its main thread, and only their
// outcomes are posted here, to wait until the host runs them. A host drives the queue from
// its own event loop, by calling runPending() regularly, or with runUntil(). An event loop
// that drives it installs a wake handler, sleeps until timeUntilNextTask() has passed or
// the handler tells it to look again, then calls runPending().
class KELN_EXPORT MainQueue {
 public:
  using Task = std::function<void()>;

  // The process-wide main queue.
  static MainQueue& main();

  MainQueue();
  ~MainQueue();
  MainQueue(const MainQueue&) = delete;
  MainQueue& operator=(const MainQueue&) = delete;

  // Any thread.
  void async(Task task);
  void asyncAfter(Duration delay, Task task);

  // Runs the tasks that are due now, and those they post in turn, until none is due.
  // Returns how many tasks ran. Main thread. An exception thrown by a task leaves this call
  // (and runUntil()) as thrown; that task is done, and the tasks behind it wait for the
  // next call.
  std::size_t runPending();

  // Runs tasks as they become due, sleeping while none is, until `condition` holds
  // (checked before and after each task) or `timeout` of real time has passed. Returns the
  // final value of `condition`. Main thread.
  bool runUntil(const std::function<bool()>& condition, Duration timeout);

  // Runs due tasks for `duration` of real time.
  void runFor(Duration duration);

  // The clock that delays are measured on (the system clock unless replaced).
  std::shared_ptr<Clock> clock() const;
  void setClock(std::shared_ptr<Clock> clock);

  // Called on the posting thread after each async(), asyncAfter() and setClock(), and (for
  // the main queue) on the moving thread after each Clock::announceJump(), so that an event
  // loop driving this queue can look at it again. It must be safe to call from any thread
  // and must not call back into this queue. Null removes it; a call already under way on
  // another thread may still finish after the removal.
  using WakeHandler = std::function<void()>;
  void setWakeHandler(WakeHandler handler);

  // How long until a waiting task is due on the queue's clock: zero when one is due now,
  // nullopt when nothing waits. Any thread.
  std::optional<Duration> timeUntilNextTask() const;

 private:
  friend struct MainQueueAccess;

  // Drops every waiting task without running it.
  void discardPending();
  // Number of tasks waiting, due or not.
  std::size_t pendingCount() const;
  // Wakes a thread blocked in runUntil(), and the event loop behind the wake handler, so
  // that they look at the clock again.
  void wake();

  struct Timer {
    TimePoint deadline;
    std::uint64_t sequence;
    Task task;
  };

  // Moves due timers to the ready list; caller holds mutex_.
  void collectDueTimersLocked(TimePoint now);
  bool runOneLocked(std::unique_lock<std::mutex>& lock);
  // Wakes runUntil() and calls the wake handler, reading both in the caller's turn of
  // the lock, which it releases first: the handler runs without mutex_ held.
  void notifyWaitersUnlocking(std::unique_lock<std::mutex>& lock);
  // Blocks until `wakeAt` or a post or wake(). Caller holds `lock`, released while
  // waiting.
  void wait(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point wakeAt);

  mutable std::mutex mutex_;
  std::condition_variable wakeUp_;                  // notified while a run sleeps
  bool sleeping_ = false;                           // guarded by mutex_: a run waits on wakeUp_
  std::deque<Task> ready_;                          // guarded by mutex_
  std::vector<Timer> timers_;                       // guarded by mutex_; a min-heap on (deadline, sequence)
  std::uint64_t nextSequence_ = 0;                  // guarded by mutex_
  std::shared_ptr<Clock> clock_;                    // guarded by mutex_
  std::shared_ptr<const WakeHandler> wakeHandler_;  // guarded by mutex_
};

}  // namespace keln::dispatch
