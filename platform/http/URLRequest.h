#pragma once

#include <optional>
#include <string>

#include "foundation/URL.h"
#include "http/HTTPHeaders.h"
#include "http/HTTPMethod.h"

namespace keln::http {

class URLRequest;

// Anything that can produce the request for one attempt. A session calls asURLRequest()
// anew for every attempt of a request, on the network thread, so an implementation must be
// safe to call from there (an immutable value is).
class URLRequestConvertible {
 public:
  virtual ~URLRequestConvertible() = default;

  // The request, or throws a keln::Error telling why it cannot be made.
  virtual URLRequest asURLRequest() const = 0;

  // asURLRequest() with any failure turned into none.
  std::optional<URLRequest> urlRequest() const;
};

// How a request may use locally cached replies. The sessions of this layer keep no cache,
// so every policy loads from the origin; the value is carried for the request's owner.
enum class CachePolicy {
  useProtocolCachePolicy,
  reloadIgnoringLocalCacheData,
  returnCacheDataElseLoad,
  returnCacheDataDontLoad,
};

// One HTTP request: URL, method, header fields, optional body, time-out and cache policy.
// A request is its own URLRequestConvertible, so a fixed request can be handed to a
// session as it is.
//
// Value type; not synchronized.
class URLRequest final : public URLRequestConvertible {
 public:
  static constexpr double kDefaultTimeoutInterval = 60.0;

  explicit URLRequest(foundation::URL url, CachePolicy cachePolicy = CachePolicy::useProtocolCachePolicy,
                      double timeoutInterval = kDefaultTimeoutInterval);

  const foundation::URL& url() const { return url_; }
  void setURL(foundation::URL url) { url_ = std::move(url); }

  HTTPMethod method() const { return method_; }
  void setMethod(HTTPMethod method) { method_ = method; }

  const HTTPHeaders& headers() const { return headers_; }
  HTTPHeaders& headers() { return headers_; }
  void setHeaders(HTTPHeaders headers) { headers_ = std::move(headers); }

  // The body bytes; absent when the request has no body.
  const std::optional<std::string>& httpBody() const { return httpBody_; }
  void setHTTPBody(std::optional<std::string> body) { httpBody_ = std::move(body); }

  // Seconds the request may stay idle (no data moving) before it fails as timed out.
  double timeoutInterval() const { return timeoutInterval_; }
  void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }

  CachePolicy cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(CachePolicy policy) { cachePolicy_ = policy; }

  // Throws RequestError (urlRequestValidationFailed) for a request that must not be sent:
  // a GET that carries a body, even an empty one (bodyDataInGETRequest), or a header whose
  // name is not a token or whose value holds a line break or NUL (invalidHeaderField).
  void validate() const;

  URLRequest asURLRequest() const override { return *this; }

 private:
  foundation::URL url_;
  HTTPMethod method_ = HTTPMethod::get;
  HTTPHeaders headers_;
  std::optional<std::string> httpBody_;
  double timeoutInterval_;
  CachePolicy cachePolicy_;
};

}  // namespace keln::http
