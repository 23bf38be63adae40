#include "gtk/MainQueueSource.h"

#include <keln/dispatch/MainQueue.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstddef>
#include <exception>
#include <map>
#include <memory>
#include <string>

#include "foundation/Log.h"

namespace keln::gtk {
namespace {

GSource* attachedSource = nullptr;  // main thread only
std::map<unsigned, std::function<void()>>& observers() {
  static std::map<unsigned, std::function<void()>> map;
  return map;
}
unsigned nextObserverId = 1;

// The GLib timeout, in whole milliseconds rounded up so that the queue is never looked at
// before its deadline; -1 when nothing waits.
gint timeoutFor(std::optional<dispatch::Duration> wait) {
  if (!wait) return -1;
  using namespace std::chrono;
  const auto milliseconds = ceil<std::chrono::milliseconds>(*wait).count();
  return static_cast<gint>(std::clamp<decltype(milliseconds)>(milliseconds, 0, INT_MAX));
}

gboolean prepare(GSource*, gint* timeout) {
  *timeout = timeoutFor(dispatch::MainQueue::main().timeUntilNextTask());
  return *timeout == 0;
}

gboolean check(GSource*) {
  auto wait = dispatch::MainQueue::main().timeUntilNextTask();
  return wait && *wait <= dispatch::Duration::zero();
}

// Runs what is due. A task that throws (a host's completion, say) cannot pass its
// exception on through GLib's loop: it is written to the system log and dropped, the task
// is not run again, and the tasks behind it run on the next dispatch.
std::size_t runPendingTasks() {
  try {
    return dispatch::MainQueue::main().runPending();
  } catch (const std::exception& error) {
    foundation::systemLog(std::string("Exception thrown by a main-queue task: ") + error.what());
  } catch (...) {
    foundation::systemLog("Exception thrown by a main-queue task");
  }
  return 1;
}

gboolean dispatchQueue(GSource*, GSourceFunc, gpointer) {
  if (runPendingTasks() > 0) {
    // A copy: an observer may remove itself or others.
    auto current = observers();
    for (auto& [id, observer] : current) {
      if (observers().count(id) != 0) observer();
    }
  }
  return G_SOURCE_CONTINUE;
}

GSourceFuncs sourceFuncs = {prepare, check, dispatchQueue, nullptr, nullptr, nullptr};

}  // namespace

void MainQueueSource::attach(GMainContext* context) {
  if (context == nullptr)
    context = g_main_context_ref_thread_default();
  else
    g_main_context_ref(context);
  if (attachedSource != nullptr && g_source_get_context(attachedSource) == context) {
    g_main_context_unref(context);
    return;
  }
  detach();
  attachedSource = g_source_new(&sourceFuncs, sizeof(GSource));
  g_source_set_name(attachedSource, "keln main queue");
  g_source_attach(attachedSource, context);
  // The handler holds its own reference: a post racing with detach() still wakes a live
  // context.
  std::shared_ptr<GMainContext> held(g_main_context_ref(context), g_main_context_unref);
  dispatch::MainQueue::main().setWakeHandler([held] { g_main_context_wakeup(held.get()); });
  g_main_context_unref(context);
  g_main_context_wakeup(context);
}

void MainQueueSource::detach() {
  if (attachedSource == nullptr) return;
  dispatch::MainQueue::main().setWakeHandler(nullptr);
  g_source_destroy(attachedSource);
  g_source_unref(attachedSource);
  attachedSource = nullptr;
}

bool MainQueueSource::isAttached() { return attachedSource != nullptr; }

unsigned MainQueueSource::addObserver(std::function<void()> observer) {
  const unsigned id = nextObserverId++;
  observers().emplace(id, std::move(observer));
  return id;
}

void MainQueueSource::removeObserver(unsigned id) { observers().erase(id); }

}  // namespace keln::gtk
