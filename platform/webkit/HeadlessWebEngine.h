#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "webkit/NavigationDelegate.h"
#include "webkit/WebEngine.h"

namespace keln::webkit {

// The engine for machines without a display and for tests: it fetches nothing and runs
// no script; it keeps the page it was given and walks every navigation through the steps
// a browser takes, so that an app's delegates see what they would see on a device.
//
// A navigation (the app's loadHTMLString(), or the page's own navigateMainFrame()):
//  1. the navigation delegate is asked whether it may go ahead (allowed when there is no
//     delegate);
//  2. when allowed, the page is replaced (url(), htmlString()) and the delegate then told
//     that it finished, or failed when a failure was set with failNextLoad();
//  3. when cancelled, nothing changes and nothing more is said.
// Starting a navigation abandons the one still underway: it is neither loaded nor
// reported. A page's request for a new window (openNewWindow()) goes to the UI delegate
// instead; a web view it returns loads the request.
//
// Every step runs later on the main queue; a web view that is released meanwhile drops
// its navigations.
class HeadlessWebEngine final : public WebEngine {
 public:
  explicit HeadlessWebEngine(WebView& webView) : webView_(webView) {}

  void loadHTMLString(std::string string, foundation::URL baseURL,
                      const std::shared_ptr<Navigation>& navigation) override;
  void navigateMainFrame(foundation::URL url) override;
  const std::optional<foundation::URL>& url() const override { return url_; }
  const std::optional<std::string>& htmlString() const override { return htmlString_; }
  bool isLoading() const override { return loading_; }
  void openNewWindow(foundation::URL url) override;
  void failNextLoad(std::shared_ptr<const Error> error) override { nextLoadFailure_ = std::move(error); }

 private:
  // The engine of a web view that this engine made its steps for.
  static HeadlessWebEngine& of(WebView& webView);

  void startNavigation(foundation::URL url, std::optional<std::string> htmlString,
                       const std::shared_ptr<Navigation>& navigation);
  void decide(std::uint64_t serial, const std::shared_ptr<Navigation>& navigation, NavigationActionPolicy policy,
              foundation::URL url, std::optional<std::string> htmlString);
  void complete(std::uint64_t serial, const std::shared_ptr<Navigation>& navigation,
                const std::shared_ptr<const Error>& failure);

  WebView& webView_;
  std::optional<foundation::URL> url_;
  std::optional<std::string> htmlString_;
  bool loading_ = false;
  std::uint64_t navigationSerial_ = 0;  // the navigation underway; earlier ones are abandoned
  std::shared_ptr<const Error> nextLoadFailure_;
};

}  // namespace keln::webkit
