#pragma once

// Which redirects a session follows. A redirect is followed only within the origin
// (scheme, host and port) of the request that was sent, so the request's header fields,
// credentials among them, never reach another server, and an HTTPS request never
// continues over plain HTTP.

#include <memory>
#include <string>
#include <string_view>

#include <keln/foundation/Error.h>

namespace keln::http {

enum class RedirectVerdict {
  follow,
  refuseInsecure,     // from HTTPS to anything that is not HTTPS
  refuseOtherOrigin,  // to another scheme, host or port, or to a location that does not parse
};

// The verdict on a reply of status `status` that sends `requestURL` to `location` (as the
// Location header gives it, possibly relative). Statuses that are not followed, and an
// empty location, give follow: nothing leaves for another place.
RedirectVerdict judgeRedirect(int status, const std::string& requestURL, std::string_view location);

inline constexpr std::string_view kOtherOriginRedirectRefused = "Redirect to another origin refused";
inline constexpr std::string_view kInsecureRedirectRefused = "Redirect from HTTPS to cleartext refused";

// The transport failure of an attempt whose redirect to `location` was refused: a
// RequestError (sessionTaskFailed) around a URLError, secureConnectionRequired for an
// insecure redirect and unsupportedURL for another origin, whose localized description
// says which refusal it was ("Redirect to another origin refused.", "Redirect from HTTPS
// to cleartext refused."). `location` is named in the URLError's transport message;
// `requestURL` is its failing URL.
std::shared_ptr<const Error> refusedRedirectError(RedirectVerdict verdict, const std::string& requestURL,
                                                  std::string_view location);

}  // namespace keln::http
