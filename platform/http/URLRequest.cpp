#include "http/URLRequest.h"

#include "http/RequestError.h"

namespace keln::http {

std::optional<URLRequest> URLRequestConvertible::urlRequest() const {
  try {
    return asURLRequest();
  } catch (...) {
    return std::nullopt;
  }
}

URLRequest::URLRequest(foundation::URL url, CachePolicy cachePolicy, double timeoutInterval)
    : url_(std::move(url)), timeoutInterval_(timeoutInterval), cachePolicy_(cachePolicy) {}

void URLRequest::validate() const {
  if (method_ == HTTPMethod::get && httpBody_) throw RequestError::bodyDataInGETRequest(httpBody_->size());
}

}  // namespace keln::http
