#include <keln/dispatch/MainQueue.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <thread>

#include "dispatch/MainQueueAccess.h"

namespace keln::dispatch {
namespace {

using namespace std::chrono_literals;

TEST(MainQueue, RunsTasksInPostingOrderAndDelayedOnesWhenDue) {
  MainQueue queue;
  auto clock = std::make_shared<ManualClock>();
  queue.setClock(clock);
  std::vector<int> order;
  queue.asyncAfter(3s, [&] { order.push_back(3); });
  queue.asyncAfter(1s, [&] { order.push_back(2); });
  queue.async([&] { order.push_back(0); });
  queue.async([&] {
    order.push_back(1);
    queue.async([&] { order.push_back(10); });
  });
  EXPECT_EQ(queue.runPending(), 3u);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 10}));
  clock->advance(1s);
  queue.runPending();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 10, 2}));
  clock->advance(2s);
  queue.runPending();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 10, 2, 3}));
  EXPECT_EQ(MainQueueAccess::pendingCount(queue), 0u);
}

TEST(MainQueue, DueTimerJoinsBehindTasksAlreadyWaiting) {
  MainQueue queue;
  auto clock = std::make_shared<ManualClock>();
  queue.setClock(clock);
  std::vector<int> order;
  queue.asyncAfter(0s, [&] { order.push_back(1); });
  queue.async([&] { order.push_back(0); });
  queue.runPending();
  EXPECT_EQ(order, (std::vector<int>{0, 1}));
}

TEST(MainQueue, ATaskThatThrowsLeavesTheRunAndTheTasksBehindItWaitForTheNext) {
  MainQueue queue;
  std::vector<int> order;
  queue.async([&] {
    order.push_back(0);
    throw std::runtime_error("host fault");
  });
  queue.async([&] { order.push_back(1); });
  EXPECT_THROW(queue.runPending(), std::runtime_error);
  EXPECT_EQ(order, std::vector<int>{0});
  EXPECT_EQ(queue.runPending(), 1u);
  EXPECT_EQ(order, (std::vector<int>{0, 1}));
}

TEST(MainQueue, RunUntilWaitsForWorkFromOtherThreads) {
  MainQueue queue;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    std::this_thread::sleep_for(20ms);
    queue.async([&] { done = true; });
  });
  EXPECT_TRUE(queue.runUntil([&] { return done.load(); }, 5s));
  worker.join();
  EXPECT_FALSE(queue.runUntil([] { return false; }, 10ms));
}

TEST(MainQueue, SystemClockDelaysRunAfterTheirDeadline) {
  MainQueue queue;
  bool ran = false;
  const auto start = std::chrono::steady_clock::now();
  queue.asyncAfter(30ms, [&] { ran = true; });
  EXPECT_TRUE(queue.runUntil([&] { return ran; }, 5s));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

// CPU time used by the whole process so far.
std::chrono::nanoseconds processCPUTime() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

TEST(MainQueue, IdleRunForSleepsInsteadOfSpinning) {
  struct Case {
    const char* name;
    std::shared_ptr<Clock> clock;  // null: the system clock
    bool distantTask;
  };
  const Case cases[] = {
      {"nothing queued", nullptr, false},
      {"a task due in an hour", nullptr, true},
      {"a task due in an hour on a manual clock", std::make_shared<ManualClock>(), true},
  };
  constexpr auto wait = 300ms;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MainQueue queue;
    queue.setClock(c.clock);
    bool ran = false;
    if (c.distantTask) queue.asyncAfter(1h, [&] { ran = true; });
    const auto cpuBefore = processCPUTime();
    const auto started = std::chrono::steady_clock::now();
    queue.runFor(wait);
    EXPECT_GE(std::chrono::steady_clock::now() - started, wait);
    EXPECT_LT(processCPUTime() - cpuBefore, wait / 3);
    EXPECT_FALSE(ran);
  }
}

TEST(MainQueue, AnEventLoopIsToldOfEveryPostAndSeesTheNextDeadline) {
  MainQueue queue;
  auto clock = std::make_shared<ManualClock>();
  queue.setClock(clock);
  std::atomic<int> wakes{0};
  queue.setWakeHandler([&] { ++wakes; });
  EXPECT_EQ(queue.timeUntilNextTask(), std::nullopt) << "nothing waits: sleep until woken";

  queue.asyncAfter(3s, [] {});
  EXPECT_EQ(wakes.load(), 1);
  EXPECT_EQ(queue.timeUntilNextTask(), Duration(3s));
  clock->advance(1s);
  EXPECT_EQ(queue.timeUntilNextTask(), Duration(2s));
  std::thread([&] { queue.async([] {}); }).join();
  EXPECT_EQ(wakes.load(), 2);
  EXPECT_EQ(queue.timeUntilNextTask(), Duration::zero());
  queue.runPending();
  EXPECT_EQ(queue.timeUntilNextTask(), Duration(2s));
  queue.setClock(clock);
  MainQueueAccess::wake(queue);
  EXPECT_EQ(wakes.load(), 4);

  queue.setWakeHandler(nullptr);
  queue.async([] {});
  EXPECT_EQ(wakes.load(), 4);
}

// A host's clock that jumps forward and announces it: the event loop driving the main
// queue is told to look again, and sees the task the jump made due.
TEST(MainQueue, AClockThatAnnouncesAJumpWakesTheMainQueuesEventLoop) {
  class JumpingClock final : public Clock {
   public:
    TimePoint now() const override { return std::chrono::steady_clock::now() + jumped_.load(); }
    void jump(Duration by) {
      jumped_ = jumped_.load() + by;
      announceJump();
    }

   private:
    std::atomic<Duration> jumped_{Duration::zero()};
  };
  MainQueue& queue = MainQueue::main();
  auto clock = std::make_shared<JumpingClock>();
  queue.setClock(clock);
  bool ran = false;
  queue.asyncAfter(1h, [&] { ran = true; });
  auto wakes = std::make_shared<std::atomic<int>>(0);
  queue.setWakeHandler([wakes] { ++*wakes; });

  clock->jump(1h);
  EXPECT_EQ(wakes->load(), 1);
  EXPECT_EQ(queue.timeUntilNextTask(), Duration::zero());
  queue.runPending();
  EXPECT_TRUE(ran);
  queue.setWakeHandler(nullptr);
  queue.setClock(nullptr);
}

}  // namespace
}  // namespace keln::dispatch
