#pragma once

#include <optional>
#include <string_view>

namespace keln::http {

// The method of an HTTP request.
enum class HTTPMethod { get, head, post, put, patch, delete_, options };

// "GET", "HEAD", "POST", ...
std::string_view rawValue(HTTPMethod method);
// The method whose raw value is `text` (case-sensitive), or none.
std::optional<HTTPMethod> httpMethodFromRawValue(std::string_view text);

}  // namespace keln::http
