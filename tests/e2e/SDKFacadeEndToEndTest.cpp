// The SDK object as a host holds it: its version, its own status queries beside a running
// payment, several SDKs at once, and an SDK released while its checkout is on screen.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/flow/DefaultPaymentService.h"
#include "core/network/DefaultNetworkClient.h"
#include "e2e/EndToEndHarness.h"
#include "sandbox/SandboxGateway.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace keln::testing {
namespace {

// Counts the requests of the payment's own clients.
class CountingNetworkClient final : public NetworkClient {
 public:
  CountingNetworkClient(std::shared_ptr<NetworkClient> inner, std::shared_ptr<int> count)
      : inner_(std::move(inner)), count_(std::move(count)) {}

  const NetworkConfiguration& configuration() const override { return inner_->configuration(); }
  void requestData(std::shared_ptr<const Router> router, std::function<void(Result<std::string>)> completion) override {
    ++*count_;
    inner_->requestData(std::move(router), std::move(completion));
  }

 private:
  std::shared_ptr<NetworkClient> inner_;
  std::shared_ptr<int> count_;
};

struct StatusProbe {
  std::shared_ptr<std::vector<Result<TransactionStatus>>> results =
      std::make_shared<std::vector<Result<TransactionStatus>>>();

  SDK::StatusCompletion completion() const {
    return [results = results](Result<TransactionStatus> result) { results->push_back(std::move(result)); };
  }
  bool called() const { return !results->empty(); }
};

std::vector<std::string> exchangeLines(const sandbox::SandboxGateway& gateway) {
  std::vector<std::string> lines;
  for (const auto& exchange : gateway.exchanges()) lines.push_back(exchange.method + " " + exchange.path);
  return lines;
}

const std::string kCheckout = "POST /api/v1/payments";
const std::string kStatus = "GET /api/v1/payments/sbx-1/status";

using SDKFacadeEndToEndTest = EndToEndTest;

TEST_F(SDKFacadeEndToEndTest, VersionSymbols) {
  EXPECT_EQ(KelnSDKVersionNumber, 1.0);
  const char expected[] = "@(#)PROGRAM:KelnSDK  PROJECT:KelnSDK-1\n";
  EXPECT_EQ(std::memcmp(KelnSDKVersionString, expected, sizeof expected), 0)
      << reinterpret_cast<const char*>(KelnSDKVersionString);
}

TEST_F(SDKFacadeEndToEndTest, StatusQueryDuringAPaymentGoesThroughTheFacadesOwnClient) {
  sandbox::SandboxOptions options;
  options.paymentMethods = {"CARD", "BLIK"};
  options.statuses = {"Pending", "Pending", "Success"};
  sandbox::SandboxGateway gateway(options);
  auto sdk = makeSDK(gateway.root());
  auto paymentRequests = std::make_shared<int>(0);
  SDKAccess::coordinator(*sdk).setNetworkClientFactory([paymentRequests](const NetworkConfiguration& configuration) {
    return std::make_shared<CountingNetworkClient>(std::make_shared<DefaultNetworkClient>(configuration),
                                                   paymentRequests);
  });
  HostScreen host;
  PaymentProbe payment;
  StatusProbe status;

  sdk->startPayment(host.controller(), paymentParams(), payment.completion());
  ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
  ASSERT_EQ(*paymentRequests, 1);

  sdk->getTransactionStatus("sbx-1", status.completion());
  ASSERT_TRUE(drive([&] { return status.called(); }));
  ASSERT_EQ(status.results->size(), 1u);
  ASSERT_TRUE(status.results->front().isSuccess()) << status.results->front().error()->description();
  EXPECT_EQ(status.results->front().value().transactionID(), "sbx-1");
  EXPECT_EQ(status.results->front().value().paymentStatus(), PaymentStatus::pending);
  EXPECT_EQ(*paymentRequests, 1) << "the payment's client sent the host's query";
  EXPECT_TRUE(host.webFormShown()) << "the query leaves the checkout alone";
  EXPECT_FALSE(payment.called());

  host.completeWebForm();
  ASSERT_TRUE(drive([&] { return payment.called(); }));
  settle();
  ASSERT_EQ(payment.count(), 1u);
  ASSERT_TRUE(payment.result().isSuccess()) << describe(payment.result());
  EXPECT_EQ(payment.result().value().paymentStatus(), PaymentStatus::success);
  EXPECT_EQ(*paymentRequests, 3);
  EXPECT_EQ(exchangeLines(gateway), (std::vector<std::string>{kCheckout, kStatus, kStatus, kStatus}));

  // Releasing the SDK after its requests have finished never waits on the network.
  const auto releasing = std::chrono::steady_clock::now();
  sdk.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - releasing, std::chrono::milliseconds(200));
}

TEST_F(SDKFacadeEndToEndTest, StatusQueryWithAnEmptyClientIDFailsAtOnceWithoutSending) {
  sandbox::SandboxGateway gateway;
  auto sdk = makeSDK(gateway.root(), "");
  StatusProbe status;

  sdk->getTransactionStatus("sbx-1", status.completion());
  ASSERT_TRUE(status.called()) << "a configuration fault completes on the calling thread";
  settle();

  ASSERT_EQ(status.results->size(), 1u);
  ASSERT_TRUE(status.results->front().isFailure());
  const auto* error = dynamic_cast<const KelnSDKError*>(status.results->front().error().get());
  ASSERT_NE(error, nullptr) << status.results->front().error()->description();
  EXPECT_EQ(error->kind(), KelnSDKError::Kind::sdkNotConfigured);
  EXPECT_EQ(error->message(), "Incorrect clientID");
  EXPECT_TRUE(gateway.exchanges().empty());
}

TEST_F(SDKFacadeEndToEndTest, StatusQueryOfAReleasedSDKStillCompletesOnce) {
  struct Case {
    const char* name;
    std::vector<GatewayReply> replies;
    bool releaseDuringTheRetryWait;
  };
  GatewayReply late = GatewayReply::json(200, samples::kStatusReply);
  late.delay = std::chrono::milliseconds(300);
  const Case cases[] = {
      {"released at once, the gateway answering late", {late}, false},
      {"released while a retry waits", {GatewayReply::json(500, "{}"), late}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    capture_.clear();
    LocalGateway gateway;
    gateway.enqueue(c.replies);
    auto sdk = makeSDK(gateway.url());
    std::weak_ptr<NetworkClient> client =
        dynamic_cast<DefaultPaymentService&>(SDKAccess::paymentService(*sdk)).networkClient();
    StatusProbe status;

    sdk->getTransactionStatus("tx-42", status.completion());
    if (c.releaseDuringTheRetryWait) {
      ASSERT_TRUE(drive([&] { return logHasLineStartingWith("Retrying request due to error: "); }));
      ASSERT_EQ(gateway.requestCount(), 1u);
    }
    sdk.reset();
    ASSERT_TRUE(drive([&] { return status.called(); }));
    settle();

    ASSERT_EQ(status.results->size(), 1u);
    ASSERT_TRUE(status.results->front().isSuccess()) << status.results->front().error()->description();
    EXPECT_EQ(status.results->front().value().transactionID(), "tx-42");
    EXPECT_EQ(gateway.requestCount(), c.replies.size());
    EXPECT_TRUE(client.expired()) << "the released SDK's client outlived its last request";
  }
}

TEST_F(SDKFacadeEndToEndTest, TwoSDKsShareNothing) {
  sandbox::SandboxOptions options;
  options.paymentMethods = {"CARD", "BLIK"};
  options.statuses = {"Success"};
  sandbox::SandboxGateway gatewayA(options);
  sandbox::SandboxGateway gatewayB(options);
  auto sdkA = makeSDK(gatewayA.root());
  auto sdkB = makeSDK(gatewayB.root());
  EXPECT_NE(&SDKAccess::coordinator(*sdkA), &SDKAccess::coordinator(*sdkB));
  EXPECT_NE(SDKAccess::coordinator(*sdkA).navigationController(), SDKAccess::coordinator(*sdkB).navigationController());
  EXPECT_NE(&SDKAccess::paymentService(*sdkA), &SDKAccess::paymentService(*sdkB));
  HostScreen hostA;
  HostScreen hostB;
  PaymentProbe paymentA;
  PaymentProbe paymentB;

  sdkA->startPayment(hostA.controller(), paymentParams("order-a"), paymentA.completion());
  sdkB->startPayment(hostB.controller(), paymentParams("order-b"), paymentB.completion());
  ASSERT_TRUE(drive([&] { return hostA.webFormShown() && hostB.webFormShown(); }));

  hostA.tapLeftButton();
  ASSERT_TRUE(drive([&] { return paymentA.called(); }));
  settle();
  EXPECT_TRUE(hostB.webFormShown()) << "closing one SDK's checkout leaves the other's";
  EXPECT_FALSE(paymentB.called());

  hostB.completeWebForm();
  ASSERT_TRUE(drive([&] { return paymentB.called(); }));
  settle();

  ASSERT_EQ(paymentA.count(), 1u);
  expectSDKError(paymentA.result(), KelnSDKError::Kind::canceledByUser);
  ASSERT_EQ(paymentB.count(), 1u);
  ASSERT_TRUE(paymentB.result().isSuccess()) << describe(paymentB.result());
  EXPECT_TRUE(paymentB.result().value().isSuccess());
  EXPECT_FALSE(hostA.presentsAnything());
  EXPECT_FALSE(hostB.presentsAnything());
  EXPECT_EQ(exchangeLines(gatewayA), (std::vector<std::string>{kCheckout}));
  EXPECT_EQ(exchangeLines(gatewayB), (std::vector<std::string>{kCheckout, kStatus}));
}

TEST_F(SDKFacadeEndToEndTest, ReleasingTheSDKWhileItsCheckoutIsOnScreenDeliversNothing) {
  struct Case {
    const char* name;
    bool releaseBeforeTheCheckoutReply;
    bool completeTheWebForm;
  };
  const Case cases[] = {
      {"released while the checkout loads, then closed", true, false},
      {"released on the web form, which then reaches a final status, then closed", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sandbox::SandboxOptions options;
    options.paymentMethods = {"CARD", "BLIK"};
    options.statuses = {"Pending", "Success"};
    sandbox::SandboxGateway gateway(options);
    auto sdk = makeSDK(gateway.root());
    HostScreen host;
    PaymentProbe payment;

    sdk->startPayment(host.controller(), paymentParams(), payment.completion());
    if (!c.releaseBeforeTheCheckoutReply) {
      ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
    }
    std::weak_ptr<PaymentViewController> screen = host.checkout();
    sdk.reset();
    ASSERT_TRUE(drive([&] { return host.webFormShown(); })) << "the checkout stays usable";
    if (c.completeTheWebForm) {
      host.completeWebForm();
      ASSERT_TRUE(drive([&] { return gateway.statusQueryCount() == 2; }));
      settle();
      EXPECT_TRUE(host.webFormShown()) << "with no SDK, nothing dismisses the checkout";
    }
    host.tapLeftButton();
    settle();

    EXPECT_FALSE(payment.called()) << describe(payment.result());
    EXPECT_FALSE(host.presentsAnything());
    EXPECT_TRUE(screen.expired()) << "the closed checkout is freed";
  }
}

TEST_F(SDKFacadeEndToEndTest, PaymentCompletionThatThrowsIsCalledOnceAndTheNextPaymentRuns) {
  sandbox::SandboxOptions options;
  options.paymentMethods = {"CARD", "BLIK"};
  options.statuses = {"Success"};
  sandbox::SandboxGateway gateway(options);
  auto sdk = makeSDK(gateway.root());
  HostScreen host;
  auto calls = std::make_shared<int>(0);
  sdk->startPayment(host.controller(), paymentParams(), [calls](PaymentResult) {
    ++*calls;
    throw std::runtime_error("the host's own failure");
  });
  ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
  host.completeWebForm();

  int thrown = 0;
  for (int round = 0; round < 20 && *calls == 0; ++round) {
    try {
      drive([&] { return *calls > 0; });
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "the host's own failure");
      ++thrown;
    }
  }
  settle();
  EXPECT_EQ(*calls, 1);
  EXPECT_EQ(thrown, 1) << "the exception reaches the host's run call as thrown";
  EXPECT_FALSE(logHasLineStartingWith("Failed to decode response data: "));
  EXPECT_FALSE(host.presentsAnything());

  // The SDK is left as after any payment: the next one runs to its own single result.
  PaymentProbe next;
  sdk->startPayment(host.controller(), paymentParams(), next.completion());
  ASSERT_TRUE(drive([&] { return host.webFormShown(); }));
  host.completeWebForm();
  ASSERT_TRUE(drive([&] { return next.called(); }));
  settle();
  ASSERT_EQ(next.count(), 1u);
  EXPECT_TRUE(next.result().isSuccess()) << describe(next.result());
  EXPECT_EQ(*calls, 1);
}

}  // namespace
}  // namespace keln::testing
