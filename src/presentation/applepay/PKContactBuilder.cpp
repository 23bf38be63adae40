#include "presentation/applepay/PKContactBuilder.h"

#include <utility>

namespace keln {

PKContactBuilder& PKContactBuilder::name(std::optional<passkit::PersonNameComponents> value) {
  contact_.name = std::move(value);
  return *this;
}

PKContactBuilder& PKContactBuilder::postalAddress(std::optional<passkit::PostalAddress> value) {
  contact_.postalAddress = std::move(value);
  return *this;
}

PKContactBuilder& PKContactBuilder::emailAddress(std::optional<std::string> value) {
  contact_.emailAddress = std::move(value);
  return *this;
}

PKContactBuilder& PKContactBuilder::phoneNumber(std::optional<std::string> value) {
  contact_.phoneNumber = std::move(value);
  return *this;
}

PKContactBuilder& PKContactBuilder::supplementarySubLocality(std::optional<std::string> value) {
  contact_.supplementarySubLocality = std::move(value);
  return *this;
}

passkit::Contact PKContactBuilder::build() const { return contact_; }

}  // namespace keln
