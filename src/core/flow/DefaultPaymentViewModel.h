#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include <keln/core/SDKConfig.h>
#include <keln/core/TransactionResultSDK.h>
#include <keln/model/TransactionStatus.h>

#include "core/flow/HTMLTemplate.h"
#include "core/flow/PaymentService.h"
#include "core/flow/PaymentViewModel.h"

namespace keln {

class PaymentCoordinator;

// Runs one checkout, from the screen's first call until the host's completion has run.
//
// Every ending (final status, failed call, close button, wallet outcome) is delivered the
// same way: the controller that presented the checkout is asked to dismiss it and, once
// the dismissal has completed, the coordinator hands the result to the host. When that
// controller is gone (the host let go of it), there is nothing to dismiss and the result
// is handed over on the main queue all the same. A payment delivers exactly one ending:
// after it, further endings deliver nothing and status polling stops. An ending found
// while the checkout is still being presented waits for the presentation to complete. A
// payment replaced by a newer one has been ended by the coordinator: it delivers nothing
// more and its status polling stops.
//
// Owned by the checkout screen; owns its payment service. Refers to the coordinator
// weakly; every asynchronous continuation holds the view model weakly. Made with
// std::make_shared; main thread only.
class DefaultPaymentViewModel final : public PaymentViewModel,
                                      public std::enable_shared_from_this<DefaultPaymentViewModel> {
 public:
  // The URL at which the web form ends.
  static constexpr const char* kRedirectURL = "keln://transfer/success";
  // Seconds between two status queries.
  static constexpr double kRetryDelay = 3.0;

  // Reads the template at `templateURL`; an unreadable template gives an empty page.
  DefaultPaymentViewModel(SDKConfig config, TransactionParamsSDK transactionParams,
                          std::shared_ptr<PaymentService> paymentService, const std::filesystem::path& templateURL,
                          const std::shared_ptr<PaymentCoordinator>& coordinator);

  void createCheckout(CheckoutCompletion completion) override;
  std::vector<CardItem> cardItems() override;
  std::string buildHTML(const CheckoutResponse& response) override;
  bool isRedirectURL(const std::optional<foundation::URL>& url) const override;
  void getStatus() override;
  void cancelPayment() override;
  bool shouldOpenExternally(const foundation::URL& url) const override;
  void handleApplePayStatus(ApplePayStatus status) override;

  const std::optional<CheckoutResponseDTO>& transactionResponse() const override { return transactionResponse_; }
  const TransactionParamsSDK& transactionParams() const override { return transactionParams_; }

  const SDKConfig& config() const { return config_; }
  const std::string& redirectURL() const { return redirectURL_; }
  double retryDelay() const { return retryDelay_; }
  const HTMLTemplate& htmlTemplate() const { return htmlTemplate_; }
  // True once this payment has delivered its ending.
  bool hasEnded() const { return ended_; }

 private:
  void handleCheckoutResponse(Result<CheckoutResponseDTO> result, const CheckoutCompletion& completion);
  void handleStatusResponse(Result<TransactionStatus> result);
  void deliver(Result<TransactionResultSDK> result);
  // True once the coordinator has begun a newer payment.
  bool isReplaced() const;

  const SDKConfig config_;
  const TransactionParamsSDK transactionParams_;
  const std::shared_ptr<PaymentService> paymentService_;
  const std::string redirectURL_ = kRedirectURL;
  const double retryDelay_ = kRetryDelay;
  std::optional<CheckoutResponseDTO> transactionResponse_;
  HTMLTemplate htmlTemplate_;
  std::weak_ptr<PaymentCoordinator> coordinator_;
  std::uint64_t payment_ = 0;  // the coordinator's number for this payment
  bool ended_ = false;
};

}  // namespace keln
