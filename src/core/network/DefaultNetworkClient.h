#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/network/NetworkClient.h"
#include "core/network/NetworkConfiguration.h"
#include "core/network/SecretRedactor.h"
#include "http/DataResponse.h"
#include "http/RequestInterceptor.h"
#include "http/Session.h"

namespace keln {

// The SDK's client of the payment gateway. It checks its configuration before every
// request, sends each request through one HTTP session of its own (made on first use),
// adds the credentials to every attempt, retries a failed attempt up to `retryLimit`
// times `retryDelay` seconds apart, and logs what it does to the system log. The bearer
// token never appears in a log line, whatever carries it (headers, reply bodies, error
// descriptions, URLs): it is replaced by "<redacted>"; what goes on the wire is unchanged.
//
// Every owner in the SDK holds its client through a std::shared_ptr. Every request then
// holds the client (its interceptor and session) until the request has ended and its
// completion has run, so the owner may release the client at any time: a request under
// way, or waiting for a retry, still completes exactly once on the main queue, after
// which the client goes. A client owned otherwise must outlive its requests: destroying
// it cancels them, and their completions never run.
//
// The client is the interceptor of its own requests: adapt() and retry() run on the SDK's
// network thread while the main thread may be running anything else of the client, so
// they read only the immutable configuration, redactor and limits, and log through the
// thread-safe process-wide sink. Everything else is main-thread only.
class DefaultNetworkClient final : public NetworkClient,
                                   public http::RequestInterceptor,
                                   public std::enable_shared_from_this<DefaultNetworkClient> {
 public:
  static constexpr int kRetryLimit = 3;
  static constexpr double kRetryDelay = 5.0;

  // The session configuration of every client: request and resource time-outs of 30 s
  // and no use of locally cached data.
  static http::SessionConfiguration defaultSessionConfiguration();

  explicit DefaultNetworkClient(const NetworkConfiguration& configuration);
  // With another session configuration: shorter time-outs or extra trusted authorities
  // for tests and the demo.
  DefaultNetworkClient(const NetworkConfiguration& configuration, http::SessionConfiguration sessionConfiguration);
  ~DefaultNetworkClient() override;
  DefaultNetworkClient(const DefaultNetworkClient&) = delete;
  DefaultNetworkClient& operator=(const DefaultNetworkClient&) = delete;

  const NetworkConfiguration& configuration() const override { return configuration_; }
  const http::SessionConfiguration& sessionConfiguration() const { return sessionConfiguration_; }
  int retryLimit() const { return retryLimit_; }
  double retryDelay() const { return retryDelay_; }

  // On a configuration fault, completes at once on the calling thread. When the request
  // body cannot be encoded, sends nothing and completes on the main queue with the
  // EncodingError. Otherwise the reply (or the last attempt's error) completes on the
  // main queue. The request is built once and that request is sent on every attempt.
  void requestData(std::shared_ptr<const Router> router, std::function<void(Result<std::string>)> completion) override;

  // Throws KelnSDKError::sdkNotConfigured with "Incorrect baseURL", "Incorrect clientID"
  // or "Incorrect token" at the first fault, in that order.
  void validateConfiguration() const;

  // Adds "Authorization: Bearer <token>" and "X-IBM-Client-Id: <client id>". Network
  // thread.
  http::URLRequest adapt(http::URLRequest urlRequest, http::Session& session) override;
  // Retries after retryDelay() while the request's retry count is below retryLimit().
  // Network thread.
  http::RetryResult retry(http::DataRequest& request, http::Session& session, const Error& error) override;

  // Turns the session's outcome into the body or the error, logging it. Main queue.
  void handleResponse(const http::DataResponse& response,
                      const std::function<void(Result<std::string>)>& completion) const;

 private:
  http::Session& session();
  // Writes `prefix` followed by `text`, the token in `text` replaced, as one system-log
  // line. Any thread.
  void log(std::string_view prefix, std::string_view text) const;

  const NetworkConfigurationData configuration_;
  // The text of the configuration's first fault, or null; the configuration never changes.
  const char* const configurationFault_;
  const SecretRedactor redactor_;
  const http::SessionConfiguration sessionConfiguration_;
  std::unique_ptr<http::Session> session_;  // made on first use
  const int retryLimit_ = kRetryLimit;
  const double retryDelay_ = kRetryDelay;
};

}  // namespace keln
