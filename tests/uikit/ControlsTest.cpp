#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <keln/dispatch/MainQueue.h>
#include <keln/uikit/Application.h>

#include "dispatch/MainQueueAccess.h"
#include "foundation/Bundle.h"
#include "uikit/ActivityIndicatorView.h"
#include "uikit/BarButtonItem.h"
#include "uikit/GeometryPrinters.h"
#include "uikit/Image.h"

namespace keln::uikit {
namespace {

class Target {
 public:
  virtual ~Target() = default;
  void close() { ++closeCount; }
  int closeCount = 0;
};
class DerivedTarget : public Target {};

TEST(ControlsTest, BarButtonItemSendsItsActionWhileTheTargetLives) {
  auto target = std::make_shared<DerivedTarget>();
  BarButtonItem close(BarButtonItem::SystemItem::close, target, &Target::close);
  EXPECT_EQ(close.systemItem(), BarButtonItem::SystemItem::close);
  EXPECT_EQ(close.target(), target);
  close.tap();
  close.tap();
  EXPECT_EQ(target->closeCount, 2);

  BarButtonItem back(Image::systemImage("chevron.backward"), BarButtonItem::Style::plain, target, &Target::close);
  ASSERT_TRUE(back.image());
  EXPECT_TRUE(back.image()->isSymbolImage());
  EXPECT_EQ(back.style(), BarButtonItem::Style::plain);

  target.reset();
  EXPECT_EQ(close.target(), nullptr);
  close.tap();  // nothing left to call
}

TEST(ControlsTest, Images) {
  EXPECT_EQ(Image::systemImage("chevron.backward")->name(), "chevron.backward");
  EXPECT_FALSE(Image::systemImage("no.such.symbol"));
  EXPECT_FALSE(Image::named("no_such_image", foundation::Bundle(::testing::TempDir())));
}

TEST(ControlsTest, ActivityIndicatorShowsOnlyWhileAnimating) {
  ActivityIndicatorView indicator(ActivityIndicatorView::Style::large);
  EXPECT_FALSE(indicator.isAnimating());
  EXPECT_TRUE(indicator.isHidden());
  EXPECT_EQ(indicator.intrinsicContentSize(), (Size{37, 37}));
  indicator.startAnimating();
  EXPECT_TRUE(indicator.isAnimating());
  EXPECT_FALSE(indicator.isHidden());
  indicator.stopAnimating();
  EXPECT_TRUE(indicator.isHidden());

  indicator.setHidesWhenStopped(false);
  indicator.setHidden(false);
  indicator.startAnimating();
  indicator.stopAnimating();
  EXPECT_FALSE(indicator.isHidden());
}

TEST(ControlsTest, ApplicationHandsLinksToTheInstalledOpener) {
  auto& queue = dispatch::MainQueue::main();
  dispatch::MainQueueAccess::discardPending(queue);
  std::vector<std::string> opened;
  Application::shared().setURLOpener([&opened](const std::string& url) {
    opened.push_back(url);
    return url != "https://refused.example";
  });
  std::vector<bool> answers;
  Application::shared().open("https://example.com/terms", [&answers](bool success) { answers.push_back(success); });
  Application::shared().open("https://refused.example", [&answers](bool success) { answers.push_back(success); });
  Application::shared().open("mailto:help@example.com");
  EXPECT_TRUE(answers.empty());  // answered on the main queue
  queue.runPending();
  EXPECT_EQ(opened, (std::vector<std::string>{"https://example.com/terms", "https://refused.example",
                                              "mailto:help@example.com"}));
  EXPECT_EQ(answers, (std::vector<bool>{true, false}));
  Application::shared().setURLOpener(nullptr);
}

TEST(ControlsTest, DefaultOpenerTakesOnlyWebAndMailLinks) {
  struct Case {
    std::string url;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {"https://example.com/a?b=c", true},
      {"http://example.com", true},
      {"HTTPS://EXAMPLE.COM", true},
      {"mailto:someone@example.com", true},
      {"https://", false},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"keln://transfer/success", false},
      {"-https://example.com", false},
      {"https://example.com/a b", false},
      {"https://example.com/\n--help", false},
      {"https://example.com/~user", true},
      {"https://example.com/\x7F", false},
      {"https://exämple.com", false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(Application::defaultOpenerAccepts(c.url), c.accepted);
  }
}

}  // namespace
}  // namespace keln::uikit
