#pragma once

#include <keln/Export.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/Coder.h"
#include "uikit/NavigationItem.h"
#include "uikit/View.h"

namespace keln::uikit {

// How a presented view controller covers the screen.
enum class ModalPresentationStyle { automatic, fullScreen };

// Manages one screen's root view and its presentation. A host makes one (or a subclass)
// to present the SDK's checkout from.
//
// View: made on first use of view() by loadView() (a plain view unless a subclass
// overrides it); viewDidLoad() then runs once.
//
// Presentation: a controller presents at most one other controller at a time and holds it
// strongly; the presented controller refers back to its presenter weakly. A transition
// takes effect at once; its completion runs afterwards on the main queue, as after the
// end of an animation (animated or not). Attempts that cannot be honoured are reported in
// the system log and change nothing (see present() and dismiss()). A presenter released
// while it presents lets go of the presented controller, which nobody can reach on screen
// any more: that controller (the one on top of it, for a navigation controller) is then
// asked to escape (accessibilityPerformEscape()), on the main queue, as a user's escape
// would ask it; the checkout ends as its close button ends it.
//
// Containment: a controller may have a parent (a navigation controller) that holds it;
// the parent is referred to weakly.
//
// Made with std::make_shared; main thread only.
class KELN_EXPORT ViewController : public std::enable_shared_from_this<ViewController> {
 public:
  using Completion = std::function<void()>;

  ViewController();
  // Restores a controller from an archive; its view is still made by loadView().
  explicit ViewController(const Coder& coder);
  virtual ~ViewController();
  ViewController(const ViewController&) = delete;
  ViewController& operator=(const ViewController&) = delete;

  // -- View --

  // The root view, loaded first if needed.
  std::shared_ptr<View> view();
  std::shared_ptr<View> viewIfLoaded() const { return view_; }
  bool isViewLoaded() const { return view_ != nullptr; }
  void setView(std::shared_ptr<View> view);

  // Makes the root view and hands it to setView(). Overrides need not call this one.
  virtual void loadView();
  // Runs once, right after the root view was loaded. Overrides call this one first.
  virtual void viewDidLoad();

  // The items the navigation bar shows while this controller is on top of a navigation
  // controller's stack.
  NavigationItem& navigationItem();

  // -- Presentation --

  ModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
  void setModalPresentationStyle(ModalPresentationStyle style) { modalPresentationStyle_ = style; }

  // Presents `controller` over this one, loading its view. When this controller already
  // presents one, or `controller` is null, this controller itself, or already presented or
  // contained elsewhere, nothing happens, the attempt is logged and `completion` does not
  // run (it would announce a screen that is not there). A full-screen presentation gives the
  // presented view the bounds of this controller's view.
  void present(const std::shared_ptr<ViewController>& controller, bool animated, Completion completion = nullptr);

  // Why present() would refuse `controller` now, as the line it logs; nullopt when it
  // would present it.
  std::optional<std::string> presentationRefusal(const std::shared_ptr<ViewController>& controller) const;

  // Dismisses the controller this one presents, with every controller presented above it.
  // Called on a controller that presents nothing, it asks its presenter (its own, or the
  // one of the nearest presented ancestor) to dismiss it. With no presenter either, nothing
  // is dismissed.
  //
  // `completion` always runs, once, on the main queue: after the dismissal, or right away
  // when nothing was dismissed, so that a caller waiting for it is never left waiting.
  void dismiss(bool animated, Completion completion = nullptr);

  // The controller this one presents; null when none.
  std::shared_ptr<ViewController> presentedViewController() const { return presented_; }
  // The controller that presents this one or, when this one is not presented itself, its
  // nearest presented ancestor; null when none.
  std::shared_ptr<ViewController> presentingViewController() const;

  // True from present() (or dismiss()) until the completion of that transition has run.
  bool isBeingPresented() const { return beingPresented_; }
  bool isBeingDismissed() const { return beingDismissed_; }
  // The animated flag of the latest presentation or dismissal of this controller;
  // nullopt before the first.
  std::optional<bool> lastTransitionAnimated() const { return lastTransitionAnimated_; }

  // -- Containment --

  std::shared_ptr<ViewController> parent() const { return parent_.lock(); }

  // Why this controller cannot present another one now (for instance, a window controller
  // with no display to show a window on); nullopt when it can. present() refuses while it
  // holds, and the SDK ends a payment started from such a controller with this text as a
  // configuration error, before anything is sent.
  virtual std::optional<std::string> presentationUnavailableReason() const { return std::nullopt; }

  // Asked to close this screen the way the user's escape does (the window's close from the
  // window manager). Returns true when the controller handled it; the default does not.
  virtual bool accessibilityPerformEscape() { return false; }

  // "<TypeName: 0x...>", as the platform's log lines name objects.
  virtual std::string description() const;

 protected:
  // Called on the presenter once `controller` has been presented from it (its view
  // loaded), before the presentation's completion is queued. A presenter that shows its
  // presented controller somewhere (a window) does so here.
  virtual void didPresent(const std::shared_ptr<ViewController>& controller, bool animated);
  // Called on the presenter once `controller` has been dismissed from it, before the
  // dismissal's completion is queued.
  virtual void didDismiss(const std::shared_ptr<ViewController>& controller, bool animated);

 private:
  friend class NavigationController;

  // Clears the links of this controller and of those presented above it.
  void unlinkPresentedChain();

  std::shared_ptr<View> view_;
  bool loadingView_ = false;
  std::unique_ptr<NavigationItem> navigationItem_;
  ModalPresentationStyle modalPresentationStyle_ = ModalPresentationStyle::automatic;
  std::shared_ptr<ViewController> presented_;
  std::weak_ptr<ViewController> presenting_;
  std::weak_ptr<ViewController> parent_;
  bool beingPresented_ = false;
  bool beingDismissed_ = false;
  std::optional<bool> lastTransitionAnimated_;
};

}  // namespace keln::uikit
