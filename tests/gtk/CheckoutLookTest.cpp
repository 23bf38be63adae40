// What the checkout's menu looks like, read from the pixels GTK draws: the cards' shadow,
// the focus ring, the loading indicator, in the light and the dark theme, at the display's
// scale (CTest runs these once more with GDK_SCALE=2). With KELN_TEST_PICTURES naming a
// folder, the pictures are saved there as PNG files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gtk/CheckoutWindowHarness.h"

namespace keln::testing {
namespace {

using namespace std::chrono_literals;

struct Box {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  double right() const { return x + width; }
  double bottom() const { return y + height; }
  double middleX() const { return x + width / 2; }
  double middleY() const { return y + height / 2; }
};

class CheckoutLookTest : public CheckoutWindowTest {
 protected:
  void SetUp() override {
    CheckoutWindowTest::SetUp();
    // Focus rings and hover changes appear at once rather than fading in.
    g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
  }

  void TearDown() override {
    useDarkTheme(false);
    CheckoutWindowTest::TearDown();
  }

  static void useDarkTheme(bool dark) {
    g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", dark ? TRUE : FALSE, nullptr);
  }

  // The bounds of `widget` in its window's coordinates.
  static Box boundsInWindow(GtkWidget* widget) {
    graphene_rect_t bounds;
    EXPECT_TRUE(gtk_widget_compute_bounds(widget, GTK_WIDGET(gtk_widget_get_root(widget)), &bounds));
    return {bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height};
  }

  // Opens the checkout on its menu and lets GTK draw it.
  void openMenu() {
    probe_ = PaymentProbe();
    windowOpenAtCompletion_ = true;
    startPayment();
    ASSERT_TRUE(iterateUntil([&] { return menuOnScreen(); }));
    iterateUntil([] { return false; }, 50ms);
  }

  void closeCheckout() {
    click(headerButton(gtk::closeButtonWidgetName));
    expectOneCancellation();
  }

  // Lets GTK draw the checkout window once more (what changed reaches the screen), then
  // draws it.
  WindowPicture draw() {
    GtkWidget* window = GTK_WIDGET(host_->presentedWindow());
    EXPECT_NE(window, nullptr);
    if (window == nullptr) return {};
    bool painted = false;
    GdkFrameClock* clock = gtk_widget_get_frame_clock(window);
    if (clock != nullptr) {
      const gulong watch =
          g_signal_connect_swapped(clock, "after-paint", G_CALLBACK(+[](bool* painted) { *painted = true; }), &painted);
      gtk_widget_queue_draw(window);
      EXPECT_TRUE(iterateUntil([&] { return painted; }, 5s, false)) << "GTK never drew the window";
      g_signal_handler_disconnect(clock, watch);
    }
    WindowPicture picture = WindowPicture::of(GTK_WINDOW(window));
    EXPECT_FALSE(picture.empty()) << "the checkout window is not on screen";
    return picture;
  }

  static void keep(const WindowPicture& picture, const std::string& name) {
    const char* folder = g_getenv("KELN_TEST_PICTURES");
    if (folder == nullptr || picture.empty()) return;
    g_mkdir_with_parents(folder, 0755);
    const std::string path = std::string(folder) + "/" + name + "-scale" + std::to_string(picture.scale()) + ".png";
    EXPECT_TRUE(picture.save(path)) << path;
  }

  // How many device pixels of `area` (window coordinates) differ clearly between `a` and `b`.
  static int changedPixels(const WindowPicture& a, const WindowPicture& b, const Box& area) {
    int changed = 0;
    for (int y = a.deviceY(area.y); y < a.deviceY(area.bottom()); ++y) {
      for (int x = a.deviceX(area.x); x < a.deviceX(area.right()); ++x) {
        if (a.pixel(x, y).distance(b.pixel(x, y)) >= 48) ++changed;
      }
    }
    return changed;
  }

  static Box grown(const Box& box, double by) {
    return {box.x - by, box.y - by, box.width + 2 * by, box.height + 2 * by};
  }

  static const char* themeName(bool dark) { return dark ? "dark" : "light"; }
};

TEST_F(CheckoutLookTest, EachCardCastsItsShadowDownAndToTheRightInBothThemes) {
  for (bool dark : {false, true}) {
    SCOPED_TRACE(themeName(dark));
    useDarkTheme(dark);
    openMenu();
    WindowPicture picture = draw();
    keep(picture, std::string("menu-") + themeName(dark));
    const Box menu = boundsInWindow(checkoutWidget(gtk::menuWidgetName));
    const Box lastCard = boundsInWindow(checkoutWidget(gtk::cardWidgetName(1)));
    ASSERT_GT(menu.bottom(), lastCard.bottom() + 40);
    // The menu's white, away from every card.
    const WindowPicture::Color background = picture.at(menu.middleX(), lastCard.bottom() + 40);
    EXPECT_GE(background.brightness(), 250);
    for (int item = 0; item < 2; ++item) {
      SCOPED_TRACE(item);
      const Box card = boundsInWindow(checkoutWidget(gtk::cardWidgetName(item)));
      // Three points outside the card's edge: one beyond the shadow's edge on the offset's
      // side, five on the other.
      const int right = picture.at(card.right() + 3, card.middleY()).brightness();
      const int below = picture.at(card.middleX(), card.bottom() + 3).brightness();
      const int left = picture.at(card.x - 3, card.middleY()).brightness();
      const int above = picture.at(card.middleX(), card.y - 3).brightness();
      EXPECT_LE(right, background.brightness() - 10) << "a shadow right of the card";
      EXPECT_LE(below, background.brightness() - 10) << "a shadow below the card";
      EXPECT_GE(left, right + 6) << "the shadow falls two points to the right";
      EXPECT_GE(above, below + 6) << "the shadow falls two points down";
      // The card itself is not shaded: its border is drawn, and inside it the menu's white.
      EXPECT_GE(picture.at(card.right() - 5, card.y + 5).brightness(), 250);
    }
    closeCheckout();
  }
}

TEST_F(CheckoutLookTest, TheFocusedControlShowsARingInBothThemes) {
  for (bool dark : {false, true}) {
    SCOPED_TRACE(themeName(dark));
    useDarkTheme(dark);
    openMenu();
    GtkWindow* window = host_->presentedWindow();
    GtkWidget* cards[] = {checkoutWidget(gtk::cardWidgetName(0)), checkoutWidget(gtk::cardWidgetName(1))};
    GtkWidget* close = headerButton(gtk::closeButtonWidgetName);
    ASSERT_NE(close, nullptr);
    // As after a press of Tab: the focus is shown.
    gtk_window_set_focus_visible(window, TRUE);
    std::vector<WindowPicture> pictures;
    for (GtkWidget* focused : {cards[0], cards[1], close}) {
      ASSERT_TRUE(gtk_widget_grab_focus(focused));
      pictures.push_back(draw());
    }
    keep(pictures[0], std::string("menu-focus-") + themeName(dark));

    const Box areas[] = {grown(boundsInWindow(cards[0]), 6), grown(boundsInWindow(cards[1]), 6), boundsInWindow(close)};
    // From one picture to the next the focus leaves one control for another: both change,
    // by at least a line of pixels around each; nothing else does.
    const std::pair<int, int> moves[] = {{0, 1}, {1, 2}};
    for (const auto& [from, to] : moves) {
      SCOPED_TRACE("focus from control " + std::to_string(from) + " to " + std::to_string(to));
      for (int control : {from, to}) {
        const Box& area = areas[control];
        const double perimeter = 2 * (area.width + area.height);
        EXPECT_GE(changedPixels(pictures[from], pictures[to], area), perimeter * pictures[from].scale() * 0.8)
            << "control " << control;
      }
      const Box untouched = areas[3 - from - to];
      EXPECT_EQ(changedPixels(pictures[from], pictures[to], untouched), 0);
    }
    closeCheckout();
  }
}

TEST_F(CheckoutLookTest, TheLoadingIndicatorIsLargeAndSeenInBothThemes) {
  gateway_.setResponder([](const RecordedRequest&) {
    GatewayReply reply = closingConnection(GatewayReply::json(200, samples::kCheckoutReply));
    reply.delay = 2s;  // the checkout stays loading while it is looked at
    return reply;
  });
  for (bool dark : {false, true}) {
    SCOPED_TRACE(themeName(dark));
    useDarkTheme(dark);
    probe_ = PaymentProbe();
    windowOpenAtCompletion_ = true;
    startPayment();
    GtkWidget* spinner = checkoutWidget(gtk::activityIndicatorWidgetName);
    ASSERT_TRUE(iterateUntil([&] { return onScreen(spinner); }, 5s, false));
    WindowPicture picture = draw();
    keep(picture, std::string("loading-") + themeName(dark));
    const Box box = boundsInWindow(spinner);
    EXPECT_GE(box.width, 32);
    EXPECT_GE(box.height, 32);
    // What it draws on the white view spans most of that box, not a small wheel in its
    // middle, and stands out from the white.
    double left = box.right();
    double right = box.x;
    int darkest = 255;
    for (double x = box.x; x < box.right(); x += 0.5) {
      for (double y = box.y; y < box.bottom(); y += 0.5) {
        const int brightness = picture.at(x, y).brightness();
        darkest = std::min(darkest, brightness);
        if (brightness > 245) continue;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    EXPECT_GE(right - left, 28) << "the wheel drawn is " << right - left << " wide";
    EXPECT_LE(darkest, 150);
    closeCheckout();
  }
}

TEST_F(CheckoutLookTest, AssistiveTechnologyHearsTheWindowsTitleAndTheCardsTitlesOnly) {
  openMenu();
  GtkWindow* window = host_->presentedWindow();
  const char* title = gtk_window_get_title(window);
  ASSERT_NE(title, nullptr);
  EXPECT_STRNE(title, "");
  char* unnamed = gtk_test_accessible_check_property(GTK_ACCESSIBLE(window), GTK_ACCESSIBLE_PROPERTY_LABEL, title);
  EXPECT_EQ(unnamed, nullptr) << unnamed;
  g_free(unnamed);

  GtkWidget* shownTitle = gtk_header_bar_get_title_widget(GTK_HEADER_BAR(gtk_window_get_titlebar(window)));
  ASSERT_NE(shownTitle, nullptr);
  EXPECT_TRUE(GTK_IS_LABEL(shownTitle) && g_str_equal(gtk_label_get_text(GTK_LABEL(shownTitle)), ""))
      << "the header bar shows no title";
  EXPECT_EQ(gtk_accessible_get_accessible_role(GTK_ACCESSIBLE(shownTitle)), GTK_ACCESSIBLE_ROLE_PRESENTATION);

  for (int item = 0; item < 2; ++item) {
    SCOPED_TRACE(item);
    GtkWidget* card = checkoutWidget(gtk::cardWidgetName(item));
    char* wrong = gtk_test_accessible_check_property(GTK_ACCESSIBLE(card), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                                     item == 0 ? "Apple Pay" : "Other payment options");
    EXPECT_EQ(wrong, nullptr) << wrong;
    g_free(wrong);
    GtkWidget* picture = findOfType(card, GTK_TYPE_PICTURE);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(gtk_accessible_get_accessible_role(GTK_ACCESSIBLE(picture)), GTK_ACCESSIBLE_ROLE_PRESENTATION);
    EXPECT_FALSE(gtk_test_accessible_has_property(GTK_ACCESSIBLE(picture), GTK_ACCESSIBLE_PROPERTY_LABEL))
        << "the image's name is not read out";
  }
  closeCheckout();
}

}  // namespace
}  // namespace keln::testing
