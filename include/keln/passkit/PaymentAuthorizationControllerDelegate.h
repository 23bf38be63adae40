#pragma once

#include <keln/Export.h>

#include <functional>
#include <memory>

#include <keln/passkit/Payment.h>
#include <keln/passkit/PaymentAuthorizationResult.h>

namespace keln::passkit {

class PaymentAuthorizationController;

// What a payment authorization controller tells the object that runs its sheet. The
// controller holds its delegate weakly. Every call arrives on the main queue, in this
// order for one sheet: any number of authorizations (each to be answered once through
// its handler; the sheet waits for the answer), then exactly one finish, after which the
// delegate is expected to dismiss the sheet.
class KELN_EXPORT PaymentAuthorizationControllerDelegate {
 public:
  using AuthorizationHandler = std::function<void(PaymentAuthorizationResult)>;

  virtual ~PaymentAuthorizationControllerDelegate() = default;

  // The user authorized `didAuthorizePayment`. Answering through `handler` more than once
  // has no further effect; it may be answered from any thread.
  virtual void paymentAuthorizationController(const std::shared_ptr<PaymentAuthorizationController>& controller,
                                              const Payment& didAuthorizePayment, AuthorizationHandler handler) = 0;

  // The sheet has finished: the user closed it, or it closed after a successful answer.
  virtual void paymentAuthorizationControllerDidFinish(
      const std::shared_ptr<PaymentAuthorizationController>& controller) = 0;
};

}  // namespace keln::passkit

// The controller named above, complete also for a file that includes only this header.
#include <keln/passkit/PaymentAuthorizationController.h>
