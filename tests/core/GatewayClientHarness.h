#pragma once

// A fixture for tests of the network client and the payment service against the local
// gateway: the main queue runs on a manual clock, both outputs are captured, and no
// captured line may carry the bearer token.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/dispatch/MainQueue.h>
#include <keln/foundation/Result.h>
#include <keln/model/CheckoutRequest.h>

#include "core/network/DefaultNetworkClient.h"
#include "core/network/NetworkConfiguration.h"
#include "dispatch/MainQueueAccess.h"
#include "foundation/Log.h"
#include "http/IOLoop.h"
#include "support/LocalGateway.h"

namespace keln::testing {

inline constexpr const char* kClientID = "client-7";
inline constexpr const char* kToken = "tok-5ecret-a1b2c3";

// Records every call of a completion.
template <typename T>
struct CompletionProbe {
  std::vector<Result<T>> results;

  std::function<void(Result<T>)> completion() {
    return [this](Result<T> result) { results.push_back(std::move(result)); };
  }
  bool called() const { return !results.empty(); }
  const Result<T>& result() const { return results.front(); }
};

inline CheckoutRequest makeCheckoutRequest(double amount) {
  return CheckoutRequest(Merchant(1234, "order-1", std::nullopt, "web", "https://shop.example/cart", "Order 1"),
                         Transaction("2024-05-01T10:00:00.000Z", "Order 1", "PURS", Amount(amount, "PLN"),
                                     {PaymentMethod::card, PaymentMethod::blik}),
                         std::nullopt, std::nullopt);
}

class GatewayClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    dispatch::MainQueue::main().setClock(clock_);
  }

  void TearDown() override {
    for (const foundation::ScopedLogCapture::Line& line : capture_.lines()) {
      EXPECT_EQ(line.message.find(kToken), std::string::npos) << line.message;
    }
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    dispatch::MainQueue::main().setClock(std::make_shared<dispatch::SystemClock>());
  }

  static http::SessionConfiguration sessionConfiguration(double timeout = 30.0) {
    http::SessionConfiguration configuration = DefaultNetworkClient::defaultSessionConfiguration();
    configuration.timeoutIntervalForRequest = timeout;
    configuration.timeoutIntervalForResource = timeout;
    configuration.additionalTrustedCertificatesFile = LocalGateway::trustedAuthorityPath();
    return configuration;
  }

  static std::shared_ptr<DefaultNetworkClient> makeClient(const std::string& root,
                                                          const std::string& clientID = kClientID,
                                                          const std::string& token = kToken, double timeout = 30.0) {
    return std::make_shared<DefaultNetworkClient>(NetworkConfigurationData(root, clientID, token),
                                                  sessionConfiguration(timeout));
  }

  // Runs the main queue until `done` holds, moving the manual clock on in steps of one
  // second whenever only delayed work is left (on the main queue or the network thread).
  // Fails the test after 30 s of real time; see gaveUp().
  void drive(const std::function<bool()>& done) {
    dispatch::MainQueue& queue = dispatch::MainQueue::main();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (gaveUp(std::chrono::steady_clock::now() > deadline, "30 s")) return;
      queue.runUntil(done, std::chrono::milliseconds(5));
      if (!done() &&
          (dispatch::MainQueueAccess::pendingCount(queue) > 0 || http::IOLoop::shared().delayedTaskCount() > 0) &&
          queue.runPending() == 0)
        clock_->advance(std::chrono::seconds(1));
    }
  }

  // Runs the main queue, without moving its clock, until `done` holds. False, failing the
  // test, after `atMost` of real time; see gaveUp().
  bool runQueueUntil(const std::function<bool()>& done, std::chrono::seconds atMost = std::chrono::seconds(20)) {
    if (gaveUp(false, "")) return done();
    return dispatch::MainQueue::main().runUntil(done, atMost) || !gaveUp(true, std::to_string(atMost.count()) + " s");
  }

  // Whether a wait gives up: when `expired` (failing the test, naming the wait's limit), or
  // at once when an earlier wait of the test gave up, so that a test whose awaited event
  // never comes ends within one wait's limit rather than one limit per wait.
  bool gaveUp(bool expired, const std::string& limit) {
    if (expired && !waitGaveUp_) {
      ADD_FAILURE() << "gave up waiting: what the test waits for did not come within " << limit
                    << "; the test's later waits give up at once";
      waitGaveUp_ = true;
    }
    return waitGaveUp_;
  }

  // Lets any stray work run: a minute on the manual clock and a moment of real time.
  void settle() {
    for (int i = 0; i < 60; ++i) {
      clock_->advance(std::chrono::seconds(1));
      dispatch::MainQueue::main().runPending();
    }
    dispatch::MainQueue::main().runFor(std::chrono::milliseconds(100));
  }

  std::vector<std::string> systemLog() const { return capture_.messages(foundation::LogStream::systemLog); }
  std::vector<std::string> standardOutput() const { return capture_.messages(foundation::LogStream::standardOutput); }
  std::vector<std::string> systemLogStartingWith(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : systemLog()) {
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
  }

  std::shared_ptr<dispatch::ManualClock> clock_ = std::make_shared<dispatch::ManualClock>();
  foundation::ScopedLogCapture capture_;
  bool waitGaveUp_ = false;
};

}  // namespace keln::testing
