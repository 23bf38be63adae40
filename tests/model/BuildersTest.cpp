#include <keln/model/CheckoutRequest.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <regex>

#include "model/TimestampFormatter.h"

namespace keln {
namespace {

using Clock = std::chrono::system_clock;
using Builder = CheckoutRequest::Builder;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::string repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// The request's JSON with the time stamp blanked.
std::string withoutTimestamp(const CheckoutRequest& request) {
  return std::regex_replace(foundation::JSONEncoder().encode(request), std::regex(R"("transactionTimestamp":"[^"]*")"),
                            R"("transactionTimestamp":"")");
}

// A builder whose every check passes.
Builder validBuilder() {
  Builder builder;
  builder.terminalID(1)
      .transactionID("tx-1")
      .transactionDescription("Shoes")
      .paymentMethods({PaymentMethod::card})
      .amount(12.5)
      .currency(Currency::pln());
  return builder;
}

// The message build() throws, or "built" when it builds.
template <typename B>
std::string outcome(B builder) {
  try {
    builder.build();
    return "built";
  } catch (const BuilderError& error) {
    EXPECT_EQ(error.kind(), BuilderError::Kind::incorrectParameter);
    EXPECT_EQ(error.description(), error.errorDescription().value_or("?"));
    return error.errorDescription().value_or("<no message>");
  }
}

TEST(CheckoutRequestBuilder, ChecksInOrderWithExactMessages) {
  const std::string e = "e\xCC\x81";                            // e + combining acute: one character, three bytes
  const std::string emoji = "\xF0\x9F\x98\x80";                 // one character, four bytes
  const std::string flag = "\xF0\x9F\x87\xB5\xF0\x9F\x87\xB1";  // one character, eight bytes
  const std::string tooLong = "Transaction ID length is limited to 35 alphanumeric characters";
  struct Case {
    const char* name;
    std::function<void(Builder&)> change;  // applied to a builder with nothing set, or to a valid one
    bool fromValid;
    std::string message;
  };
  const Case cases[] = {
      {"nothing set", [](Builder&) {}, false, "Missing terminal Id"},
      {"terminal id 0", [](Builder& b) { b.terminalID(0); }, true, "Incorrect terminal ID: [0]"},
      {"terminal id -3", [](Builder& b) { b.terminalID(-3); }, true, "Incorrect terminal ID: [-3]"},
      {"terminal id set, nothing else", [](Builder& b) { b.terminalID(5); }, false, tooLong},
      {"empty transaction id", [](Builder& b) { b.transactionID(""); }, true, tooLong},
      {"36 letters", [&](Builder& b) { b.transactionID(std::string(36, 'a')); }, true, tooLong},
      {"35 accented letters", [&](Builder& b) { b.transactionID(repeat(e, 35)); }, true, "built"},
      {"36 accented letters", [&](Builder& b) { b.transactionID(repeat(e, 36)); }, true, tooLong},
      {"35 emoji", [&](Builder& b) { b.transactionID(repeat(emoji, 35)); }, true, "built"},
      {"36 flags", [&](Builder& b) { b.transactionID(repeat(flag, 36)); }, true, tooLong},
      {"spaces and punctuation", [&](Builder& b) { b.transactionID("  #1/2, ok?! "); }, true, "built"},
      {"no description", [](Builder& b) { b.terminalID(1).transactionID("t"); }, false,
       "Missing transaction description"},
      {"empty description", [](Builder& b) { b.transactionDescription(""); }, true, "Missing transaction description"},
      {"empty methods before missing amount",
       [](Builder& b) { b.terminalID(1).transactionID("t").transactionDescription("d").paymentMethods({}); }, false,
       "No payment methods provided"},
      {"no amount",
       [](Builder& b) {
         b.terminalID(1).transactionID("t").transactionDescription("d").paymentMethods({PaymentMethod::blik});
       },
       false, "Missing amount"},
      {"amount 0 before missing currency",
       [](Builder& b) {
         b.terminalID(1).transactionID("t").transactionDescription("d").paymentMethods({PaymentMethod::blik}).amount(0);
       },
       false, "Incorrect amount: [0.0]"},
      {"amount -12.5", [](Builder& b) { b.amount(-12.5); }, true, "Incorrect amount: [-12.5]"},
      {"amount -5", [](Builder& b) { b.amount(-5); }, true, "Incorrect amount: [-5.0]"},
      {"amount nan", [](Builder& b) { b.amount(kNaN); }, true, "Incorrect amount: [nan]"},
      {"amount -inf", [](Builder& b) { b.amount(-kInfinity); }, true, "Incorrect amount: [-inf]"},
      {"amount +inf", [](Builder& b) { b.amount(kInfinity); }, true, "built"},
      {"no currency",
       [](Builder& b) {
         b.terminalID(1).transactionID("t").transactionDescription("d").paymentMethods({PaymentMethod::blik}).amount(1);
       },
       false, "Missing currency"},
      {"custom us", [](Builder& b) { b.currency(Currency::custom("us")); }, true,
       "Invalid currency code: [US]. Should contain 3 characters"},
      {"custom sharp s", [](Builder& b) { b.currency(Currency::custom("\xC3\x9F")); }, true,
       "Invalid currency code: [SS]. Should contain 3 characters"},
      {"custom sharp s grows to three",
       [](Builder& b) {
         b.currency(
             Currency::custom("\xC3\x9F"
                              "a"));
       },
       true, "built"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Builder builder = c.fromValid ? validBuilder() : Builder();
    c.change(builder);
    EXPECT_EQ(outcome(builder), c.message);
  }
}

TEST(CheckoutRequestBuilder, BuildsTheRequestFromItsFields) {
  const Address shipping("Main 1", "Flat 2", "Lodz", "90-001", "PL");
  Builder builder = validBuilder();
  builder.currency(Currency::custom("usd"))
      .paymentMethods({PaymentMethod::card, PaymentMethod::applePay})
      .client("Ann")
      .email("a@b.c")
      .shopURL("https://shop.example")
      .shippingAddress(shipping)
      .billingAddress(shipping)
      .tokenizationParams(TokenizationParams::Builder().tokenizeCard(true).build());
  const std::string address =
      R"({"street1":"Main 1","street2":"Flat 2","city":"Lodz","postcode":"90-001","country":"PL"})";
  EXPECT_EQ(withoutTimestamp(builder.build()),
            R"({"merchant":{"terminalId":1,"merchantTransactionId":"tx-1","channel":"web",)"
            R"("shopURL":"https:\/\/shop.example","transactionDescription":"Shoes"},)"
            R"("transaction":{"transactionTimestamp":"","description":"Shoes","paymentType":"PURS",)"
            R"("amount":{"currency":"USD","value":12.5},"paymentMethod":["CARD","XPAY"]},)"
            R"("customer":{"customerInfo":{"customerName":"Ann","customerEmail":"a@b.c","shippingAddress":)" +
                address + R"(,"billingAddress":)" + address +
                R"(}},)"
                R"("tokenisation":{"tokenisationRequest":{"tokeniseCard":true},"paymentTokens":[]}})");

  // Cleared optional fields leave a customer with an empty info.
  builder.client(std::nullopt).email(std::nullopt).tokenizationParams(std::nullopt);
  EXPECT_EQ(withoutTimestamp(validBuilder().build()),
            R"({"merchant":{"terminalId":1,"merchantTransactionId":"tx-1","channel":"web",)"
            R"("transactionDescription":"Shoes"},"transaction":{"transactionTimestamp":"","description":"Shoes",)"
            R"("paymentType":"PURS","amount":{"currency":"PLN","value":12.5},"paymentMethod":["CARD"]},)"
            R"("customer":{"customerInfo":{}}})");
  const CheckoutRequest cleared = builder.build();
  EXPECT_EQ(cleared.customer()->customerInfo().customerName(), std::nullopt);
  EXPECT_FALSE(cleared.tokenizationParams().has_value());
}

TEST(CheckoutRequestBuilder, FailedBuildChangesNothing) {
  Builder builder = validBuilder();
  builder.amount(0);
  EXPECT_EQ(outcome(builder), "Incorrect amount: [0.0]");
  EXPECT_EQ(outcome(builder), "Incorrect amount: [0.0]");
  builder.amount(3);
  EXPECT_EQ(outcome(builder), "built");
  EXPECT_EQ(builder.build().transaction().amount().value(), 3);
}

TEST(CheckoutRequestBuilder, TimeStampIsTheMomentOfBuilding) {
  const TimestampFormatter formatter;
  Builder builder = validBuilder();
  const std::string before = formatter.string(Clock::now());
  const std::string stamp = builder.build().transaction().transactionTimestamp();
  const std::string after = formatter.string(Clock::now());
  // Same-shaped ISO 8601 texts order as the moments they name.
  EXPECT_LE(before, stamp);
  EXPECT_LE(stamp, after);
}

TEST(TimestampFormatter, WritesUTCWhateverTheTimeZone) {
  struct Case {
    std::int64_t millisecondsSinceEpoch;
    const char* text;
  };
  const Case cases[] = {
      {1796573109042, "2026-12-06T16:05:09.042Z"},
      {1709251199999, "2024-02-29T23:59:59.999Z"},
      {951868800007, "2000-03-01T00:00:00.007Z"},
  };
  const char* previous = std::getenv("TZ");
  const std::string saved = previous ? previous : "";
  ::setenv("TZ", "<+0545>-5:45", 1);
  ::tzset();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Clock::time_point moment{std::chrono::milliseconds(c.millisecondsSinceEpoch)};
    EXPECT_EQ(TimestampFormatter().string(moment), c.text);
    // Sub-millisecond parts are cut, never rounded up.
    EXPECT_EQ(TimestampFormatter().string(moment + std::chrono::microseconds(999)), c.text);
  }
  previous ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
}

TEST(AddressBuilder, ChecksInOrderWithExactMessages) {
  using AB = Address::Builder;
  struct Case {
    const char* name;
    std::function<void(AB&)> set;
    std::string message;
  };
  const Case cases[] = {
      {"nothing set", [](AB&) {}, "Missing street1"},
      {"empty street1, nothing else", [](AB& b) { b.street1(""); }, "Missing street1"},
      {"no city", [](AB& b) { b.street1("Main 1").postcode("1").country("PT"); }, "Missing city"},
      {"no postcode", [](AB& b) { b.street1("Main 1").city("Porto").country("PT"); }, "Missing postcode"},
      {"no country", [](AB& b) { b.street1("Main 1").city("Porto").postcode("4000"); }, "Missing country"},
      {"three-letter country", [](AB& b) { b.street1("Main 1").city("Porto").postcode("4000").country("PRT"); },
       "Invalid country: [PRT]. Should contain 2 characters"},
      {"one flag", [](AB& b) { b.street1("s").city("c").postcode("p").country("\xF0\x9F\x87\xB5\xF0\x9F\x87\xB9"); },
       "Invalid country: [\xF0\x9F\x87\xB5\xF0\x9F\x87\xB9]. Should contain 2 characters"},
      {"two accented letters",
       [](AB& b) {
         b.street1("s").city("c").postcode("p").country(
             "e\xCC\x81"
             "e\xCC\x81");
       },
       "built"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AB builder;
    c.set(builder);
    EXPECT_EQ(outcome(builder), c.message);
  }

  const Address address = AB().street1(" Main 1 ").city("porto").postcode("4000-1").country("pt").build();
  EXPECT_EQ(address.street1(), " Main 1 ");
  EXPECT_EQ(address.street2(), std::nullopt);
  EXPECT_EQ(address.city(), "porto");
  EXPECT_EQ(address.country(), "pt");
}

TEST(TokenizationParamsBuilder, DefaultsAndAbsentTokens) {
  const TokenizationParams empty = TokenizationParams::Builder().build();
  EXPECT_FALSE(empty.tokenizeCard().tokenizeCard());
  EXPECT_TRUE(empty.tokens().empty());

  TokenizationParams::Builder builder;
  builder.tokenizeCard(true).cardTokens(std::vector<Token>{Token("card", "a"), Token("card", "b")});
  EXPECT_EQ(builder.build().tokens().size(), 2u);
  EXPECT_EQ(builder.build().tokens()[1].value(), "b");
  builder.cardTokens(std::nullopt);
  EXPECT_TRUE(builder.build().tokens().empty());
  EXPECT_TRUE(builder.build().tokenizeCard().tokenizeCard());
}

}  // namespace
}  // namespace keln
