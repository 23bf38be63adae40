#include "core/network/PaymentRouter.h"

#include <keln/core/KelnSDKError.h>

#include <algorithm>

#include "foundation/URL.h"

namespace keln {
namespace {

bool isSegmentCharacter(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case ':':
    case '@': return true;
    default: return false;
  }
}

// `base` with `encodedPath` (already percent-encoded, starting with "/") added to its
// path; one "/" at the join, the base's query and fragment kept.
std::optional<foundation::URL> appendingEncodedPath(const foundation::URL& base, std::string_view encodedPath) {
  if (base.host() && encodedPath.starts_with('/')) {
    // The path follows a host: the join changes the path alone, so nothing needs parsing.
    std::string_view path = base.path();
    while (path.ends_with('/')) path.remove_suffix(1);
    std::string joined;
    joined.reserve(path.size() + encodedPath.size());
    joined.append(path).append(encodedPath);
    return base.withEncodedPath(std::move(joined));
  }
  const std::string_view text = base.absoluteString();
  const std::size_t pathEnd = std::min(text.find_first_of("?#"), text.size());
  std::string_view head = text.substr(0, pathEnd);
  if (encodedPath.starts_with('/')) {
    while (head.ends_with('/')) head.remove_suffix(1);
  }
  std::string joined;
  joined.reserve(text.size() + encodedPath.size());
  joined.append(head).append(encodedPath).append(text.substr(pathEnd));
  return foundation::URL::parse(joined);
}

}  // namespace

std::string percentEncodedPathSegment(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const bool dotsOnly = text == "." || text == "..";
  std::string encoded;
  encoded.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (isSegmentCharacter(c) && !(dotsOnly && c == '.')) {
      encoded.push_back(ch);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[c >> 4]);
      encoded.push_back(kHex[c & 0x0F]);
    }
  }
  return encoded;
}

PaymentRouter PaymentRouter::status(std::string baseURL, std::string transactionID) {
  return PaymentRouter(Kind::status, std::move(baseURL), std::move(transactionID));
}

std::string PaymentRouter::path() const {
  switch (kind_) {
    case Kind::payment: return "/api/v1/payments";
    case Kind::status: return "/api/v1/payments/" + percentEncodedPathSegment(transactionID_) + "/status";
  }
  return {};
}

http::HTTPMethod PaymentRouter::method() const {
  return kind_ == Kind::payment ? http::HTTPMethod::post : http::HTTPMethod::get;
}

std::optional<http::Parameters> PaymentRouter::parameters() const {
  if (bodyError_) throw *bodyError_;
  return parameters_;
}

const http::ParameterEncoding& PaymentRouter::encoding() const { return http::JSONEncoding::defaultEncoding(); }

http::URLRequest PaymentRouter::asURLRequest() const {
  std::optional<foundation::URL> base = foundation::URL::parse(baseURL_);
  if (!base) throw KelnSDKError::sdkNotConfigured("Missing baseURL");
  std::optional<foundation::URL> url = appendingEncodedPath(*base, path());
  if (!url) throw KelnSDKError::sdkNotConfigured("Missing baseURL");

  http::URLRequest request(*std::move(url), http::CachePolicy::useProtocolCachePolicy, 60.0);
  request.setMethod(method());
  if (std::optional<http::HTTPHeaders> fixed = headers()) request.setHeaders(*fixed);
  return encoding().encode(std::move(request), parameters());
}

}  // namespace keln
