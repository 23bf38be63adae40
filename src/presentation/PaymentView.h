#pragma once

#include <memory>

#include "uikit/CollectionView.h"
#include "uikit/View.h"
#include "webkit/WebView.h"
#include "webkit/WebViewConfiguration.h"

namespace keln {

// The checkout screen's content view as its controller sees it: a web view for the
// gateway's web form and a collection view for the payment-method menu, lying on one
// another, of which the controller shows one at a time. The controller installs asView()
// as its root view and owns the content view. Main thread only.
class PaymentView {
 public:
  virtual ~PaymentView() = default;

  // The content view itself.
  virtual std::shared_ptr<uikit::View> asView() = 0;

  virtual const std::shared_ptr<webkit::WebViewConfiguration>& webViewConfiguration() = 0;
  virtual const std::shared_ptr<webkit::WebView>& webView() = 0;
  virtual const std::shared_ptr<uikit::CollectionView>& collectionView() = 0;

  // Shows the web form and hides the menu.
  virtual void showWebForm() = 0;
  // Shows the menu and hides the web form (whose page stays loaded underneath).
  virtual void showMenu() = 0;
};

}  // namespace keln
