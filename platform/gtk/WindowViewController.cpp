#include <keln/gtk/WindowViewController.h>

#include "gtk/DesktopURLOpener.h"
#include "gtk/MainQueueSource.h"
#include "gtk/PresentedWindow.h"
#include "gtk/WebKitWebEngine.h"
#include "gtk/WebSandbox.h"
#include "uikit/View.h"

namespace keln::gtk {

bool initialize() {
  if (!gtk_init_check()) return false;
  MainQueueSource::attach(g_main_context_default());
  static const bool frontEndInstalled = [] {
    installWebKitEngine();
    installDesktopURLOpener();
    return true;
  }();
  return frontEndInstalled;
}

namespace {

// The key under which a host window keeps its controller.
constexpr const char* kControllerKey = "keln-window-view-controller";

}  // namespace

std::shared_ptr<WindowViewController> WindowViewController::make(GtkWindow* window) {
  if (window == nullptr) return std::make_shared<WindowViewController>(MadeByMake(), nullptr);
  using Owned = std::shared_ptr<WindowViewController>;
  if (auto* owned = static_cast<Owned*>(g_object_get_data(G_OBJECT(window), kControllerKey))) return *owned;
  auto controller = std::make_shared<WindowViewController>(MadeByMake(), window);
  // Released when the window is finalized.
  g_object_set_data_full(G_OBJECT(window), kControllerKey, new Owned(controller),
                         [](gpointer owned) { delete static_cast<Owned*>(owned); });
  return controller;
}

WindowViewController::WindowViewController(MadeByMake, GtkWindow* window) : window_(window), hasDisplay_(initialize()) {
  if (window_ != nullptr) g_object_add_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
}

WindowViewController::~WindowViewController() {
  if (presentedWindow_ != nullptr) presentedWindow_->close();
  if (window_ != nullptr) g_object_remove_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
}

GtkWindow* WindowViewController::presentedWindow() const {
  return presentedWindow_ != nullptr ? presentedWindow_->window() : nullptr;
}

std::optional<std::string> WindowViewController::presentationUnavailableReason() const {
  if (!hasDisplay_) return "No display could be opened to show the checkout window";
  if (window_ == nullptr) return "No host window to present the checkout from";
  return webSandboxUnavailableReason();
}

void WindowViewController::didPresent(const std::shared_ptr<uikit::ViewController>& controller, bool) {
  if (presentedWindow_ != nullptr) presentedWindow_->close();
  presentedWindow_ = std::make_shared<PresentedWindow>();
  presentedWindow_->open(window_, controller);
}

void WindowViewController::didDismiss(const std::shared_ptr<uikit::ViewController>&, bool) {
  if (presentedWindow_ == nullptr) return;
  std::shared_ptr<PresentedWindow> closing = std::move(presentedWindow_);
  closing->close();
}

}  // namespace keln::gtk
