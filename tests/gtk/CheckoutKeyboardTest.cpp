// The checkout from the keyboard alone: key presses reach the window through the display,
// as a person's keyboard's do (see KeyboardInput.h).

#include <gtest/gtest.h>

#include "gtk/CheckoutWindowHarness.h"
#include "gtk/KeyboardInput.h"

namespace keln::testing {
namespace {

using namespace std::chrono_literals;

class CheckoutKeyboardTest : public CheckoutWindowTest {
 protected:
  void SetUp() override {
    CheckoutWindowTest::SetUp();
    if (!canPressKeys()) GTEST_SKIP() << "key presses need an X display with the test extension (xvfb-run)";
  }

  // Starts the payment and waits until its window has the keyboard.
  void startWithKeyboard() {
    startPayment();
    GtkWindow* window = host_->presentedWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(iterateUntil([&] { return gtk_window_is_active(window); }, 5s, false))
        << "the checkout window never got the keyboard";
    // Counts the key presses that reach the window, before anything in it handles them.
    GtkEventController* counter = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(counter, GTK_PHASE_CAPTURE);
    g_signal_connect(counter, "key-pressed",
                     G_CALLBACK(+[](GtkEventControllerKey*, guint, guint, GdkModifierType, gpointer count) -> gboolean {
                       ++*static_cast<int*>(count);
                       return GDK_EVENT_PROPAGATE;
                     }),
                     &keysSeen_);
    gtk_widget_add_controller(GTK_WIDGET(window), counter);
  }

  // Presses a key and waits until the window has handled it.
  void press(guint keyval, bool shift = false) {
    const int before = keysSeen_;
    ASSERT_TRUE(pressKey(keyval, shift));
    const int expected = before + (shift ? 2 : 1);  // Shift is a press of its own
    ASSERT_TRUE(iterateUntil([&] { return keysSeen_ >= expected; }, 5s, false)) << "the key never reached the window";
    iterateUntil([] { return false; }, 20ms);  // what the key started runs on
  }

  GtkWidget* focus() const { return gtk_window_get_focus(host_->presentedWindow()); }

  // True when the keyboard's focus is on `widget` or inside it.
  bool focusIn(GtkWidget* widget) const {
    GtkWidget* focused = focus();
    return focused != nullptr && widget != nullptr && (focused == widget || gtk_widget_is_ancestor(focused, widget));
  }

  int keysSeen_ = 0;
};

TEST_F(CheckoutKeyboardTest, MenuFormAndBackWithTabEnterAndEscape) {
  // The checkout stays loading for a while: Enter then must not end the payment.
  gateway_.setResponder([](const RecordedRequest& request) {
    nlohmann::json checkout = nlohmann::json::parse(samples::kCheckoutReply);
    checkout["paymentMethodList"] = {"CARD", "XPAY", "BLIK"};
    GatewayReply reply = closingConnection(GatewayReply::json(200, checkout.dump()));
    if (request.method == "POST" && request.path == "/api/v1/payments") reply.delay = 300ms;
    return reply;
  });
  startWithKeyboard();
  ASSERT_FALSE(menuOnScreen());
  EXPECT_FALSE(focusIn(headerButton(gtk::closeButtonWidgetName))) << "Enter would end the payment";
  press(GDK_KEY_Return);
  ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); }));
  EXPECT_FALSE(probe_.called()) << "Enter on the loading screen ended the payment";

  GtkWidget* cards[] = {checkoutWidget(gtk::cardWidgetName(0)), checkoutWidget(gtk::cardWidgetName(1))};  // until back
  EXPECT_TRUE(iterateUntil([&] { return focusIn(cards[0]); }, 5s)) << "the menu opens with its first card focused";
  press(GDK_KEY_Tab);
  EXPECT_TRUE(focusIn(cards[1]));
  EXPECT_TRUE(gtk_window_get_focus_visible(host_->presentedWindow())) << "the focus is shown once Tab is used";
  press(GDK_KEY_Tab, true);
  EXPECT_TRUE(focusIn(cards[0]));
  press(GDK_KEY_Tab);
  ASSERT_TRUE(focusIn(cards[1]));

  press(GDK_KEY_Return);
  ASSERT_TRUE(iterateUntil([&] { return webFormOnScreen(); }));
  ASSERT_NE(headerButton(gtk::backButtonWidgetName), nullptr);
  EXPECT_TRUE(iterateUntil([&] { return focusIn(checkoutWidget(gtk::webViewWidgetName)); }, 5s))
      << "the form opens with the page focused";

  press(GDK_KEY_Escape);
  ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); })) << "Escape on the form from the menu goes back";
  EXPECT_NE(headerButton(gtk::closeButtonWidgetName), nullptr);
  EXPECT_TRUE(iterateUntil([&] { return focusIn(checkoutWidget(gtk::cardWidgetName(0))); }, 5s))
      << "back on the menu, its first card is focused";
  EXPECT_FALSE(probe_.called());

  press(GDK_KEY_Escape);
  expectOneCancellation();
}

TEST_F(CheckoutKeyboardTest, EscapeOnAFormOpenedDirectlyClosesTheCheckout) {
  gateway_.setResponder([](const RecordedRequest& request) {
    if (request.method == "POST" && request.path == "/api/v1/payments") {
      nlohmann::json checkout = nlohmann::json::parse(samples::kCheckoutReply);
      checkout["paymentMethodList"] = {"CARD", "BLIK"};  // no wallet: the form opens at once
      return closingConnection(GatewayReply::json(200, checkout.dump()));
    }
    return closingConnection(GatewayReply::json(200, samples::kStatusReply));
  });
  startWithKeyboard();
  ASSERT_TRUE(iterateUntil([&] { return webFormOnScreen(); }));
  EXPECT_TRUE(iterateUntil([&] { return focusIn(checkoutWidget(gtk::webViewWidgetName)); }, 5s))
      << "the form opens with the page focused";
  press(GDK_KEY_Escape);
  expectOneCancellation();
}

}  // namespace
}  // namespace keln::testing
