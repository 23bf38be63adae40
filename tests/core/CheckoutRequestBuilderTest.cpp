#include "core/flow/CheckoutRequestBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <thread>
#include <vector>

namespace keln {
namespace {

using foundation::JSONEncoder;

TransactionParamsSDK params(std::int64_t terminalID, std::string transactionID, double amount, std::string currency,
                            std::vector<PaymentMethod> methods,
                            std::optional<std::string> merchantTransactionDescription = std::nullopt) {
  return TransactionParamsSDK(terminalID, std::move(merchantTransactionDescription), std::move(transactionID), "",
                              amount, std::move(currency), std::move(methods), std::nullopt, std::nullopt, std::nullopt,
                              std::nullopt, std::nullopt, std::nullopt, "merchant.id");
}

// The request's JSON with the time stamp blanked.
std::string withoutTimestamp(const CheckoutRequest& request) {
  return std::regex_replace(JSONEncoder().encode(request), std::regex(R"("transactionTimestamp":"[^"]*")"),
                            R"("transactionTimestamp":"")");
}

TEST(FlowCheckoutRequestBuilder, PassesValuesThroughUnchecked) {
  const CheckoutRequest request = CheckoutRequestBuilder::build(params(0, "", -1, "pln", {}));
  EXPECT_EQ(withoutTimestamp(request),
            R"({"merchant":{"terminalId":0,"merchantTransactionId":"","channel":"web","transactionDescription":""},)"
            R"("transaction":{"transactionTimestamp":"","description":"","paymentType":"PURS",)"
            R"("amount":{"currency":"pln","value":-1},"paymentMethod":[]},"customer":{"customerInfo":{}}})");

  const std::string longID(100, 'x');
  const CheckoutRequest odd = CheckoutRequestBuilder::build(params(-5, longID, 0, "euro", {PaymentMethod::blik}));
  EXPECT_EQ(odd.merchant().terminalId(), -5);
  EXPECT_EQ(odd.merchant().merchantTransactionId(), longID);
  EXPECT_EQ(odd.transaction().amount().currency(), "euro");
  EXPECT_EQ(odd.transaction().amount().value(), 0);
}

TEST(FlowCheckoutRequestBuilder, MapsLikeTheValidatingBuilder) {
  const Address shipping("Main 1", std::nullopt, "Lodz", "90-001", "PL");
  const TokenizationParams tokenization = TokenizationParams::Builder().tokenizeCard(true).build();
  const std::vector<PaymentMethod> methods{PaymentMethod::card, PaymentMethod::applePay};
  const TransactionParamsSDK full(3, std::nullopt, "tx-1", "Shoes", 12.5, "PLN", methods, "Ann", "a@b.c",
                                  "https://shop.example", shipping, std::nullopt, tokenization, std::nullopt);
  const CheckoutRequest validated = CheckoutRequest::Builder()
                                        .terminalID(3)
                                        .transactionID("tx-1")
                                        .transactionDescription("Shoes")
                                        .amount(12.5)
                                        .currency(Currency::pln())
                                        .paymentMethods(methods)
                                        .client("Ann")
                                        .email("a@b.c")
                                        .shopURL("https://shop.example")
                                        .shippingAddress(shipping)
                                        .tokenizationParams(tokenization)
                                        .build();
  EXPECT_EQ(withoutTimestamp(CheckoutRequestBuilder::build(full)), withoutTimestamp(validated));

  // Named fields make the same parameters as the arguments in order: each lands in its own
  // field, whatever its type shares with its neighbours.
  const TransactionParamsSDK named({.terminalID = 3,
                                    .merchantTransactionDescription = "merchant side",
                                    .transactionID = "tx-1",
                                    .transactionDescription = "Shoes",
                                    .amount = 12.5,
                                    .currency = "PLN",
                                    .paymentMethods = methods,
                                    .client = "Ann",
                                    .email = "a@b.c",
                                    .shopURL = "https://shop.example",
                                    .shippingAddress = shipping,
                                    .tokenizationParams = tokenization,
                                    .applePayMerchantId = "merchant.id"});
  EXPECT_EQ(withoutTimestamp(CheckoutRequestBuilder::build(named)), withoutTimestamp(validated));
  EXPECT_EQ(named.merchantTransactionDescription(), "merchant side");
  EXPECT_EQ(named.applePayMerchantId(), "merchant.id");
  EXPECT_EQ(named.billingAddress(), std::nullopt);
  const TransactionParamsSDK fewest({.transactionID = "tx-2"});
  EXPECT_EQ(fewest.transactionDescription(), "") << "stored as present";
  EXPECT_EQ(fewest.client(), std::nullopt);
  EXPECT_EQ(fewest.applePayMerchantId(), std::nullopt);

  // The merchant-side description is carried by the parameters but not sent.
  EXPECT_EQ(withoutTimestamp(CheckoutRequestBuilder::build(params(1, "t", 1, "PLN", {}, "merchant side"))),
            withoutTimestamp(CheckoutRequestBuilder::build(params(1, "t", 1, "PLN", {}))));
}

TEST(FlowCheckoutRequestBuilder, TimeStampIsUTCWhateverTheTimeZoneAndThread) {
  const char* previous = std::getenv("TZ");
  const std::string saved = previous ? previous : "";
  ::setenv("TZ", "<+1345>-13:45", 1);
  ::tzset();

  const std::regex shape(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  std::vector<std::string> stamps(8);
  std::vector<std::thread> threads;
  const std::time_t before = std::time(nullptr);
  for (std::string& stamp : stamps) {
    threads.emplace_back([&stamp] {
      stamp = CheckoutRequestBuilder::build(params(1, "t", 1, "PLN", {})).transaction().transactionTimestamp();
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::time_t after = std::time(nullptr);

  if (previous) {
    ::setenv("TZ", saved.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();

  // The hour is UTC's: one of the hours between the two readings of the clock.
  std::tm utcBefore{};
  std::tm utcAfter{};
  gmtime_r(&before, &utcBefore);
  gmtime_r(&after, &utcAfter);
  for (const std::string& stamp : stamps) {
    SCOPED_TRACE(stamp);
    ASSERT_TRUE(std::regex_match(stamp, shape));
    const int hour = std::stoi(stamp.substr(11, 2));
    EXPECT_TRUE(hour == utcBefore.tm_hour || hour == utcAfter.tm_hour);
  }
}

}  // namespace
}  // namespace keln
