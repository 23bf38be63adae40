#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/network/SecretRedactor.h"

namespace keln {
namespace {

TEST(SecretRedactor, HidesEveryFormOfTheSecret) {
  struct Case {
    std::string secret;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"tok-1", "Bearer tok-1 and tok-1", "Bearer <redacted> and <redacted>"},
      {"  tok-1 ", "Bearer tok-1.", "Bearer <redacted>."},
      {"a/b+c=", R"({"a":"a\/b+c="})", R"({"a":"<redacted>"})"},
      {"a/b+c=", "/x/a%2Fb%2bc%3D/y and a%2Fb+c=", "/x/<redacted>/y and <redacted>"},
      {"q\"u\\o\n", R"("q\"u\\o\n" "q\u0022u\\o\u000A")", R"("<redacted>" "<redacted>")"},
      {"50%25", "50%25 50%2525", "<redacted> <redacted>"},
      {"tok-1", "tok-tok-1 tok- tok-2", "tok-<redacted> tok- tok-2"},
      {"tok-1", "", ""},
      {"   ", "a b c", "a b c"},
      {"tok-1", "ttok-1tok-1tok-", "t<redacted><redacted>tok-"},
      {"tok-1", R"(%74ok-1 \u0074ok-1 \u0074ok-%31)", "<redacted> <redacted> <redacted>"},
      {"%ab", "%ab %25ab %2", "<redacted> <redacted> %2"},
      {"\\x", "\\x \\\\x \\u005cx \\\\", "<redacted> <redacted> <redacted> \\\\"},
      {"/s", "\\/s %2fs /s", "<redacted> <redacted> <redacted>"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9 %C3%A9t%c3%a9", "<redacted> <redacted>"},
      {"tok-1", "no trace here: t, %, \\\\ and tok-", "no trace here: t, %, \\\\ and tok-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("[" + c.secret + "] in " + c.text);
    const SecretRedactor redactor(c.secret);
    EXPECT_EQ(redactor.redacted(c.text), c.expected);
    EXPECT_EQ(redactor.occursIn(c.text), c.expected != c.text);
    std::string appended = "kept ";
    redactor.appendRedacted(appended, c.text);
    EXPECT_EQ(appended, "kept " + c.expected);
  }
}

// Runs of the characters that may stand for themselves or begin an encoding: a reader that
// tries both readings of each without memory takes time exponential in the run's length
// here (ctest's time limit fails it); each case must take no longer than any other text.
TEST(SecretRedactor, LongRunsOfBackslashesAndPercents) {
  const std::string slashes(64, '\\');
  std::string mixed, mixedEncoded;
  for (int i = 0; i < 32; ++i) {
    mixed += "\\%";
    mixedEncoded += i % 2 ? "%5C%25" : "\\\\%";
  }
  struct Case {
    std::string name;
    std::string secret;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"echoed raw", slashes, R"({"authorization":"Bearer )" + slashes + R"("})",
       R"({"authorization":"Bearer <redacted>"})"},
      {"echoed JSON-escaped", slashes, "[" + slashes + slashes + "]", "[<redacted>]"},
      {"one short", slashes, std::string(63, '\\') + "\"", std::string(63, '\\') + "\""},
      {"one short, before an unfinished escape", slashes, std::string(62, '\\') + "\\u005",
       std::string(62, '\\') + "\\u005"},
      {"within a longer run", slashes, std::string(127, '\\') + "x", "<redacted>x"},
      {"mixed, encoded in turns", mixed, "a" + mixedEncoded + "b", "a<redacted>b"},
      {"mixed, one short", mixed, mixed.substr(1), mixed.substr(1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SecretRedactor redactor(c.secret);
    EXPECT_EQ(redactor.redacted(c.text), c.expected);
    EXPECT_EQ(redactor.occursIn(c.text), c.expected != c.text);
  }
}

}  // namespace
// A text without "%" or "\\" can hold the secret only as itself, and is read by a shortcut;
// a "%" at its end (which begins no encoding) sends it the long way. Both must find the
// same appearances, overlapping runs included.
TEST(SecretRedactor, TextsWithoutEncodingsAreReadAsTheLongWayReadsThem) {
  std::mt19937 random(21);
  for (const std::string secret : {"tok-1", "aab", "aaa", "abab", "a"}) {
    SCOPED_TRACE(secret);
    const SecretRedactor redactor(secret);
    const std::string alphabet = secret + "x";
    for (int round = 0; round < 400; ++round) {
      std::string text(random() % 40, ' ');
      for (char& c : text) c = alphabet[random() % alphabet.size()];
      SCOPED_TRACE(text);
      EXPECT_EQ(redactor.redacted(text) + "%", redactor.redacted(text + "%"));
      EXPECT_EQ(redactor.occursIn(text), redactor.occursIn(text + "%"));
    }
  }
}

}  // namespace keln
