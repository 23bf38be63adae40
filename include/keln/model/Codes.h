#pragma once

#include <keln/Export.h>

// Fixed names for the codes the gateway uses: payment methods, currencies and languages.
//
// PaymentMethod is a text-coded enumeration: rawValue() gives its gateway code and
// fromRawValue<PaymentMethod>() reads one back (exact, case-sensitive); it travels as a
// JSON string.
//
// Currency and Language name two cases each plus `custom`, which carries any other code.
// Each keeps a process-wide list of known values (allCases) that fromCode() searches; the
// list is created on first use (safe when several threads get there at once), and later
// reads and replacements take no lock, so a host replaces it only while no other thread
// reads it. They travel as a one-key JSON object naming the case: {"pln":{}} or
// {"custom":{"_0":"usd"}}.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <keln/foundation/JSONCoding.h>

namespace keln {

// The case of text-coded enumeration E whose raw value is exactly `rawValue`; nullopt for
// any other text. Specialised for each such enumeration.
template <typename E>
std::optional<E> fromRawValue(std::string_view rawValue);

// Every case of enumeration E, in declared order. Specialised for each such enumeration.
template <typename E>
const std::vector<E>& allCases();

// A payment method a host accepts, by its gateway code.
enum class PaymentMethod {
  applePay,   // "XPAY"
  blik,       // "BLIK"
  card,       // "CARD"
  payByLink,  // "PAY_BY_LINK"
  pblkv,      // "PBLKV"
};

KELN_EXPORT std::string rawValue(PaymentMethod method);
template <>
KELN_EXPORT std::optional<PaymentMethod> fromRawValue<PaymentMethod>(std::string_view rawValue);
template <>
const std::vector<PaymentMethod>& allCases<PaymentMethod>();

// A currency by its three-letter code.
class KELN_EXPORT Currency {
 public:
  enum class Kind { pln, eur, custom };

  static Currency pln();
  static Currency eur();
  // Any other code, kept as given.
  static Currency custom(std::string code);

  Kind kind() const { return kind_; }
  // The text a `custom` value carries, as given; empty for the named cases.
  const std::string& customValue() const { return customValue_; }

  // "PLN", "EUR", or the carried text upper-cased with full Unicode rules ("ß" -> "SS").
  std::string code() const;

  // The first element of allCases() whose code equals `code` ignoring case, returned as
  // stored; otherwise `custom` carrying `code` unchanged when it is exactly 3 characters
  // long; otherwise nullopt.
  static std::optional<Currency> fromCode(std::string_view code);

  // Initially [pln, eur].
  static std::vector<Currency> allCases();
  static void setAllCases(std::vector<Currency> cases);

  void encode(foundation::Encoder& encoder) const;
  static Currency decode(const foundation::Decoder& decoder);

 private:
  Currency(Kind kind, std::string customValue);

  Kind kind_;
  std::string customValue_;
};

// A language by its two-letter code.
class KELN_EXPORT Language {
 public:
  enum class Kind { en, pl, custom };

  static Language en();
  static Language pl();
  // Any other code, kept as given.
  static Language custom(std::string code);

  Kind kind() const { return kind_; }
  // The text a `custom` value carries, as given; empty for the named cases.
  const std::string& customValue() const { return customValue_; }

  // "en", "pl", or the carried text; letter case is never changed.
  std::string code() const;

  // The first element of allCases() whose code equals `code` ignoring case, returned as
  // stored; otherwise `custom` carrying `code` unchanged when it is exactly 2 characters
  // long; otherwise nullopt.
  static std::optional<Language> fromCode(std::string_view code);

  // Initially [en, pl].
  static std::vector<Language> allCases();
  static void setAllCases(std::vector<Language> cases);

  void encode(foundation::Encoder& encoder) const;
  static Language decode(const foundation::Decoder& decoder);

 private:
  Language(Kind kind, std::string customValue);

  Kind kind_;
  std::string customValue_;
};

}  // namespace keln

namespace keln::foundation {

template <>
struct KELN_EXPORT Coding<PaymentMethod> {
  static void encode(PaymentMethod value, Encoder& encoder);
  // A string other than the five codes fails with dataCorrupted.
  static PaymentMethod decode(const Decoder& decoder);
};

}  // namespace keln::foundation
