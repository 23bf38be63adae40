#pragma once

// A GTK host for the checkout window tests: its own window, the SDK on the local gateway,
// GLib's main loop driven as the host's would be, and the user played through the window's
// widgets and, on a web form, through the page's DOM events.

#include <keln/gtk/WindowViewController.h>
#include <webkit/webkit.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "e2e/EndToEndHarness.h"
#include "gtk/WebViewWidget.h"
#include "support/GatewayFormPage.h"
#include "support/GtkTestSupport.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace keln::testing {

// The checkout window open over `host`, as a person finds it among the toplevels; null
// when none.
inline GtkWindow* checkoutWindowOver(GtkWindow* host) {
  GListModel* toplevels = gtk_window_get_toplevels();
  GtkWindow* found = nullptr;
  for (guint index = 0; index < g_list_model_get_n_items(toplevels) && found == nullptr; ++index) {
    auto* window = GTK_WINDOW(g_list_model_get_item(toplevels, index));
    if (gtk_window_get_transient_for(window) == host &&
        gtk::checkoutWindowName == std::string(gtk_widget_get_name(GTK_WIDGET(window)))) {
      found = window;
    }
    g_object_unref(window);
  }
  return found;
}

// Visible on screen: the widget and every ancestor shown, the window mapped, and the widget
// laid out.
inline bool onScreen(GtkWidget* widget) {
  return widget != nullptr && gtk_widget_is_drawable(widget) && gtk_widget_get_width(widget) > 0;
}

// A picture of what GTK draws for a window, at the window's scale (device pixels), read
// back from GTK's renderer. A web page's area is blank in it: WebKit's process draws the page.
class WindowPicture {
 public:
  struct Color {
    int red = 0;
    int green = 0;
    int blue = 0;
    int brightness() const { return (red + green + blue) / 3; }
    int distance(const Color& other) const {
      return std::max({std::abs(red - other.red), std::abs(green - other.green), std::abs(blue - other.blue)});
    }
  };

  // Draws `window` as it is now, with its frame; an empty picture when it is not on screen.
  static WindowPicture of(GtkWindow* window) {
    WindowPicture picture;
    GtkWidget* widget = GTK_WIDGET(window);
    // What the window draws, its frame included, in its own coordinates.
    graphene_rect_t bounds;
    GskRenderer* renderer = gtk_widget_get_realized(widget) ? gtk_native_get_renderer(GTK_NATIVE(window)) : nullptr;
    if (renderer == nullptr || !gtk_widget_compute_bounds(widget, widget, &bounds) || bounds.size.width < 1 ||
        bounds.size.height < 1) {
      return picture;
    }
    picture.scale_ = gtk_widget_get_scale_factor(widget);
    picture.originX_ = bounds.origin.x;
    picture.originY_ = bounds.origin.y;
    const auto scale = static_cast<float>(picture.scale_);
    GdkPaintable* paintable = gtk_widget_paintable_new(widget);  // draws those bounds
    GtkSnapshot* drawing = gtk_snapshot_new();
    gtk_snapshot_scale(drawing, scale, scale);
    gdk_paintable_snapshot(paintable, GDK_SNAPSHOT(drawing), bounds.size.width, bounds.size.height);
    g_object_unref(paintable);
    GskRenderNode* node = gtk_snapshot_free_to_node(drawing);
    if (node == nullptr) return picture;
    graphene_rect_t viewport;
    graphene_rect_init(&viewport, 0, 0, std::ceil(bounds.size.width * scale), std::ceil(bounds.size.height * scale));
    picture.texture_ = gsk_renderer_render_texture(renderer, node, &viewport);
    gsk_render_node_unref(node);
    picture.width_ = gdk_texture_get_width(picture.texture_);
    picture.height_ = gdk_texture_get_height(picture.texture_);
    picture.pixels_.resize(static_cast<std::size_t>(picture.width_) * picture.height_ * 4);
    gdk_texture_download(picture.texture_, picture.pixels_.data(), static_cast<gsize>(picture.width_) * 4);
    return picture;
  }

  WindowPicture() = default;
  WindowPicture(WindowPicture&& other) noexcept { *this = std::move(other); }
  WindowPicture& operator=(WindowPicture&& other) noexcept {
    std::swap(texture_, other.texture_);
    std::swap(pixels_, other.pixels_);
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    std::swap(scale_, other.scale_);
    std::swap(originX_, other.originX_);
    std::swap(originY_, other.originY_);
    return *this;
  }
  ~WindowPicture() {
    if (texture_ != nullptr) g_object_unref(texture_);
  }

  bool empty() const { return pixels_.empty(); }
  int scale() const { return scale_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // The device pixel at (x, y) of the window's own coordinates; black outside the picture.
  Color at(double x, double y) const { return pixel(deviceX(x), deviceY(y)); }
  int deviceX(double x) const { return static_cast<int>(std::floor((x - originX_) * scale_)); }
  int deviceY(double y) const { return static_cast<int>(std::floor((y - originY_) * scale_)); }
  Color pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    // Cairo's ARGB32, premultiplied: B, G, R, A in memory on a little-endian machine.
    const guchar* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    return {p[2], p[1], p[0]};
  }

  bool save(const std::string& path) const {
    return texture_ != nullptr && gdk_texture_save_to_png(texture_, path.c_str());
  }

 private:
  GdkTexture* texture_ = nullptr;
  std::vector<guchar> pixels_;
  int width_ = 0;
  int height_ = 0;
  int scale_ = 1;
  double originX_ = 0;  // where the window's own (0, 0) is, in the picture
  double originY_ = 0;
};

class CheckoutWindowTest : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    // No session or accessibility bus on a virtual display: GTK need not look for them. Its
    // test backend keeps each widget's accessible properties for the tests to read instead.
    g_setenv("NO_AT_BRIDGE", "1", FALSE);
    g_setenv("GTK_A11Y", "test", TRUE);
#if defined(__SANITIZE_ADDRESS__)
    // Mesa's GL driver is unloaded at exit with allocations that LeakSanitizer can no longer
    // attribute to it: under the sanitizer GTK draws without GL.
    g_setenv("GDK_DEBUG", "gl-disable", FALSE);
#endif
    ASSERT_TRUE(gtk::initialize()) << "no display: run the GTK tests under xvfb-run -a";
    // A misuse of GTK or GLib (a critical) fails the test instead of scrolling by.
    g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_FATAL_MASK));
    hostWindow_ = GTK_WINDOW(gtk_window_new());
    gtk_window_set_default_size(hostWindow_, 360, 420);  // inside xvfb-run's default screen
    gtk_window_present(hostWindow_);
    host_ = gtk::WindowViewController::make(hostWindow_);
    gateway_.setResponder([](const RecordedRequest& request) {
      if (request.method == "POST") {
        nlohmann::json checkout = nlohmann::json::parse(samples::kCheckoutReply);
        checkout["paymentMethodList"] = {"CARD", "XPAY", "BLIK"};
        return closingConnection(GatewayReply::json(200, checkout.dump()));
      }
      return closingConnection(GatewayReply::json(200, samples::kStatusReply));
    });
    wallet_ = installWallet();
    sdk_ = makeSDK(gateway_.url());
  }

  void TearDown() override {
    gtk::setWebViewWidgetProvider(nullptr);
    sdk_.reset();
    host_.reset();
    if (hostWindow_ != nullptr) gtk_window_destroy(hostWindow_);
    iterateUntil([] { return false; }, std::chrono::milliseconds(20));
    EndToEndTest::TearDown();
  }

  // Runs GLib's default context (which runs the main queue) until `done`; when
  // `advanceClock`, moves the virtual clock on whenever only delayed work waits. False
  // after `atMost` of real time.
  bool iterateUntil(const std::function<bool()>& done, std::chrono::milliseconds atMost = std::chrono::seconds(20),
                    bool advanceClock = true) {
    if (!advanceClock) return testing::iterateUntil(done, atMost);
    return testing::iterateUntil(done, atMost, [this] {
      auto wait = dispatch::MainQueue::main().timeUntilNextTask();
      if (wait && *wait > dispatch::Duration::zero() && !g_main_context_pending(nullptr)) clock_->advance(*wait);
    });
  }

  GtkWidget* checkoutWidget(const std::string& name) const {
    return findNamed(GTK_WIDGET(host_->presentedWindow()), name);
  }
  GtkWidget* headerButton(const std::string& name) const {
    GtkWindow* window = host_->presentedWindow();
    return window != nullptr ? findNamed(gtk_window_get_titlebar(window), name) : nullptr;
  }
  void click(GtkWidget* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(iterateUntil([&] { return onScreen(button); }, std::chrono::seconds(5)))
        << "a user cannot click what is not shown";
    g_signal_emit_by_name(button, "clicked");
  }

  bool menuOnScreen() const { return onScreen(checkoutWidget(gtk::cardWidgetName(1))); }
  bool webFormOnScreen() const {
    return onScreen(checkoutWidget(gtk::webViewWidgetName)) && !onScreen(checkoutWidget(gtk::menuWidgetName));
  }
  bool spinnerOnScreen() const { return onScreen(checkoutWidget(gtk::activityIndicatorWidgetName)); }

  // WebKit's view in the checkout window's web view; null when the window shows none.
  WebKitWebView* page() const {
    GtkWidget* view = findOfType(checkoutWidget(gtk::webViewWidgetName), WEBKIT_TYPE_WEB_VIEW);
    return view != nullptr ? WEBKIT_WEB_VIEW(view) : nullptr;
  }

  // True once the checkout window shows, on screen, the page at `url`, loaded.
  bool pageLoaded(const std::string& url) const {
    WebKitWebView* view = page();
    const char* shown = view != nullptr ? webkit_web_view_get_uri(view) : nullptr;
    return shown != nullptr && url == shown && !webkit_web_view_is_loading(view) && onScreen(GTK_WIDGET(view));
  }

  // Runs `script` in the page shown and gives its value as text ("" for undefined). Fails
  // the test when the script throws or does not end.
  std::string evaluate(const std::string& script) {
    WebKitWebView* view = page();
    EXPECT_NE(view, nullptr) << "no page in the checkout window";
    if (view == nullptr) return {};
    const ScriptOutcome outcome = evaluateScript(view, script, [this](const std::function<bool()>& done) {
      return iterateUntil(done, std::chrono::seconds(10), false);
    });
    EXPECT_TRUE(outcome.ended) << "script never ended";
    EXPECT_EQ(outcome.error, "") << "script failed";
    return outcome.value;
  }

  // Clicks the element `id` of the page as a person's click arrives: pointer and mouse
  // events at the middle of what is drawn there, then the click. Waits until the element
  // is drawn there (the page may not be laid out at the window's size yet); fails the test
  // when it is missing or stays covered.
  void clickInPage(const std::string& id) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string result = tryClickInPage(id);
    while (result == "covered" && std::chrono::steady_clock::now() < giveUp) {
      iterateUntil([] { return false; }, std::chrono::milliseconds(20), false);
      result = tryClickInPage(id);
    }
    EXPECT_EQ(result, "clicked") << "#" << id;
  }

  // "clicked", "missing", or "covered" when something else is drawn at its middle.
  std::string tryClickInPage(const std::string& id) {
    return evaluate(
        "(() => {"
        "  const target = document.getElementById('" +
        id +
        "');"
        "  if (!target) return 'missing';"
        "  target.scrollIntoView({block: 'center'});"
        "  const box = target.getBoundingClientRect();"
        "  const x = box.left + box.width / 2, y = box.top + box.height / 2;"
        "  const hit = document.elementFromPoint(x, y);"
        "  if (hit !== target && !target.contains(hit)) return 'covered';"
        "  const at = {bubbles: true, cancelable: true, composed: true, view: window, clientX: x, clientY: y,"
        "              screenX: x, screenY: y, button: 0, pointerId: 1, pointerType: 'mouse', isPrimary: true};"
        "  hit.dispatchEvent(new PointerEvent('pointerdown', {...at, buttons: 1}));"
        "  hit.dispatchEvent(new MouseEvent('mousedown', {...at, buttons: 1, detail: 1}));"
        "  hit.dispatchEvent(new PointerEvent('pointerup', at));"
        "  hit.dispatchEvent(new MouseEvent('mouseup', {...at, detail: 1}));"
        "  hit.dispatchEvent(new MouseEvent('click', {...at, detail: 1}));"
        "  return 'clicked';"
        "})()");
  }

  void startPayment() {
    sdk_->startPayment(host_, paymentParams(), [this](PaymentResult result) {
      windowOpenAtCompletion_ = host_->presentedWindow() != nullptr || checkoutWindow_ != nullptr;
      probe_.completion()(std::move(result));
    });
    GtkWindow* window = host_->presentedWindow();
    ASSERT_NE(window, nullptr);
    checkoutWindow_ = window;
    g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&checkoutWindow_));
  }

  // Starts the payment as a click handler may: from the window's controller, made for the
  // start and not kept (host_ is let go of first). The checkout window must open all the
  // same; host_ is the window's controller again afterwards.
  void startPaymentKeepingNoController() {
    host_.reset();
    sdk_->startPayment(gtk::WindowViewController::make(hostWindow_), paymentParams(),
                       [this, completion = probe_.completion()](PaymentResult result) {
                         windowOpenAtCompletion_ = checkoutWindow_ != nullptr;
                         completion(std::move(result));
                       });
    GtkWindow* window = checkoutWindowOver(hostWindow_);
    ASSERT_NE(window, nullptr) << "no checkout window";
    checkoutWindow_ = window;
    g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&checkoutWindow_));
    ASSERT_TRUE(iterateUntil([&] { return onScreen(GTK_WIDGET(window)); }, std::chrono::seconds(5)));
    host_ = gtk::WindowViewController::make(hostWindow_);
    EXPECT_EQ(host_->presentedWindow(), window);
  }

  // Waits for the payment's result; expects it to come once, after the window is gone.
  void expectOneResultAfterTheWindowIsGone() {
    ASSERT_TRUE(iterateUntil([&] { return probe_.called(); }));
    EXPECT_FALSE(windowOpenAtCompletion_) << "the window closes before the completion runs";
    iterateUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(probe_.count(), 1u);
    EXPECT_EQ(checkoutWindow_, nullptr);
    EXPECT_EQ(host_->presentedWindow(), nullptr);
  }

  void expectOneCancellation() {
    expectOneResultAfterTheWindowIsGone();
    ASSERT_EQ(probe_.count(), 1u);
    expectSDKError(probe_.result(), KelnSDKError::Kind::canceledByUser);
  }

  GtkWindow* hostWindow_ = nullptr;
  GtkWindow* checkoutWindow_ = nullptr;  // weak: cleared when the window is finalized
  std::shared_ptr<gtk::WindowViewController> host_;
  LocalGateway gateway_;
  std::shared_ptr<passkit::Wallet> wallet_;
  std::unique_ptr<SDK> sdk_;
  PaymentProbe probe_;
  bool windowOpenAtCompletion_ = true;
};

}  // namespace keln::testing
