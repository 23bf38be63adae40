#pragma once

#include <optional>
#include <string>

#include <keln/passkit/Contact.h>

namespace keln {

// Assembles a wallet contact. Every part starts unset; setters store their argument
// (replacing an earlier value) and return the builder so that calls chain. One thread at
// a time.
class PKContactBuilder {
 public:
  PKContactBuilder() = default;

  PKContactBuilder& name(std::optional<passkit::PersonNameComponents> value);
  PKContactBuilder& postalAddress(std::optional<passkit::PostalAddress> value);
  PKContactBuilder& emailAddress(std::optional<std::string> value);
  PKContactBuilder& phoneNumber(std::optional<std::string> value);
  PKContactBuilder& supplementarySubLocality(std::optional<std::string> value);

  // The contact with the stored parts; unset parts stay absent. Checks nothing.
  passkit::Contact build() const;

 private:
  passkit::Contact contact_;
};

}  // namespace keln
