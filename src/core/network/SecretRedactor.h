#pragma once

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

 private:
  // The end of an appearance of secret_[from...] starting at text[at], or npos.
  std::size_t matchFrom(std::string_view text, std::size_t at, std::size_t from) const;

  std::string secret_;
};

}  // namespace keln
