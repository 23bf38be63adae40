#pragma once

#include <memory>

#include <keln/uikit/ViewController.h>

#include "uikit/ActivityIndicatorView.h"
#include "uikit/NavigationItem.h"
#include "uikit/View.h"
#include "uikit/ViewControllerAccess.h"

namespace keln {

// The base of the checkout's view controllers: a white root view and a loading indicator
// in its centre, which subclasses show before a long step and hide when it ends. The
// indicator is made on first use (in practice by viewDidLoad()) and lives as long as the
// controller. Main thread only.
class BaseViewController : public uikit::ViewController {
 public:
  BaseViewController() = default;
  explicit BaseViewController(const uikit::Coder&) {}

  // The root view, loaded first if needed.
  std::shared_ptr<uikit::View> view() { return uikit::ViewControllerAccess::view(*this); }
  // The items the navigation bar shows while this screen is on top.
  uikit::NavigationItem& navigationItem() { return uikit::ViewControllerAccess::navigationItem(*this); }

  // Large style, placed by constraints; made stopped (and so hidden).
  const std::shared_ptr<uikit::ActivityIndicatorView>& activityIndicatorView();

  // Puts the indicator in the middle of the root view.
  void setupActivityIndicator();
  // Brings the indicator in front of everything else in the root view and starts it.
  void showActivityIndicator();
  void hideActivityIndicator();

 protected:
  // Overrides call this one first.
  void viewDidLoad() override;

 private:
  std::shared_ptr<uikit::ActivityIndicatorView> activityIndicatorView_;
};

}  // namespace keln
