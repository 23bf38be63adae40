// Cost of a status query through the SDK's network client, set against a bare libcurl
// handle with keep-alive on the same local gateway, and the connections one client opens
// for a run of sequential queries.
//
// The client's log lines are captured rather than written, so the figures hold the cost
// of building them but not of the terminal.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <keln/model/TransactionStatus.h>
#include <keln/platform/MainQueue.h>

#include "core/network/DefaultNetworkClient.h"
#include "core/network/NetworkConfiguration.h"
#include "core/network/PaymentRouter.h"
#include "foundation/Log.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace {

using Clock = std::chrono::steady_clock;
using keln::testing::GatewayReply;
using keln::testing::LocalGateway;

constexpr const char* kClientID = "bench-client";
constexpr const char* kToken = "bench-token";

std::unique_ptr<LocalGateway> makeGateway() {
  auto gateway = std::make_unique<LocalGateway>();
  gateway->setDefaultReply(GatewayReply::json(200, nlohmann::json::parse(keln::samples::kStatusReply).dump()));
  return gateway;
}

// One status query through the client, waiting on the main queue for its completion.
class ClientQuery {
 public:
  explicit ClientQuery(const std::string& root)
      : client_(keln::NetworkConfigurationData(root, kClientID, kToken)),
        router_(std::make_shared<keln::PaymentRouter>(keln::PaymentRouter::status(root, "tx-42"))) {}

  void run() {
    bool done = false;
    bool ok = false;
    client_.request<keln::TransactionStatusDTO>(router_, [&](keln::Result<keln::TransactionStatusDTO> result) {
      ok = result.isSuccess();
      done = true;
    });
    keln::dispatch::MainQueue::main().runUntil([&] { return done; }, std::chrono::seconds(10));
    if (!ok) throw std::runtime_error("status query through the client failed");
    capture_.clear();
  }

 private:
  keln::foundation::ScopedLogCapture capture_;
  keln::DefaultNetworkClient client_;
  std::shared_ptr<const keln::Router> router_;
};

// The same query on one reused libcurl handle, which keeps its connection alive.
class BareCurlQuery {
 public:
  explicit BareCurlQuery(const std::string& root) : handle_(curl_easy_init()) {
    const std::string url = root + "/api/v1/payments/tx-42/status";
    headers_ = curl_slist_append(headers_, (std::string("Authorization: Bearer ") + kToken).c_str());
    headers_ = curl_slist_append(headers_, (std::string("X-IBM-Client-Id: ") + kClientID).c_str());
    curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &BareCurlQuery::write);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &body_);
  }
  ~BareCurlQuery() {
    curl_slist_free_all(headers_);
    curl_easy_cleanup(handle_);
  }

  void run() {
    body_.clear();
    long status = 0;
    if (curl_easy_perform(handle_) != CURLE_OK || curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK ||
        status != 200) {
      throw std::runtime_error("status query through libcurl failed");
    }
    benchmark::DoNotOptimize(body_.data());
  }

 private:
  static size_t write(char* data, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
  }

  CURL* handle_;
  curl_slist* headers_ = nullptr;
  std::string body_;
};

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

void BM_StatusQueryThroughClient(benchmark::State& state) {
  auto gateway = makeGateway();
  ClientQuery query(gateway->url());
  query.run();  // opens the session and its connection
  for (auto _ : state) query.run();
  state.counters["connections"] = static_cast<double>(gateway->acceptedConnections());
}
BENCHMARK(BM_StatusQueryThroughClient)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_StatusQueryBareCurl(benchmark::State& state) {
  auto gateway = makeGateway();
  BareCurlQuery query(gateway->url());
  query.run();
  for (auto _ : state) query.run();
  state.counters["connections"] = static_cast<double>(gateway->acceptedConnections());
}
BENCHMARK(BM_StatusQueryBareCurl)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Both, alternating in one run, so that the ratio compares like with like.
void BM_StatusQueryClientOverBareCurl(benchmark::State& state) {
  auto gateway = makeGateway();
  ClientQuery client(gateway->url());
  BareCurlQuery bare(gateway->url());
  client.run();
  bare.run();
  Clock::duration clientTime{}, bareTime{};
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    client.run();
    Clock::time_point middle = Clock::now();
    bare.run();
    bareTime += Clock::now() - middle;
    clientTime += middle - start;
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["client_us"] = seconds(clientTime) / iterations * 1e6;
  state.counters["bare_curl_us"] = seconds(bareTime) / iterations * 1e6;
  state.counters["ratio"] = seconds(clientTime) / seconds(bareTime);
}
BENCHMARK(BM_StatusQueryClientOverBareCurl)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Connections the gateway accepted while one client made 100 sequential status queries.
void BM_ConnectionsFor100SequentialQueries(benchmark::State& state) {
  double connections = 0;
  for (auto _ : state) {
    auto gateway = makeGateway();
    ClientQuery query(gateway->url());
    for (int i = 0; i < 100; ++i) query.run();
    connections = static_cast<double>(gateway->acceptedConnections());
  }
  state.counters["connections"] = connections;
}
BENCHMARK(BM_ConnectionsFor100SequentialQueries)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
