// The network client's promises whatever the host does with its main thread: a request
// leaves as it is made, its time-outs and retries run on the SDK's network thread, and
// only the outcome waits on the main queue.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <keln/model/TransactionStatus.h>

#include "core/GatewayClientHarness.h"
#include "core/network/PaymentRouter.h"
#include "dispatch/MainQueueAccess.h"
#include "http/IOLoop.h"
#include "http/RequestError.h"
#include "model/CheckoutResponseDTO.h"
#include "support/WireSamples.h"

namespace keln::testing {
namespace {

using namespace std::chrono_literals;

// The time-out every client here runs with: far below the default, so that the host's
// thread can be blocked well past it.
constexpr double kShortTimeout = 1.5;

std::shared_ptr<const Router> statusRouter(const std::string& root) {
  return std::make_shared<PaymentRouter>(PaymentRouter::status(root, "tx-1"));
}

std::shared_ptr<const Router> checkoutRouter(const std::string& root) {
  return std::make_shared<PaymentRouter>(PaymentRouter::payment(root, makeCheckoutRequest(149.99)));
}

// Waits (on the calling thread, which runs nothing else) until `condition` holds.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
  const auto giveUp = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class NetworkThreadTest : public GatewayClientTest {};

// A main-queue task holds the host's thread for twice the time-out while the request is
// under way and its reply arrives: the reply is taken as it comes, nothing is sent again,
// and the outcome runs right after the block. For a checkout that means one POST: one
// checkout opened at the gateway for one payment.
TEST_F(NetworkThreadTest, HostThreadBlockedPastTheTimeOutKeepsTheReplyAndSendsOnce) {
  struct Case {
    const char* name;
    std::function<std::shared_ptr<const Router>(const std::string&)> router;
    int replyStatus;
    const char* reply;
    const char* method;
  };
  const Case cases[] = {
      {"status query", statusRouter, 200, samples::kStatusReply, "GET"},
      {"checkout", checkoutRouter, 201, samples::kCheckoutReply, "POST"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    capture_.clear();
    LocalGateway gateway;
    GatewayReply reply = GatewayReply::json(c.replyStatus, c.reply);
    reply.delay = 100ms;
    gateway.setDefaultReply(reply);
    auto client = makeClient(gateway.url(), kClientID, kToken, kShortTimeout);

    bool blocked = false;
    dispatch::MainQueue::main().async([&] {
      EXPECT_TRUE(gateway.waitForRequests(1, 10s));
      std::this_thread::sleep_for(std::chrono::duration<double>(2 * kShortTimeout));
      blocked = true;
    });
    CompletionProbe<std::string> probe;
    client->requestData(c.router(gateway.url()), probe.completion());
    drive([&] { return probe.called(); });

    EXPECT_TRUE(blocked);
    ASSERT_TRUE(probe.called());
    EXPECT_TRUE(probe.result().isSuccess()) << probe.result().error()->description();
    ASSERT_EQ(gateway.requestCount(), 1u);
    EXPECT_EQ(gateway.requests()[0].method, c.method);
    EXPECT_TRUE(systemLogStartingWith("Retrying request").empty());
    settle();
    EXPECT_EQ(gateway.requestCount(), 1u);
    EXPECT_EQ(probe.results.size(), 1u);
  }
}

// A host whose queue always has a task ready (one that posts itself again) still gets its
// request sent and its outcome run among its own tasks.
TEST_F(NetworkThreadTest, BusyMainQueueStillSendsAndRunsTheOutcomeAmongItsTasks) {
  LocalGateway gateway;
  gateway.setDefaultReply(GatewayReply::json(200, samples::kStatusReply));
  auto client = makeClient(gateway.url(), kClientID, kToken, kShortTimeout);
  CompletionProbe<TransactionStatusDTO> probe;
  // Busy until the outcome has run, or for 20 s at most, so that a queue that holds the
  // outcome back behind its tasks ends the test instead of hanging it.
  const auto busyUntil = std::chrono::steady_clock::now() + 20s;
  bool busyActive = true;
  bool busyActiveAtCompletion = false;
  std::function<void()> busy = [&] {
    busyActive = !probe.called() && std::chrono::steady_clock::now() < busyUntil;
    if (busyActive) dispatch::MainQueue::main().async(busy);
  };
  dispatch::MainQueue::main().async(busy);
  client->request<TransactionStatusDTO>(statusRouter(gateway.url()),
                                        [&, completion = probe.completion()](Result<TransactionStatusDTO> result) {
                                          busyActiveAtCompletion = busyActive;
                                          completion(std::move(result));
                                        });
  drive([&] { return probe.called(); });

  ASSERT_TRUE(probe.called());
  EXPECT_TRUE(probe.result().isSuccess()) << probe.result().error()->description();
  EXPECT_TRUE(busyActiveAtCompletion) << "the outcome waited until the host's tasks stopped";
  EXPECT_EQ(gateway.requestCount(), 1u);
}

// A host that does not run its queue at all: the request (over HTTPS, handshake and all)
// reaches the gateway anyway, and its outcome waits on the main queue until the host runs it.
TEST_F(NetworkThreadTest, RequestReachesTheGatewayWhileTheHostDoesNotRunTheQueue) {
  LocalGateway gateway(LocalGateway::Options{.https = true});
  gateway.setDefaultReply(GatewayReply::json(200, samples::kStatusReply));
  auto client = makeClient(gateway.url(), kClientID, kToken, kShortTimeout);
  CompletionProbe<TransactionStatusDTO> probe;
  client->request<TransactionStatusDTO>(statusRouter(gateway.url()), probe.completion());

  ASSERT_TRUE(gateway.waitForRequests(1, 10s)) << "nothing sent while the main queue was not run";
  ASSERT_TRUE(waitFor([] { return dispatch::MainQueueAccess::pendingCount(dispatch::MainQueue::main()) > 0; }));
  EXPECT_FALSE(probe.called());
  drive([&] { return probe.called(); });
  ASSERT_TRUE(probe.called());
  EXPECT_TRUE(probe.result().isSuccess()) << probe.result().error()->description();
  EXPECT_EQ(gateway.requestCount(), 1u);
}

// Every attempt fails while a main-queue task holds the host's thread through all the
// retries: the client's three retries still go exactly the retry delay apart (on the
// injected clock), and the final failure runs once the host's thread is free.
TEST_F(NetworkThreadTest, RetriesKeepTheirDelayWhileTheHostThreadIsBlocked) {
  LocalGateway gateway;
  std::mutex mutex;
  std::vector<dispatch::TimePoint> arrivals;
  gateway.setResponder([&](const RecordedRequest&) {
    std::lock_guard lock(mutex);
    arrivals.push_back(clock_->now());
    return GatewayReply::json(500, "{}");
  });
  auto client = makeClient(gateway.url(), kClientID, kToken, kShortTimeout);
  const auto delay =
      std::chrono::duration_cast<dispatch::Duration>(std::chrono::duration<double>(client->retryDelay()));
  const http::IOLoop& loop = http::IOLoop::shared();

  bool blockEnded = false;
  dispatch::MainQueue::main().async([&] {
    for (std::size_t attempt = 1; attempt <= 3; ++attempt) {
      SCOPED_TRACE(attempt);
      ASSERT_TRUE(gateway.waitForRequests(attempt, 10s));
      ASSERT_TRUE(waitFor([&] { return loop.delayedTaskCount() == 1; })) << "no retry waiting";
      clock_->advance(delay - 100ms);
      std::this_thread::sleep_for(50ms);
      EXPECT_EQ(gateway.requestCount(), attempt) << "retried before the delay had passed";
      clock_->advance(100ms);
      ASSERT_TRUE(gateway.waitForRequests(attempt + 1, 10s)) << "no retry while the host's thread was blocked";
    }
    blockEnded = true;
  });
  CompletionProbe<TransactionStatusDTO> probe;
  client->request<TransactionStatusDTO>(statusRouter(gateway.url()), probe.completion());
  drive([&] { return probe.called(); });

  EXPECT_TRUE(blockEnded);
  ASSERT_TRUE(probe.called());
  const auto* error = dynamic_cast<const http::RequestError*>(probe.result().error().get());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->responseCode(), 500);
  std::lock_guard lock(mutex);
  ASSERT_EQ(arrivals.size(), 4u);
  for (std::size_t i = 1; i < arrivals.size(); ++i) {
    EXPECT_EQ(arrivals[i] - arrivals[i - 1], delay) << "between attempts " << i << " and " << i + 1;
  }
  EXPECT_EQ(systemLogStartingWith("Retrying request").size(), 3u);
}

}  // namespace
}  // namespace keln::testing
