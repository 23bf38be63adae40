#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <keln/Export.h>
#include <keln/uikit/ViewController.h>

namespace keln::gtk {

class PresentedWindow;

// Opens the default display (without aborting when there is none) and runs the SDK's main
// queue from GLib's default main context, so that a GTK host's own main loop delivers every
// SDK callback, delayed ones included. The first successful call also makes the checkout's
// web views use WebKitGTK, and the application's URL opener (keln/uikit/Application.h)
// the desktop's default handler; a host may install its own opener afterwards. Returns
// false when no display can be opened; the queue is then left to the host. Safe to call
// more than once. Main thread only.
KELN_EXPORT bool initialize();

// The view controller of a host's own GtkWindow: the controller a GTK host hands to
// SDK::startPayment() to present the checkout from.
//
// A controller presented from it (the checkout) opens in a window of its own: modal,
// transient for the host's window and of that window's size (the full-screen presentation
// style), with the presented navigation controller's bar button (close, or the back
// chevron) in a header bar. The screen's widgets follow our views at the frames of our
// layout, and follow the window when it is resized; a click on a menu card or a bar button
// does what a tap on it does. Closing that window from the window manager acts as the
// checkout's close button. Dismissing the checkout closes its window before the
// dismissal's completion runs.
//
// Without a display, without a host window, or where WebKit's sandbox cannot start (it
// needs bubblewrap and unprivileged user namespaces; without them WebKit would end the
// whole process when the page loads), the controller cannot present: the SDK then ends a
// payment started from it with KelnSDKError::sdkNotConfigured carrying the reason, and
// sends nothing.
//
// A host window has one controller, which the window owns: make() makes it on the first
// call for that window and returns the same one afterwards, and it lives until the window
// is finalized, so a host need not keep it (a start from it, kept or not, is a start from
// that window; a second start while the checkout is open replaces the first payment, as
// SDK::startPayment() says). A window that goes away while the checkout is open takes the
// checkout with it: the payment ends as the close button ends it. The controller holds
// the host's window weakly (a window destroyed by the host counts as none) and owns the
// window it opened. Main thread only.
class KELN_EXPORT WindowViewController : public uikit::ViewController {
  struct MadeByMake {
    explicit MadeByMake() = default;
  };

 public:
  // The controller of `window`, made on the first call; calls initialize(). Without a
  // window (null), a new controller that cannot present.
  static std::shared_ptr<WindowViewController> make(GtkWindow* window);

  // Through make() only.
  WindowViewController(MadeByMake, GtkWindow* window);
  ~WindowViewController() override;

  // The host's window; null once it is gone.
  GtkWindow* window() const { return window_; }
  // The window showing the controller presented from this one; null when none.
  GtkWindow* presentedWindow() const;

  std::optional<std::string> presentationUnavailableReason() const override;

 protected:
  void didPresent(const std::shared_ptr<uikit::ViewController>& controller, bool animated) override;
  void didDismiss(const std::shared_ptr<uikit::ViewController>& controller, bool animated) override;

 private:
  GtkWindow* window_;  // weak pointer: GLib clears it when the window is finalized
  bool hasDisplay_;
  std::shared_ptr<PresentedWindow> presentedWindow_;
};

// Widget names (gtk_widget_set_name) inside the checkout's window, for a host or a test
// that plays the user through the widgets. Each also carries an accessible label.
inline constexpr const char* checkoutWindowName = "keln-checkout-window";
inline constexpr const char* closeButtonWidgetName = "keln-close-button";
inline constexpr const char* backButtonWidgetName = "keln-back-button";
inline constexpr const char* menuWidgetName = "keln-menu";
inline constexpr const char* webViewWidgetName = "keln-web-view";
inline constexpr const char* activityIndicatorWidgetName = "keln-activity-indicator";
// The menu's card for `item`, counted from 0 in the order the menu shows them.
inline std::string cardWidgetName(std::int64_t item) { return "keln-card-" + std::to_string(item); }

}  // namespace keln::gtk
