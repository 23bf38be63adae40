#include <keln/model/AddressBuilder.h>

#include <utility>

#include "foundation/Unicode.h"

namespace keln {

namespace {

constexpr std::size_t kCountryLength = 2;

[[noreturn]] void fail(std::string message) { throw BuilderError::incorrectParameter(std::move(message)); }

bool missing(const std::optional<std::string>& value) { return !value || value->empty(); }

}  // namespace

Address::Builder& Address::Builder::street1(std::string value) {
  street1_ = std::move(value);
  return *this;
}

Address::Builder& Address::Builder::street2(std::string value) {
  street2_ = std::move(value);
  return *this;
}

Address::Builder& Address::Builder::city(std::string value) {
  city_ = std::move(value);
  return *this;
}

Address::Builder& Address::Builder::postcode(std::string value) {
  postcode_ = std::move(value);
  return *this;
}

Address::Builder& Address::Builder::country(std::string value) {
  country_ = std::move(value);
  return *this;
}

Address Address::Builder::build() const {
  if (missing(street1_)) fail("Missing street1");
  if (missing(city_)) fail("Missing city");
  if (missing(postcode_)) fail("Missing postcode");
  if (missing(country_)) fail("Missing country");
  if (foundation::characterCount(*country_) != kCountryLength) {
    fail("Invalid country: [" + *country_ + "]. Should contain 2 characters");
  }
  return Address(*street1_, street2_, *city_, *postcode_, *country_);
}

}  // namespace keln
