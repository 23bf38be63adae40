#pragma once

#include <keln/Export.h>

#include <optional>
#include <string>

#include <keln/foundation/Error.h>

namespace keln {

// The error the SDK raises in its own name, delivered to a host as the error of a
// Result:
//  - sdkNotConfigured: the configuration was rejected before a request was sent
//    ("Incorrect baseURL", "Incorrect clientID", "Incorrect token", "Missing baseURL");
//  - applePayError: the wallet sheet reported an error ("Apple Pay Error");
//  - canceledByUser: the user closed the checkout;
//  - invalidParameter: an argument of a call cannot make a request, and nothing was sent
//    ("Missing transactionID": a status query for an empty transaction id).
// An immutable value.
class KELN_EXPORT KelnSDKError : public Error {
 public:
  enum class Kind { sdkNotConfigured, applePayError, canceledByUser, invalidParameter };

  static KelnSDKError sdkNotConfigured(std::optional<std::string> message);
  static KelnSDKError applePayError(std::optional<std::string> message);
  static KelnSDKError canceledByUser();
  static KelnSDKError invalidParameter(std::optional<std::string> message);

  Kind kind() const { return kind_; }
  // The text a message case carries; nullopt for canceledByUser.
  const std::optional<std::string>& message() const { return message_; }

  // The carried message, or "Canceled by user"; nullopt for a message case made without
  // a message.
  std::optional<std::string> errorDescription() const;

  // The case and its payload, e.g. sdkNotConfigured("Incorrect token") or canceledByUser.
  std::string description() const override;
  // errorDescription() when present, otherwise a generic text naming the case's number.
  std::string localizedDescription() const override;

 private:
  KelnSDKError(Kind kind, std::optional<std::string> message);

  Kind kind_;
  std::optional<std::string> message_;
};

}  // namespace keln
