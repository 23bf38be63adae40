#include "http/IOLoop.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include <curl/curl.h>

#include "http/SessionEngine.h"

namespace keln::http {
namespace {

std::int64_t ticks(IOLoop::TimePoint time) { return time.time_since_epoch().count(); }

std::uint64_t tag(std::uint32_t id, int socket) {
  return (static_cast<std::uint64_t>(id) << 32) | static_cast<std::uint32_t>(socket);
}

}  // namespace

IOLoop& IOLoop::shared() {
  static IOLoop* loop = [] {
    auto* made = new IOLoop();  // never destroyed: the main queue refers to it
    dispatch::MainQueue::main().setIOSource(made);
    return made;
  }();
  return *loop;
}

IOLoop::IOLoop() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {
  if (epoll_ < 0) throw std::system_error(errno, std::generic_category(), "HTTP sessions: epoll_create1");
}

std::uint32_t IOLoop::add(std::weak_ptr<SessionEngine> engine) {
  const std::uint32_t id = nextId_++;
  entries_.emplace(id, Entry{std::move(engine), std::nullopt});
  return id;
}

void IOLoop::remove(std::uint32_t id) {
  if (entries_.erase(id) != 0) updateEarliestDeadline();
}

void IOLoop::watch(std::uint32_t id, int socket, int what) {
  epoll_event event{};
  event.data.u64 = tag(id, socket);
  if (what == CURL_POLL_REMOVE) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, &event);
    return;
  }
  event.events = ((what & CURL_POLL_IN) ? EPOLLIN : 0u) | ((what & CURL_POLL_OUT) ? EPOLLOUT : 0u);
  if (epoll_ctl(epoll_, EPOLL_CTL_MOD, socket, &event) != 0 && errno == ENOENT) {
    epoll_ctl(epoll_, EPOLL_CTL_ADD, socket, &event);
  }
}

void IOLoop::setDeadline(std::uint32_t id, std::optional<TimePoint> deadline) {
  const auto found = entries_.find(id);
  if (found == entries_.end()) return;
  found->second.deadline = deadline;
  updateEarliestDeadline();
}

void IOLoop::updateEarliestDeadline() {
  std::int64_t earliest = INT64_MAX;
  for (const auto& [id, entry] : entries_) {
    if (entry.deadline) earliest = std::min(earliest, ticks(*entry.deadline));
  }
  earliestDeadline_.store(earliest);
  if (earliest == INT64_MAX) {
    lastStep_.store(0);
  } else if (lastStep_.load() == 0) {
    lastStep_.store(ticks(std::chrono::steady_clock::now()));
  }
}

std::optional<dispatch::Duration> IOLoop::timeUntilDeadline() const {
  const std::int64_t earliest = earliestDeadline_.load();
  if (earliest == INT64_MAX) return std::nullopt;
  const std::int64_t lastStep = lastStep_.load();
  const std::int64_t interval = std::chrono::duration_cast<TimePoint::duration>(kStepInterval).count();
  const std::int64_t due = lastStep == 0 ? earliest : std::min(earliest, lastStep + interval);
  const std::int64_t now = ticks(std::chrono::steady_clock::now());
  return TimePoint::duration(std::max<std::int64_t>(0, due - now));
}

void IOLoop::step() {
  if (earliestDeadline_.load() != INT64_MAX) lastStep_.store(ticks(std::chrono::steady_clock::now()));
  epoll_event events[64];
  const int count = epoll_wait(epoll_, events, 64, 0);
  for (int i = 0; i < count; ++i) {
    const auto found = entries_.find(static_cast<std::uint32_t>(events[i].data.u64 >> 32));
    if (found == entries_.end()) continue;
    const std::shared_ptr<SessionEngine> engine = found->second.engine.lock();
    if (!engine) continue;
    const std::uint32_t happened = events[i].events;
    const int mask = ((happened & EPOLLIN) ? CURL_CSELECT_IN : 0) | ((happened & EPOLLOUT) ? CURL_CSELECT_OUT : 0) |
                     ((happened & (EPOLLERR | EPOLLHUP)) ? CURL_CSELECT_ERR : 0);
    engine->socketReady(static_cast<int>(events[i].data.u64 & 0xffffffffu), mask);
  }
  // A libcurl deadline is met once; libcurl sets the next one as it acts.
  const TimePoint now = std::chrono::steady_clock::now();
  std::vector<std::shared_ptr<SessionEngine>> due;
  for (auto& [id, entry] : entries_) {
    if (entry.deadline && *entry.deadline <= now) {
      entry.deadline.reset();
      if (auto engine = entry.engine.lock()) due.push_back(std::move(engine));
    }
  }
  if (!due.empty()) updateEarliestDeadline();
  for (const auto& engine : due) engine->deadlinePassed();
}

}  // namespace keln::http
