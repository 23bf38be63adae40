#pragma once

#include <glib.h>

#include <functional>

namespace keln::gtk {

// Runs the process-wide main queue (keln/dispatch/MainQueue.h) from a GLib main context:
// a source whose wake-up time is the queue's next deadline, woken from any thread (through
// the queue's wake handler) when work is posted. An idle queue leaves the loop asleep.
//
// At most one context drives the queue at a time. Main thread (the thread that iterates the
// context) only.
class MainQueueSource {
 public:
  // Attaches the queue to `context` (the thread-default one when null). Attaching again to
  // the same context does nothing; attaching to another moves the queue there.
  static void attach(GMainContext* context = nullptr);
  // Detaches the queue; a host may then drive it by hand again.
  static void detach();
  static bool isAttached();

  // Runs after every dispatch that ran at least one task, so that what shows the screens
  // can catch up with what the tasks changed. Returns a number for removeObserver().
  static unsigned addObserver(std::function<void()> observer);
  static void removeObserver(unsigned id);
};

}  // namespace keln::gtk
