// The WebKitGTK engine behind a web view: the checkout page filled as the SDK fills it,
// loaded by WebKit against the local gateway, every navigation through the delegate.

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/foundation/JSONCoding.h>

#include "core/flow/HTMLTemplate.h"
#include "dispatch/MainQueueAccess.h"
#include "foundation/Bundle.h"
#include "gtk-webkit/WebKitHarness.h"
#include "model/CheckoutResponseDTO.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace keln::testing {
namespace {

using webkit::NavigationActionPolicy;
using webkit::WebView;

constexpr const char* kRedirectURL = "keln://transfer/success";

// The checkout page as the SDK fills it for a sample checkout, posting to `webURL`.
std::string checkoutPage(const std::string& webURL) {
  const std::optional<std::filesystem::path> url = foundation::Bundle::module().url("payment_template", "html");
  EXPECT_TRUE(url.has_value());
  HTMLTemplate page(foundation::Bundle::readText(url.value_or("")).value_or(""));
  const std::optional<CheckoutResponse> checkout =
      foundation::JSONDecoder().decode<CheckoutResponseDTO>(samples::kCheckoutReply).parse();
  EXPECT_TRUE(checkout.has_value());
  if (checkout) page.fill(*checkout, webURL, kRedirectURL);
  return page.description();
}

// Kills (SIGKILL, as a crash would end it) every WebKit web process this program started;
// how many.
int killWebProcesses() {
  const auto parentOf = [](long pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("PPid:", 0) == 0) return std::strtol(line.c_str() + 5, nullptr, 10);
    }
    return 0L;
  };
  int killed = 0;
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
    const long pid = std::strtol(entry->d_name, nullptr, 10);
    std::string name;
    if (pid <= 0 || !std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name)) continue;
    if (name.rfind("WebKitWebProces", 0) != 0) continue;
    long ancestor = pid;
    for (int depth = 0; depth < 8 && ancestor > 1 && ancestor != getpid(); ++depth) ancestor = parentOf(ancestor);
    if (ancestor == getpid() && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0) ++killed;
  }
  if (proc != nullptr) closedir(proc);
  return killed;
}

// Writes down what the web view asks and tells, in order; cancels navigations to the
// redirect URL, or keeps every decision handler unanswered when `holdDecisions`.
class RecordingDelegate final : public webkit::NavigationDelegate, public webkit::UIDelegate {
 public:
  std::vector<std::string> events;
  bool holdDecisions = false;
  std::vector<DecisionHandler> heldDecisions;

  void webView(const std::shared_ptr<WebView>&, const webkit::NavigationAction& action,
               DecisionHandler handler) override {
    const std::string target = action.request().url() ? action.request().url()->absoluteString() : "(none)";
    events.push_back("decide " + target);
    if (holdDecisions) {
      heldDecisions.push_back(std::move(handler));
      return;
    }
    handler(target.starts_with(kRedirectURL) ? NavigationActionPolicy::cancel : NavigationActionPolicy::allow);
  }
  void webView(const std::shared_ptr<WebView>& view, const std::shared_ptr<webkit::Navigation>&) override {
    events.push_back("finish " + view->url()->absoluteString());
  }
  void webView(const std::shared_ptr<WebView>& view, const std::shared_ptr<webkit::Navigation>&,
               const Error& error) override {
    events.push_back("fail " + (view->url() ? view->url()->absoluteString() : "(none)"));
    lastError = error.description();
  }
  std::shared_ptr<WebView> webView(const std::shared_ptr<WebView>&,
                                   const std::shared_ptr<webkit::WebViewConfiguration>&,
                                   const webkit::NavigationAction& action, const webkit::WindowFeatures&) override {
    events.push_back("new window " + (action.request().url() ? action.request().url()->absoluteString() : "(none)"));
    return nullptr;
  }

  bool ended() const {
    return !events.empty() && (events.back().starts_with("finish") || events.back().starts_with("fail"));
  }

  std::string lastError;
};

class WebKitEngineTest : public WebKitTest {
 protected:
  void makeWebView() {
    webView = std::make_shared<WebView>(uikit::Rect(), std::make_shared<webkit::WebViewConfiguration>());
    delegate = std::make_shared<RecordingDelegate>();
    webView->setNavigationDelegate(delegate);
    webView->setUIDelegate(delegate);
  }

  // Serves the payment form at "/" and records what the checkout page posted.
  static void serveForm(LocalGateway& gateway) { gateway.setResponder(formPageReply); }

  std::shared_ptr<WebView> webView;
  std::shared_ptr<RecordingDelegate> delegate;
};

TEST_F(WebKitEngineTest, CheckoutPagePostsToTheGatewayAndTheRedirectIsCancelled) {
  LocalGateway gateway;
  serveForm(gateway);
  makeWebView();
  EXPECT_NE(dynamic_cast<gtk::WebKitWebEngine*>(&webView->engine()), nullptr);
  const std::string base = gateway.url() + "/";

  webView->loadHTMLString(checkoutPage(gateway.url()), foundation::URL::parse(base));
  EXPECT_TRUE(webView->isLoading());
  ASSERT_TRUE(pumpUntil([&] { return delegate->events.size() >= 4 && delegate->ended(); }));

  EXPECT_EQ(delegate->events,
            (std::vector<std::string>{"decide " + base, "finish " + base, "decide " + base, "finish " + base}));
  ASSERT_EQ(gateway.requestCount(), 1U);
  const RecordedRequest posted = gateway.requests()[0];
  EXPECT_EQ(posted.method, "POST");
  EXPECT_EQ(formField(posted.body, "transactionID"), "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f");
  EXPECT_EQ(formField(posted.body, "redirectURL"), kRedirectURL);
  EXPECT_FALSE(webView->htmlString().has_value()) << "the gateway's page replaced the checkout page";
  EXPECT_FALSE(webView->isLoading());

  // A person presses "Pay": the page heads for the redirect, the delegate cancels it.
  delegate->events.clear();
  ASSERT_TRUE(runScript(*webView, "document.getElementById('pay').click()"));
  ASSERT_TRUE(pumpUntil([&] { return !delegate->events.empty(); }));
  ASSERT_TRUE(pumpUntil([&] { return !webView->isLoading(); }));
  // Another script run makes sure nothing is still on its way.
  ASSERT_TRUE(runScript(*webView, "1"));
  dispatch::MainQueue::main().runPending();
  ASSERT_EQ(delegate->events.size(), 1U);
  EXPECT_TRUE(delegate->events[0].starts_with("decide keln://transfer/success?transactionId=3f2c9a7e"))
      << delegate->events[0];
  EXPECT_EQ(webView->url()->absoluteString(), base) << "nothing loaded";
  EXPECT_EQ(gateway.requestCount(), 1U);
}

TEST_F(WebKitEngineTest, PageWhoseProcessEndsIsLoadedAgainOnceThenReportedAsFailed) {
  LocalGateway gateway;
  serveForm(gateway);
  const std::string base = gateway.url() + "/";
  // A page that a closed checkout left behind, in no window, and the page on screen.
  makeWebView();
  std::shared_ptr<WebView> closedCheckout = webView;
  std::shared_ptr<RecordingDelegate> closedDelegate = delegate;
  closedCheckout->loadHTMLString(checkoutPage(gateway.url()), foundation::URL::parse(base));
  ASSERT_TRUE(pumpUntil([&] { return closedDelegate->events.size() >= 4 && closedDelegate->ended(); }));
  closedDelegate->events.clear();
  makeWebView();
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  gtk_window_set_child(window, dynamic_cast<gtk::WebKitWebEngine&>(webView->engine()).widget());
  gtk_window_present(window);
  gateway.clearRequests();
  const std::vector<std::string> checkoutAndForm{"decide " + base, "finish " + base, "decide " + base,
                                                 "finish " + base};
  webView->loadHTMLString(checkoutPage(gateway.url()), foundation::URL::parse(base));
  ASSERT_TRUE(pumpUntil([&] { return delegate->events.size() >= 4 && delegate->ended(); }));
  ASSERT_EQ(delegate->events, checkoutAndForm);

  // The first end: the checkout page again, which posts the form again.
  delegate->events.clear();
  ASSERT_GT(killWebProcesses(), 0);
  ASSERT_TRUE(pumpUntil([&] { return delegate->events.size() >= 4 && delegate->ended(); }));
  EXPECT_EQ(delegate->events, checkoutAndForm);
  EXPECT_EQ(gateway.requestCount(), 2U);
  EXPECT_TRUE(runScript(*webView, "if (!document.getElementById('pay')) throw new Error('no form');"));

  // The second end: no more loads; the delegate is told.
  delegate->events.clear();
  ASSERT_GT(killWebProcesses(), 0);
  ASSERT_TRUE(pumpUntil([&] { return delegate->ended(); }));
  pump(std::chrono::milliseconds(300));
  ASSERT_EQ(delegate->events.size(), 1U) << ::testing::PrintToString(delegate->events);
  EXPECT_EQ(delegate->events[0], "fail " + base);
  EXPECT_NE(delegate->lastError.find("process ended"), std::string::npos) << delegate->lastError;
  EXPECT_EQ(gateway.requestCount(), 2U);
  EXPECT_FALSE(webView->isLoading());
  EXPECT_TRUE(closedDelegate->events.empty()) << ::testing::PrintToString(closedDelegate->events);
  gtk_window_destroy(window);
}

TEST_F(WebKitEngineTest, FormPageThatCannotLoadReachesTheFailurePath) {
  struct Case {
    const char* name;
    LocalGateway::Options options;
    bool listening;
  };
  const Case cases[] = {
      {"nothing listens", {}, false},
      {"untrusted certificate", {.https = true, .certificate = CertificateKind::untrusted}, true},
      {"expired certificate", {.https = true, .certificate = CertificateKind::expired}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LocalGateway gateway(c.options);
    serveForm(gateway);
    const std::string webURL = c.listening ? gateway.url() : LocalGateway::refusedURL();
    makeWebView();
    webView->loadHTMLString(checkoutPage(webURL), foundation::URL::parse("http://127.0.0.1/"));
    ASSERT_TRUE(pumpUntil([&] { return delegate->events.size() >= 4 && delegate->ended(); }));
    ASSERT_EQ(delegate->events.size(), 4U) << ::testing::PrintToString(delegate->events);
    EXPECT_EQ(delegate->events[1], "finish http://127.0.0.1/");
    EXPECT_TRUE(delegate->events[3].starts_with("fail ")) << delegate->events[3];
    EXPECT_NE(delegate->lastError.find(webURL), std::string::npos) << delegate->lastError;
    EXPECT_FALSE(webView->isLoading());
    EXPECT_EQ(gateway.requestCount(), 0U) << "no form data reached a server that could not be trusted";
  }
}

TEST_F(WebKitEngineTest, ReleasedWebViewWithDecisionsPendingStaysQuiet) {
  LocalGateway gateway;
  serveForm(gateway);
  const std::string base = gateway.url() + "/";

  // Released while the decision waits for its turn on the main queue.
  makeWebView();
  webView->loadHTMLString(checkoutPage(gateway.url()), foundation::URL::parse(base));
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (dispatch::MainQueueAccess::pendingCount(dispatch::MainQueue::main()) == 0 &&
         std::chrono::steady_clock::now() < giveUp) {
    g_main_context_iteration(nullptr, TRUE);
  }
  ASSERT_GT(dispatch::MainQueueAccess::pendingCount(dispatch::MainQueue::main()), 0U);
  webView.reset();
  pump(std::chrono::milliseconds(100));
  EXPECT_TRUE(delegate->events.empty());

  // Released while the delegate holds the handler; answered afterwards.
  makeWebView();
  delegate->holdDecisions = true;
  webView->loadHTMLString(checkoutPage(gateway.url()), foundation::URL::parse(base));
  ASSERT_TRUE(pumpUntil([&] { return !delegate->heldDecisions.empty(); }));
  EXPECT_TRUE(webView->isLoading()) << "a navigation waiting for its decision is loading";
  webView.reset();
  delegate->heldDecisions[0](NavigationActionPolicy::allow);
  pump(std::chrono::milliseconds(100));
  EXPECT_EQ(delegate->events, std::vector<std::string>{"decide " + base});

  // A handler dropped unanswered refuses the navigation.
  makeWebView();
  delegate->holdDecisions = true;
  webView->loadHTMLString(checkoutPage(gateway.url()), foundation::URL::parse(base));
  ASSERT_TRUE(pumpUntil([&] { return !delegate->heldDecisions.empty(); }));
  delegate->heldDecisions.clear();
  ASSERT_TRUE(pumpUntil([&] { return !webView->isLoading(); }));
  EXPECT_EQ(delegate->events, std::vector<std::string>{"decide " + base});
  EXPECT_EQ(gateway.requestCount(), 0U);
}

}  // namespace
}  // namespace keln::testing
