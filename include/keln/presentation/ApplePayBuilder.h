#pragma once

#include <keln/Export.h>

#include <optional>
#include <vector>

#include <keln/passkit/PaymentNetwork.h>

namespace keln::passkit {
class PaymentRequest;
}  // namespace keln::passkit

namespace keln {

class ApplePayBuilderAccess;
class CheckoutResponse;
class TransactionParamsSDK;

// Makes the payment request that the Apple Pay sheet is started with, from a checkout and
// the host's payment parameters. The SDK uses it when the user picks Apple Pay in the
// checkout menu; a host can name the type but has nothing to call on it.
//
// Holds no state: the accepted card networks are made once per process and never
// change. Main thread.
class KELN_EXPORT ApplePayBuilder final {
 public:
  ApplePayBuilder() = delete;

 private:
  friend class ApplePayBuilderAccess;

  // MasterCard, then Visa.
  static const std::vector<passkit::PaymentNetwork>& supportedNetworks();

  // A request for `params.amount()` in `params.currency()` as one "Total" item, for the
  // merchant `params.applePayMerchantId()` in the country the checkout's Apple Pay
  // parameters name, on the supported networks with 3-D Secure, credit and debit. None of
  // these values is checked; the wallet judges them when the sheet is presented. Absent
  // when the merchant identifier, the checkout's external parameter or its acceptor
  // country code is missing, or when the amount has no exact decimal value (not finite,
  // or beyond the wallet's decimal range).
  static std::optional<passkit::PaymentRequest> build(const CheckoutResponse& from, const TransactionParamsSDK& params);
};

}  // namespace keln
