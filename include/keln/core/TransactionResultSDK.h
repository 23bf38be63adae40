#pragma once

#include <keln/Export.h>

#include <optional>
#include <string>

#include <keln/foundation/JSONCoding.h>
#include <keln/model/TransactionStatus.h>
#include <keln/model/WireParts.h>

namespace keln {

// The outcome of one payment, as the completion of SDK::startPayment receives it: made
// from the final status of a web payment, or, for a payment authorised in the Apple Pay
// sheet, with only the checkout's transaction id. An immutable value the host may also
// make, encode and decode; any thread.
//
// JSON: "isSuccess" (required flag) and "transactionID", "token", "merchant",
// "paymentType", "paymentStatus", "paymentMethod", "execution", "returnStatus", each left
// out when absent and read as absent when missing or null. Decoding throws
// foundation::DecodingError and yields nothing partial.
class KELN_EXPORT TransactionResultSDK {
 public:
  TransactionResultSDK(bool isSuccess, std::optional<std::string> transactionID, std::optional<Token> token,
                       std::optional<Merchant> merchant, std::optional<std::string> paymentType,
                       std::optional<PaymentStatus> paymentStatus, std::optional<std::string> paymentMethod,
                       std::optional<Execution> execution, std::optional<ReturnStatus> returnStatus);

  // Successful exactly when the status is PaymentStatus::success; every field of the
  // status is copied (the token only when the status has one).
  explicit TransactionResultSDK(const TransactionStatus& status);

  bool isSuccess() const { return isSuccess_; }
  const std::optional<std::string>& transactionID() const { return transactionID_; }
  const std::optional<Token>& token() const { return token_; }
  const std::optional<Merchant>& merchant() const { return merchant_; }
  const std::optional<std::string>& paymentType() const { return paymentType_; }
  const std::optional<PaymentStatus>& paymentStatus() const { return paymentStatus_; }
  const std::optional<std::string>& paymentMethod() const { return paymentMethod_; }
  const std::optional<Execution>& execution() const { return execution_; }
  const std::optional<ReturnStatus>& returnStatus() const { return returnStatus_; }

  void encode(foundation::Encoder& encoder) const;
  static TransactionResultSDK decode(const foundation::Decoder& decoder);

 private:
  bool isSuccess_;
  std::optional<std::string> transactionID_;
  std::optional<Token> token_;
  std::optional<Merchant> merchant_;
  std::optional<std::string> paymentType_;
  std::optional<PaymentStatus> paymentStatus_;
  std::optional<std::string> paymentMethod_;
  std::optional<Execution> execution_;
  std::optional<ReturnStatus> returnStatus_;
};

}  // namespace keln
