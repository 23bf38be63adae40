#include "http/HTTPMethod.h"

#include <array>
#include <utility>

namespace keln::http {
namespace {

constexpr std::array<std::pair<HTTPMethod, std::string_view>, 7> kMethods{{
    {HTTPMethod::get, "GET"},
    {HTTPMethod::head, "HEAD"},
    {HTTPMethod::post, "POST"},
    {HTTPMethod::put, "PUT"},
    {HTTPMethod::patch, "PATCH"},
    {HTTPMethod::delete_, "DELETE"},
    {HTTPMethod::options, "OPTIONS"},
}};

}  // namespace

std::string_view rawValue(HTTPMethod method) {
  for (const auto& [value, text] : kMethods) {
    if (value == method) return text;
  }
  return "GET";
}

std::optional<HTTPMethod> httpMethodFromRawValue(std::string_view text) {
  for (const auto& [value, raw] : kMethods) {
    if (raw == text) return value;
  }
  return std::nullopt;
}

}  // namespace keln::http
