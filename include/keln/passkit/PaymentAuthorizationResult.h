#pragma once

#include <keln/Export.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <keln/foundation/Error.h>

namespace keln::passkit {

// How the app judged an authorized payment; the sheet shows it to the user.
enum class PaymentAuthorizationStatus {
  success,
  failure,
};

// The app's answer to an authorization: a status and, optionally, the errors to show
// (absent and empty are different answers). Immutable value; any thread.
class KELN_EXPORT PaymentAuthorizationResult {
 public:
  using Errors = std::vector<std::shared_ptr<const Error>>;

  PaymentAuthorizationResult(PaymentAuthorizationStatus status, std::optional<Errors> errors)
      : status_(status), errors_(std::move(errors)) {}

  PaymentAuthorizationStatus status() const { return status_; }
  const std::optional<Errors>& errors() const { return errors_; }

 private:
  PaymentAuthorizationStatus status_;
  std::optional<Errors> errors_;
};

}  // namespace keln::passkit
