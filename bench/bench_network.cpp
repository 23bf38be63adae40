// Cost of a status query through the SDK's network client, set against a bare libcurl
// handle on a local gateway: over a kept-alive connection, and as the first request of a
// fresh client over HTTPS. Also the connections one client opens for a run of sequential
// queries.
//
// The client's log lines are written in full (banner and all) to a scratch file standing
// in for standard error, so the figures hold what a real log line costs short of the
// terminal. Client and bare libcurl each talk to a gateway of their own, so that each
// connection count is that side's alone.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
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

std::unique_ptr<LocalGateway> makeGateway(bool https = false) {
  auto gateway = std::make_unique<LocalGateway>(LocalGateway::Options{.https = https});
  gateway->setDefaultReply(GatewayReply::json(200, nlohmann::json::parse(keln::samples::kStatusReply).dump()));
  return gateway;
}

// While alive, standard error goes to a scratch file, so that every system-log line is
// formatted and written as in a host, without a terminal's cost.
class StandardErrorToScratchFile {
 public:
  StandardErrorToScratchFile() : scratch_(std::tmpfile()) {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    if (!scratch_ || saved_ < 0 || ::dup2(::fileno(scratch_), STDERR_FILENO) < 0) {
      throw std::runtime_error("cannot redirect standard error");
    }
  }
  ~StandardErrorToScratchFile() {
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    std::fclose(scratch_);
  }
  StandardErrorToScratchFile(const StandardErrorToScratchFile&) = delete;
  StandardErrorToScratchFile& operator=(const StandardErrorToScratchFile&) = delete;

 private:
  std::FILE* scratch_;
  int saved_ = -1;
};

keln::http::SessionConfiguration trustingTestAuthority() {
  keln::http::SessionConfiguration configuration = keln::DefaultNetworkClient::defaultSessionConfiguration();
  configuration.additionalTrustedCertificatesFile = LocalGateway::trustedAuthorityPath();
  return configuration;
}

// One client for a run of status queries, each waiting on the main queue for its
// completion. Its session is set up as in a host unless told otherwise.
class ClientQuery {
 public:
  explicit ClientQuery(const std::string& root, keln::http::SessionConfiguration sessionConfiguration =
                                                    keln::DefaultNetworkClient::defaultSessionConfiguration())
      : client_(keln::NetworkConfigurationData(root, kClientID, kToken), std::move(sessionConfiguration)),
        router_(std::make_shared<keln::PaymentRouter>(keln::PaymentRouter::status(root, "tx-42"))) {}

  void run() {
    bool done = false;
    std::string failure = "no reply in time";
    client_.request<keln::TransactionStatusDTO>(router_, [&](keln::Result<keln::TransactionStatusDTO> result) {
      failure = result.isSuccess() ? "" : result.error()->description();
      done = true;
    });
    keln::dispatch::MainQueue::main().runUntil([&] { return done; }, std::chrono::seconds(60));
    if (!failure.empty()) throw std::runtime_error("status query through the client failed: " + failure);
  }

 private:
  keln::DefaultNetworkClient client_;
  std::shared_ptr<const keln::Router> router_;
};

// The system's certificate authorities and the test authority, loaded once, as a bare
// libcurl program that keeps its store in memory would have them.
X509_STORE* preloadedStore() {
  static X509_STORE* store = [] {
    X509_STORE* made = X509_STORE_new();
    char* bundle = nullptr;
    if (CURL* probe = curl_easy_init()) {
      curl_easy_getinfo(probe, CURLINFO_CAINFO, &bundle);
      if (bundle) X509_STORE_load_file(made, bundle);
      curl_easy_cleanup(probe);
    }
    if (X509_STORE_load_file(made, LocalGateway::trustedAuthorityPath().c_str()) != 1) {
      throw std::runtime_error("cannot load the test authority");
    }
    return made;
  }();
  return store;
}

CURLcode usePreloadedStore(CURL*, void* context, void*) {
  SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(context), preloadedStore());
  return CURLE_OK;
}

// The same query on a libcurl handle. Reused, it keeps its connection alive; made anew
// for each query, it opens a connection each time, with the trusted authorities already
// in memory, and makes a full TLS handshake unless given a cache of TLS sessions.
class BareCurlQuery {
 public:
  // With `share`, the handle resumes TLS sessions kept there.
  explicit BareCurlQuery(const std::string& root, CURLSH* share = nullptr) : handle_(curl_easy_init()) {
    if (share) curl_easy_setopt(handle_, CURLOPT_SHARE, share);
    const std::string url = root + "/api/v1/payments/tx-42/status";
    headers_ = curl_slist_append(headers_, (std::string("Authorization: Bearer ") + kToken).c_str());
    headers_ = curl_slist_append(headers_, (std::string("X-IBM-Client-Id: ") + kClientID).c_str());
    curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &BareCurlQuery::write);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &body_);
    curl_easy_setopt(handle_, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(handle_, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(handle_, CURLOPT_SSL_CTX_FUNCTION, &usePreloadedStore);
  }
  ~BareCurlQuery() {
    curl_slist_free_all(headers_);
    curl_easy_cleanup(handle_);
  }

  void run() {
    body_.clear();
    long status = 0;
    if (curl_easy_perform(handle_) != CURLE_OK ||
        curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) {
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
  StandardErrorToScratchFile log;
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
  auto clientGateway = makeGateway();
  auto bareGateway = makeGateway();
  StandardErrorToScratchFile log;
  ClientQuery client(clientGateway->url());
  BareCurlQuery bare(bareGateway->url());
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
  state.counters["client_connections"] = static_cast<double>(clientGateway->acceptedConnections());
  state.counters["bare_curl_connections"] = static_cast<double>(bareGateway->acceptedConnections());
}
BENCHMARK(BM_StatusQueryClientOverBareCurl)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The first status query of a fresh client over HTTPS (as every payment makes one),
// against a fresh libcurl handle making the same first request, alternating in one run:
// one handle with a full handshake, and one that resumes a TLS session as the client
// does. Each side's clock runs from making its client or handle until the reply is in;
// tearing them down is not counted. A warm-up round first loads whatever is loaded once
// per process.
void BM_FirstQueryOverHTTPSClientOverBareCurl(benchmark::State& state) {
  auto clientGateway = makeGateway(true);
  auto bareGateway = makeGateway(true);
  auto resumingGateway = makeGateway(true);
  CURLSH* sessions = curl_share_init();
  curl_share_setopt(sessions, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  StandardErrorToScratchFile log;
  { ClientQuery(clientGateway->url(), trustingTestAuthority()).run(); }
  { BareCurlQuery(bareGateway->url()).run(); }
  { BareCurlQuery(resumingGateway->url(), sessions).run(); }
  Clock::duration clientTime{}, bareTime{}, resumingTime{};
  for (auto _ : state) {
    {
      const Clock::time_point start = Clock::now();
      ClientQuery client(clientGateway->url(), trustingTestAuthority());
      client.run();
      clientTime += Clock::now() - start;
    }
    {
      const Clock::time_point start = Clock::now();
      BareCurlQuery bare(bareGateway->url());
      bare.run();
      bareTime += Clock::now() - start;
    }
    {
      const Clock::time_point start = Clock::now();
      BareCurlQuery bare(resumingGateway->url(), sessions);
      bare.run();
      resumingTime += Clock::now() - start;
    }
  }
  curl_share_cleanup(sessions);
  const double iterations = static_cast<double>(state.iterations());
  state.counters["client_us"] = seconds(clientTime) / iterations * 1e6;
  state.counters["bare_curl_us"] = seconds(bareTime) / iterations * 1e6;
  state.counters["bare_curl_resuming_us"] = seconds(resumingTime) / iterations * 1e6;
  state.counters["ratio"] = seconds(clientTime) / seconds(bareTime);
  state.counters["ratio_to_resuming"] = seconds(clientTime) / seconds(resumingTime);
  state.counters["client_connections_per_query"] =
      static_cast<double>(clientGateway->acceptedConnections()) / (iterations + 1);
  state.counters["bare_curl_connections_per_query"] =
      static_cast<double>(bareGateway->acceptedConnections()) / (iterations + 1);
}
BENCHMARK(BM_FirstQueryOverHTTPSClientOverBareCurl)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Connections the gateway accepted while one client made 100 sequential status queries.
void BM_ConnectionsFor100SequentialQueries(benchmark::State& state) {
  double connections = 0;
  for (auto _ : state) {
    auto gateway = makeGateway();
    StandardErrorToScratchFile log;
    ClientQuery query(gateway->url());
    for (int i = 0; i < 100; ++i) query.run();
    connections = static_cast<double>(gateway->acceptedConnections());
  }
  state.counters["connections"] = connections;
}
BENCHMARK(BM_ConnectionsFor100SequentialQueries)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
