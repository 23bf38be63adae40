#include <keln/model/CheckoutRequest.h>

#include <gtest/gtest.h>

#include <limits>

#include "model/WireTestSupport.h"

namespace keln {
namespace {

using foundation::DecodingError;
using foundation::EncodingError;
using foundation::JSONDecoder;
using foundation::JSONEncoder;
using testing::expectDecodingError;
using testing::reencode;
using Kind = DecodingError::Kind;

Merchant terminalOnly(std::int64_t terminalId) {
  return Merchant(terminalId, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt);
}

Transaction simpleTransaction(double value = 12.5) {
  return Transaction("2026-12-06T16:05:09.042Z", "", "PURS", Amount(value, "PLN"), {});
}

TEST(CheckoutRequest, EncodesPresentPartsOnly) {
  struct Case {
    const char* name;
    CheckoutRequest request;
    const char* json;
  };
  const Case cases[] = {
      {"no customer, no tokenisation; empty description and methods are written",
       CheckoutRequest(terminalOnly(7), simpleTransaction(), std::nullopt, std::nullopt),
       R"({"merchant":{"terminalId":7},"transaction":{"transactionTimestamp":"2026-12-06T16:05:09.042Z",)"
       R"("description":"","paymentType":"PURS","amount":{"currency":"PLN","value":12.5},"paymentMethod":[]}})"},
      {"empty customer info, empty tokenisation",
       CheckoutRequest(terminalOnly(7), simpleTransaction(10),
                       Customer(CustomerInfo(std::nullopt, std::nullopt, std::nullopt, std::nullopt)),
                       TokenizationParams(TokenizationRequest(false), {})),
       R"({"merchant":{"terminalId":7},"transaction":{"transactionTimestamp":"2026-12-06T16:05:09.042Z",)"
       R"("description":"","paymentType":"PURS","amount":{"currency":"PLN","value":10},"paymentMethod":[]},)"
       R"("customer":{"customerInfo":{}},)"
       R"("tokenisation":{"tokenisationRequest":{"tokeniseCard":false},"paymentTokens":[]}})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JSONEncoder().encode(c.request), c.json);
  }
}

TEST(CheckoutRequest, NonFiniteAmountCannotBeEncoded) {
  for (double value : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(value);
    const CheckoutRequest request(terminalOnly(1), simpleTransaction(value), std::nullopt, std::nullopt);
    try {
      JSONEncoder().encode(request);
      ADD_FAILURE() << "encoded";
    } catch (const EncodingError& error) {
      EXPECT_EQ(foundation::describeCodingPath(error.codingPath()), "transaction.amount.value");
    }
  }
}

TEST(CheckoutRequest, TransactionNeverCarriesMotoOrPaymentReference) {
  const std::string reference =
      R"({"initialDatetime":"a","finalDatetime":"b","maxAmount":{"currency":"PLN","value":2},)"
      R"("minAmount":{"currency":"PLN","value":1},"entity":"e"})";
  const std::string base = R"("transactionTimestamp":"t","paymentType":"PURS","amount":{"currency":"PLN","value":1})";
  for (const std::string& extra :
       {R"("moto":true,"paymentReference":)" + reference, std::string(R"("moto":"yes","paymentReference":5)")}) {
    SCOPED_TRACE(extra);
    const Transaction transaction = JSONDecoder().decode<Transaction>("{" + base + "," + extra + "}");
    EXPECT_EQ(transaction.moto(), std::nullopt);
    EXPECT_FALSE(transaction.paymentReference().has_value());
    EXPECT_EQ(transaction.description(), std::nullopt);
    EXPECT_EQ(transaction.paymentMethod(), std::nullopt);
    EXPECT_EQ(JSONEncoder().encode(transaction), "{" + base + "}");
  }
  // On its own a payment reference needs all five keys.
  EXPECT_EQ(reencode<PaymentReference>(reference), reference);
  expectDecodingError<PaymentReference>(R"({"initialDatetime":"a","finalDatetime":"b","entity":"e",)"
                                        R"("maxAmount":{"currency":"PLN","value":2}})",
                                        Kind::keyNotFound, "");
}

TEST(CheckoutRequest, DecodeRules) {
  const std::string merchant = R"("merchant":{"terminalId":7})";
  const std::string transaction =
      R"("transaction":{"transactionTimestamp":"t","paymentType":"PURS","amount":{"currency":"PLN","value":1}})";
  const std::string root = merchant + "," + transaction;

  // Decodes, with what it re-encodes to.
  struct Good {
    std::string json;
    std::string reencoded;
  };
  const Good good[] = {
      {"{" + root + R"(,"customer":null,"tokenisation":null,"extra":1})", "{" + root + "}"},
      {"{" + root + R"(,"Customer":{},"tokenization":{}})", "{" + root + "}"},
      {"{" + root + R"(,"tokenisation":{"tokenisationRequest":{"tokeniseCard":true},"paymentTokens":[]}})",
       "{" + root + R"(,"tokenisation":{"tokenisationRequest":{"tokeniseCard":true},"paymentTokens":[]}})"},
  };
  for (const Good& c : good) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(reencode<CheckoutRequest>(c.json), c.reencoded);
  }

  struct Bad {
    std::string json;
    Kind kind;
    const char* path;
  };
  const Bad bad[] = {
      {"{" + root + R"(,"customer":{}})", Kind::keyNotFound, "customer"},
      {"{" + root + R"(,"tokenisation":{"tokenisationRequest":{"tokeniseCard":true}}})", Kind::keyNotFound,
       "tokenisation"},
      {"{" + root + R"(,"tokenisation":{"tokenisationRequest":{"tokeniseCard":1},"paymentTokens":[]}})",
       Kind::typeMismatch, "tokenisation.tokenisationRequest.tokeniseCard"},
      {"{" + merchant + R"(,"Transaction":{}})", Kind::keyNotFound, ""},
      {"{" + transaction + "}", Kind::keyNotFound, ""},
      {"{" + merchant +
           R"(,"transaction":{"transactionTimestamp":"t","paymentType":"PURS","amount":{"currency":"PLN","value":1},)"
           R"("paymentMethod":["CARD","card"]}})",
       Kind::dataCorrupted, "transaction.paymentMethod.Index 1"},
  };
  for (const Bad& c : bad) {
    SCOPED_TRACE(c.json);
    expectDecodingError<CheckoutRequest>(c.json, c.kind, c.path);
  }
}

}  // namespace
}  // namespace keln
