#include <keln/core/KelnSDKError.h>

#include <utility>

namespace keln {
namespace {

const char* caseName(KelnSDKError::Kind kind) {
  switch (kind) {
    case KelnSDKError::Kind::sdkNotConfigured: return "sdkNotConfigured";
    case KelnSDKError::Kind::applePayError: return "applePayError";
    case KelnSDKError::Kind::canceledByUser: return "canceledByUser";
    case KelnSDKError::Kind::invalidParameter: return "invalidParameter";
  }
  return "?";
}

// Text inside a description, quoted with its quotes and backslashes escaped.
std::string quoted(const std::string& text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') result += '\\';
    result += c;
  }
  return result + "\"";
}

}  // namespace

KelnSDKError::KelnSDKError(Kind kind, std::optional<std::string> message) : kind_(kind), message_(std::move(message)) {}

KelnSDKError KelnSDKError::sdkNotConfigured(std::optional<std::string> message) {
  return KelnSDKError(Kind::sdkNotConfigured, std::move(message));
}

KelnSDKError KelnSDKError::applePayError(std::optional<std::string> message) {
  return KelnSDKError(Kind::applePayError, std::move(message));
}

KelnSDKError KelnSDKError::canceledByUser() { return KelnSDKError(Kind::canceledByUser, std::nullopt); }

KelnSDKError KelnSDKError::invalidParameter(std::optional<std::string> message) {
  return KelnSDKError(Kind::invalidParameter, std::move(message));
}

std::optional<std::string> KelnSDKError::errorDescription() const {
  if (kind_ == Kind::canceledByUser) return std::string("Canceled by user");
  return message_;
}

std::string KelnSDKError::description() const {
  if (kind_ == Kind::canceledByUser) return caseName(kind_);
  return std::string(caseName(kind_)) + "(" + (message_ ? quoted(*message_) : std::string("nil")) + ")";
}

std::string KelnSDKError::localizedDescription() const {
  if (std::optional<std::string> text = errorDescription()) return *text;
  return "The operation couldn\u2019t be completed. (KelnSDK.KelnSDKError error " +
         std::to_string(static_cast<int>(kind_)) + ".)";
}

}  // namespace keln
