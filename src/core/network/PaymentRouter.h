#pragma once

#include <optional>
#include <string>
#include <utility>

#include <keln/foundation/JSONCoding.h>

#include "core/network/Router.h"

namespace keln {

// The two gateway requests:
//  - payment: POST baseURL + "/api/v1/payments" with `data` as its JSON body;
//  - status:  GET baseURL + "/api/v1/payments/" + transaction id + "/status", no body.
// The transaction id is percent-encoded so that it stays one path segment whatever it
// holds. Requests use a 60 s time-out and the default cache policy; the JSON encoding
// adds "Content-Type: application/json" when there is a body.
//
// Immutable value; any thread. The body is encoded once, when the router is made: data
// that encodes to something other than a JSON object gives no body, and data that cannot
// be encoded at all makes parameters() and asURLRequest() throw its EncodingError.
class PaymentRouter final : public Router {
 public:
  enum class Kind { payment, status };

  template <typename T>
  static PaymentRouter payment(std::string baseURL, const T& data) {
    PaymentRouter router(Kind::payment, std::move(baseURL), {});
    try {
      router.parameters_ = asDictionary(data);
    } catch (const foundation::EncodingError& error) {
      router.bodyError_ = error;
    }
    return router;
  }
  static PaymentRouter status(std::string baseURL, std::string transactionID);

  Kind kind() const { return kind_; }
  // The status request's transaction id, as given.
  const std::string& transactionID() const { return transactionID_; }

  std::string baseURL() const override { return baseURL_; }
  std::string path() const override;
  http::HTTPMethod method() const override;
  std::optional<http::HTTPHeaders> headers() const override { return std::nullopt; }
  std::optional<http::Parameters> parameters() const override;
  const http::ParameterEncoding& encoding() const override;

  // Throws KelnSDKError::sdkNotConfigured("Missing baseURL") when the base URL does not
  // parse, the body's EncodingError, or the encoding's RequestError.
  http::URLRequest asURLRequest() const override;

 private:
  PaymentRouter(Kind kind, std::string baseURL, std::string transactionID)
      : kind_(kind), baseURL_(std::move(baseURL)), transactionID_(std::move(transactionID)) {}

  Kind kind_;
  std::string baseURL_;
  std::string transactionID_;
  std::optional<http::Parameters> parameters_;
  std::optional<foundation::EncodingError> bodyError_;
};

// `text` with every byte that may not stand in a URL path segment percent-encoded
// (upper-case hex): all but letters, digits and -._~!$&'()*+,;=:@. A segment that would
// read as "." or ".." has its dots encoded as well.
std::string percentEncodedPathSegment(std::string_view text);

}  // namespace keln
