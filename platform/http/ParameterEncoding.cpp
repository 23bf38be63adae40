#include "http/ParameterEncoding.h"

#include <keln/foundation/Result.h>

#include "foundation/JSONValue.h"
#include "http/RequestError.h"

namespace keln::http {
namespace {

// The parameters are not something JSON can represent.
class InvalidJSONObjectError final : public Error {
 public:
  explicit InvalidJSONObjectError(std::string detail) : detail_(std::move(detail)) {}
  std::string description() const override {
    return detail_.empty() ? "invalidJSONObject" : "invalidJSONObject(" + detail_ + ")";
  }
  std::string localizedDescription() const override {
    return "Invalid JSON object provided for parameter or object encoding.";
  }

 private:
  std::string detail_;
};

}  // namespace

const JSONEncoding& JSONEncoding::defaultEncoding() {
  static const JSONEncoding encoding;
  return encoding;
}

URLRequest JSONEncoding::encode(URLRequest request, const std::optional<Parameters>& parameters) const {
  if (!parameters) return request;
  if (!parameters->is_object()) {
    throw RequestError::parameterEncodingFailed(makeError(InvalidJSONObjectError("not an object")));
  }
  std::string body;
  try {
    body = foundation::serializeJSON(*parameters);
  } catch (const Error& error) {
    throw RequestError::parameterEncodingFailed(makeError(InvalidJSONObjectError(error.description())));
  } catch (const std::exception& error) {
    throw RequestError::parameterEncodingFailed(makeError(InvalidJSONObjectError(error.what())));
  }
  if (!request.headers().value("Content-Type")) request.headers().add("Content-Type", "application/json");
  request.setHTTPBody(std::move(body));
  return request;
}

}  // namespace keln::http
