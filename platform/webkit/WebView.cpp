#include "webkit/WebView.h"

#include <utility>

#include <keln/platform/MainQueue.h>

namespace keln::webkit {

void NavigationDelegate::webView(const std::shared_ptr<WebView>&, const NavigationAction&,
                                 DecisionHandler decisionHandler) {
  decisionHandler(NavigationActionPolicy::allow);
}

void NavigationDelegate::webView(const std::shared_ptr<WebView>&, const std::shared_ptr<Navigation>&) {}

void NavigationDelegate::webView(const std::shared_ptr<WebView>&, const std::shared_ptr<Navigation>&, const Error&) {}

std::shared_ptr<WebView> UIDelegate::webView(const std::shared_ptr<WebView>&,
                                             const std::shared_ptr<WebViewConfiguration>&, const NavigationAction&,
                                             const WindowFeatures&) {
  return nullptr;
}

WebView::WebView(const uikit::Rect& frame, std::shared_ptr<WebViewConfiguration> configuration)
    : uikit::View(frame), configuration_(std::move(configuration)) {
  if (!configuration_) configuration_ = std::make_shared<WebViewConfiguration>();
}

std::shared_ptr<WebView> WebView::self() { return std::static_pointer_cast<WebView>(shared_from_this()); }

std::shared_ptr<Navigation> WebView::loadHTMLString(std::string string, std::optional<foundation::URL> baseURL) {
  auto navigation = std::make_shared<Navigation>();
  foundation::URL url = baseURL ? *std::move(baseURL) : *foundation::URL::parse("about:blank");
  startNavigation(std::move(url), std::move(string), navigation);
  return navigation;
}

void WebView::navigateMainFrame(foundation::URL url) {
  startNavigation(std::move(url), std::nullopt, std::make_shared<Navigation>());
}

void WebView::startNavigation(foundation::URL url, std::optional<std::string> htmlString,
                              const std::shared_ptr<Navigation>& navigation) {
  const std::uint64_t serial = ++navigationSerial_;
  loading_ = true;
  std::weak_ptr<WebView> weakSelf = self();
  dispatch::MainQueue::main().async([weakSelf, serial, navigation, url = std::move(url),
                                     htmlString = std::move(htmlString)]() mutable {
    const std::shared_ptr<WebView> self = weakSelf.lock();
    if (!self || serial != self->navigationSerial_) return;
    const std::shared_ptr<NavigationDelegate> delegate = self->navigationDelegate();
    if (!delegate) {
      self->decide(serial, navigation, NavigationActionPolicy::allow, std::move(url), std::move(htmlString));
      return;
    }
    const NavigationAction action(NavigationRequest(url), FrameInfo(true));
    auto answered = std::make_shared<bool>(false);
    delegate->webView(self, action,
                      [weakSelf, serial, navigation, answered, url, htmlString](NavigationActionPolicy policy) {
                        if (*answered) return;
                        *answered = true;
                        if (const std::shared_ptr<WebView> view = weakSelf.lock()) {
                          view->decide(serial, navigation, policy, url, htmlString);
                        }
                      });
  });
}

void WebView::decide(std::uint64_t serial, const std::shared_ptr<Navigation>& navigation,
                     NavigationActionPolicy policy, foundation::URL url, std::optional<std::string> htmlString) {
  if (serial != navigationSerial_) return;
  if (policy == NavigationActionPolicy::cancel) {
    loading_ = false;
    return;
  }
  url_ = std::move(url);
  htmlString_ = std::move(htmlString);
  std::shared_ptr<const Error> failure = std::move(nextLoadFailure_);
  nextLoadFailure_.reset();
  std::weak_ptr<WebView> weakSelf = self();
  dispatch::MainQueue::main().async([weakSelf, serial, navigation, failure] {
    if (const std::shared_ptr<WebView> self = weakSelf.lock()) self->complete(serial, navigation, failure);
  });
}

void WebView::complete(std::uint64_t serial, const std::shared_ptr<Navigation>& navigation,
                       const std::shared_ptr<const Error>& failure) {
  if (serial != navigationSerial_) return;
  loading_ = false;
  const std::shared_ptr<NavigationDelegate> delegate = navigationDelegate();
  if (!delegate) return;
  if (failure) {
    delegate->webView(self(), navigation, *failure);
  } else {
    delegate->webView(self(), navigation);
  }
}

void WebView::openNewWindow(foundation::URL url) {
  std::weak_ptr<WebView> weakSelf = self();
  dispatch::MainQueue::main().async([weakSelf, url = std::move(url)] {
    const std::shared_ptr<WebView> self = weakSelf.lock();
    if (!self) return;
    const std::shared_ptr<UIDelegate> delegate = self->uiDelegate();
    if (!delegate) return;
    const NavigationAction action(NavigationRequest(url), std::nullopt);
    if (std::shared_ptr<WebView> window = delegate->webView(self, self->configuration_, action, WindowFeatures())) {
      window->navigateMainFrame(url);
    }
  });
}

}  // namespace keln::webkit
