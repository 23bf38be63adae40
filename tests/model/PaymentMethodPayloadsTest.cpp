#include <keln/model/PaymentMethodPayloads.h>

#include <gtest/gtest.h>

#include "foundation/Base64.h"
#include "model/WireTestSupport.h"
#include "support/WireSamples.h"

namespace keln {
namespace {

using foundation::JSONDecoder;
using foundation::JSONEncoder;
using nlohmann::json;
using testing::expectDecodingError;
using Kind = foundation::DecodingError::Kind;

const char* const kMinimal =
    R"({"BNPL":{"GenericData":{}},"XPAY":{"GenericData":{},"GooglePayDataElement":{"GatewayMerchantId":"",)"
    R"("GatewayName":"","GoogleMerchantId":"","GoogleMerchantName":"","TokenizationSpec":""},)"
    R"("ApplePayDataElement":{"RFU":"","AppleMerchantName":""}},"PPRO":{"GenericData":{}},"SPDD":{}})";

const char* const kFull =
    R"({"BNPL":{"GenericData":{"Environment":"TEST","EntityId":"b","AcceptorCountryCode":"PL"}},)"
    R"("XPAY":{"GenericData":{"Environment":"TEST","EntityId":"x","AcceptorCountryCode":"PL"},)"
    R"("GooglePayDataElement":{"GatewayMerchantId":"gm","GatewayName":"gn","GoogleMerchantId":"gi",)"
    R"("GoogleMerchantName":"gnm","TokenizationSpec":"ts"},"ApplePayDataElement":{"RFU":"r","AppleMerchantName":"am"}},)"
    R"("PPRO":{"GenericData":{"Environment":"TEST","EntityId":"p","AcceptorCountryCode":"DE"}},)"
    R"("SPDD":{"GenericData":{"Environment":"TEST","EntityId":"s","AcceptorCountryCode":"CZ"}}})";

std::string payloadWith(const char* base, const std::string& pointer, const json& value) {
  json payload = json::parse(base);
  payload[json::json_pointer(pointer)] = value;
  return payload.dump();
}

TEST(PaymentMethodPayloads, MinimalPayloadDecodesWithEveryOptionalAbsent) {
  const ExternalParameter parameter = JSONDecoder().decode<ExternalParameter>(kMinimal);
  for (const GenericData* data :
       {&parameter.bnpl().genericData(), &parameter.xpay().genericData(), &parameter.ppro().genericData()}) {
    EXPECT_EQ(data->environment(), std::nullopt);
    EXPECT_EQ(data->entityId(), std::nullopt);
    EXPECT_EQ(data->acceptorCountryCode(), std::nullopt);
  }
  EXPECT_EQ(parameter.spdd().genericData(), std::nullopt);
  EXPECT_EQ(parameter.xpay().googlePayDataElement().tokenizationSpec(), "");
  EXPECT_EQ(parameter.xpay().applePayDataElement().rfu(), "");

  const std::string encoded = JSONEncoder().encode(parameter);
  EXPECT_EQ(encoded, kMinimal);
  EXPECT_EQ(encoded.find("null"), std::string::npos);
  EXPECT_EQ(testing::reencode<ExternalParameter>(encoded), encoded);
}

TEST(PaymentMethodPayloads, FullPayloadKeepsEveryMember) {
  const ExternalParameter parameter = JSONDecoder().decode<ExternalParameter>(kFull);
  EXPECT_EQ(parameter.bnpl().genericData().entityId(), "b");
  EXPECT_EQ(parameter.xpay().genericData().acceptorCountryCode(), "PL");
  EXPECT_EQ(parameter.xpay().googlePayDataElement().gatewayMerchantId(), "gm");
  EXPECT_EQ(parameter.xpay().googlePayDataElement().gatewayName(), "gn");
  EXPECT_EQ(parameter.xpay().googlePayDataElement().googleMerchantId(), "gi");
  EXPECT_EQ(parameter.xpay().googlePayDataElement().googleMerchantName(), "gnm");
  EXPECT_EQ(parameter.xpay().googlePayDataElement().tokenizationSpec(), "ts");
  EXPECT_EQ(parameter.xpay().applePayDataElement().appleMerchantName(), "am");
  EXPECT_EQ(parameter.ppro().genericData().acceptorCountryCode(), "DE");
  ASSERT_TRUE(parameter.spdd().genericData().has_value());
  EXPECT_EQ(parameter.spdd().genericData()->environment(), "TEST");
  EXPECT_EQ(testing::reencode<ExternalParameter>(kFull), kFull);

  // The payload of the sample checkout reply is what its Base64 text carries.
  const json reply = json::parse(samples::kCheckoutReply);
  EXPECT_EQ(foundation::base64Decode(reply["externalParameter"].get<std::string>()), samples::kExternalParameter);
  EXPECT_NO_THROW(JSONDecoder().decode<ExternalParameter>(samples::kExternalParameter));
}

TEST(PaymentMethodPayloads, EveryMalformedPayloadFailsAsAWhole) {
  std::set<std::string> optional{"SPDD.GenericData"};
  for (const char* family : {"BNPL", "XPAY", "PPRO", "SPDD"}) {
    for (const char* member : {"Environment", "EntityId", "AcceptorCountryCode"}) {
      optional.insert(std::string(family) + ".GenericData." + member);
    }
  }
  testing::expectStrictShape<ExternalParameter>(kFull, {optional, {}});
}

TEST(PaymentMethodPayloads, CountryCodeIsTakenAsSent) {
  struct Case {
    json value;
    std::optional<std::string> expected;
  };
  const Case cases[] = {{"PL", "PL"}, {"pl", "pl"}, {"POL", "POL"}, {"", ""}, {nullptr, std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.dump());
    const std::string payload = payloadWith(kMinimal, "/XPAY/GenericData/AcceptorCountryCode", c.value);
    EXPECT_EQ(JSONDecoder().decode<ExternalParameter>(payload).xpay().genericData().acceptorCountryCode(), c.expected);
  }
  expectDecodingError<ExternalParameter>(payloadWith(kMinimal, "/XPAY/GenericData/AcceptorCountryCode", 616),
                                         Kind::typeMismatch, "XPAY.GenericData.AcceptorCountryCode");
  expectDecodingError<ExternalParameter>(
      payloadWith(kMinimal, "/XPAY/GooglePayDataElement/TokenizationSpec", json::object({{"type", "PAYMENT_GATEWAY"}})),
      Kind::typeMismatch, "XPAY.GooglePayDataElement.TokenizationSpec");
}

TEST(PaymentMethodPayloads, TheFirstFailureInMemberOrderIsReported) {
  json payload = json::parse(kMinimal);
  payload["SPDD"] = nullptr;
  payload["XPAY"]["ApplePayDataElement"].erase("RFU");
  payload["XPAY"]["GooglePayDataElement"]["GatewayName"] = 1;
  expectDecodingError<ExternalParameter>(payload.dump(), Kind::typeMismatch, "XPAY.GooglePayDataElement.GatewayName");
  payload["BNPL"].erase("GenericData");
  expectDecodingError<ExternalParameter>(payload.dump(), Kind::keyNotFound, "BNPL");
  expectDecodingError<ExternalParameter>(R"("eyJ9")", Kind::typeMismatch, "");
}

}  // namespace
}  // namespace keln
