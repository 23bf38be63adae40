// Whole payments through the SDK whose checkout web form is shown by WebKit: the person
// completes the gateway's form with clicks, and follows links that ask for a new window.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <keln/uikit/Application.h>

#include "e2e/EndToEndHarness.h"
#include "gtk-webkit/WebKitHarness.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace keln::testing {
namespace {

constexpr const char* kCheckoutID = "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f";

class WebKitCheckoutTest : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    gtk::installWebKitEngine();
    uikit::Application::shared().setURLOpener([this](const std::string& url) {
      opened_.push_back(url);
      return true;
    });
  }
  void TearDown() override {
    uikit::Application::shared().setURLOpener(nullptr);
    webkit::setWebEngineFactory(nullptr);
    EndToEndTest::TearDown();
  }

  // The gateway: the checkout, the payment form where the checkout page posts, and the
  // transaction's status, final at once.
  void serve(LocalGateway& gateway) {
    gateway.setResponder([](const RecordedRequest& request) {
      if (request.method == "POST" && request.path == "/api/v1/payments") {
        nlohmann::json reply = nlohmann::json::parse(samples::kCheckoutReply);
        reply["paymentMethodList"] = {"CARD", "BLIK"};
        return closingConnection(GatewayReply::json(200, reply.dump()));
      }
      if (request.method == "POST") return formPageReply(request);
      nlohmann::json reply = nlohmann::json::parse(samples::kStatusReply);
      reply["paymentStatus"] = "Success";
      reply["transactionID"] = kCheckoutID;
      return closingConnection(GatewayReply::json(200, reply.dump()));
    });
  }

  std::shared_ptr<webkit::WebView> webView(const HostScreen& host) const {
    auto screen = host.checkout();
    return screen ? screen->contentView()->webView() : nullptr;
  }

  // True once WebKit shows the gateway's form page.
  bool formPageShown(const HostScreen& host, const LocalGateway& gateway) const {
    auto view = webView(host);
    return view && !view->isHidden() && view->url() && view->url()->absoluteString() == gateway.url() + "/" &&
           !view->isLoading() && !host.spinnerShown();
  }

  std::vector<std::string> opened_;
};

TEST_F(WebKitCheckoutTest, PersonPaysInTheGatewaysFormAndTheRedirectEndsThePayment) {
  LocalGateway gateway;
  serve(gateway);
  auto sdk = makeSDK(gateway.url());
  HostScreen host;
  PaymentProbe probe;

  sdk->startPayment(host.controller(), paymentParams(), probe.completion());
  ASSERT_TRUE(pumpUntil([&] { return formPageShown(host, gateway); }));
  ASSERT_EQ(gateway.requestCount(), 2U);
  const RecordedRequest posted = gateway.requests()[1];
  EXPECT_EQ(posted.path, "/");
  EXPECT_EQ(formField(posted.body, "transactionID"), kCheckoutID);
  EXPECT_EQ(formField(posted.body, "currency"), "PLN");
  EXPECT_FALSE(probe.called());

  ASSERT_TRUE(runScript(*webView(host), "document.getElementById('pay').click()"));
  ASSERT_TRUE(pumpUntil([&] { return probe.called(); }));
  ASSERT_TRUE(probe.result().isSuccess()) << describe(probe.result());
  EXPECT_TRUE(probe.result().value().isSuccess());
  EXPECT_EQ(probe.result().value().transactionID(), std::optional<std::string>(kCheckoutID));
  ASSERT_EQ(gateway.requestCount(), 3U);
  EXPECT_EQ(gateway.requests()[2].target, std::string("/api/v1/payments/") + kCheckoutID + "/status");
  EXPECT_FALSE(host.presentsAnything());
  settle();
  EXPECT_EQ(probe.count(), 1U);
  EXPECT_TRUE(opened_.empty());
}

TEST_F(WebKitCheckoutTest, NewWindowLinksOpenOutsideOnlyForWebAddresses) {
  LocalGateway gateway;
  serve(gateway);
  auto sdk = makeSDK(gateway.url());
  HostScreen host;
  PaymentProbe probe;
  sdk->startPayment(host.controller(), paymentParams(), probe.completion());
  ASSERT_TRUE(pumpUntil([&] { return formPageShown(host, gateway); }));

  // The others come first: had one of them reached the opener, it would be there before
  // the web link.
  ASSERT_TRUE(runScript(*webView(host), "document.getElementById('script').click()"));
  ASSERT_TRUE(
      runScript(*webView(host),
                "window.open('file:///etc/passwd'); window.open('keln://open?next=http://bank.example/');"
                "window.open('data:text/html,<p>http://x</p>'); window.open(\"javascript:location='http://x'\")"));
  ASSERT_TRUE(runScript(*webView(host), "document.getElementById('terms').click()"));
  ASSERT_TRUE(pumpUntil([&] { return !opened_.empty(); }));
  EXPECT_EQ(opened_, std::vector<std::string>{"https://bank.example/terms?lang=pl"});
  EXPECT_EQ(webView(host)->url()->absoluteString(), gateway.url() + "/") << "the form page stays";
  EXPECT_EQ(gateway.requestCount(), 2U);

  host.tapLeftButton();
  ASSERT_TRUE(pumpUntil([&] { return probe.called(); }));
  expectSDKError(probe.result(), KelnSDKError::Kind::canceledByUser);
}

}  // namespace
}  // namespace keln::testing
