#include <keln/uikit/ViewController.h>

#include <keln/dispatch/MainQueue.h>

#include "foundation/Log.h"
#include "uikit/NavigationController.h"
#include "uikit/NavigationItem.h"
#include "uikit/View.h"
#include "uikit/ViewControllerAccess.h"

namespace keln::uikit {

struct ViewController::State {
  std::shared_ptr<View> view;
  bool loadingView = false;
  std::unique_ptr<NavigationItem> navigationItem;
  ModalPresentationStyle modalPresentationStyle = ModalPresentationStyle::automatic;
  std::shared_ptr<ViewController> presented;
  std::weak_ptr<ViewController> presenting;
  std::weak_ptr<ViewController> parent;
  bool beingPresented = false;
  bool beingDismissed = false;
  std::optional<bool> lastTransitionAnimated;
};

namespace {

using Completion = ViewControllerAccess::Completion;

void runOnMainQueue(Completion completion) {
  if (!completion) return;
  dispatch::MainQueue::main().async(std::move(completion));
}

}  // namespace

ViewController::ViewController() : state_(std::make_unique<State>()) {}

ViewController::~ViewController() {
  if (state_->presented == nullptr) return;
  // Whatever this one presented has lost the screen it was shown from, and nobody can reach
  // it there any more: it is asked to escape, as a user's escape would, on the main queue
  // rather than inside whatever is releasing this controller.
  dispatch::MainQueue::main().async([orphan = std::weak_ptr<ViewController>(state_->presented)] {
    std::shared_ptr<ViewController> top = orphan.lock();
    if (auto navigation = std::dynamic_pointer_cast<NavigationController>(top)) {
      if (auto shown = navigation->topViewController()) top = shown;
    }
    if (top != nullptr) top->accessibilityPerformEscape();
  });
}

std::shared_ptr<ViewController> ViewController::presentedViewController() const { return state_->presented; }

std::shared_ptr<ViewController> ViewController::presentingViewController() const {
  std::shared_ptr<ViewController> hold;
  for (const ViewController* current = this; current != nullptr; current = hold.get()) {
    if (auto presenter = current->state_->presenting.lock()) return presenter;
    hold = current->state_->parent.lock();
  }
  return nullptr;
}

std::optional<std::string> ViewController::presentationUnavailableReason() const { return std::nullopt; }

bool ViewController::accessibilityPerformEscape() { return false; }

std::string ViewController::description() const { return objectDescription(this, typeid(*this)); }

void ViewController::didPresent(const std::shared_ptr<ViewController>&, bool) {}

void ViewController::didDismiss(const std::shared_ptr<ViewController>&, bool) {}

void ViewController::loadView() { ViewControllerAccess::setView(*this, std::make_shared<View>()); }

void ViewController::viewDidLoad() {}

// -- The SDK's way in --

std::shared_ptr<View> ViewControllerAccess::view(ViewController& controller) {
  ViewController::State& state = *controller.state_;
  if (state.view != nullptr) return state.view;
  if (state.loadingView) {
    // Asked for while loadView() runs: a plain view, which loadView() may still replace.
    state.view = std::make_shared<View>();
    return state.view;
  }
  state.loadingView = true;
  controller.loadView();
  state.loadingView = false;
  if (state.view == nullptr) state.view = std::make_shared<View>();
  auto loaded = state.view;
  controller.viewDidLoad();
  return state.view != nullptr ? state.view : loaded;
}

std::shared_ptr<View> ViewControllerAccess::viewIfLoaded(const ViewController& controller) {
  return controller.state_->view;
}

void ViewControllerAccess::setView(ViewController& controller, std::shared_ptr<View> view) {
  controller.state_->view = std::move(view);
}

NavigationItem& ViewControllerAccess::navigationItem(ViewController& controller) {
  auto& item = controller.state_->navigationItem;
  if (item == nullptr) item = std::make_unique<NavigationItem>();
  return *item;
}

std::shared_ptr<ViewController> ViewControllerAccess::parent(const ViewController& controller) {
  return controller.state_->parent.lock();
}

void ViewControllerAccess::setParent(ViewController& controller, std::weak_ptr<ViewController> parent) {
  controller.state_->parent = std::move(parent);
}

ModalPresentationStyle ViewControllerAccess::modalPresentationStyle(const ViewController& controller) {
  return controller.state_->modalPresentationStyle;
}

void ViewControllerAccess::setModalPresentationStyle(ViewController& controller, ModalPresentationStyle style) {
  controller.state_->modalPresentationStyle = style;
}

std::optional<std::string> ViewControllerAccess::presentationRefusal(
    const ViewController& presenter, const std::shared_ptr<ViewController>& controller) {
  const std::string presenterName = presenter.description();
  if (controller == nullptr) return "Attempt to present a nil view controller on " + presenterName + ".";
  if (auto reason = presenter.presentationUnavailableReason()) {
    return "Attempt to present " + controller->description() + " on " + presenterName +
           " which cannot present: " + *reason + ".";
  }
  if (const auto& presented = presenter.state_->presented; presented != nullptr) {
    return "Attempt to present " + controller->description() + " on " + presenterName +
           " which is already presenting " + presented->description() + ".";
  }
  // The controller must not already be on screen: presented, contained, or the presenter or
  // one of the controllers it hangs from.
  std::shared_ptr<ViewController> hold;
  for (const ViewController* current = &presenter; current != nullptr; current = hold.get()) {
    if (current == controller.get()) {
      return "Application tried to present modally the active controller " + controller->description() + ".";
    }
    hold = current->state_->parent.lock();
    if (hold == nullptr) hold = current->state_->presenting.lock();
  }
  if (auto presenting = controller->state_->presenting.lock()) {
    return "Application tried to present modally a view controller " + controller->description() +
           " that is already being presented by " + presenting->description() + ".";
  }
  if (auto parent = controller->state_->parent.lock()) {
    return "Application tried to present modally a view controller " + controller->description() +
           " that is a child of " + parent->description() + ".";
  }
  return std::nullopt;
}

void ViewControllerAccess::present(ViewController& presenter, const std::shared_ptr<ViewController>& controller,
                                   bool animated, Completion completion) {
  if (const std::optional<std::string> refusal = presentationRefusal(presenter, controller)) {
    foundation::systemLog(*refusal);
    return;
  }

  ViewController::State& presented = *controller->state_;
  presenter.state_->presented = controller;
  presented.presenting = presenter.weak_from_this();
  presented.beingPresented = true;
  presented.lastTransitionAnimated = animated;
  auto presentedView = view(*controller);
  if (presented.modalPresentationStyle == ModalPresentationStyle::fullScreen && presenter.state_->view != nullptr) {
    presentedView->setFrame(presenter.state_->view->bounds());
  }
  presenter.didPresent(controller, animated);
  runOnMainQueue([weakController = std::weak_ptr<ViewController>(controller), completion = std::move(completion)] {
    if (auto strong = weakController.lock()) strong->state_->beingPresented = false;
    if (completion) completion();
  });
}

void ViewControllerAccess::dismiss(ViewController& controller, bool animated, Completion completion) {
  ViewController* presenter = &controller;
  std::shared_ptr<ViewController> holdPresenter;
  if (controller.state_->presented == nullptr) {
    holdPresenter = controller.presentingViewController();
    presenter = holdPresenter.get();
  }
  if (presenter == nullptr || presenter->state_->presented == nullptr) {
    runOnMainQueue(std::move(completion));
    return;
  }
  std::shared_ptr<ViewController> dismissed = presenter->state_->presented;
  // The dismissed controller and those presented above it leave the screen together.
  dismissed->state_->presenting.reset();
  std::shared_ptr<ViewController> above = std::move(dismissed->state_->presented);
  dismissed->state_->presented.reset();
  while (above != nullptr) {
    above->state_->presenting.reset();
    std::shared_ptr<ViewController> next = std::move(above->state_->presented);
    above->state_->presented.reset();
    above = std::move(next);
  }
  presenter->state_->presented.reset();
  dismissed->state_->beingDismissed = true;
  dismissed->state_->lastTransitionAnimated = animated;
  presenter->didDismiss(dismissed, animated);
  runOnMainQueue([dismissed, completion = std::move(completion)] {
    dismissed->state_->beingDismissed = false;
    if (completion) completion();
  });
}

bool ViewControllerAccess::isBeingPresented(const ViewController& controller) {
  return controller.state_->beingPresented;
}

bool ViewControllerAccess::isBeingDismissed(const ViewController& controller) {
  return controller.state_->beingDismissed;
}

std::optional<bool> ViewControllerAccess::lastTransitionAnimated(const ViewController& controller) {
  return controller.state_->lastTransitionAnimated;
}

}  // namespace keln::uikit
