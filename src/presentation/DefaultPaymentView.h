#pragma once

#include <memory>

#include "presentation/BaseView.h"
#include "presentation/PaymentView.h"

namespace keln {

// The checkout screen's content view: a web view and, above it, a white collection view
// with a vertical flow layout, both filling the view edge to edge. Neither is hidden at
// first; the controller decides. The children are made on first use (in practice by
// setupView(), when the view is made with BaseView::make<DefaultPaymentView>()).
// Restoring one from an archive stops the program with "init(coder:) has not been
// implemented". Main thread only.
class DefaultPaymentView : public BaseView, public PaymentView {
 public:
  explicit DefaultPaymentView(Token token) : BaseView(token) {}
  // Not supported: stops the program.
  explicit DefaultPaymentView(const uikit::Coder& coder) : BaseView(coder) {}

  std::shared_ptr<uikit::View> asView() override { return shared_from_this(); }

  const std::shared_ptr<webkit::WebViewConfiguration>& webViewConfiguration() override;
  const std::shared_ptr<webkit::WebView>& webView() override;
  const std::shared_ptr<uikit::CollectionView>& collectionView() override;

  void showWebForm() override;
  void showMenu() override;

  void setupView() override;

 private:
  std::shared_ptr<webkit::WebViewConfiguration> webViewConfiguration_;
  std::shared_ptr<webkit::WebView> webView_;
  std::shared_ptr<uikit::CollectionView> collectionView_;
};

}  // namespace keln
