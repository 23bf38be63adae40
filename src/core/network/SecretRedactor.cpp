#include "core/network/SecretRedactor.h"

#include <algorithm>
#include <cstring>

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

SecretRedactor::SecretRedactor(std::string_view secret) : secret_(trimmedBlanks(secret)) {
  if (secret_.empty()) return;
  const char first = secret_.front();
  starts_[startCount_++] = first;
  if (first != '%') starts_[startCount_++] = '%';
  if (first != '\\' && static_cast<unsigned char>(first) < 0x80) starts_[startCount_++] = '\\';
}

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

template <typename OnMatch>
void SecretRedactor::forEachMatch(std::string_view text, OnMatch onMatch) const {
  // The next place of each start byte, each found by memchr and looked for again only
  // once passed, so that every byte of the text is scanned once per start byte.
  const auto nextOf = [text](char c, std::size_t at) {
    if (at >= text.size()) return npos;
    const void* found = std::memchr(text.data() + at, c, text.size() - at);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : npos;
  };
  std::array<std::size_t, 3> next{npos, npos, npos};
  for (std::size_t i = 0; i < startCount_; ++i) next[i] = nextOf(starts_[i], 0);
  for (;;) {
    const std::size_t at = *std::min_element(next.begin(), next.end());
    if (at == npos) return;
    std::size_t resume = at + 1;
    if (const std::size_t end = matchFrom(text, at, 0); end != npos) {
      if (!onMatch(at, end)) return;
      resume = end;
    }
    for (std::size_t i = 0; i < startCount_; ++i) {
      if (next[i] < resume) next[i] = nextOf(starts_[i], resume);
    }
  }
}

void SecretRedactor::appendRedacted(std::string& out, std::string_view text) const {
  std::size_t copied = 0;
  forEachMatch(text, [&](std::size_t begin, std::size_t end) {
    out.append(text.substr(copied, begin - copied));
    out.append(kReplacement);
    copied = end;
    return true;
  });
  out.append(text.substr(copied));
}

bool SecretRedactor::occursIn(std::string_view text) const {
  bool found = false;
  forEachMatch(text, [&](std::size_t, std::size_t) {
    found = true;
    return false;
  });
  return found;
}

std::string SecretRedactor::redacted(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  appendRedacted(out, text);
  return out;
}

}  // namespace keln
