#include <keln/model/PaymentMethodPayloads.h>

#include <utility>

namespace keln {

using foundation::Decoder;
using foundation::Encoder;
using Text = std::string;
using OptionalText = std::optional<std::string>;

// --- GenericData -----------------------------------------------------------------------

GenericData::GenericData(std::optional<std::string> environment, std::optional<std::string> entityId,
                         std::optional<std::string> acceptorCountryCode)
    : environment_(std::move(environment)),
      entityId_(std::move(entityId)),
      acceptorCountryCode_(std::move(acceptorCountryCode)) {}

void GenericData::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encodeIfPresent("Environment", environment_);
  encoder.encodeIfPresent("EntityId", entityId_);
  encoder.encodeIfPresent("AcceptorCountryCode", acceptorCountryCode_);
}

GenericData GenericData::decode(const Decoder& decoder) {
  OptionalText environment = decoder.decodeIfPresent<Text>("Environment");
  OptionalText entityId = decoder.decodeIfPresent<Text>("EntityId");
  OptionalText acceptorCountryCode = decoder.decodeIfPresent<Text>("AcceptorCountryCode");
  return GenericData(std::move(environment), std::move(entityId), std::move(acceptorCountryCode));
}

// --- GooglePayDataElement --------------------------------------------------------------

GooglePayDataElement::GooglePayDataElement(std::string gatewayMerchantId, std::string gatewayName,
                                           std::string googleMerchantId, std::string googleMerchantName,
                                           std::string tokenizationSpec)
    : gatewayMerchantId_(std::move(gatewayMerchantId)),
      gatewayName_(std::move(gatewayName)),
      googleMerchantId_(std::move(googleMerchantId)),
      googleMerchantName_(std::move(googleMerchantName)),
      tokenizationSpec_(std::move(tokenizationSpec)) {}

void GooglePayDataElement::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("GatewayMerchantId", gatewayMerchantId_);
  encoder.encode("GatewayName", gatewayName_);
  encoder.encode("GoogleMerchantId", googleMerchantId_);
  encoder.encode("GoogleMerchantName", googleMerchantName_);
  encoder.encode("TokenizationSpec", tokenizationSpec_);
}

GooglePayDataElement GooglePayDataElement::decode(const Decoder& decoder) {
  Text gatewayMerchantId = decoder.decode<Text>("GatewayMerchantId");
  Text gatewayName = decoder.decode<Text>("GatewayName");
  Text googleMerchantId = decoder.decode<Text>("GoogleMerchantId");
  Text googleMerchantName = decoder.decode<Text>("GoogleMerchantName");
  Text tokenizationSpec = decoder.decode<Text>("TokenizationSpec");
  return GooglePayDataElement(std::move(gatewayMerchantId), std::move(gatewayName), std::move(googleMerchantId),
                              std::move(googleMerchantName), std::move(tokenizationSpec));
}

// --- ApplePayDataElement ---------------------------------------------------------------

ApplePayDataElement::ApplePayDataElement(std::string rfu, std::string appleMerchantName)
    : rfu_(std::move(rfu)), appleMerchantName_(std::move(appleMerchantName)) {}

void ApplePayDataElement::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("RFU", rfu_);
  encoder.encode("AppleMerchantName", appleMerchantName_);
}

ApplePayDataElement ApplePayDataElement::decode(const Decoder& decoder) {
  Text rfu = decoder.decode<Text>("RFU");
  Text appleMerchantName = decoder.decode<Text>("AppleMerchantName");
  return ApplePayDataElement(std::move(rfu), std::move(appleMerchantName));
}

// --- Method families -------------------------------------------------------------------

XPAY::XPAY(GenericData genericData, GooglePayDataElement googlePayDataElement, ApplePayDataElement applePayDataElement)
    : genericData_(std::move(genericData)),
      googlePayDataElement_(std::move(googlePayDataElement)),
      applePayDataElement_(std::move(applePayDataElement)) {}

void XPAY::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("GenericData", genericData_);
  encoder.encode("GooglePayDataElement", googlePayDataElement_);
  encoder.encode("ApplePayDataElement", applePayDataElement_);
}

XPAY XPAY::decode(const Decoder& decoder) {
  GenericData genericData = decoder.decode<GenericData>("GenericData");
  GooglePayDataElement googlePayDataElement = decoder.decode<GooglePayDataElement>("GooglePayDataElement");
  ApplePayDataElement applePayDataElement = decoder.decode<ApplePayDataElement>("ApplePayDataElement");
  return XPAY(std::move(genericData), std::move(googlePayDataElement), std::move(applePayDataElement));
}

BNPL::BNPL(GenericData genericData) : genericData_(std::move(genericData)) {}

void BNPL::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("GenericData", genericData_);
}

BNPL BNPL::decode(const Decoder& decoder) { return BNPL(decoder.decode<GenericData>("GenericData")); }

PPRO::PPRO(GenericData genericData) : genericData_(std::move(genericData)) {}

void PPRO::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("GenericData", genericData_);
}

PPRO PPRO::decode(const Decoder& decoder) { return PPRO(decoder.decode<GenericData>("GenericData")); }

SPDD::SPDD(std::optional<GenericData> genericData) : genericData_(std::move(genericData)) {}

void SPDD::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encodeIfPresent("GenericData", genericData_);
}

SPDD SPDD::decode(const Decoder& decoder) { return SPDD(decoder.decodeIfPresent<GenericData>("GenericData")); }

// --- ExternalParameter -----------------------------------------------------------------

ExternalParameter::ExternalParameter(BNPL bnpl, XPAY xpay, PPRO ppro, SPDD spdd)
    : bnpl_(std::move(bnpl)), xpay_(std::move(xpay)), ppro_(std::move(ppro)), spdd_(std::move(spdd)) {}

void ExternalParameter::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("BNPL", bnpl_);
  encoder.encode("XPAY", xpay_);
  encoder.encode("PPRO", ppro_);
  encoder.encode("SPDD", spdd_);
}

ExternalParameter ExternalParameter::decode(const Decoder& decoder) {
  BNPL bnpl = decoder.decode<BNPL>("BNPL");
  XPAY xpay = decoder.decode<XPAY>("XPAY");
  PPRO ppro = decoder.decode<PPRO>("PPRO");
  SPDD spdd = decoder.decode<SPDD>("SPDD");
  return ExternalParameter(std::move(bnpl), std::move(xpay), std::move(ppro), std::move(spdd));
}

}  // namespace keln
