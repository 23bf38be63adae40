#include "http/URLError.h"

namespace keln::http {

URLError::URLError(Code code, std::string failingURL, int transportCode, std::string transportMessage,
                   std::string localizedText)
    : code_(code),
      failingURL_(std::move(failingURL)),
      transportCode_(transportCode),
      transportMessage_(std::move(transportMessage)),
      localizedText_(std::move(localizedText)) {}

std::string URLError::localizedDescription() const {
  if (!localizedText_.empty()) return localizedText_;
  switch (code_) {
    case Code::cancelled: return "cancelled";
    case Code::badURL: return "bad URL";
    case Code::timedOut: return "The request timed out.";
    case Code::unsupportedURL: return "unsupported URL";
    case Code::cannotFindHost: return "A server with the specified hostname could not be found.";
    case Code::cannotConnectToHost: return "Could not connect to the server.";
    case Code::networkConnectionLost: return "The network connection was lost.";
    case Code::httpTooManyRedirects: return "too many HTTP redirects";
    case Code::badServerResponse: return "bad server response";
    case Code::cannotParseResponse: return "cannot parse response";
    case Code::secureConnectionRequired:
      return "The resource could not be loaded because a secure connection is required.";
    case Code::secureConnectionFailed:
      return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case Code::serverCertificateUntrusted: return "The certificate for this server is invalid.";
    case Code::unknown: break;
  }
  return "unknown error";
}

std::string URLError::description() const {
  const std::string text = localizedDescription();
  std::string out = "Error Domain=NSURLErrorDomain Code=" + std::to_string(static_cast<int>(code_)) + " \"" + text +
                    "\" UserInfo={NSErrorFailingURLStringKey=" + failingURL_ + ", NSLocalizedDescription=" + text +
                    ", curlCode=" + std::to_string(transportCode_);
  if (!transportMessage_.empty()) out += ", curlMessage=" + transportMessage_;
  return out + "}";
}

}  // namespace keln::http
