#pragma once

// Internal: where the sessions' network I/O happens.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

#include <keln/platform/MainQueue.h>

namespace keln::http {

class SessionEngine;

// The network I/O of every session, done on the main thread inside the main queue's waits:
// installed as the main queue's I/O source on first use, it lives until the process ends.
// One epoll set holds the sockets that each session's libcurl multi handle asks to have
// watched, and each session's next libcurl deadline is kept on the machine's monotonic
// clock. A step hands every ready socket and every passed deadline back to its session.
//
// While any session has a deadline (a transfer is under way), a step is also due at
// least every kStepInterval, so that I/O still moves under an event loop that drives the
// queue without watching its descriptor.
//
// Main thread only, apart from descriptor() and timeUntilDeadline().
class IOLoop final : public dispatch::MainQueue::IOSource {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr std::chrono::milliseconds kStepInterval{50};

  static IOLoop& shared();

  IOLoop(const IOLoop&) = delete;
  IOLoop& operator=(const IOLoop&) = delete;

  // Registers a session; the id returned tags its sockets and deadline until remove().
  std::uint32_t add(std::weak_ptr<SessionEngine> engine);
  void remove(std::uint32_t id);

  // What the session's multi handle asks for `socket`: one of libcurl's CURL_POLL_* values.
  void watch(std::uint32_t id, int socket, int what);
  // The session's next libcurl deadline, or none.
  void setDeadline(std::uint32_t id, std::optional<TimePoint> deadline);

  int descriptor() const override { return epoll_; }
  std::optional<dispatch::Duration> timeUntilDeadline() const override;
  void step() override;

 private:
  IOLoop();
  void updateEarliestDeadline();

  struct Entry {
    std::weak_ptr<SessionEngine> engine;
    std::optional<TimePoint> deadline;
  };

  const int epoll_;
  std::uint32_t nextId_ = 1;
  std::unordered_map<std::uint32_t, Entry> entries_;
  // On the monotonic clock, in its ticks: the earliest session deadline, and the latest
  // step (0 while no session has a deadline).
  std::atomic<std::int64_t> earliestDeadline_{INT64_MAX};
  std::atomic<std::int64_t> lastStep_{0};
};

}  // namespace keln::http
