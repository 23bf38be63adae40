#include "gtk/WebViewWidget.h"

#include <utility>

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
  return current ? current(webView) : nullptr;
}

}  // namespace keln::gtk
