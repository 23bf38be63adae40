#pragma once

#include <keln/Export.h>

#include <utility>
#include <vector>

#include <keln/passkit/PaymentNetwork.h>

#include <keln/passkit/PaymentRequest.h>

namespace keln::passkit {

// The wallet's payment sheet as a screen of the app's own. On this platform the sheet
// is shown through PaymentAuthorizationController; this class serves for the device's
// can-make-payments tests and as a handle for one request. Main thread only.
class KELN_EXPORT PaymentAuthorizationViewController {
 public:
  explicit PaymentAuthorizationViewController(PaymentRequest paymentRequest)
      : paymentRequest_(std::move(paymentRequest)) {}

  const PaymentRequest& paymentRequest() const { return paymentRequest_; }

  // Whether the device can make payments at all; false when no wallet is installed.
  static bool canMakePayments();

  // Whether the user holds a card of one of `usingNetworks`; false when no wallet is
  // installed.
  static bool canMakePayments(const std::vector<PaymentNetwork>& usingNetworks);

 private:
  PaymentRequest paymentRequest_;
};

}  // namespace keln::passkit
