#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "http/DataRequest.h"
#include "http/RequestInterceptor.h"
#include "http/URLRequest.h"

namespace keln::http {

class IOLoop;

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
  // Tests only: the loop whose thread runs the session's I/O, which must outlive the
  // session; null for the process's own (IOLoop::shared()).
  IOLoop* loop = nullptr;

  static SessionConfiguration defaultConfiguration() { return {}; }
};

// A set of HTTP(S) requests sharing one cache of open connections (kept alive and
// reused). A session's I/O happens on the SDK's network thread (see IOLoop.h): a request
// goes out as soon as it is started, and its time-outs, its convertible, adapter and
// retrier, and its retry delays (measured on the main queue's clock) run there, whatever
// the main thread is doing; only the completions run on the main queue, as tasks that wait
// there until the host runs them. The trusted authorities are loaded once per process, off
// the main thread, and TLS sessions are resumed across all the sessions that trust the
// same authorities.
// Redirects are followed only within the origin of the request (see RedirectPolicy.h); any
// other fails the attempt. No header field goes out that the request does not hold, apart
// from what HTTP itself needs (Host, Content-Length).
//
// Owned by one object, made, used and destroyed on the main thread. Destroying a session
// cancels its unfinished requests (their completions never run, nor do any already
// posted; they are released on the main queue) and waits for the network thread to let go
// of it, which never waits on the network.
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
