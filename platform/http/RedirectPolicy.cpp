#include "http/RedirectPolicy.h"

#include <optional>

#include <curl/curl.h>

#include <keln/foundation/Result.h>

#include "foundation/Unicode.h"
#include "http/RequestError.h"
#include "http/URLError.h"

namespace keln::http {
namespace {

struct Origin {
  std::string scheme, host, port;
  friend bool operator==(const Origin&, const Origin&) = default;
};

class URLHandle {
 public:
  URLHandle() : url_(curl_url()) {}
  ~URLHandle() {
    if (url_) curl_url_cleanup(url_);
  }
  URLHandle(const URLHandle&) = delete;
  URLHandle& operator=(const URLHandle&) = delete;

  bool set(const std::string& text) {
    constexpr unsigned int flags = CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE | CURLU_ALLOW_SPACE;
    return url_ && curl_url_set(url_, CURLUPART_URL, text.c_str(), flags) == CURLUE_OK;
  }
  std::optional<std::string> part(CURLUPart which, unsigned int flags = 0) const {
    char* value = nullptr;
    if (curl_url_get(url_, which, &value, flags) != CURLUE_OK || !value) return std::nullopt;
    std::string text(value);
    curl_free(value);
    return text;
  }
  std::optional<Origin> origin() const {
    auto scheme = part(CURLUPART_SCHEME);
    auto host = part(CURLUPART_HOST);
    auto port = part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || !host) return std::nullopt;
    return Origin{foundation::asciiLowercased(*scheme), foundation::asciiLowercased(*host), port.value_or("")};
  }

 private:
  CURLU* url_;
};

bool isFollowedStatus(int status) {
  switch (status) {
    case 300:
    case 301:
    case 302:
    case 303:
    case 307:
    case 308: return true;
    default: return false;
  }
}

}  // namespace

RedirectVerdict judgeRedirect(int status, const std::string& requestURL, std::string_view location) {
  if (!isFollowedStatus(status) || location.empty()) return RedirectVerdict::follow;
  URLHandle url;
  if (!url.set(requestURL)) return RedirectVerdict::refuseOtherOrigin;
  const std::optional<Origin> from = url.origin();
  // Set on top of the request's URL, a relative location is resolved against it.
  if (!from || !url.set(std::string(location))) return RedirectVerdict::refuseOtherOrigin;
  const std::optional<Origin> to = url.origin();
  if (!to) return RedirectVerdict::refuseOtherOrigin;
  if (from->scheme == "https" && to->scheme != "https") return RedirectVerdict::refuseInsecure;
  return *from == *to ? RedirectVerdict::follow : RedirectVerdict::refuseOtherOrigin;
}

std::shared_ptr<const Error> refusedRedirectError(RedirectVerdict verdict, const std::string& requestURL,
                                                  std::string_view location) {
  const bool insecure = verdict == RedirectVerdict::refuseInsecure;
  std::string text = insecure ? std::string(kInsecureRedirectRefused) : std::string(kOtherOriginRedirectRefused);
  std::string message = text;
  message.append(": ").append(location);
  return makeError(RequestError::sessionTaskFailed(
      makeError(URLError(insecure ? URLError::Code::secureConnectionRequired : URLError::Code::unsupportedURL,
                         requestURL, static_cast<int>(CURLE_WRITE_ERROR), std::move(message), std::move(text) + "."))));
}

}  // namespace keln::http
