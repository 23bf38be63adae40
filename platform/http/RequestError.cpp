#include "http/RequestError.h"

#include <algorithm>

namespace keln::http {
namespace {

std::string describe(const std::shared_ptr<const Error>& error) { return error ? error->description() : "nil"; }
std::string localize(const std::shared_ptr<const Error>& error) {
  return error ? error->localizedDescription() : "unknown error";
}

}  // namespace

RequestError RequestError::parameterEncodingFailed(std::shared_ptr<const Error> jsonError) {
  RequestError e(Kind::parameterEncodingFailed);
  e.underlying_ = std::move(jsonError);
  return e;
}

RequestError RequestError::createURLRequestFailed(std::shared_ptr<const Error> error) {
  RequestError e(Kind::createURLRequestFailed);
  e.underlying_ = std::move(error);
  return e;
}

RequestError RequestError::requestAdaptationFailed(std::shared_ptr<const Error> error) {
  RequestError e(Kind::requestAdaptationFailed);
  e.underlying_ = std::move(error);
  return e;
}

RequestError RequestError::bodyDataInGETRequest(std::size_t bodySize) {
  RequestError e(Kind::urlRequestValidationFailed);
  e.reason_ = ValidationReason::bodyDataInGETRequest;
  e.size_ = bodySize;
  return e;
}

RequestError RequestError::invalidHeaderField(std::string name) {
  RequestError e(Kind::urlRequestValidationFailed);
  e.reason_ = ValidationReason::invalidHeaderField;
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  e.text_ = std::move(name);
  return e;
}

RequestError RequestError::sessionTaskFailed(std::shared_ptr<const Error> transportError) {
  RequestError e(Kind::sessionTaskFailed);
  e.underlying_ = std::move(transportError);
  return e;
}

RequestError RequestError::unacceptableStatusCode(int code) {
  RequestError e(Kind::responseValidationFailed);
  e.reason_ = ValidationReason::unacceptableStatusCode;
  e.responseCode_ = code;
  return e;
}

RequestError RequestError::unacceptableContentType(std::vector<std::string> acceptableContentTypes,
                                                   std::string responseContentType) {
  RequestError e(Kind::responseValidationFailed);
  e.reason_ = ValidationReason::unacceptableContentType;
  e.acceptableContentTypes_ = std::move(acceptableContentTypes);
  e.text_ = std::move(responseContentType);
  return e;
}

RequestError RequestError::inputDataNilOrZeroLength() { return RequestError(Kind::responseSerializationFailed); }

RequestError RequestError::requestRetryFailed(std::shared_ptr<const Error> retryError,
                                              std::shared_ptr<const Error> originalError) {
  RequestError e(Kind::requestRetryFailed);
  e.underlying_ = std::move(retryError);
  e.original_ = std::move(originalError);
  return e;
}

RequestError RequestError::responseTooLarge(std::size_t limit) {
  RequestError e(Kind::responseTooLarge);
  e.size_ = limit;
  return e;
}

bool RequestError::isTransportFailure() const {
  return kind_ == Kind::sessionTaskFailed || kind_ == Kind::responseTooLarge;
}

std::string RequestError::description() const {
  const std::string validation = "RequestError.URLRequestValidationFailureReason.";
  const std::string response = "RequestError.ResponseValidationFailureReason.";
  switch (kind_) {
    case Kind::parameterEncodingFailed:
      return "parameterEncodingFailed(reason: RequestError.ParameterEncodingFailureReason.jsonEncodingFailed(error: " +
             describe(underlying_) + "))";
    case Kind::createURLRequestFailed: return "createURLRequestFailed(error: " + describe(underlying_) + ")";
    case Kind::requestAdaptationFailed: return "requestAdaptationFailed(error: " + describe(underlying_) + ")";
    case Kind::urlRequestValidationFailed:
      if (reason_ == ValidationReason::invalidHeaderField) {
        return "urlRequestValidationFailed(reason: " + validation + "invalidHeaderField(name: \"" + text_ + "\"))";
      }
      return "urlRequestValidationFailed(reason: " + validation + "bodyDataInGETRequest(" + std::to_string(size_) +
             " bytes))";
    case Kind::sessionTaskFailed: return "sessionTaskFailed(error: " + describe(underlying_) + ")";
    case Kind::responseValidationFailed:
      if (reason_ == ValidationReason::unacceptableContentType) {
        std::string list;
        for (const std::string& type : acceptableContentTypes_) {
          list += (list.empty() ? "\"" : ", \"") + type + "\"";
        }
        return "responseValidationFailed(reason: " + response + "unacceptableContentType(acceptableContentTypes: [" +
               list + "], responseContentType: \"" + text_ + "\"))";
      }
      return "responseValidationFailed(reason: " + response +
             "unacceptableStatusCode(code: " + std::to_string(responseCode_.value_or(0)) + "))";
    case Kind::responseSerializationFailed:
      return "responseSerializationFailed(reason: "
             "RequestError.ResponseSerializationFailureReason.inputDataNilOrZeroLength)";
    case Kind::requestRetryFailed:
      return "requestRetryFailed(retryError: " + describe(underlying_) + ", originalError: " + describe(original_) +
             ")";
    case Kind::responseTooLarge: return "responseTooLarge(limit: " + std::to_string(size_) + ")";
  }
  return "unknown";
}

std::string RequestError::localizedDescription() const {
  switch (kind_) {
    case Kind::parameterEncodingFailed: return "JSON could not be encoded because of error:\n" + localize(underlying_);
    case Kind::createURLRequestFailed: return "URLRequest creation failed with error: " + localize(underlying_);
    case Kind::requestAdaptationFailed: return "Request adaption failed with error: " + localize(underlying_);
    case Kind::urlRequestValidationFailed:
      if (reason_ == ValidationReason::invalidHeaderField) {
        return "URLRequest header field \"" + text_ + "\" holds a character that cannot be sent.";
      }
      return "URLRequest validation failed due to reason: Invalid URLRequest: Requests with GET method cannot have "
             "body data.";
    case Kind::sessionTaskFailed: return "URLSessionTask failed with error: " + localize(underlying_);
    case Kind::responseValidationFailed:
      if (reason_ == ValidationReason::unacceptableContentType) {
        std::vector<std::string> sorted = acceptableContentTypes_;
        std::sort(sorted.begin(), sorted.end());
        std::string list;
        for (const std::string& type : sorted) list += (list.empty() ? "" : ",") + type;
        return "Response Content-Type \"" + text_ + "\" does not match any acceptable types: " + list + ".";
      }
      return "Response status code was unacceptable: " + std::to_string(responseCode_.value_or(0)) + ".";
    case Kind::responseSerializationFailed:
      return "Response could not be serialized, input data was nil or zero length.";
    case Kind::requestRetryFailed:
      return "Request retry failed with retry error: " + localize(underlying_) +
             ", original error: " + localize(original_);
    case Kind::responseTooLarge:
      return "Response body exceeded the maximum size of " + std::to_string(size_) + " bytes.";
  }
  return "unknown error";
}

}  // namespace keln::http
