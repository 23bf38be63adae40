// Cost of a status query through the SDK's network client, set against what its design
// can reach at best and against a bare libcurl handle, each gateway a process of its own
// (bench/gateway) so that no server thread shares the measuring process:
//  - the round trip, against the limit of a design that does its I/O on a thread of its
//    own: a libcurl handle on a worker thread, each request handed to it from the main
//    thread and its reply handed back to the main thread waiting on the main queue, through
//    the same kind of wake-up as the SDK's (an eventfd, and the main queue's own);
//  - the CPU time a query costs the process, against a bare libcurl handle on the calling
//    thread;
//  - how often the SDK's network thread wakes while no transfer is under way;
//  - the first query of a fresh client over HTTPS, and the connections of a run of
//    queries.
//
// The client's log lines are written in full (banner and all) to a scratch file standing
// in for standard error, so the figures hold what a real log line costs short of the
// terminal.

#include <benchmark/benchmark.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <keln/dispatch/MainQueue.h>
#include <keln/model/TransactionStatus.h>

#include "GatewayProcess.h"
#include "core/network/DefaultNetworkClient.h"
#include "core/network/NetworkConfiguration.h"
#include "core/network/PaymentRouter.h"
#include "foundation/Log.h"
#include "http/IOLoop.h"

namespace {

using Clock = std::chrono::steady_clock;
using keln::bench::GatewayProcess;

constexpr const char* kClientID = "bench-client";
constexpr const char* kToken = "bench-token";

std::unique_ptr<GatewayProcess> makeGateway(bool https = false) {
  return std::make_unique<GatewayProcess>(GatewayProcess::Options{.https = https});
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

keln::http::SessionConfiguration trusting(const GatewayProcess& gateway) {
  keln::http::SessionConfiguration configuration = keln::DefaultNetworkClient::defaultSessionConfiguration();
  configuration.additionalTrustedCertificatesFile = gateway.trustedAuthorityPath();
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

// The system's certificate authorities and a gateway's test authority, loaded once per
// authority, as a bare libcurl program that keeps its store in memory would have them.
X509_STORE* preloadedStore(const std::string& testAuthorityPath) {
  static std::map<std::string, X509_STORE*> stores;
  X509_STORE*& store = stores[testAuthorityPath];
  if (store) return store;
  store = X509_STORE_new();
  char* bundle = nullptr;
  if (CURL* probe = curl_easy_init()) {
    curl_easy_getinfo(probe, CURLINFO_CAINFO, &bundle);
    if (bundle) X509_STORE_load_file(store, bundle);
    curl_easy_cleanup(probe);
  }
  if (X509_STORE_load_file(store, testAuthorityPath.c_str()) != 1) {
    throw std::runtime_error("cannot load the test authority");
  }
  return store;
}

CURLcode usePreloadedStore(CURL*, void* context, void* store) {
  SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(context), static_cast<X509_STORE*>(store));
  return CURLE_OK;
}

// The same query on a libcurl handle. Reused, it keeps its connection alive; made anew
// for each query, it opens a connection each time, with the trusted authorities already
// in memory, and makes a full TLS handshake unless given a cache of TLS sessions.
class BareCurlQuery {
 public:
  // With `share`, the handle resumes TLS sessions kept there.
  // `authority`: the test authority to trust besides the system's (HTTPS only).
  explicit BareCurlQuery(const std::string& root, const std::string& authority = "", CURLSH* share = nullptr)
      : handle_(curl_easy_init()) {
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
    if (!authority.empty()) {
      curl_easy_setopt(handle_, CURLOPT_SSL_CTX_FUNCTION, &usePreloadedStore);
      curl_easy_setopt(handle_, CURLOPT_SSL_CTX_DATA, preloadedStore(authority));
    }
  }
  ~BareCurlQuery() {
    curl_slist_free_all(headers_);
    curl_easy_cleanup(handle_);
  }

  void run() {
    body_.clear();
    long status = 0;
    const CURLcode code = curl_easy_perform(handle_);
    if (code != CURLE_OK || curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) {
      throw std::runtime_error(std::string("status query through libcurl failed: ") + curl_easy_strerror(code) +
                               ", status " + std::to_string(status));
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

// The limit of a design that does its network I/O on a thread of its own: a libcurl handle
// kept on a worker thread that sleeps on an eventfd; the main thread hands it each query
// and waits on the main queue, where the worker posts the reply's arrival.
class HandedOffCurlQuery {
 public:
  explicit HandedOffCurlQuery(const std::string& root)
      : query_(root), wake_(::eventfd(0, EFD_CLOEXEC)), worker_([this] { work(); }) {}
  ~HandedOffCurlQuery() {
    stopping_.store(true);
    signal();
    worker_.join();
    ::close(wake_);
  }
  HandedOffCurlQuery(const HandedOffCurlQuery&) = delete;
  HandedOffCurlQuery& operator=(const HandedOffCurlQuery&) = delete;

  void run() {
    bool done = false;
    done_ = &done;
    signal();
    keln::dispatch::MainQueue::main().runUntil([&] { return done; }, std::chrono::seconds(60));
    if (!done || failed_.load()) throw std::runtime_error("status query through the worker failed");
  }

 private:
  void signal() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_, &one, sizeof one);
  }
  void work() {
    while (true) {
      pollfd descriptor{wake_, POLLIN, 0};
      ::poll(&descriptor, 1, -1);
      std::uint64_t count = 0;
      [[maybe_unused]] const auto drained = ::read(wake_, &count, sizeof count);
      if (stopping_.load()) return;
      try {
        query_.run();
      } catch (...) {
        failed_.store(true);
      }
      keln::dispatch::MainQueue::main().async([done = done_] { *done = true; });
    }
  }

  BareCurlQuery query_;
  const int wake_;
  bool* done_ = nullptr;  // written by the main thread before the hand-off that the worker reads
  std::atomic<bool> stopping_{false};
  std::atomic<bool> failed_{false};
  std::thread worker_;
};

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

Clock::duration processCPUTime() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Times the kernel switched the thread `tid` of this process out, by its choice or not:
// every wake-up of a thread that sleeps counts once.
long contextSwitches(pid_t tid) {
  std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
  long total = 0;
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
      total += std::stol(line.substr(line.find(':') + 1));
    }
  }
  return total;
}

// The status round trip through the client, and through the limit of its design,
// alternating in one run, each with a gateway process of its own. Goal: ratio <= 1.20.
void BM_StatusRoundTripClientOverLimit(benchmark::State& state) {
  auto clientGateway = makeGateway();
  auto limitGateway = makeGateway();
  StandardErrorToScratchFile log;
  ClientQuery client(clientGateway->url());
  HandedOffCurlQuery limit(limitGateway->url());
  client.run();
  limit.run();
  Clock::duration clientTime{}, limitTime{};
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    client.run();
    Clock::time_point middle = Clock::now();
    limit.run();
    limitTime += Clock::now() - middle;
    clientTime += middle - start;
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["client_us"] = seconds(clientTime) / iterations * 1e6;
  state.counters["limit_us"] = seconds(limitTime) / iterations * 1e6;
  state.counters["ratio"] = seconds(clientTime) / seconds(limitTime);
  state.counters["client_connections"] = static_cast<double>(clientGateway->acceptedConnections());
  state.counters["limit_connections"] = static_cast<double>(limitGateway->acceptedConnections());
}
BENCHMARK(BM_StatusRoundTripClientOverLimit)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The CPU time (all of the process's threads: the task clock) one status query costs
// through the client, against a bare libcurl handle on the calling thread and against
// the limit above, alternating. Goal: ratio <= 1.5.
void BM_CPUPerQueryClientOverBareCurl(benchmark::State& state) {
  auto clientGateway = makeGateway();
  auto bareGateway = makeGateway();
  auto limitGateway = makeGateway();
  StandardErrorToScratchFile log;
  ClientQuery client(clientGateway->url());
  BareCurlQuery bare(bareGateway->url());
  HandedOffCurlQuery limit(limitGateway->url());
  client.run();
  bare.run();
  limit.run();
  Clock::duration clientCPU{}, bareCPU{}, limitCPU{};
  for (auto _ : state) {
    const Clock::duration start = processCPUTime();
    client.run();
    const Clock::duration afterClient = processCPUTime();
    bare.run();
    const Clock::duration afterBare = processCPUTime();
    limit.run();
    limitCPU += processCPUTime() - afterBare;
    bareCPU += afterBare - afterClient;
    clientCPU += afterClient - start;
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["client_cpu_us"] = seconds(clientCPU) / iterations * 1e6;
  state.counters["bare_curl_cpu_us"] = seconds(bareCPU) / iterations * 1e6;
  state.counters["limit_cpu_us"] = seconds(limitCPU) / iterations * 1e6;
  state.counters["ratio"] = seconds(clientCPU) / seconds(bareCPU);
}
BENCHMARK(BM_CPUPerQueryClientOverBareCurl)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Wake-ups of the SDK's network thread per second while no transfer is under way: after a
// query, with the client, its session and its kept-alive connection still there, for three
// seconds. Goal: 0.
void BM_NetworkThreadWakeUpsWhileIdle(benchmark::State& state) {
  auto gateway = makeGateway();
  StandardErrorToScratchFile log;
  ClientQuery client(gateway->url());
  client.run();
  const pid_t thread = keln::http::IOLoop::shared().threadID();
  if (thread == 0) {
    state.SkipWithError("the network thread has not started");
    return;
  }
  constexpr auto kIdle = std::chrono::seconds(3);
  long wakeUps = 0;
  for (auto _ : state) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the query's last steps
    const long before = contextSwitches(thread);
    std::this_thread::sleep_for(kIdle);
    wakeUps = contextSwitches(thread) - before;
  }
  state.counters["wake_ups_per_second"] = static_cast<double>(wakeUps) / static_cast<double>(kIdle.count());
}
BENCHMARK(BM_NetworkThreadWakeUpsWhileIdle)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The first status query of a fresh client over HTTPS (as every payment makes one),
// against a fresh libcurl handle making the same first request, alternating in one run:
// one handle with a full handshake, and one that resumes a TLS session as the client
// does (both on one gateway, which makes one authority for both to trust). Each side's
// clock runs from making its client or handle until the reply is in; tearing them down is
// not counted. A warm-up round first loads whatever is loaded once per process.
void BM_FirstQueryOverHTTPSClientOverBareCurl(benchmark::State& state) {
  auto clientGateway = makeGateway(true);
  auto bareGateway = makeGateway(true);
  const std::string& authority = bareGateway->trustedAuthorityPath();
  CURLSH* sessions = curl_share_init();
  curl_share_setopt(sessions, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  StandardErrorToScratchFile log;
  { ClientQuery(clientGateway->url(), trusting(*clientGateway)).run(); }
  { BareCurlQuery(bareGateway->url(), authority).run(); }
  { BareCurlQuery(bareGateway->url(), authority, sessions).run(); }
  Clock::duration clientTime{}, bareTime{}, resumingTime{};
  for (auto _ : state) {
    {
      const Clock::time_point start = Clock::now();
      ClientQuery client(clientGateway->url(), trusting(*clientGateway));
      client.run();
      clientTime += Clock::now() - start;
    }
    {
      const Clock::time_point start = Clock::now();
      BareCurlQuery bare(bareGateway->url(), authority);
      bare.run();
      bareTime += Clock::now() - start;
    }
    {
      const Clock::time_point start = Clock::now();
      BareCurlQuery bare(bareGateway->url(), authority, sessions);
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
      static_cast<double>(bareGateway->acceptedConnections()) / (2 * (iterations + 1));
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
