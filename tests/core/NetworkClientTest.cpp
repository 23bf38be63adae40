#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <stdexcept>

#include <keln/core/KelnSDKError.h>
#include <keln/model/TransactionStatus.h>

#include "core/GatewayClientHarness.h"
#include "core/network/PaymentRouter.h"
#include "foundation/JSONValue.h"
#include "foundation/Unicode.h"
#include "http/RequestError.h"
#include "http/URLError.h"
#include "model/CheckoutResponseDTO.h"
#include "support/WireSamples.h"

namespace keln::testing {
namespace {

using Reply = GatewayReply;
using Fault = GatewayReply::Fault;

std::shared_ptr<const Router> statusRouter(const std::string& root, const std::string& transactionID = "abc") {
  return std::make_shared<PaymentRouter>(PaymentRouter::status(root, transactionID));
}

// The names of the header fields on the wire, lower-cased and sorted.
std::vector<std::string> headerNames(const RecordedRequest& request) {
  std::vector<std::string> names;
  for (const auto& [name, value] : request.headers) names.push_back(foundation::asciiLowercased(name));
  std::sort(names.begin(), names.end());
  return names;
}

const http::RequestError* requestError(const Result<TransactionStatusDTO>& result) {
  return result.isFailure() ? dynamic_cast<const http::RequestError*>(result.error().get()) : nullptr;
}

class NetworkClientTest : public GatewayClientTest {};

TEST_F(NetworkClientTest, ConfigurationFaultsCompleteAtOnceAndSendNothing) {
  LocalGateway gateway;
  struct Case {
    std::string baseURL, clientID, token;
    std::string message;
  };
  const Case cases[] = {
      {"", kClientID, kToken, "Incorrect baseURL"},
      {"1https://gateway.example", kClientID, kToken, "Incorrect baseURL"},
      {gateway.url(), "", "", "Incorrect clientID"},
      {gateway.url(), "", kToken, "Incorrect clientID"},
      {gateway.url(), kClientID, "", "Incorrect token"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message + " for [" + c.baseURL + "|" + c.clientID + "]");
    capture_.clear();
    auto client = makeClient(c.baseURL, c.clientID, c.token);
    CompletionProbe<TransactionStatusDTO> probe;
    client->request<TransactionStatusDTO>(statusRouter(c.baseURL), probe.completion());
    ASSERT_EQ(probe.results.size(), 1u) << "not completed on the calling thread";
    const auto* error = dynamic_cast<const KelnSDKError*>(probe.result().error().get());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->kind(), KelnSDKError::Kind::sdkNotConfigured);
    EXPECT_EQ(error->errorDescription(), c.message);
    EXPECT_EQ(systemLog(),
              std::vector<std::string>{"Configuration validation failed: sdkNotConfigured(\"" + c.message + "\")"});
    settle();
    EXPECT_EQ(probe.results.size(), 1u);
  }
  EXPECT_EQ(gateway.requestCount(), 0u);
  EXPECT_EQ(gateway.acceptedConnections(), 0u);
}

TEST_F(NetworkClientTest, BlankCredentialsPassTheCheck) {
  LocalGateway gateway;
  gateway.setDefaultReply(Reply::json(200, samples::kStatusReply));
  auto client = makeClient(gateway.url(), " ", " ");
  CompletionProbe<TransactionStatusDTO> probe;
  client->request<TransactionStatusDTO>(statusRouter(gateway.url()), probe.completion());
  EXPECT_FALSE(probe.called());
  drive([&] { return probe.called(); });
  EXPECT_EQ(gateway.requestCount(), 1u);
  EXPECT_TRUE(systemLogStartingWith("Configuration validation failed: ").empty());
}

TEST_F(NetworkClientTest, AdapterAddsCredentialsAsConfiguredAndLogsThemRedacted) {
  DefaultNetworkClient client(
      NetworkConfigurationData("https://gateway.example", " id ", " " + std::string(kToken) + " "),
      sessionConfiguration());
  http::Session session(sessionConfiguration());
  http::URLRequest request = PaymentRouter::payment("https://gateway.example", makeCheckoutRequest(10)).asURLRequest();
  request.headers().add("authorization", "Basic old");
  http::URLRequest adapted = client.adapt(request, session);
  EXPECT_EQ(adapted.headers().description(), "Content-Type: application/json\nAuthorization: Bearer  " +
                                                 std::string(kToken) + " \nX-IBM-Client-Id:  id ");
  EXPECT_EQ(systemLog(), std::vector<std::string>{"Adapted request with headers: Content-Type: application/json\n"
                                                  "Authorization: Bearer <redacted>\nX-IBM-Client-Id:  id "});

  // The token in another header, or spanning two of them, is hidden too.
  capture_.clear();
  request.headers().add("X-Tail", "xyz");
  DefaultNetworkClient echoing(NetworkConfigurationData("https://gateway.example", "id-" + std::string(kToken), kToken),
                               sessionConfiguration());
  echoing.adapt(request, session);
  DefaultNetworkClient spanning(NetworkConfigurationData("https://gateway.example", "cid", "xyz\nX-IBM-Client-Id: cid"),
                                sessionConfiguration());
  spanning.adapt(request, session);
  const std::string head =
      "Adapted request with headers: Content-Type: application/json\nAuthorization: Bearer <redacted>\n";
  EXPECT_EQ(systemLog(), (std::vector<std::string>{head + "X-Tail: xyz\nX-IBM-Client-Id: id-<redacted>",
                                                   head + "X-Tail: <redacted>"}));
}

TEST_F(NetworkClientTest, StatusQueryOnTheWire) {
  LocalGateway gateway;
  gateway.setDefaultReply(Reply::json(200, samples::kStatusReply));
  auto client = makeClient(gateway.url());
  CompletionProbe<TransactionStatusDTO> probe;
  client->request<TransactionStatusDTO>(statusRouter(gateway.url(), "abc"), probe.completion());
  EXPECT_FALSE(probe.called());
  drive([&] { return probe.called(); });

  ASSERT_TRUE(probe.result().isSuccess()) << probe.result().error()->description();
  EXPECT_EQ(probe.result().value().transactionID(), "tx-42");
  ASSERT_EQ(gateway.requestCount(), 1u);
  RecordedRequest request = gateway.requests()[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/api/v1/payments/abc/status");
  EXPECT_EQ(request.body, "");
  EXPECT_EQ(request.header("Authorization"), "Bearer " + std::string(kToken));
  EXPECT_EQ(request.header("X-IBM-Client-Id"), kClientID);
  EXPECT_EQ(headerNames(request), (std::vector<std::string>{"authorization", "host", "x-ibm-client-id"}));
  EXPECT_EQ(systemLog(),
            (std::vector<std::string>{
                "Adapted request with headers: Authorization: Bearer <redacted>\nX-IBM-Client-Id: client-7",
                "Received response data: " + std::string(samples::kStatusReply)}));
  settle();
  EXPECT_EQ(probe.results.size(), 1u);
}

TEST_F(NetworkClientTest, CheckoutPostOnTheWire) {
  LocalGateway gateway;
  gateway.setDefaultReply(Reply::json(201, samples::kCheckoutReply));
  auto client = makeClient(gateway.url());
  CheckoutRequest checkout = makeCheckoutRequest(149.99);
  const std::string expectedBody = foundation::serializeJSON(foundation::encodeToValue(checkout));
  CompletionProbe<CheckoutResponseDTO> probe;
  client->request<CheckoutResponseDTO>(std::make_shared<PaymentRouter>(PaymentRouter::payment(gateway.url(), checkout)),
                                       probe.completion());
  drive([&] { return probe.called(); });

  ASSERT_TRUE(probe.result().isSuccess()) << probe.result().error()->description();
  EXPECT_EQ(probe.result().value().transactionId(), "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f");
  ASSERT_EQ(gateway.requestCount(), 1u);
  RecordedRequest request = gateway.requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/api/v1/payments");
  EXPECT_EQ(request.body, expectedBody);
  EXPECT_EQ(request.header("Content-Type"), "application/json");
  EXPECT_EQ(request.header("Authorization"), "Bearer " + std::string(kToken));
  EXPECT_EQ(request.header("X-IBM-Client-Id"), kClientID);
  EXPECT_EQ(headerNames(request),
            (std::vector<std::string>{"authorization", "content-length", "content-type", "host", "x-ibm-client-id"}));
  std::vector<std::string> log = systemLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "Request body: " + expectedBody);
  EXPECT_EQ(log[1],
            "Adapted request with headers: Content-Type: application/json\nAuthorization: Bearer <redacted>\n"
            "X-IBM-Client-Id: client-7");
  EXPECT_EQ(log[2], "Received response data: " + std::string(samples::kCheckoutReply));
}

TEST_F(NetworkClientTest, CheckoutWhoseBodyCannotBeEncodedIsNeverSent) {
  LocalGateway gateway;
  gateway.setDefaultReply(Reply::json(200, samples::kCheckoutReply));
  auto client = makeClient(gateway.url());
  CompletionProbe<CheckoutResponseDTO> probe;
  client->request<CheckoutResponseDTO>(
      std::make_shared<PaymentRouter>(
          PaymentRouter::payment(gateway.url(), makeCheckoutRequest(std::numeric_limits<double>::quiet_NaN()))),
      probe.completion());
  EXPECT_FALSE(probe.called()) << "must complete on the main queue";
  drive([&] { return probe.called(); });
  settle();

  ASSERT_EQ(probe.results.size(), 1u);
  ASSERT_TRUE(probe.result().isFailure());
  EXPECT_NE(dynamic_cast<const foundation::EncodingError*>(probe.result().error().get()), nullptr);
  EXPECT_EQ(systemLog(),
            std::vector<std::string>{"Request failed with error: " + probe.result().error()->description()});
  EXPECT_EQ(gateway.requestCount(), 0u);
  EXPECT_EQ(gateway.acceptedConnections(), 0u);
}

TEST_F(NetworkClientTest, TransactionIdThatWouldLeaveItsSegmentIsEncoded) {
  LocalGateway gateway;
  gateway.setDefaultReply(Reply::json(200, samples::kStatusReply));
  auto client = makeClient(gateway.url());
  CompletionProbe<TransactionStatusDTO> probe;
  client->request<TransactionStatusDTO>(statusRouter(gateway.url(), "a/b?c#d%e f"), probe.completion());
  drive([&] { return probe.called(); });
  ASSERT_EQ(gateway.requestCount(), 1u);
  EXPECT_EQ(gateway.requests()[0].target, "/api/v1/payments/a%2Fb%3Fc%23d%25e%20f/status");
  EXPECT_EQ(gateway.requests()[0].path, "/api/v1/payments/a/b?c#d%e f/status");
}

// How one gateway behaviour ends: the attempts made, the retry lines and the outcome.
struct FaultCase {
  std::string name;
  std::function<std::unique_ptr<LocalGateway>()> makeGateway = nullptr;  // null: nobody listens
  double timeout = 30.0;
  int attempts;
  // The completion's error, checked by the case; null for success.
  std::function<void(const Result<TransactionStatusDTO>&)> check;
  std::vector<std::string> extraLines = {};  // expected log lines other than adapt and retry lines
};

std::unique_ptr<LocalGateway> gatewayAlways(Reply reply, LocalGateway::Options options = {}) {
  auto gateway = std::make_unique<LocalGateway>(options);
  gateway->setDefaultReply(std::move(reply));
  return gateway;
}

void expectRequestError(const Result<TransactionStatusDTO>& result, http::RequestError::Kind kind) {
  const http::RequestError* error = requestError(result);
  ASSERT_NE(error, nullptr) << (result.isFailure() ? result.error()->description() : "success");
  EXPECT_EQ(error->kind(), kind) << error->description();
}

void expectTransportError(const Result<TransactionStatusDTO>& result, std::optional<http::URLError::Code> code) {
  expectRequestError(result, http::RequestError::Kind::sessionTaskFailed);
  const http::RequestError* error = requestError(result);
  if (error == nullptr) return;
  const auto* transport = dynamic_cast<const http::URLError*>(error->underlyingError().get());
  ASSERT_NE(transport, nullptr);
  if (code) {
    EXPECT_EQ(transport->code(), *code) << transport->description();
  }
}

void expectDecodingError(const Result<TransactionStatusDTO>& result, const std::string& description) {
  ASSERT_TRUE(result.isFailure());
  EXPECT_NE(dynamic_cast<const foundation::DecodingError*>(result.error().get()), nullptr);
  EXPECT_EQ(result.error()->description(), description);
}

TEST_F(NetworkClientTest, FaultMatrix) {
  const std::string status = samples::kStatusReply;
  const FaultCase cases[] = {
      {.name = "connection refused",
       .attempts = 4,
       .check = [](auto& r) { expectTransportError(r, http::URLError::Code::cannotConnectToHost); }},
      {.name = "reset mid-body",
       .makeGateway = [&] { return gatewayAlways(Reply::withFault(Fault::resetBody, status, 20)); },
       .attempts = 4,
       .check = [](auto& r) { expectTransportError(r, std::nullopt); }},
      {.name = "body cut short",
       .makeGateway = [&] { return gatewayAlways(Reply::withFault(Fault::cutBody, status, 20)); },
       .attempts = 4,
       .check = [](auto& r) { expectTransportError(r, std::nullopt); }},
      {.name = "stall past the time-out",
       .makeGateway = [&] { return gatewayAlways(Reply::withFault(Fault::stallBody, status, 20)); },
       .timeout = 0.3,
       .attempts = 4,
       .check = [](auto& r) { expectTransportError(r, http::URLError::Code::timedOut); }},
      {.name = "500 every time",
       .makeGateway = [] { return gatewayAlways(Reply::json(500, R"({"error":"boom"})")); },
       .attempts = 4,
       .check =
           [](auto& r) {
             expectRequestError(r, http::RequestError::Kind::responseValidationFailed);
             if (auto* e = requestError(r)) {
               EXPECT_EQ(e->responseCode(), 500);
             }
           }},
      {.name = "401 then 200",
       .makeGateway =
           [&] {
             auto gateway = gatewayAlways(Reply::json(200, status));
             gateway->enqueue(Reply::json(401, R"({"error":"unauthorized"})"));
             return gateway;
           },
       .attempts = 2,
       .check = [](auto& r) { EXPECT_TRUE(r.isSuccess()); },
       .extraLines = {"Received response data: " + status}},
      {.name = "200 not JSON",
       .makeGateway = [] { return gatewayAlways(Reply::json(200, "<html>oops</html>")); },
       .attempts = 1,
       .check = [](auto& r) { expectDecodingError(r, "dataCorrupted: The given data was not valid JSON."); },
       .extraLines = {"Received response data: <html>oops</html>"}},
      {.name = "200 empty",
       .makeGateway = [] { return gatewayAlways(Reply::empty(200)); },
       .attempts = 4,
       .check = [](auto& r) { expectRequestError(r, http::RequestError::Kind::responseSerializationFailed); }},
      {.name = "not UTF-8",
       .makeGateway = [] { return gatewayAlways(Reply::json(200, "{\"a\":\"\xff\xfe\"}")); },
       .attempts = 1,
       .check = [](auto& r) { expectDecodingError(r, "dataCorrupted: The given data was not valid JSON."); },
       .extraLines = {"Received response data: Invalid data"}},
      {.name = "204",
       .makeGateway = [] { return gatewayAlways(Reply::empty(204)); },
       .attempts = 1,
       .check = [](auto& r) { expectRequestError(r, http::RequestError::Kind::responseSerializationFailed); }},
      {.name = "oversized",
       .makeGateway = [] { return gatewayAlways(Reply::json(200, std::string(9 * 1024 * 1024, ' ') + "{}")); },
       .attempts = 4,
       .check = [](auto& r) { expectRequestError(r, http::RequestError::Kind::responseTooLarge); }},
      {.name = "valid certificate",
       .makeGateway = [&] { return gatewayAlways(Reply::json(200, status), {.https = true}); },
       .attempts = 1,
       .check = [](auto& r) { EXPECT_TRUE(r.isSuccess()); },
       .extraLines = {"Received response data: " + status}},
      {.name = "untrusted certificate",
       .makeGateway =
           [&] {
             return gatewayAlways(Reply::json(200, status), {.https = true, .certificate = CertificateKind::untrusted});
           },
       .attempts = 4,
       .check = [](auto& r) { expectTransportError(r, std::nullopt); }},
      {.name = "expired certificate",
       .makeGateway =
           [&] {
             return gatewayAlways(Reply::json(200, status), {.https = true, .certificate = CertificateKind::expired});
           },
       .attempts = 4,
       .check = [](auto& r) { expectTransportError(r, std::nullopt); }},
      {.name = "wrong host certificate",
       .makeGateway =
           [&] {
             return gatewayAlways(Reply::json(200, status), {.https = true, .certificate = CertificateKind::wrongHost});
           },
       .attempts = 4,
       .check = [](auto& r) { expectTransportError(r, std::nullopt); }},
  };

  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    capture_.clear();
    std::unique_ptr<LocalGateway> gateway = c.makeGateway ? c.makeGateway() : nullptr;
    const std::string root = gateway ? gateway->url() : LocalGateway::refusedURL();

    auto client = makeClient(root, kClientID, kToken, c.timeout);
    CompletionProbe<TransactionStatusDTO> probe;
    client->request<TransactionStatusDTO>(statusRouter(root), probe.completion());
    drive([&] { return probe.called(); });
    settle();

    ASSERT_EQ(probe.results.size(), 1u);
    c.check(probe.result());

    EXPECT_EQ(systemLogStartingWith("Adapted request with headers: ").size(), static_cast<std::size_t>(c.attempts));
    std::vector<std::string> retries = systemLogStartingWith("Retrying request due to error: ");
    ASSERT_EQ(retries.size(), static_cast<std::size_t>(c.attempts - 1));
    for (std::size_t i = 0; i < retries.size(); ++i) {
      EXPECT_TRUE(retries[i].ends_with(". Retry count: " + std::to_string(i))) << retries[i];
    }
    std::vector<std::string> others;
    for (const std::string& line : systemLog()) {
      if (!line.starts_with("Adapted request with headers: ") && !line.starts_with("Retrying request due to error: ") &&
          !line.starts_with("Failed to decode response data: ") && !line.starts_with("Request failed with error: ")) {
        others.push_back(line);
      }
    }
    EXPECT_EQ(others, c.extraLines);
    if (probe.result().isFailure()) {
      const std::string& description = probe.result().error()->description();
      const bool decoding = dynamic_cast<const foundation::DecodingError*>(probe.result().error().get()) != nullptr;
      EXPECT_EQ(systemLogStartingWith(decoding ? "Failed to decode response data: " : "Request failed with error: "),
                std::vector<std::string>{
                    (decoding ? "Failed to decode response data: " : "Request failed with error: ") + description});
    }
    if (gateway && !gateway->isSecure()) {
      EXPECT_EQ(gateway->requestCount(), static_cast<std::size_t>(c.attempts));
    }
  }
}

TEST_F(NetworkClientTest, RetriesAreSpacedByTheRetryDelay) {
  LocalGateway gateway;
  std::mutex mutex;
  std::vector<dispatch::TimePoint> arrivals;
  gateway.setResponder([&](const RecordedRequest&) {
    std::lock_guard<std::mutex> lock(mutex);
    arrivals.push_back(clock_->now());
    return Reply::json(500, "{}");
  });
  auto client = makeClient(gateway.url());
  EXPECT_EQ(client->retryLimit(), 3);
  EXPECT_EQ(client->retryDelay(), 5.0);
  CompletionProbe<TransactionStatusDTO> probe;
  client->request<TransactionStatusDTO>(statusRouter(gateway.url()), probe.completion());
  drive([&] { return probe.called(); });

  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(arrivals.size(), 4u);
  for (std::size_t i = 1; i < arrivals.size(); ++i) {
    EXPECT_EQ(arrivals[i] - arrivals[i - 1], std::chrono::seconds(5)) << "between attempts " << i << " and " << i + 1;
  }
}

TEST_F(NetworkClientTest, OwnerMayReleaseTheClientFromTheCompletion) {
  LocalGateway gateway;
  gateway.setDefaultReply(Reply::json(200, samples::kStatusReply));
  auto client = makeClient(gateway.url());
  int calls = 0;
  client->request<TransactionStatusDTO>(statusRouter(gateway.url()), [&](Result<TransactionStatusDTO> result) {
    ++calls;
    EXPECT_TRUE(result.isSuccess());
    client.reset();
  });
  drive([&] { return calls > 0; });
  settle();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(client, nullptr);
}

TEST_F(NetworkClientTest, ACompletionThatThrowsRunsOnceAndItsExceptionLeavesTheQueue) {
  struct Case {
    std::string name;
    std::string body;
    std::size_t decodeFailureLines;
  };
  const Case cases[] = {
      {"decoded reply", samples::kStatusReply, 0},
      {"undecodable reply", "{\"merchant\":7}", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    capture_.clear();
    LocalGateway gateway;
    gateway.setDefaultReply(Reply::json(200, c.body));
    auto client = makeClient(gateway.url());
    int calls = 0;
    client->request<TransactionStatusDTO>(statusRouter(gateway.url()), [&](Result<TransactionStatusDTO>) {
      ++calls;
      throw std::runtime_error("host fault");
    });
    std::string caught;
    try {
      drive([&] { return calls > 0; });
    } catch (const std::runtime_error& error) {
      caught = error.what();
    }
    EXPECT_EQ(caught, "host fault");
    settle();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(systemLogStartingWith("Failed to decode response data: ").size(), c.decodeFailureLines);
    EXPECT_EQ(gateway.requestCount(), 1u);
  }
}

// Every place where `token` shows in the captured lines: as given, with its slashes
// escaped as a JSON writer may put them, or percent-encoded as in a request's path.
std::size_t tokenSightings(const std::vector<foundation::ScopedLogCapture::Line>& lines, const std::string& token) {
  std::string slashEscaped;
  for (char c : token) slashEscaped += c == '/' ? std::string("\\/") : std::string(1, c);
  const std::string forms[] = {token, slashEscaped, percentEncodedPathSegment(token)};
  std::size_t count = 0;
  for (const auto& line : lines) {
    for (const std::string& form : forms) {
      for (auto at = line.message.find(form); at != std::string::npos; at = line.message.find(form, at + 1)) ++count;
    }
  }
  return count;
}

TEST_F(NetworkClientTest, TokenNeverReachesTheLog) {
  struct Case {
    std::string name;
    // The statuses of the gateway's replies, the last one repeated; each reply echoes the
    // request's Authorization header in a JSON body, escaping slashes as some JSON
    // writers do. Empty: nobody listens, and the token is the transaction id instead.
    std::vector<int> statuses;
    std::size_t echoedLines;  // "Received response data: " lines
  };
  const Case cases[] = {
      {"echoed in a 2xx body", {200}, 1},
      {"echoed in error replies, retried, then in a 2xx body", {500, 500, 200}, 1},
      {"in every attempt's URL", {}, 0},
  };
  for (const std::string& token : {std::string(kToken), std::string("tok/5e+cret=Z9")}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name + " with token " + token);
      capture_.clear();
      std::unique_ptr<LocalGateway> gateway;
      if (!c.statuses.empty()) {
        gateway = std::make_unique<LocalGateway>();
        gateway->setResponder([statuses = c.statuses,
                               calls = std::make_shared<std::atomic<std::size_t>>(0)](const RecordedRequest& request) {
          std::string value;
          for (char ch : request.header("Authorization").value_or("")) {
            value += ch == '/' ? std::string("\\/") : std::string(1, ch);
          }
          const int status = statuses[std::min(calls->fetch_add(1), statuses.size() - 1)];
          return Reply::json(status, R"({"authorization":")" + value + R"("})");
        });
      }
      const std::string root = gateway ? gateway->url() : LocalGateway::refusedURL();
      auto client = makeClient(root, kClientID, "  " + token + " ");
      CompletionProbe<TransactionStatusDTO> probe;
      client->request<TransactionStatusDTO>(statusRouter(root, gateway ? "abc" : token), probe.completion());
      drive([&] { return probe.called(); });
      ASSERT_EQ(probe.results.size(), 1u);
      EXPECT_TRUE(probe.result().isFailure());

      EXPECT_EQ(tokenSightings(capture_.lines(), token), 0u);
      const std::vector<std::string> received = systemLogStartingWith("Received response data: ");
      ASSERT_EQ(received.size(), c.echoedLines);
      for (const std::string& line : received) {
        EXPECT_EQ(line, R"(Received response data: {"authorization":"Bearer   <redacted>"})");
      }
      if (!gateway) {
        EXPECT_EQ(systemLogStartingWith("Retrying request due to error: ").size(), 3u);
        for (const std::string& line : systemLogStartingWith("Retrying request due to error: ")) {
          EXPECT_NE(line.find("/api/v1/payments/<redacted>/status"), std::string::npos) << line;
        }
      } else {
        const auto wire = gateway->requests();
        ASSERT_EQ(wire.size(), c.statuses.size());
        EXPECT_EQ(wire.back().header("Authorization"), "Bearer   " + token) << "the wire keeps the token";
      }
    }
  }
}

TEST_F(NetworkClientTest, RedirectsStayWithinTheOrigin) {
  LocalGateway plain;
  LocalGateway otherPlain;
  LocalGateway secure({.https = true});
  LocalGateway otherSecure({.https = true});
  for (LocalGateway* target : {&plain, &otherPlain, &secure, &otherSecure}) {
    target->setDefaultReply(Reply::json(200, samples::kStatusReply));
  }
  const std::string path = "/api/v1/payments/abc/status";
  auto redirectTo = [](const std::string& location) {
    Reply reply = Reply::empty(302);
    reply.headers = {{"Location", location}};
    return reply;
  };
  struct Case {
    std::string name;
    LocalGateway* from;
    std::string location;
    LocalGateway* elsewhere;  // must receive nothing; null when the redirect is followed
    std::optional<http::URLError::Code> refusal;
    std::string refusalText;  // what the host reads
  };
  const std::string cleartext = "URLSessionTask failed with error: Redirect from HTTPS to cleartext refused.";
  const std::string otherOrigin = "URLSessionTask failed with error: Redirect to another origin refused.";
  const Case cases[] = {
      {"HTTPS to plain HTTP", &secure, plain.url() + path, &plain, http::URLError::Code::secureConnectionRequired,
       cleartext},
      {"HTTPS to another HTTPS origin", &secure, otherSecure.url() + path, &otherSecure,
       http::URLError::Code::unsupportedURL, otherOrigin},
      {"plain HTTP to another origin", &plain, otherPlain.url() + path, &otherPlain,
       http::URLError::Code::unsupportedURL, otherOrigin},
      {"HTTPS within its origin", &secure, "/moved" + path, nullptr, std::nullopt, ""},
      {"plain HTTP within its origin", &plain, plain.url() + "/moved" + path, nullptr, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    capture_.clear();
    for (LocalGateway* target : {&plain, &otherPlain, &secure, &otherSecure}) target->clearRequests();
    const std::string location = c.location;
    c.from->setResponder([&, location](const RecordedRequest& request) {
      return request.path == path ? redirectTo(location) : Reply::json(200, samples::kStatusReply);
    });
    auto client = makeClient(c.from->url());
    CompletionProbe<TransactionStatusDTO> probe;
    client->request<TransactionStatusDTO>(statusRouter(c.from->url()), probe.completion());
    drive([&] { return probe.called(); });
    ASSERT_EQ(probe.results.size(), 1u);

    const std::vector<RecordedRequest> received = c.from->requests();
    if (c.refusal) {
      expectTransportError(probe.result(), c.refusal);
      EXPECT_EQ(probe.result().error()->localizedDescription(), c.refusalText);
      EXPECT_EQ(received.size(), 4u) << "a refused redirect fails the attempt, which is retried";
      EXPECT_EQ(systemLogStartingWith("Retrying request due to error: ").size(), 3u);
      EXPECT_EQ(c.elsewhere->requestCount(), 0u) << "the credentials left for another origin";
    } else {
      ASSERT_TRUE(probe.result().isSuccess()) << probe.result().error()->description();
      ASSERT_EQ(received.size(), 2u);
      EXPECT_EQ(received[1].path, "/moved" + path);
      EXPECT_EQ(received[1].header("Authorization"), "Bearer " + std::string(kToken));
      EXPECT_EQ(received[1].header("X-IBM-Client-Id"), kClientID);
    }
    c.from->setResponder(nullptr);
  }
}

}  // namespace
}  // namespace keln::testing
