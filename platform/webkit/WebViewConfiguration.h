#pragma once

namespace keln::webkit {

// The settings a web view is made with. The headless engine has none to offer beyond the
// defaults, so a configuration only travels from the app to the web views it makes
// (and to a page's request for a new window).
class WebViewConfiguration {
 public:
  WebViewConfiguration() = default;
};

}  // namespace keln::webkit
