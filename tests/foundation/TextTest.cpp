#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/Base64.h"
#include "foundation/NumberText.h"
#include "foundation/Unicode.h"

namespace keln::foundation {
namespace {

TEST(Base64, DecodesStrictly) {
  struct Case {
    const char* text;
    std::optional<std::string> bytes;
  };
  const Case cases[] = {
      {"", std::string()},
      {"AA==", std::string(1, '\0')},
      {"AQIDBAU=", std::string("\x01\x02\x03\x04\x05")},
      {"AQIDBAUG", std::string("\x01\x02\x03\x04\x05\x06")},
      {"AAAA====", std::string(3, '\0')},
      {"AA====", std::string(1, '\0')},
      {"====", std::string(1, '\0')},
      {"SGVsbG8gV29ybGQ=", std::string("Hello World")},
      {"AAAAA", std::nullopt},
      {"AA=", std::nullopt},
      {"AA", std::nullopt},
      {"=", std::nullopt},
      {"===", std::nullopt},
      {"A=", std::nullopt},
      {"A====", std::nullopt},
      {"AA==AA==", std::nullopt},
      {"SGVs bG8=", std::nullopt},
      {"SGVsbG8=\n", std::nullopt},
      {"ab-_", std::nullopt},
      {"signature-not-base64-encoded", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(base64Decode(c.text), c.bytes);
  }
}

TEST(Base64, EncodesWithFillAndNoLineBreaks) {
  EXPECT_EQ(base64Encode("Hello World"), "SGVsbG8gV29ybGQ=");
  EXPECT_EQ(base64Encode(""), "");
  const std::string long_(1000, 'x');
  const std::string encoded = base64Encode(long_);
  EXPECT_EQ(encoded.find('\n'), std::string::npos);
  EXPECT_EQ(base64Decode(encoded), long_);
}

TEST(Unicode, ValidatesUTF8WhereverTheFaultStands) {
  struct Case {
    std::string text;
    bool valid;
  };
  const std::string ascii15 = "fifteen bytes..";
  const Case cases[] = {
      {"", true},
      {"plain ASCII over more than eight bytes", true},
      {ascii15 + "\xC3\xA9" + ascii15 + "\xF0\x9F\x98\x8E" + ascii15, true},
      {"\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", true},
      {"\xF4\x8F\xBF\xBF", true},
      {"seven..\xFF", false},
      {"eight...\xFF", false},
      {ascii15 + "\xFF", false},
      {ascii15 + "\x80" + ascii15, false},
      {ascii15 + "\xC3", false},
      {ascii15 + "\xE2\x82", false},
      {ascii15 + "\xC3\xA9\xA9" + ascii15, false},
      {"\xC0\xAF overlong", false},
      {"\xED\xA0\x80 surrogate", false},
      {"\xF4\x90\x80\x80 past U+10FFFF", false},
      {std::string("nul \0 inside", 12), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(isValidUTF8(c.text), c.valid);
  }
}

TEST(Unicode, CountsUserPerceivedCharacters) {
  EXPECT_EQ(characterCount(""), 0u);
  EXPECT_EQ(characterCount("abc"), 3u);
  EXPECT_EQ(characterCount("e\xCC\x81"), 1u);                         // e + combining acute
  EXPECT_EQ(characterCount("\xF0\x9F\x87\xB5\xF0\x9F\x87\xB7"), 1u);  // flag
  EXPECT_EQ(characterCount("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"), 1u);  // family
}

TEST(Unicode, UppercasesWithTheFullMapping) {
  EXPECT_EQ(uppercased("pln"), "PLN");
  EXPECT_EQ(uppercased("\xC3\x9F"), "SS");
  EXPECT_EQ(uppercased("i"), "I");  // no Turkish rules
}

TEST(Unicode, ComparesIgnoringCaseWithFullFolding) {
  EXPECT_TRUE(caseInsensitiveEquals("pln", "PLN"));
  EXPECT_TRUE(
      caseInsensitiveEquals("stra\xC3\x9F"
                            "e",
                            "STRASSE"));
  EXPECT_TRUE(caseInsensitiveEquals("\xC3\x89", "e\xCC\x81"));
  EXPECT_FALSE(caseInsensitiveEquals("PLN", "PLZ"));
  EXPECT_FALSE(caseInsensitiveEquals("PL", "PLN"));
}

TEST(NumberText, WritesThePlatformsStandardTextOfADouble) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {-12.5, "-12.5"},
      {-5.0, "-5.0"},
      {10.0, "10.0"},
      {0.1, "0.1"},
      {0.0001, "0.0001"},
      {123.45, "123.45"},
      {1e15, "1000000000000000.0"},
      {9007199254740992.0, "9007199254740992.0"},
      {1e16, "1e+16"},
      {0.00001, "1e-05"},
      {1.5e-07, "1.5e-07"},
      {5e-324, "5e-324"},
      {1e100, "1e+100"},
      {std::nan(""), "nan"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(doubleDescription(c.value), c.text);
  }
}

}  // namespace
}  // namespace keln::foundation
