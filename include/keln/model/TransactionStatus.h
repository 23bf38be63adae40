#pragma once

#include <keln/Export.h>

// The status of one transaction: the gateway's status reply (TransactionStatusDTO), the
// converted status the host receives (TransactionStatus) and the payment's state
// (PaymentStatus).
//
// Immutable values with no shared state; any thread. Decoding throws
// keln::foundation::DecodingError and yields nothing partial.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <keln/foundation/JSONCoding.h>
#include <keln/model/Codes.h>
#include <keln/model/WireParts.h>

namespace keln {

// The gateway's payment state; travels as its raw value, a JSON string. Success, declined
// and error are final.
enum class PaymentStatus {
  success,       // "Success"
  partial,       // "Partial"
  declined,      // "Declined"
  inProcessing,  // "InProcessing"
  pending,       // "Pending"
  timeout,       // "Timeout"
  error,         // "Error"
};

KELN_EXPORT std::string rawValue(PaymentStatus status);
template <>
KELN_EXPORT std::optional<PaymentStatus> fromRawValue<PaymentStatus>(std::string_view rawValue);

// The final statuses, [success, declined, error], whatever the receiver.
KELN_EXPORT std::vector<PaymentStatus> allowedStatuses(PaymentStatus status);
// True when `status` is one of allowedStatuses(): polling stops there.
KELN_EXPORT bool isAllowedStatus(PaymentStatus status);

// The status of one transaction as the SDK hands it to the host.
class KELN_EXPORT TransactionStatus {
 public:
  TransactionStatus(Merchant merchant, std::string transactionID, std::string paymentType, PaymentStatus paymentStatus,
                    std::string paymentMethod, Execution execution, ReturnStatus returnStatus,
                    std::optional<Token> token);

  const Merchant& merchant() const { return merchant_; }
  const std::string& transactionID() const { return transactionID_; }
  const std::string& paymentType() const { return paymentType_; }
  PaymentStatus paymentStatus() const { return paymentStatus_; }
  const std::string& paymentMethod() const { return paymentMethod_; }
  const Execution& execution() const { return execution_; }
  const ReturnStatus& returnStatus() const { return returnStatus_; }
  const std::optional<Token>& token() const { return token_; }

  void encode(foundation::Encoder& encoder) const;
  static TransactionStatus decode(const foundation::Decoder& decoder);

 private:
  Merchant merchant_;
  std::string transactionID_;
  std::string paymentType_;
  PaymentStatus paymentStatus_;
  std::string paymentMethod_;
  Execution execution_;
  ReturnStatus returnStatus_;
  std::optional<Token> token_;
};

// The gateway's reply to a status query. The merchant travels under "merchant".
class KELN_EXPORT TransactionStatusDTO {
 public:
  TransactionStatusDTO(MerchantDTO merchant, std::string transactionID, std::string paymentType,
                       PaymentStatus paymentStatus, std::string paymentMethod, Execution execution,
                       ReturnStatus returnStatus, std::optional<Token> token);

  const MerchantDTO& merchantDTO() const { return merchantDTO_; }
  const std::string& transactionID() const { return transactionID_; }
  const std::string& paymentType() const { return paymentType_; }
  PaymentStatus paymentStatus() const { return paymentStatus_; }
  const std::string& paymentMethod() const { return paymentMethod_; }
  const Execution& execution() const { return execution_; }
  const ReturnStatus& returnStatus() const { return returnStatus_; }
  const std::optional<Token>& token() const { return token_; }

  // The status with the merchant converted by MerchantDTO::parse() and every other field
  // copied; nullopt when the terminal id is not an integer. Logs nothing.
  std::optional<TransactionStatus> parse() const;

  void encode(foundation::Encoder& encoder) const;
  static TransactionStatusDTO decode(const foundation::Decoder& decoder);

 private:
  MerchantDTO merchantDTO_;
  std::string transactionID_;
  std::string paymentType_;
  PaymentStatus paymentStatus_;
  std::string paymentMethod_;
  Execution execution_;
  ReturnStatus returnStatus_;
  std::optional<Token> token_;
};

}  // namespace keln

namespace keln::foundation {

template <>
struct KELN_EXPORT Coding<PaymentStatus> {
  static void encode(PaymentStatus value, Encoder& encoder);
  // A string other than the seven raw values (letter case included) fails with
  // dataCorrupted.
  static PaymentStatus decode(const Decoder& decoder);
};

}  // namespace keln::foundation
