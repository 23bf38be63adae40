#pragma once

#include <memory>

#include <keln/sdk/SDK.h>

#include "core/flow/PaymentCoordinator.h"

namespace keln {

// The SDK's own way into an SDK: one made on any configuration (a local gateway for
// tests and the demo) and its coordinator.
struct SDKAccess {
  static std::unique_ptr<SDK> make(SDKConfig config) { return std::unique_ptr<SDK>(new SDK(std::move(config))); }
  static PaymentCoordinator& coordinator(SDK& sdk) { return *sdk.paymentCoordinator_; }
  static PaymentService& paymentService(SDK& sdk) { return *sdk.paymentService_; }
};

}  // namespace keln
