#pragma once

// Internal: the parts of a ViewController that only the SDK's own code uses.

#include <keln/Export.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <keln/uikit/ViewController.h>

namespace keln::uikit {

class NavigationItem;
class View;

// How a presented view controller covers the screen.
enum class ModalPresentationStyle { automatic, fullScreen };

// The SDK's way into a ViewController: its root view, its navigation item, its parent, and
// presenting and dismissing.
//
// View: made on first use of view() by the controller's loadView() (a plain view unless a
// subclass overrides it); its viewDidLoad() then runs once.
//
// Presentation: a transition takes effect at once; its completion runs afterwards on the
// main queue, as after the end of an animation (animated or not). Attempts that cannot be
// honoured are reported in the system log and change nothing (see present() and
// dismiss()).
//
// Containment: a controller may have a parent (a navigation controller) that holds it;
// the parent is referred to weakly.
//
// Main thread only.
struct KELN_EXPORT ViewControllerAccess {
  using Completion = std::function<void()>;

  // -- View --

  // The root view, loaded first if needed.
  static std::shared_ptr<View> view(ViewController& controller);
  static std::shared_ptr<View> viewIfLoaded(const ViewController& controller);
  static void setView(ViewController& controller, std::shared_ptr<View> view);

  // The items the navigation bar shows while `controller` is on top of a navigation
  // controller's stack.
  static NavigationItem& navigationItem(ViewController& controller);

  // -- Containment --

  static std::shared_ptr<ViewController> parent(const ViewController& controller);
  // An empty one clears it.
  static void setParent(ViewController& controller, std::weak_ptr<ViewController> parent);

  // -- Presentation --

  static ModalPresentationStyle modalPresentationStyle(const ViewController& controller);
  static void setModalPresentationStyle(ViewController& controller, ModalPresentationStyle style);

  // Presents `controller` over `presenter`, loading its view. When `presenter` already
  // presents one, or `controller` is null, `presenter` itself, or already presented or
  // contained elsewhere, or `presenter` cannot present (presentationUnavailableReason()),
  // nothing happens, the attempt is logged and `completion` does not run (it would announce
  // a screen that is not there). A full-screen presentation gives the presented view the
  // bounds of the presenter's view, when that is loaded.
  static void present(ViewController& presenter, const std::shared_ptr<ViewController>& controller, bool animated,
                      Completion completion = nullptr);

  // Why present() would refuse `controller` now, as the line it logs; nullopt when it
  // would present it.
  static std::optional<std::string> presentationRefusal(const ViewController& presenter,
                                                        const std::shared_ptr<ViewController>& controller);

  // Dismisses the controller that `controller` presents, with every controller presented
  // above it. Called on a controller that presents nothing, it asks its presenter (its own,
  // or the one of the nearest presented ancestor) to dismiss it. With no presenter either,
  // nothing is dismissed.
  //
  // `completion` always runs, once, on the main queue: after the dismissal, or right away
  // when nothing was dismissed, so that a caller waiting for it is never left waiting.
  static void dismiss(ViewController& controller, bool animated, Completion completion = nullptr);

  // True from present() (or dismiss()) until the completion of that transition has run.
  static bool isBeingPresented(const ViewController& controller);
  static bool isBeingDismissed(const ViewController& controller);
  // The animated flag of the latest presentation or dismissal of `controller`; nullopt
  // before the first.
  static std::optional<bool> lastTransitionAnimated(const ViewController& controller);
};

}  // namespace keln::uikit
