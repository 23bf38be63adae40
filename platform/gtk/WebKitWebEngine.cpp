#include "gtk/WebKitWebEngine.h"

#include <algorithm>
#include <utility>

#include <keln/dispatch/MainQueue.h>

#include "webkit/WebView.h"

namespace keln::gtk {
namespace {

// A page that did not load, as WebKit reported it.
class WebLoadError final : public Error {
 public:
  WebLoadError(std::string domain, int code, std::string message, std::string failingURL)
      : domain_(std::move(domain)), code_(code), message_(std::move(message)), failingURL_(std::move(failingURL)) {}

  std::string description() const override {
    return domain_ + " " + std::to_string(code_) + ": " + message_ + " (" + failingURL_ + ")";
  }
  std::string localizedDescription() const override { return message_; }

 private:
  std::string domain_;
  int code_;
  std::string message_;
  std::string failingURL_;
};

// Website data of every web view: in memory only, shared so that one network process
// serves them all. Lives until the process ends. A download (a link with the download
// attribute, or one chosen from the page's context menu) would write a file: each is
// cancelled as it starts, before it has a destination.
WebKitNetworkSession* ephemeralSession() {
  static WebKitNetworkSession* session = [] {
    WebKitNetworkSession* made = webkit_network_session_new_ephemeral();
    g_signal_connect(made, "download-started", G_CALLBACK(+[](WebKitNetworkSession*, WebKitDownload* download) {
                       webkit_download_cancel(download);
                     }),
                     nullptr);
    return made;
  }();
  return session;
}

// A web view that is never shown and holds WebKit's web process running: every engine's
// view is made related to it and shares that process, so a checkout's page does not wait
// for a process to start. Made by the first engine, which starts the process while the
// checkout's request is on its way; kept until the process ends, and then made again by
// the next engine. Main thread only.
WebKitWebView*& runningProcessView() {
  static WebKitWebView* view = nullptr;
  return view;
}

WebKitWebView* webProcessHolder() {
  WebKitWebView*& view = runningProcessView();
  if (view != nullptr) return view;
  view = WEBKIT_WEB_VIEW(
      g_object_ref_sink(g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", ephemeralSession(), nullptr)));
  g_signal_connect(view, "web-process-terminated",
                   G_CALLBACK(+[](WebKitWebView* ended, WebKitWebProcessTerminationReason, gpointer) {
                     // Views made from now on get a new process (and a new holder).
                     if (runningProcessView() != ended) return;
                     runningProcessView() = nullptr;
                     g_object_unref(ended);
                   }),
                   nullptr);
  webkit_web_view_load_uri(view, "about:blank");
  return view;
}

std::shared_ptr<webkit::WebView> shared(webkit::WebView& webView) {
  return std::static_pointer_cast<webkit::WebView>(webView.shared_from_this());
}

std::optional<foundation::URL> parseURL(const char* text) {
  if (text == nullptr) return std::nullopt;
  return foundation::URL::parse(text);
}

}  // namespace

// WebKit's decision about one navigation, kept until it is answered. Answered once: by
// the delegate's handler, by the engine when it is released, or (ignore) when the
// handler is dropped unanswered.
struct WebKitWebEngine::PendingDecision {
  explicit PendingDecision(WebKitPolicyDecision* decision) : decision(WEBKIT_POLICY_DECISION(g_object_ref(decision))) {}
  ~PendingDecision() { answer(webkit::NavigationActionPolicy::cancel); }
  PendingDecision(const PendingDecision&) = delete;
  PendingDecision& operator=(const PendingDecision&) = delete;

  bool answered() const { return decision == nullptr; }

  void answer(webkit::NavigationActionPolicy policy) {
    if (decision == nullptr) return;
    if (policy == webkit::NavigationActionPolicy::allow) {
      webkit_policy_decision_use(decision);
    } else {
      webkit_policy_decision_ignore(decision);
    }
    g_object_unref(decision);
    decision = nullptr;
  }

  WebKitPolicyDecision* decision;
};

WebKitWebEngine::WebKitWebEngine(webkit::WebView& webView)
    : webView_(webView),
      view_(WEBKIT_WEB_VIEW(
          g_object_ref_sink(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", webProcessHolder(), nullptr)))) {
  g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(onLoadFailed), this);
  g_signal_connect(view_, "create", G_CALLBACK(onCreate), this);
  g_signal_connect(view_, "notify::uri", G_CALLBACK(onURIChanged), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(onWebProcessTerminated), this);
}

WebKitWebEngine::~WebKitWebEngine() {
  g_signal_handlers_disconnect_by_data(view_, this);
  for (const std::weak_ptr<PendingDecision>& pending : pendingDecisions_) {
    if (const std::shared_ptr<PendingDecision> decision = pending.lock()) {
      decision->answer(webkit::NavigationActionPolicy::cancel);
    }
  }
  webkit_web_view_stop_loading(view_);
  g_object_unref(view_);
}

void WebKitWebEngine::loadHTMLString(std::string string, foundation::URL baseURL,
                                     const std::shared_ptr<webkit::Navigation>& navigation) {
  const std::string base = baseURL.absoluteString();
  webkit_web_view_load_html(view_, string.c_str(), base.c_str());
  lastLoad_ = LastLoad{string, std::move(baseURL)};
  pendingHTMLString_ = std::move(string);
  pendingHTMLBase_ = base;
  pendingNavigation_ = navigation;
}

void WebKitWebEngine::navigateMainFrame(foundation::URL url) {
  pendingHTMLString_.reset();
  pendingHTMLBase_.reset();
  pendingNavigation_.reset();
  webkit_web_view_load_uri(view_, url.absoluteString().c_str());
  lastLoad_ = LastLoad{std::nullopt, std::move(url)};
}

void WebKitWebEngine::onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                             gpointer engine) {
  auto* self = static_cast<WebKitWebEngine*>(engine);
  // Nothing shown yet: the next load starts a process of its own. A page no window shows
  // (its checkout closed) is left blank: loading it would post its form once more.
  if (!self->lastLoad_ || !gtk_widget_get_mapped(self->widget())) return;
  if (!self->reloadedAfterTermination_) {
    // Once: a page whose process ends again may be what ends it.
    self->reloadedAfterTermination_ = true;
    const LastLoad load = *self->lastLoad_;
    if (load.html) {
      self->loadHTMLString(*load.html, load.target, std::make_shared<webkit::Navigation>());
    } else {
      self->navigateMainFrame(load.target);
    }
    return;
  }
  // The page stays blank; the delegate learns that it ended.
  const char* why = reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "the page's process ran out of memory"
                                                                       : "the page's process ended";
  self->loadFailed_ = true;
  self->reportLoadEnd(std::make_shared<WebLoadError>("WebKitWebProcess", static_cast<int>(reason), why,
                                                     self->url_ ? self->url_->absoluteString() : ""));
}

bool WebKitWebEngine::isLoading() const {
  if (webkit_web_view_is_loading(view_)) return true;
  return std::any_of(pendingDecisions_.begin(), pendingDecisions_.end(), [](const auto& pending) {
    const std::shared_ptr<PendingDecision> decision = pending.lock();
    return decision && !decision->answered();
  });
}

gboolean WebKitWebEngine::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                         gpointer engine) {
  auto* self = static_cast<WebKitWebEngine*>(engine);
  switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: self->decideNavigation(decision); return TRUE;
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
      WebKitNavigationAction* action =
          webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      webkit_policy_decision_ignore(decision);
      self->requestNewWindow(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
      return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
      // What cannot be shown is dropped, never downloaded.
      auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
      if (webkit_response_policy_decision_is_mime_type_supported(response)) {
        webkit_policy_decision_use(decision);
      } else {
        webkit_policy_decision_ignore(decision);
      }
      return TRUE;
    }
  }
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

void WebKitWebEngine::decideNavigation(WebKitPolicyDecision* decision) {
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  std::optional<foundation::URL> url =
      parseURL(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));

  auto pending = std::make_shared<PendingDecision>(decision);
  std::erase_if(pendingDecisions_, [](const std::weak_ptr<PendingDecision>& entry) { return entry.expired(); });
  pendingDecisions_.push_back(pending);

  std::weak_ptr<webkit::WebView> weakView = shared(webView_);
  dispatch::MainQueue::main().async([weakView, pending, url = std::move(url)]() mutable {
    const std::shared_ptr<webkit::WebView> view = weakView.lock();
    if (!view || pending->answered()) return;
    const std::shared_ptr<webkit::NavigationDelegate> delegate = view->navigationDelegate();
    if (!delegate) {
      pending->answer(webkit::NavigationActionPolicy::allow);
      return;
    }
    // WebKitGTK asks the same question for a subframe's navigations and does not say
    // which frame it is; they are reported as the main frame's.
    const webkit::NavigationAction navigationAction(webkit::NavigationRequest(std::move(url)), webkit::FrameInfo(true));
    // The handler holds the decision alone, so that dropping it unanswered ignores it.
    delegate->webView(view, navigationAction, [pending = std::move(pending)](webkit::NavigationActionPolicy policy) {
      pending->answer(policy);
    });
  });
}

void WebKitWebEngine::requestNewWindow(const char* uri) {
  std::optional<foundation::URL> url = parseURL(uri);
  std::weak_ptr<webkit::WebView> weakView = shared(webView_);
  dispatch::MainQueue::main().async([weakView, url = std::move(url)] {
    const std::shared_ptr<webkit::WebView> view = weakView.lock();
    if (!view) return;
    const std::shared_ptr<webkit::UIDelegate> delegate = view->uiDelegate();
    if (!delegate) return;
    const webkit::NavigationAction action(webkit::NavigationRequest(url), std::nullopt);
    const std::shared_ptr<webkit::WebView> window =
        delegate->webView(view, view->configuration(), action, webkit::WindowFeatures());
    if (window && url) window->navigateMainFrame(*url);
  });
}

GtkWidget* WebKitWebEngine::onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer engine) {
  static_cast<WebKitWebEngine*>(engine)->requestNewWindow(
      webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
  return nullptr;
}

void WebKitWebEngine::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer engine) {
  auto* self = static_cast<WebKitWebEngine*>(engine);
  switch (event) {
    case WEBKIT_LOAD_STARTED: {
      const std::optional<foundation::URL> url = parseURL(webkit_web_view_get_uri(self->view_));
      const bool ownPage = self->pendingHTMLBase_ && url && url->absoluteString() == *self->pendingHTMLBase_;
      self->currentNavigation_ =
          ownPage && self->pendingNavigation_ ? self->pendingNavigation_ : std::make_shared<webkit::Navigation>();
      self->pendingNavigation_.reset();
      self->loadFailed_ = false;
      if (!ownPage) {
        self->pendingHTMLString_.reset();
        self->pendingHTMLBase_.reset();
      }
      break;
    }
    case WEBKIT_LOAD_COMMITTED:
      self->htmlString_ = std::move(self->pendingHTMLString_);
      self->pendingHTMLString_.reset();
      self->pendingHTMLBase_.reset();
      break;
    case WEBKIT_LOAD_FINISHED:
      // A failed load also finishes; its failure was reported already.
      if (!self->loadFailed_) self->reportLoadEnd(nullptr);
      break;
    case WEBKIT_LOAD_REDIRECTED: break;
  }
}

gboolean WebKitWebEngine::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* failingURI, GError* error,
                                       gpointer engine) {
  auto* self = static_cast<WebKitWebEngine*>(engine);
  // The failure of a load that a newer loadHTMLString() interrupted leaves that page be.
  if (failingURI != nullptr && self->pendingHTMLBase_ == failingURI) {
    self->pendingHTMLString_.reset();
    self->pendingHTMLBase_.reset();
  }
  self->loadFailed_ = true;
  self->reportLoadEnd(std::make_shared<WebLoadError>(g_quark_to_string(error->domain), error->code, error->message,
                                                     failingURI != nullptr ? failingURI : ""));
  // WebKit's own error page is not shown; the delegate decides what the person sees.
  return TRUE;
}

void WebKitWebEngine::reportLoadEnd(const std::shared_ptr<const Error>& failure) {
  std::shared_ptr<webkit::Navigation> navigation = currentNavigation_;
  if (!navigation) navigation = std::make_shared<webkit::Navigation>();
  std::weak_ptr<webkit::WebView> weakView = shared(webView_);
  dispatch::MainQueue::main().async([weakView, navigation, failure] {
    const std::shared_ptr<webkit::WebView> view = weakView.lock();
    if (!view) return;
    const std::shared_ptr<webkit::NavigationDelegate> delegate = view->navigationDelegate();
    if (!delegate) return;
    if (failure) {
      delegate->webView(view, navigation, *failure);
    } else {
      delegate->webView(view, navigation);
    }
  });
}

void WebKitWebEngine::onURIChanged(GObject*, GParamSpec*, gpointer engine) {
  auto* self = static_cast<WebKitWebEngine*>(engine);
  if (std::optional<foundation::URL> url = parseURL(webkit_web_view_get_uri(self->view_))) self->url_ = std::move(url);
}

void installWebKitEngine() {
  webkit::setWebEngineFactory([](webkit::WebView& webView) -> std::unique_ptr<webkit::WebEngine> {
    return std::make_unique<WebKitWebEngine>(webView);
  });
}

}  // namespace keln::gtk
