#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "http/DataRequest.h"
#include "http/RequestInterceptor.h"
#include "http/URLRequest.h"

namespace keln::http {

// Largest reply body a session accepts; a longer one fails the attempt with
// RequestError::responseTooLarge as soon as the limit is passed.
inline constexpr std::size_t kMaximumResponseBodySize = 8 * 1024 * 1024;

// How a session's requests behave.
struct SessionConfiguration {
  // Seconds an attempt may stay idle (no data moving). A request's own, longer
  // time-out interval gives way to this one.
  double timeoutIntervalForRequest = 60.0;
  // Seconds an attempt may take in all, from its start.
  double timeoutIntervalForResource = 7 * 24 * 60 * 60.0;
  // Carried for the owner: the session keeps no cache, so every request is loaded anew.
  CachePolicy requestCachePolicy = CachePolicy::useProtocolCachePolicy;
  // Tests only: a PEM file of certificate authorities trusted in addition to the
  // system's, read once per process. Peer and host name verification are always on.
  std::string additionalTrustedCertificatesFile;

  static SessionConfiguration defaultConfiguration() { return {}; }
};

// A set of HTTP(S) requests sharing one cache of open connections (kept alive and
// reused). A session's I/O happens on the main thread, inside the main queue's waits (see
// MainQueue::IOSource), so requests progress only while the main queue is driven; there
// the convertibles, adapters and retriers run, and the completions, as main-queue tasks.
// Retry delays are measured on the main queue's clock. The trusted authorities are loaded once per process, and
// TLS sessions are resumed across all the sessions that trust the same authorities.
// Redirects are followed only within the origin of the request (see RedirectPolicy.h); any
// other fails the attempt. No header field goes out that the request does not hold, apart
// from what HTTP itself needs (Host, Content-Length).
//
// Owned by one object, made and destroyed on the main thread. Destroying a session cancels
// its unfinished requests (their completions never run, nor do any already posted) and
// waits for its I/O to stop; it never blocks on the network.
class Session {
 public:
  explicit Session(SessionConfiguration configuration = SessionConfiguration::defaultConfiguration());
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const SessionConfiguration& configuration() const { return configuration_; }

  // A new request over `convertible`. `interceptor`, when given, adapts every attempt
  // and decides on retries; it is not owned and must outlive the session or the request.
  std::shared_ptr<DataRequest> request(std::shared_ptr<const URLRequestConvertible> convertible,
                                       RequestInterceptor* interceptor = nullptr);

 private:
  const SessionConfiguration configuration_;
  std::shared_ptr<SessionEngine> engine_;
};

}  // namespace keln::http
