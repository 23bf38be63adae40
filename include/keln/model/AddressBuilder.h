#pragma once

#include <keln/Export.h>

#include <optional>
#include <string>

#include <keln/model/BuilderError.h>
#include <keln/model/WireParts.h>

namespace keln {

// Assembles an Address with validation. Setters store their argument (replacing an
// earlier value) and return the builder so that calls chain. Used from one thread at a
// time; build() leaves the builder as it was, so it can be built again.
class KELN_EXPORT Address::Builder {
 public:
  Builder() = default;

  Builder& street1(std::string value);
  Builder& street2(std::string value);
  Builder& city(std::string value);
  Builder& postcode(std::string value);
  Builder& country(std::string value);

  // The address with the stored values unchanged (street2 may be absent). Throws
  // BuilderError at the first failed check, in this order: street1, city, postcode and
  // country must be set and not empty ("Missing street1", "Missing city", "Missing
  // postcode", "Missing country"), and the country must be exactly 2 characters long
  // ("Invalid country: [<country>]. Should contain 2 characters"). Characters are
  // user-perceived characters.
  Address build() const;

 private:
  std::optional<std::string> street1_;
  std::optional<std::string> street2_;
  std::optional<std::string> city_;
  std::optional<std::string> postcode_;
  std::optional<std::string> country_;
};

}  // namespace keln
