#pragma once

#include <optional>
#include <string>
#include <vector>

#include <keln/model/PaymentMethodPayloads.h>
#include <keln/model/WireParts.h>

#include "model/CheckoutResponseDTO.h"

namespace keln {

// The checkout as the screens use it, made from the gateway's reply by
// CheckoutResponseDTO::parse(): the merchant with an integer terminal id, the form
// context without the Apple Pay entries (`,"XPAY"`), and the payment-method parameters
// decoded. Every other field is copied from the reply; `paymentMethodList` keeps "XPAY".
// `externalParameter` is present in every value parse() makes.
//
// Not encoded or decoded. Immutable, no shared state, any thread.
class CheckoutResponse {
 public:
  CheckoutResponse(Amount amount, Merchant merchant, std::string transactionId, std::string transactionSignature,
                   std::string formContext, std::optional<std::vector<Token>> tokenList, Execution execution,
                   ReturnStatus returnStatus, std::vector<Regulation> regulationList, std::string expiry,
                   std::vector<std::string> paymentMethodList, std::optional<ExternalParameter> externalParameter,
                   ActionResponse actionResponse);

  const Amount& amount() const { return amount_; }
  const Merchant& merchant() const { return merchant_; }
  const std::string& transactionId() const { return transactionId_; }
  const std::string& transactionSignature() const { return transactionSignature_; }
  // Base64 of the reply's form context text with every `,"XPAY"` removed.
  const std::string& formContext() const { return formContext_; }
  const std::optional<std::vector<Token>>& tokenList() const { return tokenList_; }
  const Execution& execution() const { return execution_; }
  const ReturnStatus& returnStatus() const { return returnStatus_; }
  const std::vector<Regulation>& regulationList() const { return regulationList_; }
  const std::string& expiry() const { return expiry_; }
  const std::vector<std::string>& paymentMethodList() const { return paymentMethodList_; }
  const std::optional<ExternalParameter>& externalParameter() const { return externalParameter_; }
  const ActionResponse& actionResponse() const { return actionResponse_; }

 private:
  Amount amount_;
  Merchant merchant_;
  std::string transactionId_;
  std::string transactionSignature_;
  std::string formContext_;
  std::optional<std::vector<Token>> tokenList_;
  Execution execution_;
  ReturnStatus returnStatus_;
  std::vector<Regulation> regulationList_;
  std::string expiry_;
  std::vector<std::string> paymentMethodList_;
  std::optional<ExternalParameter> externalParameter_;
  ActionResponse actionResponse_;
};

}  // namespace keln
