#pragma once

// Internal: what the SDK's own code and its tests may do with a main queue beyond what a
// host may.

#include <cstddef>

#include <keln/dispatch/MainQueue.h>

namespace keln::dispatch {

struct MainQueueAccess {
  // Drops every waiting task without running it; what the tasks captured is released on
  // the calling thread. Any thread.
  static void discardPending(MainQueue& queue) { queue.discardPending(); }
  // Number of tasks waiting, due or not. Any thread.
  static std::size_t pendingCount(const MainQueue& queue) { return queue.pendingCount(); }
  // Has a thread blocked in runUntil(), and the event loop behind the wake handler, look at
  // the queue's clock again. Any thread.
  static void wake(MainQueue& queue) { queue.wake(); }
};

}  // namespace keln::dispatch
