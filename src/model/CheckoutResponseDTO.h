#pragma once

// The gateway's reply to a checkout request, as it travels, and its parts.
//
// Values come into being only by decoding (a reply, or JSON a host supplies); they are
// immutable, hold no shared state and may be copied and read on any thread. Decoding
// throws keln::foundation::DecodingError at the first key that fails, in field order, and
// yields nothing partial. Keys outside a type's table are ignored.

#include <optional>
#include <string>
#include <vector>

#include <keln/foundation/JSONCoding.h>
#include <keln/model/CheckoutResponseParts.h>
#include <keln/model/WireParts.h>

namespace keln {

class CheckoutResponse;

// A regulation the checkout shows (terms, privacy notice, ...).
class Regulation {
 public:
  const std::string& identification() const { return identification_; }
  const std::string& type() const { return type_; }
  const std::optional<std::string>& language() const { return language_; }
  const std::optional<std::string>& label() const { return label_; }
  const std::optional<std::string>& regulationURL() const { return regulationURL_; }
  const std::optional<std::string>& logoURL() const { return logoURL_; }

  void encode(foundation::Encoder& encoder) const;
  static Regulation decode(const foundation::Decoder& decoder);

 private:
  Regulation(std::string identification, std::string type, std::optional<std::string> language,
             std::optional<std::string> label, std::optional<std::string> regulationURL,
             std::optional<std::string> logoURL);

  std::string identification_;
  std::string type_;
  std::optional<std::string> language_;
  std::optional<std::string> label_;
  std::optional<std::string> regulationURL_;
  std::optional<std::string> logoURL_;
};

// The checkout the gateway has opened. `merchantDTO` travels as "merchant" and
// `transactionId` as "transactionID"; only `tokenList` may be missing or null. The texts
// are kept as sent: `formContext` and `externalParameter` are Base64, `paymentMethodList`
// holds the gateway's method codes unconverted.
class CheckoutResponseDTO {
 public:
  const Amount& amount() const { return amount_; }
  const MerchantDTO& merchantDTO() const { return merchantDTO_; }
  const std::string& transactionId() const { return transactionId_; }
  const std::string& transactionSignature() const { return transactionSignature_; }
  const std::string& formContext() const { return formContext_; }
  const std::optional<std::vector<Token>>& tokenList() const { return tokenList_; }
  const Execution& execution() const { return execution_; }
  const ReturnStatus& returnStatus() const { return returnStatus_; }
  const std::vector<Regulation>& regulationList() const { return regulationList_; }
  const std::string& expiry() const { return expiry_; }
  const std::vector<std::string>& paymentMethodList() const { return paymentMethodList_; }
  const std::string& externalParameter() const { return externalParameter_; }
  const ActionResponse& actionResponse() const { return actionResponse_; }

  // The screen data made from this reply; nullopt when the merchant, the external
  // parameter or the form context cannot be converted. Defined with CheckoutResponse.
  std::optional<CheckoutResponse> parse() const;
  // The form context with every `,"XPAY"` removed, as Base64; nullopt when it is not
  // Base64 of UTF-8 text. Defined with CheckoutResponse.
  std::optional<std::string> formContextWithoutXPAY() const;

  void encode(foundation::Encoder& encoder) const;
  static CheckoutResponseDTO decode(const foundation::Decoder& decoder);

 private:
  CheckoutResponseDTO(Amount amount, MerchantDTO merchantDTO, std::string transactionId,
                      std::string transactionSignature, std::string formContext,
                      std::optional<std::vector<Token>> tokenList, Execution execution, ReturnStatus returnStatus,
                      std::vector<Regulation> regulationList, std::string expiry,
                      std::vector<std::string> paymentMethodList, std::string externalParameter,
                      ActionResponse actionResponse);

  Amount amount_;
  MerchantDTO merchantDTO_;
  std::string transactionId_;
  std::string transactionSignature_;
  std::string formContext_;
  std::optional<std::vector<Token>> tokenList_;
  Execution execution_;
  ReturnStatus returnStatus_;
  std::vector<Regulation> regulationList_;
  std::string expiry_;
  std::vector<std::string> paymentMethodList_;
  std::string externalParameter_;
  ActionResponse actionResponse_;
};

}  // namespace keln
