#include <keln/presentation/ApplePayManager.h>

#include <functional>
#include <utility>

#include <keln/dispatch/MainQueue.h>
#include <keln/foundation/JSONCoding.h>

#include <keln/passkit/PaymentAuthorizationController.h>
#include <keln/passkit/PaymentAuthorizationViewController.h>
#include <keln/passkit/PaymentRequest.h>
#include "foundation/Log.h"

namespace keln {
namespace {

using passkit::PaymentAuthorizationController;
using passkit::PaymentAuthorizationResult;
using passkit::PaymentAuthorizationStatus;

bool isObject(const foundation::Decoder& value) {
  try {
    value.allKeys();
    return true;
  } catch (const foundation::DecodingError&) {
    return false;
  }
}

bool isArray(const foundation::Decoder& value) {
  try {
    value.elements();
    return true;
  } catch (const foundation::DecodingError&) {
    return false;
  }
}

// Runs the completion stored at the time of the call, from a copy, so that a completion
// that starts the next payment does not destroy itself while it runs.
void report(const std::function<void(ApplePayStatus)>& stored, ApplePayStatus status) {
  const std::function<void(ApplePayStatus)> completion = stored;
  if (completion) completion(status);
}

}  // namespace

const std::shared_ptr<ApplePayManager>& ApplePayManager::shared() {
  static const std::shared_ptr<ApplePayManager> instance(new ApplePayManager());
  return instance;
}

bool ApplePayManager::isApplePayAvailable() const {
  return passkit::PaymentAuthorizationViewController::canMakePayments();
}

bool ApplePayManager::isApplePaySetup(const std::vector<passkit::PaymentNetwork>& forNetworks) const {
  return passkit::PaymentAuthorizationViewController::canMakePayments(forNetworks);
}

void ApplePayManager::startPayment(const passkit::PaymentRequest& request, Completion completion) {
  completionHandler_ = std::move(completion);
  paymentStatus_ = PaymentAuthorizationStatus::failure;
  paymentController_ = std::make_shared<PaymentAuthorizationController>(request);
  paymentController_->setDelegate(weak_from_this());

  std::weak_ptr<ApplePayManager> weakSelf = weak_from_this();
  std::weak_ptr<PaymentAuthorizationController> thisStart = paymentController_;
  paymentController_->present([weakSelf, thisStart](bool presented) {
    if (presented) {
      foundation::standardOutput("Presented PaymentController");
      return;
    }
    foundation::standardOutput("Failed to present PaymentController");
    const std::shared_ptr<ApplePayManager> self = weakSelf.lock();
    // A start that has been replaced meanwhile reports nothing: its completion is gone.
    if (!self || self->paymentController_ != thisStart.lock()) return;
    report(self->completionHandler_, ApplePayStatus::error);
  });
}

void ApplePayManager::paymentAuthorizationController(const std::shared_ptr<PaymentAuthorizationController>& controller,
                                                     const passkit::Payment& didAuthorizePayment,
                                                     AuthorizationHandler handler) {
  if (controller != paymentController_) {
    // The sheet of a replaced start: nobody will hear of this payment, so it must not
    // be confirmed to the user.
    if (handler) handler(PaymentAuthorizationResult(PaymentAuthorizationStatus::failure, std::nullopt));
    return;
  }
  paymentStatus_ = PaymentAuthorizationStatus::success;
  try {
    auto document = std::make_shared<const foundation::JSONDocument>(didAuthorizePayment.token().paymentData());
    const foundation::Decoder root = document->root();
    if (isObject(root)) {
      paymentDataJson_ = std::move(document);
    } else if (!isArray(root)) {
      // Only an object or an array may stand at the top of the token data.
      throw foundation::DecodingError(foundation::DecodingError::Kind::dataCorrupted, {},
                                      "The given data was not valid JSON.");
    }
  } catch (const foundation::DecodingError& error) {
    foundation::standardOutput("Failed to load: " + error.localizedDescription());
  }
  if (handler) {
    handler(PaymentAuthorizationResult(PaymentAuthorizationStatus::success, PaymentAuthorizationResult::Errors{}));
  }
}

void ApplePayManager::paymentAuthorizationControllerDidFinish(
    const std::shared_ptr<PaymentAuthorizationController>& controller) {
  if (!controller) return;
  std::weak_ptr<ApplePayManager> weakSelf = weak_from_this();
  std::weak_ptr<PaymentAuthorizationController> finished = controller;
  controller->dismiss([weakSelf, finished] {
    dispatch::MainQueue::main().async([weakSelf, finished] {
      const std::shared_ptr<ApplePayManager> self = weakSelf.lock();
      // The sheet of a start that has been replaced is only taken away.
      if (!self || self->paymentController_ != finished.lock()) return;
      report(self->completionHandler_, self->paymentStatus_ == PaymentAuthorizationStatus::success
                                           ? ApplePayStatus::success
                                           : ApplePayStatus::userCancelled);
    });
  });
}

void ApplePayManager::paymentAuthorizationViewController(
    const std::shared_ptr<passkit::PaymentAuthorizationViewController>& /*controller*/,
    const passkit::Payment& /*didAuthorizePayment*/, AuthorizationHandler handler) {
  if (handler) handler(PaymentAuthorizationResult(PaymentAuthorizationStatus::success, std::nullopt));
}

}  // namespace keln
