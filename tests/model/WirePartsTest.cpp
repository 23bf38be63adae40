#include <keln/model/WireParts.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "model/WireTestSupport.h"

namespace keln {
namespace {

using foundation::DecodingError;
using foundation::EncodingError;
using foundation::JSONDecoder;
using foundation::JSONEncoder;
using testing::reencode;
using Kind = DecodingError::Kind;

TEST(WireParts, EncodeWritesRequiredFieldsAndOnlyPresentOptionals) {
  struct Case {
    const char* name;
    std::string json;
    const char* expected;
  };
  const Case cases[] = {
      {"amount", JSONEncoder().encode(Amount(12.5, "PLN")), R"({"currency":"PLN","value":12.5})"},
      {"token with type and value", JSONEncoder().encode(Token("card", "tok")), R"({"tokenType":"card","value":"tok"})"},
      {"full token", JSONEncoder().encode(Token("n", "card", "tok", "4111********1111", "12/30")),
       R"({"tokenName":"n","tokenType":"card","value":"tok","maskedPAN":"4111********1111","expireDate":"12\/30"})"},
      {"address without street2", JSONEncoder().encode(Address("Main 1", std::nullopt, "Lodz", "90-001", "PL")),
       R"({"street1":"Main 1","city":"Lodz","postcode":"90-001","country":"PL"})"},
      {"merchant with terminal id only",
       JSONEncoder().encode(Merchant(123, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt)),
       R"({"terminalId":123})"},
      {"full merchant", JSONEncoder().encode(Merchant(-1, "m", "w", "c", "s", "d")),
       R"({"terminalId":-1,"merchantTransactionId":"m","websiteAddress":"w","channel":"c","shopURL":"s","transactionDescription":"d"})"},
      {"merchant DTO", JSONEncoder().encode(MerchantDTO(-12, "m", "web", std::nullopt, "d")),
       R"({"terminalId":"-12","merchantTransactionId":"m","channel":"web","transactionDescription":"d"})"},
      {"execution", JSONEncoder().encode(Execution("s", "e")), R"({"startTime":"s","endTime":"e"})"},
      {"return status", JSONEncoder().encode(ReturnStatus("0", "OK", "fine")),
       R"({"statusCode":"0","statusMsg":"OK","statusDescription":"fine"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.json, c.expected);
  }
}

TEST(WireParts, DecodeRules) {
  using Decode = std::string (*)(const std::string&);
  struct Case {
    Decode decode;
    const char* json;
    const char* reencoded;  // nullptr: the decoding fails
    Kind kind;
    const char* path;
  };
  const Kind ok = Kind::dataCorrupted;  // unused when the case decodes
  const Case cases[] = {
      {reencode<Amount>, R"({"value":7,"currency":"PLN"})", R"({"currency":"PLN","value":7})", ok, ""},
      {reencode<Amount>, R"({"currency":"PLN"})", nullptr, Kind::keyNotFound, ""},
      {reencode<Amount>, R"({"currency":"PLN","value":"7"})", nullptr, Kind::typeMismatch, "value"},
      {reencode<Amount>, R"({"currency":null,"value":7})", nullptr, Kind::valueNotFound, "currency"},
      {reencode<Amount>, R"({"Currency":"PLN","value":7})", nullptr, Kind::keyNotFound, ""},
      {reencode<Amount>, R"(["PLN",7])", nullptr, Kind::typeMismatch, ""},
      {reencode<Amount>, R"("PLN")", nullptr, Kind::typeMismatch, ""},
      {reencode<Token>, R"({"name":"n","type":"t","value":"v"})", nullptr, Kind::keyNotFound, ""},
      {reencode<Token>, R"({"tokenType":"t","value":"v","tokenName":null})", R"({"tokenType":"t","value":"v"})", ok, ""},
      {reencode<Token>, R"({"tokenType":"t","value":"v","maskedPAN":4111})", nullptr, Kind::typeMismatch, "maskedPAN"},
      {reencode<Token>, R"({"tokenType":"t","value":{}})", nullptr, Kind::typeMismatch, "value"},
      {reencode<Address>, R"({"street1":"a","city":"c","country":"PL"})", nullptr, Kind::keyNotFound, ""},
      {reencode<Address>, R"({"street1":"a","street2":null,"city":"c","postcode":"p","country":"PL"})",
       R"({"street1":"a","city":"c","postcode":"p","country":"PL"})", ok, ""},
      {reencode<Address>, R"({"street1":"a","street2":["b"],"city":"c","postcode":"p","country":"PL"})", nullptr,
       Kind::typeMismatch, "street2"},
      {reencode<Merchant>, R"({"terminalId":123,"extra":true})", R"({"terminalId":123})", ok, ""},
      {reencode<Merchant>, R"({"terminalId":"123"})", nullptr, Kind::typeMismatch, "terminalId"},
      {reencode<Merchant>, R"({"terminalId":1.5})", nullptr, Kind::dataCorrupted, "terminalId"},
      {reencode<Merchant>, R"({"terminalId":9223372036854775808})", nullptr, Kind::dataCorrupted, "terminalId"},
      {reencode<Merchant>, R"({"terminalId":null})", nullptr, Kind::valueNotFound, "terminalId"},
      {reencode<MerchantDTO>, R"({"terminalId":"123"})", R"({"terminalId":"123"})", ok, ""},
      {reencode<MerchantDTO>, R"({"terminalId":123})", nullptr, Kind::typeMismatch, "terminalId"},
      {reencode<MerchantDTO>, R"({"terminalId":"1","websiteAddress":"https://shop","channel":"web"})",
       R"({"terminalId":"1","channel":"web"})", ok, ""},
      {reencode<MerchantDTO>, R"({"terminalId":"1","websiteAddress":5})", R"({"terminalId":"1"})", ok, ""},
      {reencode<MerchantDTO>, R"({"terminalId":"1","shopURL":false})", nullptr, Kind::typeMismatch, "shopURL"},
      {reencode<Execution>, R"({"endTime":"e","startTime":"s","other":[1]})", R"({"startTime":"s","endTime":"e"})", ok,
       ""},
      {reencode<Execution>, R"({"startTime":"s"})", nullptr, Kind::keyNotFound, ""},
      {reencode<ReturnStatus>, R"({"statusCode":"0","statusMsg":"m"})", nullptr, Kind::keyNotFound, ""},
      {reencode<ReturnStatus>, R"({"statusCode":0,"statusMsg":"m","statusDescription":"d"})", nullptr,
       Kind::typeMismatch, "statusCode"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    if (c.reencoded) {
      try {
        EXPECT_EQ(c.decode(c.json), c.reencoded);
      } catch (const DecodingError& error) {
        ADD_FAILURE() << error.description();
      }
      continue;
    }
    try {
      c.decode(c.json);
      ADD_FAILURE() << "decoded";
    } catch (const DecodingError& error) {
      EXPECT_EQ(error.kind(), c.kind) << error.description();
      EXPECT_EQ(foundation::describeCodingPath(error.codingPath()), c.path);
    }
  }
}

TEST(WireParts, DecodedFieldsLandInTheirAccessors) {
  const Token token = JSONDecoder().decode<Token>(
      R"({"tokenName":"n","tokenType":"t","value":"v","maskedPAN":"m","expireDate":"e"})");
  EXPECT_EQ(token.name(), "n");
  EXPECT_EQ(token.type(), "t");
  EXPECT_EQ(token.value(), "v");
  EXPECT_EQ(token.maskedPAN(), "m");
  EXPECT_EQ(token.expireDate(), "e");

  const Amount amount = JSONDecoder().decode<Amount>(R"({"currency":"PLN","value":7})");
  EXPECT_EQ(amount.currency(), "PLN");
  EXPECT_EQ(amount.value(), 7.0);

  const MerchantDTO dto = JSONDecoder().decode<MerchantDTO>(
      R"({"terminalId":"42","merchantTransactionId":"m","websiteAddress":"w","channel":"c","shopURL":"s","transactionDescription":"d"})");
  EXPECT_EQ(dto.websiteAddress(), std::nullopt);
  const std::optional<Merchant> merchant = dto.parse();
  ASSERT_TRUE(merchant.has_value());
  EXPECT_EQ(merchant->terminalId(), 42);
  EXPECT_EQ(merchant->merchantTransactionId(), "m");
  EXPECT_EQ(merchant->websiteAddress(), std::nullopt);
  EXPECT_EQ(merchant->channel(), "c");
  EXPECT_EQ(merchant->shopURL(), "s");
  EXPECT_EQ(merchant->transactionDescription(), "d");
}

TEST(WireParts, MerchantDTOParseReadsOnlyWholeSigned64BitDecimals) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> expected;
  };
  const Case cases[] = {
      {"123", 123},
      {"+123", 123},
      {"007", 7},
      {"-0", 0},
      {"-12", -12},
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
      {"00000000000000000000009223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {"", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"+-1", std::nullopt},
      {" 123", std::nullopt},
      {"123 ", std::nullopt},
      {"12a", std::nullopt},
      {"1.0", std::nullopt},
      {"1_000", std::nullopt},
      {"1,000", std::nullopt},
      {"0x10", std::nullopt},
      {"\xD9\xA1", std::nullopt},  // ARABIC-INDIC DIGIT ONE
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775809", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string json = std::string(R"({"terminalId":")") + c.text + R"("})";
    const std::optional<Merchant> merchant = JSONDecoder().decode<MerchantDTO>(json).parse();
    ASSERT_EQ(merchant.has_value(), c.expected.has_value());
    if (merchant) {
      EXPECT_EQ(merchant->terminalId(), *c.expected);
    }
  }
}

TEST(WireParts, MerchantDTOStoresItsTerminalIdAsDecimalText) {
  for (const std::int64_t id : {std::int64_t{0}, std::int64_t{-12}, std::numeric_limits<std::int64_t>::min(),
                                std::numeric_limits<std::int64_t>::max()}) {
    SCOPED_TRACE(id);
    const MerchantDTO dto(id, "m", "c", std::nullopt, "d");
    EXPECT_EQ(dto.terminalId(), std::to_string(id));
    EXPECT_EQ(dto.shopURL(), std::nullopt);
    EXPECT_EQ(dto.websiteAddress(), std::nullopt);
    ASSERT_TRUE(dto.parse().has_value());
    EXPECT_EQ(dto.parse()->terminalId(), id);
  }
}

TEST(WireParts, NonFiniteAmountIsNotEncoded) {
  for (const double value : {std::nan(""), std::numeric_limits<double>::infinity()}) {
    try {
      JSONEncoder().encode(Amount(value, "PLN"));
      ADD_FAILURE() << "encoded " << value;
    } catch (const EncodingError& error) {
      EXPECT_EQ(foundation::describeCodingPath(error.codingPath()), "value");
    }
  }
}

}  // namespace
}  // namespace keln
