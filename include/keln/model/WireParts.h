#pragma once

#include <keln/Export.h>

// Small values shared by the gateway's messages and the SDK's public results: sums of
// money, postal addresses, card tokens, merchants, processing times and return statuses.
//
// All are immutable once made, hold no shared state and may be copied and read on any
// thread. Each encodes to and decodes from one JSON object (see keln/foundation/JSONCoding.h
// for the rules on required and optional keys); decoding throws
// keln::foundation::DecodingError and yields nothing partial. No constructor validates
// its arguments.

#include <cstdint>
#include <optional>
#include <string>

#include <keln/foundation/JSONCoding.h>

namespace keln {

// A sum of money: {"currency": text, "value": number}.
class KELN_EXPORT Amount {
 public:
  Amount(double value, std::string currency);

  const std::string& currency() const { return currency_; }
  double value() const { return value_; }

  void encode(foundation::Encoder& encoder) const;
  static Amount decode(const foundation::Decoder& decoder);

 private:
  std::string currency_;
  double value_;
};

// A postal address. Address::Builder assembles one with validation.
class KELN_EXPORT Address {
 public:
  class Builder;

  Address(std::string street1, std::optional<std::string> street2, std::string city, std::string postcode,
          std::string country);

  const std::string& street1() const { return street1_; }
  const std::optional<std::string>& street2() const { return street2_; }
  const std::string& city() const { return city_; }
  const std::string& postcode() const { return postcode_; }
  const std::string& country() const { return country_; }

  void encode(foundation::Encoder& encoder) const;
  static Address decode(const foundation::Decoder& decoder);

 private:
  std::string street1_;
  std::optional<std::string> street2_;
  std::string city_;
  std::string postcode_;
  std::string country_;
};

// A stored card token. On the wire `name` is "tokenName" and `type` is "tokenType".
class KELN_EXPORT Token {
 public:
  Token(std::optional<std::string> name, std::string type, std::string value, std::optional<std::string> maskedPAN,
        std::optional<std::string> expireDate);
  // A token with only its type and value.
  Token(std::string type, std::string value);

  const std::optional<std::string>& name() const { return name_; }
  const std::string& type() const { return type_; }
  const std::string& value() const { return value_; }
  const std::optional<std::string>& maskedPAN() const { return maskedPAN_; }
  const std::optional<std::string>& expireDate() const { return expireDate_; }

  void encode(foundation::Encoder& encoder) const;
  static Token decode(const foundation::Decoder& decoder);

 private:
  std::optional<std::string> name_;
  std::string type_;
  std::string value_;
  std::optional<std::string> maskedPAN_;
  std::optional<std::string> expireDate_;
};

// The merchant as the SDK sends it and hands it to the host; the terminal id travels as a
// JSON number.
class KELN_EXPORT Merchant {
 public:
  Merchant(std::int64_t terminalId, std::optional<std::string> merchantTransactionId,
           std::optional<std::string> websiteAddress, std::optional<std::string> channel,
           std::optional<std::string> shopURL, std::optional<std::string> transactionDescription);

  std::int64_t terminalId() const { return terminalId_; }
  const std::optional<std::string>& merchantTransactionId() const { return merchantTransactionId_; }
  const std::optional<std::string>& websiteAddress() const { return websiteAddress_; }
  const std::optional<std::string>& channel() const { return channel_; }
  const std::optional<std::string>& shopURL() const { return shopURL_; }
  const std::optional<std::string>& transactionDescription() const { return transactionDescription_; }

  void encode(foundation::Encoder& encoder) const;
  static Merchant decode(const foundation::Decoder& decoder);

 private:
  std::int64_t terminalId_;
  std::optional<std::string> merchantTransactionId_;
  std::optional<std::string> websiteAddress_;
  std::optional<std::string> channel_;
  std::optional<std::string> shopURL_;
  std::optional<std::string> transactionDescription_;
};

// The merchant as the gateway returns it in its replies: the terminal id is text and
// travels as a JSON string. `websiteAddress` is always absent: the constructor does not
// take it and decoding does not read it.
class KELN_EXPORT MerchantDTO {
 public:
  // Stores the terminal id as its decimal text.
  MerchantDTO(std::int64_t terminalId, std::string merchantTransactionId, std::string channel,
              std::optional<std::string> shopURL, std::string transactionDescription);

  const std::string& terminalId() const { return terminalId_; }
  const std::optional<std::string>& merchantTransactionId() const { return merchantTransactionId_; }
  const std::optional<std::string>& websiteAddress() const { return websiteAddress_; }
  const std::optional<std::string>& channel() const { return channel_; }
  const std::optional<std::string>& shopURL() const { return shopURL_; }
  const std::optional<std::string>& transactionDescription() const { return transactionDescription_; }

  // The merchant with the terminal id read as a signed 64-bit base-10 integer (an optional
  // "+" or "-", then ASCII digits only, leading zeros allowed); nullopt when the text is
  // not such an integer or does not fit. The other fields are copied.
  std::optional<Merchant> parse() const;

  void encode(foundation::Encoder& encoder) const;
  static MerchantDTO decode(const foundation::Decoder& decoder);

 private:
  MerchantDTO(std::string terminalId, std::optional<std::string> merchantTransactionId,
              std::optional<std::string> channel, std::optional<std::string> shopURL,
              std::optional<std::string> transactionDescription);

  std::string terminalId_;
  std::optional<std::string> merchantTransactionId_;
  std::optional<std::string> websiteAddress_;
  std::optional<std::string> channel_;
  std::optional<std::string> shopURL_;
  std::optional<std::string> transactionDescription_;
};

// The start and end time of the gateway's processing, as the gateway wrote them.
class KELN_EXPORT Execution {
 public:
  Execution(std::string startTime, std::string endTime);

  const std::string& startTime() const { return startTime_; }
  const std::string& endTime() const { return endTime_; }

  void encode(foundation::Encoder& encoder) const;
  static Execution decode(const foundation::Decoder& decoder);

 private:
  std::string startTime_;
  std::string endTime_;
};

// The gateway's outcome code and messages.
class KELN_EXPORT ReturnStatus {
 public:
  ReturnStatus(std::string statusCode, std::string statusMsg, std::string statusDescription);

  const std::string& statusCode() const { return statusCode_; }
  const std::string& statusMsg() const { return statusMsg_; }
  const std::string& statusDescription() const { return statusDescription_; }

  void encode(foundation::Encoder& encoder) const;
  static ReturnStatus decode(const foundation::Decoder& decoder);

 private:
  std::string statusCode_;
  std::string statusMsg_;
  std::string statusDescription_;
};

}  // namespace keln
