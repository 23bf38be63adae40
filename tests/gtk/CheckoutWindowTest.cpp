// The checkout in GTK windows, driven by GLib's main loop as a GTK host drives it: the
// user's clicks arrive on the widgets, the gateway is the local one.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "dispatch/MainQueueAccess.h"
#include "gtk/CheckoutWindowHarness.h"
#include "uikit/ViewControllerAccess.h"

namespace keln::testing {
namespace {

using namespace std::chrono_literals;

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
  // The page may have posted its form (to the same root) before the close.
  const std::vector<RecordedRequest> requests = gateway_.requests();
  EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                          [](const RecordedRequest& request) { return request.path.starts_with("/api/"); }),
            1)
      << "only the checkout was asked for";
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
  const std::string noWindow = "No host window to present the checkout from";
  EXPECT_EQ(host_->presentationUnavailableReason(), noWindow);

  // A payment started from it ends with that text, and no window opens.
  probe_ = PaymentProbe();
  sdk_->startPayment(host_, paymentParams(), probe_.completion());
  EXPECT_EQ(host_->presentedWindow(), nullptr);
  ASSERT_TRUE(iterateUntil([&] { return probe_.called(); }));
  expectSDKError(probe_.result(), KelnSDKError::Kind::sdkNotConfigured, noWindow);
}

TEST_F(CheckoutWindowTest, WindowKeepsItsOneControllerForEveryStart) {
  std::weak_ptr<gtk::WindowViewController> controller = gtk::WindowViewController::make(hostWindow_);
  EXPECT_EQ(controller.lock(), host_) << "make() gives the window's one controller again";
  EXPECT_NE(gtk::WindowViewController::make(nullptr), gtk::WindowViewController::make(nullptr));

  // Two starts from the window, its controller not kept: the second replaces the first in
  // the same checkout window.
  ASSERT_NO_FATAL_FAILURE(startPaymentKeepingNoController());
  GtkWindow* window = checkoutWindow_;
  PaymentProbe first = probe_;
  probe_ = PaymentProbe();
  ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); }));
  sdk_->startPayment(gtk::WindowViewController::make(hostWindow_), paymentParams(), probe_.completion());
  ASSERT_TRUE(iterateUntil([&] { return first.called(); }));
  expectSDKError(first.result(), KelnSDKError::Kind::sdkNotConfigured,
                 std::string("Payment replaced by a newer payment"));
  EXPECT_EQ(host_->presentedWindow(), window);
  ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); }));
  click(headerButton(gtk::closeButtonWidgetName));
  ASSERT_TRUE(iterateUntil([&] { return probe_.called(); }));
  iterateUntil([] { return false; }, 50ms);
  EXPECT_EQ(first.count(), 1u);
  ASSERT_EQ(probe_.count(), 1u);
  expectSDKError(probe_.result(), KelnSDKError::Kind::canceledByUser);

  // The host destroys its window while the checkout is open, keeping no controller: the
  // controller goes with the window, and the payment ends as closed.
  probe_ = PaymentProbe();
  windowOpenAtCompletion_ = true;
  ASSERT_NO_FATAL_FAILURE(startPaymentKeepingNoController());
  ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); }));
  controller = host_;
  host_.reset();
  gtk_window_destroy(hostWindow_);
  hostWindow_ = nullptr;
  EXPECT_TRUE(controller.expired()) << "the window's controller outlived it";
  ASSERT_TRUE(iterateUntil([&] { return probe_.called(); }));
  iterateUntil([] { return false; }, 50ms);
  ASSERT_EQ(probe_.count(), 1u);
  expectSDKError(probe_.result(), KelnSDKError::Kind::canceledByUser);
  EXPECT_EQ(checkoutWindow_, nullptr);
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
  auto rootView = uikit::ViewControllerAccess::view(*host_->presentedViewController());
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
    })) << "root "
        << rootView->frame().width() << " content " << gtk_widget_get_width(content);
  }
}

// Runs in a process of its own (as CTest runs each test): the display must not have been
// opened before.
TEST(CheckoutWithoutDisplay, EndsThePaymentWithAClearErrorAndSendsNothing) {
  if (gtk_is_initialized()) GTEST_SKIP() << "GTK is already initialized in this process";
  g_unsetenv("DISPLAY");
  g_unsetenv("WAYLAND_DISPLAY");
  dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
  LocalGateway gateway;
  auto sdk = SDKAccess::make(SDKConfigFactory::withRoot(gateway.url(), kHostClientID, kHostToken));
  auto host = gtk::WindowViewController::make(nullptr);
  PaymentProbe probe;

  sdk->startPayment(
      host,
      TransactionParamsSDK(1, "Order", "order-1", "Item", 10, "PLN", {PaymentMethod::card}, "Jane", "jane@example.com",
                           "https://shop.example", std::nullopt, std::nullopt, std::nullopt, std::nullopt),
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
