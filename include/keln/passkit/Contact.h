#pragma once

#include <keln/Export.h>

#include <optional>
#include <string>

namespace keln::passkit {

// The parts of a person's name.
struct KELN_EXPORT PersonNameComponents {
  std::optional<std::string> namePrefix;
  std::optional<std::string> givenName;
  std::optional<std::string> middleName;
  std::optional<std::string> familyName;
  std::optional<std::string> nameSuffix;
  std::optional<std::string> nickname;

  friend bool operator==(const PersonNameComponents&, const PersonNameComponents&) = default;
};

// A postal address as the wallet's contacts hold it.
struct KELN_EXPORT PostalAddress {
  std::string street;
  std::string subLocality;
  std::string city;
  std::string subAdministrativeArea;
  std::string state;
  std::string postalCode;
  std::string country;
  std::string isoCountryCode;

  friend bool operator==(const PostalAddress&, const PostalAddress&) = default;
};

// Contact details for billing or shipping. Every part is optional.
struct KELN_EXPORT Contact {
  std::optional<PersonNameComponents> name;
  std::optional<PostalAddress> postalAddress;
  std::optional<std::string> emailAddress;
  std::optional<std::string> phoneNumber;
  std::optional<std::string> supplementarySubLocality;

  friend bool operator==(const Contact&, const Contact&) = default;
};

// A piece of contact information the sheet asks the user for.
enum class ContactField {
  postalAddress,
  emailAddress,
  phoneNumber,
  name,
  phoneticName,
};

}  // namespace keln::passkit
