#include "presentation/PaymentViewController.h"

#include <keln/presentation/ApplePayManager.h>
#include <keln/uikit/Application.h>

#include "core/flow/CardItemAccess.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "presentation/CardCollectionViewCell.h"
#include "presentation/DefaultPaymentView.h"
#include "presentation/applepay/ApplePayBuilderAccess.h"
#include "presentation/applepay/ApplePayManagerAccess.h"
#include "uikit/BarButtonItem.h"
#include "uikit/Coder.h"
#include "uikit/Image.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/NavigationItem.h"
#include "webkit/WebView.h"

namespace keln {

std::shared_ptr<PaymentViewController> PaymentViewController::makeCheckout(
    std::shared_ptr<PaymentViewModel> viewModel) {
  return std::make_shared<PaymentViewController>(BaseView::make<DefaultPaymentView>(), std::move(viewModel));
}

PaymentViewController::PaymentViewController(std::shared_ptr<PaymentView> contentView,
                                             std::shared_ptr<PaymentViewModel> viewModel)
    : contentView_(std::move(contentView)),
      viewModel_(std::move(viewModel)),
      closeButton_(std::make_shared<uikit::Button>(uikit::Button::ButtonType::system)),
      backButton_(std::make_shared<uikit::Button>(uikit::Button::ButtonType::system)) {}

PaymentViewController::PaymentViewController(const uikit::Coder& coder)
    : BaseViewController(coder),
      closeButton_(std::make_shared<uikit::Button>(uikit::Button::ButtonType::system)),
      backButton_(std::make_shared<uikit::Button>(uikit::Button::ButtonType::system)) {
  uikit::fatalError("init(coder:) has not been implemented");
}

std::shared_ptr<PaymentViewController> PaymentViewController::self() {
  return std::static_pointer_cast<PaymentViewController>(shared_from_this());
}

void PaymentViewController::loadView() { uikit::ViewControllerAccess::setView(*this, contentView_->asView()); }

void PaymentViewController::viewDidLoad() {
  BaseViewController::viewDidLoad();
  const std::shared_ptr<PaymentViewController> me = self();
  contentView_->webView()->setNavigationDelegate(std::static_pointer_cast<webkit::NavigationDelegate>(me));
  contentView_->webView()->setUIDelegate(std::static_pointer_cast<webkit::UIDelegate>(me));
  contentView_->collectionView()->setDelegate(std::static_pointer_cast<uikit::CollectionViewDelegate>(me));
  contentView_->collectionView()->setDataSource(std::static_pointer_cast<uikit::CollectionViewDataSource>(me));
  setupNavigationBar();
  startLoading();
  contentView_->collectionView()->registerClass<CardCollectionViewCell>(CardCollectionViewCell::identifier);
}

void PaymentViewController::setupNavigationBar() {
  const std::shared_ptr<PaymentViewController> me = self();
  if (cameFromMenu_) {
    navigationItem().setLeftBarButtonItem(std::make_shared<uikit::BarButtonItem>(
        uikit::Image::systemImage("chevron.backward"), uikit::BarButtonItem::Style::plain, me,
        &PaymentViewController::backButtonAction));
  } else {
    navigationItem().setLeftBarButtonItem(std::make_shared<uikit::BarButtonItem>(
        uikit::BarButtonItem::SystemItem::close, me, &PaymentViewController::closeButtonAction));
  }
}

void PaymentViewController::startLoading() {
  showActivityIndicator();
  std::weak_ptr<PaymentViewController> weakSelf = self();
  viewModel_->createCheckout([weakSelf](Result<PaymentEvent> result) {
    if (auto strong = weakSelf.lock()) strong->didLoadCheckout(result);
  });
}

void PaymentViewController::didLoadCheckout(const Result<PaymentEvent>& result) {
  hideActivityIndicator();
  if (result.isFailure()) return;
  switch (result.value()) {
    case PaymentEvent::webviewTLX: loadWebForm(); break;
    case PaymentEvent::native: showMenu(); break;
  }
}

void PaymentViewController::showMenu() {
  cards_ = viewModel_->cardItems();
  contentView_->collectionView()->reloadData();
  contentView_->showMenu();
}

void PaymentViewController::loadWebForm() {
  const std::optional<CheckoutResponseDTO>& reply = viewModel_->transactionResponse();
  if (!reply) return;
  const std::optional<CheckoutResponse> checkout = reply->parse();
  if (!checkout) return;
  const std::string page = viewModel_->buildHTML(*checkout);
  contentView_->webView()->loadHTMLString(page, std::nullopt);
  contentView_->showWebForm();
}

std::int64_t PaymentViewController::numberOfItemsInSection(uikit::CollectionView&, std::int64_t) {
  return static_cast<std::int64_t>(cards_.size());
}

std::shared_ptr<uikit::CollectionViewCell> PaymentViewController::cellForItemAt(uikit::CollectionView& collectionView,
                                                                                const uikit::IndexPath& indexPath) {
  auto cell = std::dynamic_pointer_cast<CardCollectionViewCell>(
      collectionView.dequeueReusableCell(CardCollectionViewCell::identifier, indexPath));
  if (!cell || indexPath.item < 0 || static_cast<std::size_t>(indexPath.item) >= cards_.size()) return cell;
  const CardItem& card = cards_[static_cast<std::size_t>(indexPath.item)];
  const foundation::Bundle& bundle = foundation::Bundle::module();
  if (const auto& imageResource = CardItemAccess::imageResource(card)) {
    cell->imageView()->setImage(uikit::Image::named(*imageResource, bundle));
  }
  cell->titleLabel()->setText(bundle.localizedString(CardItemAccess::title(card)));
  return cell;
}

std::optional<uikit::Size> PaymentViewController::sizeForItemAt(uikit::CollectionView& collectionView,
                                                                uikit::CollectionViewLayout&, const uikit::IndexPath&) {
  return uikit::Size{collectionView.frame().size.width - 20, 60};
}

std::optional<double> PaymentViewController::minimumLineSpacingForSectionAt(uikit::CollectionView&,
                                                                            uikit::CollectionViewLayout&,
                                                                            std::int64_t) {
  return 20;
}

std::optional<uikit::EdgeInsets> PaymentViewController::insetForSectionAt(uikit::CollectionView&,
                                                                          uikit::CollectionViewLayout&, std::int64_t) {
  return uikit::EdgeInsets{10, 10, 10, 10};
}

void PaymentViewController::didSelectItemAt(uikit::CollectionView&, const uikit::IndexPath& indexPath) {
  if (indexPath.item == OTHER_METHOD_POSITION) {
    cameFromMenu_ = true;
    setupNavigationBar();
    showActivityIndicator();
    loadWebForm();
    return;
  }
  if (indexPath.item != APPLE_PAY_POSITION) {
    foundation::standardOutput("Other Card");
    return;
  }
  const std::optional<CheckoutResponseDTO>& reply = viewModel_->transactionResponse();
  if (!reply) return;
  std::optional<passkit::PaymentRequest> request;
  if (const std::optional<CheckoutResponse> checkout = reply->parse()) {
    request = ApplePayBuilderAccess::build(*checkout, viewModel_->transactionParams());
  }
  if (!request) {
    foundation::standardOutput("request build apple deu errado ");
    return;
  }
  // The wallet keeps this completion, and with it this screen, until its next start.
  std::shared_ptr<PaymentViewController> me = self();
  ApplePayManagerAccess::startPayment(*ApplePayManager::shared(), *request,
                                      [me](ApplePayStatus status) { me->applePayCompleted(status); });
}

void PaymentViewController::applePayCompleted(ApplePayStatus status) { viewModel_->handleApplePayStatus(status); }

void PaymentViewController::backButtonAction() {
  cameFromMenu_ = false;
  showMenu();
  setupNavigationBar();
}

void PaymentViewController::closeButtonAction() {
  viewModel_->cancelPayment();
  uikit::ViewControllerAccess::dismiss(*this, true, nullptr);
}

bool PaymentViewController::accessibilityPerformEscape() {
  closeButtonAction();
  return true;
}

void PaymentViewController::webView(const std::shared_ptr<webkit::WebView>&,
                                    const webkit::NavigationAction& decidePolicyFor, DecisionHandler decisionHandler) {
  if (viewModel_->isRedirectURL(decidePolicyFor.request().url())) {
    viewModel_->getStatus();
    decisionHandler(webkit::NavigationActionPolicy::cancel);
    return;
  }
  decisionHandler(webkit::NavigationActionPolicy::allow);
}

void PaymentViewController::webView(const std::shared_ptr<webkit::WebView>&,
                                    const std::shared_ptr<webkit::Navigation>&) {
  hideActivityIndicator();
}

void PaymentViewController::webView(const std::shared_ptr<webkit::WebView>&, const std::shared_ptr<webkit::Navigation>&,
                                    const Error&) {
  hideActivityIndicator();
}

std::shared_ptr<webkit::WebView> PaymentViewController::webView(const std::shared_ptr<webkit::WebView>&,
                                                                const std::shared_ptr<webkit::WebViewConfiguration>&,
                                                                const webkit::NavigationAction& forNavigationAction,
                                                                const webkit::WindowFeatures&) {
  const std::optional<foundation::URL>& url = forNavigationAction.request().url();
  if (!forNavigationAction.targetFrame() && url && viewModel_->shouldOpenExternally(*url)) {
    uikit::Application::shared().open(url->absoluteString());
  }
  return nullptr;
}

}  // namespace keln
