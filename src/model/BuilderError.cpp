#include <keln/model/BuilderError.h>

#include <utility>

namespace keln {

BuilderError::BuilderError(Kind kind, std::optional<std::string> message) : kind_(kind), message_(std::move(message)) {}

BuilderError BuilderError::incorrectParameter(std::optional<std::string> message) {
  return BuilderError(Kind::incorrectParameter, std::move(message));
}

std::string BuilderError::description() const { return message_.value_or("incorrectParameter"); }

std::string BuilderError::localizedDescription() const {
  return message_.value_or("The operation couldn\u2019t be completed. (KelnSDK.BuilderError error 0.)");
}

}  // namespace keln
