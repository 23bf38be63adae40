#pragma once

#include <keln/Export.h>

#include <memory>
#include <vector>

#include <keln/uikit/ViewController.h>

namespace keln::uikit {

// A container that shows the controller on top of a stack of view controllers, under a
// navigation bar that shows that controller's navigation item. The navigation controller
// owns the controllers of its stack and is their parent. Made with std::make_shared. Its view holds the top
// controller's view, filling it. Main thread only.
class KELN_EXPORT NavigationController : public ViewController {
 public:
  NavigationController() = default;

  // Bottom to top.
  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return viewControllers_; }
  // Replaces the whole stack (null entries and repeats are left out). Controllers that
  // leave the stack lose their parent; those that join take it, leaving any former one.
  void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool animated = false);
  // Null when the stack is empty.
  std::shared_ptr<ViewController> topViewController() const;

 private:
  void loadView() override;

  // Puts the top controller's view (loading it) in this controller's view, alone.
  void showTopView();

  std::vector<std::shared_ptr<ViewController>> viewControllers_;
};

}  // namespace keln::uikit
