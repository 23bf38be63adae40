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
using Kind = DecodingError::Kind;

TEST(WireParts, EncodeWritesRequiredFieldsAndOnlyPresentOptionals) {
  struct Case {
    const char* name;
    std::string json;
    const char* expected;
  };
  const Case cases[] = {
      {"amount", JSONEncoder().encode(Amount(12.5, "PLN")), R"({"currency":"PLN","value":12.5})"},
      {"token with type and value", JSONEncoder().encode(Token("card", "tok")),
       R"({"tokenType":"card","value":"tok"})"},
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

TEST(WireParts, EveryMalformedValueFailsAsAWhole) {
  using testing::expectStrictShape;
  expectStrictShape<Amount>(R"({"currency":"PLN","value":12.5})", {});
  expectStrictShape<Address>(R"({"street1":"a","street2":"b","city":"c","postcode":"p","country":"PL"})",
                             {{"street2"}, {}});
  expectStrictShape<Token>(R"({"tokenName":"n","tokenType":"t","value":"v","maskedPAN":"m","expireDate":"e"})",
                           {{"tokenName", "maskedPAN", "expireDate"}, {}});
  const char* merchant =
      R"({"terminalId":%s,"merchantTransactionId":"m","websiteAddress":"w","channel":"c","shopURL":"s","transactionDescription":"d"})";
  auto withTerminalId = [merchant](const char* id) {
    std::string json = merchant;
    return json.replace(json.find("%s"), 2, id);
  };
  expectStrictShape<Merchant>(
      withTerminalId("1"),
      {{"merchantTransactionId", "websiteAddress", "channel", "shopURL", "transactionDescription"}, {}});
  expectStrictShape<MerchantDTO>(
      withTerminalId("\"1\""),
      {{"merchantTransactionId", "channel", "shopURL", "transactionDescription"}, {"websiteAddress"}});
  expectStrictShape<Execution>(R"({"startTime":"s","endTime":"e"})", {});
  expectStrictShape<ReturnStatus>(R"({"statusCode":"0","statusMsg":"m","statusDescription":"d"})", {});
}

TEST(WireParts, NumbersFollowTheirFieldType) {
  EXPECT_EQ(testing::reencode<Amount>(R"({"value":7,"currency":"PLN"})"), R"({"currency":"PLN","value":7})");
  EXPECT_EQ(testing::reencode<Merchant>(R"({"terminalId":1e2})"), R"({"terminalId":100})");
  testing::expectDecodingError<Merchant>(R"({"terminalId":1.5})", Kind::dataCorrupted, "terminalId");
  testing::expectDecodingError<Merchant>(R"({"terminalId":9223372036854775808})", Kind::dataCorrupted, "terminalId");
  testing::expectDecodingError<Merchant>(R"({"terminalId":"123"})", Kind::typeMismatch, "terminalId");
  testing::expectDecodingError<MerchantDTO>(R"({"terminalId":123})", Kind::typeMismatch, "terminalId");
}

TEST(WireParts, DecodedFieldsLandInTheirAccessors) {
  const Token token =
      JSONDecoder().decode<Token>(R"({"tokenName":"n","tokenType":"t","value":"v","maskedPAN":"m","expireDate":"e"})");
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
