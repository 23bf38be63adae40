#include <keln/dispatch/MainQueue.h>
#include <keln/passkit/Wallet.h>
#include <keln/presentation/ApplePayManager.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/passkit/PaymentAuthorizationController.h>
#include <keln/passkit/PaymentAuthorizationViewController.h>
#include <keln/passkit/PaymentRequest.h>
#include "dispatch/MainQueueAccess.h"
#include "foundation/Log.h"
#include "presentation/applepay/ApplePayManagerAccess.h"

namespace keln {
namespace {

using foundation::LogStream;
using passkit::PaymentAuthorizationStatus;
using passkit::Wallet;

const std::string notInTheCorrectFormat = "The data couldn’t be read because it isn’t in the correct format.";

passkit::PaymentRequest sheetRequest() {
  passkit::PaymentRequest request;
  request.setMerchantIdentifier("merchant.com.example");
  request.setCountryCode("PL");
  request.setCurrencyCode("PLN");
  request.setSupportedNetworks({passkit::PaymentNetwork::masterCard(), passkit::PaymentNetwork::visa()});
  request.setPaymentSummaryItems({{"Total", passkit::Decimal("10.5")}});
  return request;
}

class ApplePayManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    wallet = std::make_shared<Wallet>();
    previous = Wallet::install(wallet);
  }
  void TearDown() override {
    dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main());
    Wallet::install(previous);
  }

  void run() { dispatch::MainQueue::main().runPending(); }

  // Starts a payment whose reported statuses are appended to `statuses`; at each report
  // also notes whether the sheet was still on screen.
  void start(std::vector<ApplePayStatus>& statuses, const passkit::PaymentRequest& request = sheetRequest()) {
    ApplePayManagerAccess::startPayment(*manager, request, [this, &statuses](ApplePayStatus status) {
      statuses.push_back(status);
      sheetOnScreenAtReport.push_back(wallet->isSheetOnScreen());
    });
  }

  std::shared_ptr<ApplePayManager> manager = ApplePayManager::shared();
  std::shared_ptr<Wallet> wallet;
  std::shared_ptr<Wallet> previous;
  std::vector<bool> sheetOnScreenAtReport;
};

TEST_F(ApplePayManagerTest, ReportsEachOutcomeOnceAfterTheSheetIsGone) {
  struct Case {
    const char* name;
    std::optional<std::string> tokenData;  // none: the user closes the sheet
    ApplePayStatus expected;
    std::vector<std::string> output;
  };
  const Case cases[] = {
      {"user closes the sheet", std::nullopt, ApplePayStatus::userCancelled, {"Presented PaymentController"}},
      {"token data is a JSON object",
       R"({"version":"EC_v1","data":"abc"})",
       ApplePayStatus::success,
       {"Presented PaymentController"}},
      {"token data is a JSON array", "[1,2]", ApplePayStatus::success, {"Presented PaymentController"}},
      {"token data is empty",
       "",
       ApplePayStatus::success,
       {"Presented PaymentController", "Failed to load: " + notInTheCorrectFormat}},
      {"token data is not JSON",
       "not json",
       ApplePayStatus::success,
       {"Presented PaymentController", "Failed to load: " + notInTheCorrectFormat}},
      {"token data is a bare number",
       "5",
       ApplePayStatus::success,
       {"Presented PaymentController", "Failed to load: " + notInTheCorrectFormat}},
      {"token data is not UTF-8",
       "{\"a\":\"\xff\"}",
       ApplePayStatus::success,
       {"Presented PaymentController", "Failed to load: " + notInTheCorrectFormat}},
      {"token data nests too deeply",
       std::string(100000, '[') + std::string(100000, ']'),
       ApplePayStatus::success,
       {"Presented PaymentController", "Failed to load: " + notInTheCorrectFormat}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    foundation::ScopedLogCapture log;
    sheetOnScreenAtReport.clear();
    std::vector<ApplePayStatus> statuses;
    start(statuses);
    EXPECT_EQ(ApplePayManagerAccess::paymentStatus(*manager), PaymentAuthorizationStatus::failure);
    run();
    ASSERT_TRUE(wallet->isSheetOnScreen());
    EXPECT_TRUE(statuses.empty()) << "nothing is reported while the sheet is up";
    if (c.tokenData) {
      ASSERT_TRUE(wallet->authorize(*c.tokenData));
    } else {
      ASSERT_TRUE(wallet->cancel());
    }
    run();
    EXPECT_EQ(statuses, std::vector<ApplePayStatus>{c.expected});
    EXPECT_EQ(sheetOnScreenAtReport, std::vector<bool>{false});
    EXPECT_EQ(log.messages(LogStream::standardOutput), c.output);
    if (c.tokenData) {
      ASSERT_EQ(wallet->authorizationResults().size(), 1u) << "answered exactly once";
      const passkit::PaymentAuthorizationResult& answer = wallet->authorizationResults().back();
      EXPECT_EQ(answer.status(), PaymentAuthorizationStatus::success);
      ASSERT_TRUE(answer.errors().has_value());
      EXPECT_TRUE(answer.errors()->empty());
    }
    wallet = std::make_shared<Wallet>();
    Wallet::install(wallet);
  }
}

TEST_F(ApplePayManagerTest, KeepsTheLastTokenDataThatIsAJSONObject) {
  wallet->setUserAction(Wallet::UserAction::authorize(R"({"version":"EC_v1"})"));
  std::vector<ApplePayStatus> statuses;
  start(statuses);
  run();
  ASSERT_NE(ApplePayManagerAccess::paymentDataJson(*manager), nullptr);
  const auto kept = ApplePayManagerAccess::paymentDataJson(*manager);
  EXPECT_EQ(kept->root().allKeys(), std::vector<std::string>{"version"});

  for (const char* other : {"[{\"other\":1}]", "not json"}) {
    SCOPED_TRACE(other);
    wallet->setUserAction(Wallet::UserAction::authorize(other));
    start(statuses);
    run();
    EXPECT_EQ(ApplePayManagerAccess::paymentDataJson(*manager), kept);
  }
  EXPECT_EQ(statuses, std::vector<ApplePayStatus>(3, ApplePayStatus::success));
}

TEST_F(ApplePayManagerTest, RefusedPresentationReportsAnErrorFromThePresentationCallback) {
  foundation::ScopedLogCapture log;
  wallet->setPresentsSheets(false);
  std::vector<ApplePayStatus> statuses;
  start(statuses);
  EXPECT_TRUE(statuses.empty());
  const auto refused = ApplePayManagerAccess::paymentController(*manager);
  run();
  EXPECT_EQ(statuses, std::vector<ApplePayStatus>{ApplePayStatus::error});
  EXPECT_EQ(log.messages(LogStream::standardOutput), std::vector<std::string>{"Failed to present PaymentController"});
  EXPECT_EQ(ApplePayManagerAccess::paymentController(*manager), refused);

  Wallet::install(nullptr);
  start(statuses);
  run();
  EXPECT_EQ(statuses, std::vector<ApplePayStatus>(2, ApplePayStatus::error)) << "no wallet at all";
}

TEST_F(ApplePayManagerTest, SecondStartReplacesTheFirstCompletion) {
  std::vector<ApplePayStatus> first, second;

  // Replaced before the first presentation is answered: only the second start reports.
  wallet->setPresentsSheets(false);
  start(first);
  wallet->setPresentsSheets(true);
  start(second);
  run();
  EXPECT_TRUE(first.empty());
  EXPECT_TRUE(second.empty());
  ASSERT_TRUE(wallet->cancel());
  run();
  EXPECT_TRUE(first.empty());
  EXPECT_EQ(second, std::vector<ApplePayStatus>{ApplePayStatus::userCancelled});

  // Replaced while the first sheet is up: the second is refused, and the first sheet's
  // later end reaches nobody.
  first.clear();
  second.clear();
  start(first);
  run();
  start(second);
  run();
  EXPECT_EQ(second, std::vector<ApplePayStatus>{ApplePayStatus::error});
  ASSERT_TRUE(wallet->authorize("{}"));
  run();
  EXPECT_TRUE(first.empty());
  EXPECT_EQ(second, std::vector<ApplePayStatus>{ApplePayStatus::error});
  ASSERT_EQ(wallet->authorizationResults().size(), 1u);
  EXPECT_EQ(wallet->authorizationResults()[0].status(), PaymentAuthorizationStatus::failure)
      << "a payment nobody will hear of is not confirmed to the user";
  ASSERT_TRUE(wallet->cancel());
  run();
  EXPECT_FALSE(wallet->isSheetOnScreen());
  EXPECT_TRUE(first.empty());
  EXPECT_EQ(second, std::vector<ApplePayStatus>{ApplePayStatus::error});
}

TEST_F(ApplePayManagerTest, CompletionMayStartTheNextPayment) {
  wallet->setUserAction(Wallet::UserAction::cancel());
  std::vector<ApplePayStatus> statuses;
  int starts = 0;
  std::function<void(ApplePayStatus)> again = [&](ApplePayStatus status) {
    statuses.push_back(status);
    if (++starts < 3) ApplePayManagerAccess::startPayment(*manager, sheetRequest(), again);
  };
  ApplePayManagerAccess::startPayment(*manager, sheetRequest(), again);
  run();
  EXPECT_EQ(statuses, std::vector<ApplePayStatus>(3, ApplePayStatus::userCancelled));
}

TEST_F(ApplePayManagerTest, ViewControllerVariantAnswersSuccessWithoutAnErrorList) {
  std::optional<passkit::PaymentAuthorizationResult> answer;
  manager->paymentAuthorizationViewController(
      std::make_shared<passkit::PaymentAuthorizationViewController>(sheetRequest()),
      passkit::Payment(passkit::PaymentToken("{}")),
      [&answer](passkit::PaymentAuthorizationResult result) { answer = std::move(result); });
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->status(), PaymentAuthorizationStatus::success);
  EXPECT_FALSE(answer->errors().has_value());
}

// What a host can do with the manager, checked from outside the SDK's own code.
template <typename Manager>
concept HostStartsASheet = requires(Manager& manager) {
  manager.startPayment(sheetRequest(), [](ApplePayStatus) {});
};
template <typename Manager>
concept HostReadsTheSheetController = requires(const Manager& manager) {
  manager.paymentController();
};
template <typename Manager>
concept HostReadsTheAuthorizationStatus = requires(const Manager& manager) {
  manager.paymentStatus();
};
template <typename Manager>
concept HostReadsTheTokenData = requires(const Manager& manager) {
  manager.paymentDataJson();
};
template <typename Manager>
concept HostReadsTheStoredCompletion = requires(const Manager& manager) {
  manager.completionHandler();
};
template <typename Manager>
concept HostAsksWhetherTheDeviceCanPay = requires(const Manager& manager) {
  manager.isApplePayAvailable();
  manager.isApplePaySetup(std::vector<passkit::PaymentNetwork>{});
};

TEST(ApplePayManagerSurface, HostOnlyAsksWhetherTheDeviceCanPay) {
  EXPECT_TRUE(HostAsksWhetherTheDeviceCanPay<ApplePayManager>);
  EXPECT_FALSE(HostStartsASheet<ApplePayManager>);
  EXPECT_FALSE(HostReadsTheSheetController<ApplePayManager>);
  EXPECT_FALSE(HostReadsTheAuthorizationStatus<ApplePayManager>);
  EXPECT_FALSE(HostReadsTheTokenData<ApplePayManager>);
  EXPECT_FALSE(HostReadsTheStoredCompletion<ApplePayManager>);
}

}  // namespace
}  // namespace keln
