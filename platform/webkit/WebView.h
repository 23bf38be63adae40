#pragma once

#include <keln/Export.h>

#include <memory>
#include <optional>
#include <string>

#include <keln/foundation/Error.h>

#include "foundation/URL.h"
#include "uikit/View.h"
#include "webkit/NavigationAction.h"
#include "webkit/NavigationDelegate.h"
#include "webkit/UIDelegate.h"
#include "webkit/WebEngine.h"
#include "webkit/WebViewConfiguration.h"

namespace keln::webkit {

// A view that shows a web page. The page is loaded and shown by the web view's engine
// (WebEngine), chosen by the process-wide factory when the web view is made: the headless
// engine unless a host installed another one.
//
// The delegates are held weakly; every call to them arrives on the main queue. Made with
// std::make_shared; main thread only.
class KELN_EXPORT WebView : public uikit::View {
 public:
  WebView(const uikit::Rect& frame, std::shared_ptr<WebViewConfiguration> configuration);
  ~WebView() override;

  const std::shared_ptr<WebViewConfiguration>& configuration() const { return configuration_; }

  std::shared_ptr<NavigationDelegate> navigationDelegate() const { return navigationDelegate_.lock(); }
  void setNavigationDelegate(std::weak_ptr<NavigationDelegate> delegate) { navigationDelegate_ = std::move(delegate); }

  std::shared_ptr<UIDelegate> uiDelegate() const { return uiDelegate_.lock(); }
  void setUIDelegate(std::weak_ptr<UIDelegate> delegate) { uiDelegate_ = std::move(delegate); }

  // Shows `string` as the page, its links read relative to `baseURL`. The page's URL is
  // `baseURL`, or "about:blank" without one.
  std::shared_ptr<Navigation> loadHTMLString(std::string string, std::optional<foundation::URL> baseURL);

  // The URL of the page shown; none before the first page.
  const std::optional<foundation::URL>& url() const { return engine_->url(); }
  // The text of the page shown when it came from loadHTMLString(); none otherwise.
  const std::optional<std::string>& htmlString() const { return engine_->htmlString(); }
  // True from the start of a navigation until it finishes, fails or is cancelled.
  bool isLoading() const { return engine_->isLoading(); }

  WebEngine& engine() const { return *engine_; }

  // -- What the page does (a test or a demo acts for it; an engine that runs the page's
  // own script ignores openNewWindow() and failNextLoad()) --

  // The page takes its main frame to `url` (a link, a form, a script).
  void navigateMainFrame(foundation::URL url);

  // The page asks to open `url` in a new window (a link with a target, window.open()).
  void openNewWindow(foundation::URL url);

  // The next navigation that is allowed fails with `error` instead of finishing.
  void failNextLoad(std::shared_ptr<const Error> error) { engine_->failNextLoad(std::move(error)); }

 private:
  std::shared_ptr<WebViewConfiguration> configuration_;
  std::weak_ptr<NavigationDelegate> navigationDelegate_;
  std::weak_ptr<UIDelegate> uiDelegate_;
  std::unique_ptr<WebEngine> engine_;  // last: made with, and released before, the rest
};

}  // namespace keln::webkit
