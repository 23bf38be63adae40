
#include <gtest/gtest.h>

#include "model/CheckoutResponseDTO.h"
#include "model/WireTestSupport.h"
#include "support/WireSamples.h"

namespace keln {
namespace {

using foundation::JSONDecoder;
using foundation::JSONEncoder;
using nlohmann::json;
using testing::expectDecodingError;
using Kind = foundation::DecodingError::Kind;

std::string replyWith(const std::string& pointer, const json& value) {
  json reply = json::parse(samples::kCheckoutReply);
  reply[json::json_pointer(pointer)] = value;
  return reply.dump();
}

std::string replyWithout(const std::string& key) {
  json reply = json::parse(samples::kCheckoutReply);
  reply.erase(key);
  return reply.dump();
}

TEST(CheckoutResponseDTO, DecodesAFullReply) {
  const CheckoutResponseDTO reply = JSONDecoder().decode<CheckoutResponseDTO>(samples::kCheckoutReply);
  EXPECT_EQ(reply.amount().value(), 149.99);
  EXPECT_EQ(reply.amount().currency(), "PLN");
  EXPECT_EQ(reply.merchantDTO().terminalId(), "1234");
  EXPECT_EQ(reply.merchantDTO().websiteAddress(), std::nullopt);
  EXPECT_EQ(reply.transactionId(), "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f");
  EXPECT_EQ(reply.transactionSignature(), "c2lnbmF0dXJlLW9mLXRoZS10cmFuc2FjdGlvbg==");
  EXPECT_EQ(reply.formContext().substr(0, 8), "eyJ0ZXJt");
  ASSERT_TRUE(reply.tokenList().has_value());
  ASSERT_EQ(reply.tokenList()->size(), 2u);
  EXPECT_EQ((*reply.tokenList())[0].maskedPAN(), "4111********1111");
  EXPECT_EQ((*reply.tokenList())[1].name(), std::nullopt);
  EXPECT_EQ(reply.execution().endTime(), "2024-05-01T10:00:00.250Z");
  EXPECT_EQ(reply.returnStatus().statusDescription(), "Checkout created");
  ASSERT_EQ(reply.regulationList().size(), 2u);
  EXPECT_EQ(reply.regulationList()[0].logoURL(), "https://gateway.example/logo.png");
  EXPECT_EQ(reply.regulationList()[1].type(), "PRIVACY");
  EXPECT_EQ(reply.regulationList()[1].label(), std::nullopt);
  EXPECT_EQ(reply.expiry(), "2024-05-01T10:15:00.000Z");
  EXPECT_EQ(reply.paymentMethodList(), (std::vector<std::string>{"CARD", "XPAY", "BLIK", "PAY_BY_LINK"}));
  EXPECT_EQ(reply.externalParameter().substr(0, 8), "eyJCTlBM");
  EXPECT_EQ(reply.actionResponse().data().params(),
            (std::vector<std::string>{"redirect", "https://gateway.example/3ds"}));
}

TEST(CheckoutResponseDTO, EveryMalformedReplyFailsAsAWhole) {
  testing::expectStrictShape<CheckoutResponseDTO>(
      samples::kCheckoutReply,
      {{"merchant.merchantTransactionId", "merchant.channel", "merchant.shopURL", "merchant.transactionDescription",
        "tokenList", "tokenList.Index 0.tokenName", "tokenList.Index 0.maskedPAN", "tokenList.Index 0.expireDate",
        "regulationList.Index 0.language", "regulationList.Index 0.label", "regulationList.Index 0.regulationURL",
        "regulationList.Index 0.logoURL"},
       {"merchant.websiteAddress"}});
}

TEST(CheckoutResponseDTO, ListsMayBeEmptyAndOnlyTheTokenListAbsent) {
  struct Case {
    std::string json;
    bool decodes;
  };
  const Case cases[] = {
      {replyWithout("tokenList"), true},
      {replyWith("/tokenList", nullptr), true},
      {replyWith("/tokenList", json::array()), true},
      {replyWith("/regulationList", json::array()), true},
      {replyWith("/paymentMethodList", json::array()), true},
      {replyWith("/actionResponse/data/params", json::array()), true},
      {replyWith("/paymentMethodList", json::array({"CARD", 1})), false},
      {replyWith("/actionResponse/data", json::object()), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    if (c.decodes) {
      EXPECT_NO_THROW(JSONDecoder().decode<CheckoutResponseDTO>(c.json));
    } else {
      EXPECT_THROW(JSONDecoder().decode<CheckoutResponseDTO>(c.json), foundation::DecodingError);
    }
  }
  EXPECT_EQ(JSONDecoder().decode<CheckoutResponseDTO>(replyWith("/tokenList", nullptr)).tokenList(), std::nullopt);
  const auto empty = JSONDecoder().decode<CheckoutResponseDTO>(replyWith("/tokenList", json::array())).tokenList();
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
}

TEST(CheckoutResponseDTO, KeysAreCaseSensitive) {
  json reply = json::parse(samples::kCheckoutReply);
  reply["transactionId"] = reply["transactionID"];
  reply.erase("transactionID");
  expectDecodingError<CheckoutResponseDTO>(reply.dump(), Kind::keyNotFound, "");

  reply = json::parse(samples::kCheckoutReply);
  reply["merchantDTO"] = reply["merchant"];
  reply.erase("merchant");
  expectDecodingError<CheckoutResponseDTO>(reply.dump(), Kind::keyNotFound, "");
}

TEST(CheckoutResponseDTO, ReencodesInFieldOrderWithoutAnAbsentTokenList) {
  const std::string encoded = testing::reencode<CheckoutResponseDTO>(replyWithout("tokenList"));
  EXPECT_EQ(encoded.find("tokenList"), std::string::npos);
  EXPECT_EQ(encoded.find("websiteAddress"), std::string::npos);
  std::vector<std::string> order;
  const nlohmann::ordered_json document = nlohmann::ordered_json::parse(encoded);
  for (const auto& item : document.items()) order.push_back(item.key());
  EXPECT_EQ(order, (std::vector<std::string>{"amount", "merchant", "transactionID", "transactionSignature",
                                             "formContext", "execution", "returnStatus", "regulationList", "expiry",
                                             "paymentMethodList", "externalParameter", "actionResponse"}));
  EXPECT_NE(
      encoded.find(R"("merchant":{"terminalId":"1234","merchantTransactionId":"order-2024-0001","channel":"web")"),
      std::string::npos);
  EXPECT_EQ(testing::reencode<CheckoutResponseDTO>(encoded), encoded);

  const std::string withEmptyList = testing::reencode<CheckoutResponseDTO>(replyWith("/tokenList", json::array()));
  EXPECT_NE(withEmptyList.find(R"("tokenList":[])"), std::string::npos);
}

TEST(CheckoutToken, HasKeysOfItsOwn) {
  const CheckoutToken token = JSONDecoder().decode<CheckoutToken>(
      R"({"name":"n","type":"CARD","value":"v","maskedPANval":"4111","expireData":"12/30","expireDate":"01/01"})");
  EXPECT_EQ(token.name(), "n");
  EXPECT_EQ(token.maskedPANval(), "4111");
  EXPECT_EQ(token.expireDate(), "12/30");
  EXPECT_EQ(JSONEncoder().encode(token),
            R"({"name":"n","type":"CARD","value":"v","maskedPANval":"4111","expireData":"12\/30"})");

  EXPECT_EQ(JSONDecoder().decode<CheckoutToken>(R"({"type":"t","value":"v","expireDate":"12/30"})").expireDate(),
            std::nullopt);
  expectDecodingError<CheckoutToken>(R"({"tokenType":"t","value":"v"})", Kind::keyNotFound, "");
  testing::expectStrictShape<CheckoutToken>(
      R"({"name":"n","type":"t","value":"v","maskedPANval":"m","expireData":"e"})",
      {{"name", "maskedPANval", "expireData"}, {}});
}

}  // namespace
}  // namespace keln
