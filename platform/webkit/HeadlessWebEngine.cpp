#include "webkit/HeadlessWebEngine.h"

#include <utility>

#include <keln/dispatch/MainQueue.h>

#include "webkit/WebView.h"

namespace keln::webkit {
namespace {

std::shared_ptr<WebView> shared(WebView& webView) {
  return std::static_pointer_cast<WebView>(webView.shared_from_this());
}

}  // namespace

HeadlessWebEngine& HeadlessWebEngine::of(WebView& webView) { return static_cast<HeadlessWebEngine&>(webView.engine()); }

void HeadlessWebEngine::loadHTMLString(std::string string, foundation::URL baseURL,
                                       const std::shared_ptr<Navigation>& navigation) {
  startNavigation(std::move(baseURL), std::move(string), navigation);
}

void HeadlessWebEngine::navigateMainFrame(foundation::URL url) {
  startNavigation(std::move(url), std::nullopt, std::make_shared<Navigation>());
}

void HeadlessWebEngine::startNavigation(foundation::URL url, std::optional<std::string> htmlString,
                                        const std::shared_ptr<Navigation>& navigation) {
  const std::uint64_t serial = ++navigationSerial_;
  loading_ = true;
  std::weak_ptr<WebView> weakView = shared(webView_);
  dispatch::MainQueue::main().async(
      [weakView, serial, navigation, url = std::move(url), htmlString = std::move(htmlString)]() mutable {
        const std::shared_ptr<WebView> view = weakView.lock();
        if (!view) return;
        HeadlessWebEngine& engine = of(*view);
        if (serial != engine.navigationSerial_) return;
        const std::shared_ptr<NavigationDelegate> delegate = view->navigationDelegate();
        if (!delegate) {
          engine.decide(serial, navigation, NavigationActionPolicy::allow, std::move(url), std::move(htmlString));
          return;
        }
        const NavigationAction action(NavigationRequest(url), FrameInfo(true));
        auto answered = std::make_shared<bool>(false);
        delegate->webView(view, action,
                          [weakView, serial, navigation, answered, url, htmlString](NavigationActionPolicy policy) {
                            if (*answered) return;
                            *answered = true;
                            if (const std::shared_ptr<WebView> view = weakView.lock()) {
                              of(*view).decide(serial, navigation, policy, url, htmlString);
                            }
                          });
      });
}

void HeadlessWebEngine::decide(std::uint64_t serial, const std::shared_ptr<Navigation>& navigation,
                               NavigationActionPolicy policy, foundation::URL url,
                               std::optional<std::string> htmlString) {
  if (serial != navigationSerial_) return;
  if (policy == NavigationActionPolicy::cancel) {
    loading_ = false;
    return;
  }
  url_ = std::move(url);
  htmlString_ = std::move(htmlString);
  std::shared_ptr<const Error> failure = std::move(nextLoadFailure_);
  nextLoadFailure_.reset();
  std::weak_ptr<WebView> weakView = shared(webView_);
  dispatch::MainQueue::main().async([weakView, serial, navigation, failure] {
    if (const std::shared_ptr<WebView> view = weakView.lock()) of(*view).complete(serial, navigation, failure);
  });
}

void HeadlessWebEngine::complete(std::uint64_t serial, const std::shared_ptr<Navigation>& navigation,
                                 const std::shared_ptr<const Error>& failure) {
  if (serial != navigationSerial_) return;
  loading_ = false;
  const std::shared_ptr<NavigationDelegate> delegate = webView_.navigationDelegate();
  if (!delegate) return;
  const std::shared_ptr<WebView> view = shared(webView_);
  if (failure) {
    delegate->webView(view, navigation, *failure);
  } else {
    delegate->webView(view, navigation);
  }
}

void HeadlessWebEngine::openNewWindow(foundation::URL url) {
  std::weak_ptr<WebView> weakView = shared(webView_);
  dispatch::MainQueue::main().async([weakView, url = std::move(url)] {
    const std::shared_ptr<WebView> view = weakView.lock();
    if (!view) return;
    const std::shared_ptr<UIDelegate> delegate = view->uiDelegate();
    if (!delegate) return;
    const NavigationAction action(NavigationRequest(url), std::nullopt);
    if (std::shared_ptr<WebView> window = delegate->webView(view, view->configuration(), action, WindowFeatures())) {
      window->navigateMainFrame(url);
    }
  });
}

}  // namespace keln::webkit
