#include "presentation/DefaultPaymentView.h"

#include "uikit/CollectionViewFlowLayout.h"

namespace keln {

const std::shared_ptr<webkit::WebViewConfiguration>& DefaultPaymentView::webViewConfiguration() {
  if (webViewConfiguration_ == nullptr) webViewConfiguration_ = std::make_shared<webkit::WebViewConfiguration>();
  return webViewConfiguration_;
}

const std::shared_ptr<webkit::WebView>& DefaultPaymentView::webView() {
  if (webView_ == nullptr) {
    webView_ = std::make_shared<webkit::WebView>(uikit::Rect{}, webViewConfiguration());
    webView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  }
  return webView_;
}

const std::shared_ptr<uikit::CollectionView>& DefaultPaymentView::collectionView() {
  if (collectionView_ == nullptr) {
    auto layout = std::make_shared<uikit::CollectionViewFlowLayout>();
    layout->setScrollDirection(uikit::CollectionViewFlowLayout::ScrollDirection::vertical);
    collectionView_ = std::make_shared<uikit::CollectionView>(uikit::Rect{}, layout);
    collectionView_->setBackgroundColor(uikit::Color::white());
    collectionView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  }
  return collectionView_;
}

void DefaultPaymentView::showWebForm() {
  webView()->setHidden(false);
  collectionView()->setHidden(true);
}

void DefaultPaymentView::showMenu() {
  collectionView()->setHidden(false);
  webView()->setHidden(true);
}

void DefaultPaymentView::setupView() {
  const auto& web = webView();
  const auto& menu = collectionView();
  addSubview(web);
  addSubview(menu);
  uikit::LayoutConstraint::activate({
      web->topAnchor().constraintEqualTo(topAnchor()),
      web->leadingAnchor().constraintEqualTo(leadingAnchor()),
      web->trailingAnchor().constraintEqualTo(trailingAnchor()),
      web->bottomAnchor().constraintEqualTo(bottomAnchor()),
      menu->topAnchor().constraintEqualTo(topAnchor()),
      menu->leadingAnchor().constraintEqualTo(leadingAnchor()),
      menu->trailingAnchor().constraintEqualTo(trailingAnchor()),
      menu->bottomAnchor().constraintEqualTo(bottomAnchor()),
  });
}

}  // namespace keln
