#include <keln/dispatch/MainQueue.h>
#include <keln/passkit/Wallet.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/passkit/PaymentAuthorizationController.h>
#include <keln/passkit/PaymentAuthorizationViewController.h>

#include "dispatch/MainQueueAccess.h"

namespace keln::passkit {
namespace {

PaymentRequest validRequest() {
  PaymentRequest request;
  request.setMerchantIdentifier("merchant.com.example");
  request.setCountryCode("PL");
  request.setCurrencyCode("PLN");
  request.setSupportedNetworks({PaymentNetwork::masterCard(), PaymentNetwork::visa()});
  request.setPaymentSummaryItems({{"Total", Decimal("10.5")}});
  return request;
}

// Writes down what the sheet tells it; answers each authorization with `answer` (or
// keeps the handler when there is none) and dismisses the sheet on the finish.
class RecordingDelegate : public PaymentAuthorizationControllerDelegate {
 public:
  std::vector<std::string> events;
  std::optional<PaymentAuthorizationStatus> answer = PaymentAuthorizationStatus::success;
  AuthorizationHandler keptHandler;
  bool dismissOnFinish = true;

  void paymentAuthorizationController(const std::shared_ptr<PaymentAuthorizationController>&, const Payment& payment,
                                      AuthorizationHandler handler) override {
    events.push_back("authorize " + payment.token().paymentData());
    if (answer) {
      handler(PaymentAuthorizationResult(*answer, PaymentAuthorizationResult::Errors{}));
    } else {
      keptHandler = std::move(handler);
    }
  }

  void paymentAuthorizationControllerDidFinish(
      const std::shared_ptr<PaymentAuthorizationController>& controller) override {
    events.push_back("finish");
    if (dismissOnFinish) controller->dismiss([this] { events.push_back("dismissed"); });
  }
};

class WalletTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    wallet = std::make_shared<Wallet>();
    previous = Wallet::install(wallet);
    delegate = std::make_shared<RecordingDelegate>();
  }
  void TearDown() override {
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    Wallet::install(previous);
  }

  // A controller for `request` with the recording delegate, presented; returns whether
  // the sheet was shown.
  std::shared_ptr<PaymentAuthorizationController> present(const PaymentRequest& request, std::optional<bool>& shown) {
    auto controller = std::make_shared<PaymentAuthorizationController>(request);
    controller->setDelegate(delegate);
    controller->present([&shown](bool presented) { shown = presented; });
    return controller;
  }

  void run() { dispatch::MainQueue::main().runPending(); }

  std::shared_ptr<Wallet> wallet;
  std::shared_ptr<Wallet> previous;
  std::shared_ptr<RecordingDelegate> delegate;
};

TEST_F(WalletTest, CanMakePaymentsOnlyWithAnInstalledWalletHoldingACardOfTheNetwork) {
  struct Case {
    const char* name;
    bool installed;
    bool canPay;
    std::vector<PaymentNetwork> cards;
    std::vector<PaymentNetwork> asked;
    bool expectedAtAll;
    bool expectedWithNetworks;
  };
  const PaymentNetwork visa = PaymentNetwork::visa();
  const PaymentNetwork masterCard = PaymentNetwork::masterCard();
  const Case cases[] = {
      {"no wallet", false, true, {visa}, {visa}, false, false},
      {"card of an asked network", true, true, {visa}, {masterCard, visa}, true, true},
      {"no card of the asked networks", true, true, {visa}, {masterCard}, true, false},
      {"no network asked", true, true, {visa}, {}, true, false},
      {"no card at all", true, true, {}, {visa}, true, false},
      {"device cannot pay", true, false, {visa}, {visa}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wallet->setCanMakePayments(c.canPay);
    wallet->setCardNetworks(c.cards);
    Wallet::install(c.installed ? wallet : nullptr);
    EXPECT_EQ(PaymentAuthorizationViewController::canMakePayments(), c.expectedAtAll);
    EXPECT_EQ(PaymentAuthorizationViewController::canMakePayments(c.asked), c.expectedWithNetworks);
  }
}

TEST_F(WalletTest, RefusesSheetsItCannotShowAndSaysSoLater) {
  struct Case {
    const char* name;
    std::function<void(PaymentRequest&)> change;
    bool installed = true;
    bool presentsSheets = true;
  };
  const Case cases[] = {
      {"no wallet", [](PaymentRequest&) {}, false},
      {"wallet shows no sheets", [](PaymentRequest&) {}, true, false},
      {"no merchant identifier", [](PaymentRequest& r) { r.setMerchantIdentifier(""); }},
      {"no country code", [](PaymentRequest& r) { r.setCountryCode(""); }},
      {"no currency code", [](PaymentRequest& r) { r.setCurrencyCode(""); }},
      {"no network", [](PaymentRequest& r) { r.setSupportedNetworks({}); }},
      {"no summary item", [](PaymentRequest& r) { r.setPaymentSummaryItems({}); }},
      {"amount not a number",
       [](PaymentRequest& r) {
         r.setPaymentSummaryItems({{"Total", Decimal("nan")}});
       }},
      {"negative total",
       [](PaymentRequest& r) {
         r.setPaymentSummaryItems({{"Total", Decimal("-1")}});
       }},
      {"empty request", [](PaymentRequest& r) { r = PaymentRequest(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Wallet::install(c.installed ? wallet : nullptr);
    wallet->setPresentsSheets(c.presentsSheets);
    PaymentRequest request = validRequest();
    c.change(request);
    std::optional<bool> shown;
    auto controller = present(request, shown);
    EXPECT_FALSE(shown.has_value()) << "the answer comes on the main queue";
    run();
    EXPECT_EQ(shown, false);
    EXPECT_FALSE(controller->isPresented());
    EXPECT_FALSE(wallet->isSheetOnScreen());
  }
}

TEST_F(WalletTest, ShowsOneSheetAtATime) {
  std::optional<bool> first, second, third;
  auto firstController = present(validRequest(), first);
  auto secondController = present(validRequest(), second);
  run();
  EXPECT_EQ(first, true);
  EXPECT_EQ(second, false);
  EXPECT_TRUE(firstController->isPresented());
  firstController->present([&third](bool presented) { third = presented; });
  run();
  EXPECT_EQ(third, false) << "a sheet already on screen";
  EXPECT_TRUE(firstController->isPresented());
}

TEST_F(WalletTest, AuthorizationAnsweredWithSuccessFinishesTheSheet) {
  std::optional<bool> shown;
  auto controller = present(validRequest(), shown);
  run();
  ASSERT_EQ(shown, true);
  EXPECT_TRUE(wallet->authorize("{\"data\":1}"));
  EXPECT_FALSE(wallet->authorize("again")) << "the first authorization awaits its answer";
  EXPECT_TRUE(delegate->events.empty()) << "the delegate hears of it on the main queue";
  run();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"authorize {\"data\":1}", "finish", "dismissed"}));
  ASSERT_EQ(wallet->authorizationResults().size(), 1u);
  EXPECT_EQ(wallet->authorizationResults()[0].status(), PaymentAuthorizationStatus::success);
  EXPECT_FALSE(wallet->isSheetOnScreen());
  EXPECT_FALSE(controller->isPresented());
  EXPECT_FALSE(wallet->cancel());
}

TEST_F(WalletTest, FailedAnswerKeepsTheSheetForAnotherTry) {
  std::optional<bool> shown;
  auto controller = present(validRequest(), shown);
  run();
  delegate->answer = PaymentAuthorizationStatus::failure;
  ASSERT_TRUE(wallet->authorize("first"));
  run();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"authorize first"}));
  EXPECT_TRUE(wallet->isSheetOnScreen());

  delegate->answer = PaymentAuthorizationStatus::success;
  ASSERT_TRUE(wallet->authorize("second"));
  run();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"authorize first", "authorize second", "finish", "dismissed"}));
  ASSERT_EQ(wallet->authorizationResults().size(), 2u);
  EXPECT_EQ(wallet->authorizationResults()[0].status(), PaymentAuthorizationStatus::failure);
}

TEST_F(WalletTest, HandlerAnsweredTwiceCountsOnceAndTheSheetWaitsForAnAnswer) {
  std::optional<bool> shown;
  auto controller = present(validRequest(), shown);
  run();
  delegate->answer = std::nullopt;
  ASSERT_TRUE(wallet->authorize("token"));
  run();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"authorize token"}));
  EXPECT_TRUE(wallet->isSheetOnScreen()) << "no answer, no finish";

  auto handler = delegate->keptHandler;
  handler(PaymentAuthorizationResult(PaymentAuthorizationStatus::success, std::nullopt));
  handler(PaymentAuthorizationResult(PaymentAuthorizationStatus::failure, std::nullopt));
  run();
  EXPECT_EQ(wallet->authorizationResults().size(), 1u);
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"authorize token", "finish", "dismissed"}));
}

TEST_F(WalletTest, CancelFinishesOnceAndNothingFollowsIt) {
  std::optional<bool> shown;
  auto controller = present(validRequest(), shown);
  run();
  delegate->dismissOnFinish = false;
  EXPECT_TRUE(wallet->cancel());
  EXPECT_FALSE(wallet->cancel());
  EXPECT_FALSE(wallet->authorize("late"));
  run();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"finish"}));
  EXPECT_TRUE(wallet->isSheetOnScreen()) << "up until the delegate dismisses it";
  controller->dismiss(nullptr);
  EXPECT_FALSE(wallet->isSheetOnScreen());
}

TEST_F(WalletTest, UserActionRunsOnEverySheet) {
  wallet->setUserAction(Wallet::UserAction::authorize("{}"));
  std::optional<bool> shown;
  auto first = present(validRequest(), shown);
  run();
  EXPECT_EQ(shown, true);
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"authorize {}", "finish", "dismissed"}));
  EXPECT_EQ(wallet->authorizationResults().size(), 1u);

  delegate->events.clear();
  wallet->setUserAction(Wallet::UserAction::cancel());
  auto second = present(validRequest(), shown);
  run();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"finish", "dismissed"}));
  EXPECT_FALSE(wallet->isSheetOnScreen());
  EXPECT_TRUE(wallet->authorizationResults().empty()) << "each sheet keeps only its own answers";
}

TEST_F(WalletTest, SheetWithoutADelegateClosesWhenTheUserCloses) {
  std::optional<bool> shown;
  auto controller = present(validRequest(), shown);
  run();
  delegate.reset();
  EXPECT_TRUE(wallet->authorize("{}"));
  run();
  EXPECT_TRUE(wallet->isSheetOnScreen());
  EXPECT_TRUE(wallet->cancel());
  run();
  EXPECT_FALSE(wallet->isSheetOnScreen());
}

}  // namespace
}  // namespace keln::passkit
