#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "foundation/JSONValue.h"
#include "http/HTTPHeaders.h"
#include "http/HTTPMethod.h"
#include "http/ParameterEncoding.h"
#include "http/URLRequest.h"

namespace keln {

// A gateway request described by its parts; asURLRequest() puts them together. The HTTP
// layer calls asURLRequest() for every attempt, on its network thread, so a router is an
// immutable value.
class Router : public http::URLRequestConvertible {
 public:
  // The gateway root the request goes to.
  virtual std::string baseURL() const = 0;
  // The path appended to the root, already percent-encoded.
  virtual std::string path() const = 0;
  virtual http::HTTPMethod method() const = 0;
  // Headers set when the request is built; the network client adds the credentials.
  virtual std::optional<http::HTTPHeaders> headers() const = 0;
  // The body content; absent for a request without a body. Throws
  // foundation::EncodingError when the content exists but cannot be written.
  virtual std::optional<http::Parameters> parameters() const = 0;
  virtual const http::ParameterEncoding& encoding() const = 0;
};

// The JSON object that `value` encodes to; nullopt when it encodes to anything other than
// an object. Throws foundation::EncodingError when the value cannot be written as JSON (a
// number that is not finite, a text that is not UTF-8).
template <typename T>
std::optional<http::Parameters> asDictionary(const T& value) {
  nlohmann::ordered_json tree = foundation::encodeToValue(value);
  foundation::serializeJSON(tree);  // throws for what JSON text cannot carry
  if (!tree.is_object()) return std::nullopt;
  return tree;
}

}  // namespace keln
