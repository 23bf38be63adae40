#include <gtest/gtest.h>

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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("[" + c.secret + "] in " + c.text);
    EXPECT_EQ(SecretRedactor(c.secret).redacted(c.text), c.expected);
  }
}

}  // namespace
}  // namespace keln
