#include "foundation/URL.h"

#include <unicode/uidna.h>

#include <array>
#include <cstdint>
#include <memory>

namespace keln::foundation {
namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

enum class Component { userinfo, host, path, query, fragment };

constexpr std::uint8_t bit(Component component) {
  return static_cast<std::uint8_t>(1u << static_cast<unsigned>(component));
}

// For each byte, one bit per component in which it stands for itself.
constexpr std::array<std::uint8_t, 256> kAllowed = [] {
  std::array<std::uint8_t, 256> table{};
  const auto allow = [&table](std::string_view bytes, std::uint8_t components) {
    for (char c : bytes) table[static_cast<unsigned char>(c)] |= components;
  };
  const std::uint8_t path = bit(Component::path), query = bit(Component::query), fragment = bit(Component::fragment);
  const std::uint8_t all = bit(Component::userinfo) | bit(Component::host) | path | query | fragment;
  allow("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~", all);  // unreserved
  allow("!$&'()*+,;=", all);                                                         // sub-delimiters
  allow(":", bit(Component::userinfo) | path | query | fragment);
  allow("@/", path | query | fragment);
  allow("?", query | fragment);
  return table;
}();

bool isAllowed(char c, Component component) { return kAllowed[static_cast<unsigned char>(c)] & bit(component); }

// A set of bytes, tested in constant time.
class ByteSet {
 public:
  constexpr explicit ByteSet(std::string_view bytes) {
    for (char c : bytes) bits_[static_cast<unsigned char>(c) >> 6] |= std::uint64_t{1} << (c & 63);
  }
  bool contains(char c) const { return (bits_[static_cast<unsigned char>(c) >> 6] >> (c & 63)) & 1u; }
  // The position of the first byte of `text` in the set, or npos.
  std::size_t findIn(std::string_view text) const {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (contains(text[i])) return i;
    }
    return std::string_view::npos;
  }

 private:
  std::array<std::uint64_t, 4> bits_{};
};

constexpr ByteSet kSchemeEnd(":/?#[]@");
constexpr ByteSet kAuthorityEnd("/?#");

void appendEscaped(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

// Whether text[i] stays as it is in `component`: an allowed character, or the "%" of an
// escape ("%" and two hex digits) unless `encodePercent`.
bool isKept(std::string_view text, std::size_t i, Component component, bool encodePercent) {
  const char c = text[i];
  if (c == '%') return !encodePercent && i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2]);
  return isAllowed(c, component);
}

// `text` with every character not allowed in `component` percent-encoded. An escape
// ("%" and two hex digits) is kept unless `encodePercent`.
std::string encode(std::string_view text, Component component, bool encodePercent) {
  std::size_t i = 0;
  while (i < text.size() && isKept(text, i, component, encodePercent)) ++i;
  std::string out;
  if (i == text.size()) {
    out.assign(text);
    return out;
  }
  out.reserve(text.size() + 16);
  out.append(text.substr(0, i));
  for (; i < text.size(); ++i) {
    if (isKept(text, i, component, encodePercent)) {
      out += text[i];
    } else {
      appendEscaped(out, static_cast<unsigned char>(text[i]));
    }
  }
  return out;
}

bool isASCII(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The ASCII (IDNA) form of a host name with non-ASCII characters, or none.
std::optional<std::string> asciiHostName(std::string_view host) {
  UErrorCode status = U_ZERO_ERROR;
  struct Closer {
    void operator()(UIDNA* idna) const { uidna_close(idna); }
  };
  std::unique_ptr<UIDNA, Closer> idna(uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII, &status));
  if (U_FAILURE(status)) return std::nullopt;
  std::array<char, 512> buffer{};
  UIDNAInfo info = UIDNA_INFO_INITIALIZER;
  const int32_t length = uidna_nameToASCII_UTF8(idna.get(), host.data(), static_cast<int32_t>(host.size()),
                                                buffer.data(), static_cast<int32_t>(buffer.size()), &info, &status);
  if (U_FAILURE(status) || info.errors != 0 || length <= 0 || length > static_cast<int32_t>(buffer.size())) {
    return std::nullopt;
  }
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

bool isValidScheme(std::string_view scheme) {
  if (scheme.empty() || !isAlpha(scheme.front())) return false;
  for (char c : scheme) {
    if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

struct Authority {
  std::string text;
  std::optional<std::string> host;
  std::optional<int> port;
};

// The encoded authority "userinfo@host:port", or none when it cannot be made valid.
std::optional<Authority> parseAuthority(std::string_view text) {
  Authority result;
  std::string_view hostPort = text;
  const auto at = text.rfind('@');
  if (at != std::string_view::npos) {
    result.text = encode(text.substr(0, at), Component::userinfo, false);
    result.text.push_back('@');
    hostPort = text.substr(at + 1);
  }

  std::string_view host = hostPort;
  std::optional<std::string_view> port;
  if (!hostPort.empty() && hostPort.front() == '[') {
    const auto close = hostPort.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    for (char c : hostPort.substr(1, close - 1)) {
      if (!isHexDigit(c) && c != ':' && c != '.') return std::nullopt;
    }
    host = hostPort.substr(0, close + 1);
    const std::string_view after = hostPort.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port = after.substr(1);
    }
    result.text += host;
    result.host = std::string(host);
  } else {
    const auto colon = hostPort.find(':');
    if (colon != std::string_view::npos) {
      host = hostPort.substr(0, colon);
      port = hostPort.substr(colon + 1);
    }
    std::string encodedHost;
    if (isASCII(host)) {
      encodedHost = encode(host, Component::host, false);
    } else {
      auto ascii = asciiHostName(host);
      if (!ascii) return std::nullopt;
      encodedHost = encode(*ascii, Component::host, false);
    }
    result.text += encodedHost;
    if (!encodedHost.empty()) result.host = std::move(encodedHost);
  }

  if (port) {
    if (port->size() > 5) return std::nullopt;
    int value = 0;
    for (char c : *port) {
      if (!isDigit(c)) return std::nullopt;
      value = value * 10 + (c - '0');
    }
    if (value > 65535) return std::nullopt;
    result.text += ":";
    result.text += *port;
    if (!port->empty()) result.port = value;
  }
  return result;
}

}  // namespace

std::optional<URL> URL::parse(std::string_view text) {
  if (text.empty()) return std::nullopt;
  URL url;
  std::string_view rest = text;

  const auto delimiter = kSchemeEnd.findIn(text);
  if (delimiter != std::string_view::npos && text[delimiter] == ':') {
    const std::string_view scheme = text.substr(0, delimiter);
    if (!isValidScheme(scheme)) return std::nullopt;
    url.scheme_ = std::string(scheme);
    rest = text.substr(delimiter + 1);
  }

  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    const auto end = kAuthorityEnd.findIn(rest);
    auto authority = parseAuthority(rest.substr(0, end));
    if (!authority) return std::nullopt;
    url.authority_ = std::move(authority->text);
    url.host_ = std::move(authority->host);
    url.port_ = authority->port;
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }

  const auto hash = rest.find('#');
  if (hash != std::string_view::npos) {
    url.fragment_ = encode(rest.substr(hash + 1), Component::fragment, false);
    rest = rest.substr(0, hash);
  }
  const auto question = rest.find('?');
  if (question != std::string_view::npos) {
    url.query_ = encode(rest.substr(question + 1), Component::query, false);
    rest = rest.substr(0, question);
  }
  url.path_ = encode(rest, Component::path, false);
  url.rebuildText();
  return url;
}

URL URL::appendingPathComponent(std::string_view component) const {
  if (component.empty()) return *this;
  const std::string encoded = encode(component, Component::path, true);
  URL url = *this;
  const bool baseEndsWithSlash = !url.path_.empty() && url.path_.back() == '/';
  const bool componentStartsWithSlash = encoded.front() == '/';
  if (!baseEndsWithSlash && !componentStartsWithSlash) {
    url.path_ += '/';
  } else if (baseEndsWithSlash && componentStartsWithSlash) {
    url.path_.pop_back();
  }
  url.path_ += encoded;
  url.rebuildText();
  return url;
}

URL URL::withEncodedPath(std::string encodedPath) const {
  URL url = *this;
  url.path_ = std::move(encodedPath);
  url.rebuildText();
  return url;
}

void URL::rebuildText() {
  text_.clear();
  text_.reserve((scheme_ ? scheme_->size() + 1 : 0) + (authority_ ? authority_->size() + 2 : 0) + path_.size() +
                (query_ ? query_->size() + 1 : 0) + (fragment_ ? fragment_->size() + 1 : 0));
  if (scheme_) text_.append(*scheme_).push_back(':');
  if (authority_) text_.append("//").append(*authority_);
  text_.append(path_);
  if (query_) text_.append("?").append(*query_);
  if (fragment_) text_.append("#").append(*fragment_);
}

}  // namespace keln::foundation
