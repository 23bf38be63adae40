#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include "webkit/WebEngine.h"

namespace keln::gtk {

// The web engine that shows pages with WebKitGTK: the page's script runs and its
// requests go to the network.
//
// Every main-frame navigation waits for the navigation delegate's decision, asked later
// on the main queue; the engine keeps WebKit's policy decision until the delegate's
// handler answers it (a handler that is dropped unanswered ignores the navigation).
// Finished and failed loads reach the delegate; a page's request for a new window goes
// to the UI delegate and never opens a window of WebKit's own. Responses WebKit cannot
// show are refused and downloads cancelled, certificate errors are refused, and website
// data lives only in memory: the engine writes nothing to disk.
//
// Every engine's page runs in one WebKit web process, started when the first engine is
// made and kept running between pages (its memory stays in use after the last page is
// gone). When that process ends under a page on screen (a crash, or killed), the engine
// loads what it was last asked to load again, once; when it ends again, the page stays
// blank and the navigation delegate is told of a failed load. A page no window shows is
// left blank.
//
// The engine owns its WebKitWebView (widget(), which a window embeds); releasing the
// engine stops the page and ignores every decision still pending. WebKit runs on the
// GLib main context of the main thread, which the host must iterate beside the main
// queue. Main thread only; GTK must be initialised before the first engine is made.
class WebKitWebEngine final : public webkit::WebEngine {
 public:
  explicit WebKitWebEngine(webkit::WebView& webView);
  ~WebKitWebEngine() override;
  WebKitWebEngine(const WebKitWebEngine&) = delete;
  WebKitWebEngine& operator=(const WebKitWebEngine&) = delete;

  // The WebKitWebView, owned by the engine (a window that embeds it adds its own reference).
  GtkWidget* widget() const { return GTK_WIDGET(view_); }

  void loadHTMLString(std::string string, foundation::URL baseURL,
                      const std::shared_ptr<webkit::Navigation>& navigation) override;
  void navigateMainFrame(foundation::URL url) override;
  const std::optional<foundation::URL>& url() const override { return url_; }
  const std::optional<std::string>& htmlString() const override { return htmlString_; }
  bool isLoading() const override;

 private:
  struct PendingDecision;

  static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer engine);
  static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer engine);
  static gboolean onLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* failingURI, GError* error,
                               gpointer engine);
  static GtkWidget* onCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer engine);
  static void onURIChanged(GObject* view, GParamSpec* property, gpointer engine);
  static void onWebProcessTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason, gpointer engine);

  void decideNavigation(WebKitPolicyDecision* decision);
  void requestNewWindow(const char* uri);
  void reportLoadEnd(const std::shared_ptr<const Error>& failure);

  webkit::WebView& webView_;
  WebKitWebView* view_;  // one reference owned
  std::vector<std::weak_ptr<PendingDecision>> pendingDecisions_;
  std::optional<foundation::URL> url_;
  std::optional<std::string> htmlString_;
  // The text of the loadHTMLString() not committed yet, with its base URL and navigation.
  std::optional<std::string> pendingHTMLString_;
  std::optional<std::string> pendingHTMLBase_;
  std::shared_ptr<webkit::Navigation> pendingNavigation_;
  std::shared_ptr<webkit::Navigation> currentNavigation_;
  bool loadFailed_ = false;  // the current load failed; its end is not a finish
  // What loadHTMLString() or navigateMainFrame() last asked for: the text and its base
  // URL, or the URL alone. Loaded again when the page's process ends, once per engine.
  struct LastLoad {
    std::optional<std::string> html;
    foundation::URL target;
  };
  std::optional<LastLoad> lastLoad_;
  bool reloadedAfterTermination_ = false;
};

// Makes every web view made from now on use WebKitWebEngine. GTK must be initialised
// (gtk_init) first. Main thread.
void installWebKitEngine();

}  // namespace keln::gtk
