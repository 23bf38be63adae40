#pragma once

#include <keln/Export.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace keln::passkit {

// An exact decimal number, the amount type of the wallet's summary items: a sign, up to
// 38 significant decimal digits and a power of ten (-128 ... 127), so that "0.1" is
// exactly one tenth. Made from text, never from a binary double; a text that is not a
// number, or a value outside that range, gives "not a number", which the wallet refuses
// to show. Immutable value; any thread.
class KELN_EXPORT Decimal {
 public:
  static constexpr std::size_t maximumDigits = 38;
  static constexpr int minimumExponent = -128;
  static constexpr int maximumExponent = 127;

  // Zero.
  Decimal() = default;

  // Reads the whole of `text`: an optional sign, digits with at most one ".", and an
  // optional exponent ("e" or "E", optional sign, digits): "10.5", "-3", ".5", "1e-05".
  // Anything else (white space, "nan", "inf", "1,5", "", a lone ".") is not a number.
  // More than 38 significant digits are rounded half up to 38.
  explicit Decimal(std::string_view text);

  static Decimal notANumber();

  bool isNaN() const { return nan_; }
  bool isZero() const { return !nan_ && digits_.empty(); }
  bool isNegative() const { return negative_; }

  // The significant digits without leading or trailing zeros ("" for zero and NaN), and
  // the power of ten they are multiplied by: 10.5 is "105" and -1.
  const std::string& digits() const { return digits_; }
  int exponent() const { return exponent_; }

  // Plain decimal text, never an exponent: "10", "10.5", "-0.001", "0", "NaN".
  std::string description() const;

  // Equal values compare equal whatever text they were read from ("10" == "10.00" ==
  // "1e1"); every NaN equals every other.
  friend bool operator==(const Decimal&, const Decimal&) = default;

 private:
  bool nan_ = false;
  bool negative_ = false;
  std::string digits_;
  int exponent_ = 0;
};

}  // namespace keln::passkit
