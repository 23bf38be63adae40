// The sandbox's web form over HTTP, as a browser posts to it: the checks of the checkout
// page's post, the escaping of what the pages show, Pay and Decline, and the statuses that
// follow.

#include <gtest/gtest.h>
#include <httplib.h>

#include <cctype>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "foundation/Base64.h"
#include "sandbox/SandboxGateway.h"

namespace keln::sandbox {
namespace {

using json = nlohmann::json;
using Fields = std::multimap<std::string, std::string>;

// The form post's body, every name and value percent-encoded.
std::string encodeForm(const Fields& fields) {
  std::string body;
  auto encode = [&body](const std::string& text) {
    static const char* const hex = "0123456789ABCDEF";
    for (const unsigned char c : text) {
      if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
        body += static_cast<char>(c);
      } else {
        body += '%';
        body += hex[c >> 4];
        body += hex[c & 15];
      }
    }
  };
  for (const auto& [name, value] : fields) {
    if (!body.empty()) body += '&';
    encode(name);
    body += '=';
    encode(value);
  }
  return body;
}

struct Reply {
  int status = 0;
  std::string body;
};

class SandboxWebFormTest : public ::testing::Test {
 protected:
  explicit SandboxWebFormTest(SandboxOptions options = {}) : gateway_(std::move(options)) {}

  httplib::Client client() const {
    httplib::Client client(gateway_.root());
    client.set_keep_alive(false);
    return client;
  }

  // Opens a checkout; returns its reply.
  json openCheckout(const json& amount = {{"currency", "PLN"}, {"value", 149.99}}) {
    const json request = {{"merchant", {{"terminalId", 1234}}}, {"transaction", {{"amount", amount}}}};
    auto reply = client().Post("/api/v1/payments", {{"Authorization", "Bearer t"}, {"X-IBM-Client-Id", "c"}},
                               request.dump(), "application/json");
    EXPECT_TRUE(reply && reply->status == 200);
    return reply ? json::parse(reply->body) : json::object();
  }

  // The fields the SDK's checkout page posts for `checkout`: its form context without
  // ,"XPAY", the amount as the page writes it.
  static Fields pageFields(const json& checkout) {
    std::string context = *foundation::base64Decode(checkout["formContext"].get<std::string>());
    for (auto at = context.find(",\"XPAY\""); at != std::string::npos; at = context.find(",\"XPAY\"")) {
      context.erase(at, 7);
    }
    return {{"transactionID", checkout["transactionID"].get<std::string>()},
            {"formContext", foundation::base64Encode(context)},
            {"amount", "149.99"},
            {"currency", checkout["amount"]["currency"].get<std::string>()},
            {"redirectURL", "keln://transfer/success"}};
  }

  Reply postRaw(const std::string& path, const std::string& body) {
    auto reply = client().Post(path, body, "application/x-www-form-urlencoded");
    if (!reply) {
      ADD_FAILURE() << "no answer to POST " << path;
      return {};
    }
    return {reply->status, reply->body};
  }
  Reply post(const std::string& path, const Fields& fields) { return postRaw(path, encodeForm(fields)); }

  Reply decide(const std::string& transactionID, const std::string& decision) {
    return post("/decision", {{"transactionID", transactionID}, {"decision", decision}, {"cardNumber", "4111"}});
  }

  std::string queryStatus(const std::string& transactionID) {
    auto reply = client().Get("/api/v1/payments/" + transactionID + "/status",
                              {{"Authorization", "Bearer t"}, {"X-IBM-Client-Id", "c"}});
    if (!reply || reply->status != 200) return "<no status>";
    return json::parse(reply->body)["paymentStatus"].get<std::string>();
  }

  static void replace(Fields& fields, const std::string& name, const std::string& value) {
    fields.erase(name);
    fields.emplace(name, value);
  }

  SandboxGateway gateway_;
};

TEST_F(SandboxWebFormTest, CheckoutPagePostsAreChecked) {
  const json checkout = openCheckout();
  const json other = openCheckout();
  const std::string otherContext = other["formContext"].get<std::string>();
  struct Case {
    const char* name;
    std::function<void(Fields&)> change;
    int status;
    const char* pageHas;
  };
  const std::vector<Case> cases{
      {"the post the checkout page makes", [](Fields&) {}, 200, "id=\"pay\""},
      {"the form context as issued, with XPAY", [&](Fields& f) { replace(f, "formContext", checkout["formContext"]); },
       200, "id=\"decline\""},
      {"the same amount written otherwise", [](Fields& f) { replace(f, "amount", "149.990"); }, 200, "149.990"},
      {"unknown transaction", [](Fields& f) { replace(f, "transactionID", "sbx-99"); }, 404, "Unknown transaction"},
      {"no transaction id", [](Fields& f) { f.erase("transactionID"); }, 400, "has no transactionID"},
      {"no form context", [](Fields& f) { f.erase("formContext"); }, 400, "has no formContext"},
      {"no amount", [](Fields& f) { f.erase("amount"); }, 400, "has no amount"},
      {"no currency", [](Fields& f) { f.erase("currency"); }, 400, "has no currency"},
      {"no redirect URL", [](Fields& f) { f.erase("redirectURL"); }, 400, "has no redirectURL"},
      {"transaction id twice", [](Fields& f) { f.emplace("transactionID", "sbx-2"); }, 400, "malformed"},
      {"another transaction's form context", [&](Fields& f) { replace(f, "formContext", otherContext); }, 400,
       "form context"},
      {"form context not Base64", [](Fields& f) { replace(f, "formContext", "not base64!"); }, 400, "form context"},
      {"another amount", [](Fields& f) { replace(f, "amount", "150.00"); }, 400, "amount differs"},
      {"amount with trailing text", [](Fields& f) { replace(f, "amount", "149.99 PLN"); }, 400, "amount differs"},
      {"amount not a number", [](Fields& f) { replace(f, "amount", "nan"); }, 400, "amount differs"},
      {"another currency", [](Fields& f) { replace(f, "currency", "EUR"); }, 400, "currency differs"},
      {"script as redirect URL", [](Fields& f) { replace(f, "redirectURL", "javascript:alert(1)"); }, 400,
       "redirect URL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fields fields = pageFields(checkout);
    c.change(fields);
    const Reply reply = post("/", fields);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_NE(reply.body.find(c.pageHas), std::string::npos) << reply.body;
  }

  SCOPED_TRACE("a broken percent escape");
  EXPECT_EQ(postRaw("/", "transactionID=sbx-1%G1&amount=1").status, 400);
}

TEST_F(SandboxWebFormTest, FormPageOffersPayDeclineAndTheTermsInANewWindow) {
  const json checkout = openCheckout();
  const Reply reply = post("/", pageFields(checkout));
  ASSERT_EQ(reply.status, 200);
  for (const char* part : {"<span id=\"amount\">149.99</span>", "<span id=\"currency\">PLN</span>",
                           "id=\"card-number\"", "id=\"card-expiry\"", "id=\"card-cvc\"", "action=\"/decision\"",
                           "value=\"sbx-1\"", "href=\"https://", "target=\"_blank\""}) {
    EXPECT_NE(reply.body.find(part), std::string::npos) << part;
  }
}

TEST_F(SandboxWebFormTest, PagesEscapeWhatTheyShow) {
  const std::string markup = "<b onmouseover='x()'>\"PLN\"&</b>";
  const json checkout = openCheckout({{"currency", markup}, {"value", 149.99}});
  const Reply form = post("/", pageFields(checkout));
  ASSERT_EQ(form.status, 200);
  EXPECT_NE(form.body.find("&lt;b onmouseover=&#39;x()&#39;&gt;&quot;PLN&quot;&amp;&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(form.body.find("<b "), std::string::npos);

  Fields fields = pageFields(checkout);
  replace(fields, "transactionID", "<script>alert(\"x\")</script>");
  const Reply error = post("/", fields);
  EXPECT_EQ(error.status, 404);
  EXPECT_NE(error.body.find("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;"), std::string::npos);
  EXPECT_EQ(error.body.find("<script>"), std::string::npos);

  const Reply decision = decide("sbx-1", "<img src=x>");
  EXPECT_EQ(decision.status, 400);
  EXPECT_EQ(decision.body.find("<img"), std::string::npos);
}

TEST_F(SandboxWebFormTest, CheckoutRequestsOfAnyShapeGetAClearAnswer) {
  struct Case {
    const char* name;
    std::string body;
    int status;
  };
  const std::vector<Case> cases{
      {"not JSON", "{", 400},
      {"no transaction", R"({"merchant":{}})", 400},
      {"merchant texts of other types",
       R"({"merchant":{"merchantTransactionId":5,"transactionDescription":[]},)"
       R"("transaction":{}})",
       200},
      {"merchant and amount not objects", R"({"merchant":7,"transaction":{"amount":"149.99"}})", 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto reply = client().Post("/api/v1/payments", {{"Authorization", "Bearer t"}, {"X-IBM-Client-Id", "c"}}, c.body,
                               "application/json");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, c.status) << reply->body;
  }
}

class SandboxStatusTest : public SandboxWebFormTest {
 protected:
  SandboxStatusTest() : SandboxWebFormTest(options()) {}
  static SandboxOptions options() {
    SandboxOptions options;
    options.statuses = {"Pending", "Declined"};
    return options;
  }
};

TEST_F(SandboxStatusTest, PayAndDeclineDecideTheStatusesThatFollow) {
  enum class Action { none, openForm, pay, decline };
  struct Case {
    const char* name;
    Action action;
    std::vector<std::string> statuses;  // of three queries after the action
  };
  const std::vector<Case> cases{
      {"pay", Action::pay, {"Pending", "Success", "Success"}},
      {"decline", Action::decline, {"Pending", "Declined", "Declined"}},
      {"form open, nothing decided", Action::openForm, {"Pending", "Pending", "Pending"}},
      {"form never opened: the scripted statuses", Action::none, {"Pending", "Declined", "Declined"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const json checkout = openCheckout();
    const std::string id = checkout["transactionID"];
    if (c.action != Action::none) {
      ASSERT_EQ(post("/", pageFields(checkout)).status, 200);
    }
    if (c.action == Action::pay || c.action == Action::decline) {
      const Reply reply = decide(id, c.action == Action::pay ? "pay" : "decline");
      ASSERT_EQ(reply.status, 200);
      EXPECT_NE(reply.body.find("href=\"keln://transfer/success?transactionId=" + id + "\""), std::string::npos);
      EXPECT_NE(reply.body.find("location.replace("), std::string::npos);
    }
    std::vector<std::string> seen;
    for (int i = 0; i < 3; ++i) seen.push_back(queryStatus(id));
    EXPECT_EQ(seen, c.statuses);
  }
}

class SandboxDeclinedAfterPayTest : public SandboxWebFormTest {
 protected:
  SandboxDeclinedAfterPayTest() : SandboxWebFormTest(options()) {}
  static SandboxOptions options() {
    SandboxOptions options;
    options.statusesAfterPay = {"Pending", "Pending", "Declined"};
    return options;
  }
};

TEST_F(SandboxDeclinedAfterPayTest, PayIsAnsweredWithTheScriptedStatusesAndDeclineStillDeclines) {
  const json paid = openCheckout();
  ASSERT_EQ(post("/", pageFields(paid)).status, 200);
  ASSERT_EQ(decide(paid["transactionID"].get<std::string>(), "pay").status, 200);
  const json declined = openCheckout();
  ASSERT_EQ(post("/", pageFields(declined)).status, 200);
  ASSERT_EQ(decide(declined["transactionID"].get<std::string>(), "decline").status, 200);

  std::vector<std::string> afterPay, afterDecline;
  for (int i = 0; i < 4; ++i) {
    afterPay.push_back(queryStatus(paid["transactionID"].get<std::string>()));
    afterDecline.push_back(queryStatus(declined["transactionID"].get<std::string>()));
  }
  EXPECT_EQ(afterPay, (std::vector<std::string>{"Pending", "Pending", "Declined", "Declined"}));
  EXPECT_EQ(afterDecline, (std::vector<std::string>{"Pending", "Declined", "Declined", "Declined"}));
}

TEST_F(SandboxStatusTest, DecisionsThatCannotBeTakenAreRefused) {
  const json decided = openCheckout();
  ASSERT_EQ(post("/", pageFields(decided)).status, 200);
  ASSERT_EQ(decide("sbx-1", "pay").status, 200);
  const json unopened = openCheckout();
  const json open = openCheckout();
  ASSERT_EQ(post("/", pageFields(open)).status, 200);

  struct Case {
    const char* name;
    std::function<Reply()> post;
    int status;
  };
  const std::vector<Case> cases{
      {"pay twice", [&] { return decide("sbx-1", "decline"); }, 409},
      {"the checkout page posted again once paid", [&] { return post("/", pageFields(decided)); }, 409},
      {"the form never opened", [&] { return decide("sbx-2", "pay"); }, 409},
      {"unknown decision", [&] { return decide("sbx-3", "maybe"); }, 400},
      {"no decision",
       [&] {
         return post("/decision", {{"transactionID", "sbx-3"}});
       },
       400},
      {"unknown transaction", [&] { return decide("sbx-9", "pay"); }, 404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.post().status, c.status);
  }
  EXPECT_EQ(queryStatus("sbx-1"), "Pending") << "the first decision stands";
  EXPECT_EQ(queryStatus("sbx-1"), "Success");
  EXPECT_EQ(queryStatus("sbx-3"), "Pending") << "still open after the refused decisions";
}

}  // namespace
}  // namespace keln::sandbox
