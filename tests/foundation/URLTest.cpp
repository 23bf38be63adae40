#include <gtest/gtest.h>

#include "foundation/URL.h"

namespace keln::foundation {
namespace {

TEST(URL, ParsesLeniently) {
  struct Case {
    const char* text;
    std::optional<std::string> absolute;  // none: does not parse
  };
  const Case cases[] = {
      {"", std::nullopt},
      {" ", "%20"},
      {"path space", "path%20space"},
      {"scheme://host/path space?query space#fragment space",
       "scheme://host/path%20space?query%20space#fragment%20space"},
      {"Encoding a relative path! \xF0\x9F\x98\x8E", "Encoding%20a%20relative%20path!%20%F0%9F%98%8E"},
      {"https://api.example.com", "https://api.example.com"},
      {"keln://transfer/success?x=1", "keln://transfer/success?x=1"},
      {"http://h/a%20b?c=%7E", "http://h/a%20b?c=%7E"},
      {"http://h/100%", "http://h/100%25"},
      {"http://h/%zz", "http://h/%25zz"},
      {"http://h/a#b#c", "http://h/a#b%23c"},
      {"http://h/a\"<>\\^`{|}", "http://h/a%22%3C%3E%5C%5E%60%7B%7C%7D"},
      {"http://b\xC3\xBC"
       "cher.example/",
       "http://xn--bcher-kva.example/"},
      {"http://[::1]:8080/x", "http://[::1]:8080/x"},
      {"http://us er:p@h:1/p?q#f", "http://us%20er:p@h:1/p?q#f"},
      {"mailto:someone@example.com", "mailto:someone@example.com"},
      {"1http://host", std::nullopt},
      {"ht tp://host", std::nullopt},
      {"+a://host", std::nullopt},
      {":nothing", std::nullopt},
      {"http://host:80a/", std::nullopt},
      {"http://host:65535/", "http://host:65535/"},
      {"http://host:65536/", std::nullopt},
      {"http://host:99999/", std::nullopt},
      {"http://[::1/", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<URL> url = URL::parse(c.text);
    ASSERT_EQ(url.has_value(), c.absolute.has_value());
    if (url) {
      EXPECT_EQ(url->absoluteString(), *c.absolute);
      EXPECT_EQ(url->description(), *c.absolute);
    }
  }
}

TEST(URL, SplitsComponents) {
  const URL url = *URL::parse("https://user@api.example.com:8443/v1/x?a=1&b=2#top");
  EXPECT_EQ(url.scheme(), "https");
  EXPECT_EQ(url.host(), "api.example.com");
  EXPECT_EQ(url.port(), 8443);
  EXPECT_EQ(url.path(), "/v1/x");
  EXPECT_EQ(url.query(), "a=1&b=2");
  EXPECT_EQ(url.fragment(), "top");

  const URL relative = *URL::parse("a/b:c");
  EXPECT_EQ(relative.scheme(), std::nullopt);
  EXPECT_EQ(relative.host(), std::nullopt);
  EXPECT_EQ(relative.path(), "a/b:c");
}

TEST(URL, AppendsPathComponents) {
  struct Case {
    const char* base;
    const char* component;
    const char* expected;
  };
  const Case cases[] = {
      {"https://h", "/api/v1/payments", "https://h/api/v1/payments"},
      {"https://h/", "/api", "https://h/api"},
      {"https://h/base", "x", "https://h/base/x"},
      {"https://h/a/", "b/", "https://h/a/b/"},
      {"https://h/a?q=1#f", "b", "https://h/a/b?q=1#f"},
      {"https://h", "/api/v1/payments/a b?c#d%/status", "https://h/api/v1/payments/a%20b%3Fc%23d%25/status"},
      {"https://h", "/x%20y", "https://h/x%2520y"},
      {"https://h", "/caf\xC3\xA9;v=1@x:y", "https://h/caf%C3%A9;v=1@x:y"},
      {"https://h/a", "", "https://h/a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " + " + c.component);
    EXPECT_EQ(URL::parse(c.base)->appendingPathComponent(c.component).absoluteString(), c.expected);
  }
}

}  // namespace
}  // namespace keln::foundation
