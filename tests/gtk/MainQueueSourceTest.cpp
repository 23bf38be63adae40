#include "gtk/MainQueueSource.h"

#include <keln/dispatch/MainQueue.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "dispatch/MainQueueAccess.h"
#include "foundation/Log.h"

namespace keln::gtk {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A private context whose every poll is counted: a loop that spins polls again and again.
class MainQueueSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    dispatch::MainQueue::main().setClock(nullptr);
    context_ = g_main_context_new();
    g_main_context_set_poll_func(context_, &MainQueueSourceTest::countingPoll);
    polls_ = 0;
    MainQueueSource::attach(context_);
  }
  void TearDown() override {
    MainQueueSource::detach();
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    dispatch::MainQueue::main().setClock(nullptr);
    g_main_context_unref(context_);
  }

  // Iterates the context, sleeping in poll as GLib does, until `done` or 5 s.
  template <class Condition>
  void iterateUntil(Condition done) {
    const auto giveUp = Clock::now() + 5s;
    while (!done() && Clock::now() < giveUp) g_main_context_iteration(context_, TRUE);
  }

  static gint countingPoll(GPollFD* fds, guint count, gint timeout) {
    ++polls_;
    return g_poll(fds, count, timeout);
  }

  GMainContext* context_ = nullptr;
  static inline std::atomic<int> polls_{0};
};

TEST_F(MainQueueSourceTest, DelayedWorkRunsAtItsDeadlineWithoutSpinning) {
  const auto posted = Clock::now();
  Clock::time_point ranAt{};
  dispatch::MainQueue::main().asyncAfter(60ms, [&] { ranAt = Clock::now(); });
  iterateUntil([&] { return ranAt != Clock::time_point{}; });
  EXPECT_GE(ranAt - posted, 60ms);
  EXPECT_LT(ranAt - posted, 2s);
  EXPECT_LE(polls_.load(), 4) << "the loop woke before the deadline";

  // Nothing waits: the loop sleeps until something else (here a GLib timeout) wakes it.
  polls_ = 0;
  bool fired = false;
  GSource* timeout = g_timeout_source_new(100);
  g_source_set_callback(
      timeout,
      [](gpointer flag) {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &fired, nullptr);
  g_source_attach(timeout, context_);
  g_source_unref(timeout);
  iterateUntil([&] { return fired; });
  EXPECT_TRUE(fired);
  EXPECT_LE(polls_.load(), 3) << "an idle queue kept the loop awake";
}

TEST_F(MainQueueSourceTest, WorkPostedFromAnotherThreadOrAClockAdvanceWakesASleepingLoop) {
  std::atomic<bool> ran{false};
  std::thread poster([&] {
    std::this_thread::sleep_for(30ms);
    dispatch::MainQueue::main().async([&] { ran = true; });
  });
  iterateUntil([&] { return ran.load(); });
  poster.join();
  EXPECT_TRUE(ran.load());

  auto manual = std::make_shared<dispatch::ManualClock>();
  dispatch::MainQueue::main().setClock(manual);
  bool polled = false;
  dispatch::MainQueue::main().asyncAfter(3s, [&] { polled = true; });
  g_main_context_iteration(context_, FALSE);
  EXPECT_FALSE(polled);
  std::thread advancer([&] {
    std::this_thread::sleep_for(30ms);
    manual->advance(3s);
  });
  const auto start = Clock::now();
  iterateUntil([&] { return polled; });
  advancer.join();
  EXPECT_TRUE(polled);
  EXPECT_LT(Clock::now() - start, 2s) << "the advance did not wake the loop";
}

TEST_F(MainQueueSourceTest, ObserversRunAfterADispatchThatRanWorkAndDetachHandsTheQueueBack) {
  int observed = 0;
  const unsigned id = MainQueueSource::addObserver([&] { ++observed; });
  bool ran = false;
  dispatch::MainQueue::main().async([&] { ran = true; });
  iterateUntil([&] { return ran; });
  EXPECT_EQ(observed, 1);
  MainQueueSource::removeObserver(id);

  MainQueueSource::detach();
  EXPECT_FALSE(MainQueueSource::isAttached());
  bool later = false;
  dispatch::MainQueue::main().async([&] { later = true; });
  g_main_context_iteration(context_, FALSE);
  EXPECT_FALSE(later);
  EXPECT_EQ(dispatch::MainQueue::main().runPending(), 1u);
  EXPECT_TRUE(later);
}

TEST_F(MainQueueSourceTest, ATaskThatThrowsIsLoggedOnceAndTheLoopGoesOn) {
  foundation::ScopedLogCapture capture;
  int thrown = 0;
  bool next = false;
  dispatch::MainQueue::main().async([&] {
    ++thrown;
    throw std::runtime_error("host fault");
  });
  dispatch::MainQueue::main().async([&] { next = true; });
  iterateUntil([&] { return next; });
  EXPECT_TRUE(next);
  EXPECT_EQ(thrown, 1);
  EXPECT_EQ(capture.messages(foundation::LogStream::systemLog),
            std::vector<std::string>{"Exception thrown by a main-queue task: host fault"});
}

}  // namespace
}  // namespace keln::gtk
