#pragma once

#include <keln/Export.h>

#include <functional>
#include <string>
#include <string_view>

namespace keln::uikit {

// The running application, as far as the SDK needs it: the way to open a link outside
// the app (in the user's browser or mail program).
//
// A host may install its own opener; until it does, links go to the default opener,
// which hands http, https and mailto links to the desktop's opener ("xdg-open", started
// directly, without a shell, and not waited for) and refuses every other link.
//
// Main thread only.
class KELN_EXPORT Application {
 public:
  // Opens `url` (an absolute URL text); true when the link was handed on.
  using URLOpener = std::function<bool(const std::string& url)>;

  static Application& shared();

  // Replaces the opener; null restores the default.
  void setURLOpener(URLOpener opener);

  // Asks the opener to open `url`. The completion handler, when given, receives the
  // opener's answer later, on the main queue.
  void open(const std::string& url, std::function<void(bool success)> completionHandler = nullptr);

  // Whether the default opener hands `url` on: an http, https or mailto link (scheme in
  // any case) made only of visible ASCII characters.
  static bool defaultOpenerAccepts(std::string_view url);

 private:
  Application() = default;

  URLOpener opener_;
};

}  // namespace keln::uikit
