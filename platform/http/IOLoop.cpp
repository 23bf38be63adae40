#include "http/IOLoop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>

#include <curl/curl.h>

#include "dispatch/ClockListeners.h"
#include "http/SessionEngine.h"

namespace keln::http {
namespace {

std::uint64_t tag(std::uint32_t id, int socket) {
  return (static_cast<std::uint64_t>(id) << 32) | static_cast<std::uint32_t>(socket);
}

// Tags the wake-up descriptor in the epoll set: no session has id 0.
constexpr std::uint64_t kWakeTag = 0;

int checked(int descriptor, const char* what) {
  if (descriptor < 0) throw std::system_error(errno, std::generic_category(), what);
  return descriptor;
}

// Whole milliseconds until `wait` has passed, rounded up so that the thread never wakes
// before a deadline and then spins on it.
int roundedUpMilliseconds(dispatch::Duration wait) {
  if (wait <= dispatch::Duration::zero()) return 0;
  const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
  return static_cast<int>(std::min<decltype(milliseconds)>(milliseconds, INT_MAX));
}

int earlier(int a, int b) { return a < 0 ? b : (b < 0 ? a : std::min(a, b)); }

}  // namespace

void IOLoop::Waker::wake() {
  std::lock_guard lock(mutex);
  if (descriptor < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = ::write(descriptor, &one, sizeof one);
}

IOLoop& IOLoop::shared() {
  static IOLoop* loop = new IOLoop();  // never destroyed: sessions may end during exit
  return *loop;
}

IOLoop::IOLoop()
    : epoll_(checked(epoll_create1(EPOLL_CLOEXEC), "HTTP sessions: epoll_create1")),
      wakeFd_(checked(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), "HTTP sessions: eventfd")),
      waker_(std::make_shared<Waker>()) {
  // Edge-triggered: every write is an edge, so the counter need never be read back.
  epoll_event event{};
  event.events = EPOLLIN | EPOLLET;
  event.data.u64 = kWakeTag;
  if (epoll_ctl(epoll_, EPOLL_CTL_ADD, wakeFd_, &event) != 0) {
    ::close(wakeFd_);
    ::close(epoll_);
    throw std::system_error(errno, std::generic_category(), "HTTP sessions: epoll_ctl");
  }
  waker_->descriptor = wakeFd_;
  // Retry delays are measured on the main queue's clock: when it is replaced or jumps, the
  // thread looks at its delayed tasks again.
  dispatch::addMainClockListener([waker = std::weak_ptr<Waker>(waker_)] {
    if (auto held = waker.lock()) held->wake();
  });
}

IOLoop::~IOLoop() {
  std::thread thread;
  std::vector<Task> tasks;
  std::map<std::uint64_t, Delayed> delayed;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    thread = std::move(thread_);
  }
  waker_->wake();
  if (thread.joinable()) thread.join();
  {
    std::lock_guard lock(mutex_);
    tasks.swap(tasks_);
    delayed.swap(delayed_);
  }
  {
    std::lock_guard lock(waker_->mutex);
    waker_->descriptor = -1;
  }
  ::close(wakeFd_);
  ::close(epoll_);
}

void IOLoop::startLocked() {
  if (thread_.joinable() || stopping_) return;
  thread_ = std::thread([this] { run(); });
}

void IOLoop::post(Task task) {
  bool sleeping = false;
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    startLocked();
    sleeping = sleeping_;
  }
  if (sleeping) waker_->wake();
}

std::uint64_t IOLoop::postAfter(dispatch::Duration delay, Task task) {
  const dispatch::TimePoint deadline = dispatch::MainQueue::main().clock()->now() + delay;
  std::uint64_t id = 0;
  bool sleeping = false;
  {
    std::lock_guard lock(mutex_);
    id = nextDelayedId_++;
    delayed_.emplace(id, Delayed{deadline, std::move(task)});
    startLocked();
    sleeping = sleeping_;
  }
  if (sleeping) waker_->wake();
  return id;
}

void IOLoop::cancel(std::uint64_t id) {
  Task dropped;
  std::lock_guard lock(mutex_);
  const auto found = delayed_.find(id);
  if (found == delayed_.end()) return;
  dropped = std::move(found->second.task);
  delayed_.erase(found);
}

std::size_t IOLoop::delayedTaskCount() const {
  std::lock_guard lock(mutex_);
  return delayed_.size();
}

int IOLoop::takeWorkLocked(std::vector<Task>& work) {
  if (work.empty()) {
    work.swap(tasks_);
  } else {
    for (Task& task : tasks_) work.push_back(std::move(task));
    tasks_.clear();
  }
  if (delayed_.empty()) {
    sleeping_ = work.empty();
    return -1;
  }
  const std::shared_ptr<dispatch::Clock> clock = dispatch::MainQueue::main().clock();
  const dispatch::TimePoint now = clock->now();
  std::optional<dispatch::TimePoint> next;
  for (auto entry = delayed_.begin(); entry != delayed_.end();) {
    if (entry->second.deadline <= now) {
      work.push_back(std::move(entry->second.task));
      entry = delayed_.erase(entry);
    } else {
      next = next ? std::min(*next, entry->second.deadline) : entry->second.deadline;
      ++entry;
    }
  }
  sleeping_ = work.empty();
  // The wait is measured in real time, which suits every clock that moves with it; a clock
  // that jumps announces it (the clock listener wakes the thread), and one that moves only
  // when told is looked at again after that long.
  if (!next) return -1;
  return roundedUpMilliseconds(*next - now);
}

void IOLoop::run() {
  threadID_.store(std::this_thread::get_id());
  kernelThreadID_.store(static_cast<pid_t>(::gettid()));
  std::vector<Task> work;
  epoll_event events[64];
  const auto takeWork = [&] {
    std::lock_guard lock(mutex_);
    return stopping_ ? std::optional<int>() : std::optional<int>(takeWorkLocked(work));
  };
  std::optional<int> timeout = takeWork();
  while (timeout) {
    if (!work.empty()) {
      for (Task& task : work) {
        task();
        task = nullptr;  // what the task captured goes before the next one runs
      }
      work.clear();
      if (!(timeout = takeWork())) break;
      // More work came meanwhile: the sockets are looked at first, without sleeping, so
      // that a stream of tasks never starves them.
      if (!work.empty()) timeout = 0;
    }
    runDueDeadlines();
    const int count = epoll_wait(epoll_, events, 64, earlier(*timeout, millisecondsToNextDeadline()));
    {
      std::lock_guard lock(mutex_);
      sleeping_ = false;
    }
    for (int i = 0; i < count; ++i) {
      if (events[i].data.u64 == kWakeTag) continue;
      const int socket = static_cast<int>(events[i].data.u64 & 0xffffffffu);
      const auto watched = watched_.find(socket);
      const auto found = entries_.find(static_cast<std::uint32_t>(events[i].data.u64 >> 32));
      const std::shared_ptr<SessionEngine> engine =
          found != entries_.end() && watched != watched_.end() && watched->second ? found->second.engine.lock()
                                                                                  : nullptr;
      if (!engine) {
        // A socket libcurl no longer asks about (see watch()): out of the set now.
        epoll_event unused{};
        epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, &unused);
        if (watched != watched_.end()) watched_.erase(watched);
        continue;
      }
      const std::uint32_t happened = events[i].events;
      const int mask = ((happened & EPOLLIN) ? CURL_CSELECT_IN : 0) | ((happened & EPOLLOUT) ? CURL_CSELECT_OUT : 0) |
                       ((happened & (EPOLLERR | EPOLLHUP)) ? CURL_CSELECT_ERR : 0);
      engine->socketReady(socket, mask);
    }
    timeout = takeWork();
  }
}

void IOLoop::runDueDeadlines() {
  // A libcurl deadline is met once; libcurl sets the next one as it acts.
  const TimePoint now = std::chrono::steady_clock::now();
  std::vector<std::shared_ptr<SessionEngine>> due;
  for (auto& [id, entry] : entries_) {
    if (entry.deadline && *entry.deadline <= now) {
      entry.deadline.reset();
      if (auto engine = entry.engine.lock()) due.push_back(std::move(engine));
    }
  }
  for (const auto& engine : due) engine->deadlinePassed();
}

int IOLoop::millisecondsToNextDeadline() const {
  std::optional<TimePoint> earliest;
  for (const auto& [id, entry] : entries_) {
    if (entry.deadline) earliest = earliest ? std::min(*earliest, *entry.deadline) : *entry.deadline;
  }
  if (!earliest) return -1;
  return roundedUpMilliseconds(*earliest - std::chrono::steady_clock::now());
}

std::uint32_t IOLoop::add(std::weak_ptr<SessionEngine> engine) {
  const std::uint32_t id = nextId_++;
  entries_.emplace(id, Entry{std::move(engine), std::nullopt});
  return id;
}

void IOLoop::remove(std::uint32_t id) { entries_.erase(id); }

void IOLoop::watch(std::uint32_t id, int socket, int what) {
  if (what == CURL_POLL_REMOVE) {
    // Left in the set, so that a kept-alive connection taken up again by the next request
    // costs one change instead of two; if it becomes ready meanwhile, the loop takes it
    // out then. A socket that is closed leaves the set by itself.
    const auto found = watched_.find(socket);
    if (found != watched_.end()) found->second = false;
    return;
  }
  epoll_event event{};
  event.data.u64 = tag(id, socket);
  event.events = ((what & CURL_POLL_IN) ? EPOLLIN : 0u) | ((what & CURL_POLL_OUT) ? EPOLLOUT : 0u);
  // A socket the set may still hold is changed, one it cannot is added; either falls back
  // on the other (a socket closed and its number used again has left the set).
  const auto [entry, added] = watched_.insert_or_assign(socket, true);
  const bool known = !added;
  if (epoll_ctl(epoll_, known ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, socket, &event) != 0) {
    epoll_ctl(epoll_, known ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, socket, &event);
  }
}

void IOLoop::setDeadline(std::uint32_t id, std::optional<TimePoint> deadline) {
  const auto found = entries_.find(id);
  if (found != entries_.end()) found->second.deadline = deadline;
}

}  // namespace keln::http
