#include <keln/dispatch/MainQueue.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/MainQueueAccess.h"
#include "webkit/HeadlessWebEngine.h"
#include "webkit/WebView.h"

namespace keln::webkit {
namespace {

foundation::URL url(const char* text) { return *foundation::URL::parse(text); }

void runMainQueue() { dispatch::MainQueue::main().runPending(); }

class LoadError final : public Error {
 public:
  std::string description() const override { return "load failed"; }
  std::string localizedDescription() const override { return "load failed"; }
};

// Writes down every call; cancels navigations to URLs that start with `cancelPrefix`,
// keeps the decision handler when `holdDecisions`, and answers new-window requests with
// `newWindow`.
class RecordingDelegate : public NavigationDelegate, public UIDelegate {
 public:
  std::vector<std::string> events;
  std::string cancelPrefix = "keln://";
  bool holdDecisions = false;
  DecisionHandler heldDecision;
  std::shared_ptr<WebView> newWindow;

  void webView(const std::shared_ptr<WebView>&, const NavigationAction& action, DecisionHandler handler) override {
    const std::string target = action.request().url() ? action.request().url()->absoluteString() : "(none)";
    events.push_back("decide " + target + (action.targetFrame() && action.targetFrame()->isMainFrame() ? " main" : ""));
    if (holdDecisions) {
      heldDecision = std::move(handler);
      return;
    }
    handler(target.starts_with(cancelPrefix) ? NavigationActionPolicy::cancel : NavigationActionPolicy::allow);
  }
  void webView(const std::shared_ptr<WebView>& view, const std::shared_ptr<Navigation>&) override {
    events.push_back("finish " + view->url()->absoluteString());
  }
  void webView(const std::shared_ptr<WebView>& view, const std::shared_ptr<Navigation>&, const Error& error) override {
    events.push_back("fail " + view->url()->absoluteString() + ": " + error.description());
  }
  std::shared_ptr<WebView> webView(const std::shared_ptr<WebView>&, const std::shared_ptr<WebViewConfiguration>&,
                                   const NavigationAction& action, const WindowFeatures&) override {
    events.push_back("new window " + action.request().url()->absoluteString() +
                     (action.targetFrame() ? " in a frame" : ""));
    return newWindow;
  }
};

class WebViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    makeWebView();
  }
  void TearDown() override { dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main()); }

  void makeWebView() {
    webView = std::make_shared<WebView>(uikit::Rect(), std::make_shared<WebViewConfiguration>());
    delegate = std::make_shared<RecordingDelegate>();
    webView->setNavigationDelegate(delegate);
    webView->setUIDelegate(delegate);
  }

  void run() { runMainQueue(); }

  std::shared_ptr<WebView> webView;
  std::shared_ptr<RecordingDelegate> delegate;
};

TEST_F(WebViewTest, NavigationsAskTheDelegateAndLoadOnlyWhenAllowed) {
  struct Case {
    const char* name;
    std::function<void(WebView&)> act;
    std::vector<std::string> events;
    std::string pageURL;
    std::optional<std::string> page;
  };
  const Case cases[] = {
      {"page text without a base URL",
       [](WebView& v) { v.loadHTMLString("<p>form</p>", std::nullopt); },
       {"decide about:blank main", "finish about:blank"},
       "about:blank",
       "<p>form</p>"},
      {"page text with a base URL",
       [](WebView& v) { v.loadHTMLString("<p>form</p>", url("https://pay.example/")); },
       {"decide https://pay.example/ main", "finish https://pay.example/"},
       "https://pay.example/",
       "<p>form</p>"},
      {"page follows a link",
       [](WebView& v) {
         v.loadHTMLString("<p>form</p>", std::nullopt);
         runMainQueue();
         v.navigateMainFrame(url("https://bank.example/3ds?x=1"));
       },
       {"decide about:blank main", "finish about:blank", "decide https://bank.example/3ds?x=1 main",
        "finish https://bank.example/3ds?x=1"},
       "https://bank.example/3ds?x=1",
       std::nullopt},
      {"navigation the delegate cancels",
       [](WebView& v) {
         v.loadHTMLString("<p>form</p>", std::nullopt);
         runMainQueue();
         v.navigateMainFrame(url("keln://transfer/success?id=7"));
       },
       {"decide about:blank main", "finish about:blank", "decide keln://transfer/success?id=7 main"},
       "about:blank",
       "<p>form</p>"},
      {"page that fails to load",
       [](WebView& v) {
         v.failNextLoad(std::make_shared<LoadError>());
         v.loadHTMLString("<p>form</p>", std::nullopt);
       },
       {"decide about:blank main", "fail about:blank: load failed"},
       "about:blank",
       "<p>form</p>"},
      {"a second load abandons the first",
       [](WebView& v) {
         v.loadHTMLString("first", std::nullopt);
         v.loadHTMLString("second", url("https://second.example/"));
       },
       {"decide https://second.example/ main", "finish https://second.example/"},
       "https://second.example/",
       "second"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    makeWebView();
    c.act(*webView);
    EXPECT_TRUE(webView->isLoading());
    run();
    EXPECT_EQ(delegate->events, c.events);
    EXPECT_FALSE(webView->isLoading());
    ASSERT_TRUE(webView->url().has_value());
    EXPECT_EQ(webView->url()->absoluteString(), c.pageURL);
    EXPECT_EQ(webView->htmlString(), c.page);
  }
}

TEST_F(WebViewTest, NavigationWaitsForTheDecisionAndTakesOnlyTheFirst) {
  delegate->holdDecisions = true;
  webView->loadHTMLString("page", std::nullopt);
  run();
  EXPECT_EQ(delegate->events, std::vector<std::string>{"decide about:blank main"});
  EXPECT_FALSE(webView->url().has_value());
  EXPECT_TRUE(webView->isLoading());

  auto decision = delegate->heldDecision;
  decision(NavigationActionPolicy::allow);
  decision(NavigationActionPolicy::cancel);
  run();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"decide about:blank main", "finish about:blank"}));
  decision(NavigationActionPolicy::allow);
  run();
  EXPECT_EQ(delegate->events.size(), 2u);
}

TEST_F(WebViewTest, LoadsWithoutADelegate) {
  webView->setNavigationDelegate({});
  webView->loadHTMLString("page", std::nullopt);
  run();
  EXPECT_EQ(webView->htmlString(), "page");
  EXPECT_FALSE(webView->isLoading());
}

TEST_F(WebViewTest, NewWindowRequestGoesToTheUIDelegate) {
  webView->openNewWindow(url("https://terms.example/regulations.pdf"));
  run();
  EXPECT_EQ(delegate->events, std::vector<std::string>{"new window https://terms.example/regulations.pdf"});
  EXPECT_FALSE(webView->url().has_value()) << "a dropped request changes nothing";

  auto window = std::make_shared<WebView>(uikit::Rect(), webView->configuration());
  delegate->newWindow = window;
  webView->openNewWindow(url("https://terms.example/"));
  run();
  ASSERT_TRUE(window->url().has_value());
  EXPECT_EQ(window->url()->absoluteString(), "https://terms.example/");
  EXPECT_FALSE(webView->url().has_value());

  webView->setUIDelegate({});
  webView->openNewWindow(url("https://terms.example/"));
  run();
  EXPECT_EQ(delegate->events.size(), 2u);
}

TEST_F(WebViewTest, ReleasedWebViewDropsItsNavigations) {
  webView->loadHTMLString("page", std::nullopt);
  webView->openNewWindow(url("https://terms.example/"));
  webView.reset();
  run();
  EXPECT_TRUE(delegate->events.empty());
}

// An engine that writes down what its web view forwards to it.
class ScriptedEngine final : public WebEngine {
 public:
  explicit ScriptedEngine(std::vector<std::string>& calls) : calls_(calls) {}
  void loadHTMLString(std::string string, foundation::URL baseURL, const std::shared_ptr<Navigation>&) override {
    calls_.push_back("load " + string + " at " + baseURL.absoluteString());
    url_ = baseURL;
  }
  void navigateMainFrame(foundation::URL target) override { calls_.push_back("go " + target.absoluteString()); }
  const std::optional<foundation::URL>& url() const override { return url_; }
  const std::optional<std::string>& htmlString() const override { return page_; }
  bool isLoading() const override { return true; }

 private:
  std::vector<std::string>& calls_;
  std::optional<foundation::URL> url_;
  std::optional<std::string> page_;
};

TEST_F(WebViewTest, InstalledFactoryChoosesTheEngineOfNewWebViewsOnly) {
  std::vector<std::string> calls;
  WebView* madeFor = nullptr;
  setWebEngineFactory([&](WebView& view) -> std::unique_ptr<WebEngine> {
    madeFor = &view;
    return std::make_unique<ScriptedEngine>(calls);
  });
  auto scripted = std::make_shared<WebView>(uikit::Rect(), nullptr);
  setWebEngineFactory(nullptr);
  EXPECT_EQ(madeFor, scripted.get());

  scripted->loadHTMLString("<p>form</p>", std::nullopt);
  scripted->navigateMainFrame(url("https://bank.example/"));
  scripted->openNewWindow(url("https://terms.example/"));
  run();
  EXPECT_EQ(calls, (std::vector<std::string>{"load <p>form</p> at about:blank", "go https://bank.example/"}));
  EXPECT_EQ(scripted->url()->absoluteString(), "about:blank");
  EXPECT_TRUE(scripted->isLoading());
  EXPECT_TRUE(delegate->events.empty()) << "the engine, not the web view, speaks to the delegates";

  // The web view made before the factory was restored keeps its engine; new ones are
  // headless again, as is one whose factory makes nothing.
  EXPECT_NE(dynamic_cast<ScriptedEngine*>(&scripted->engine()), nullptr);
  makeWebView();
  EXPECT_NE(dynamic_cast<HeadlessWebEngine*>(&webView->engine()), nullptr);
  setWebEngineFactory([](WebView&) { return std::unique_ptr<WebEngine>(); });
  makeWebView();
  setWebEngineFactory(nullptr);
  EXPECT_NE(dynamic_cast<HeadlessWebEngine*>(&webView->engine()), nullptr);
}

}  // namespace
}  // namespace keln::webkit
