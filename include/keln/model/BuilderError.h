#pragma once

#include <keln/Export.h>

#include <optional>
#include <string>

#include <keln/foundation/Error.h>

namespace keln {

// The error a validating builder (CheckoutRequest::Builder, Address::Builder) throws from
// build() at the first field that fails its check. It carries a fixed English message that
// names the problem, with the offending value in square brackets where there is one, as
// in "Incorrect terminal ID: [0]".
class KELN_EXPORT BuilderError : public Error {
 public:
  enum class Kind { incorrectParameter };

  static BuilderError incorrectParameter(std::optional<std::string> message);

  Kind kind() const { return kind_; }

  // The carried message.
  const std::optional<std::string>& errorDescription() const { return message_; }

  // The carried message, or "incorrectParameter" when there is none.
  std::string description() const override;
  // The carried message, or the platform's generic text when there is none.
  std::string localizedDescription() const override;

 private:
  BuilderError(Kind kind, std::optional<std::string> message);

  Kind kind_;
  std::optional<std::string> message_;
};

}  // namespace keln
