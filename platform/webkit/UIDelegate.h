#pragma once

#include <keln/Export.h>

#include <memory>

#include "webkit/NavigationAction.h"
#include "webkit/WebViewConfiguration.h"

namespace keln::webkit {

class WebView;

// The size and decorations a page asks for when it opens a new window; the headless
// engine reports none.
class WindowFeatures {
 public:
  WindowFeatures() = default;
};

// What a web view asks of the app for its page's requests that need the app's screens.
// The web view holds its UI delegate weakly; every call arrives on the main queue.
class KELN_EXPORT UIDelegate {
 public:
  virtual ~UIDelegate() = default;

  // The page asks to open `forNavigationAction` in a new window. A web view returned
  // (made with `createWebViewWith`) loads the request; the default returns none and the
  // request is dropped.
  virtual std::shared_ptr<WebView> webView(const std::shared_ptr<WebView>& webView,
                                           const std::shared_ptr<WebViewConfiguration>& createWebViewWith,
                                           const NavigationAction& forNavigationAction,
                                           const WindowFeatures& windowFeatures);
};

}  // namespace keln::webkit
