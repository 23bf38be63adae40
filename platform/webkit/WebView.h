#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <keln/platform/Error.h>

#include "foundation/URL.h"
#include "uikit/View.h"
#include "webkit/NavigationAction.h"
#include "webkit/NavigationDelegate.h"
#include "webkit/UIDelegate.h"
#include "webkit/WebViewConfiguration.h"

namespace keln::webkit {

// A view that shows a web page. The engine is headless: it fetches nothing and runs no
// script; it keeps the page it was given and walks every navigation through the steps
// a browser takes, so that an app's delegates see what they would see on a device.
//
// A navigation (the app's loadHTMLString(), or the page's own navigateMainFrame()):
//  1. the navigation delegate is asked whether it may go ahead (allowed when there is no
//     delegate);
//  2. when allowed, the page is replaced (url(), htmlString()) and the delegate then told
//     that it finished, or failed when a failure was set with failNextLoad();
//  3. when cancelled, nothing changes and nothing more is said.
// Starting a navigation abandons the one still underway: it is neither loaded nor
// reported. A page's request for a new window goes to the UI delegate instead.
//
// The delegates are held weakly. Every step runs later on the main queue; a web view that
// is released meanwhile drops its navigations. Made with std::make_shared; main thread
// only.
class WebView : public uikit::View {
 public:
  WebView(const uikit::Rect& frame, std::shared_ptr<WebViewConfiguration> configuration);

  const std::shared_ptr<WebViewConfiguration>& configuration() const { return configuration_; }

  std::shared_ptr<NavigationDelegate> navigationDelegate() const { return navigationDelegate_.lock(); }
  void setNavigationDelegate(std::weak_ptr<NavigationDelegate> delegate) { navigationDelegate_ = std::move(delegate); }

  std::shared_ptr<UIDelegate> uiDelegate() const { return uiDelegate_.lock(); }
  void setUIDelegate(std::weak_ptr<UIDelegate> delegate) { uiDelegate_ = std::move(delegate); }

  // Shows `string` as the page, its links read relative to `baseURL`. The page's URL is
  // `baseURL`, or "about:blank" without one.
  std::shared_ptr<Navigation> loadHTMLString(std::string string, std::optional<foundation::URL> baseURL);

  // The URL of the page shown; none before the first page.
  const std::optional<foundation::URL>& url() const { return url_; }
  // The text of the page shown when it came from loadHTMLString(); none otherwise.
  const std::optional<std::string>& htmlString() const { return htmlString_; }
  // True from the start of a navigation until it finishes, fails or is cancelled.
  bool isLoading() const { return loading_; }

  // -- What the page does (a test or a demo acts for it) --

  // The page takes its main frame to `url` (a link, a form, a script).
  void navigateMainFrame(foundation::URL url);

  // The page asks to open `url` in a new window (a link with a target, window.open()).
  void openNewWindow(foundation::URL url);

  // The next navigation that is allowed fails with `error` instead of finishing.
  void failNextLoad(std::shared_ptr<const Error> error) { nextLoadFailure_ = std::move(error); }

 private:
  std::shared_ptr<WebView> self();
  void startNavigation(foundation::URL url, std::optional<std::string> htmlString,
                       const std::shared_ptr<Navigation>& navigation);
  void decide(std::uint64_t serial, const std::shared_ptr<Navigation>& navigation, NavigationActionPolicy policy,
              foundation::URL url, std::optional<std::string> htmlString);
  void complete(std::uint64_t serial, const std::shared_ptr<Navigation>& navigation,
                const std::shared_ptr<const Error>& failure);

  std::shared_ptr<WebViewConfiguration> configuration_;
  std::weak_ptr<NavigationDelegate> navigationDelegate_;
  std::weak_ptr<UIDelegate> uiDelegate_;
  std::optional<foundation::URL> url_;
  std::optional<std::string> htmlString_;
  bool loading_ = false;
  std::uint64_t navigationSerial_ = 0;  // the navigation underway; earlier ones are abandoned
  std::shared_ptr<const Error> nextLoadFailure_;
};

}  // namespace keln::webkit
