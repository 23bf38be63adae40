#pragma once

#include <string>

#include <keln/foundation/Error.h>

namespace keln::http {

// A transport failure: the exchange with the server did not complete (no connection, a
// time-out, a broken connection, a TLS failure, ...). Kept apart from HTTP status, which a
// completed exchange reports in its response. Made by the session from libcurl's result.
//
// Immutable.
class URLError final : public Error {
 public:
  // The platform's URL loading error codes.
  enum class Code : int {
    unknown = -1,
    cancelled = -999,
    badURL = -1000,
    timedOut = -1001,
    unsupportedURL = -1002,
    cannotFindHost = -1003,
    cannotConnectToHost = -1004,
    networkConnectionLost = -1005,
    httpTooManyRedirects = -1007,
    badServerResponse = -1011,
    cannotParseResponse = -1017,
    secureConnectionRequired = -1022,
    secureConnectionFailed = -1200,
    serverCertificateUntrusted = -1202,
  };

  // `transportCode` and `transportMessage` are the transport's own code and message
  // (libcurl's), kept for diagnosis; `failingURL` is the URL of the attempt. A non-empty
  // `localizedText` says what happened where the code's own text would not (a redirect
  // that the session refused, say).
  URLError(Code code, std::string failingURL, int transportCode, std::string transportMessage,
           std::string localizedText = {});

  Code code() const { return code_; }
  const std::string& failingURL() const { return failingURL_; }
  int transportCode() const { return transportCode_; }
  const std::string& transportMessage() const { return transportMessage_; }

  // Error Domain=NSURLErrorDomain Code=-1004 "Could not connect to the server."
  // UserInfo={NSErrorFailingURLStringKey=..., NSLocalizedDescription=..., curlCode=7,
  // curlMessage=...}
  std::string description() const override;
  // The text given at creation, or the code's: "Could not connect to the server.", "The
  // request timed out.", ...
  std::string localizedDescription() const override;

 private:
  Code code_;
  std::string failingURL_;
  int transportCode_;
  std::string transportMessage_;
  std::string localizedText_;
};

}  // namespace keln::http
