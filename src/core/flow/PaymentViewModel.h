#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <keln/core/ApplePayStatus.h>
#include <keln/core/CardItem.h>
#include <keln/core/TransactionParamsSDK.h>
#include <keln/foundation/Result.h>

#include "core/flow/PaymentEvent.h"
#include "foundation/URL.h"
#include "model/CheckoutResponse.h"
#include "model/CheckoutResponseDTO.h"

namespace keln {

// The checkout flow as the checkout screen sees it: the screen renders and forwards, the
// view model decides. Main thread only.
class PaymentViewModel {
 public:
  using CheckoutCompletion = std::function<void(Result<PaymentEvent>)>;

  virtual ~PaymentViewModel() = default;

  // Opens the checkout at the gateway. On success `completion` receives what to show; a
  // failed checkout ends the payment instead and `completion` is not called.
  virtual void createCheckout(CheckoutCompletion completion) = 0;
  // The menu entries for the stored checkout reply; empty without a usable reply.
  virtual std::vector<CardItem> cardItems() = 0;
  // The web-form page filled with `response`. The first call fills the page; later calls
  // return it as the first call filled it.
  virtual std::string buildHTML(const CheckoutResponse& response) = 0;
  // Whether a navigation to `url` is the web form's final redirect.
  virtual bool isRedirectURL(const std::optional<foundation::URL>& url) const = 0;
  // Queries the transaction's status, and again while it is not final.
  virtual void getStatus() = 0;
  // Ends the payment as cancelled by the user.
  virtual void cancelPayment() = 0;
  // Whether a page's request for a new window may be handed to the system.
  virtual bool shouldOpenExternally(const foundation::URL& url) const = 0;
  // Turns the wallet sheet's outcome into the payment's ending (or none, when cancelled).
  virtual void handleApplePayStatus(ApplePayStatus status) = 0;

  // The gateway's checkout reply, once the checkout is open.
  virtual const std::optional<CheckoutResponseDTO>& transactionResponse() const = 0;
  // The host's payment parameters.
  virtual const TransactionParamsSDK& transactionParams() const = 0;
};

}  // namespace keln
