#pragma once

#include <keln/Export.h>

// The gateway's parameters for each family of payment methods, which a checkout reply
// carries Base64-encoded in its "externalParameter" text. ExternalParameter is the root
// of the JSON document; every key is the gateway's capitalised name ("XPAY",
// "GenericData", "AcceptorCountryCode", ...), compared exactly.
//
// Values come into being only by decoding; texts are kept exactly as sent (no trimming,
// no change of case, empty texts allowed). Immutable, no shared state, any thread.
// Decoding is depth first in member order and throws keln::foundation::DecodingError at
// the first failure, with nothing partial surviving. Encoding writes every required
// member and only present optionals, so a value with no members present is {}.

#include <optional>
#include <string>

#include <keln/foundation/JSONCoding.h>

namespace keln {

// Parameters common to all method families; each may be missing.
class KELN_EXPORT GenericData {
 public:
  const std::optional<std::string>& environment() const { return environment_; }
  const std::optional<std::string>& entityId() const { return entityId_; }
  // The country code an Apple Pay request is made for.
  const std::optional<std::string>& acceptorCountryCode() const { return acceptorCountryCode_; }

  void encode(foundation::Encoder& encoder) const;
  static GenericData decode(const foundation::Decoder& decoder);

 private:
  GenericData(std::optional<std::string> environment, std::optional<std::string> entityId,
              std::optional<std::string> acceptorCountryCode);

  std::optional<std::string> environment_;
  std::optional<std::string> entityId_;
  std::optional<std::string> acceptorCountryCode_;
};

// Google Pay parameters of the wallet family.
class KELN_EXPORT GooglePayDataElement {
 public:
  const std::string& gatewayMerchantId() const { return gatewayMerchantId_; }
  const std::string& gatewayName() const { return gatewayName_; }
  const std::string& googleMerchantId() const { return googleMerchantId_; }
  const std::string& googleMerchantName() const { return googleMerchantName_; }
  // A text, not a nested object.
  const std::string& tokenizationSpec() const { return tokenizationSpec_; }

  void encode(foundation::Encoder& encoder) const;
  static GooglePayDataElement decode(const foundation::Decoder& decoder);

 private:
  GooglePayDataElement(std::string gatewayMerchantId, std::string gatewayName, std::string googleMerchantId,
                       std::string googleMerchantName, std::string tokenizationSpec);

  std::string gatewayMerchantId_;
  std::string gatewayName_;
  std::string googleMerchantId_;
  std::string googleMerchantName_;
  std::string tokenizationSpec_;
};

// Apple Pay parameters of the wallet family.
class KELN_EXPORT ApplePayDataElement {
 public:
  const std::string& rfu() const { return rfu_; }
  const std::string& appleMerchantName() const { return appleMerchantName_; }

  void encode(foundation::Encoder& encoder) const;
  static ApplePayDataElement decode(const foundation::Decoder& decoder);

 private:
  ApplePayDataElement(std::string rfu, std::string appleMerchantName);

  std::string rfu_;
  std::string appleMerchantName_;
};

// The wallet family ("XPAY").
class KELN_EXPORT XPAY {
 public:
  const GenericData& genericData() const { return genericData_; }
  const GooglePayDataElement& googlePayDataElement() const { return googlePayDataElement_; }
  const ApplePayDataElement& applePayDataElement() const { return applePayDataElement_; }

  void encode(foundation::Encoder& encoder) const;
  static XPAY decode(const foundation::Decoder& decoder);

 private:
  XPAY(GenericData genericData, GooglePayDataElement googlePayDataElement, ApplePayDataElement applePayDataElement);

  GenericData genericData_;
  GooglePayDataElement googlePayDataElement_;
  ApplePayDataElement applePayDataElement_;
};

// The "BNPL" family.
class KELN_EXPORT BNPL {
 public:
  const GenericData& genericData() const { return genericData_; }

  void encode(foundation::Encoder& encoder) const;
  static BNPL decode(const foundation::Decoder& decoder);

 private:
  explicit BNPL(GenericData genericData);

  GenericData genericData_;
};

// The "PPRO" family.
class KELN_EXPORT PPRO {
 public:
  const GenericData& genericData() const { return genericData_; }

  void encode(foundation::Encoder& encoder) const;
  static PPRO decode(const foundation::Decoder& decoder);

 private:
  explicit PPRO(GenericData genericData);

  GenericData genericData_;
};

// The "SPDD" family; its generic data may be missing.
class KELN_EXPORT SPDD {
 public:
  const std::optional<GenericData>& genericData() const { return genericData_; }

  void encode(foundation::Encoder& encoder) const;
  static SPDD decode(const foundation::Decoder& decoder);

 private:
  explicit SPDD(std::optional<GenericData> genericData);

  std::optional<GenericData> genericData_;
};

// The root: one member per family, all four keys required.
class KELN_EXPORT ExternalParameter {
 public:
  const BNPL& bnpl() const { return bnpl_; }
  const XPAY& xpay() const { return xpay_; }
  const PPRO& ppro() const { return ppro_; }
  const SPDD& spdd() const { return spdd_; }

  void encode(foundation::Encoder& encoder) const;
  static ExternalParameter decode(const foundation::Decoder& decoder);

 private:
  ExternalParameter(BNPL bnpl, XPAY xpay, PPRO ppro, SPDD spdd);

  BNPL bnpl_;
  XPAY xpay_;
  PPRO ppro_;
  SPDD spdd_;
};

}  // namespace keln
