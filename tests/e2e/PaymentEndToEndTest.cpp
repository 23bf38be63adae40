// Whole payments through the public SDK, as a host application takes them: the web form,
// the menu, the wallet, the close button, and the ways a payment cannot start.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

#include "e2e/EndToEndHarness.h"
#include "sandbox/SandboxGateway.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"
#include "uikit/ViewControllerAccess.h"

namespace keln::testing {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> exchangeLines(const sandbox::SandboxGateway& gateway) {
  std::vector<std::string> lines;
  for (const auto& exchange : gateway.exchanges()) {
    lines.push_back(exchange.method + " " + exchange.path + " " + std::to_string(exchange.status));
  }
  return lines;
}

using PaymentEndToEndTest = EndToEndTest;

TEST_F(PaymentEndToEndTest, WebFormPaysAfterTwoPendingStatuses) {
  std::mutex mutex;
  std::vector<dispatch::TimePoint> statusTimes;  // guarded by mutex
  LocalGateway gateway;
  gateway.setResponder([&](const RecordedRequest& request) {
    if (request.method == "POST") return GatewayReply::json(200, checkoutReply({"CARD", "BLIK"}));
    std::lock_guard lock(mutex);
    statusTimes.push_back(clock_->now());
    return GatewayReply::json(200, statusReply(statusTimes.size() < 3 ? "Pending" : "Success"));
  });
  auto sdk = makeSDK(gateway.url());
  HostScreen host;
  PaymentProbe probe;

  sdk->startPayment(host.controller(), paymentParams(), probe.completion());
  ASSERT_NE(host.checkout(), nullptr) << "the checkout is presented at once";
  EXPECT_EQ(uikit::ViewControllerAccess::modalPresentationStyle(*host.presentedNavigation()),
            uikit::ModalPresentationStyle::fullScreen);
  EXPECT_EQ(uikit::ViewControllerAccess::lastTransitionAnimated(*host.presentedNavigation()), true)
      << "the checkout slides in";
  EXPECT_TRUE(host.spinnerShown());

  ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
  EXPECT_FALSE(host.spinnerShown());
  const std::string page = *host.checkout()->contentView()->webView()->htmlString();
  EXPECT_NE(page.find(gateway.url()), std::string::npos) << page;
  EXPECT_NE(page.find(kCheckoutID), std::string::npos) << page;
  EXPECT_NE(page.find("keln://transfer/success"), std::string::npos) << page;
  EXPECT_EQ(page.find("[[["), std::string::npos) << "a placeholder was left unfilled";

  const dispatch::TimePoint redirectTime = clock_->now();
  host.completeWebForm();
  ASSERT_TRUE(drive([&] { return probe.called(); }));
  EXPECT_FALSE(host.presentsAnything()) << "the result arrives after the dismissal";
  settle();

  ASSERT_EQ(probe.count(), 1u);
  ASSERT_TRUE(probe.result().isSuccess()) << describe(probe.result());
  const TransactionResultSDK& paid = probe.result().value();
  EXPECT_TRUE(paid.isSuccess());
  EXPECT_EQ(paid.transactionID(), kCheckoutID);
  EXPECT_EQ(paid.paymentStatus(), PaymentStatus::success);

  const std::vector<RecordedRequest> requests = gateway.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/api/v1/payments");
  const nlohmann::json body = nlohmann::json::parse(requests[0].body);
  EXPECT_EQ(body["merchant"]["merchantTransactionId"], "order-e2e-1");
  EXPECT_EQ(body["transaction"]["amount"]["value"], 149.99);
  EXPECT_EQ(body["transaction"]["amount"]["currency"], "PLN");
  for (std::size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE("request " + std::to_string(i));
    if (i > 0) {
      EXPECT_EQ(requests[i].method, "GET");
      EXPECT_EQ(requests[i].target, std::string("/api/v1/payments/") + kCheckoutID + "/status");
    }
    EXPECT_EQ(requests[i].header("Authorization"), std::string("Bearer ") + kHostToken);
    EXPECT_EQ(requests[i].header("X-IBM-Client-Id"), kHostClientID);
  }

  std::lock_guard lock(mutex);
  ASSERT_EQ(statusTimes.size(), 3u);
  EXPECT_EQ(statusTimes[0], redirectTime) << "the first query follows the redirect at once";
  EXPECT_GE(statusTimes[1] - statusTimes[0], 3s);
  EXPECT_GE(statusTimes[2] - statusTimes[1], 3s);
  EXPECT_TRUE(logHasLineStartingWith("Adapted request with headers: "));
}

class SandboxRouteTest : public EndToEndTest {
 public:
  using EndToEndTest::drive;
  using EndToEndTest::settle;
};

// One route of a user through the sandbox's checkout, from the screen first shown to the
// result, and the exchanges the sandbox served.
struct Route {
  std::string name;
  std::vector<std::string> methods;
  // What the user does once the checkout shows its first screen.
  std::function<void(SandboxRouteTest&, HostScreen&, passkit::Wallet&)> act;
  std::function<void(const PaymentResult&)> expect;
  std::vector<std::string> exchanges;
};

TEST_F(SandboxRouteTest, RoutesEndWithOneResultAfterTheDismissal) {
  const std::string checkout = "POST /api/v1/payments 200";
  const std::string status = "GET /api/v1/payments/sbx-1/status 200";
  auto closeButton = [](SandboxRouteTest&, HostScreen& host, passkit::Wallet&) {
    ASSERT_TRUE(host.leftButtonIsClose());
    host.tapLeftButton();
  };
  auto canceled = [](const PaymentResult& result) { expectSDKError(result, KelnSDKError::Kind::canceledByUser); };

  const std::vector<Route> routes{
      {"menu, other payment options, web form",
       {"CARD", "XPAY", "BLIK"},
       [](SandboxRouteTest& test, HostScreen& host, passkit::Wallet&) {
         EXPECT_EQ(host.menuTitles(), (std::vector<std::string>{"Apple Pay", "Other payment options"}));
         ASSERT_TRUE(host.tapMenuItem(PaymentViewController::OTHER_METHOD_POSITION));
         ASSERT_TRUE(test.drive([&] { return host.webFormShown(); }));
         EXPECT_FALSE(host.leftButtonIsClose()) << "the back chevron leads to the menu";
         host.completeWebForm();
       },
       [](const PaymentResult& result) {
         ASSERT_TRUE(result.isSuccess()) << describe(result);
         EXPECT_TRUE(result.value().isSuccess());
         EXPECT_EQ(result.value().transactionID(), "sbx-1");
         EXPECT_EQ(result.value().paymentStatus(), PaymentStatus::success);
       },
       {checkout, status, status, status}},
      {"wallet authorized",
       {"CARD", "XPAY", "BLIK"},
       [](SandboxRouteTest&, HostScreen& host, passkit::Wallet& wallet) {
         wallet.setUserAction(passkit::Wallet::UserAction::authorize(R"({"version":"EC_v1","data":"e2e"})"));
         ASSERT_TRUE(host.tapMenuItem(PaymentViewController::APPLE_PAY_POSITION));
       },
       [](const PaymentResult& result) {
         ASSERT_TRUE(result.isSuccess()) << describe(result);
         const TransactionResultSDK& paid = result.value();
         EXPECT_TRUE(paid.isSuccess());
         EXPECT_EQ(paid.transactionID(), "sbx-1");
         EXPECT_FALSE(paid.token() || paid.merchant() || paid.paymentType() || paid.paymentStatus() ||
                      paid.paymentMethod() || paid.execution() || paid.returnStatus())
             << "a wallet payment carries only the transaction id";
       },
       {checkout}},
      {"wallet sheet cannot be shown",
       {"CARD", "XPAY"},
       [](SandboxRouteTest&, HostScreen& host, passkit::Wallet& wallet) {
         wallet.setPresentsSheets(false);
         ASSERT_TRUE(host.tapMenuItem(PaymentViewController::APPLE_PAY_POSITION));
       },
       [](const PaymentResult& result) {
         expectSDKError(result, KelnSDKError::Kind::applePayError, "Apple Pay Error");
       },
       {checkout}},
      {"wallet sheet closed, then the checkout closed",
       {"CARD", "XPAY", "BLIK"},
       [closeButton](SandboxRouteTest& test, HostScreen& host, passkit::Wallet& wallet) {
         wallet.setUserAction(passkit::Wallet::UserAction::cancel());
         ASSERT_TRUE(host.tapMenuItem(PaymentViewController::APPLE_PAY_POSITION));
         ASSERT_TRUE(test.drive([&] { return !wallet.isSheetOnScreen(); }));
         test.settle();
         EXPECT_TRUE(host.menuShown()) << "closing the sheet leaves the checkout open";
         closeButton(test, host, wallet);
       },
       canceled,
       {checkout}},
      {"checkout closed", {"CARD", "BLIK"}, closeButton, canceled, {checkout}},
  };

  for (const Route& route : routes) {
    SCOPED_TRACE(route.name);
    sandbox::SandboxOptions options;
    options.paymentMethods = route.methods;
    sandbox::SandboxGateway gateway(options);
    auto wallet = installWallet();
    auto sdk = makeSDK(gateway.root());
    HostScreen host;
    PaymentProbe probe;

    sdk->startPayment(host.controller(), paymentParams(), probe.completion());
    ASSERT_TRUE(drive([&] { return host.menuShown() || host.webFormShown(); }));
    route.act(*this, host, *wallet);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(drive([&] { return probe.called(); }));
    EXPECT_FALSE(host.presentsAnything()) << "the result arrives after the dismissal";
    settle();

    ASSERT_EQ(probe.count(), 1u);
    route.expect(probe.result());
    EXPECT_EQ(exchangeLines(gateway), route.exchanges);
    forgetWalletSheet();
  }
}

TEST_F(PaymentEndToEndTest, EmptyTokenEndsThePaymentWithoutSendingAnything) {
  sandbox::SandboxGateway gateway;
  auto sdk = SDKAccess::make(SDKConfigFactory::withRoot(gateway.root(), kHostClientID, ""));
  HostScreen host;
  PaymentProbe probe;

  sdk->startPayment(host.controller(), paymentParams(), probe.completion());
  ASSERT_NE(host.checkout(), nullptr) << "the fault is found while the checkout is presented";
  EXPECT_FALSE(probe.called()) << "the result waits for the presentation to complete";
  ASSERT_TRUE(drive([&] { return probe.called(); }));
  EXPECT_FALSE(host.presentsAnything()) << "the checkout is dismissed, not left loading";
  settle();

  ASSERT_EQ(probe.count(), 1u);
  expectSDKError(probe.result(), KelnSDKError::Kind::sdkNotConfigured, "Incorrect token");
  EXPECT_EQ(gateway.exchanges().size(), 0u);
}

TEST_F(PaymentEndToEndTest, MissingTemplateEndsThePaymentOnTheMainQueueWithoutScreenOrRequest) {
  sandbox::SandboxGateway gateway;
  const std::filesystem::path emptyFolder =
      std::filesystem::temp_directory_path() / ("e2e-no-template-" + std::to_string(::getpid()));
  std::filesystem::create_directories(emptyFolder);
  auto sdk = makeSDK(gateway.root());
  SDKAccess::coordinator(*sdk).setResourceBundle(foundation::Bundle(emptyFolder));
  HostScreen host;
  PaymentProbe probe;

  sdk->startPayment(host.controller(), paymentParams(), probe.completion());
  EXPECT_FALSE(probe.called()) << "the completion runs on the main queue, not inside startPayment";
  EXPECT_FALSE(host.presentsAnything());
  runPending();
  settle();
  std::filesystem::remove_all(emptyFolder);

  ASSERT_EQ(probe.count(), 1u);
  expectSDKError(probe.result(), KelnSDKError::Kind::sdkNotConfigured, "Missing payment template");
  EXPECT_FALSE(host.presentsAnything());
  EXPECT_EQ(gateway.exchanges().size(), 0u);
}

TEST_F(PaymentEndToEndTest, TwoPaymentsOneAfterTheOtherWithOneSDK) {
  sandbox::SandboxOptions options;
  options.statuses = {"Success"};
  sandbox::SandboxGateway gateway(options);
  auto sdk = makeSDK(gateway.root());
  HostScreen host;
  PaymentProbe first;
  PaymentProbe second;

  sdk->startPayment(host.controller(), paymentParams("order-1"), first.completion());
  ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
  const auto navigation = host.presentedNavigation();
  const auto firstScreen = host.checkout();
  host.completeWebForm();
  ASSERT_TRUE(drive([&] { return first.called(); }));

  sdk->startPayment(host.controller(), paymentParams("order-2"), second.completion());
  ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
  EXPECT_EQ(host.presentedNavigation(), navigation) << "every checkout is shown in the SDK's one navigation controller";
  EXPECT_NE(host.checkout(), firstScreen);
  EXPECT_NE(host.checkout()->viewModel(), firstScreen->viewModel());
  ASSERT_TRUE(host.leftButtonIsClose());
  host.tapLeftButton();
  ASSERT_TRUE(drive([&] { return second.called(); }));
  settle();

  ASSERT_EQ(first.count(), 1u);
  ASSERT_TRUE(first.result().isSuccess()) << describe(first.result());
  EXPECT_EQ(first.result().value().transactionID(), "sbx-1");
  ASSERT_EQ(second.count(), 1u);
  expectSDKError(second.result(), KelnSDKError::Kind::canceledByUser);
  EXPECT_FALSE(host.presentsAnything());
  EXPECT_EQ(exchangeLines(gateway),
            (std::vector<std::string>{"POST /api/v1/payments 200", "GET /api/v1/payments/sbx-1/status 200",
                                      "POST /api/v1/payments 200"}));
}

std::size_t statusQueriesOf(const sandbox::SandboxGateway& gateway, const std::string& transactionID) {
  std::size_t count = 0;
  for (const auto& exchange : gateway.exchanges()) {
    count += exchange.method == "GET" && exchange.path == "/api/v1/payments/" + transactionID + "/status";
  }
  return count;
}

// A second start while the first checkout polls a pending status: the screen is replaced in
// place and the first payment ends at once, also when the wallet manager still holds the
// first screen (its sheet was shown and closed).
TEST_F(PaymentEndToEndTest, StartWhileACheckoutIsOpenEndsTheReplacedPaymentOnce) {
  for (const bool walletSheetShown : {false, true}) {
    SCOPED_TRACE(walletSheetShown ? "the wallet manager holds the first screen" : "web form only");
    sandbox::SandboxOptions options;
    options.paymentMethods = {"CARD", "XPAY", "BLIK"};
    options.statuses = {"Pending"};
    sandbox::SandboxGateway gateway(options);
    auto wallet = installWallet(walletSheetShown);
    auto sdk = makeSDK(gateway.root());
    HostScreen host;
    PaymentProbe first;
    PaymentProbe second;

    sdk->startPayment(host.controller(), paymentParams("order-1"), first.completion());
    if (walletSheetShown) {
      ASSERT_TRUE(drive([&] { return host.menuShown(); }));
      wallet->setUserAction(passkit::Wallet::UserAction::cancel());
      ASSERT_TRUE(host.tapMenuItem(PaymentViewController::APPLE_PAY_POSITION));
      ASSERT_TRUE(drive([&] { return !wallet->isSheetOnScreen(); }));
      runPending();
      ASSERT_TRUE(host.tapMenuItem(PaymentViewController::OTHER_METHOD_POSITION));
    }
    ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
    const auto firstScreen = host.checkout();
    host.completeWebForm();
    ASSERT_TRUE(drive([&] { return statusQueriesOf(gateway, "sbx-1") == 1; }));
    runPending();

    sdk->startPayment(host.controller(), paymentParams("order-2"), second.completion());
    EXPECT_FALSE(first.called()) << "the replaced payment ends on the main queue";
    ASSERT_TRUE(drive([&] { return first.called() && (host.menuShown() || host.webFormShown()); }));
    EXPECT_NE(host.checkout(), firstScreen);
    settle();

    ASSERT_EQ(first.count(), 1u);
    expectSDKError(first.result(), KelnSDKError::Kind::sdkNotConfigured, "Payment replaced by a newer payment");
    EXPECT_EQ(statusQueriesOf(gateway, "sbx-1"), 1u) << "the replaced payment stopped polling";
    EXPECT_FALSE(second.called());
    ASSERT_TRUE(host.menuShown() || host.webFormShown()) << "the replaced payment dismissed nothing";

    host.tapLeftButton();
    ASSERT_TRUE(drive([&] { return second.called(); }));
    settle();
    EXPECT_EQ(first.count(), 1u);
    ASSERT_EQ(second.count(), 1u);
    expectSDKError(second.result(), KelnSDKError::Kind::canceledByUser);
    EXPECT_FALSE(host.presentsAnything());
    forgetWalletSheet();
  }
}

TEST_F(PaymentEndToEndTest, TwoStartsInOneTurnEachEndOnce) {
  sandbox::SandboxGateway gateway;
  auto sdk = SDKAccess::make(SDKConfigFactory::withRoot(gateway.root(), kHostClientID, ""));
  HostScreen host;
  PaymentProbe first;
  PaymentProbe second;

  sdk->startPayment(host.controller(), paymentParams("order-1"), first.completion());
  sdk->startPayment(host.controller(), paymentParams("order-2"), second.completion());
  ASSERT_TRUE(drive([&] { return first.called() && second.called(); }));
  settle();

  ASSERT_EQ(first.count(), 1u);
  expectSDKError(first.result(), KelnSDKError::Kind::sdkNotConfigured, "Payment replaced by a newer payment");
  ASSERT_EQ(second.count(), 1u);
  expectSDKError(second.result(), KelnSDKError::Kind::sdkNotConfigured, "Incorrect token");
  EXPECT_FALSE(host.presentsAnything());
  EXPECT_EQ(gateway.exchanges().size(), 0u);
}

// The host keeps no controller to present from (it passes a temporary, or lets go of its
// screen later): whenever that happens, the payment still ends with one result, and the
// checkout, which nobody can reach any more, ends as its close button ends it.
TEST_F(PaymentEndToEndTest, PaymentWhosePresenterTheHostLetGoOfEndsOnce) {
  const sandbox::SandboxGateway* gatewayOf = nullptr;  // the case's gateway
  struct Case {
    const char* name;
    std::string token;
    // What happens on screen before the host lets go of its screen; null for a temporary.
    std::function<void(HostScreen&)> before;
    KelnSDKError::Kind kind;
    std::optional<std::string> message;
  };
  const std::vector<Case> cases{
      {"a temporary, the configuration faulty", "", nullptr, KelnSDKError::Kind::sdkNotConfigured, "Incorrect token"},
      {"a temporary, the checkout asked for", kHostToken, nullptr, KelnSDKError::Kind::canceledByUser, std::nullopt},
      {"let go of on the web form", kHostToken,
       [this](HostScreen& host) { ASSERT_TRUE(drive([&] { return host.webFormShown(); })); },
       KelnSDKError::Kind::canceledByUser, std::nullopt},
      {"let go of while the status is polled", kHostToken,
       [this, &gatewayOf](HostScreen& host) {
         ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
         host.completeWebForm();
         ASSERT_TRUE(drive([&] { return statusQueriesOf(*gatewayOf, "sbx-1") == 2; }));
       },
       KelnSDKError::Kind::canceledByUser, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sandbox::SandboxOptions options;
    options.statuses = {"Pending"};
    sandbox::SandboxGateway gateway(options);
    gatewayOf = &gateway;
    auto sdk = SDKAccess::make(SDKConfigFactory::withRoot(gateway.root(), kHostClientID, c.token));
    PaymentProbe probe;

    if (c.before == nullptr) {
      sdk->startPayment(std::make_shared<uikit::ViewController>(), paymentParams(), probe.completion());
    } else {
      auto host = std::make_unique<HostScreen>();
      sdk->startPayment(host->controller(), paymentParams(), probe.completion());
      c.before(*host);
      ASSERT_FALSE(probe.called());
      host.reset();
    }
    EXPECT_FALSE(probe.called()) << "the result comes on the main queue";
    ASSERT_TRUE(drive([&] { return probe.called(); }));
    const std::size_t statusQueries = statusQueriesOf(gateway, "sbx-1");
    settle();

    ASSERT_EQ(probe.count(), 1u);
    expectSDKError(probe.result(), c.kind, c.message);
    EXPECT_EQ(SDKAccess::coordinator(*sdk).navigationController()->presentingViewController(), nullptr);
    EXPECT_EQ(statusQueriesOf(gateway, "sbx-1"), statusQueries) << "polling stops once the payment has ended";
    if (c.token.empty()) {
      EXPECT_EQ(gateway.exchanges().size(), 0u);
    }
  }
}

// The host's controller already presents a screen of the host's own.
TEST_F(PaymentEndToEndTest, CheckoutThatCannotBePresentedEndsWithoutSendingOrDismissing) {
  for (const bool earlierPayment : {false, true}) {
    SCOPED_TRACE(earlierPayment ? "after an earlier payment" : "first payment");
    sandbox::SandboxGateway gateway;
    auto sdk = makeSDK(gateway.root());
    HostScreen host;
    if (earlierPayment) {
      PaymentProbe earlier;
      sdk->startPayment(host.controller(), paymentParams("order-0"), earlier.completion());
      ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
      host.tapLeftButton();
      ASSERT_TRUE(drive([&] { return earlier.called(); }));
    }
    const std::size_t exchangesBefore = gateway.exchanges().size();
    auto hostsOwnScreen = std::make_shared<uikit::ViewController>();
    uikit::ViewControllerAccess::present(*host.controller(), hostsOwnScreen, false);
    runPending();
    PaymentProbe probe;

    sdk->startPayment(host.controller(), paymentParams("order-1"), probe.completion());
    EXPECT_FALSE(probe.called()) << "the completion runs on the main queue, not inside startPayment";
    ASSERT_TRUE(drive([&] { return probe.called(); }));
    settle();

    ASSERT_EQ(probe.count(), 1u);
    expectSDKError(probe.result(), KelnSDKError::Kind::sdkNotConfigured, "Failed to present the checkout");
    EXPECT_EQ(host.controller()->presentedViewController(), hostsOwnScreen);
    EXPECT_EQ(gateway.exchanges().size(), exchangesBefore);
    EXPECT_TRUE(logHasLineStartingWith("Attempt to present "));
  }
}

}  // namespace
}  // namespace keln::testing
