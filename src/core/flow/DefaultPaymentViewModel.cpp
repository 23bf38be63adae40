#include "core/flow/DefaultPaymentViewModel.h"

#include <algorithm>
#include <chrono>

#include <keln/core/KelnSDKError.h>
#include <keln/dispatch/MainQueue.h>
#include <keln/passkit/PaymentAuthorizationViewController.h>
#include <keln/uikit/ViewController.h>

#include "core/flow/CardItemAccess.h"
#include "core/flow/CheckoutRequestBuilder.h"
#include "core/flow/PaymentCoordinator.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/Unicode.h"
#include "uikit/LinkSchemes.h"
#include "uikit/NavigationController.h"
#include "uikit/ViewControllerAccess.h"

namespace keln {

DefaultPaymentViewModel::DefaultPaymentViewModel(SDKConfig config, TransactionParamsSDK transactionParams,
                                                 std::shared_ptr<PaymentService> paymentService,
                                                 const std::filesystem::path& templateURL,
                                                 const std::shared_ptr<PaymentCoordinator>& coordinator)
    : config_(std::move(config)),
      transactionParams_(std::move(transactionParams)),
      paymentService_(std::move(paymentService)),
      htmlTemplate_(foundation::Bundle::readText(templateURL).value_or("")),
      coordinator_(coordinator),
      payment_(coordinator ? coordinator->currentPayment() : 0) {}

void DefaultPaymentViewModel::createCheckout(CheckoutCompletion completion) {
  const CheckoutRequest request = CheckoutRequestBuilder::build(transactionParams_);
  std::weak_ptr<DefaultPaymentViewModel> weakSelf = weak_from_this();
  paymentService_->createCheckout(request,
                                  [weakSelf, completion = std::move(completion)](Result<CheckoutResponseDTO> result) {
                                    if (auto self = weakSelf.lock())
                                      self->handleCheckoutResponse(std::move(result), completion);
                                  });
}

void DefaultPaymentViewModel::handleCheckoutResponse(Result<CheckoutResponseDTO> result,
                                                     const CheckoutCompletion& completion) {
  if (result.isFailure()) {
    deliver(Result<TransactionResultSDK>::failure(result.error()));
    return;
  }
  transactionResponse_ = std::move(result).value();
  const auto& methods = transactionResponse_->paymentMethodList();
  const bool walletListed = std::find(methods.begin(), methods.end(), "XPAY") != methods.end();
  // The device's wallet answers directly (as the wallet manager's availability test does):
  // the flow does not reach up into the screens' layer.
  const bool showMenu = walletListed && passkit::PaymentAuthorizationViewController::canMakePayments();
  if (completion) completion(Result<PaymentEvent>::success(showMenu ? PaymentEvent::native : PaymentEvent::webviewTLX));
}

std::vector<CardItem> DefaultPaymentViewModel::cardItems() {
  if (!transactionResponse_) return {};
  const std::optional<CheckoutResponse> response = transactionResponse_->parse();
  if (!response) return {};
  std::vector<CardItem> items{CardItemAccess::make(applePayCardName, applePayCardName)};
  if (response->paymentMethodList().size() >= 2) {
    items.push_back(CardItemAccess::make("more_options", "other_payment_options"));
  }
  return items;
}

std::string DefaultPaymentViewModel::buildHTML(const CheckoutResponse& response) {
  htmlTemplate_.fill(response, config_.webURL(), redirectURL_);
  return htmlTemplate_.description();
}

bool DefaultPaymentViewModel::isRedirectURL(const std::optional<foundation::URL>& url) const {
  return url && url->absoluteString().starts_with(redirectURL_);
}

void DefaultPaymentViewModel::getStatus() {
  if (!transactionResponse_ || ended_ || isReplaced()) return;
  foundation::standardOutput("getstatus");
  std::weak_ptr<DefaultPaymentViewModel> weakSelf = weak_from_this();
  paymentService_->getTransactionStatus(transactionResponse_->transactionId(),
                                        [weakSelf](Result<TransactionStatus> result) {
                                          if (auto self = weakSelf.lock())
                                            self->handleStatusResponse(std::move(result));
                                        });
}

void DefaultPaymentViewModel::handleStatusResponse(Result<TransactionStatus> result) {
  if (ended_ || isReplaced()) return;
  if (result.isFailure()) {
    deliver(Result<TransactionResultSDK>::failure(result.error()));
    return;
  }
  const TransactionStatus& status = result.value();
  if (isAllowedStatus(status.paymentStatus())) {
    deliver(Result<TransactionResultSDK>::success(TransactionResultSDK(status)));
    return;
  }
  std::weak_ptr<DefaultPaymentViewModel> weakSelf = weak_from_this();
  const auto delay = std::chrono::duration_cast<dispatch::Duration>(std::chrono::duration<double>(retryDelay_));
  dispatch::MainQueue::main().asyncAfter(delay, [weakSelf] {
    if (auto self = weakSelf.lock()) self->getStatus();
  });
}

void DefaultPaymentViewModel::cancelPayment() {
  deliver(Result<TransactionResultSDK>::failure(makeError(KelnSDKError::canceledByUser())));
}

bool DefaultPaymentViewModel::shouldOpenExternally(const foundation::URL& url) const {
  if (!url.scheme()) return false;
  const std::string scheme = foundation::asciiLowercased(*url.scheme());
  return std::ranges::any_of(uikit::externalLinkPrefixes,
                             [&](std::string_view prefix) { return scheme == uikit::schemeOfPrefix(prefix); });
}

void DefaultPaymentViewModel::handleApplePayStatus(ApplePayStatus status) {
  switch (status) {
    case ApplePayStatus::userCancelled: foundation::standardOutput("user cancelled"); return;
    case ApplePayStatus::success: {
      std::optional<std::string> transactionID;
      if (transactionResponse_) transactionID = transactionResponse_->transactionId();
      deliver(Result<TransactionResultSDK>::success(TransactionResultSDK(true, transactionID, std::nullopt,
                                                                         std::nullopt, std::nullopt, std::nullopt,
                                                                         std::nullopt, std::nullopt, std::nullopt)));
      return;
    }
    case ApplePayStatus::error:
      deliver(Result<TransactionResultSDK>::failure(makeError(KelnSDKError::applePayError("Apple Pay Error"))));
      return;
  }
}

bool DefaultPaymentViewModel::isReplaced() const {
  const std::shared_ptr<PaymentCoordinator> coordinator = coordinator_.lock();
  return coordinator && coordinator->isReplaced(payment_);
}

void DefaultPaymentViewModel::deliver(Result<TransactionResultSDK> result) {
  if (ended_) return;
  const std::shared_ptr<PaymentCoordinator> coordinator = coordinator_.lock();
  if (!coordinator || !coordinator->isCurrentPayment(payment_)) return;
  std::shared_ptr<uikit::ViewController> source = coordinator->source();
  if (!source && coordinator->isPresenting(payment_)) {
    // Reported while the checkout is still being presented (a configuration fault arrives
    // at once): deliver once the presentation has completed and the presenter is known.
    std::weak_ptr<DefaultPaymentViewModel> weakSelf = weak_from_this();
    coordinator->afterPresentation([weakSelf, result = std::move(result)]() mutable {
      if (auto self = weakSelf.lock()) self->deliver(std::move(result));
    });
    return;
  }
  // A presenter the host has let go of took the checkout off screen with it: the
  // navigation controller is asked instead, which, presented by nothing, has nothing to
  // dismiss and completes at once. Either way the result is handed over, on the main queue.
  if (!source) source = coordinator->navigationController();
  ended_ = true;
  coordinator->paymentEnding(payment_);
  std::weak_ptr<PaymentCoordinator> weakCoordinator = coordinator;
  const std::uint64_t payment = payment_;
  auto handOver = [weakCoordinator, payment, result = std::move(result)] {
    if (auto coordinator = weakCoordinator.lock()) coordinator->finish(result, payment);
  };
  if (source) {
    uikit::ViewControllerAccess::dismiss(*source, true, std::move(handOver));
  } else {
    dispatch::MainQueue::main().async(std::move(handOver));
  }
}

}  // namespace keln
