// What the network client does while the host treats its main thread badly, in real time
// with the client's real time-outs (30 s) and retries (3, 5 s apart), against a gateway in
// a process of its own that answers in 1 s (or fails at once, for the retries). One
// iteration each; about two minutes in all. The counters are in seconds from the call:
//  - requests / posts: what the gateway received;
//  - result_s: when the outcome ran on the main thread;
//  - first_request_s: when the request reached the gateway;
//  - retry_interval_N_s: between the gateway's receipt of attempt N and of attempt N + 1.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <keln/dispatch/MainQueue.h>
#include <keln/model/CheckoutRequest.h>

#include "GatewayProcess.h"
#include "core/network/DefaultNetworkClient.h"
#include "core/network/NetworkConfiguration.h"
#include "core/network/PaymentRouter.h"
#include "foundation/Log.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using keln::bench::GatewayProcess;
using keln::dispatch::MainQueue;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

keln::CheckoutRequest checkout() {
  using namespace keln;
  return CheckoutRequest(Merchant(1234, "order-1", std::nullopt, "web", "https://shop.example/cart", "Order 1"),
                         Transaction("2024-05-01T10:00:00.000Z", "Order 1", "PURS", Amount(149.99, "PLN"),
                                     {PaymentMethod::card, PaymentMethod::blik}),
                         std::nullopt, std::nullopt);
}

// One call of a fresh client, its outcome, and what the gateway saw.
class Probe {
 public:
  explicit Probe(GatewayProcess::Options options)
      : gateway_(options),
        client_(std::make_shared<keln::DefaultNetworkClient>(
            keln::NetworkConfigurationData(gateway_.url(), "bench-client", "bench-token"))) {}

  void call(bool post) {
    std::shared_ptr<const keln::Router> router =
        post ? std::make_shared<keln::PaymentRouter>(keln::PaymentRouter::payment(gateway_.url(), checkout()))
             : std::make_shared<keln::PaymentRouter>(keln::PaymentRouter::status(gateway_.url(), "tx-42"));
    called_ = Clock::now();
    client_->requestData(router, [this](keln::Result<std::string>) { result_ = Clock::now(); });
  }
  bool done() const { return result_.has_value(); }
  void runUntilDone() {
    MainQueue::main().runUntil([this] { return done(); }, 120s);
  }
  GatewayProcess& gateway() { return gateway_; }

  void report(benchmark::State& state) {
    const auto arrivals = gateway_.arrivals();
    state.counters["requests"] = static_cast<double>(arrivals.size());
    state.counters["posts"] = static_cast<double>(
        std::count_if(arrivals.begin(), arrivals.end(), [](const auto& a) { return a.method == "POST"; }));
    if (result_) state.counters["result_s"] = secondsBetween(called_, *result_);
    if (!arrivals.empty()) state.counters["first_request_s"] = secondsBetween(called_, arrivals[0].time);
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
      state.counters["retry_interval_" + std::to_string(i) + "_s"] =
          secondsBetween(arrivals[i - 1].time, arrivals[i].time);
    }
  }

 private:
  GatewayProcess gateway_;
  std::shared_ptr<keln::DefaultNetworkClient> client_;
  Clock::time_point called_;
  std::optional<Clock::time_point> result_;
};

// Once the gateway has received the first request (and `after` more has passed), posts a
// task that blocks the host's thread for `duration`. Joined when it goes.
class BlockWhenTheGatewayHasTheRequest {
 public:
  BlockWhenTheGatewayHasTheRequest(Probe& probe, Clock::duration duration, Clock::duration after = {})
      : thread_([&probe, duration, after] {
          while (probe.gateway().arrivals().empty()) std::this_thread::sleep_for(1ms);
          std::this_thread::sleep_for(after);
          MainQueue::main().async([duration] { std::this_thread::sleep_for(duration); });
        }) {}
  ~BlockWhenTheGatewayHasTheRequest() { thread_.join(); }

 private:
  std::thread thread_;
};

constexpr GatewayProcess::Options kAnswersIn1s{.delayMilliseconds = 1000};
constexpr GatewayProcess::Options kFailsAtOnce{.status = 503};

// A main-queue task blocks for 35 s from the moment the request reached the gateway.
void blockedThroughTheReply(benchmark::State& state, bool post) {
  keln::foundation::ScopedLogCapture quiet;
  for (auto _ : state) {
    Probe probe(kAnswersIn1s);
    probe.call(post);
    {
      BlockWhenTheGatewayHasTheRequest block(probe, 35s);
      probe.runUntilDone();
    }
    probe.report(state);
  }
}
void BM_StatusQueryWhileTheHostBlocks35s(benchmark::State& state) { blockedThroughTheReply(state, false); }
void BM_CheckoutWhileTheHostBlocks35s(benchmark::State& state) { blockedThroughTheReply(state, true); }
BENCHMARK(BM_StatusQueryWhileTheHostBlocks35s)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_CheckoutWhileTheHostBlocks35s)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// The host does not run the queue for 5 s after the call.
void BM_HostIdleFor5sAfterTheCall(benchmark::State& state) {
  keln::foundation::ScopedLogCapture quiet;
  for (auto _ : state) {
    Probe probe(kAnswersIn1s);
    probe.call(false);
    std::this_thread::sleep_for(5s);
    probe.runUntilDone();
    probe.report(state);
  }
}
BENCHMARK(BM_HostIdleFor5sAfterTheCall)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// For 5 s the queue always has a task ready: each works for 1 ms, then posts itself again.
void BM_BusyQueueFor5s(benchmark::State& state) {
  keln::foundation::ScopedLogCapture quiet;
  for (auto _ : state) {
    Probe probe(kAnswersIn1s);
    const Clock::time_point busyUntil = Clock::now() + 5s;
    std::function<void()> busy = [&] {
      std::this_thread::sleep_for(1ms);
      if (Clock::now() < busyUntil) MainQueue::main().async(busy);
    };
    MainQueue::main().async(busy);
    probe.call(false);
    probe.runUntilDone();
    MainQueue::main().runUntil([&] { return Clock::now() >= busyUntil; }, 10s);
    MainQueue::main().runFor(10ms);
    probe.report(state);
  }
}
BENCHMARK(BM_BusyQueueFor5s)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// Every attempt fails at once; a task blocks the host's thread for 7 s right after the
// first failure.
void BM_RetriesWhileTheHostBlocks7sAfterTheFirstFailure(benchmark::State& state) {
  keln::foundation::ScopedLogCapture quiet;
  for (auto _ : state) {
    Probe probe(kFailsAtOnce);
    probe.call(false);
    {
      BlockWhenTheGatewayHasTheRequest block(probe, 7s, 20ms);  // 20 ms: the failure has come back
      probe.runUntilDone();
    }
    probe.report(state);
  }
}
BENCHMARK(BM_RetriesWhileTheHostBlocks7sAfterTheFirstFailure)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// Every attempt fails at once; the host runs the queue with runPending() every 0.1 s.
void BM_RetriesWhileTheHostRunsPendingEvery100ms(benchmark::State& state) {
  keln::foundation::ScopedLogCapture quiet;
  for (auto _ : state) {
    Probe probe(kFailsAtOnce);
    probe.call(false);
    const Clock::time_point giveUp = Clock::now() + 60s;
    while (!probe.done() && Clock::now() < giveUp) {
      MainQueue::main().runPending();
      std::this_thread::sleep_for(100ms);
    }
    probe.report(state);
  }
}
BENCHMARK(BM_RetriesWhileTheHostRunsPendingEvery100ms)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
