#pragma once

// A checkout screen without pixels, and a payment service that counts the answers the
// flow has handled, for tests of the checkout flow against the local gateway.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <keln/core/ApplePayStatus.h>
#include <keln/core/CardItem.h>
#include <keln/foundation/Result.h>
#include <keln/uikit/ViewController.h>

#include "core/flow/PaymentService.h"
#include "core/flow/PaymentViewModel.h"
#include "foundation/URL.h"
#include "uikit/ViewControllerAccess.h"

namespace keln::testing {

// Passes every call on to a real service. An answer is counted once the flow's own
// completion has returned, so a test can wait for "the flow has handled N answers".
class CountingPaymentService final : public PaymentService {
 public:
  struct Counts {
    int checkoutAnswers = 0;
    int statusQueries = 0;
    int statusAnswers = 0;
  };

  explicit CountingPaymentService(std::shared_ptr<PaymentService> inner) : inner_(std::move(inner)) {}

  void createCheckout(const CheckoutRequest& request,
                      std::function<void(Result<CheckoutResponseDTO>)> completion) override {
    inner_->createCheckout(request,
                           [counts = counts_, completion = std::move(completion)](Result<CheckoutResponseDTO> result) {
                             completion(std::move(result));
                             ++counts->checkoutAnswers;
                           });
  }

  void getTransactionStatus(const std::string& transactionID,
                            std::function<void(Result<TransactionStatus>)> completion) override {
    ++counts_->statusQueries;
    inner_->getTransactionStatus(
        transactionID, [counts = counts_, completion = std::move(completion)](Result<TransactionStatus> result) {
          completion(std::move(result));
          ++counts->statusAnswers;
        });
  }

  // Outlives the service, so that a test can read it after the checkout is gone.
  const std::shared_ptr<Counts>& counts() const { return counts_; }

 private:
  std::shared_ptr<PaymentService> inner_;
  std::shared_ptr<Counts> counts_ = std::make_shared<Counts>();
};

// Behaves towards its view model as the checkout screen does: opens the checkout when its
// view loads, then shows the menu or the web form as told; passes the web view's
// navigations, new-window requests, the close and back buttons and the wallet sheet's
// outcome on. It owns its view model, as the real screen does. Main thread only.
class FakeCheckoutScreen final : public uikit::ViewController {
 public:
  enum class Showing { loading, menu, webForm };

  explicit FakeCheckoutScreen(std::shared_ptr<PaymentViewModel> viewModel) : viewModel_(std::move(viewModel)) {}

  void viewDidLoad() override {
    std::weak_ptr<ViewController> weakSelf = weak_from_this();
    viewModel_->createCheckout([weakSelf](Result<PaymentEvent> answer) {
      if (auto self = std::static_pointer_cast<FakeCheckoutScreen>(weakSelf.lock())) self->didLoadCheckout(answer);
    });
  }

  // The user picks "other payment options" in the menu.
  void chooseOtherMethods() { loadWebForm(); }

  // The user goes back from the web form to the menu.
  void back() {
    cards_ = viewModel_->cardItems();
    showing_ = Showing::menu;
  }

  // The user taps the close button.
  void close() {
    viewModel_->cancelPayment();
    uikit::ViewControllerAccess::dismiss(*this, true);
  }

  // The web view is about to navigate to `text`; true when the navigation is allowed.
  bool navigate(std::string_view text) {
    const std::optional<foundation::URL> url = foundation::URL::parse(text);
    if (!viewModel_->isRedirectURL(url)) return true;
    viewModel_->getStatus();
    return false;
  }

  // A page asks for a new window on `url`; true when it would be opened outside the SDK.
  bool requestNewWindow(const foundation::URL& url) { return viewModel_->shouldOpenExternally(url); }

  // The wallet sheet reports how it ended.
  void walletFinished(ApplePayStatus status) { viewModel_->handleApplePayStatus(status); }

  const std::shared_ptr<PaymentViewModel>& viewModel() const { return viewModel_; }
  // Every answer of the checkout call, in order.
  const std::vector<Result<PaymentEvent>>& answers() const { return answers_; }
  Showing showing() const { return showing_; }
  const std::vector<CardItem>& cards() const { return cards_; }
  // The page last put in the web view; none before the first.
  const std::optional<std::string>& page() const { return page_; }

 private:
  void didLoadCheckout(const Result<PaymentEvent>& answer) {
    answers_.push_back(answer);
    if (answer.isFailure()) return;
    if (answer.value() == PaymentEvent::webviewTLX) {
      loadWebForm();
      return;
    }
    cards_ = viewModel_->cardItems();
    showing_ = Showing::menu;
  }

  void loadWebForm() {
    const std::optional<CheckoutResponseDTO>& reply = viewModel_->transactionResponse();
    if (!reply) return;
    const std::optional<CheckoutResponse> response = reply->parse();
    if (!response) return;
    page_ = viewModel_->buildHTML(*response);
    showing_ = Showing::webForm;
  }

  std::shared_ptr<PaymentViewModel> viewModel_;
  std::vector<Result<PaymentEvent>> answers_;
  Showing showing_ = Showing::loading;
  std::vector<CardItem> cards_;
  std::optional<std::string> page_;
};

}  // namespace keln::testing
