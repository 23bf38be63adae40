#pragma once

// Internal: the thread on which the sessions' network work happens.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include <keln/dispatch/MainQueue.h>

namespace keln::http {

class SessionEngine;

// The SDK's network thread: one thread that runs every session's I/O, whatever the host
// does with its main thread. One epoll set holds the sockets that each session's libcurl
// multi handle asks to have watched, and each session's next libcurl deadline is kept on
// the machine's monotonic clock; the thread sleeps in that set until a socket is ready, a
// deadline passes, a task is posted or a delayed task falls due. With no transfer under
// way and no delayed task, it sleeps without a time limit: it never wakes by itself.
//
// On this thread run the sessions' attempts: building and adapting each attempt's
// request, the TLS handshake, libcurl's time-outs, the retriers and the retry delays. Only
// outcomes leave it, posted to the main queue; nothing on it ever waits for the main
// thread, so a host that blocks its thread delays no request, time-out or retry.
//
// One thread per process (made on the first post, kept until the process ends) rather than
// one per session: the SDK takes one payment at a time, every payment makes a fresh
// session, and one thread that sleeps between transfers costs nothing and needs no thread
// to be made or parked for each payment. A loop of its own, with a thread of its own, can
// be made for a test (see SessionConfiguration::loop).
//
// post(), postAfter(), cancel(), delayedTaskCount(), isCurrentThread() and threadID() may
// be called from any thread; add(), remove(), watch() and setDeadline() on the loop's
// thread only.
class IOLoop {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Task = std::function<void()>;

  // The process's loop; never destroyed.
  static IOLoop& shared();

  IOLoop();
  // Ends the thread once the task it runs has returned; tasks not yet run are dropped
  // without running. Not on the loop's own thread.
  ~IOLoop();
  IOLoop(const IOLoop&) = delete;
  IOLoop& operator=(const IOLoop&) = delete;

  // Runs `task` on the loop's thread, after the tasks posted before it.
  void post(Task task);
  // Runs `task` on the loop's thread once `delay` has passed on the main queue's clock
  // (the machine's monotonic clock unless a test replaced it); returns an id for cancel().
  std::uint64_t postAfter(dispatch::Duration delay, Task task);
  // Drops a delayed task that has not started; its captures are released on the calling
  // thread.
  void cancel(std::uint64_t id);
  // Delayed tasks waiting (tests: a harness on a manual clock moves it on while some wait).
  std::size_t delayedTaskCount() const;

  bool isCurrentThread() const { return std::this_thread::get_id() == threadID_.load(); }
  // The kernel's id of the loop's thread, 0 until it has started (benchmarks count its
  // wake-ups).
  pid_t threadID() const { return kernelThreadID_.load(); }

  // Registers a session; the id returned tags its sockets and deadline until remove().
  std::uint32_t add(std::weak_ptr<SessionEngine> engine);
  void remove(std::uint32_t id);
  // What the session's multi handle asks for `socket`: one of libcurl's CURL_POLL_* values.
  void watch(std::uint32_t id, int socket, int what);
  // The session's next libcurl deadline, or none.
  void setDeadline(std::uint32_t id, std::optional<TimePoint> deadline);

 private:
  struct Delayed {
    dispatch::TimePoint deadline;  // on the main queue's clock
    Task task;
  };
  struct Entry {
    std::weak_ptr<SessionEngine> engine;
    std::optional<TimePoint> deadline;
  };

  // Writes the loop's wake-up descriptor while it is open; shared with the main queue's
  // clock listener, which may outlive the loop.
  struct Waker {
    std::mutex mutex;
    int descriptor = -1;  // guarded by mutex; -1 once the loop has gone
    void wake();
  };

  void startLocked();
  void run();
  // Takes the posted tasks and the due delayed ones; returns the epoll time-out in
  // milliseconds for what still waits (-1: none) and marks the loop asleep.
  int takeWorkLocked(std::vector<Task>& work);
  void runDueDeadlines();
  int millisecondsToNextDeadline() const;

  const int epoll_;
  const int wakeFd_;  // in the epoll set; written to wake the thread
  const std::shared_ptr<Waker> waker_;

  mutable std::mutex mutex_;
  std::thread thread_;                        // guarded by mutex_; started by the first post
  bool stopping_ = false;                     // guarded by mutex_
  bool sleeping_ = false;                     // guarded by mutex_: the thread waits in epoll
  std::vector<Task> tasks_;                   // guarded by mutex_
  std::map<std::uint64_t, Delayed> delayed_;  // guarded by mutex_; by id, in posting order
  std::uint64_t nextDelayedId_ = 1;           // guarded by mutex_
  std::atomic<std::thread::id> threadID_{};
  std::atomic<pid_t> kernelThreadID_{0};

  // The loop's thread only.
  std::uint32_t nextId_ = 1;
  std::unordered_map<std::uint32_t, Entry> entries_;
  // Sockets that may be in the epoll set, and whether libcurl still asks about each.
  std::unordered_map<int, bool> watched_;
};

}  // namespace keln::http
