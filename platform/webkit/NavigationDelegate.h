#pragma once

#include <keln/Export.h>

#include <functional>
#include <memory>

#include <keln/foundation/Error.h>

#include "webkit/NavigationAction.h"

namespace keln::webkit {

class WebView;

// Whether a navigation may go ahead.
enum class NavigationActionPolicy {
  cancel,
  allow,
};

// What a web view asks and tells about the navigations of its main frame. The web view
// holds its navigation delegate weakly; every call arrives on the main queue. Each
// operation has a default, so a delegate overrides only what it needs.
class KELN_EXPORT NavigationDelegate {
 public:
  using DecisionHandler = std::function<void(NavigationActionPolicy)>;

  virtual ~NavigationDelegate() = default;

  // Asked before every navigation, the web view's own loads included. The navigation
  // waits until `decisionHandler` is called (main thread; only the first answer counts).
  // The default allows it.
  virtual void webView(const std::shared_ptr<WebView>& webView, const NavigationAction& decidePolicyFor,
                       DecisionHandler decisionHandler);

  // The page of an allowed navigation has loaded.
  virtual void webView(const std::shared_ptr<WebView>& webView, const std::shared_ptr<Navigation>& didFinish);

  // The page of an allowed navigation failed to load.
  virtual void webView(const std::shared_ptr<WebView>& webView, const std::shared_ptr<Navigation>& didFail,
                       const Error& withError);
};

}  // namespace keln::webkit
