#include "webkit/WebView.h"

#include <utility>

#include "webkit/HeadlessWebEngine.h"

namespace keln::webkit {
namespace {

WebEngineFactory& installedFactory() {
  static WebEngineFactory factory;
  return factory;
}

}  // namespace

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

void setWebEngineFactory(WebEngineFactory factory) { installedFactory() = std::move(factory); }

std::unique_ptr<WebEngine> makeWebEngine(WebView& webView) {
  if (const WebEngineFactory& factory = installedFactory()) {
    if (std::unique_ptr<WebEngine> engine = factory(webView)) return engine;
  }
  return std::make_unique<HeadlessWebEngine>(webView);
}

WebView::WebView(const uikit::Rect& frame, std::shared_ptr<WebViewConfiguration> configuration)
    : uikit::View(frame), configuration_(std::move(configuration)) {
  if (!configuration_) configuration_ = std::make_shared<WebViewConfiguration>();
  engine_ = makeWebEngine(*this);
}

WebView::~WebView() { engine_.reset(); }

std::shared_ptr<Navigation> WebView::loadHTMLString(std::string string, std::optional<foundation::URL> baseURL) {
  auto navigation = std::make_shared<Navigation>();
  foundation::URL url = baseURL ? *std::move(baseURL) : *foundation::URL::parse("about:blank");
  engine_->loadHTMLString(std::move(string), std::move(url), navigation);
  return navigation;
}

void WebView::navigateMainFrame(foundation::URL url) { engine_->navigateMainFrame(std::move(url)); }

void WebView::openNewWindow(foundation::URL url) { engine_->openNewWindow(std::move(url)); }

}  // namespace keln::webkit
