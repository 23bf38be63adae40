#include <keln/model/WireParts.h>

#include <string_view>
#include <utility>

namespace keln {

using foundation::Decoder;
using foundation::Encoder;
using Text = std::string;
using OptionalText = std::optional<std::string>;

namespace {

// Base-10 signed 64-bit integer: an optional sign, then one or more ASCII digits and
// nothing else. Overflow rejects the text, so the range is exactly that of int64_t.
std::optional<std::int64_t> parseInt64(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const int digit = c - '0';
    if (__builtin_mul_overflow(value, 10, &value)) return std::nullopt;
    if (negative ? __builtin_sub_overflow(value, digit, &value) : __builtin_add_overflow(value, digit, &value)) {
      return std::nullopt;
    }
  }
  return value;
}

}  // namespace

// --- Amount ----------------------------------------------------------------------------

Amount::Amount(double value, std::string currency) : currency_(std::move(currency)), value_(value) {}

void Amount::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("currency", currency_);
  encoder.encode("value", value_);
}

Amount Amount::decode(const Decoder& decoder) {
  Text currency = decoder.decode<Text>("currency");
  const double value = decoder.decode<double>("value");
  return Amount(value, std::move(currency));
}

// --- Address ---------------------------------------------------------------------------

Address::Address(std::string street1, std::optional<std::string> street2, std::string city, std::string postcode,
                 std::string country)
    : street1_(std::move(street1)),
      street2_(std::move(street2)),
      city_(std::move(city)),
      postcode_(std::move(postcode)),
      country_(std::move(country)) {}

void Address::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("street1", street1_);
  encoder.encodeIfPresent("street2", street2_);
  encoder.encode("city", city_);
  encoder.encode("postcode", postcode_);
  encoder.encode("country", country_);
}

Address Address::decode(const Decoder& decoder) {
  Text street1 = decoder.decode<Text>("street1");
  OptionalText street2 = decoder.decodeIfPresent<Text>("street2");
  Text city = decoder.decode<Text>("city");
  Text postcode = decoder.decode<Text>("postcode");
  Text country = decoder.decode<Text>("country");
  return Address(std::move(street1), std::move(street2), std::move(city), std::move(postcode), std::move(country));
}

// --- Token -----------------------------------------------------------------------------

Token::Token(std::optional<std::string> name, std::string type, std::string value, std::optional<std::string> maskedPAN,
             std::optional<std::string> expireDate)
    : name_(std::move(name)),
      type_(std::move(type)),
      value_(std::move(value)),
      maskedPAN_(std::move(maskedPAN)),
      expireDate_(std::move(expireDate)) {}

Token::Token(std::string type, std::string value)
    : Token(std::nullopt, std::move(type), std::move(value), std::nullopt, std::nullopt) {}

void Token::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encodeIfPresent("tokenName", name_);
  encoder.encode("tokenType", type_);
  encoder.encode("value", value_);
  encoder.encodeIfPresent("maskedPAN", maskedPAN_);
  encoder.encodeIfPresent("expireDate", expireDate_);
}

Token Token::decode(const Decoder& decoder) {
  OptionalText name = decoder.decodeIfPresent<Text>("tokenName");
  Text type = decoder.decode<Text>("tokenType");
  Text value = decoder.decode<Text>("value");
  OptionalText maskedPAN = decoder.decodeIfPresent<Text>("maskedPAN");
  OptionalText expireDate = decoder.decodeIfPresent<Text>("expireDate");
  return Token(std::move(name), std::move(type), std::move(value), std::move(maskedPAN), std::move(expireDate));
}

// --- Merchant --------------------------------------------------------------------------

Merchant::Merchant(std::int64_t terminalId, std::optional<std::string> merchantTransactionId,
                   std::optional<std::string> websiteAddress, std::optional<std::string> channel,
                   std::optional<std::string> shopURL, std::optional<std::string> transactionDescription)
    : terminalId_(terminalId),
      merchantTransactionId_(std::move(merchantTransactionId)),
      websiteAddress_(std::move(websiteAddress)),
      channel_(std::move(channel)),
      shopURL_(std::move(shopURL)),
      transactionDescription_(std::move(transactionDescription)) {}

void Merchant::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("terminalId", terminalId_);
  encoder.encodeIfPresent("merchantTransactionId", merchantTransactionId_);
  encoder.encodeIfPresent("websiteAddress", websiteAddress_);
  encoder.encodeIfPresent("channel", channel_);
  encoder.encodeIfPresent("shopURL", shopURL_);
  encoder.encodeIfPresent("transactionDescription", transactionDescription_);
}

Merchant Merchant::decode(const Decoder& decoder) {
  const std::int64_t terminalId = decoder.decode<std::int64_t>("terminalId");
  OptionalText merchantTransactionId = decoder.decodeIfPresent<Text>("merchantTransactionId");
  OptionalText websiteAddress = decoder.decodeIfPresent<Text>("websiteAddress");
  OptionalText channel = decoder.decodeIfPresent<Text>("channel");
  OptionalText shopURL = decoder.decodeIfPresent<Text>("shopURL");
  OptionalText transactionDescription = decoder.decodeIfPresent<Text>("transactionDescription");
  return Merchant(terminalId, std::move(merchantTransactionId), std::move(websiteAddress), std::move(channel),
                  std::move(shopURL), std::move(transactionDescription));
}

// --- MerchantDTO -----------------------------------------------------------------------

MerchantDTO::MerchantDTO(std::int64_t terminalId, std::string merchantTransactionId, std::string channel,
                         std::optional<std::string> shopURL, std::string transactionDescription)
    : MerchantDTO(std::to_string(terminalId), std::move(merchantTransactionId), std::move(channel), std::move(shopURL),
                  std::move(transactionDescription)) {}

MerchantDTO::MerchantDTO(std::string terminalId, std::optional<std::string> merchantTransactionId,
                         std::optional<std::string> channel, std::optional<std::string> shopURL,
                         std::optional<std::string> transactionDescription)
    : terminalId_(std::move(terminalId)),
      merchantTransactionId_(std::move(merchantTransactionId)),
      channel_(std::move(channel)),
      shopURL_(std::move(shopURL)),
      transactionDescription_(std::move(transactionDescription)) {}

std::optional<Merchant> MerchantDTO::parse() const {
  const std::optional<std::int64_t> terminalId = parseInt64(terminalId_);
  if (!terminalId) return std::nullopt;
  return Merchant(*terminalId, merchantTransactionId_, websiteAddress_, channel_, shopURL_, transactionDescription_);
}

void MerchantDTO::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("terminalId", terminalId_);
  encoder.encodeIfPresent("merchantTransactionId", merchantTransactionId_);
  encoder.encodeIfPresent("websiteAddress", websiteAddress_);
  encoder.encodeIfPresent("channel", channel_);
  encoder.encodeIfPresent("shopURL", shopURL_);
  encoder.encodeIfPresent("transactionDescription", transactionDescription_);
}

MerchantDTO MerchantDTO::decode(const Decoder& decoder) {
  Text terminalId = decoder.decode<Text>("terminalId");
  OptionalText merchantTransactionId = decoder.decodeIfPresent<Text>("merchantTransactionId");
  OptionalText channel = decoder.decodeIfPresent<Text>("channel");
  OptionalText shopURL = decoder.decodeIfPresent<Text>("shopURL");
  OptionalText transactionDescription = decoder.decodeIfPresent<Text>("transactionDescription");
  return MerchantDTO(std::move(terminalId), std::move(merchantTransactionId), std::move(channel), std::move(shopURL),
                     std::move(transactionDescription));
}

// --- Execution -------------------------------------------------------------------------

Execution::Execution(std::string startTime, std::string endTime)
    : startTime_(std::move(startTime)), endTime_(std::move(endTime)) {}

void Execution::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("startTime", startTime_);
  encoder.encode("endTime", endTime_);
}

Execution Execution::decode(const Decoder& decoder) {
  Text startTime = decoder.decode<Text>("startTime");
  Text endTime = decoder.decode<Text>("endTime");
  return Execution(std::move(startTime), std::move(endTime));
}

// --- ReturnStatus ----------------------------------------------------------------------

ReturnStatus::ReturnStatus(std::string statusCode, std::string statusMsg, std::string statusDescription)
    : statusCode_(std::move(statusCode)),
      statusMsg_(std::move(statusMsg)),
      statusDescription_(std::move(statusDescription)) {}

void ReturnStatus::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("statusCode", statusCode_);
  encoder.encode("statusMsg", statusMsg_);
  encoder.encode("statusDescription", statusDescription_);
}

ReturnStatus ReturnStatus::decode(const Decoder& decoder) {
  Text statusCode = decoder.decode<Text>("statusCode");
  Text statusMsg = decoder.decode<Text>("statusMsg");
  Text statusDescription = decoder.decode<Text>("statusDescription");
  return ReturnStatus(std::move(statusCode), std::move(statusMsg), std::move(statusDescription));
}

}  // namespace keln
