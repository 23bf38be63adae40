#pragma once

#include <gtk/gtk.h>

#include <functional>

namespace keln::webkit {
class WebView;
}

namespace keln::gtk {

// Gives the GTK widget that draws `webView`'s page, or null when its engine draws nothing
// (the web view's area then stays empty). The widget stays owned by the engine; the
// screens only place it. Main thread only.
using WebViewWidgetProvider = std::function<GtkWidget*(webkit::WebView& webView)>;

// Replaces the provider; null restores the default, which gives the WebKitGTK engine's
// widget, and none for a web view with another engine.
void setWebViewWidgetProvider(WebViewWidgetProvider provider);

// The provider's answer for `webView`.
GtkWidget* webViewWidget(webkit::WebView& webView);

}  // namespace keln::gtk
