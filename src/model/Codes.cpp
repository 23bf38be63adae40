#include <keln/model/Codes.h>

#include <array>
#include <initializer_list>
#include <utility>

#include "foundation/Unicode.h"

namespace keln {

using foundation::Decoder;
using foundation::DecodingError;
using foundation::Encoder;

namespace {

struct PaymentMethodCode {
  PaymentMethod method;
  const char* rawValue;
};

constexpr std::array<PaymentMethodCode, 5> kPaymentMethodCodes{{
    {PaymentMethod::applePay, "XPAY"},
    {PaymentMethod::blik, "BLIK"},
    {PaymentMethod::card, "CARD"},
    {PaymentMethod::payByLink, "PAY_BY_LINK"},
    {PaymentMethod::pblkv, "PBLKV"},
}};

// The one key of a case-naming object that names a case of the enumeration (exact
// comparison; other keys are passed over). No such key, or more than one, is a type
// mismatch at the object's path.
std::string singleCaseKey(const Decoder& decoder, std::initializer_list<std::string_view> caseNames) {
  std::optional<std::string> found;
  bool several = false;
  for (std::string& key : decoder.allKeys()) {
    for (std::string_view name : caseNames) {
      if (key != name) continue;
      if (found) several = true;
      found = std::move(key);
      break;
    }
  }
  if (!found || several) {
    decoder.fail(DecodingError::Kind::typeMismatch, "Invalid number of keys found, expected one.");
  }
  return *found;
}

// A named case carries nothing, but its value must still be an object.
void requireEmptyCase(const Decoder& decoder, std::string_view key) { (void)decoder.nested(key).allKeys(); }

std::string decodeCustomValue(const Decoder& decoder) { return decoder.nested("custom").decode<std::string>("_0"); }

void encodeNamedCase(Encoder& encoder, std::string_view key) {
  encoder.beginObject();
  encoder.nested(key).beginObject();
}

void encodeCustomCase(Encoder& encoder, const std::string& value) {
  encoder.beginObject();
  Encoder custom = encoder.nested("custom");
  custom.beginObject();
  custom.encode("_0", value);
}

template <typename T>
std::optional<T> findByCode(const std::vector<T>& cases, std::string_view code, std::size_t customLength) {
  for (const T& element : cases) {
    if (foundation::caseInsensitiveEquals(element.code(), code)) return element;
  }
  if (foundation::characterCount(code) == customLength) return T::custom(std::string(code));
  return std::nullopt;
}

std::vector<Currency>& currencyCases() {
  static std::vector<Currency> cases{Currency::pln(), Currency::eur()};
  return cases;
}

std::vector<Language>& languageCases() {
  static std::vector<Language> cases{Language::en(), Language::pl()};
  return cases;
}

}  // namespace

// --- PaymentMethod ---------------------------------------------------------------------

std::string rawValue(PaymentMethod method) {
  for (const PaymentMethodCode& entry : kPaymentMethodCodes) {
    if (entry.method == method) return entry.rawValue;
  }
  return {};
}

template <>
std::optional<PaymentMethod> fromRawValue<PaymentMethod>(std::string_view rawValue) {
  for (const PaymentMethodCode& entry : kPaymentMethodCodes) {
    if (rawValue == entry.rawValue) return entry.method;
  }
  return std::nullopt;
}

template <>
const std::vector<PaymentMethod>& allCases<PaymentMethod>() {
  static const std::vector<PaymentMethod> cases{PaymentMethod::applePay, PaymentMethod::blik, PaymentMethod::card,
                                                PaymentMethod::payByLink, PaymentMethod::pblkv};
  return cases;
}

// --- Currency --------------------------------------------------------------------------

Currency::Currency(Kind kind, std::string customValue) : kind_(kind), customValue_(std::move(customValue)) {}

Currency Currency::pln() { return Currency(Kind::pln, {}); }
Currency Currency::eur() { return Currency(Kind::eur, {}); }
Currency Currency::custom(std::string code) { return Currency(Kind::custom, std::move(code)); }

std::string Currency::code() const {
  switch (kind_) {
    case Kind::pln: return "PLN";
    case Kind::eur: return "EUR";
    case Kind::custom: break;
  }
  return foundation::uppercased(customValue_);
}

std::optional<Currency> Currency::fromCode(std::string_view code) { return findByCode(currencyCases(), code, 3); }

std::vector<Currency> Currency::allCases() { return currencyCases(); }

void Currency::setAllCases(std::vector<Currency> cases) { currencyCases() = std::move(cases); }

void Currency::encode(Encoder& encoder) const {
  switch (kind_) {
    case Kind::pln: return encodeNamedCase(encoder, "pln");
    case Kind::eur: return encodeNamedCase(encoder, "eur");
    case Kind::custom: break;
  }
  encodeCustomCase(encoder, customValue_);
}

Currency Currency::decode(const Decoder& decoder) {
  const std::string key = singleCaseKey(decoder, {"pln", "eur", "custom"});
  if (key == "custom") return custom(decodeCustomValue(decoder));
  requireEmptyCase(decoder, key);
  return key == "pln" ? pln() : eur();
}

// --- Language --------------------------------------------------------------------------

Language::Language(Kind kind, std::string customValue) : kind_(kind), customValue_(std::move(customValue)) {}

Language Language::en() { return Language(Kind::en, {}); }
Language Language::pl() { return Language(Kind::pl, {}); }
Language Language::custom(std::string code) { return Language(Kind::custom, std::move(code)); }

std::string Language::code() const {
  switch (kind_) {
    case Kind::en: return "en";
    case Kind::pl: return "pl";
    case Kind::custom: break;
  }
  return customValue_;
}

std::optional<Language> Language::fromCode(std::string_view code) { return findByCode(languageCases(), code, 2); }

std::vector<Language> Language::allCases() { return languageCases(); }

void Language::setAllCases(std::vector<Language> cases) { languageCases() = std::move(cases); }

void Language::encode(Encoder& encoder) const {
  switch (kind_) {
    case Kind::en: return encodeNamedCase(encoder, "en");
    case Kind::pl: return encodeNamedCase(encoder, "pl");
    case Kind::custom: break;
  }
  encodeCustomCase(encoder, customValue_);
}

Language Language::decode(const Decoder& decoder) {
  const std::string key = singleCaseKey(decoder, {"en", "pl", "custom"});
  if (key == "custom") return custom(decodeCustomValue(decoder));
  requireEmptyCase(decoder, key);
  return key == "en" ? en() : pl();
}

}  // namespace keln

namespace keln::foundation {

void Coding<PaymentMethod>::encode(PaymentMethod value, Encoder& encoder) { encoder.encodeString(rawValue(value)); }

PaymentMethod Coding<PaymentMethod>::decode(const Decoder& decoder) {
  const std::string text = decoder.decodeString();
  const std::optional<PaymentMethod> method = fromRawValue<PaymentMethod>(text);
  if (!method) {
    decoder.fail(DecodingError::Kind::dataCorrupted,
                 "Cannot initialize PaymentMethod from invalid String value " + text);
  }
  return *method;
}

}  // namespace keln::foundation
