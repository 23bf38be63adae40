// The HTTP layer's own costs: building a request (URL parsing, path appending, JSON body)
// and one round trip through a session to a gateway on 127.0.0.1 over a kept-alive
// connection, plain and TLS.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <optional>

#include <keln/dispatch/MainQueue.h>

#include "GatewayProcess.h"
#include "foundation/URL.h"
#include "http/ParameterEncoding.h"
#include "http/Session.h"

namespace {

using namespace std::chrono_literals;
using keln::bench::GatewayProcess;
using keln::dispatch::MainQueue;
using keln::foundation::URL;
namespace http = keln::http;

http::Parameters checkoutParameters() {
  return {{"merchant", {{"terminalId", 12345}, {"channel", "web"}, {"shopURL", "https://shop.example/x"}}},
          {"transaction",
           {{"paymentType", "PURS"},
            {"transactionId", "TX-0001"},
            {"amount", {{"value", 149.99}, {"currency", "EUR"}}},
            {"description", "Order 0001 with a few items"}}},
          {"customer", {{"email", "someone@example.com"}, {"name", "Some One"}}}};
}

void BM_BuildStatusURL(benchmark::State& state) {
  for (auto _ : state) {
    std::optional<URL> base = URL::parse("https://api.quality.keln-payments.com");
    URL url = base->appendingPathComponent("/api/v1/payments/TX-0001 2/status");
    benchmark::DoNotOptimize(url);
  }
}
BENCHMARK(BM_BuildStatusURL);

void BM_EncodeCheckoutBody(benchmark::State& state) {
  const http::Parameters parameters = checkoutParameters();
  const http::URLRequest request(*URL::parse("https://api.quality.keln-payments.com/api/v1/payments"));
  for (auto _ : state) {
    http::URLRequest encoded = http::JSONEncoding::defaultEncoding().encode(request, parameters);
    benchmark::DoNotOptimize(encoded);
  }
}
BENCHMARK(BM_EncodeCheckoutBody);

// One request and its completion on the main queue, per iteration, on one session, to a
// gateway in a process of its own. The reply has no body, so the server answers in a
// single write and the figure is not swayed by how the test server splits a reply into
// packets.
void roundTrip(benchmark::State& state, bool https) {
  GatewayProcess gateway(GatewayProcess::Options{.https = https, .empty = true});
  http::SessionConfiguration configuration;
  configuration.additionalTrustedCertificatesFile = gateway.trustedAuthorityPath();
  http::Session session(configuration);
  http::URLRequest request(*URL::parse(gateway.url() + "/api/v1/payments/TX-0001/status"));
  auto convertible = std::make_shared<http::URLRequest>(request);
  for (auto _ : state) {
    bool done = false;
    bool failed = false;
    session.request(convertible)->validate().responseData([&](http::DataResponse response) {
      failed = response.error() != nullptr;
      done = true;
    });
    MainQueue::main().runUntil([&] { return done; }, 10s);
    if (!done || failed) {
      state.SkipWithError("request failed");
      break;
    }
  }
  state.counters["connections"] = static_cast<double>(gateway.acceptedConnections());
}

void BM_RoundTripHTTP(benchmark::State& state) { roundTrip(state, false); }
void BM_RoundTripHTTPS(benchmark::State& state) { roundTrip(state, true); }
BENCHMARK(BM_RoundTripHTTP)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTripHTTPS)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
