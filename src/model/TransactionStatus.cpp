#include <keln/model/TransactionStatus.h>

#include <array>
#include <utility>

namespace keln {

using foundation::Decoder;
using foundation::DecodingError;
using foundation::Encoder;

namespace {

struct PaymentStatusCode {
  PaymentStatus status;
  const char* rawValue;
};

constexpr std::array<PaymentStatusCode, 7> kPaymentStatusCodes{{
    {PaymentStatus::success, "Success"},
    {PaymentStatus::partial, "Partial"},
    {PaymentStatus::declined, "Declined"},
    {PaymentStatus::inProcessing, "InProcessing"},
    {PaymentStatus::pending, "Pending"},
    {PaymentStatus::timeout, "Timeout"},
    {PaymentStatus::error, "Error"},
}};

// The fields the two status types share, read in their wire order after "merchant".
struct StatusFields {
  std::string transactionID;
  std::string paymentType;
  PaymentStatus paymentStatus;
  std::string paymentMethod;
  Execution execution;
  ReturnStatus returnStatus;
  std::optional<Token> token;
};

StatusFields decodeStatusFields(const Decoder& decoder) {
  std::string transactionID = decoder.decode<std::string>("transactionID");
  std::string paymentType = decoder.decode<std::string>("paymentType");
  const PaymentStatus paymentStatus = decoder.decode<PaymentStatus>("paymentStatus");
  std::string paymentMethod = decoder.decode<std::string>("paymentMethod");
  Execution execution = decoder.decode<Execution>("execution");
  ReturnStatus returnStatus = decoder.decode<ReturnStatus>("returnStatus");
  std::optional<Token> token = decoder.decodeIfPresent<Token>("token");
  return StatusFields{std::move(transactionID), std::move(paymentType),  paymentStatus,   std::move(paymentMethod),
                      std::move(execution),     std::move(returnStatus), std::move(token)};
}

template <typename Status>
void encodeStatusFields(const Status& status, Encoder& encoder) {
  encoder.encode("transactionID", status.transactionID());
  encoder.encode("paymentType", status.paymentType());
  encoder.encode("paymentStatus", status.paymentStatus());
  encoder.encode("paymentMethod", status.paymentMethod());
  encoder.encode("execution", status.execution());
  encoder.encode("returnStatus", status.returnStatus());
  encoder.encodeIfPresent("token", status.token());
}

}  // namespace

// --- PaymentStatus ---------------------------------------------------------------------

std::string rawValue(PaymentStatus status) {
  for (const PaymentStatusCode& entry : kPaymentStatusCodes) {
    if (entry.status == status) return entry.rawValue;
  }
  return {};
}

template <>
std::optional<PaymentStatus> fromRawValue<PaymentStatus>(std::string_view rawValue) {
  for (const PaymentStatusCode& entry : kPaymentStatusCodes) {
    if (rawValue == entry.rawValue) return entry.status;
  }
  return std::nullopt;
}

std::vector<PaymentStatus> allowedStatuses(PaymentStatus /*status*/) {
  return {PaymentStatus::success, PaymentStatus::declined, PaymentStatus::error};
}

bool isAllowedStatus(PaymentStatus status) {
  for (const PaymentStatus allowed : allowedStatuses(status)) {
    if (rawValue(allowed) == rawValue(status)) return true;
  }
  return false;
}

// --- TransactionStatus -----------------------------------------------------------------

TransactionStatus::TransactionStatus(Merchant merchant, std::string transactionID, std::string paymentType,
                                     PaymentStatus paymentStatus, std::string paymentMethod, Execution execution,
                                     ReturnStatus returnStatus, std::optional<Token> token)
    : merchant_(std::move(merchant)),
      transactionID_(std::move(transactionID)),
      paymentType_(std::move(paymentType)),
      paymentStatus_(paymentStatus),
      paymentMethod_(std::move(paymentMethod)),
      execution_(std::move(execution)),
      returnStatus_(std::move(returnStatus)),
      token_(std::move(token)) {}

void TransactionStatus::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("merchant", merchant_);
  encodeStatusFields(*this, encoder);
}

TransactionStatus TransactionStatus::decode(const Decoder& decoder) {
  Merchant merchant = decoder.decode<Merchant>("merchant");
  StatusFields fields = decodeStatusFields(decoder);
  return TransactionStatus(std::move(merchant), std::move(fields.transactionID), std::move(fields.paymentType),
                           fields.paymentStatus, std::move(fields.paymentMethod), std::move(fields.execution),
                           std::move(fields.returnStatus), std::move(fields.token));
}

// --- TransactionStatusDTO --------------------------------------------------------------

TransactionStatusDTO::TransactionStatusDTO(MerchantDTO merchant, std::string transactionID, std::string paymentType,
                                           PaymentStatus paymentStatus, std::string paymentMethod, Execution execution,
                                           ReturnStatus returnStatus, std::optional<Token> token)
    : merchantDTO_(std::move(merchant)),
      transactionID_(std::move(transactionID)),
      paymentType_(std::move(paymentType)),
      paymentStatus_(paymentStatus),
      paymentMethod_(std::move(paymentMethod)),
      execution_(std::move(execution)),
      returnStatus_(std::move(returnStatus)),
      token_(std::move(token)) {}

std::optional<TransactionStatus> TransactionStatusDTO::parse() const {
  std::optional<Merchant> merchant = merchantDTO_.parse();
  if (!merchant) return std::nullopt;
  return TransactionStatus(std::move(*merchant), transactionID_, paymentType_, paymentStatus_, paymentMethod_,
                           execution_, returnStatus_, token_);
}

void TransactionStatusDTO::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("merchant", merchantDTO_);
  encodeStatusFields(*this, encoder);
}

TransactionStatusDTO TransactionStatusDTO::decode(const Decoder& decoder) {
  MerchantDTO merchant = decoder.decode<MerchantDTO>("merchant");
  StatusFields fields = decodeStatusFields(decoder);
  return TransactionStatusDTO(std::move(merchant), std::move(fields.transactionID), std::move(fields.paymentType),
                              fields.paymentStatus, std::move(fields.paymentMethod), std::move(fields.execution),
                              std::move(fields.returnStatus), std::move(fields.token));
}

}  // namespace keln

namespace keln::foundation {

void Coding<PaymentStatus>::encode(PaymentStatus value, Encoder& encoder) { encoder.encodeString(rawValue(value)); }

PaymentStatus Coding<PaymentStatus>::decode(const Decoder& decoder) {
  const std::string text = decoder.decodeString();
  const std::optional<PaymentStatus> status = fromRawValue<PaymentStatus>(text);
  if (!status) {
    decoder.fail(DecodingError::Kind::dataCorrupted,
                 "Cannot initialize PaymentStatus from invalid String value " + text);
  }
  return *status;
}

}  // namespace keln::foundation
