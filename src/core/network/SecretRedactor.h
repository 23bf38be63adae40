#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace keln {

// Hides one secret (the bearer token) in texts bound for a log. The secret is looked for
// without surrounding blanks (a server trims them from a header value it echoes), and in
// any of the ways a reply, an error description or a URL may carry it: each of its
// characters as itself, percent-encoded (either case of hex), or escaped as in a JSON
// string ("\/", "\"", "\\", "\n", "\u00XX", ...). Each occurrence becomes kReplacement.
// A secret made only of blanks hides nothing.
//
// Where a "%" or "\" may stand for itself or begin an encoding of the secret's next
// character, the encoding is preferred when the rest of the secret still follows. Cost: a
// text of n bytes and a secret of m take O(n * (1 + m / 64)) time at worst, and about
// O(n) for a text that does not hold long runs resembling the secret; O(n / 8 + m^2)
// bytes of memory at worst.
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
  using Word = std::uint64_t;
  class Rows;

  // Calls onMatch(begin, end) for each appearance of the secret in `text`, left to right
  // and not overlapping, while it returns true.
  template <typename OnMatch>
  void forEachMatch(std::string_view text, OnMatch onMatch) const;
  // False when no byte that an appearance can start with is in `text`.
  bool mayOccurIn(std::string_view text) const;
  // True when `text` holds neither a "%" nor a "\": the secret can then appear in it only
  // as itself.
  static bool holdsNoEncoding(std::string_view text);
  // Works out, from text[to] back to text[from], which suffixes of the secret can be read
  // from each position (see Rows). Calls onRow(at, row) for each position, from the last;
  // stops when it returns false.
  template <typename OnRow>
  void completions(std::string_view text, std::size_t from, std::size_t to, Rows& rows, OnRow onRow) const;
  // The end of the preferred reading of the secret from text[begin], where one is known to
  // start.
  std::size_t matchEnd(std::string_view text, std::size_t begin, Rows& rows) const;

  std::string secret_;
  std::size_t words_ = 0;  // words in a row: one bit per secret position 0...size
  // For each byte of the secret, the positions k whose character secret_[k] it is, as a row.
  std::vector<Word> masks_;
  std::array<std::uint16_t, 256> maskIndex_{};  // 1 + the byte's row in masks_, or 0
  // The distinct bytes an appearance can start with: the secret's first byte, the "%" of a
  // percent-encoding and, when the first byte is ASCII, the "\" of a JSON escape.
  std::array<char, 3> starts_{};
  std::size_t startCount_ = 0;
};

}  // namespace keln
