#pragma once

#include <keln/Export.h>

#include <optional>
#include <string>
#include <string_view>

namespace keln::foundation {

// A parsed URL, absolute ("https://host/path?q#f") or relative ("path"), held in its
// percent-encoded text form.
//
// Parsing follows the platform's current URL parser (RFC 3986, lenient about characters):
//  - the empty text does not parse;
//  - the scheme is the text before the first ":" that comes before any of "/?#[]@"; it
//    must start with a letter and hold only letters, digits, "+", "-" and "."; otherwise
//    the text does not parse;
//  - a port, when present, is made of digits only;
//  - characters not allowed where they stand (a blank, a non-ASCII character, a second
//    "#", a "%" that starts no escape, ...) are percent-encoded as UTF-8 bytes with
//    upper-case hex digits; a non-ASCII host name is converted to its ASCII (IDNA) form
//    and does not parse when that fails.
//
// Immutable value; any thread.
class KELN_EXPORT URL {
 public:
  // The URL of `text`, or none when it does not parse (see above).
  static std::optional<URL> parse(std::string_view text);

  // The whole (encoded) text: the input itself when nothing needed encoding.
  const std::string& absoluteString() const { return text_; }
  // Same as absoluteString(): a URL made by parse() has no base.
  const std::string& description() const { return text_; }

  // The components, encoded as in absoluteString(). The scheme, host, port, query and
  // fragment are absent when the text has none; the path may be empty.
  const std::optional<std::string>& scheme() const { return scheme_; }
  const std::optional<std::string>& host() const { return host_; }
  const std::optional<int>& port() const { return port_; }
  const std::string& path() const { return path_; }
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }

  // This URL with `component` added to its path. The component is percent-encoded for a
  // path ("/" is kept; "%", "?", "#" and blanks are encoded, existing escapes too), one
  // "/" is inserted or collapsed at the join, and the query and fragment are kept. An
  // empty component leaves the URL unchanged.
  URL appendingPathComponent(std::string_view component) const;

  // This URL with its path replaced by `encodedPath`, taken as it is: it must hold only
  // what parse() keeps in a path (allowed characters and escapes) and, when the URL has an
  // authority, be empty or start with "/". Cheaper than parsing the whole text again.
  URL withEncodedPath(std::string encodedPath) const;

  friend bool operator==(const URL& a, const URL& b) { return a.text_ == b.text_; }

 private:
  URL() = default;
  void rebuildText();

  std::string text_;
  std::optional<std::string> scheme_;
  std::optional<std::string> authority_;  // userinfo@host:port, encoded
  std::optional<std::string> host_;
  std::optional<int> port_;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
};

}  // namespace keln::foundation
