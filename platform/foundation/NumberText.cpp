#include "foundation/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace keln::foundation {

std::string doubleDescription(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";

  // Shortest round-trip digits, as d.ddde±x.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  (void)ec;
  std::string scientific(buffer, end);
  const std::size_t e = scientific.find('e');
  const int exponent = std::atoi(scientific.c_str() + e + 1);
  const double magnitude = std::fabs(value);
  if (exponent < -4 || magnitude > 9007199254740992.0) return scientific;

  const bool negative = scientific[0] == '-';
  std::string digits;
  for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
    if (scientific[i] != '.') digits.push_back(scientific[i]);
  }
  std::string text = negative ? "-" : "";
  if (exponent < 0) {
    text += "0.";
    text.append(static_cast<std::size_t>(-exponent - 1), '0');
    text += digits;
    return text;
  }
  const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= integerDigits) {
    text += digits;
    text.append(integerDigits - digits.size(), '0');
    text += ".0";
  } else {
    text += digits.substr(0, integerDigits);
    text += ".";
    text += digits.substr(integerDigits);
  }
  return text;
}

}  // namespace keln::foundation
