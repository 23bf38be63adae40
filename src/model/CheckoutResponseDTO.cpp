#include "model/CheckoutResponseDTO.h"

#include <utility>

namespace keln {

using foundation::Decoder;
using foundation::Encoder;
using Text = std::string;
using OptionalText = std::optional<std::string>;

// --- Regulation ------------------------------------------------------------------------

Regulation::Regulation(std::string identification, std::string type, std::optional<std::string> language,
                       std::optional<std::string> label, std::optional<std::string> regulationURL,
                       std::optional<std::string> logoURL)
    : identification_(std::move(identification)),
      type_(std::move(type)),
      language_(std::move(language)),
      label_(std::move(label)),
      regulationURL_(std::move(regulationURL)),
      logoURL_(std::move(logoURL)) {}

void Regulation::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("identification", identification_);
  encoder.encode("type", type_);
  encoder.encodeIfPresent("language", language_);
  encoder.encodeIfPresent("label", label_);
  encoder.encodeIfPresent("regulationURL", regulationURL_);
  encoder.encodeIfPresent("logoURL", logoURL_);
}

Regulation Regulation::decode(const Decoder& decoder) {
  Text identification = decoder.decode<Text>("identification");
  Text type = decoder.decode<Text>("type");
  OptionalText language = decoder.decodeIfPresent<Text>("language");
  OptionalText label = decoder.decodeIfPresent<Text>("label");
  OptionalText regulationURL = decoder.decodeIfPresent<Text>("regulationURL");
  OptionalText logoURL = decoder.decodeIfPresent<Text>("logoURL");
  return Regulation(std::move(identification), std::move(type), std::move(language), std::move(label),
                    std::move(regulationURL), std::move(logoURL));
}

// --- ActionResponseData / ActionResponse -----------------------------------------------

ActionResponseData::ActionResponseData(std::vector<std::string> params) : params_(std::move(params)) {}

void ActionResponseData::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("params", params_);
}

ActionResponseData ActionResponseData::decode(const Decoder& decoder) {
  return ActionResponseData(decoder.decode<std::vector<Text>>("params"));
}

ActionResponse::ActionResponse(ActionResponseData data) : data_(std::move(data)) {}

void ActionResponse::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("data", data_);
}

ActionResponse ActionResponse::decode(const Decoder& decoder) {
  return ActionResponse(decoder.decode<ActionResponseData>("data"));
}

// --- CheckoutToken ---------------------------------------------------------------------

CheckoutToken::CheckoutToken(std::optional<std::string> name, std::string type, std::string value,
                             std::optional<std::string> maskedPANval, std::optional<std::string> expireDate)
    : name_(std::move(name)),
      type_(std::move(type)),
      value_(std::move(value)),
      maskedPANval_(std::move(maskedPANval)),
      expireDate_(std::move(expireDate)) {}

void CheckoutToken::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encodeIfPresent("name", name_);
  encoder.encode("type", type_);
  encoder.encode("value", value_);
  encoder.encodeIfPresent("maskedPANval", maskedPANval_);
  encoder.encodeIfPresent("expireData", expireDate_);
}

CheckoutToken CheckoutToken::decode(const Decoder& decoder) {
  OptionalText name = decoder.decodeIfPresent<Text>("name");
  Text type = decoder.decode<Text>("type");
  Text value = decoder.decode<Text>("value");
  OptionalText maskedPANval = decoder.decodeIfPresent<Text>("maskedPANval");
  OptionalText expireDate = decoder.decodeIfPresent<Text>("expireData");
  return CheckoutToken(std::move(name), std::move(type), std::move(value), std::move(maskedPANval),
                       std::move(expireDate));
}

// --- CheckoutResponseDTO ---------------------------------------------------------------

CheckoutResponseDTO::CheckoutResponseDTO(Amount amount, MerchantDTO merchantDTO, std::string transactionId,
                                         std::string transactionSignature, std::string formContext,
                                         std::optional<std::vector<Token>> tokenList, Execution execution,
                                         ReturnStatus returnStatus, std::vector<Regulation> regulationList,
                                         std::string expiry, std::vector<std::string> paymentMethodList,
                                         std::string externalParameter, ActionResponse actionResponse)
    : amount_(std::move(amount)),
      merchantDTO_(std::move(merchantDTO)),
      transactionId_(std::move(transactionId)),
      transactionSignature_(std::move(transactionSignature)),
      formContext_(std::move(formContext)),
      tokenList_(std::move(tokenList)),
      execution_(std::move(execution)),
      returnStatus_(std::move(returnStatus)),
      regulationList_(std::move(regulationList)),
      expiry_(std::move(expiry)),
      paymentMethodList_(std::move(paymentMethodList)),
      externalParameter_(std::move(externalParameter)),
      actionResponse_(std::move(actionResponse)) {}

void CheckoutResponseDTO::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("amount", amount_);
  encoder.encode("merchant", merchantDTO_);
  encoder.encode("transactionID", transactionId_);
  encoder.encode("transactionSignature", transactionSignature_);
  encoder.encode("formContext", formContext_);
  encoder.encodeIfPresent("tokenList", tokenList_);
  encoder.encode("execution", execution_);
  encoder.encode("returnStatus", returnStatus_);
  encoder.encode("regulationList", regulationList_);
  encoder.encode("expiry", expiry_);
  encoder.encode("paymentMethodList", paymentMethodList_);
  encoder.encode("externalParameter", externalParameter_);
  encoder.encode("actionResponse", actionResponse_);
}

CheckoutResponseDTO CheckoutResponseDTO::decode(const Decoder& decoder) {
  Amount amount = decoder.decode<Amount>("amount");
  MerchantDTO merchantDTO = decoder.decode<MerchantDTO>("merchant");
  Text transactionId = decoder.decode<Text>("transactionID");
  Text transactionSignature = decoder.decode<Text>("transactionSignature");
  Text formContext = decoder.decode<Text>("formContext");
  std::optional<std::vector<Token>> tokenList = decoder.decodeIfPresent<std::vector<Token>>("tokenList");
  Execution execution = decoder.decode<Execution>("execution");
  ReturnStatus returnStatus = decoder.decode<ReturnStatus>("returnStatus");
  std::vector<Regulation> regulationList = decoder.decode<std::vector<Regulation>>("regulationList");
  Text expiry = decoder.decode<Text>("expiry");
  std::vector<Text> paymentMethodList = decoder.decode<std::vector<Text>>("paymentMethodList");
  Text externalParameter = decoder.decode<Text>("externalParameter");
  ActionResponse actionResponse = decoder.decode<ActionResponse>("actionResponse");
  return CheckoutResponseDTO(std::move(amount), std::move(merchantDTO), std::move(transactionId),
                             std::move(transactionSignature), std::move(formContext), std::move(tokenList),
                             std::move(execution), std::move(returnStatus), std::move(regulationList),
                             std::move(expiry), std::move(paymentMethodList), std::move(externalParameter),
                             std::move(actionResponse));
}

}  // namespace keln
