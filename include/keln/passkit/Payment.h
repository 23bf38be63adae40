#pragma once

#include <keln/Export.h>

#include <string>
#include <utility>

namespace keln::passkit {

// The wallet's proof of a payment the user authorized: opaque token data that the
// merchant's processor decrypts (JSON text on a real wallet, but any bytes may arrive).
// Immutable value; any thread.
class KELN_EXPORT PaymentToken {
 public:
  explicit PaymentToken(std::string paymentData) : paymentData_(std::move(paymentData)) {}

  const std::string& paymentData() const { return paymentData_; }

 private:
  std::string paymentData_;
};

// A payment the user authorized on the wallet's sheet. Immutable value; any thread.
class KELN_EXPORT Payment {
 public:
  explicit Payment(PaymentToken token) : token_(std::move(token)) {}

  const PaymentToken& token() const { return token_; }

 private:
  PaymentToken token_;
};

}  // namespace keln::passkit
