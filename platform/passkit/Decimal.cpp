#include <keln/passkit/Decimal.h>

#include <cstddef>

namespace keln::passkit {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Drops the last `count` digits of `digits`, rounding half up, and moves `exponent` to
// keep the value. Leaves digits with neither leading nor trailing zeros.
void dropDigits(std::string& digits, int& exponent, std::size_t count) {
  if (count == 0) return;
  if (count > digits.size()) {
    digits.clear();
    exponent = 0;
    return;
  }
  const bool roundUp = digits[digits.size() - count] >= '5';
  digits.resize(digits.size() - count);
  exponent += static_cast<int>(count);
  if (roundUp) {
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') {
      digits[i - 1] = '0';
      --i;
    }
    if (i == 0) {
      digits.insert(digits.begin(), '1');
    } else {
      ++digits[i - 1];
    }
  }
  while (!digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++exponent;
  }
  if (digits.empty()) exponent = 0;
}

}  // namespace

Decimal Decimal::notANumber() {
  Decimal value;
  value.nan_ = true;
  return value;
}

Decimal::Decimal(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  std::string digits;
  std::size_t fractionDigits = 0;
  bool sawDigit = false;
  while (i < text.size() && isDigit(text[i])) {
    digits.push_back(text[i++]);
    sawDigit = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) {
      digits.push_back(text[i++]);
      ++fractionDigits;
      sawDigit = true;
    }
  }
  if (!sawDigit) {
    *this = notANumber();
    return;
  }

  // The written exponent, held within a bound far outside the representable range so that
  // long exponent texts cannot overflow.
  long long writtenExponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    if (i == text.size() || !isDigit(text[i])) {
      *this = notANumber();
      return;
    }
    while (i < text.size() && isDigit(text[i])) {
      if (writtenExponent < 1'000'000) writtenExponent = writtenExponent * 10 + (text[i] - '0');
      ++i;
    }
    if (negativeExponent) writtenExponent = -writtenExponent;
  }
  if (i != text.size()) {
    *this = notANumber();
    return;
  }

  // Strip leading zeros, then trailing zeros into the exponent.
  const std::size_t firstNonZero = digits.find_first_not_of('0');
  if (firstNonZero == std::string::npos) return;  // zero, whatever its sign or exponent
  digits.erase(0, firstNonZero);
  long long exponent = writtenExponent - static_cast<long long>(fractionDigits);
  while (digits.back() == '0') {
    digits.pop_back();
    ++exponent;
  }

  // Keep at most maximumDigits digits, and no power of ten below minimumExponent.
  std::size_t excess = digits.size() > maximumDigits ? digits.size() - maximumDigits : 0;
  if (exponent + static_cast<long long>(excess) < minimumExponent) {
    const long long needed = minimumExponent - exponent;
    excess = needed > static_cast<long long>(digits.size()) + 1 ? digits.size() + 1 : static_cast<std::size_t>(needed);
  }
  int smallExponent = 0;
  if (excess > 0) {
    // Work relative to the final exponent so that the int arithmetic stays small.
    const long long base = exponent;
    dropDigits(digits, smallExponent, excess);
    exponent = digits.empty() ? 0 : base + smallExponent;
  }
  if (digits.empty()) return;  // rounded away to zero
  if (exponent > maximumExponent || exponent < minimumExponent) {
    *this = notANumber();
    return;
  }
  negative_ = negative;
  digits_ = std::move(digits);
  exponent_ = static_cast<int>(exponent);
}

std::string Decimal::description() const {
  if (nan_) return "NaN";
  if (digits_.empty()) return "0";
  std::string text = negative_ ? "-" : "";
  if (exponent_ >= 0) {
    text += digits_;
    text.append(static_cast<std::size_t>(exponent_), '0');
    return text;
  }
  const long long point = static_cast<long long>(digits_.size()) + exponent_;
  if (point > 0) {
    text += digits_.substr(0, static_cast<std::size_t>(point));
    text += '.';
    text += digits_.substr(static_cast<std::size_t>(point));
  } else {
    text += "0.";
    text.append(static_cast<std::size_t>(-point), '0');
    text += digits_;
  }
  return text;
}

}  // namespace keln::passkit
