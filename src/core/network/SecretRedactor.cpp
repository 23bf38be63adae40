#include "core/network/SecretRedactor.h"

namespace keln {
namespace {

constexpr std::size_t npos = std::string_view::npos;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte that the two hex digits at text[at] stand for, or -1.
int hexByte(std::string_view text, std::size_t at) {
  if (at + 1 >= text.size()) return -1;
  const int high = hexValue(text[at]), low = hexValue(text[at + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// The length of an encoded form of `c` at text[at] (percent-encoding or a JSON escape),
// or 0.
std::size_t encodedLength(std::string_view text, std::size_t at, char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (at >= text.size()) return 0;
  if (text[at] == '%') return hexByte(text, at + 1) == byte ? 3 : 0;
  if (text[at] != '\\' || at + 1 >= text.size()) return 0;
  const char escaped = text[at + 1];
  switch (c) {
    case '"':
    case '\\':
    case '/':
      if (escaped == c) return 2;
      break;
    case '\b':
      if (escaped == 'b') return 2;
      break;
    case '\f':
      if (escaped == 'f') return 2;
      break;
    case '\n':
      if (escaped == 'n') return 2;
      break;
    case '\r':
      if (escaped == 'r') return 2;
      break;
    case '\t':
      if (escaped == 't') return 2;
      break;
    default: break;
  }
  if (escaped == 'u' && byte < 0x80 && at + 5 < text.size() && hexByte(text, at + 2) == 0 &&
      hexByte(text, at + 4) == byte) {
    return 6;
  }
  return 0;
}

std::string_view trimmedBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

SecretRedactor::SecretRedactor(std::string_view secret) : secret_(trimmedBlanks(secret)) {}

std::size_t SecretRedactor::matchFrom(std::string_view text, std::size_t at, std::size_t from) const {
  for (std::size_t k = from; k < secret_.size(); ++k) {
    const char c = secret_[k];
    const bool literal = at < text.size() && text[at] == c;
    const std::size_t encoded = encodedLength(text, at, c);
    if (literal && encoded > 0) {
      // '%' or '\' starting an encoding or standing for itself: try both readings, the
      // longer first.
      const std::size_t end = matchFrom(text, at + encoded, k + 1);
      if (end != npos) return end;
      ++at;
    } else if (literal) {
      ++at;
    } else if (encoded > 0) {
      at += encoded;
    } else {
      return npos;
    }
  }
  return at;
}

void SecretRedactor::appendRedacted(std::string& out, std::string_view text) const {
  if (secret_.empty()) {
    out.append(text);
    return;
  }
  const char first = secret_.front();
  std::size_t copied = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    const std::size_t end = (c == first || c == '%' || c == '\\') ? matchFrom(text, at, 0) : npos;
    if (end == npos) {
      ++at;
      continue;
    }
    out.append(text.substr(copied, at - copied));
    out.append(kReplacement);
    at = copied = end;
  }
  out.append(text.substr(copied));
}

std::string SecretRedactor::redacted(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  appendRedacted(out, text);
  return out;
}

}  // namespace keln
