#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/foundation/Error.h>

namespace keln::http {

// Why a request of a Session failed. Each case is made by the static factory of the same
// name; the ones that wrap another error keep it (underlyingError()).
//
// description() is the case written out with its payload, e.g.
//   responseValidationFailed(reason: RequestError.ResponseValidationFailureReason.unacceptableStatusCode(code: 500))
// localizedDescription() is the sentence for a person, e.g.
//   Response status code was unacceptable: 500.
//
// Immutable.
class RequestError final : public Error {
 public:
  enum class Kind {
    parameterEncodingFailed,      // the parameters could not be written into the request
    createURLRequestFailed,       // the convertible threw an error that is not a RequestError
    requestAdaptationFailed,      // the adapter threw, or adapted a GET to carry a body
    urlRequestValidationFailed,   // the request is not fit to be sent (see reason)
    sessionTaskFailed,            // transport failure (underlyingError() is a URLError)
    responseValidationFailed,     // validate() rejected the reply (see reason)
    responseSerializationFailed,  // the reply had no body and its status allows none
    requestRetryFailed,           // the retrier declined with an error of its own
    responseTooLarge,             // the reply body passed the session's size limit
  };

  enum class ValidationReason {
    bodyDataInGETRequest,     // urlRequestValidationFailed
    invalidHeaderField,       // urlRequestValidationFailed: a name or value that cannot be sent
    unacceptableStatusCode,   // responseValidationFailed
    unacceptableContentType,  // responseValidationFailed
  };

  static RequestError parameterEncodingFailed(std::shared_ptr<const Error> jsonError);
  static RequestError createURLRequestFailed(std::shared_ptr<const Error> error);
  static RequestError requestAdaptationFailed(std::shared_ptr<const Error> error);
  static RequestError bodyDataInGETRequest(std::size_t bodySize);
  // Only the header's name is kept, never its value.
  static RequestError invalidHeaderField(std::string name);
  static RequestError sessionTaskFailed(std::shared_ptr<const Error> transportError);
  static RequestError unacceptableStatusCode(int code);
  static RequestError unacceptableContentType(std::vector<std::string> acceptableContentTypes,
                                              std::string responseContentType);
  static RequestError inputDataNilOrZeroLength();
  static RequestError requestRetryFailed(std::shared_ptr<const Error> retryError,
                                         std::shared_ptr<const Error> originalError);
  static RequestError responseTooLarge(std::size_t limit);

  Kind kind() const { return kind_; }
  // The reason of urlRequestValidationFailed and responseValidationFailed.
  std::optional<ValidationReason> validationReason() const { return reason_; }
  // The status of unacceptableStatusCode.
  std::optional<int> responseCode() const { return responseCode_; }
  // The wrapped error (for requestRetryFailed: the retry error); null when none.
  const std::shared_ptr<const Error>& underlyingError() const { return underlying_; }
  // The original error of requestRetryFailed; null otherwise.
  const std::shared_ptr<const Error>& originalError() const { return original_; }
  // True for sessionTaskFailed and responseTooLarge: the exchange did not complete.
  bool isTransportFailure() const;

  std::string description() const override;
  std::string localizedDescription() const override;

 private:
  explicit RequestError(Kind kind) : kind_(kind) {}

  Kind kind_;
  std::optional<ValidationReason> reason_;
  std::optional<int> responseCode_;
  std::size_t size_ = 0;  // body size of bodyDataInGETRequest, limit of responseTooLarge
  std::string text_;      // header name, or the reply's content type
  std::vector<std::string> acceptableContentTypes_;
  std::shared_ptr<const Error> underlying_;
  std::shared_ptr<const Error> original_;
};

}  // namespace keln::http
