// The checkout in GTK windows, driven by GLib's main loop as a GTK host drives it: the
// user's clicks arrive on the widgets, the gateway is the local one.

#include <keln/gtk/WindowViewController.h>
#include <webkit/webkit.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string>

#include "e2e/EndToEndHarness.h"
#include "gtk/WebViewWidget.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace keln::testing {
namespace {

using namespace std::chrono_literals;

GtkWidget* findNamed(GtkWidget* root, const std::string& name) {
  if (root == nullptr) return nullptr;
  if (name == gtk_widget_get_name(root)) return root;
  for (GtkWidget* child = gtk_widget_get_first_child(root); child != nullptr; child = gtk_widget_get_next_sibling(child)) {
    if (GtkWidget* found = findNamed(child, name)) return found;
  }
  return nullptr;
}

GtkWidget* findOfType(GtkWidget* root, GType type) {
  if (root == nullptr) return nullptr;
  if (G_TYPE_CHECK_INSTANCE_TYPE(root, type)) return root;
  for (GtkWidget* child = gtk_widget_get_first_child(root); child != nullptr; child = gtk_widget_get_next_sibling(child)) {
    if (GtkWidget* found = findOfType(child, type)) return found;
  }
  return nullptr;
}

// Visible on screen: the widget and every ancestor shown, the window mapped, and the widget
// laid out.
bool onScreen(GtkWidget* widget) {
  return widget != nullptr && gtk_widget_is_drawable(widget) && gtk_widget_get_width(widget) > 0;
}

class CheckoutWindowTest : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    // No session or accessibility bus on a virtual display: GTK need not look for them.
    g_setenv("NO_AT_BRIDGE", "1", FALSE);
    g_setenv("GTK_A11Y", "none", FALSE);
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
    // Every reply closes its connection: WebKit keeps its own connections open, and the
    // gateway would otherwise wait for them to time out when it stops.
    gateway_.setResponder([](const RecordedRequest& request) {
      GatewayReply reply = GatewayReply::json(200, samples::kStatusReply);
      if (request.method == "POST") {
        nlohmann::json checkout = nlohmann::json::parse(samples::kCheckoutReply);
        checkout["paymentMethodList"] = {"CARD", "XPAY", "BLIK"};
        reply = GatewayReply::json(200, checkout.dump());
      }
      reply.headers.emplace_back("Connection", "close");
      return reply;
    });
    wallet_ = installWallet();
    sdk_ = makeSDK(gateway_.url());
  }

  void TearDown() override {
    gtk::setWebViewWidgetProvider(nullptr);
    sdk_.reset();
    host_.reset();
    if (hostWindow_ != nullptr) gtk_window_destroy(hostWindow_);
    iterateUntil([] { return false; }, 20ms);
    EndToEndTest::TearDown();
  }

  // Runs GLib's default context (which runs the main queue) until `done`, moving the
  // virtual clock on whenever only delayed work waits. False after 20 s.
  bool iterateUntil(const std::function<bool()>& done, std::chrono::milliseconds atMost = 20s) {
    const auto giveUp = std::chrono::steady_clock::now() + atMost;
    // Wakes the loop now and then, so that a wait for something other than work ends.
    const guint tick = g_timeout_add(10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    bool reached = false;
    while (!(reached = done()) && std::chrono::steady_clock::now() < giveUp) {
      g_main_context_iteration(nullptr, TRUE);
      auto wait = dispatch::MainQueue::main().timeUntilNextTask();
      if (wait && *wait > dispatch::Duration::zero() && !g_main_context_pending(nullptr)) clock_->advance(*wait);
    }
    g_source_remove(tick);
    return reached;
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
    ASSERT_TRUE(iterateUntil([&] { return onScreen(button); }, 5s)) << "a user cannot click what is not shown";
    g_signal_emit_by_name(button, "clicked");
  }

  bool menuOnScreen() const { return onScreen(checkoutWidget(gtk::cardWidgetName(1))); }
  bool webFormOnScreen() const {
    return onScreen(checkoutWidget(gtk::webViewWidgetName)) && !onScreen(checkoutWidget(gtk::menuWidgetName));
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

  void expectOneCancellation() {
    ASSERT_TRUE(iterateUntil([&] { return probe_.called(); }));
    EXPECT_FALSE(windowOpenAtCompletion_) << "the window closes before the completion runs";
    iterateUntil([] { return false; }, 50ms);
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

TEST_F(CheckoutWindowTest, MenuRouteThroughTheWidgetsAndTheCloseButton) {
  // The web engine's widget, as the engine would give it for the checkout's web view.
  GtkWidget* page = g_object_ref_sink(gtk_label_new("page"));
  gtk::setWebViewWidgetProvider([page](webkit::WebView&) { return page; });
  startPayment();
  GtkWindow* window = host_->presentedWindow();
  EXPECT_EQ(gtk_window_get_transient_for(window), hostWindow_);
  EXPECT_TRUE(gtk_window_get_modal(window));
  EXPECT_STREQ(gtk_widget_get_name(GTK_WIDGET(window)), gtk::checkoutWindowName);
  GtkWidget* spinner = checkoutWidget(gtk::activityIndicatorWidgetName);
  ASSERT_NE(spinner, nullptr);
  EXPECT_TRUE(gtk_spinner_get_spinning(GTK_SPINNER(spinner))) << "the checkout is being fetched";

  ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); }));
  EXPECT_FALSE(onScreen(spinner));
  for (int item = 0; item < 2; ++item) {
    SCOPED_TRACE(item);
    GtkWidget* card = checkoutWidget(gtk::cardWidgetName(item));
    GtkWidget* title = findOfType(card, GTK_TYPE_LABEL);
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(title)), item == 0 ? "Apple Pay" : "Other payment options");
    GtkWidget* picture = findOfType(card, GTK_TYPE_PICTURE);
    ASSERT_NE(picture, nullptr);
    EXPECT_NE(gtk_picture_get_paintable(GTK_PICTURE(picture)), nullptr) << "the card shows its image";
    // The frames of our layout: cards as wide as the menu less 20, 60 high, 10 from the edge.
    graphene_rect_t bounds;
    GtkWidget* menu = checkoutWidget(gtk::menuWidgetName);
    ASSERT_TRUE(gtk_widget_compute_bounds(card, menu, &bounds));
    EXPECT_EQ(bounds.origin.x, 10);
    EXPECT_EQ(bounds.origin.y, 10 + item * 80);
    EXPECT_EQ(bounds.size.width, gtk_widget_get_width(menu) - 20);
    EXPECT_EQ(bounds.size.height, 60);
  }
  ASSERT_NE(headerButton(gtk::closeButtonWidgetName), nullptr);

  click(checkoutWidget(gtk::cardWidgetName(1)));
  ASSERT_TRUE(iterateUntil([&] { return webFormOnScreen(); }));
  EXPECT_EQ(headerButton(gtk::closeButtonWidgetName), nullptr);
  GtkWidget* webArea = checkoutWidget(gtk::webViewWidgetName);
  EXPECT_TRUE(iterateUntil(
      [&] {
        GtkWidget* content = gtk_window_get_child(window);
        return onScreen(page) && gtk_widget_get_width(page) == gtk_widget_get_width(content) &&
               gtk_widget_get_height(page) == gtk_widget_get_height(content);
      },
      5s))
      << "the engine's widget shows the page over the whole web view";
  EXPECT_EQ(gtk_widget_get_parent(page), webArea);
  click(headerButton(gtk::backButtonWidgetName));
  ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); }));
  EXPECT_EQ(headerButton(gtk::backButtonWidgetName), nullptr);

  click(headerButton(gtk::closeButtonWidgetName));
  expectOneCancellation();
  EXPECT_EQ(checkoutWindow_, nullptr);
  EXPECT_EQ(host_->presentedWindow(), nullptr);
  EXPECT_EQ(gateway_.requestCount(), 1u) << "only the checkout was asked for";
  EXPECT_EQ(gtk_widget_get_parent(page), nullptr) << "the closed window let go of the engine's widget";
  g_object_unref(page);
}

TEST_F(CheckoutWindowTest, ClosingTheWindowActsAsTheCloseButtonOnEveryScreen) {
  struct Case {
    const char* name;
    bool onWebForm;
    std::function<void(GtkWindow* checkout, GtkWindow*& host)> close;
  };
  auto windowManagerClose = [](GtkWindow* checkout, GtkWindow*&) {
    gtk_window_close(checkout);
    gtk_window_close(checkout);  // a second request before the first has ended the payment
  };
  const std::vector<Case> cases{
      {"window manager's close on the menu", false, windowManagerClose},
      {"window manager's close on a web form opened from the menu", true, windowManagerClose},
      {"host's window destroyed", true,
       [](GtkWindow*, GtkWindow*& host) {
         gtk_window_destroy(host);
         host = nullptr;
       }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    probe_ = PaymentProbe();
    windowOpenAtCompletion_ = true;
    startPayment();
    ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); }));
    if (test.onWebForm) {
      click(checkoutWidget(gtk::cardWidgetName(1)));
      ASSERT_TRUE(iterateUntil([&] { return webFormOnScreen(); }));
      ASSERT_NE(headerButton(gtk::backButtonWidgetName), nullptr);
      GtkWidget* page = gtk_widget_get_first_child(checkoutWidget(gtk::webViewWidgetName));
      EXPECT_TRUE(page != nullptr && WEBKIT_IS_WEB_VIEW(page)) << "the web view's area shows WebKit's page";
    }
    GtkWindow* window = host_->presentedWindow();
    g_object_ref(window);
    test.close(window, hostWindow_);
    g_object_unref(window);
    expectOneCancellation();
    EXPECT_EQ(checkoutWindow_, nullptr);
    EXPECT_EQ(host_->presentedWindow(), nullptr);
  }
  EXPECT_EQ(host_->window(), nullptr) << "the host's window is gone";
  EXPECT_TRUE(host_->presentationUnavailableReason().has_value());
}

TEST_F(CheckoutWindowTest, WindowTakesTheHostsSizeAndTheLayoutFollowsAResize) {
  iterateUntil([&] { return gtk_widget_get_width(GTK_WIDGET(hostWindow_)) > 0; }, 5s);
  startPayment();
  GtkWindow* window = host_->presentedWindow();
  int width = 0;
  int height = 0;
  gtk_window_get_default_size(window, &width, &height);
  EXPECT_EQ(width, gtk_widget_get_width(GTK_WIDGET(hostWindow_)));
  EXPECT_EQ(height, gtk_widget_get_height(GTK_WIDGET(hostWindow_)));
  ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); }));

  EXPECT_TRUE(iterateUntil(
      [&] {
        return gtk_widget_get_width(GTK_WIDGET(window)) == gtk_widget_get_width(GTK_WIDGET(hostWindow_)) &&
               gtk_widget_get_height(GTK_WIDGET(window)) == gtk_widget_get_height(GTK_WIDGET(hostWindow_));
      },
      5s))
      << "checkout " << gtk_widget_get_width(GTK_WIDGET(window)) << "x" << gtk_widget_get_height(GTK_WIDGET(window));

  // The root view fills the area below the header bar, and follows it when it changes.
  auto rootView = host_->presentedViewController()->view();
  GtkWidget* content = gtk_window_get_child(window);
  for (int newWidth : {0, 500}) {
    SCOPED_TRACE(newWidth);
    const int before = gtk_widget_get_width(content);
    if (newWidth > 0) gtk_window_set_default_size(window, newWidth, 400);
    EXPECT_TRUE(iterateUntil([&] {
      const int width = gtk_widget_get_width(content);
      return (newWidth == 0 || width > before) && rootView->frame().width() == width &&
             rootView->frame().height() == gtk_widget_get_height(content) &&
             gtk_widget_get_width(checkoutWidget(gtk::menuWidgetName)) == width &&
             gtk_widget_get_width(checkoutWidget(gtk::cardWidgetName(0))) == width - 20;
    })) << "root " << rootView->frame().width() << " content " << gtk_widget_get_width(content);
  }
}

// Runs in a process of its own (as CTest runs each test): the display must not have been
// opened before.
TEST(CheckoutWithoutDisplay, EndsThePaymentWithAClearErrorAndSendsNothing) {
  if (gtk_is_initialized()) GTEST_SKIP() << "GTK is already initialized in this process";
  g_unsetenv("DISPLAY");
  g_unsetenv("WAYLAND_DISPLAY");
  dispatch::MainQueue::main().discardPending();
  LocalGateway gateway;
  auto sdk = SDKAccess::make(SDKConfigFactory::withRoot(gateway.url(), kHostClientID, kHostToken));
  auto host = gtk::WindowViewController::make(nullptr);
  PaymentProbe probe;

  sdk->startPayment(host, TransactionParamsSDK(1, "Order", "order-1", "Item", 10, "PLN", {PaymentMethod::card},
                                               "Jane", "jane@example.com", "https://shop.example", std::nullopt,
                                               std::nullopt, std::nullopt, std::nullopt),
                    probe.completion());
  EXPECT_EQ(host->presentedViewController(), nullptr);
  ASSERT_TRUE(dispatch::MainQueue::main().runUntil([&] { return probe.called(); }, 5s));
  expectSDKError(probe.result(), KelnSDKError::Kind::sdkNotConfigured,
                 std::string("No display could be opened to show the checkout window"));
  dispatch::MainQueue::main().runFor(50ms);
  EXPECT_EQ(probe.count(), 1u);
  EXPECT_EQ(gateway.requestCount(), 0u);
}

}  // namespace
}  // namespace keln::testing
