#pragma once

#include <keln/Export.h>

#include <string>
#include <utility>

namespace keln::passkit {

// A card network the wallet can pay with, named by the platform's text code ("Visa",
// "MasterCard"). Immutable value; any thread.
class KELN_EXPORT PaymentNetwork {
 public:
  explicit PaymentNetwork(std::string rawValue) : rawValue_(std::move(rawValue)) {}

  static PaymentNetwork visa() { return PaymentNetwork("Visa"); }
  static PaymentNetwork masterCard() { return PaymentNetwork("MasterCard"); }

  const std::string& rawValue() const { return rawValue_; }

  friend bool operator==(const PaymentNetwork&, const PaymentNetwork&) = default;
  friend auto operator<=>(const PaymentNetwork&, const PaymentNetwork&) = default;

 private:
  std::string rawValue_;
};

}  // namespace keln::passkit
