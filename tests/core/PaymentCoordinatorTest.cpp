#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/core/KelnSDKError.h>
#include <keln/dispatch/MainQueue.h>
#include <keln/uikit/ViewController.h>

#include "core/SDKConfigFactory.h"
#include "core/flow/DefaultPaymentViewModel.h"
#include "core/flow/PaymentCoordinator.h"
#include "core/flow/PaymentService.h"
#include "dispatch/MainQueueAccess.h"
#include "presentation/PaymentViewController.h"
#include "uikit/NavigationController.h"
#include "uikit/ViewControllerAccess.h"

namespace keln {
namespace {

using PaymentResult = Result<TransactionResultSDK>;

PaymentResult successfulResult(const std::string& transactionID) {
  return PaymentResult::success(TransactionResultSDK(true, transactionID, std::nullopt, std::nullopt, std::nullopt,
                                                     std::nullopt, std::nullopt, std::nullopt, std::nullopt));
}

PaymentResult cancelledResult() { return PaymentResult::failure(makeError(KelnSDKError::canceledByUser())); }

// Answers nothing: these tests end payments without the gateway.
class SilentPaymentService final : public PaymentService {
 public:
  void createCheckout(const CheckoutRequest&, std::function<void(Result<CheckoutResponseDTO>)>) override {}
  void getTransactionStatus(const std::string&, std::function<void(Result<TransactionStatus>)>) override {}
};

class PaymentCoordinatorTest : public ::testing::Test {
 protected:
  void SetUp() override { dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main()); }
  void TearDown() override { dispatch::MainQueueAccess::discardPending(dispatch::MainQueue::main()); }

  static std::shared_ptr<PaymentCoordinator> makeCoordinator() {
    return std::make_shared<PaymentCoordinator>(std::make_shared<uikit::NavigationController>(),
                                                SDKConfigFactory::withRoot("http://127.0.0.1:9", "client", "token"),
                                                &PaymentViewController::makeCheckout);
  }

  static PaymentCoordinator::Completion recordInto(std::vector<PaymentResult>& results) {
    return [&results](PaymentResult result) { results.push_back(std::move(result)); };
  }
};

TEST_F(PaymentCoordinatorTest, FinishHandsTheResultToTheStoredCompletion) {
  struct Case {
    const char* name;
    bool withCompletion;
    PaymentResult result;
  };
  const Case cases[] = {
      {"success", true, successfulResult("tx-1")},
      {"failure", true, cancelledResult()},
      {"no completion", false, successfulResult("tx-1")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto coordinator = makeCoordinator();
    std::vector<PaymentResult> results;
    coordinator->beginPayment();
    if (c.withCompletion) coordinator->setPaymentCompletion(recordInto(results));
    coordinator->finish(c.result);
    if (!c.withCompletion) {
      EXPECT_TRUE(results.empty());
      continue;
    }
    ASSERT_EQ(results.size(), 1u);
    if (c.result.isSuccess()) {
      ASSERT_TRUE(results.front().isSuccess());
      EXPECT_EQ(results.front().value().transactionID(), c.result.value().transactionID());
    } else {
      ASSERT_TRUE(results.front().isFailure());
      EXPECT_EQ(results.front().error(), c.result.error());
    }
    EXPECT_TRUE(coordinator->paymentCompletion() != nullptr);
  }
}

TEST_F(PaymentCoordinatorTest, ReplacedPaymentEndsOnceAndNoResultCrossesToTheOther) {
  auto coordinator = makeCoordinator();
  std::vector<PaymentResult> first;
  std::vector<PaymentResult> second;
  const std::uint64_t firstPayment = coordinator->beginPayment();
  coordinator->setPaymentCompletion(recordInto(first));
  const std::uint64_t secondPayment = coordinator->beginPayment();
  coordinator->setPaymentCompletion(recordInto(second));
  ASSERT_NE(firstPayment, secondPayment);

  coordinator->finish(successfulResult("first"), firstPayment);
  EXPECT_TRUE(first.empty());
  EXPECT_TRUE(second.empty());

  dispatch::MainQueue::main().runPending();
  ASSERT_EQ(first.size(), 1u);
  ASSERT_TRUE(first.front().isFailure());
  const auto* error = dynamic_cast<const KelnSDKError*>(first.front().error().get());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->kind(), KelnSDKError::Kind::sdkNotConfigured);
  EXPECT_EQ(error->errorDescription(), "Payment replaced by a newer payment");

  coordinator->finish(successfulResult("second"), secondPayment);
  coordinator->finish(cancelledResult(), secondPayment);
  coordinator->beginPayment();
  dispatch::MainQueue::main().runPending();
  EXPECT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second.front().value().transactionID(), "second");
}

TEST_F(PaymentCoordinatorTest, CompletionMayStartTheNextPayment) {
  auto coordinator = makeCoordinator();
  std::vector<PaymentResult> first;
  std::vector<PaymentResult> next;
  const std::string held(256, 'x');  // state the running completion owns
  coordinator->beginPayment();
  coordinator->setPaymentCompletion([&, held, coordinator = coordinator.get()](PaymentResult result) {
    coordinator->beginPayment();
    coordinator->setPaymentCompletion(recordInto(next));
    first.push_back(std::move(result));
    EXPECT_EQ(held.size(), 256u);
  });
  coordinator->finish(cancelledResult());
  EXPECT_EQ(first.size(), 1u);
  EXPECT_TRUE(next.empty());
}

// The checkout's ending reaches the host only when the dismissal completes; by then the
// coordinator may be gone or may have begun another payment, which does not take the
// ending over.
TEST_F(PaymentCoordinatorTest, DismissalThatCompletesLateDeliversToItsOwnPaymentOnly) {
  struct Case {
    const char* name;
    std::function<void(std::shared_ptr<PaymentCoordinator>&, std::vector<PaymentResult>&)> meanwhile;
    bool delivered;
  };
  const Case cases[] = {
      {"nothing happens meanwhile", [](auto&, auto&) {}, true},
      {"coordinator released", [](auto& coordinator, auto&) { coordinator.reset(); }, false},
      {"next payment begun",
       [](auto& coordinator, auto& next) {
         coordinator->beginPayment();
         coordinator->setPaymentCompletion(recordInto(next));
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto coordinator = makeCoordinator();
    auto host = std::make_shared<uikit::ViewController>();
    std::vector<PaymentResult> results;
    std::vector<PaymentResult> next;
    coordinator->beginPayment();
    coordinator->setSource(host);
    coordinator->setPaymentCompletion(recordInto(results));
    auto viewModel = std::make_shared<DefaultPaymentViewModel>(
        coordinator->config(),
        TransactionParamsSDK(1, std::nullopt, "order-1", "Order 1", 10, "PLN", {PaymentMethod::card}, std::nullopt,
                             std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt),
        std::make_shared<SilentPaymentService>(), "/nonexistent/template.html", coordinator);
    uikit::ViewControllerAccess::present(*host, coordinator->navigationController(), true);
    dispatch::MainQueue::main().runPending();

    viewModel->cancelPayment();
    EXPECT_EQ(host->presentedViewController(), nullptr);
    c.meanwhile(coordinator, next);
    dispatch::MainQueue::main().runPending();

    ASSERT_EQ(results.size(), c.delivered ? 1u : 0u);
    if (c.delivered) {
      const auto* error =
          dynamic_cast<const KelnSDKError*>(results.front().isFailure() ? results.front().error().get() : nullptr);
      ASSERT_NE(error, nullptr);
      EXPECT_EQ(error->kind(), KelnSDKError::Kind::canceledByUser);
    }
    EXPECT_TRUE(next.empty());
  }
}

}  // namespace
}  // namespace keln
