#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include <time.h>
#include <unistd.h>

#include <httplib.h>

#include <keln/dispatch/MainQueue.h>
#include <keln/foundation/Result.h>

#include "dispatch/MainQueueAccess.h"
#include "http/IOLoop.h"
#include "http/ParameterEncoding.h"
#include "http/RequestError.h"
#include "http/Session.h"
#include "http/TLSTrust.h"
#include "http/URLError.h"
#include "support/LocalGateway.h"

namespace keln::http {
namespace {

using namespace std::chrono_literals;
using dispatch::MainQueue;
using dispatch::MainQueueAccess;
using testing::GatewayReply;
using testing::LocalGateway;

class TextError final : public Error {
 public:
  explicit TextError(std::string text) : text_(std::move(text)) {}
  std::string description() const override { return "TextError(\"" + text_ + "\")"; }
  std::string localizedDescription() const override { return text_; }

 private:
  std::string text_;
};

// Makes a request with a function, counting how often it is asked to.
class Convertible final : public URLRequestConvertible {
 public:
  explicit Convertible(std::function<URLRequest()> make) : make_(std::move(make)) {}
  URLRequest asURLRequest() const override {
    ++calls;
    return make_();
  }
  mutable std::atomic<int> calls{0};

 private:
  std::function<URLRequest()> make_;
};

// Adapts and decides on retries as a test scripts it, recording what it was asked.
class ScriptedInterceptor final : public RequestInterceptor {
 public:
  std::function<URLRequest(URLRequest, int attempt)> onAdapt;
  std::function<RetryResult(int retryCount)> onRetry;

  URLRequest adapt(URLRequest request, Session&) override {
    const int attempt = ++adaptations;
    return onAdapt ? onAdapt(std::move(request), attempt) : request;
  }
  RetryResult retry(DataRequest& request, Session&, const Error& error) override {
    {
      std::lock_guard lock(mutex);
      retryCounts.push_back(request.retryCount());
      retryErrors.push_back(error.localizedDescription());
    }
    ++retries;
    return onRetry ? onRetry(request.retryCount()) : RetryResult::doNotRetry();
  }
  std::vector<int> counts() {
    std::lock_guard lock(mutex);
    return retryCounts;
  }

  std::atomic<int> adaptations{0};
  std::atomic<int> retries{0};
  std::mutex mutex;
  std::vector<int> retryCounts;
  std::vector<std::string> retryErrors;
};

URLRequest requestTo(const std::string& url, HTTPMethod method = HTTPMethod::get) {
  URLRequest request(*foundation::URL::parse(url));
  request.setMethod(method);
  return request;
}

std::shared_ptr<const URLRequestConvertible> fixed(URLRequest request) {
  return std::make_shared<URLRequest>(std::move(request));
}

// Drives the main queue until `condition` holds; for conditions that another thread
// makes true without posting to the main queue.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MainQueue::main().runPending();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

const RequestError* requestError(const DataResponse& response) {
  return dynamic_cast<const RequestError*>(response.error().get());
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override { MainQueueAccess::discardPending(MainQueue::main()); }
  void TearDown() override {
    MainQueue::main().setClock(nullptr);
    MainQueueAccess::discardPending(MainQueue::main());
  }

  struct Outcome {
    std::optional<DataResponse> response;
    int calls = 0;
  };

  // Starts the request and drives the main queue until its completion has run.
  std::shared_ptr<Outcome> start(DataRequest& request, bool validate = true) {
    auto outcome = std::make_shared<Outcome>();
    if (validate) request.validate();
    request.responseData([outcome](DataResponse response) {
      ++outcome->calls;
      outcome->response = std::move(response);
    });
    return outcome;
  }
  DataResponse await(const std::shared_ptr<Outcome>& outcome, std::chrono::milliseconds timeout = 10s) {
    EXPECT_TRUE(MainQueue::main().runUntil([&] { return outcome->calls > 0; }, timeout));
    MainQueue::main().runPending();
    EXPECT_EQ(outcome->calls, 1);
    return outcome->response.value_or(DataResponse(std::nullopt, std::nullopt, std::nullopt, nullptr));
  }
  DataResponse send(Session& session, std::shared_ptr<const URLRequestConvertible> convertible,
                    RequestInterceptor* interceptor = nullptr, bool validate = true) {
    return await(start(*session.request(std::move(convertible), interceptor), validate));
  }
};

TEST_F(SessionTest, SendsTheRequestAsBuilt) {
  LocalGateway gateway;
  gateway.setDefaultReply(GatewayReply::json(200, R"({"ok":true})"));
  Session session;

  URLRequest post = requestTo(gateway.url(), HTTPMethod::post);
  post.setURL(post.url().appendingPathComponent("/api/v1/payments"));
  post = JSONEncoding::defaultEncoding().encode(post, Parameters{{"shop", "https://shop/x"}, {"n", 1}});
  post.headers().add("Authorization", "Bearer  tok");
  const DataResponse posted = send(session, fixed(post));
  ASSERT_EQ(posted.error(), nullptr) << posted.error()->description();
  EXPECT_EQ(posted.data(), R"({"ok":true})");
  EXPECT_EQ(posted.statusCode(), 200);

  URLRequest status = requestTo(gateway.url());
  status.setURL(status.url().appendingPathComponent("/api/v1/payments/a b/status"));
  EXPECT_EQ(send(session, fixed(status)).error(), nullptr);

  EXPECT_EQ(send(session, fixed(requestTo(gateway.url() + "/empty", HTTPMethod::post))).error(), nullptr);

  const auto requests = gateway.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/api/v1/payments");
  EXPECT_EQ(requests[0].body, R"({"shop":"https:\/\/shop\/x","n":1})");
  EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer  tok");
  EXPECT_EQ(requests[0].header("Expect"), std::nullopt);

  EXPECT_EQ(requests[1].method, "GET");
  EXPECT_EQ(requests[1].target, "/api/v1/payments/a%20b/status");
  EXPECT_EQ(requests[1].header("Content-Type"), std::nullopt);
  EXPECT_EQ(requests[1].body, "");

  EXPECT_EQ(requests[2].method, "POST");
  EXPECT_EQ(requests[2].header("Content-Type"), std::nullopt);
  EXPECT_EQ(requests[2].header("Content-Length"), "0");
}

TEST_F(SessionTest, ValidatesRepliesAndEmptyBodies) {
  struct Case {
    const char* name;
    GatewayReply reply;
    HTTPMethod method;
    bool validate;
    const char* accept;
    const char* error;  // nullptr: success
    std::optional<std::string> data;
  };
  GatewayReply html = GatewayReply::json(200, "<p>hi</p>");
  html.headers = {{"Content-Type", "text/html; charset=utf-8"}};
  const Case cases[] = {
      {"500 rejected", GatewayReply::json(500, "{}"), HTTPMethod::get, true, nullptr,
       "Response status code was unacceptable: 500.", "{}"},
      {"500 empty: status first", GatewayReply::empty(500), HTTPMethod::get, true, nullptr,
       "Response status code was unacceptable: 500.", std::nullopt},
      {"404 unvalidated", GatewayReply::json(404, "nope"), HTTPMethod::get, false, nullptr, nullptr, "nope"},
      {"200 empty", GatewayReply::empty(200), HTTPMethod::get, true, nullptr,
       "Response could not be serialized, input data was nil or zero length.", std::nullopt},
      {"200 empty unvalidated", GatewayReply::empty(200), HTTPMethod::post, false, nullptr,
       "Response could not be serialized, input data was nil or zero length.", std::nullopt},
      {"204 empty", GatewayReply::empty(204), HTTPMethod::get, true, nullptr, nullptr, std::nullopt},
      {"205 empty", GatewayReply::empty(205), HTTPMethod::post, true, nullptr, nullptr, std::nullopt},
      {"HEAD", GatewayReply::json(200, "{}"), HTTPMethod::head, true, nullptr, nullptr, std::nullopt},
      {"accepted type", html, HTTPMethod::get, true, "application/json, text/*", nullptr, "<p>hi</p>"},
      {"unaccepted type", html, HTTPMethod::get, true, "application/json",
       "Response Content-Type \"text/html\" does not match any acceptable types: application/json.", "<p>hi</p>"},
  };
  LocalGateway gateway;
  Session session;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gateway.enqueue(c.reply);
    URLRequest request = requestTo(gateway.url() + "/x", c.method);
    if (c.accept) request.headers().add("Accept", c.accept);
    ScriptedInterceptor interceptor;
    const DataResponse response = send(session, fixed(request), &interceptor, c.validate);
    if (c.error) {
      ASSERT_NE(response.error(), nullptr);
      EXPECT_EQ(response.error()->localizedDescription(), c.error);
      EXPECT_EQ(interceptor.counts(), std::vector<int>{0});
    } else {
      EXPECT_EQ(response.error(), nullptr) << response.error()->description();
      EXPECT_EQ(interceptor.retries.load(), 0);
      EXPECT_EQ(response.result().isSuccess(), true);
    }
    EXPECT_EQ(response.data(), c.data);
  }
}

// Retry delays are measured on the main queue's clock but waited on the network thread:
// the thread driving the main queue does nothing at all until the outcome is posted.
TEST_F(SessionTest, RetriesAfterTheDelayWhileTheMainThreadDoesNothing) {
  auto clock = std::make_shared<dispatch::ManualClock>();
  MainQueue::main().setClock(clock);
  LocalGateway gateway;
  gateway.setDefaultReply(GatewayReply::json(500, R"({"error":"down"})"));
  Session session;
  ScriptedInterceptor interceptor;
  interceptor.onRetry = [](int count) {
    return count < 3 ? RetryResult::retryWithDelay(5.0) : RetryResult::doNotRetry();
  };

  auto outcome = start(*session.request(fixed(requestTo(gateway.url() + "/status")), &interceptor));
  const auto retryWaiting = [] {
    for (int i = 0; i < 10000 && IOLoop::shared().delayedTaskCount() == 0; ++i) std::this_thread::sleep_for(1ms);
    return IOLoop::shared().delayedTaskCount() == 1;
  };
  for (std::size_t attempt = 1; attempt <= 3; ++attempt) {
    SCOPED_TRACE(attempt);
    ASSERT_TRUE(gateway.waitForRequests(attempt, 10s));
    ASSERT_TRUE(retryWaiting());
    clock->advance(4900ms);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(gateway.requestCount(), attempt) << "retried before the delay";
    clock->advance(100ms);
    ASSERT_TRUE(gateway.waitForRequests(attempt + 1, 10s)) << "no retry once the delay had passed";
  }
  ASSERT_TRUE(eventually([&] { return interceptor.retries.load() == 4; }));
  EXPECT_EQ(outcome->calls, 0) << "the outcome waits for the main queue";
  const DataResponse response = await(outcome);
  EXPECT_EQ(gateway.requestCount(), 4u);
  EXPECT_EQ(interceptor.counts(), (std::vector<int>{0, 1, 2, 3}));
  ASSERT_NE(requestError(response), nullptr);
  EXPECT_EQ(requestError(response)->responseCode(), 500);
  EXPECT_EQ(response.data(), R"({"error":"down"})");
}

// A host's own clock: real time plus every jump it is told to make, announced as made.
class JumpingClock final : public dispatch::Clock {
 public:
  dispatch::TimePoint now() const override {
    return std::chrono::steady_clock::now() + dispatch::Duration(jumped_.load());
  }
  void jump(dispatch::Duration by) {
    jumped_ += by.count();
    announceJump();
  }

 private:
  std::atomic<dispatch::Duration::rep> jumped_{0};
};

// A retry delay is measured on the main queue's clock, here a host's own, and waited on
// the network thread: it ends when the clock jumps past it (at once, not an hour later),
// and when real time passes it on a clock that moves with real time.
TEST_F(SessionTest, RetryDelayOnAHostClockEndsWithAJumpOrWithRealTime) {
  struct Case {
    const char* name;
    double delay;  // seconds
    std::optional<dispatch::Duration> jump;
  };
  const Case cases[] = {
      {"a jump past the delay", 3600.0, 1h},
      {"real time past the delay", 0.05, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto clock = std::make_shared<JumpingClock>();
    MainQueue::main().setClock(clock);
    LocalGateway gateway;
    gateway.enqueue({GatewayReply::json(500, "{}"), GatewayReply::json(200, R"({"id":1})")});
    Session session;
    ScriptedInterceptor interceptor;
    interceptor.onRetry = [&c](int count) {
      return count == 0 ? RetryResult::retryWithDelay(c.delay) : RetryResult::doNotRetry();
    };

    auto outcome = start(*session.request(fixed(requestTo(gateway.url() + "/status")), &interceptor));
    ASSERT_TRUE(gateway.waitForRequests(1, 10s));
    if (c.jump) {
      ASSERT_TRUE(eventually([] { return IOLoop::shared().delayedTaskCount() == 1; })) << "no retry waiting";
      clock->jump(*c.jump);
    }
    ASSERT_TRUE(gateway.waitForRequests(2, 10s)) << "the retry still waits on the network thread";
    EXPECT_EQ(await(outcome).statusCode(), 200);
  }
}

TEST_F(SessionTest, MakesAndAdaptsEveryAttemptAnew) {
  LocalGateway gateway;
  gateway.enqueue({GatewayReply::json(401, "{}"), GatewayReply::json(200, R"({"id":1})")});
  Session session;
  ScriptedInterceptor interceptor;
  interceptor.onAdapt = [](URLRequest request, int attempt) {
    request.headers().add("X-Attempt", std::to_string(attempt));
    request.headers().add("authorization", "Bearer t");
    return request;
  };
  interceptor.onRetry = [](int count) { return count < 3 ? RetryResult::retry() : RetryResult::doNotRetry(); };
  const std::string url = gateway.url() + "/x";
  auto convertible = std::make_shared<Convertible>([url] {
    URLRequest request = requestTo(url);
    request.headers().add("Authorization", "stale");
    return request;
  });

  const DataResponse response = send(session, convertible, &interceptor);
  ASSERT_EQ(response.error(), nullptr) << response.error()->description();
  EXPECT_EQ(response.data(), R"({"id":1})");
  EXPECT_EQ(convertible->calls.load(), 2);
  EXPECT_EQ(interceptor.counts(), std::vector<int>{0});
  const auto requests = gateway.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].header("X-Attempt"), "1");
  EXPECT_EQ(requests[1].header("X-Attempt"), "2");
  EXPECT_EQ(requests[1].header("Authorization"), "Bearer t");
  ASSERT_TRUE(response.request());
  EXPECT_EQ(response.request()->headers().description(), "authorization: Bearer t\nX-Attempt: 2");
}

TEST_F(SessionTest, ReportsRequestsThatCannotBeMadeOrAdapted) {
  LocalGateway gateway;
  const std::string url = gateway.url() + "/x";
  struct Case {
    const char* name;
    std::function<URLRequest()> make;
    std::function<URLRequest(URLRequest, int)> adapt;
    const char* error;
  };
  const Case cases[] = {
      {"creation throws", []() -> URLRequest { throw TextError("Missing baseURL"); }, nullptr,
       "URLRequest creation failed with error: Missing baseURL"},
      {"creation throws a request error",
       [url] {
         return JSONEncoding::defaultEncoding().encode(requestTo(url, HTTPMethod::post),
                                                       Parameters{{"v", std::nan("")}});
       },
       nullptr,
       "JSON could not be encoded because of error:\n"
       "Invalid JSON object provided for parameter or object encoding."},
      {"GET with a body",
       [url] {
         URLRequest request = requestTo(url);
         request.setHTTPBody("{}");
         return request;
       },
       nullptr,
       "URLRequest validation failed due to reason: Invalid URLRequest: Requests with GET method cannot have body "
       "data."},
      {"adapter throws", [url] { return requestTo(url); },
       [](URLRequest, int) -> URLRequest { throw std::runtime_error("no credentials"); },
       "Request adaption failed with error: no credentials"},
      {"adapter gives a GET a body", [url] { return requestTo(url); },
       [](URLRequest request, int) {
         request.setHTTPBody("x");
         return request;
       },
       "Request adaption failed with error: URLRequest validation failed due to reason: Invalid URLRequest: "
       "Requests with GET method cannot have body data."},
      {"adapter sets a header with a line break", [url] { return requestTo(url); },
       [](URLRequest request, int) {
         request.headers().add("Authorization", "Bearer secret\r\nX-Injected: 1");
         return request;
       },
       "Request adaption failed with error: URLRequest header field \"Authorization\" holds a character that cannot "
       "be sent."},
  };
  Session session;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedInterceptor interceptor;
    interceptor.onAdapt = c.adapt;
    const DataResponse response = send(session, std::make_shared<Convertible>(c.make), &interceptor);
    ASSERT_NE(response.error(), nullptr);
    EXPECT_EQ(response.error()->localizedDescription(), c.error);
    EXPECT_EQ(response.error()->description().find("secret"), std::string::npos);
    EXPECT_EQ(interceptor.counts(), std::vector<int>{0});
  }
  EXPECT_EQ(gateway.requestCount(), 0u);
}

TEST_F(SessionTest, RetrierMayEndWithAnErrorOfItsOwn) {
  LocalGateway gateway;
  gateway.setDefaultReply(GatewayReply::json(503, "{}"));
  Session session;
  ScriptedInterceptor interceptor;
  interceptor.onRetry = [](int) { return RetryResult::doNotRetryWithError(makeError(TextError("gave up"))); };
  const DataResponse response = send(session, fixed(requestTo(gateway.url())), &interceptor);
  ASSERT_NE(requestError(response), nullptr);
  EXPECT_EQ(requestError(response)->kind(), RequestError::Kind::requestRetryFailed);
  EXPECT_EQ(response.error()->localizedDescription(),
            "Request retry failed with retry error: gave up, original error: Response status code was unacceptable: "
            "503.");
  EXPECT_EQ(gateway.requestCount(), 1u);
}

TEST_F(SessionTest, ReusesOneConnectionForSequentialRequests) {
  for (const bool https : {false, true}) {
    SCOPED_TRACE(https ? "https" : "http");
    LocalGateway gateway(LocalGateway::Options{.https = https});
    gateway.setDefaultReply(GatewayReply::json(200, "{}"));
    SessionConfiguration configuration;
    configuration.additionalTrustedCertificatesFile = LocalGateway::trustedAuthorityPath();
    auto session = std::make_unique<Session>(configuration);
    for (int i = 0; i < 3; ++i) {
      const DataResponse response = send(*session, fixed(requestTo(gateway.url() + "/r")));
      EXPECT_EQ(response.error(), nullptr) << response.error()->description();
    }
    EXPECT_EQ(gateway.acceptedConnections(), 1u);
    for (const auto& request : gateway.requests()) EXPECT_EQ(request.connection, 1u);
    // Nothing under way: the main queue has no deadline, and an event loop may sleep.
    MainQueue::main().runFor(10ms);
    EXPECT_EQ(MainQueue::main().timeUntilNextTask(), std::nullopt);

    // The kept-alive connection is idle: nothing from the network hastens the release.
    const auto releasing = std::chrono::steady_clock::now();
    session.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - releasing, 200ms);
  }
}

// Every session of the process verifies against authorities loaded once, and a fresh
// session resumes the TLS session of an earlier one, but only when both trust the same
// authorities: a session never rides on a verification its own authorities would fail.
TEST_F(SessionTest, ResumesTLSSessionsOnlyAmongSessionsTrustingTheSameAuthorities) {
  LocalGateway gateway(LocalGateway::Options{.https = true});
  gateway.setDefaultReply(GatewayReply::json(200, "{}"));
  SessionConfiguration trusting;
  trusting.additionalTrustedCertificatesFile = LocalGateway::trustedAuthorityPath();
  for (int i = 0; i < 2; ++i) {
    Session session(trusting);
    const DataResponse response = send(session, fixed(requestTo(gateway.url() + "/r")));
    EXPECT_EQ(response.error(), nullptr) << response.error()->description();
  }
  EXPECT_EQ(gateway.acceptedConnections(), 2u);

  Session systemOnly;
  const DataResponse refused = send(systemOnly, fixed(requestTo(gateway.url() + "/r")));
  ASSERT_NE(requestError(refused), nullptr);
  const auto* transport = dynamic_cast<const URLError*>(requestError(refused)->underlyingError().get());
  ASSERT_NE(transport, nullptr);
  EXPECT_EQ(transport->code(), URLError::Code::serverCertificateUntrusted) << transport->description();

  const auto requests = gateway.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[1].resumedTLSSession);
}

// Sessions on two network threads at once (two loops, as a test may make) share one cache
// of TLS sessions and host names: handshake after handshake on both threads together,
// every one verifies and later ones resume. The cache's locks are all that keeps the two
// threads from tearing it apart: the trust records who holds each, so that without them the
// threads race on that record (which ThreadSanitizer reports) or clash on it, and locks never
// taken show in its count.
TEST_F(SessionTest, SessionsOnTwoThreadsShareTheTLSSessionCacheSafely) {
  LocalGateway gateway(LocalGateway::Options{.https = true, .workerThreads = 16});
  gateway.setDefaultReply(GatewayReply::json(200, "{}"));
  IOLoop loops[2];
  const TLSTrust& trust = TLSTrust::forAdditionalCertificates(LocalGateway::trustedAuthorityPath());
  const TLSTrust::LockUse before = trust.lockUse();
  constexpr int kRounds = 6;
  constexpr int kSessionsPerLoop = 6;
  std::atomic<int> failures{0};
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    std::vector<std::unique_ptr<Session>> sessions;
    std::vector<std::shared_ptr<Outcome>> outcomes;
    for (IOLoop& loop : loops) {
      SessionConfiguration configuration;
      configuration.additionalTrustedCertificatesFile = LocalGateway::trustedAuthorityPath();
      configuration.loop = &loop;
      for (int i = 0; i < kSessionsPerLoop; ++i) {
        sessions.push_back(std::make_unique<Session>(configuration));
        // Half by name, so that the shared cache of host names is used too.
        const std::string url = i % 2 ? "https://localhost:" + std::to_string(gateway.port()) : gateway.url();
        outcomes.push_back(start(*sessions.back()->request(fixed(requestTo(url + "/r")))));
      }
    }
    for (const auto& outcome : outcomes) {
      const DataResponse response = await(outcome, 30s);
      if (response.error()) {
        ++failures;
        ADD_FAILURE() << response.error()->description();
      }
    }
  }
  EXPECT_EQ(failures.load(), 0);
  const auto requests = gateway.requests();
  ASSERT_EQ(requests.size(), std::size_t{kRounds * 2 * kSessionsPerLoop});
  const auto resumed =
      std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r.resumedTLSSession; });
  EXPECT_GT(resumed, 0) << "no session resumed: the cache was not shared";
  const TLSTrust::LockUse after = trust.lockUse();
  EXPECT_GT(after.taken, before.taken) << "the shared caches were used without their locks";
  EXPECT_EQ(after.clashes, before.clashes) << "two threads held a lock of the shared caches at once";
}

// Trusted authorities not yet in memory are read on a thread of their own, which gives the
// answer; once they are loaded, the answer comes at once.
TEST_F(SessionTest, AuthoritiesAreReadOffTheThreadDrivingTheMainQueue) {
  // A trust no other test shares: an additional file of its own.
  const auto file =
      std::filesystem::temp_directory_path() / ("keln-authorities-" + std::to_string(::getpid()) + ".pem");
  std::filesystem::copy_file(LocalGateway::trustedAuthorityPath(), file,
                             std::filesystem::copy_options::overwrite_existing);
  const TLSTrust& trust = TLSTrust::forAdditionalCertificates(file.string());
  ASSERT_FALSE(trust.isLoaded());
  std::atomic<bool> ready{false};
  std::thread::id readyOn;
  trust.whenLoaded([&] {
    readyOn = std::this_thread::get_id();
    ready.store(true);
  });
  EXPECT_TRUE(eventually([&] { return ready.load(); }));
  EXPECT_NE(readyOn, std::this_thread::get_id());
  EXPECT_TRUE(trust.isLoaded());
  bool again = false;
  trust.whenLoaded([&] { again = true; });
  EXPECT_TRUE(again);
  std::filesystem::remove(file);
}

// However many sessions have requests under way at once, all their work (adapters, I/O)
// happens on the one network thread, never the thread driving the main queue, and each
// session keeps connections of its own.
TEST_F(SessionTest, SessionsAtOnceWorkOnTheNetworkThread) {
  LocalGateway gateway;
  GatewayReply slow = GatewayReply::json(200, "{}");
  slow.delay = 200ms;
  gateway.enqueue({slow});
  gateway.setDefaultReply(GatewayReply::json(200, "{}"));
  std::vector<std::thread::id> threads;
  ScriptedInterceptor interceptor;
  interceptor.onAdapt = [&threads](URLRequest request, int) {
    threads.push_back(std::this_thread::get_id());
    return request;
  };
  std::vector<std::unique_ptr<Session>> sessions;
  std::vector<std::shared_ptr<Outcome>> outcomes;
  for (int i = 0; i < 3; ++i) {
    sessions.push_back(std::make_unique<Session>());
    // One by name, which the resolver looks up off the main thread.
    const std::string url = i == 1 ? "http://localhost:" + std::to_string(gateway.port()) : gateway.url();
    outcomes.push_back(start(*sessions.back()->request(fixed(requestTo(url)), &interceptor)));
  }
  for (const auto& outcome : outcomes) EXPECT_EQ(await(outcome).error(), nullptr);
  ASSERT_EQ(threads.size(), 3u);
  EXPECT_EQ(threads, std::vector<std::thread::id>(3, threads.front()));
  EXPECT_NE(threads.front(), std::this_thread::get_id());
  EXPECT_EQ(gateway.acceptedConnections(), 3u);
}

// The thread driving the main queue sleeps while a reply is awaited: no step of the I/O
// comes round and round while nothing is ready.
TEST_F(SessionTest, AwaitingASlowReplySleeps) {
  LocalGateway gateway;
  GatewayReply slow = GatewayReply::json(200, "{}");
  slow.delay = 400ms;
  gateway.enqueue(slow);
  Session session;
  const auto threadCPUTime = [] {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
  };
  const auto before = threadCPUTime();
  EXPECT_EQ(send(session, fixed(requestTo(gateway.url()))).error(), nullptr);
  EXPECT_LT(threadCPUTime() - before, 100ms);
}

TEST_F(SessionTest, RefusesRepliesOverTheSizeLimit) {
  LocalGateway gateway;
  gateway.enqueue({GatewayReply::json(200, std::string(kMaximumResponseBodySize, 'a')),
                   GatewayReply::json(200, std::string(kMaximumResponseBodySize + 1, 'a'))});
  Session session;
  const DataResponse atLimit = send(session, fixed(requestTo(gateway.url())));
  EXPECT_EQ(atLimit.error(), nullptr);
  EXPECT_EQ(atLimit.data().value_or("").size(), kMaximumResponseBodySize);

  ScriptedInterceptor interceptor;
  const DataResponse over = send(session, fixed(requestTo(gateway.url())), &interceptor);
  ASSERT_NE(requestError(over), nullptr);
  EXPECT_EQ(requestError(over)->kind(), RequestError::Kind::responseTooLarge);
  EXPECT_EQ(over.error()->localizedDescription(), "Response body exceeded the maximum size of 8388608 bytes.");
  EXPECT_EQ(over.data(), std::nullopt);
  EXPECT_EQ(interceptor.counts(), std::vector<int>{0});
}

TEST_F(SessionTest, CutsOffAStreamedReplyAtTheSizeLimit) {
  // A reply of unannounced length that would go on for 64 MiB.
  httplib::Server server;
  std::atomic<std::size_t> sent{0};
  server.Get("/stream", [&sent](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("application/octet-stream", [&sent](std::size_t, httplib::DataSink& sink) {
      const std::string chunk(64 * 1024, 'a');
      if (sent.load() >= 64u * 1024 * 1024) {
        sink.done();
        return true;
      }
      if (!sink.write(chunk.data(), chunk.size())) return false;
      sent += chunk.size();
      return true;
    });
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread serving([&server] { server.listen_after_bind(); });

  {
    Session session;
    const DataResponse response =
        send(session, fixed(requestTo("http://127.0.0.1:" + std::to_string(port) + "/stream")));
    ASSERT_NE(requestError(response), nullptr);
    EXPECT_EQ(requestError(response)->kind(), RequestError::Kind::responseTooLarge);
  }
  server.stop();
  serving.join();
  EXPECT_LT(sent.load(), 32u * 1024 * 1024);
}

TEST_F(SessionTest, ReportsTransportFailures) {
  LocalGateway gateway;
  LocalGateway untrusted(LocalGateway::Options{.https = true});
  GatewayReply slow = GatewayReply::json(200, "{}");
  slow.delay = 5s;
  struct Case {
    const char* name;
    std::string url;
    std::optional<GatewayReply> reply;
    URLError::Code code;
    const char* localized;
  };
  const Case cases[] = {
      {"unknown host", "http://no-such-host.invalid", std::nullopt, URLError::Code::cannotFindHost,
       "URLSessionTask failed with error: A server with the specified hostname could not be found."},
      {"refused", LocalGateway::refusedURL(), std::nullopt, URLError::Code::cannotConnectToHost,
       "URLSessionTask failed with error: Could not connect to the server."},
      {"timed out", gateway.url(), slow, URLError::Code::timedOut,
       "URLSessionTask failed with error: The request timed out."},
      {"reset", gateway.url(), GatewayReply::withFault(GatewayReply::Fault::resetBeforeReply, "", 0),
       URLError::Code::networkConnectionLost, "URLSessionTask failed with error: The network connection was lost."},
      {"cut body", gateway.url(), GatewayReply::withFault(GatewayReply::Fault::cutBody, R"({"a":1})", 3),
       URLError::Code::networkConnectionLost, "URLSessionTask failed with error: The network connection was lost."},
      {"untrusted certificate", untrusted.url(), std::nullopt, URLError::Code::serverCertificateUntrusted,
       "URLSessionTask failed with error: The certificate for this server is invalid."},
  };
  // Long enough for a TLS handshake on a loaded machine or under a sanitizer.
  SessionConfiguration configuration;
  configuration.timeoutIntervalForRequest = 1.0;
  configuration.timeoutIntervalForResource = 1.0;
  Session session(configuration);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.reply) gateway.enqueue(*c.reply);
    ScriptedInterceptor interceptor;
    const auto started = std::chrono::steady_clock::now();
    const DataResponse response = send(session, fixed(requestTo(c.url + "/x")), &interceptor);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    ASSERT_NE(requestError(response), nullptr);
    EXPECT_EQ(requestError(response)->kind(), RequestError::Kind::sessionTaskFailed);
    const auto* transport = dynamic_cast<const URLError*>(requestError(response)->underlyingError().get());
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(transport->code(), c.code) << transport->description();
    EXPECT_EQ(response.error()->localizedDescription(), c.localized);
    EXPECT_EQ(response.response(), std::nullopt);
    EXPECT_EQ(interceptor.counts(), std::vector<int>{0});
  }
}

TEST_F(SessionTest, DestroyingTheSessionCancelsItsRequests) {
  auto clock = std::make_shared<dispatch::ManualClock>();
  MainQueue::main().setClock(clock);
  LocalGateway gateway;
  GatewayReply slow = GatewayReply::json(200, "{}");
  slow.delay = 10s;
  gateway.enqueue({slow, GatewayReply::json(500, "{}")});
  ScriptedInterceptor interceptor;
  interceptor.onRetry = [](int) { return RetryResult::retryWithDelay(5.0); };

  auto session = std::make_unique<Session>();
  auto inFlight = start(*session->request(fixed(requestTo(gateway.url() + "/slow")), &interceptor));
  ASSERT_TRUE(eventually([&] { return gateway.requestCount() == 1; }));
  auto waitingToRetry = start(*session->request(fixed(requestTo(gateway.url() + "/fail")), &interceptor));
  ASSERT_TRUE(MainQueue::main().runUntil([&] { return interceptor.retries.load() == 1; }, 10s));

  const auto started = std::chrono::steady_clock::now();
  session.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 200ms);
  clock->advance(10s);
  MainQueue::main().runFor(100ms);
  EXPECT_EQ(inFlight->calls, 0);
  EXPECT_EQ(waitingToRetry->calls, 0);
  EXPECT_EQ(gateway.requestCount(), 2u);
}

TEST_F(SessionTest, ARetrierMayDestroyItsSession) {
  LocalGateway gateway;
  gateway.setDefaultReply(GatewayReply::json(500, "{}"));
  auto session = std::make_unique<Session>();
  ScriptedInterceptor interceptor;
  std::atomic<bool> destroyed{false};
  interceptor.onRetry = [&session, &destroyed](int) {
    session.reset();
    destroyed.store(true);
    return RetryResult::retry();
  };
  auto outcome = start(*session->request(fixed(requestTo(gateway.url())), &interceptor));
  ASSERT_TRUE(eventually([&] { return destroyed.load(); }));
  MainQueue::main().runFor(100ms);
  EXPECT_EQ(outcome->calls, 0);
  EXPECT_EQ(gateway.requestCount(), 1u);
}

}  // namespace
}  // namespace keln::http
