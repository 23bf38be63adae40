#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace keln {

// Hides one secret (the bearer token) in texts bound for a log. The secret is looked for
// without surrounding blanks (a server trims them from a header value it echoes), and in
// any of the ways a reply, an error description or a URL may carry it: each of its
// characters as itself, percent-encoded (either case of hex), or escaped as in a JSON
// string ("\/", "\"", "\\", "\n", "\u00XX", ...). Each occurrence becomes kReplacement.
// A secret made only of blanks hides nothing.
//
// Immutable once made; any thread.
class SecretRedactor {
 public:
  static constexpr std::string_view kReplacement = "<redacted>";

  explicit SecretRedactor(std::string_view secret);

  // Appends `text` to `out` with the secret replaced.
  void appendRedacted(std::string& out, std::string_view text) const;
  std::string redacted(std::string_view text) const;
  // True when `text` holds the secret in any of its forms, that is when redacting would
  // change it.
  bool occursIn(std::string_view text) const;

 private:
  // Calls onMatch(begin, end) for each appearance of the secret in `text`, left to right
  // and not overlapping, while it returns true.
  template <typename OnMatch>
  void forEachMatch(std::string_view text, OnMatch onMatch) const;
  // The end of an appearance of secret_[from...] starting at text[at], or npos.
  std::size_t matchFrom(std::string_view text, std::size_t at, std::size_t from) const;

  std::string secret_;
  // The distinct bytes an appearance can start with: the secret's first byte, the "%" of a
  // percent-encoding and, when the first byte is ASCII, the "\" of a JSON escape.
  std::array<char, 3> starts_{};
  std::size_t startCount_ = 0;
};

}  // namespace keln
