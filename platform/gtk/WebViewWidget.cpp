#include "gtk/WebViewWidget.h"

#include <utility>

#include "gtk/WebKitWebEngine.h"
#include "webkit/WebView.h"

namespace keln::gtk {
namespace {

WebViewWidgetProvider& provider() {
  static WebViewWidgetProvider installed;
  return installed;
}

}  // namespace

void setWebViewWidgetProvider(WebViewWidgetProvider replacement) { provider() = std::move(replacement); }

GtkWidget* webViewWidget(webkit::WebView& webView) {
  const WebViewWidgetProvider current = provider();  // a copy: the provider may replace itself
  if (current) return current(webView);
  auto* engine = dynamic_cast<WebKitWebEngine*>(&webView.engine());
  return engine != nullptr ? engine->widget() : nullptr;
}

}  // namespace keln::gtk
