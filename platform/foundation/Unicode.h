#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace keln::foundation {

// Text helpers over UTF-8, with the platform's Unicode rules. Invalid UTF-8 sequences are
// read as U+FFFD. Any thread.

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool isValidUTF8(std::string_view text);

// `text` with A-Z turned into a-z and nothing else changed (protocol names: schemes,
// header names, media types).
std::string asciiLowercased(std::string_view text);

// Equality ignoring the case of A-Z only.
bool asciiCaseInsensitiveEquals(std::string_view a, std::string_view b);

// The number of user-perceived characters (extended grapheme clusters): "é" written as
// e + combining accent is 1, a flag is 1.
std::size_t characterCount(std::string_view text);

// Full, locale-independent upper-casing: "ß" becomes "SS".
std::string uppercased(std::string_view text);

// Equality ignoring case, with full case folding and canonical equivalence:
// "ß" equals "ss", "É" (precomposed) equals "é" (decomposed).
bool caseInsensitiveEquals(std::string_view a, std::string_view b);

}  // namespace keln::foundation
