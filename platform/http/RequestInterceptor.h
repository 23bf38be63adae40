#pragma once

#include <memory>

#include <keln/foundation/Error.h>

#include "http/URLRequest.h"

namespace keln::http {

class DataRequest;
class Session;

// What a retrier decides about a failed attempt.
class RetryResult {
 public:
  enum class Kind { retry, retryWithDelay, doNotRetry, doNotRetryWithError };

  static RetryResult retry() { return RetryResult(Kind::retry, 0.0, nullptr); }
  // Retry after `seconds`, measured on the main queue's clock (waited on the network
  // thread, so the main thread's business never stretches it).
  static RetryResult retryWithDelay(double seconds) { return RetryResult(Kind::retryWithDelay, seconds, nullptr); }
  static RetryResult doNotRetry() { return RetryResult(Kind::doNotRetry, 0.0, nullptr); }
  // Finish with requestRetryFailed(error, the attempt's error).
  static RetryResult doNotRetryWithError(std::shared_ptr<const Error> error) {
    return RetryResult(Kind::doNotRetryWithError, 0.0, std::move(error));
  }

  Kind kind() const { return kind_; }
  double delay() const { return delay_; }
  const std::shared_ptr<const Error>& error() const { return error_; }

 private:
  RetryResult(Kind kind, double delay, std::shared_ptr<const Error> error)
      : kind_(kind), delay_(delay), error_(std::move(error)) {}

  Kind kind_;
  double delay_;
  std::shared_ptr<const Error> error_;
};

// Changes the request of every attempt before it is sent (adds credentials, ...). Runs on
// the SDK's network thread, not the main thread: what it reads must be immutable or
// guarded, and what it logs goes through the thread-safe process-wide sink. Throwing (a keln::Error or anything else)
// fails the attempt with requestAdaptationFailed, which the retrier is then asked about.
class RequestAdapter {
 public:
  virtual ~RequestAdapter() = default;
  virtual URLRequest adapt(URLRequest urlRequest, Session& session) {
    (void)session;
    return urlRequest;
  }
};

// Decides, after every failed attempt of a request, whether to try again. `request`
// tells how many retries were made so far (retryCount(): 0 after the first attempt).
// Runs on the SDK's network thread, as the adapter does. An exception counts as
// doNotRetry.
class RequestRetrier {
 public:
  virtual ~RequestRetrier() = default;
  virtual RetryResult retry(DataRequest& request, Session& session, const Error& error) {
    (void)request, (void)session, (void)error;
    return RetryResult::doNotRetry();
  }
};

// Both: by default passes every request through unchanged and never retries.
class RequestInterceptor : public RequestAdapter, public RequestRetrier {};

}  // namespace keln::http
