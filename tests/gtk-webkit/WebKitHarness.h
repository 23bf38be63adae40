#pragma once

// What the tests of the WebKitGTK engine share: GTK started once for the program, both
// loops driven together, script run in a page.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include <keln/dispatch/MainQueue.h>

#include "dispatch/MainQueueAccess.h"
#include "gtk/WebKitWebEngine.h"
#include "support/GatewayFormPage.h"
#include "support/GtkTestSupport.h"
#include "webkit/WebView.h"

namespace keln::testing {

// Runs GLib's main context (WebKit's signals) and the main queue (the delegates) for
// `duration`, or until `done` holds when given; true when it does.
inline bool pump(std::chrono::milliseconds duration, const std::function<bool()>& done = nullptr) {
  const auto giveUp = std::chrono::steady_clock::now() + duration;
  while (!done || !done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    const bool glibWorked = g_main_context_iteration(nullptr, FALSE);
    const std::size_t queued = dispatch::MainQueue::main().runPending();
    if (!glibWorked && queued == 0) g_usleep(1000);
  }
  return true;
}

// Pumps both loops until `done` holds; false, failing the test, after `timeout` of real
// time. All the tests run in one process: once a wait has given up, every later wait of
// the program gives up at once, so that an engine that stops answering fails the program
// within one wait's limit.
inline bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  static bool gaveUp = false;
  if (gaveUp) return done();
  if (pump(timeout, done)) return true;
  ADD_FAILURE() << "gave up waiting: what the test waits for did not come within " << timeout.count()
                << " ms; the program's later waits give up at once";
  gaveUp = true;
  return false;
}

// Runs `script` in the page of `webView` (made by the WebKit engine) as if a person acted,
// and waits until it has run. False when the script failed or never ran.
inline bool runScript(webkit::WebView& webView, const std::string& script) {
  auto* engine = dynamic_cast<gtk::WebKitWebEngine*>(&webView.engine());
  if (engine == nullptr) return false;
  const ScriptOutcome outcome = evaluateScript(WEBKIT_WEB_VIEW(engine->widget()), script,
                                               [](const std::function<bool()>& done) { return pumpUntil(done); });
  if (!outcome.error.empty()) ADD_FAILURE() << "script failed: " << outcome.error;
  return outcome.ran();
}

// Starts GTK for the whole program; fails every test when no display can be opened.
class GtkEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
};

// Each test's web views use the WebKit engine; the headless engine returns afterwards.
class WebKitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    gtk::installWebKitEngine();
  }
  void TearDown() override {
    webkit::setWebEngineFactory(nullptr);
    pump(std::chrono::milliseconds(20));
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
  }
};

}  // namespace keln::testing
