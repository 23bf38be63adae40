#include <keln/uikit/ViewController.h>

#include <keln/dispatch/MainQueue.h>

#include "foundation/Log.h"
#include "uikit/NavigationController.h"
#include "uikit/NavigationItem.h"
#include "uikit/View.h"

namespace keln::uikit {
namespace {

void runOnMainQueue(ViewController::Completion completion) {
  if (!completion) return;
  dispatch::MainQueue::main().async(std::move(completion));
}

}  // namespace

ViewController::ViewController() = default;

ViewController::ViewController(const Coder&) {}

ViewController::~ViewController() {
  if (presented_ == nullptr) return;
  // Whatever this one presented has lost the screen it was shown from, and nobody can reach
  // it there any more: it is asked to escape, as a user's escape would, on the main queue
  // rather than inside whatever is releasing this controller.
  dispatch::MainQueue::main().async([orphan = std::weak_ptr<ViewController>(presented_)] {
    std::shared_ptr<ViewController> top = orphan.lock();
    if (auto navigation = std::dynamic_pointer_cast<NavigationController>(top)) {
      if (auto shown = navigation->topViewController()) top = shown;
    }
    if (top != nullptr) top->accessibilityPerformEscape();
  });
}

std::shared_ptr<View> ViewController::view() {
  if (view_ != nullptr) return view_;
  if (loadingView_) {
    // Asked for while loadView() runs: a plain view, which loadView() may still replace.
    view_ = std::make_shared<View>();
    return view_;
  }
  loadingView_ = true;
  loadView();
  loadingView_ = false;
  if (view_ == nullptr) view_ = std::make_shared<View>();
  auto loaded = view_;
  viewDidLoad();
  return view_ != nullptr ? view_ : loaded;
}

void ViewController::setView(std::shared_ptr<View> view) { view_ = std::move(view); }

void ViewController::loadView() { setView(std::make_shared<View>()); }

void ViewController::viewDidLoad() {}

NavigationItem& ViewController::navigationItem() {
  if (navigationItem_ == nullptr) navigationItem_ = std::make_unique<NavigationItem>();
  return *navigationItem_;
}

std::optional<std::string> ViewController::presentationRefusal(
    const std::shared_ptr<ViewController>& controller) const {
  if (controller == nullptr) return "Attempt to present a nil view controller on " + description() + ".";
  if (auto reason = presentationUnavailableReason()) {
    return "Attempt to present " + controller->description() + " on " + description() +
           " which cannot present: " + *reason + ".";
  }
  if (presented_ != nullptr) {
    return "Attempt to present " + controller->description() + " on " + description() +
           " which is already presenting " + presented_->description() + ".";
  }
  // The controller must not already be on screen: presented, contained, or this one or one
  // of the controllers this one hangs from.
  std::shared_ptr<ViewController> hold;
  for (const ViewController* current = this; current != nullptr; current = hold.get()) {
    if (current == controller.get()) {
      return "Application tried to present modally the active controller " + controller->description() + ".";
    }
    hold = current->parent_.lock();
    if (hold == nullptr) hold = current->presenting_.lock();
  }
  if (auto presenter = controller->presenting_.lock()) {
    return "Application tried to present modally a view controller " + controller->description() +
           " that is already being presented by " + presenter->description() + ".";
  }
  if (auto parent = controller->parent_.lock()) {
    return "Application tried to present modally a view controller " + controller->description() +
           " that is a child of " + parent->description() + ".";
  }
  return std::nullopt;
}

void ViewController::present(const std::shared_ptr<ViewController>& controller, bool animated, Completion completion) {
  if (const std::optional<std::string> refusal = presentationRefusal(controller)) {
    foundation::systemLog(*refusal);
    return;
  }

  presented_ = controller;
  controller->presenting_ = weak_from_this();
  controller->beingPresented_ = true;
  controller->lastTransitionAnimated_ = animated;
  auto presentedView = controller->view();
  if (controller->modalPresentationStyle_ == ModalPresentationStyle::fullScreen && view_ != nullptr) {
    presentedView->setFrame(view_->bounds());
  }
  didPresent(controller, animated);
  runOnMainQueue([weakController = std::weak_ptr<ViewController>(controller), completion = std::move(completion)] {
    if (auto strong = weakController.lock()) strong->beingPresented_ = false;
    if (completion) completion();
  });
}

void ViewController::dismiss(bool animated, Completion completion) {
  ViewController* presenter = this;
  std::shared_ptr<ViewController> holdPresenter;
  if (presented_ == nullptr) {
    holdPresenter = presentingViewController();
    presenter = holdPresenter.get();
  }
  if (presenter == nullptr || presenter->presented_ == nullptr) {
    runOnMainQueue(std::move(completion));
    return;
  }
  std::shared_ptr<ViewController> dismissed = presenter->presented_;
  dismissed->unlinkPresentedChain();
  presenter->presented_.reset();
  dismissed->beingDismissed_ = true;
  dismissed->lastTransitionAnimated_ = animated;
  presenter->didDismiss(dismissed, animated);
  runOnMainQueue([dismissed, completion = std::move(completion)] {
    dismissed->beingDismissed_ = false;
    if (completion) completion();
  });
}

void ViewController::didPresent(const std::shared_ptr<ViewController>&, bool) {}

void ViewController::didDismiss(const std::shared_ptr<ViewController>&, bool) {}

std::shared_ptr<ViewController> ViewController::presentingViewController() const {
  std::shared_ptr<ViewController> hold;
  for (const ViewController* current = this; current != nullptr; current = hold.get()) {
    if (auto presenter = current->presenting_.lock()) return presenter;
    hold = current->parent_.lock();
  }
  return nullptr;
}

void ViewController::unlinkPresentedChain() {
  presenting_.reset();
  std::shared_ptr<ViewController> above = std::move(presented_);
  presented_.reset();
  while (above != nullptr) {
    above->presenting_.reset();
    std::shared_ptr<ViewController> next = std::move(above->presented_);
    above->presented_.reset();
    above = std::move(next);
  }
}

std::string ViewController::description() const { return objectDescription(this, typeid(*this)); }

}  // namespace keln::uikit
