#include "presentation/BaseViewController.h"

#include "uikit/View.h"

namespace keln {

const std::shared_ptr<uikit::ActivityIndicatorView>& BaseViewController::activityIndicatorView() {
  if (activityIndicatorView_ == nullptr) {
    activityIndicatorView_ = std::make_shared<uikit::ActivityIndicatorView>(uikit::ActivityIndicatorView::Style::large);
    activityIndicatorView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  }
  return activityIndicatorView_;
}

void BaseViewController::viewDidLoad() {
  view()->setBackgroundColor(uikit::Color::white());
  setupActivityIndicator();
}

void BaseViewController::setupActivityIndicator() {
  auto root = view();
  const auto& indicator = activityIndicatorView();
  root->addSubview(indicator);
  uikit::LayoutConstraint::activate({
      indicator->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
      indicator->centerYAnchor().constraintEqualTo(root->centerYAnchor()),
  });
}

void BaseViewController::showActivityIndicator() {
  const auto& indicator = activityIndicatorView();
  view()->bringSubviewToFront(indicator.get());
  indicator->startAnimating();
  indicator->setHidden(false);
}

void BaseViewController::hideActivityIndicator() {
  const auto& indicator = activityIndicatorView();
  indicator->setHidden(true);
  indicator->stopAnimating();
}

}  // namespace keln
