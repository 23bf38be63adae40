#pragma once

namespace keln {

// What the checkout screen shows once the checkout is open.
enum class PaymentEvent {
  native,      // the menu of payment methods, the wallet first
  webviewTLX,  // the gateway's web form at once
};

}  // namespace keln
