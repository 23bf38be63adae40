#include "core/network/SecretRedactor.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include <string.h>

namespace keln {
namespace {

constexpr std::size_t npos = std::string_view::npos;
// The longest form of one character: "\u00XX".
constexpr std::size_t kLongestForm = 6;

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

// An encoded character at a place in a text (a percent-encoding or a JSON escape): the
// byte it stands for, or -1 when none begins there, and its length.
struct Encoded {
  int byte = -1;
  std::size_t length = 0;
};

Encoded encodedAt(std::string_view text, std::size_t at) {
  if (at + 1 >= text.size()) return {};
  if (text[at] == '%') {
    const int byte = hexByte(text, at + 1);
    return byte < 0 ? Encoded{} : Encoded{byte, 3};
  }
  if (text[at] != '\\') return {};
  switch (const char escaped = text[at + 1]) {
    case '"':
    case '\\':
    case '/': return {static_cast<unsigned char>(escaped), 2};
    case 'b': return {'\b', 2};
    case 'f': return {'\f', 2};
    case 'n': return {'\n', 2};
    case 'r': return {'\r', 2};
    case 't': return {'\t', 2};
    case 'u': {
      if (at + 5 >= text.size() || hexByte(text, at + 2) != 0) return {};
      const int byte = hexByte(text, at + 4);
      return byte >= 0 && byte < 0x80 ? Encoded{byte, 6} : Encoded{};
    }
    default: return {};
  }
}

std::string_view trimmedBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

// Sets of secret positions, one per text position: bit k of the row of text[at] says that
// secret_[k...] can be read starting at text[at] (bit `size` is always set: nothing is left
// to read). A row's words below its `low` are zero, whatever is stored there. The rows are kept for a
// span of positions, or, in a ring, for the last kRing computed.
class SecretRedactor::Rows {
 public:
  static constexpr std::size_t kRing = 8;  // more than kLongestForm, and a power of two
  static_assert(kRing > kLongestForm && (kRing & (kRing - 1)) == 0);

  explicit Rows(std::size_t words) : words_(words) {}

  // Makes room for the rows of positions first...first + count - 1.
  void span(std::size_t first, std::size_t count) { reset(first, count, false); }
  // Makes room for a ring of rows.
  void ring() { reset(0, kRing, true); }

  bool isRing() const { return ring_; }
  std::size_t first() const { return first_; }
  Word* data() { return data_.data(); }
  std::size_t* lows() { return lows_.data(); }
  Word* row(std::size_t at) { return data_.data() + slot(at) * words_; }
  std::size_t& low(std::size_t at) { return lows_[slot(at)]; }
  bool has(std::size_t at, std::size_t k) { return k / 64 >= low(at) && ((row(at)[k / 64] >> (k % 64)) & 1) != 0; }

 private:
  void reset(std::size_t first, std::size_t count, bool ring) {
    first_ = first;
    ring_ = ring;
    if (data_.size() < count * words_) data_.resize(count * words_);
    if (lows_.size() < count) lows_.resize(count);
  }
  std::size_t slot(std::size_t at) const { return ring_ ? at & (kRing - 1) : at - first_; }

  std::size_t words_;
  std::size_t first_ = 0;
  bool ring_ = false;
  std::vector<Word> data_;
  std::vector<std::size_t> lows_;
};

SecretRedactor::SecretRedactor(std::string_view secret) : secret_(trimmedBlanks(secret)) {
  if (secret_.empty()) return;
  const char first = secret_.front();
  starts_[startCount_++] = first;
  if (first != '%') starts_[startCount_++] = '%';
  if (first != '\\' && static_cast<unsigned char>(first) < 0x80) starts_[startCount_++] = '\\';

  words_ = secret_.size() / 64 + 1;
  for (std::size_t k = 0; k < secret_.size(); ++k) {
    std::uint16_t& index = maskIndex_[static_cast<unsigned char>(secret_[k])];
    if (index == 0) {
      masks_.resize(masks_.size() + words_);
      index = static_cast<std::uint16_t>(masks_.size() / words_);
    }
    masks_[(index - 1) * words_ + k / 64] |= Word{1} << (k % 64);
  }
}

template <typename OnRow>
void SecretRedactor::completions(std::string_view text, std::size_t from, std::size_t to, Rows& rows,
                                 OnRow onRow) const {
  const std::size_t last = words_ - 1;
  const Word end = Word{1} << (secret_.size() % 64);
  // Past `to` only the end of the secret is known to be readable: any reading that would
  // need more is longer than the span looked at.
  std::vector<Word> beyond(words_, 0);
  beyond[last] = end;
  const auto setEnd = [&rows, last, end](std::size_t at) {
    rows.row(at)[last] = end;
    rows.low(at) = last;
  };
  setEnd(to);

  // Below rows that hold only the end, a row holds more only where text[at] can stand for
  // the secret's last character: as itself, or encoded behind a "%" or a "\". The other
  // places are passed over, found from the right by memrchr, each looked for again only
  // once passed.
  const std::array<char, 3> tails{secret_.back(), '%', '\\'};
  std::array<std::size_t, 3> tailAt{to, to, to};  // the last place of each below the cursor, once looked for
  std::array<bool, 3> exhausted{};                // none is left below the cursor
  // 1 + the last place below `below` that holds a byte of `tails`, or `from`.
  const auto afterTail = [&](std::size_t below) {
    std::size_t after = from;
    for (std::size_t i = 0; i < tails.size(); ++i) {
      if (exhausted[i]) continue;
      if (tailAt[i] >= below) {
        const void* place = ::memrchr(text.data() + from, tails[i], below - from);
        if (place == nullptr) {
          exhausted[i] = true;
          continue;
        }
        tailAt[i] = static_cast<std::size_t>(static_cast<const char*>(place) - text.data());
      }
      after = std::max(after, tailAt[i] + 1);
    }
    return after;
  };

  // The hot loop works on the rows' storage directly.
  Word* const data = rows.data();
  std::size_t* const lows = rows.lows();
  const bool ring = rows.isRing();
  const std::size_t first = rows.first();
  const std::size_t words = words_;
  const auto slot = [ring, first](std::size_t at) { return ring ? at & (Rows::kRing - 1) : at - first; };
  const std::uint16_t* const maskIndex = maskIndex_.data();
  const Word* const masks = masks_.data();

  std::size_t endOnlyAbove = kLongestForm;  // rows at + 1 ... at + endOnlyAbove hold only the end
  for (std::size_t at = to; at > from;) {
    if (endOnlyAbove >= kLongestForm) {
      const std::size_t stop = afterTail(at);
      // A ring needs only the rows that the next places read.
      const std::size_t filled = ring ? std::min(at, stop + kLongestForm) : at;
      for (std::size_t q = stop; q < filled; ++q) setEnd(q);
      at = stop;
      if (at == from) return;
    }
    --at;
    // Read as itself, text[at] leads to the row of at + 1; read with what follows as an
    // encoded character, to the row after the encoding. A null mask: the byte is not in the
    // secret.
    const std::uint16_t literalIndex = maskIndex[static_cast<unsigned char>(text[at])];
    const Word* const literalMask = literalIndex == 0 ? nullptr : masks + (literalIndex - 1) * words;
    const std::size_t literalSlot = slot(at + 1);
    const Word* const literalNext = data + literalSlot * words;
    const std::size_t literalLow = lows[literalSlot];
    const Word* encodedMask = nullptr;
    const Word* encodedNext = beyond.data();
    std::size_t encodedLow = last;
    if (text[at] == '%' || text[at] == '\\') {
      const Encoded encoded = encodedAt(text, at);
      const std::uint16_t encodedIndex = encoded.byte < 0 ? 0 : maskIndex[encoded.byte];
      if (encodedIndex != 0) {
        encodedMask = masks + (encodedIndex - 1) * words;
        if (at + encoded.length <= to) {
          const std::size_t encodedSlot = slot(at + encoded.length);
          encodedNext = data + encodedSlot * words;
          encodedLow = lows[encodedSlot];
        }
      }
    }

    // Word j of the row is the mask's word j and'ed with word j of the next row shifted
    // down by one position (bit k + 1 to bit k); a next row's words below its low are zero.
    std::size_t low = last;
    if (literalMask != nullptr) low = std::min(low, literalLow == 0 ? 0 : literalLow - 1);
    if (encodedMask != nullptr) low = std::min(low, encodedLow == 0 ? 0 : encodedLow - 1);
    Word* const row = data + slot(at) * words;
    for (std::size_t j = low; j <= last; ++j) {
      Word word = 0;
      if (literalMask != nullptr) {
        Word next = j >= literalLow ? literalNext[j] >> 1 : 0;
        if (j < last && j + 1 >= literalLow) next |= literalNext[j + 1] << 63;
        word |= literalMask[j] & next;
      }
      if (encodedMask != nullptr) {
        Word next = j >= encodedLow ? encodedNext[j] >> 1 : 0;
        if (j < last && j + 1 >= encodedLow) next |= encodedNext[j + 1] << 63;
        word |= encodedMask[j] & next;
      }
      row[j] = word;
    }
    row[last] |= end;
    while (low < last && row[low] == 0) ++low;
    lows[slot(at)] = low;
    endOnlyAbove = low == last && row[last] == end ? endOnlyAbove + 1 : 0;
    if (!onRow(at, low == 0 && (row[0] & 1) != 0)) return;
  }
}

std::size_t SecretRedactor::matchEnd(std::string_view text, std::size_t begin, Rows& rows) const {
  // The rows are worked out at the first place where both readings are open, if any; every
  // character of the secret takes at most kLongestForm bytes of the text.
  bool known = false;
  std::size_t at = begin;
  for (std::size_t k = 0; k < secret_.size(); ++k) {
    const auto c = static_cast<unsigned char>(secret_[k]);
    const bool literal = at < text.size() && static_cast<unsigned char>(text[at]) == c;
    const Encoded encoded = encodedAt(text, at);
    bool preferEncoded = encoded.byte == c;
    if (preferEncoded && literal) {
      if (!known) {
        const std::size_t to = std::min(text.size(), begin + kLongestForm * secret_.size());
        rows.span(begin, to - begin + 1);
        completions(text, begin, to, rows, [](std::size_t, bool) { return true; });
        known = true;
      }
      preferEncoded = rows.has(at + encoded.length, k + 1);
    }
    if (preferEncoded) {
      at += encoded.length;
    } else if (literal) {
      ++at;
    } else {
      break;  // not reached: a reading is known to start at `begin`
    }
  }
  return at;
}

bool SecretRedactor::mayOccurIn(std::string_view text) const {
  return std::any_of(starts_.begin(), starts_.begin() + static_cast<std::ptrdiff_t>(startCount_),
                     [text](char c) { return std::memchr(text.data(), c, text.size()) != nullptr; });
}

bool SecretRedactor::holdsNoEncoding(std::string_view text) {
  return std::memchr(text.data(), '%', text.size()) == nullptr &&
         std::memchr(text.data(), '\\', text.size()) == nullptr;
}

template <typename OnMatch>
void SecretRedactor::forEachMatch(std::string_view text, OnMatch onMatch) const {
  if (!mayOccurIn(text)) return;
  if (holdsNoEncoding(text)) {
    for (std::size_t begin = text.find(secret_); begin != npos; begin = text.find(secret_, begin + secret_.size())) {
      if (!onMatch(begin, begin + secret_.size())) return;
    }
    return;
  }

  // Where a reading of the secret starts, worked out from the end of the text back.
  std::vector<Word> starts(text.size() / 64 + 1, 0);
  Rows rows(words_);
  rows.ring();
  completions(text, 0, text.size(), rows, [&starts](std::size_t at, bool starting) {
    if (starting) starts[at / 64] |= Word{1} << (at % 64);
    return true;
  });

  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t word = at / 64;
    Word pending = starts[word] & (~Word{0} << (at % 64));
    while (pending == 0 && ++word < starts.size()) pending = starts[word];
    if (pending == 0) return;
    const std::size_t begin = word * 64 + static_cast<std::size_t>(std::countr_zero(pending));
    if (begin >= text.size()) return;
    const std::size_t end = matchEnd(text, begin, rows);
    if (!onMatch(begin, end)) return;
    at = end;
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
  if (!mayOccurIn(text)) return false;
  if (holdsNoEncoding(text)) return text.find(secret_) != npos;
  bool found = false;
  Rows rows(words_);
  rows.ring();
  completions(text, 0, text.size(), rows, [&found](std::size_t, bool starting) {
    found = starting;
    return !starting;
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
