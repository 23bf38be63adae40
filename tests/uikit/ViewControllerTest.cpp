#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <keln/dispatch/MainQueue.h>
#include <keln/uikit/ViewController.h>

#include "dispatch/MainQueueAccess.h"
#include "foundation/Log.h"
#include "uikit/GeometryPrinters.h"
#include "uikit/NavigationController.h"
#include "uikit/View.h"
#include "uikit/ViewControllerAccess.h"

namespace keln::uikit {
namespace {

using dispatch::MainQueue;
using foundation::LogStream;
using foundation::ScopedLogCapture;

class CountingController : public ViewController {
 public:
  void loadView() override {
    ++loadCount;
    ViewControllerAccess::setView(*this, std::make_shared<View>(Rect(0, 0, 1, 1)));
  }
  void viewDidLoad() override { ++didLoadCount; }
  int loadCount = 0;
  int didLoadCount = 0;
};

class ViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { dispatch::MainQueueAccess::discardPending(MainQueue::main()); }
  void TearDown() override { dispatch::MainQueueAccess::discardPending(MainQueue::main()); }

  // Records, in order, the completions that ran.
  ViewControllerAccess::Completion record(std::string name) {
    return [this, name] { ran.push_back(name); };
  }

  std::vector<std::string> ran;
};

TEST_F(ViewControllerTest, ViewLoadsOnceWhenFirstNeeded) {
  auto controller = std::make_shared<CountingController>();
  EXPECT_FALSE((ViewControllerAccess::viewIfLoaded(*controller) != nullptr));
  auto view = ViewControllerAccess::view(*controller);
  EXPECT_EQ(ViewControllerAccess::view(*controller), view);
  EXPECT_EQ(controller->loadCount, 1);
  EXPECT_EQ(controller->didLoadCount, 1);

  auto plain = std::make_shared<ViewController>();
  EXPECT_NE(ViewControllerAccess::view(*plain), nullptr);
}

TEST_F(ViewControllerTest, PresentAndDismissRunTheirCompletionsOnTheMainQueue) {
  auto host = std::make_shared<ViewController>();
  ViewControllerAccess::view(*host)->setFrame(Rect(0, 0, 390, 844));
  auto presented = std::make_shared<CountingController>();
  ViewControllerAccess::setModalPresentationStyle(*presented, ModalPresentationStyle::fullScreen);

  ViewControllerAccess::present(*host, presented, true, record("presented"));
  EXPECT_EQ(host->presentedViewController(), presented);
  EXPECT_EQ(presented->presentingViewController(), host);
  EXPECT_EQ(presented->didLoadCount, 1);
  EXPECT_EQ(ViewControllerAccess::view(*presented)->frame(), Rect(0, 0, 390, 844));
  EXPECT_TRUE(ViewControllerAccess::isBeingPresented(*presented));
  EXPECT_EQ(ViewControllerAccess::lastTransitionAnimated(*presented), std::optional<bool>(true));
  EXPECT_TRUE(ran.empty());
  MainQueue::main().runPending();
  EXPECT_EQ(ran, std::vector<std::string>{"presented"});
  EXPECT_FALSE(ViewControllerAccess::isBeingPresented(*presented));

  ViewControllerAccess::dismiss(*host, false, record("dismissed"));
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_EQ(presented->presentingViewController(), nullptr);
  EXPECT_TRUE(ViewControllerAccess::isBeingDismissed(*presented));
  EXPECT_EQ(ViewControllerAccess::lastTransitionAnimated(*presented), std::optional<bool>(false));
  EXPECT_EQ(ran.size(), 1U);
  MainQueue::main().runPending();
  EXPECT_EQ(ran, (std::vector<std::string>{"presented", "dismissed"}));
  EXPECT_FALSE(ViewControllerAccess::isBeingDismissed(*presented));
}

TEST_F(ViewControllerTest, DismissFromWhereverItIsAsked) {
  struct Case {
    std::string name;
    // Which controller of host -> navigation (with child) -> top is asked to dismiss.
    std::string asked;
    // What host presents afterwards.
    std::string hostPresentsAfter;
  };
  const std::vector<Case> cases = {
      {"the presenter dismisses what it presents", "host", "nothing"},
      {"a presented controller dismisses itself through its presenter", "navigation", "nothing"},
      {"a child of a presented controller dismisses that one", "child", "nothing"},
      {"the middle of a chain dismisses what lies above it", "top-presenter", "navigation"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ran.clear();
    auto host = std::make_shared<ViewController>();
    auto navigation = std::make_shared<NavigationController>();
    auto child = std::make_shared<ViewController>();
    navigation->setViewControllers({child});
    auto top = std::make_shared<ViewController>();
    ViewControllerAccess::present(*host, navigation, true);
    if (c.asked == "top-presenter") ViewControllerAccess::present(*navigation, top, true);

    std::shared_ptr<ViewController> asked = c.asked == "host"         ? host
                                            : c.asked == "navigation" ? std::shared_ptr<ViewController>(navigation)
                                            : c.asked == "child"      ? child
                                                                      : std::shared_ptr<ViewController>(navigation);
    ViewControllerAccess::dismiss(*asked, true, record("done"));
    MainQueue::main().runPending();
    EXPECT_EQ(ran, std::vector<std::string>{"done"});
    if (c.hostPresentsAfter == "nothing") {
      EXPECT_EQ(host->presentedViewController(), nullptr);
      EXPECT_EQ(child->presentingViewController(), nullptr);
    } else {
      EXPECT_EQ(host->presentedViewController(), navigation);
      EXPECT_EQ(navigation->presentedViewController(), nullptr);
      EXPECT_EQ(top->presentingViewController(), nullptr);
    }
  }
}

TEST_F(ViewControllerTest, DismissWithNothingToDismissStillCompletes) {
  auto alone = std::make_shared<ViewController>();
  ViewControllerAccess::dismiss(*alone, true, record("first"));
  ViewControllerAccess::dismiss(*alone, false, record("second"));
  EXPECT_TRUE(ran.empty());  // never inside the call
  MainQueue::main().runPending();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(alone->presentedViewController(), nullptr);
  EXPECT_EQ(ViewControllerAccess::lastTransitionAnimated(*alone), std::nullopt);

  // A second dismissal of the same presented controller finds nothing left to do.
  auto host = std::make_shared<ViewController>();
  auto presented = std::make_shared<ViewController>();
  ViewControllerAccess::present(*host, presented, true);
  ViewControllerAccess::dismiss(*host, true, record("dismissed"));
  ViewControllerAccess::dismiss(*presented, true, record("again"));
  MainQueue::main().runPending();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "dismissed", "again"}));
}

TEST_F(ViewControllerTest, PresentationsThatCannotHappenChangeNothing) {
  ScopedLogCapture log;
  auto host = std::make_shared<ViewController>();
  auto first = std::make_shared<ViewController>();
  auto second = std::make_shared<ViewController>();
  auto otherHost = std::make_shared<ViewController>();
  auto navigation = std::make_shared<NavigationController>();
  auto contained = std::make_shared<ViewController>();
  navigation->setViewControllers({contained});

  ViewControllerAccess::present(*host, first, true);
  ViewControllerAccess::present(*host, second, true, record("second"));     // already presenting
  ViewControllerAccess::present(*otherHost, first, true, record("first"));  // already presented
  ViewControllerAccess::present(*otherHost, contained, true, record("contained"));
  ViewControllerAccess::present(*first, host, true, record("cycle"));
  ViewControllerAccess::present(*host, nullptr, true, record("null"));
  MainQueue::main().runPending();

  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(host->presentedViewController(), first);
  EXPECT_EQ(first->presentingViewController(), host);
  EXPECT_EQ(second->presentingViewController(), nullptr);
  EXPECT_EQ(otherHost->presentedViewController(), nullptr);
  EXPECT_EQ(first->presentedViewController(), nullptr);
  auto lines = log.messages(LogStream::systemLog);
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[0], "Attempt to present " + second->description() + " on " + host->description() +
                          " which is already presenting " + first->description() + ".");
}

TEST_F(ViewControllerTest, NavigationControllerShowsItsTopController) {
  auto navigation = std::make_shared<NavigationController>();
  auto first = std::make_shared<CountingController>();
  auto second = std::make_shared<CountingController>();
  navigation->setViewControllers({first, nullptr, first});
  EXPECT_EQ(navigation->viewControllers(), std::vector<std::shared_ptr<ViewController>>{first});
  EXPECT_EQ(ViewControllerAccess::parent(*first), navigation);
  EXPECT_EQ(first->didLoadCount, 0);  // not before the navigation controller's own view

  auto container = ViewControllerAccess::view(*navigation);
  EXPECT_EQ(first->didLoadCount, 1);
  EXPECT_EQ(container->subviews(), std::vector{ViewControllerAccess::view(*first)});

  navigation->setViewControllers({second});
  EXPECT_EQ(navigation->topViewController(), second);
  EXPECT_EQ(ViewControllerAccess::parent(*first), nullptr);
  EXPECT_EQ(container->subviews(), std::vector{ViewControllerAccess::view(*second)});

  container->setFrame(Rect(0, 0, 320, 480));
  container->layoutIfNeeded();
  EXPECT_EQ(ViewControllerAccess::view(*second)->frame(), Rect(0, 0, 320, 480));
}

}  // namespace
}  // namespace keln::uikit
