#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include <keln/core/KelnSDKError.h>

#include "core/GatewayClientHarness.h"
#include "core/network/PaymentRouter.h"

namespace keln {
namespace {

// A body that encodes to a JSON value chosen by the test.
struct Fragment {
  std::string text;
  void encode(foundation::Encoder& encoder) const { encoder.encodeString(text); }
};

TEST(PaymentRouter, TransactionIdStaysInItsPathSegment) {
  struct Case {
    std::string transactionID;
    std::string segment;
  };
  const Case cases[] = {
      {"abc-123_X.~", "abc-123_X.~"},
      {"a:b@c!$&'()*+,;=", "a:b@c!$&'()*+,;="},
      {"a/b", "a%2Fb"},
      {"../../admin", "..%2F..%2Fadmin"},
      {"..", "%2E%2E"},
      {".", "%2E"},
      {"x?y=1#z", "x%3Fy=1%23z"},
      {"100%25", "100%2525"},
      {"a b\tc", "a%20b%09c"},
      {"\"<>\\^`{|}[]", "%22%3C%3E%5C%5E%60%7B%7C%7D%5B%5D"},
      {"zażółć", "za%C5%BC%C3%B3%C5%82%C4%87"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.transactionID);
    PaymentRouter router = PaymentRouter::status("https://gateway.example", c.transactionID);
    EXPECT_EQ(router.transactionID(), c.transactionID);
    EXPECT_EQ(router.path(), "/api/v1/payments/" + c.segment + "/status");
    EXPECT_EQ(router.asURLRequest().url().absoluteString(),
              "https://gateway.example/api/v1/payments/" + c.segment + "/status");
  }
}

TEST(PaymentRouter, JoinsThePathToTheRootWithOneSlash) {
  struct Case {
    const char* root;
    const char* url;
  };
  const Case cases[] = {
      {"http://127.0.0.1:8080", "http://127.0.0.1:8080/api/v1/payments/t/status"},
      {"http://127.0.0.1:8080/", "http://127.0.0.1:8080/api/v1/payments/t/status"},
      {"https://gateway.example/base//?x=1#f", "https://gateway.example/base/api/v1/payments/t/status?x=1#f"},
      {"https://user@b\xC3\xBC"
       "cher.example/a b",
       "https://user@xn--bcher-kva.example/a%20b/api/v1/payments/t/status"},
      {"gateway/", "gateway/api/v1/payments/t/status"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.root);
    const foundation::URL url = PaymentRouter::status(c.root, "t").asURLRequest().url();
    EXPECT_EQ(url.absoluteString(), c.url);
    EXPECT_EQ(url, *foundation::URL::parse(c.url)) << "the same URL as parsed from its text";
    EXPECT_EQ(url.path(), foundation::URL::parse(c.url)->path());
  }
}

TEST(PaymentRouter, CheckoutRequestBecomesAJSONBody) {
  CheckoutRequest checkout = testing::makeCheckoutRequest(149.99);
  PaymentRouter router = PaymentRouter::payment("https://gateway.example", checkout);
  http::URLRequest request = router.asURLRequest();
  EXPECT_EQ(request.url().absoluteString(), "https://gateway.example/api/v1/payments");
  EXPECT_EQ(request.method(), http::HTTPMethod::post);
  EXPECT_EQ(request.headers().value("Content-Type"), "application/json");
  EXPECT_EQ(request.headers().size(), 1u);
  ASSERT_TRUE(request.httpBody().has_value());
  const std::string& body = *request.httpBody();
  EXPECT_NE(body.find(R"("shopURL":"https:\/\/shop.example\/cart")"), std::string::npos) << body;
  nlohmann::json parsed = nlohmann::json::parse(body);
  EXPECT_EQ(parsed["merchant"]["terminalId"], 1234);
  EXPECT_EQ(parsed["transaction"]["amount"]["value"], 149.99);
  EXPECT_EQ(parsed["transaction"]["paymentMethod"], nlohmann::json::array({"CARD", "BLIK"}));
  // Every attempt builds the same request.
  EXPECT_EQ(router.asURLRequest().httpBody(), request.httpBody());
}

TEST(PaymentRouter, BodyThatCannotBeEncodedFailsTheBuild) {
  for (double amount : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(amount);
    PaymentRouter router = PaymentRouter::payment("https://gateway.example", testing::makeCheckoutRequest(amount));
    EXPECT_THROW(router.parameters(), foundation::EncodingError);
    EXPECT_THROW(router.asURLRequest(), foundation::EncodingError);
    EXPECT_FALSE(router.urlRequest().has_value());
  }
  PaymentRouter notUTF8 = PaymentRouter::payment("https://gateway.example", Fragment{"\xff"});
  EXPECT_THROW(notUTF8.asURLRequest(), foundation::EncodingError);
}

TEST(PaymentRouter, BodyThatIsNotAnObjectIsLeftOut) {
  PaymentRouter router = PaymentRouter::payment("https://gateway.example", Fragment{"just text"});
  EXPECT_FALSE(router.parameters().has_value());
  http::URLRequest request = router.asURLRequest();
  EXPECT_FALSE(request.httpBody().has_value());
  EXPECT_FALSE(request.headers().value("Content-Type").has_value());
}

TEST(PaymentRouter, UnparsableRootIsMissingBaseURL) {
  for (PaymentRouter router : {PaymentRouter::status("", "abc"), PaymentRouter::payment("", Fragment{"x"})}) {
    try {
      router.asURLRequest();
      ADD_FAILURE() << "built a request without a base URL";
    } catch (const KelnSDKError& error) {
      EXPECT_EQ(error.kind(), KelnSDKError::Kind::sdkNotConfigured);
      EXPECT_EQ(error.errorDescription(), "Missing baseURL");
    }
  }
}

}  // namespace
}  // namespace keln
