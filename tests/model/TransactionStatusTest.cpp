#include <keln/model/TransactionStatus.h>

#include <gtest/gtest.h>

#include "model/WireTestSupport.h"
#include "support/WireSamples.h"

namespace keln {
namespace {

using foundation::JSONDecoder;
using foundation::JSONEncoder;
using testing::expectDecodingError;
using Kind = foundation::DecodingError::Kind;

const char* const kReply = samples::kStatusReply;

std::string replyWith(const std::string& key, const nlohmann::json& value) {
  nlohmann::json reply = nlohmann::json::parse(kReply);
  reply[nlohmann::json::json_pointer(key)] = value;
  return reply.dump();
}

TEST(PaymentStatus, RawValuesAndFinality) {
  struct Case {
    const char* text;
    PaymentStatus status;
    bool final;
  };
  const Case cases[] = {
      {"Success", PaymentStatus::success, true},   {"Partial", PaymentStatus::partial, false},
      {"Declined", PaymentStatus::declined, true}, {"InProcessing", PaymentStatus::inProcessing, false},
      {"Pending", PaymentStatus::pending, false},  {"Timeout", PaymentStatus::timeout, false},
      {"Error", PaymentStatus::error, true},
  };
  const std::vector<PaymentStatus> finals{PaymentStatus::success, PaymentStatus::declined, PaymentStatus::error};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(rawValue(c.status), c.text);
    EXPECT_EQ(fromRawValue<PaymentStatus>(c.text), c.status);
    EXPECT_EQ(isAllowedStatus(c.status), c.final);
    EXPECT_EQ(allowedStatuses(c.status), finals);
    EXPECT_EQ(JSONDecoder().decode<TransactionStatusDTO>(replyWith("/paymentStatus", c.text)).paymentStatus(),
              c.status);
  }
  for (const char* text : {"success", "SUCCESS", "In Processing", "", "Success "}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(fromRawValue<PaymentStatus>(text), std::nullopt);
    expectDecodingError<TransactionStatusDTO>(replyWith("/paymentStatus", text), Kind::dataCorrupted, "paymentStatus");
  }
}

TEST(TransactionStatusDTO, DecodesTheReplyAsSent) {
  const TransactionStatusDTO dto = JSONDecoder().decode<TransactionStatusDTO>(kReply);
  EXPECT_EQ(dto.merchantDTO().terminalId(), "007");
  EXPECT_EQ(dto.merchantDTO().websiteAddress(), std::nullopt);
  EXPECT_EQ(dto.transactionID(), "tx-42");
  EXPECT_EQ(dto.paymentType(), "PURS");
  EXPECT_EQ(dto.paymentStatus(), PaymentStatus::inProcessing);
  EXPECT_EQ(dto.paymentMethod(), "SOMETHING_NEW");
  EXPECT_EQ(dto.execution().endTime(), "2024-05-01T10:00:05Z");
  EXPECT_EQ(dto.returnStatus().statusDescription(), "Accepted");
  ASSERT_TRUE(dto.token().has_value());
  EXPECT_EQ(dto.token()->maskedPAN(), "4111********1111");

  EXPECT_EQ(JSONDecoder().decode<TransactionStatusDTO>(replyWith("/token", nullptr)).token(), std::nullopt);
  nlohmann::json withoutToken = nlohmann::json::parse(kReply);
  withoutToken.erase("token");
  EXPECT_EQ(JSONDecoder().decode<TransactionStatusDTO>(withoutToken.dump()).token(), std::nullopt);
}

TEST(TransactionStatusDTO, EveryMalformedReplyFailsAsAWhole) {
  testing::expectStrictShape<TransactionStatusDTO>(
      kReply, {{"merchant.merchantTransactionId", "merchant.channel", "merchant.shopURL",
                "merchant.transactionDescription", "token", "token.tokenName", "token.maskedPAN", "token.expireDate"},
               {"merchant.websiteAddress", "amount", "amount.currency", "amount.value"}});
}

TEST(TransactionStatusDTO, ParseConvertsTheMerchantOrGivesNothing) {
  struct Case {
    const char* terminalId;
    std::optional<std::int64_t> expected;
  };
  const Case cases[] = {{"007", 7}, {"-5", -5}, {"", std::nullopt}, {"12a", std::nullopt}, {" 1", std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.terminalId);
    const std::optional<TransactionStatus> status =
        JSONDecoder().decode<TransactionStatusDTO>(replyWith("/merchant/terminalId", c.terminalId)).parse();
    ASSERT_EQ(status.has_value(), c.expected.has_value());
    if (!status) continue;
    EXPECT_EQ(status->merchant().terminalId(), *c.expected);
    EXPECT_EQ(status->merchant().shopURL(), "https://shop.example/cart");
    EXPECT_EQ(status->merchant().websiteAddress(), std::nullopt);
    EXPECT_EQ(status->transactionID(), "tx-42");
    EXPECT_EQ(status->paymentType(), "PURS");
    EXPECT_EQ(status->paymentStatus(), PaymentStatus::inProcessing);
    EXPECT_EQ(status->paymentMethod(), "SOMETHING_NEW");
    EXPECT_EQ(status->execution().startTime(), "2024-05-01T10:00:00Z");
    EXPECT_EQ(status->returnStatus().statusCode(), "0");
    ASSERT_TRUE(status->token().has_value());
    EXPECT_EQ(status->token()->value(), "tok-1");
  }
}

TEST(TransactionStatusDTO, EncodesItsKeysInOrder) {
  const TransactionStatusDTO dto(MerchantDTO(12, "m", "web", std::nullopt, "d"), "tx", "PURS", PaymentStatus::success,
                                 "CARD", Execution("s", "e"), ReturnStatus("0", "OK", "fine"), std::nullopt);
  const std::string expected =
      R"({"merchant":{"terminalId":"12","merchantTransactionId":"m","channel":"web","transactionDescription":"d"},)"
      R"("transactionID":"tx","paymentType":"PURS","paymentStatus":"Success","paymentMethod":"CARD",)"
      R"("execution":{"startTime":"s","endTime":"e"},"returnStatus":{"statusCode":"0","statusMsg":"OK","statusDescription":"fine"}})";
  EXPECT_EQ(JSONEncoder().encode(dto), expected);
  EXPECT_EQ(testing::reencode<TransactionStatusDTO>(expected), expected);
}

TEST(TransactionStatus, HasItsOwnJSONFormWithANumericTerminalId) {
  const TransactionStatus status = *JSONDecoder().decode<TransactionStatusDTO>(kReply).parse();
  const std::string json = JSONEncoder().encode(status);
  EXPECT_EQ(
      json,
      R"({"merchant":{"terminalId":7,"merchantTransactionId":"mt-1","channel":"web","shopURL":"https:\/\/shop.example\/cart",)"
      R"("transactionDescription":"Order 1"},"transactionID":"tx-42","paymentType":"PURS","paymentStatus":"InProcessing",)"
      R"("paymentMethod":"SOMETHING_NEW","execution":{"startTime":"2024-05-01T10:00:00Z","endTime":"2024-05-01T10:00:05Z"},)"
      R"("returnStatus":{"statusCode":"0","statusMsg":"OK","statusDescription":"Accepted"},)"
      R"("token":{"tokenName":"visa","tokenType":"CARD","value":"tok-1","maskedPAN":"4111********1111","expireDate":"12\/30"}})");
  EXPECT_EQ(testing::reencode<TransactionStatus>(json), json);
  expectDecodingError<TransactionStatus>(kReply, Kind::typeMismatch, "merchant.terminalId");
}

}  // namespace
}  // namespace keln
