// The checkout's web form with WebKit inside the checkout window, as a GTK host shows it:
// the page posts to the gateway's form page, the person acts through the page's DOM
// events and the window's buttons, and every payment ends once, after its window closed.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <keln/uikit/Application.h>

#include "core/SDKConfigFactory.h"
#include "gtk/CheckoutWindowHarness.h"

namespace keln::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCheckoutID = "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f";  // in samples::kCheckoutReply

class CheckoutWebFormTest : public CheckoutWindowTest {
 protected:
  void SetUp() override {
    CheckoutWindowTest::SetUp();
    uikit::Application::shared().setURLOpener([this](const std::string& url) {
      opened_.push_back(url);
      return true;
    });
    serve();
  }

  void TearDown() override {
    for (const auto& [signal, hook] : hooks_) g_signal_remove_emission_hook(signal, hook);
    CheckoutWindowTest::TearDown();
    uikit::Application::shared().setURLOpener(nullptr);
  }

  // The gateway: a checkout without the wallet (the web form opens at once), the payment
  // form page where the checkout page posts (after `formDelay`), and the status: Pending
  // for the first `pendingStatuses` queries, then Success.
  void serve(int pendingStatuses = 0, std::chrono::milliseconds formDelay = 0ms) {
    auto statusQueries = std::make_shared<std::atomic<int>>(0);
    gateway_.setResponder([=](const RecordedRequest& request) {
      if (request.method == "POST" && request.path == "/api/v1/payments") {
        nlohmann::json reply = nlohmann::json::parse(samples::kCheckoutReply);
        reply["paymentMethodList"] = {"CARD", "BLIK"};
        return closingConnection(GatewayReply::json(200, reply.dump()));
      }
      if (request.method == "POST") {
        GatewayReply reply = formPageReply(request);
        reply.delay = formDelay;
        return reply;
      }
      nlohmann::json reply = nlohmann::json::parse(samples::kStatusReply);
      reply["paymentStatus"] = ++*statusQueries > pendingStatuses ? "Success" : "Pending";
      reply["transactionID"] = kCheckoutID;
      return closingConnection(GatewayReply::json(200, reply.dump()));
    });
  }

  std::string formURL() const { return gateway_.url() + "/"; }

  // Writes down the text argument `argument` (counted from the instance, 0) of every
  // emission of `signal` on `type`, before any handler runs (WebKit's are allowed to stop
  // an emission). For the rest of the test.
  void recordEmissions(GType type, const char* signal, guint argument, std::vector<std::string>& into) {
    gpointer typeClass = g_type_class_ref(type);  // the signal exists once the class does
    const guint signalID = g_signal_lookup(signal, type);
    g_type_class_unref(typeClass);
    auto* recorder = new Recorder{argument, &into};
    const gulong hook = g_signal_add_emission_hook(
        signalID, 0,
        [](GSignalInvocationHint*, guint count, const GValue* values, gpointer data) -> gboolean {
          auto* recorder = static_cast<Recorder*>(data);
          const GValue* value = recorder->argument < count ? &values[recorder->argument] : nullptr;
          const char* text = value != nullptr && G_VALUE_HOLDS_STRING(value) ? g_value_get_string(value) : nullptr;
          recorder->into->push_back(text != nullptr ? text : "");
          return TRUE;
        },
        recorder, [](gpointer data) { delete static_cast<Recorder*>(data); });
    hooks_.emplace_back(signalID, hook);
  }

  std::vector<std::string> opened_;
  std::vector<std::string> failedLoads_;  // the URIs of loads that WebKit reports failed
  std::vector<std::string> savedFiles_;   // the files downloads created

 private:
  struct Recorder {
    guint argument;
    std::vector<std::string>* into;
  };
  std::vector<std::pair<guint, gulong>> hooks_;
};

TEST_F(CheckoutWebFormTest, PersonPaysInTheFormPageAndTheResultComesAfterTheWindowCloses) {
  serve(/*pendingStatuses=*/1);
  startPayment();
  ASSERT_TRUE(iterateUntil([&] { return pageLoaded(formURL()); }));
  EXPECT_TRUE(webFormOnScreen());
  EXPECT_FALSE(spinnerOnScreen());
  EXPECT_NE(headerButton(gtk::closeButtonWidgetName), nullptr);
  ASSERT_EQ(gateway_.requestCount(), 2u);
  const RecordedRequest posted = gateway_.requests()[1];
  EXPECT_EQ(posted.path, "/");
  EXPECT_EQ(formField(posted.body, "transactionID"), kCheckoutID);
  EXPECT_EQ(formField(posted.body, "redirectURL"), "keln://transfer/success");

  clickInPage("pay");
  // The redirect is asked about and cancelled; the first status is Pending, so the window
  // stays while the next query waits for the clock.
  ASSERT_TRUE(iterateUntil(
      [&] {
        const auto wait = dispatch::MainQueue::main().timeUntilNextTask();
        return gateway_.requestCount() == 3 && wait && *wait > dispatch::Duration::zero();
      },
      20s, /*advanceClock=*/false));
  EXPECT_FALSE(probe_.called());
  EXPECT_NE(host_->presentedWindow(), nullptr);
  EXPECT_TRUE(pageLoaded(formURL())) << "the redirect is not loaded";
  EXPECT_EQ(evaluate("document.getElementById('pay') !== null"), "true");

  expectOneResultAfterTheWindowIsGone();
  ASSERT_TRUE(probe_.result().isSuccess()) << describe(probe_.result());
  EXPECT_TRUE(probe_.result().value().isSuccess());
  EXPECT_EQ(probe_.result().value().transactionID(), std::optional<std::string>(kCheckoutID));
  const std::vector<RecordedRequest> requests = gateway_.requests();
  ASSERT_EQ(requests.size(), 4u);
  for (std::size_t index : {2u, 3u}) {
    EXPECT_EQ(requests[index].target, std::string("/api/v1/payments/") + kCheckoutID + "/status");
  }
  EXPECT_TRUE(opened_.empty());
}

// A host that keeps no controller (it hands make()'s to the start and drops it): its
// window keeps it, so the checkout shows and the payment comes back.
TEST_F(CheckoutWebFormTest, HostThatKeepsNoControllerGetsTheCheckoutAndOneResult) {
  ASSERT_NO_FATAL_FAILURE(startPaymentKeepingNoController());
  ASSERT_TRUE(iterateUntil([&] { return pageLoaded(formURL()); }));
  clickInPage("pay");
  expectOneResultAfterTheWindowIsGone();
  ASSERT_TRUE(probe_.result().isSuccess()) << describe(probe_.result());
  EXPECT_TRUE(probe_.result().value().isSuccess());
  EXPECT_EQ(probe_.result().value().transactionID(), std::optional<std::string>(kCheckoutID));
}

TEST_F(CheckoutWebFormTest, LinksInTheFormPageOpenOnlyAWebAddressOutsideAndSaveNothing) {
  recordEmissions(WEBKIT_TYPE_DOWNLOAD, "created-destination", 1, savedFiles_);
  startPayment();
  ASSERT_TRUE(iterateUntil([&] { return pageLoaded(formURL()); }));

  // The others first: had one of them reached the opener, it would be there before the
  // web address.
  clickInPage("script");
  clickInPage("save");
  clickInPage("terms");
  ASSERT_TRUE(iterateUntil([&] { return !opened_.empty(); }));
  iterateUntil([] { return false; }, 100ms);
  EXPECT_EQ(opened_, std::vector<std::string>{"https://bank.example/terms?lang=pl"});
  EXPECT_TRUE(savedFiles_.empty()) << "a download wrote " << savedFiles_.front();
  // The download's navigation may still be ending: the form page is what stays.
  EXPECT_TRUE(iterateUntil([&] { return pageLoaded(formURL()); }, 5s)) << "the form page stays";
  EXPECT_NE(evaluate("document.title"), "opened") << "the script link ran nothing in the page";
  GListModel* toplevels = gtk_window_get_toplevels();
  EXPECT_EQ(g_list_model_get_n_items(toplevels), 2u) << "no window but the host's and the checkout's";
  EXPECT_EQ(gateway_.requestCount(), 2u);
  EXPECT_FALSE(probe_.called());
}

TEST_F(CheckoutWebFormTest, ClosingTheWebFormEndsThePaymentOnce) {
  struct Case {
    const char* name;
    std::chrono::milliseconds formDelay;  // closed while the form page loads when not zero
    bool windowManager;
    bool pageProcessEnded = false;  // WebKit's process for the page ended (a crash) first
  };
  const Case cases[] = {
      {"close button on the form page", 0ms, false},
      {"window manager's close on the form page", 0ms, true},
      {"close button while the form page loads", 300ms, false},
      {"window manager's close after the page's process ended", 0ms, true, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    serve(0, test.formDelay);
    gateway_.clearRequests();
    probe_ = PaymentProbe();
    windowOpenAtCompletion_ = true;
    startPayment();
    if (test.formDelay == 0ms) {
      ASSERT_TRUE(iterateUntil([&] { return pageLoaded(formURL()); }));
    } else {
      ASSERT_TRUE(iterateUntil([&] { return gateway_.requestCount() == 2; }));
    }
    if (test.pageProcessEnded) {
      // The checkout page is loaded again, and posts the form again.
      webkit_web_view_terminate_web_process(page());
      EXPECT_TRUE(iterateUntil([&] { return gateway_.requestCount() == 3; }));
      EXPECT_FALSE(probe_.called());
      EXPECT_NE(host_->presentedWindow(), nullptr);
    }
    if (test.windowManager) {
      GtkWindow* window = GTK_WINDOW(g_object_ref(host_->presentedWindow()));
      gtk_window_close(window);
      gtk_window_close(window);  // a second request, the window perhaps closed by the first
      g_object_unref(window);
    } else {
      click(headerButton(gtk::closeButtonWidgetName));
    }
    expectOneCancellation();
    // The page may still answer after its window closed: nothing more reaches the host.
    iterateUntil([] { return false; }, test.formDelay + 200ms);
    EXPECT_EQ(probe_.count(), 1u);
    EXPECT_EQ(gateway_.requestCount(), test.pageProcessEnded ? 3u : 2u) << "no status was asked for";
  }
  sdk_.reset();  // releases the last web view, its page perhaps still loading
  iterateUntil([] { return false; }, 100ms);
}

TEST_F(CheckoutWebFormTest, DialogsThePageOpenedCloseWithTheCheckout) {
  struct Case {
    const char* name;
    const char* script;
    const char* dialogType;
  };
  const Case cases[] = {
      // WebKit waits for the print dialog's answer in a main loop of its own.
      {"print dialog", "window.print()", "GtkPrintUnixDialog"},
      {"file chooser",
       "const input = document.createElement('input'); input.type = 'file';"
       "document.body.appendChild(input); input.click()",
       "GtkFileChooserDialog"},
  };
  // Acts from GLib sources: a dialog's own main loop does not return to the test.
  struct Watch {
    GtkWindow* host;
    GtkWindow* checkout;
    std::string dialogType;
    bool seen = false;
    bool leftOpen = false;
    guint closer = 0;
    guint rescuer = 0;
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    gateway_.clearRequests();
    probe_ = PaymentProbe();
    windowOpenAtCompletion_ = true;
    startPayment();
    ASSERT_TRUE(iterateUntil([&] { return pageLoaded(formURL()); }));

    Watch watch{hostWindow_, host_->presentedWindow(), test.dialogType};
    // Once the dialog shows, the person closes the checkout's window from the window manager.
    watch.closer = g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
          auto* watch = static_cast<Watch*>(data);
          GListModel* toplevels = gtk_window_get_toplevels();
          for (guint index = 0; index < g_list_model_get_n_items(toplevels); ++index) {
            auto* window = GTK_WINDOW(g_list_model_get_item(toplevels, index));
            watch->seen = watch->seen || (watch->dialogType == G_OBJECT_TYPE_NAME(window) &&
                                          gtk_window_get_transient_for(window) == watch->checkout);
            g_object_unref(window);
          }
          if (!watch->seen) return G_SOURCE_CONTINUE;
          gtk_window_close(watch->checkout);
          watch->closer = 0;
          return G_SOURCE_REMOVE;
        },
        &watch);
    // Should a dialog stay, it is cancelled, so that the test ends.
    watch.rescuer = g_timeout_add(
        10000,
        [](gpointer data) -> gboolean {
          auto* watch = static_cast<Watch*>(data);
          GListModel* toplevels = gtk_window_get_toplevels();
          for (guint index = 0; index < g_list_model_get_n_items(toplevels); ++index) {
            auto* window = GTK_WINDOW(g_list_model_get_item(toplevels, index));
            if (window != watch->host && window != watch->checkout) {
              watch->leftOpen = true;
              g_signal_emit_by_name(window, "response", GTK_RESPONSE_CANCEL);
            }
            g_object_unref(window);
          }
          watch->rescuer = 0;
          return G_SOURCE_REMOVE;
        },
        &watch);
    webkit_web_view_evaluate_javascript(page(), test.script, -1, nullptr, nullptr, nullptr, nullptr, nullptr);

    EXPECT_TRUE(iterateUntil([&] { return watch.seen; }, 10s)) << "the page opened no " << test.dialogType;
    expectOneCancellation();
    EXPECT_FALSE(watch.leftOpen) << "a dialog outlived the checkout";
    EXPECT_EQ(g_list_model_get_n_items(gtk_window_get_toplevels()), 1u) << "only the host's window is left";
    for (guint source : {watch.closer, watch.rescuer}) {
      if (source != 0) g_source_remove(source);
    }
  }
}

TEST_F(CheckoutWebFormTest, FormPageThatCannotLoadLeavesTheCheckoutOpenUntilClosed) {
  struct Case {
    const char* name;
    bool listening;  // an HTTPS form page with an untrusted certificate, else nothing listens
  };
  const Case cases[] = {
      {"nothing listens at the web URL", false},
      {"untrusted certificate", true},
  };
  recordEmissions(WEBKIT_TYPE_WEB_VIEW, "load-failed", 2, failedLoads_);
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    LocalGateway web({.https = true, .certificate = CertificateKind::untrusted});
    web.setResponder(formPageReply);
    const std::string webURL = test.listening ? web.url() : LocalGateway::refusedURL();
    sdk_ = SDKAccess::make(SDKConfigFactory::withRoots(gateway_.url(), webURL, kHostClientID, kHostToken));
    gateway_.clearRequests();
    failedLoads_.clear();
    probe_ = PaymentProbe();
    windowOpenAtCompletion_ = true;
    startPayment();

    ASSERT_TRUE(iterateUntil([&] { return !failedLoads_.empty(); }));
    EXPECT_EQ(failedLoads_[0].rfind(webURL, 0), 0u) << failedLoads_[0];
    iterateUntil([] { return false; }, 100ms);
    // Nothing is shown of the failure: the checkout page stays, the indicator is off, the
    // payment goes on until the person closes the window.
    EXPECT_TRUE(webFormOnScreen());
    EXPECT_FALSE(spinnerOnScreen());
    EXPECT_FALSE(webkit_web_view_is_loading(page()));
    EXPECT_EQ(evaluate("document.getElementById('checkout') !== null"), "true") << "no error page replaced it";
    EXPECT_FALSE(probe_.called());
    EXPECT_EQ(web.requestCount(), 0u) << "no form data reached a server that could not be trusted";
    EXPECT_EQ(gateway_.requestCount(), 1u);

    click(headerButton(gtk::closeButtonWidgetName));
    expectOneCancellation();
  }
}

}  // namespace
}  // namespace keln::testing
