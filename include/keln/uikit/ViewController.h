#pragma once

#include <keln/Export.h>

#include <memory>
#include <optional>
#include <string>

namespace keln::uikit {

struct ViewControllerAccess;

// A screen of the host's that the SDK presents its checkout from: the controller a host
// hands to SDK::startPayment(). A GTK host uses its window's
// (keln/gtk/WindowViewController.h); any other host may make a plain one, which shows the
// checkout nowhere (see the README).
//
// A controller presents at most one other controller at a time and holds it strongly; the
// presented controller refers back to its presenter weakly. The SDK presents and dismisses
// its checkout itself and tells the presenter through didPresent() and didDismiss(). A
// presenter released while it presents lets go of the presented controller, which nobody
// can reach on screen any more: that controller is then asked to escape
// (accessibilityPerformEscape()), on the main queue, as a user's escape would ask it; the
// checkout ends as its close button ends it.
//
// Made with std::make_shared; main thread only.
class KELN_EXPORT ViewController : public std::enable_shared_from_this<ViewController> {
 public:
  ViewController();
  virtual ~ViewController();
  ViewController(const ViewController&) = delete;
  ViewController& operator=(const ViewController&) = delete;

  // The controller this one presents (the checkout, while it is on screen); null when none.
  std::shared_ptr<ViewController> presentedViewController() const;
  // The controller that presents this one or, when this one is not presented itself, its
  // nearest presented ancestor; null when none.
  std::shared_ptr<ViewController> presentingViewController() const;

  // Why this controller cannot present another one now (for instance, a window controller
  // with no display to show a window on); nullopt when it can. The SDK ends a payment
  // started from such a controller with this text as a configuration error, before
  // anything is sent.
  virtual std::optional<std::string> presentationUnavailableReason() const;

  // Asked to close this screen the way the user's escape does (the window's close from the
  // window manager). Returns true when the controller handled it; the default does not.
  virtual bool accessibilityPerformEscape();

  // "<TypeName: 0x...>", as the platform's log lines name objects.
  virtual std::string description() const;

 protected:
  // Called on the presenter once `controller` has been presented from it, before the
  // presentation's completion is queued. A presenter that shows its presented controller
  // somewhere (a window) does so here.
  virtual void didPresent(const std::shared_ptr<ViewController>& controller, bool animated);
  // Called on the presenter once `controller` has been dismissed from it, before the
  // dismissal's completion is queued.
  virtual void didDismiss(const std::shared_ptr<ViewController>& controller, bool animated);

 private:
  friend struct ViewControllerAccess;
  struct State;

  // Where the SDK's own screens make their contents; a plain controller has none to make.
  virtual void loadView();
  virtual void viewDidLoad();

  std::unique_ptr<State> state_;
};

}  // namespace keln::uikit
