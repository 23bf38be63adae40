#pragma once

// A host application for end-to-end tests: it makes SDKs on a local gateway, presents the
// checkout from a screen of its own, plays the user on that checkout, and lets virtual time
// pass while the SDK only waits. Every captured output line is checked for the bearer token.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <keln/KelnSDK.h>
#include <keln/passkit/Wallet.h>

#include <keln/passkit/PaymentRequest.h>
#include "core/SDKConfigFactory.h"
#include "dispatch/MainQueueAccess.h"
#include "foundation/Log.h"
#include "foundation/URL.h"
#include "http/IOLoop.h"
#include "presentation/CardCollectionViewCell.h"
#include "presentation/PaymentViewController.h"
#include "presentation/applepay/ApplePayManagerAccess.h"
#include "sdk/SDKAccess.h"
#include "support/WireSamples.h"
#include "uikit/BarButtonItem.h"
#include "uikit/CollectionView.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"
#include "uikit/NavigationItem.h"
#include "uikit/View.h"
#include "uikit/ViewControllerAccess.h"
#include "webkit/WebView.h"

namespace keln::testing {

inline constexpr const char* kHostClientID = "e2e-client";
inline constexpr const char* kHostToken = "e2e-tok-7c1f9d2a5b3e";

using PaymentResult = Result<TransactionResultSDK>;

// The transaction id of the sample checkout reply.
inline constexpr const char* kCheckoutID = "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f";

// The sample checkout reply, offering `methods`.
inline std::string checkoutReply(const std::vector<std::string>& methods) {
  nlohmann::json reply = nlohmann::json::parse(samples::kCheckoutReply);
  reply["paymentMethodList"] = methods;
  return reply.dump();
}

// The sample status reply for the sample checkout, in `status`.
inline std::string statusReply(const std::string& status) {
  nlohmann::json reply = nlohmann::json::parse(samples::kStatusReply);
  reply["paymentStatus"] = status;
  reply["transactionID"] = kCheckoutID;
  return reply.dump();
}

// Every result a payment's completion received. The results outlive the SDK, so a test
// can look at them after releasing it.
class PaymentProbe {
 public:
  SDK::PaymentCompletion completion() const {
    return [results = results_](PaymentResult result) { results->push_back(std::move(result)); };
  }
  std::size_t count() const { return results_->size(); }
  bool called() const { return !results_->empty(); }
  const PaymentResult& result() const { return results_->front(); }

 private:
  std::shared_ptr<std::vector<PaymentResult>> results_ = std::make_shared<std::vector<PaymentResult>>();
};

inline const KelnSDKError* sdkError(const PaymentResult& result) {
  return result.isFailure() ? dynamic_cast<const KelnSDKError*>(result.error().get()) : nullptr;
}

inline std::string describe(const PaymentResult& result) {
  if (result.isFailure()) return "error " + result.error()->description();
  return std::string("success ") + (result.value().isSuccess() ? "(paid) " : "(not paid) ") +
         result.value().transactionID().value_or("<no id>");
}

// Expects the error KelnSDKError of `kind`, carrying `message` when one is given.
inline void expectSDKError(const PaymentResult& result, KelnSDKError::Kind kind,
                           const std::optional<std::string>& message = std::nullopt) {
  const KelnSDKError* error = sdkError(result);
  ASSERT_NE(error, nullptr) << describe(result);
  EXPECT_EQ(error->kind(), kind) << error->description();
  if (message) {
    EXPECT_EQ(error->message(), message);
  }
}

// The host application's own screen, and what a user sees and does on a checkout
// presented from it.
class HostScreen {
 public:
  HostScreen() : controller_(std::make_shared<uikit::ViewController>()) {
    uikit::ViewControllerAccess::view(*controller_)->setFrame(uikit::Rect{{0, 0}, {390, 844}});
  }

  const std::shared_ptr<uikit::ViewController>& controller() const { return controller_; }

  std::shared_ptr<uikit::NavigationController> presentedNavigation() const {
    return std::dynamic_pointer_cast<uikit::NavigationController>(controller_->presentedViewController());
  }
  bool presentsAnything() const { return controller_->presentedViewController() != nullptr; }

  // The checkout on screen; null when none.
  std::shared_ptr<PaymentViewController> checkout() const {
    auto navigation = presentedNavigation();
    return navigation ? std::dynamic_pointer_cast<PaymentViewController>(navigation->topViewController()) : nullptr;
  }

  bool menuShown() const {
    auto screen = checkout();
    return screen && !screen->contentView()->collectionView()->isHidden() &&
           screen->contentView()->webView()->isHidden() && !screen->cards().empty();
  }

  bool webFormShown() const {
    auto screen = checkout();
    if (!screen) return false;
    const auto& webView = screen->contentView()->webView();
    return !webView->isHidden() && webView->htmlString().has_value() && !webView->isLoading();
  }

  bool spinnerShown() const {
    auto screen = checkout();
    return screen && !screen->activityIndicatorView()->isHidden();
  }

  // The titles of the menu's entries, as the user reads them.
  std::vector<std::string> menuTitles() const {
    std::vector<std::string> titles;
    auto screen = checkout();
    if (!screen) return titles;
    auto collection = screen->contentView()->collectionView();
    collection->layoutIfNeeded();
    for (const auto& cell : collection->visibleCells()) {
      if (auto card = std::dynamic_pointer_cast<CardCollectionViewCell>(cell)) {
        titles.push_back(card->titleLabel()->text().value_or(""));
      }
    }
    return titles;
  }

  bool tapMenuItem(std::int64_t item) const {
    auto screen = checkout();
    return screen && screen->contentView()->collectionView()->tapItem(uikit::IndexPath{0, item});
  }

  // The close button, or the back chevron inside a web form opened from the menu.
  bool leftButtonIsClose() const {
    auto screen = checkout();
    return screen && uikit::ViewControllerAccess::navigationItem(*screen).leftBarButtonItem() &&
           uikit::ViewControllerAccess::navigationItem(*screen).leftBarButtonItem()->systemItem() ==
               uikit::BarButtonItem::SystemItem::close;
  }
  void tapLeftButton() const {
    auto screen = checkout();
    ASSERT_NE(screen, nullptr) << "no checkout on screen";
    ASSERT_NE(uikit::ViewControllerAccess::navigationItem(*screen).leftBarButtonItem(), nullptr);
    uikit::ViewControllerAccess::navigationItem(*screen).leftBarButtonItem()->tap();
  }

  // The user completes the gateway's form: the page goes to the redirect URL.
  void completeWebForm() const {
    auto screen = checkout();
    ASSERT_NE(screen, nullptr) << "no checkout on screen";
    ASSERT_TRUE(screen->viewModel()->transactionResponse().has_value());
    const std::string target =
        "keln://transfer/success?transactionId=" + screen->viewModel()->transactionResponse()->transactionId();
    screen->contentView()->webView()->navigateMainFrame(*foundation::URL::parse(target));
  }

 private:
  std::shared_ptr<uikit::ViewController> controller_;
};

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    dispatch::MainQueue::main().setClock(clock_);
    previousWallet_ = passkit::Wallet::install(nullptr);
  }

  void TearDown() override {
    forgetWalletSheet();
    expectNoTokenInLog();
    passkit::Wallet::install(previousWallet_);
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    dispatch::MainQueue::main().setClock(std::make_shared<dispatch::SystemClock>());
  }

  static std::unique_ptr<SDK> makeSDK(const std::string& root, const std::string& clientID = kHostClientID,
                                      const std::string& token = kHostToken) {
    return SDKAccess::make(SDKConfigFactory::withRoot(root, clientID, token));
  }

  static TransactionParamsSDK paymentParams(const std::string& transactionID = "order-e2e-1") {
    return TransactionParamsSDK(1234, "Shop order", transactionID, "Two coffees", 149.99, "PLN",
                                {PaymentMethod::card, PaymentMethod::applePay, PaymentMethod::blik}, "Jane Doe",
                                "jane@example.com", "https://shop.example/cart", std::nullopt, std::nullopt,
                                std::nullopt, std::string("merchant.example.e2e"));
  }

  // A device wallet holding a Visa card; `canPay` says whether the device can make payments.
  static std::shared_ptr<passkit::Wallet> installWallet(bool canPay = true) {
    auto wallet = std::make_shared<passkit::Wallet>();
    wallet->setCardNetworks({passkit::PaymentNetwork::visa()});
    wallet->setCanMakePayments(canPay);
    passkit::Wallet::install(wallet);
    return wallet;
  }

  // Runs the main queue until `done` holds, moving the virtual clock on by `step` whenever
  // only delayed work is left (on the main queue or the network thread). False, failing the
  // test, after 30 s of real time; at once when an earlier wait of the test gave up, so that
  // a test whose awaited event never comes ends within one wait's limit.
  bool drive(const std::function<bool()>& done, dispatch::Duration step = std::chrono::milliseconds(500)) {
    dispatch::MainQueue& queue = dispatch::MainQueue::main();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (waitGaveUp_) return false;
      if (std::chrono::steady_clock::now() > giveUp) {
        ADD_FAILURE() << "gave up waiting: what the test waits for did not come within 30 s; the test's later "
                         "waits give up at once";
        waitGaveUp_ = true;
        return false;
      }
      queue.runUntil(done, std::chrono::milliseconds(5));
      if (!done() &&
          (dispatch::MainQueueAccess::pendingCount(queue) > 0 || http::IOLoop::shared().delayedTaskCount() > 0) &&
          queue.runPending() == 0)
        clock_->advance(step);
    }
    return true;
  }

  // Lets stray work run: a minute of virtual time and a moment of real time.
  void settle() {
    for (int i = 0; i < 60; ++i) {
      clock_->advance(std::chrono::seconds(1));
      dispatch::MainQueue::main().runPending();
    }
    dispatch::MainQueue::main().runFor(std::chrono::milliseconds(50));
  }

  void runPending() { dispatch::MainQueue::main().runPending(); }

  // The wallet manager keeps the last wallet sheet's completion, and with it that
  // checkout and its open connection, until the next sheet. A sheet that cannot be shown
  // takes its place.
  void forgetWalletSheet() {
    ApplePayManagerAccess::startPayment(*ApplePayManager::shared(), passkit::PaymentRequest(), nullptr);
    runPending();
  }

  bool logHasLineStartingWith(const std::string& prefix) const {
    for (const auto& line : capture_.lines()) {
      if (line.message.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }

  // Checks, then forgets, what was captured so far.
  void expectNoTokenInLog() {
    for (const auto& line : capture_.lines()) {
      EXPECT_EQ(line.message.find(kHostToken), std::string::npos) << line.message;
    }
  }
  void checkAndClearLog() {
    expectNoTokenInLog();
    capture_.clear();
  }

  std::shared_ptr<dispatch::ManualClock> clock_ = std::make_shared<dispatch::ManualClock>();
  foundation::ScopedLogCapture capture_;
  std::shared_ptr<passkit::Wallet> previousWallet_;
  bool waitGaveUp_ = false;
};

}  // namespace keln::testing
