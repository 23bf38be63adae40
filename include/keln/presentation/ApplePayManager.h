#pragma once

#include <keln/Export.h>

#include <functional>
#include <memory>
#include <vector>

#include <keln/core/ApplePayStatus.h>
#include <keln/passkit/Payment.h>
#include <keln/passkit/PaymentAuthorizationController.h>
#include <keln/passkit/PaymentAuthorizationControllerDelegate.h>
#include <keln/passkit/PaymentAuthorizationResult.h>
#include <keln/passkit/PaymentAuthorizationViewController.h>
#include <keln/passkit/PaymentNetwork.h>

namespace keln::foundation {
class JSONDocument;
}  // namespace keln::foundation

namespace keln {

// Runs one Apple Pay sheet at a time and reports how it ended as an ApplePayStatus.
//
// There is one manager per process, shared(). The SDK starts the sheet itself when the
// user picks Apple Pay in its checkout; a host only asks whether the device can pay. Each
// start replaces the sheet's controller and the completion of the start before; nothing
// is cleared when a sheet ends, so the last completion (and what it holds) stays with the
// manager until the next start. The authorized payment's token data is decoded and kept;
// it is sent nowhere.
//
// Main thread only.
class KELN_EXPORT ApplePayManager final : public passkit::PaymentAuthorizationControllerDelegate,
                                          public std::enable_shared_from_this<ApplePayManager> {
 public:
  static const std::shared_ptr<ApplePayManager>& shared();

  ApplePayManager(const ApplePayManager&) = delete;
  ApplePayManager& operator=(const ApplePayManager&) = delete;

  // Whether the device can make Apple Pay payments at all.
  bool isApplePayAvailable() const;

  // Whether the user holds a card of one of `forNetworks`.
  bool isApplePaySetup(const std::vector<passkit::PaymentNetwork>& forNetworks) const;

  // Records the authorization and answers it with success.
  void paymentAuthorizationController(const std::shared_ptr<passkit::PaymentAuthorizationController>& controller,
                                      const passkit::Payment& didAuthorizePayment,
                                      AuthorizationHandler handler) override;

  // Dismisses the sheet and then reports the outcome.
  void paymentAuthorizationControllerDidFinish(
      const std::shared_ptr<passkit::PaymentAuthorizationController>& controller) override;

  // Answers `handler` at once with success and no error list, and does nothing else.
  void paymentAuthorizationViewController(
      const std::shared_ptr<passkit::PaymentAuthorizationViewController>& controller,
      const passkit::Payment& didAuthorizePayment, AuthorizationHandler handler);

 private:
  friend class ApplePayManagerAccess;

  using Completion = std::function<void(ApplePayStatus)>;

  ApplePayManager() = default;

  // Presents the sheet for `request`. `completion` runs once: with `error` from the
  // presentation callback when the sheet cannot be shown, otherwise with `success` (the
  // user authorized) or `userCancelled` on the main queue after the sheet is gone.
  void startPayment(const passkit::PaymentRequest& request, Completion completion);

  std::shared_ptr<passkit::PaymentAuthorizationController> paymentController_;
  passkit::PaymentAuthorizationStatus paymentStatus_ = passkit::PaymentAuthorizationStatus::failure;
  std::shared_ptr<const foundation::JSONDocument> paymentDataJson_;
  Completion completionHandler_;
};

}  // namespace keln
