#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "gtk/ViewTreeWidgets.h"

namespace keln::uikit {
class BarButtonItem;
class ViewController;
}  // namespace keln::uikit

namespace keln::gtk {

// The title of a presented window: the window manager and assistive technology show it.
inline constexpr const char* presentedWindowTitle = "Checkout";

// The window that shows one presented view controller: modal and transient for the
// presenter's window, of that window's size, with a header bar holding the bar button of
// the controller on top (of a navigation controller), and the controller's views drawn by
// ViewTreeWidgets below it. Refreshed after every run of the main queue, after each click,
// and when the window's size changes. It carries a title for the window manager and
// assistive technology, which its header bar does not show.
//
// The keyboard: each time the screen changes, the focus goes to the first control it shows
// (never to the bar's button, where Enter would end the payment); Escape acts as the bar
// button does (close, or back), or, with no bar button, as the window manager's close.
// Closing it from the window manager does not close it: it asks the controller on top to
// escape (the checkout's close button), or, when none handles that, dismisses the
// presented controller. Only close() (on dismissal) destroys it; when GTK destroys it
// anyway, or the presenter's window goes away under it, the controller is asked to escape
// just the same. Windows opened over it (the web page's file chooser or print dialog) are
// closed with it.
//
// Holds the presented controller weakly; made with std::make_shared and open(); main
// thread only.
class PresentedWindow : public std::enable_shared_from_this<PresentedWindow> {
 public:
  PresentedWindow();
  ~PresentedWindow();
  PresentedWindow(const PresentedWindow&) = delete;
  PresentedWindow& operator=(const PresentedWindow&) = delete;

  void open(GtkWindow* parent, const std::shared_ptr<uikit::ViewController>& controller);
  void close();

  GtkWindow* window() const { return window_; }
  const ViewTreeWidgets& widgets() const { return widgets_; }

  // Brings the widgets and the header bar in line with the controller's views.
  void refresh();

 private:
  static gboolean closeRequested(GtkWindow* window, gpointer self);
  static void destroyed(GtkWidget* window, gpointer self);
  // Escapes later, on the main queue: not from inside GTK's tearing down of a window.
  void escapeLater();
  void escape();
  void matchPresenterSize();
  // Gives the focus to the first control the screen shows (a card of the menu, the web
  // page) whenever that changes: never to the bar's button, where Enter closes.
  void placeFocus();
  void escapeKeyPressed();
  void updateBarButton(const std::shared_ptr<uikit::ViewController>& top);
  std::shared_ptr<uikit::ViewController> topController() const;

  std::weak_ptr<uikit::ViewController> controller_;
  GtkWindow* window_ = nullptr;  // one reference held until close()
  GtkWindow* parent_ = nullptr;  // weak pointer: GLib clears it when the window is finalized
  gulong parentUnrealized_ = 0;
  GtkWidget* headerBar_ = nullptr;
  GtkWidget* barButton_ = nullptr;
  std::weak_ptr<uikit::BarButtonItem> barButtonItem_;
  GtkWidget* focusTarget_ = nullptr;     // weak pointer: the widget placeFocus() last chose
  GdkFrameClock* frameClock_ = nullptr;  // the window's, one reference held until close()
  gulong afterPaint_ = 0;
  ViewTreeWidgets widgets_;
  bool destroyedElsewhere_ = false;  // destroyed by GTK (with the presenter's window), not by close()
  unsigned observer_ = 0;
  bool refreshQueued_ = false;
  // The presenter's size, which the window takes once it knows the size of its own
  // decorations (reached when both are zero).
  int pendingWidth_ = 0;
  int pendingHeight_ = 0;
};

}  // namespace keln::gtk
