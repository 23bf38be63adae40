#pragma once

#include <functional>
#include <memory>

#include <keln/foundation/JSONCoding.h>
#include <keln/presentation/ApplePayManager.h>

#include <keln/passkit/PaymentAuthorizationController.h>
#include <keln/passkit/PaymentRequest.h>

namespace keln {

// The SDK's own way to start the wallet sheet and to read what the manager keeps; hosts
// reach neither.
class ApplePayManagerAccess {
 public:
  using Completion = ApplePayManager::Completion;

  // Presents the sheet for `request`; `completion` receives the outcome once.
  static void startPayment(ApplePayManager& manager, const passkit::PaymentRequest& request, Completion completion) {
    manager.startPayment(request, std::move(completion));
  }

  // The controller of the current (or last) sheet; null before the first start.
  static const std::shared_ptr<passkit::PaymentAuthorizationController>& paymentController(
      const ApplePayManager& manager) {
    return manager.paymentController_;
  }
  // `failure` from each start until an authorization arrives, then `success`.
  static passkit::PaymentAuthorizationStatus paymentStatus(const ApplePayManager& manager) {
    return manager.paymentStatus_;
  }
  // The last authorized payment's token data, when it was a JSON object; null before.
  static const std::shared_ptr<const foundation::JSONDocument>& paymentDataJson(const ApplePayManager& manager) {
    return manager.paymentDataJson_;
  }
  // The current start's completion.
  static const Completion& completionHandler(const ApplePayManager& manager) { return manager.completionHandler_; }
};

}  // namespace keln
