#include <keln/core/TransactionResultSDK.h>

#include <utility>

namespace keln {

using foundation::Decoder;
using foundation::Encoder;
using Text = std::string;

TransactionResultSDK::TransactionResultSDK(bool isSuccess, std::optional<std::string> transactionID,
                                           std::optional<Token> token, std::optional<Merchant> merchant,
                                           std::optional<std::string> paymentType,
                                           std::optional<PaymentStatus> paymentStatus,
                                           std::optional<std::string> paymentMethod, std::optional<Execution> execution,
                                           std::optional<ReturnStatus> returnStatus)
    : isSuccess_(isSuccess),
      transactionID_(std::move(transactionID)),
      token_(std::move(token)),
      merchant_(std::move(merchant)),
      paymentType_(std::move(paymentType)),
      paymentStatus_(paymentStatus),
      paymentMethod_(std::move(paymentMethod)),
      execution_(std::move(execution)),
      returnStatus_(std::move(returnStatus)) {}

TransactionResultSDK::TransactionResultSDK(const TransactionStatus& status)
    : TransactionResultSDK(status.paymentStatus() == PaymentStatus::success, status.transactionID(), status.token(),
                           status.merchant(), status.paymentType(), status.paymentStatus(), status.paymentMethod(),
                           status.execution(), status.returnStatus()) {}

void TransactionResultSDK::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("isSuccess", isSuccess_);
  encoder.encodeIfPresent("transactionID", transactionID_);
  encoder.encodeIfPresent("token", token_);
  encoder.encodeIfPresent("merchant", merchant_);
  encoder.encodeIfPresent("paymentType", paymentType_);
  encoder.encodeIfPresent("paymentStatus", paymentStatus_);
  encoder.encodeIfPresent("paymentMethod", paymentMethod_);
  encoder.encodeIfPresent("execution", execution_);
  encoder.encodeIfPresent("returnStatus", returnStatus_);
}

TransactionResultSDK TransactionResultSDK::decode(const Decoder& decoder) {
  const bool isSuccess = decoder.decode<bool>("isSuccess");
  auto transactionID = decoder.decodeIfPresent<Text>("transactionID");
  auto token = decoder.decodeIfPresent<Token>("token");
  auto merchant = decoder.decodeIfPresent<Merchant>("merchant");
  auto paymentType = decoder.decodeIfPresent<Text>("paymentType");
  auto paymentStatus = decoder.decodeIfPresent<PaymentStatus>("paymentStatus");
  auto paymentMethod = decoder.decodeIfPresent<Text>("paymentMethod");
  auto execution = decoder.decodeIfPresent<Execution>("execution");
  auto returnStatus = decoder.decodeIfPresent<ReturnStatus>("returnStatus");
  return TransactionResultSDK(isSuccess, std::move(transactionID), std::move(token), std::move(merchant),
                              std::move(paymentType), paymentStatus, std::move(paymentMethod), std::move(execution),
                              std::move(returnStatus));
}

}  // namespace keln
