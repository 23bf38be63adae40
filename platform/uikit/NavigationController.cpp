#include "uikit/NavigationController.h"

#include <algorithm>

#include "uikit/View.h"
#include "uikit/ViewControllerAccess.h"

namespace keln::uikit {
namespace {

// The navigation controller's view: its one subview, the top controller's view, fills it.
class NavigationContainerView : public View {
 public:
  void layoutSubviews() override {
    for (const auto& subview : subviews()) subview->setFrame(bounds());
    View::layoutSubviews();
  }
};

}  // namespace

void NavigationController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool) {
  std::vector<std::shared_ptr<ViewController>> stack;
  for (auto& controller : controllers) {
    if (controller == nullptr || controller.get() == this ||
        std::find(stack.begin(), stack.end(), controller) != stack.end()) {
      continue;
    }
    stack.push_back(std::move(controller));
  }
  for (const auto& old : viewControllers_) {
    if (std::find(stack.begin(), stack.end(), old) == stack.end()) {
      ViewControllerAccess::setParent(*old, {});
      if (auto oldView = ViewControllerAccess::viewIfLoaded(*old);
          oldView != nullptr && oldView->superview() == ViewControllerAccess::viewIfLoaded(*this).get()) {
        oldView->removeFromSuperview();
      }
    }
  }
  auto self = weak_from_this();
  for (const auto& controller : stack) {
    if (auto formerParent = std::dynamic_pointer_cast<NavigationController>(ViewControllerAccess::parent(*controller));
        formerParent != nullptr && formerParent.get() != this) {
      std::erase(formerParent->viewControllers_, controller);
    }
    ViewControllerAccess::setParent(*controller, self);
  }
  viewControllers_ = std::move(stack);
  showTopView();
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
  return viewControllers_.empty() ? nullptr : viewControllers_.back();
}

void NavigationController::loadView() {
  ViewControllerAccess::setView(*this, std::make_shared<NavigationContainerView>());
  showTopView();
}

void NavigationController::showTopView() {
  auto container = ViewControllerAccess::viewIfLoaded(*this);
  if (container == nullptr) return;
  auto top = topViewController();
  std::shared_ptr<View> topView = top != nullptr ? ViewControllerAccess::view(*top) : nullptr;
  auto subviews = container->subviews();
  for (const auto& subview : subviews) {
    if (subview != topView) subview->removeFromSuperview();
  }
  if (topView != nullptr && topView->superview() != container.get()) {
    container->addSubview(topView);
    topView->setFrame(container->bounds());
  }
}

}  // namespace keln::uikit
