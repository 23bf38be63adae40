#include <keln/dispatch/MainQueue.h>

#include "dispatch/ClockListeners.h"
#include "dispatch/MainQueueAccess.h"

#include <algorithm>
#include <cstdint>

namespace keln::dispatch {
namespace {

// Real-time granularity at which runUntil re-reads a clock that is not the system's.
constexpr auto kManualClockPoll = std::chrono::milliseconds(5);

bool later(const auto& a, const auto& b) {
  return a.deadline != b.deadline ? a.deadline > b.deadline : a.sequence > b.sequence;
}

struct ClockListeners {
  std::mutex mutex;
  std::vector<std::function<void()>> listeners;  // guarded by mutex
};

ClockListeners& clockListeners() {
  static auto* listeners = new ClockListeners();  // never destroyed: clocks may move during exit
  return *listeners;
}

void notifyClockListeners() {
  std::vector<std::function<void()>> listeners;
  {
    ClockListeners& shared = clockListeners();
    std::lock_guard lock(shared.mutex);
    listeners = shared.listeners;
  }
  for (const auto& listener : listeners) listener();
}

}  // namespace

void addMainClockListener(std::function<void()> listener) {
  ClockListeners& shared = clockListeners();
  std::lock_guard lock(shared.mutex);
  shared.listeners.push_back(std::move(listener));
}

void Clock::announceJump() {
  MainQueueAccess::wake(MainQueue::main());
  notifyClockListeners();
}

TimePoint ManualClock::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

void ManualClock::advance(Duration by) {
  {
    std::lock_guard lock(mutex_);
    now_ += by;
  }
  announceJump();
}

MainQueue& MainQueue::main() {
  static MainQueue* queue = new MainQueue();  // never destroyed: tasks may be posted during exit
  return *queue;
}

MainQueue::MainQueue() : clock_(std::make_shared<SystemClock>()) {}

MainQueue::~MainQueue() = default;

void MainQueue::async(Task task) {
  std::unique_lock lock(mutex_);
  ready_.push_back(std::move(task));
  notifyWaitersUnlocking(lock);
}

void MainQueue::asyncAfter(Duration delay, Task task) {
  std::unique_lock lock(mutex_);
  timers_.push_back(Timer{clock_->now() + delay, nextSequence_++, std::move(task)});
  std::push_heap(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) { return later(a, b); });
  notifyWaitersUnlocking(lock);
}

void MainQueue::collectDueTimersLocked(TimePoint now) {
  auto order = [](const Timer& a, const Timer& b) { return later(a, b); };
  while (!timers_.empty() && timers_.front().deadline <= now) {
    std::pop_heap(timers_.begin(), timers_.end(), order);
    ready_.push_back(std::move(timers_.back().task));
    timers_.pop_back();
  }
}

bool MainQueue::runOneLocked(std::unique_lock<std::mutex>& lock) {
  collectDueTimersLocked(clock_->now());
  if (ready_.empty()) return false;
  Task task = std::move(ready_.front());
  ready_.pop_front();
  lock.unlock();
  task();
  task = nullptr;  // release what the task captured before taking the lock again
  lock.lock();
  return true;
}

std::size_t MainQueue::runPending() {
  std::unique_lock lock(mutex_);
  std::size_t count = 0;
  while (runOneLocked(lock)) ++count;
  return count;
}

bool MainQueue::runUntil(const std::function<bool()>& condition, Duration timeout) {
  const auto giveUp = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(mutex_);
  while (true) {
    lock.unlock();
    if (condition()) return true;
    lock.lock();
    if (runOneLocked(lock)) continue;
    const auto realNow = std::chrono::steady_clock::now();
    if (realNow >= giveUp) break;
    auto wakeAt = giveUp;
    const bool systemClock = dynamic_cast<SystemClock*>(clock_.get()) != nullptr;
    if (!systemClock) {
      wakeAt = std::min(wakeAt, realNow + kManualClockPoll);
    } else if (!timers_.empty()) {
      wakeAt = std::min(wakeAt, timers_.front().deadline);
    }
    wait(lock, wakeAt);
  }
  lock.unlock();
  return condition();
}

void MainQueue::wait(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point wakeAt) {
  sleeping_ = true;
  wakeUp_.wait_until(lock, wakeAt);
  sleeping_ = false;
}

void MainQueue::runFor(Duration duration) {
  runUntil([] { return false; }, duration);
}

std::shared_ptr<Clock> MainQueue::clock() const {
  std::lock_guard lock(mutex_);
  return clock_;
}

void MainQueue::setClock(std::shared_ptr<Clock> clock) {
  std::unique_lock lock(mutex_);
  clock_ = clock ? std::move(clock) : std::make_shared<SystemClock>();
  notifyWaitersUnlocking(lock);
  if (this == &main()) notifyClockListeners();
}

void MainQueue::discardPending() {
  std::deque<Task> ready;
  std::vector<Timer> timers;
  {
    std::lock_guard lock(mutex_);
    ready.swap(ready_);
    timers.swap(timers_);
  }
}

std::size_t MainQueue::pendingCount() const {
  std::lock_guard lock(mutex_);
  return ready_.size() + timers_.size();
}

void MainQueue::wake() {
  std::unique_lock lock(mutex_);
  notifyWaitersUnlocking(lock);
}

void MainQueue::notifyWaitersUnlocking(std::unique_lock<std::mutex>& lock) {
  const std::shared_ptr<const WakeHandler> handler = wakeHandler_;
  const bool sleeping = sleeping_;
  lock.unlock();
  if (sleeping) wakeUp_.notify_all();
  if (handler) (*handler)();
}

void MainQueue::setWakeHandler(WakeHandler handler) {
  std::lock_guard lock(mutex_);
  wakeHandler_ = handler ? std::make_shared<const WakeHandler>(std::move(handler)) : nullptr;
}

std::optional<Duration> MainQueue::timeUntilNextTask() const {
  std::lock_guard lock(mutex_);
  if (!ready_.empty()) return Duration::zero();
  if (timers_.empty()) return std::nullopt;
  return std::max(Duration::zero(), timers_.front().deadline - clock_->now());
}

}  // namespace keln::dispatch
