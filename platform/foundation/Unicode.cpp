#include "foundation/Unicode.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace keln::foundation {
namespace {

icu::UnicodeString fromUTF8(std::string_view text) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

}  // namespace

bool isValidUTF8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int64_t>(text.size());
  std::int64_t i = 0;
  while (i < length) {
    // Runs of ASCII go 8 bytes at a time.
    if (length - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, sizeof word);
      if ((word & 0x8080808080808080u) == 0) {
        i += 8;
        continue;
      }
    }
    if (bytes[i] < 0x80) {
      ++i;
      continue;
    }
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::string asciiLowercased(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

bool asciiCaseInsensitiveEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lowered = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowered(a[i]) != lowered(b[i])) return false;
  }
  return true;
}

std::size_t characterCount(std::string_view text) {
  if (text.empty()) return 0;
  const icu::UnicodeString unicode = fromUTF8(text);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> iterator(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !iterator) return static_cast<std::size_t>(unicode.countChar32());
  iterator->setText(unicode);
  std::size_t count = 0;
  for (int32_t boundary = iterator->next(); boundary != icu::BreakIterator::DONE; boundary = iterator->next()) ++count;
  return count;
}

std::string uppercased(std::string_view text) {
  icu::UnicodeString unicode = fromUTF8(text);
  unicode.toUpper(icu::Locale::getRoot());
  std::string result;
  unicode.toUTF8String(result);
  return result;
}

bool caseInsensitiveEquals(std::string_view a, std::string_view b) {
  const icu::UnicodeString left = fromUTF8(a);
  const icu::UnicodeString right = fromUTF8(b);
  UErrorCode status = U_ZERO_ERROR;
  const int32_t order =
      unorm_compare(left.getBuffer(), left.length(), right.getBuffer(), right.length(),
                    U_COMPARE_IGNORE_CASE | U_FOLD_CASE_DEFAULT | U_COMPARE_CODE_POINT_ORDER, &status);
  if (U_FAILURE(status)) return false;
  return order == 0;
}

}  // namespace keln::foundation
