
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "foundation/Base64.h"
#include "foundation/Log.h"
#include "model/CheckoutResponse.h"
#include "support/WireSamples.h"

namespace keln {
namespace {

using foundation::base64Decode;
using foundation::base64Encode;
using foundation::JSONDecoder;
using foundation::JSONEncoder;
using foundation::LogStream;
using foundation::ScopedLogCapture;
using nlohmann::json;

// The sample reply with some of its members replaced (JSON pointer -> value).
CheckoutResponseDTO replyWith(const std::vector<std::pair<std::string, json>>& changes) {
  json reply = json::parse(samples::kCheckoutReply);
  for (const auto& [pointer, value] : changes) reply[json::json_pointer(pointer)] = value;
  return JSONDecoder().decode<CheckoutResponseDTO>(reply.dump());
}

CheckoutResponseDTO replyWithFormContext(const std::string& base64) { return replyWith({{"/formContext", base64}}); }

template <typename T>
std::string encoded(const T& value) {
  return JSONEncoder().encode(value);
}

TEST(CheckoutResponse, ConvertsAValidReply) {
  const CheckoutResponseDTO reply = JSONDecoder().decode<CheckoutResponseDTO>(samples::kCheckoutReply);
  ScopedLogCapture capture;
  const std::optional<CheckoutResponse> response = reply.parse();
  ASSERT_TRUE(response.has_value());
  EXPECT_TRUE(capture.lines().empty());

  EXPECT_EQ(encoded(response->merchant()),
            R"({"terminalId":1234,"merchantTransactionId":"order-2024-0001","channel":"web",)"
            R"("shopURL":"https:\/\/shop.example\/cart","transactionDescription":"Order 2024-0001"})");
  EXPECT_EQ(encoded(response->amount()) + response->transactionId() + response->transactionSignature() +
                encoded(*response->tokenList()) + encoded(response->execution()) + encoded(response->returnStatus()) +
                encoded(response->regulationList()) + response->expiry() + encoded(response->actionResponse()),
            encoded(reply.amount()) + reply.transactionId() + reply.transactionSignature() +
                encoded(*reply.tokenList()) + encoded(reply.execution()) + encoded(reply.returnStatus()) +
                encoded(reply.regulationList()) + reply.expiry() + encoded(reply.actionResponse()));
  EXPECT_EQ(response->paymentMethodList(), reply.paymentMethodList());  // "XPAY" stays in the list
  ASSERT_TRUE(response->externalParameter().has_value());
  EXPECT_EQ(json::parse(encoded(*response->externalParameter())), json::parse(samples::kExternalParameter));
  EXPECT_EQ(base64Decode(response->formContext()),
            R"({"terminalId":"1234","paymentMethods":["CARD","BLIK"],"language":"pl"})");

  const CheckoutResponse noTokens = *replyWith({{"/tokenList", nullptr}}).parse();
  EXPECT_EQ(noTokens.tokenList(), std::nullopt);
}

TEST(CheckoutResponse, EachFailedStepLogsOneLineAtMost) {
  const std::string missingXPAY = base64Encode(R"({"BNPL":{"GenericData":{}},"PPRO":{"GenericData":{}},"SPDD":{}})");
  const std::string notUTF8 = base64Encode("[\"CARD\",\xFF\xFE]");
  const std::string base64Line = "Failed to decode Base64 string";
  const std::string jsonLine = "Failed to decode JSON data: ";
  const std::string contextLine = "Invalid Base64 string or unable to decode.";
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, json>> changes;
    std::vector<std::string> systemLog;  // a line ending in "..." is a prefix
    std::vector<std::string> standardOutput;
  };
  const Case cases[] = {
      {"terminal id 12a", {{"/merchant/terminalId", "12a"}}, {}, {}},
      {"terminal id 12a with every other text bad",
       {{"/merchant/terminalId", "12a"}, {"/externalParameter", "!"}, {"/formContext", "!"}},
       {},
       {}},
      {"external parameter with a line break", {{"/externalParameter", "eyJC\nTlBM"}}, {base64Line}, {}},
      {"external parameter empty", {{"/externalParameter", ""}}, {jsonLine + "..."}, {}},
      {"external parameter without XPAY", {{"/externalParameter", missingXPAY}}, {jsonLine + "..."}, {}},
      {"external parameter and form context both bad",
       {{"/externalParameter", ""}, {"/formContext", "!"}},
       {jsonLine + "..."},
       {}},
      {"form context not Base64", {{"/formContext", "eyJ0 ZXJt"}}, {}, {contextLine}},
      {"form context not UTF-8", {{"/formContext", notUTF8}}, {}, {contextLine}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CheckoutResponseDTO reply = replyWith(c.changes);
    ScopedLogCapture capture;
    EXPECT_FALSE(reply.parse().has_value());
    EXPECT_EQ(capture.lines().size(), c.systemLog.size() + c.standardOutput.size());
    const std::vector<std::string> systemLog = capture.messages(LogStream::systemLog);
    ASSERT_EQ(systemLog.size(), c.systemLog.size());
    for (std::size_t i = 0; i < systemLog.size(); ++i) {
      const std::string& expected = c.systemLog[i];
      if (expected.ends_with("...")) {
        const std::string prefix = expected.substr(0, expected.size() - 3);
        EXPECT_TRUE(systemLog[i].starts_with(prefix)) << systemLog[i];
        EXPECT_GT(systemLog[i].size(), prefix.size()) << "no error description";
      } else {
        EXPECT_EQ(systemLog[i], expected);
      }
    }
    EXPECT_EQ(capture.messages(LogStream::standardOutput), c.standardOutput);
  }
}

TEST(CheckoutResponse, RemovesEveryApplePayEntryFromTheFormContext) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {R"(["CARD","XPAY"])", R"(["CARD"])"},
      {R"(["CARD","XPAY","BLIK"])", R"(["CARD","BLIK"])"},
      {R"(["XPAY","CARD"])", R"(["XPAY","CARD"])"},
      {R"(["XPAY"])", R"(["XPAY"])"},
      {R"(["CARD", "XPAY"])", R"(["CARD", "XPAY"])"},
      {R"({"a":["CARD","XPAY"],"b":["BLIK","XPAY","XPAY"]})", R"({"a":["CARD"],"b":["BLIK"]})"},
      {R"(,"XPAY")", ""},
      {R"(,,"XPAY""XPAY")", R"(,"XPAY")"},  // one pass: what the removal joins stays
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ScopedLogCapture capture;
    EXPECT_EQ(replyWithFormContext(base64Encode(c.text)).formContextWithoutXPAY(), base64Encode(c.expected));
    EXPECT_TRUE(capture.lines().empty());
  }
  // Text with nothing to remove comes back as the canonical Base64 of its bytes.
  EXPECT_EQ(replyWithFormContext("QR==").formContextWithoutXPAY(), "QQ==");
  EXPECT_EQ(replyWithFormContext("QQ====").formContextWithoutXPAY(), "QQ==");
}

}  // namespace
}  // namespace keln
