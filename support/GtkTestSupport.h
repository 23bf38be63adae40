#pragma once

// What the GTK tests and benchmarks share: finding a window's widgets, driving GLib's
// default main context until something holds (never longer than a bound of real time),
// and running script in a WebKit page. Free of any test framework: the benchmarks use it
// too, and each caller turns a false or an error into its own failure.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <chrono>
#include <functional>
#include <string>

namespace keln::testing {

// The first widget named `name` in the tree under `root`, `root` included, depth first;
// null when none (or when `root` is null).
GtkWidget* findNamed(GtkWidget* root, const std::string& name);

// The first widget of `type` in the tree under `root`, as findNamed().
GtkWidget* findOfType(GtkWidget* root, GType type);

// Iterates GLib's default main context, blocking as a host's loop does, until `done`
// holds; false once `atMost` of real time has passed without it. The loop wakes every
// 10 ms, so a condition that another thread makes true without a GLib event is seen.
// `afterEachIteration`, when given, runs after every iteration (a test moves its virtual
// clock on there).
bool iterateUntil(const std::function<bool()>& done, std::chrono::milliseconds atMost,
                  const std::function<void()>& afterEachIteration = {});

// What running a script in a page gave.
struct ScriptOutcome {
  bool ended = false;      // WebKit answered within the wait
  std::string error = {};  // what the script threw, or why WebKit did not run it; empty when it ran
  std::string value = {};  // its value as text; empty for undefined
  bool ran() const { return ended && error.empty(); }
};

// The caller's loop: runs until the condition holds, false when it gave up. It must
// iterate GLib's default main context, where WebKit answers.
using WaitUntil = std::function<bool(const std::function<bool()>& done)>;

// Runs `script` in the page of `view` and waits with `waitUntil` for its value. An answer
// that comes after the wait gave up is dropped.
ScriptOutcome evaluateScript(WebKitWebView* view, const std::string& script, const WaitUntil& waitUntil);

}  // namespace keln::testing
