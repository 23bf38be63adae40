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

namespace {

bool isTokenCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isSendable(const HTTPHeader& header) {
  if (header.name.empty()) return false;
  for (char c : header.name) {
    if (!isTokenCharacter(c)) return false;
  }
  return header.value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

}  // namespace

void URLRequest::validate() const {
  if (method_ == HTTPMethod::get && httpBody_) throw RequestError::bodyDataInGETRequest(httpBody_->size());
  for (const HTTPHeader& header : headers_) {
    if (!isSendable(header)) throw RequestError::invalidHeaderField(header.name);
  }
}

}  // namespace keln::http
