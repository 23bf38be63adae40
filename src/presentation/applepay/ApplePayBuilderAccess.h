#pragma once

#include <optional>
#include <vector>

#include <keln/core/TransactionParamsSDK.h>
#include <keln/presentation/ApplePayBuilder.h>

#include <keln/passkit/PaymentRequest.h>
#include "model/CheckoutResponse.h"

namespace keln {

// The SDK's own way to reach ApplePayBuilder, whose operations are hidden from hosts.
class ApplePayBuilderAccess {
 public:
  static const std::vector<passkit::PaymentNetwork>& supportedNetworks() {
    return ApplePayBuilder::supportedNetworks();
  }

  static std::optional<passkit::PaymentRequest> build(const CheckoutResponse& from,
                                                      const TransactionParamsSDK& params) {
    return ApplePayBuilder::build(from, params);
  }
};

}  // namespace keln
