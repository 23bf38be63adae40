#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <keln/core/ApplePayStatus.h>
#include <keln/core/CardItem.h>

#include "core/flow/PaymentViewModel.h"
#include "presentation/BaseViewController.h"
#include "presentation/PaymentView.h"
#include "uikit/Button.h"
#include "uikit/CollectionView.h"
#include "webkit/NavigationDelegate.h"
#include "webkit/UIDelegate.h"

namespace keln {

// The checkout screen. It asks its view model for the checkout, then shows the gateway's
// web form or a small menu of payment methods (the wallet, other payment options), starts
// the wallet sheet, hands the web form's redirect to the view model, opens links that ask
// for a new window outside the app when the view model allows it, and offers a close
// button (a back button inside a web form opened from the menu). Every decision about the
// payment is the view model's.
//
// Owns its content view and its view model. Made with std::make_shared; main thread only.
class PaymentViewController final : public BaseViewController,
                                    public webkit::UIDelegate,
                                    public webkit::NavigationDelegate,
                                    public uikit::CollectionViewDataSource,
                                    public uikit::CollectionViewDelegateFlowLayout {
 public:
  static constexpr std::int64_t APPLE_PAY_POSITION = 0;
  static constexpr std::int64_t OTHER_METHOD_POSITION = 1;

  PaymentViewController(std::shared_ptr<PaymentView> contentView, std::shared_ptr<PaymentViewModel> viewModel);
  // The checkout screen of one payment: a DefaultPaymentView driven by `viewModel` (what
  // the SDK's coordinator makes for each payment).
  static std::shared_ptr<PaymentViewController> makeCheckout(std::shared_ptr<PaymentViewModel> viewModel);
  // Not supported: stops the program with "init(coder:) has not been implemented".
  explicit PaymentViewController(const uikit::Coder& coder);

  void loadView() override;
  void viewDidLoad() override;

  // The left bar button: close, or the back chevron while a web form opened from the menu
  // is shown.
  void setupNavigationBar();
  void startLoading();
  void didLoadCheckout(const Result<PaymentEvent>& result);
  void loadWebForm();

  void backButtonAction();
  void closeButtonAction();
  // The user's escape (closing the checkout's window) acts as the close button, whichever
  // bar button shows.
  bool accessibilityPerformEscape() override;
  void applePayCompleted(ApplePayStatus status);

  const std::shared_ptr<PaymentView>& contentView() const { return contentView_; }
  const std::shared_ptr<PaymentViewModel>& viewModel() const { return viewModel_; }
  const std::vector<CardItem>& cards() const { return cards_; }
  bool cameFromMenu() const { return cameFromMenu_; }

  // Collection view data source and flow layout.
  std::int64_t numberOfItemsInSection(uikit::CollectionView& collectionView, std::int64_t section) override;
  std::shared_ptr<uikit::CollectionViewCell> cellForItemAt(uikit::CollectionView& collectionView,
                                                           const uikit::IndexPath& indexPath) override;
  std::optional<uikit::Size> sizeForItemAt(uikit::CollectionView& collectionView, uikit::CollectionViewLayout& layout,
                                           const uikit::IndexPath& indexPath) override;
  std::optional<double> minimumLineSpacingForSectionAt(uikit::CollectionView& collectionView,
                                                       uikit::CollectionViewLayout& layout,
                                                       std::int64_t section) override;
  std::optional<uikit::EdgeInsets> insetForSectionAt(uikit::CollectionView& collectionView,
                                                     uikit::CollectionViewLayout& layout,
                                                     std::int64_t section) override;
  void didSelectItemAt(uikit::CollectionView& collectionView, const uikit::IndexPath& indexPath) override;

  // Web view navigation delegate.
  void webView(const std::shared_ptr<webkit::WebView>& webView, const webkit::NavigationAction& decidePolicyFor,
               DecisionHandler decisionHandler) override;
  void webView(const std::shared_ptr<webkit::WebView>& webView,
               const std::shared_ptr<webkit::Navigation>& didFinish) override;
  void webView(const std::shared_ptr<webkit::WebView>& webView, const std::shared_ptr<webkit::Navigation>& didFail,
               const Error& withError) override;

  // Web view UI delegate: a page asks for a new window. Never makes a second web view.
  std::shared_ptr<webkit::WebView> webView(const std::shared_ptr<webkit::WebView>& webView,
                                           const std::shared_ptr<webkit::WebViewConfiguration>& createWebViewWith,
                                           const webkit::NavigationAction& forNavigationAction,
                                           const webkit::WindowFeatures& windowFeatures) override;

 private:
  std::shared_ptr<PaymentViewController> self();
  void showMenu();

  std::shared_ptr<PaymentView> contentView_;
  std::shared_ptr<PaymentViewModel> viewModel_;
  const std::shared_ptr<uikit::Button> closeButton_;
  const std::shared_ptr<uikit::Button> backButton_;
  std::vector<CardItem> cards_;
  bool cameFromMenu_ = false;
};

}  // namespace keln
