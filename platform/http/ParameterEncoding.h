#pragma once

#include <optional>

#include <nlohmann/json.hpp>

#include "http/URLRequest.h"

namespace keln::http {

// The content of a request, as a JSON object whose members keep their insertion order.
using Parameters = nlohmann::ordered_json;

// How parameters enter a request.
class ParameterEncoding {
 public:
  virtual ~ParameterEncoding() = default;

  // The request with the parameters applied. Throws RequestError
  // (parameterEncodingFailed) when they cannot be written.
  virtual URLRequest encode(URLRequest request, const std::optional<Parameters>& parameters) const = 0;
};

// Writes the parameters as the request's body in compact JSON ("/" written as "\/", as
// the platform's JSON writer does) and sets "Content-Type: application/json" when the
// request has no Content-Type. Absent parameters leave the request unchanged; an empty
// object gives the body "{}". Parameters that are not a JSON object, or that hold a
// non-finite number or text that is not UTF-8, fail with parameterEncodingFailed.
//
// Stateless; any thread.
class JSONEncoding final : public ParameterEncoding {
 public:
  static const JSONEncoding& defaultEncoding();

  URLRequest encode(URLRequest request, const std::optional<Parameters>& parameters) const override;
};

}  // namespace keln::http
