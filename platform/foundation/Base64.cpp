#include "foundation/Base64.h"

#include <array>

namespace keln::foundation {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int, 256> makeDecodeTable() {
  std::array<int, 256> table{};
  for (auto& entry : table) entry = -1;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
  return table;
}
constexpr std::array<int, 256> kDecodeTable = makeDecodeTable();

}  // namespace

std::optional<std::string> base64Decode(std::string_view text) {
  if (text.empty()) return std::string();

  // Split off the run of "=" at the end; none may appear before it.
  std::size_t dataLength = text.size();
  while (dataLength > 0 && text[dataLength - 1] == '=') --dataLength;
  const std::size_t padding = text.size() - dataLength;
  if (dataLength == 0) {
    if (padding >= 4) return std::string(1, '\0');
    return std::nullopt;
  }
  for (std::size_t i = 0; i < dataLength; ++i) {
    if (kDecodeTable[static_cast<unsigned char>(text[i])] < 0) return std::nullopt;
  }
  const std::size_t remainder = dataLength % 4;
  if (remainder == 1) return std::nullopt;
  // The fill must at least complete the last quad.
  const std::size_t requiredPadding = remainder == 0 ? 0 : 4 - remainder;
  if (padding < requiredPadding) return std::nullopt;

  std::string bytes;
  bytes.reserve(dataLength / 4 * 3 + 2);
  unsigned int accumulator = 0;
  int bits = 0;
  for (std::size_t i = 0; i < dataLength; ++i) {
    accumulator = (accumulator << 6) | static_cast<unsigned>(kDecodeTable[static_cast<unsigned char>(text[i])]);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<char>((accumulator >> bits) & 0xFF));
    }
  }
  return bytes;
}

std::string base64Encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    text += kAlphabet[(n >> 18) & 63];
    text += kAlphabet[(n >> 12) & 63];
    text += kAlphabet[(n >> 6) & 63];
    text += kAlphabet[n & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
    text += kAlphabet[(n >> 18) & 63];
    text += kAlphabet[(n >> 12) & 63];
    text += "==";
  } else if (rest == 2) {
    const unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    text += kAlphabet[(n >> 18) & 63];
    text += kAlphabet[(n >> 12) & 63];
    text += kAlphabet[(n >> 6) & 63];
    text += '=';
  }
  return text;
}

}  // namespace keln::foundation
