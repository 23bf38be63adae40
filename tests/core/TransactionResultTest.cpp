#include <keln/core/TransactionResultSDK.h>

#include <gtest/gtest.h>

#include "model/WireTestSupport.h"

namespace keln {
namespace {

using foundation::JSONDecoder;
using foundation::JSONEncoder;
using testing::expectDecodingError;
using Kind = foundation::DecodingError::Kind;

TransactionStatus statusWith(PaymentStatus paymentStatus, std::optional<Token> token) {
  return TransactionStatus(Merchant(7, "mt", std::nullopt, "web", std::nullopt, std::nullopt), "tx-1", "PURS",
                           paymentStatus, "CARD", Execution("s", "e"), ReturnStatus("0", "OK", "fine"),
                           std::move(token));
}

TEST(TransactionResult, FromStatusSucceedsOnlyOnSuccess) {
  const PaymentStatus all[] = {PaymentStatus::success,      PaymentStatus::partial, PaymentStatus::declined,
                               PaymentStatus::inProcessing, PaymentStatus::pending, PaymentStatus::timeout,
                               PaymentStatus::error};
  for (PaymentStatus status : all) {
    SCOPED_TRACE(rawValue(status));
    const TransactionResultSDK result(statusWith(status, std::nullopt));
    EXPECT_EQ(result.isSuccess(), status == PaymentStatus::success);
    EXPECT_EQ(result.paymentStatus(), status);
  }

  const TransactionResultSDK withToken(statusWith(PaymentStatus::declined, Token("CARD", "tok")));
  EXPECT_EQ(JSONEncoder().encode(withToken),
            R"({"isSuccess":false,"transactionID":"tx-1","token":{"tokenType":"CARD","value":"tok"},)"
            R"("merchant":{"terminalId":7,"merchantTransactionId":"mt","channel":"web"},"paymentType":"PURS",)"
            R"("paymentStatus":"Declined","paymentMethod":"CARD","execution":{"startTime":"s","endTime":"e"},)"
            R"("returnStatus":{"statusCode":"0","statusMsg":"OK","statusDescription":"fine"}})");
  const TransactionResultSDK withoutToken(statusWith(PaymentStatus::success, std::nullopt));
  EXPECT_FALSE(withoutToken.token().has_value());
  EXPECT_EQ(withoutToken.merchant()->terminalId(), 7);
}

TEST(TransactionResult, ApplePayResultCarriesOnlyTheTransactionID) {
  const TransactionResultSDK result(true, "tx-9", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                    std::nullopt, std::nullopt);
  EXPECT_EQ(JSONEncoder().encode(result), R"({"isSuccess":true,"transactionID":"tx-9"})");
}

TEST(TransactionResult, DecodeRules) {
  const TransactionResultSDK minimal = JSONDecoder().decode<TransactionResultSDK>(R"({"isSuccess":false})");
  EXPECT_FALSE(minimal.isSuccess());
  EXPECT_FALSE(minimal.transactionID() || minimal.token() || minimal.merchant() || minimal.paymentType() ||
               minimal.paymentStatus() || minimal.paymentMethod() || minimal.execution() || minimal.returnStatus());

  const TransactionResultSDK nulls = JSONDecoder().decode<TransactionResultSDK>(
      R"({"isSuccess":true,"token":null,"merchant":null,"paymentStatus":null,"extra":[1]})");
  EXPECT_TRUE(nulls.isSuccess());
  EXPECT_FALSE(nulls.token().has_value());

  const std::string full =
      R"({"isSuccess":true,"transactionID":"t","token":{"tokenName":"n","tokenType":"CARD","value":"v"},)"
      R"("merchant":{"terminalId":-3},"paymentType":"PURS","paymentStatus":"InProcessing","paymentMethod":"BLIK",)"
      R"("execution":{"startTime":"s","endTime":"e"},"returnStatus":{"statusCode":"1","statusMsg":"m",)"
      R"("statusDescription":"d"}})";
  EXPECT_EQ(testing::reencode<TransactionResultSDK>(full), full);

  struct Bad {
    const char* json;
    Kind kind;
    const char* path;
  };
  const Bad bad[] = {
      {"{}", Kind::keyNotFound, ""},
      {R"({"isSuccess":"true"})", Kind::typeMismatch, "isSuccess"},
      {R"({"isSuccess":true,"paymentStatus":"success"})", Kind::dataCorrupted, "paymentStatus"},
      {R"({"isSuccess":true,"merchant":{"terminalId":"7"}})", Kind::typeMismatch, "merchant.terminalId"},
  };
  for (const Bad& c : bad) {
    SCOPED_TRACE(c.json);
    expectDecodingError<TransactionResultSDK>(c.json, c.kind, c.path);
  }
}

}  // namespace
}  // namespace keln
