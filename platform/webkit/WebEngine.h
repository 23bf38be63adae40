#pragma once

#include <keln/Export.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <keln/foundation/Error.h>

#include "foundation/URL.h"
#include "webkit/NavigationAction.h"

namespace keln::webkit {

class WebView;

// What loads and shows the pages of one web view. The web view owns its engine for its
// whole life and forwards its page operations to it; the engine asks and tells the web
// view's delegates (looked up on the web view each time, as they may change) on the main
// queue, in the order a browser meets the steps of a navigation.
//
// An engine is made by the process-wide factory below when its web view is made, and
// receives that web view, which outlives it. It must not use the web view's shared
// ownership (shared_from_this) while it is being made. Main thread only.
class KELN_EXPORT WebEngine {
 public:
  virtual ~WebEngine() = default;

  // Shows `string` as the page, its links read relative to `baseURL`; `navigation` is
  // the navigation that the delegate's finish or failure names.
  virtual void loadHTMLString(std::string string, foundation::URL baseURL,
                              const std::shared_ptr<Navigation>& navigation) = 0;

  // Takes the main frame to `url`, through the navigation delegate's decision.
  virtual void navigateMainFrame(foundation::URL url) = 0;

  // The URL of the page shown (or being loaded); none before the first page.
  virtual const std::optional<foundation::URL>& url() const = 0;
  // The text given to loadHTMLString() while that page is the one shown; none otherwise.
  virtual const std::optional<std::string>& htmlString() const = 0;
  // True from the start of a navigation until it finishes, fails or is cancelled.
  virtual bool isLoading() const = 0;

  // -- Acting for the page, on engines whose page does not act by itself --
  // An engine that runs the page's own script ignores these.

  // The page asks to open `url` in a new window.
  virtual void openNewWindow(foundation::URL) {}
  // The next navigation that is allowed fails with `error` instead of finishing.
  virtual void failNextLoad(std::shared_ptr<const Error>) {}
};

// Makes the engine of a new web view.
using WebEngineFactory = std::function<std::unique_ptr<WebEngine>(WebView& webView)>;

// Chooses the engine of the web views made from now on, process-wide; null restores the
// headless engine (the default). Web views already made keep their engine. Main thread.
KELN_EXPORT void setWebEngineFactory(WebEngineFactory factory);

// The engine for `webView`, from the installed factory.
std::unique_ptr<WebEngine> makeWebEngine(WebView& webView);

}  // namespace keln::webkit
