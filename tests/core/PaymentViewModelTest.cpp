#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <keln/core/KelnSDKError.h>
#include <keln/dispatch/MainQueue.h>
#include <keln/foundation/JSONCoding.h>
#include <keln/passkit/Wallet.h>

#include "core/FakeCheckoutScreen.h"
#include "core/GatewayClientHarness.h"
#include "core/SDKConfigFactory.h"
#include "core/flow/CardItemAccess.h"
#include "core/flow/DefaultPaymentService.h"
#include "core/flow/DefaultPaymentViewModel.h"
#include "core/flow/PaymentCoordinator.h"
#include "http/RequestError.h"
#include "presentation/PaymentViewController.h"
#include "support/WireSamples.h"
#include "uikit/NavigationController.h"
#include "uikit/ViewControllerAccess.h"

namespace keln::testing {
namespace {

using Reply = GatewayReply;
using Showing = FakeCheckoutScreen::Showing;
using PaymentResult = Result<TransactionResultSDK>;

constexpr const char* kCheckoutID = "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f";
constexpr const char* kRedirect = "keln://transfer/success";

std::string checkoutReply(const std::vector<std::string>& methods, const std::string& transactionID = kCheckoutID) {
  nlohmann::json reply = nlohmann::json::parse(samples::kCheckoutReply);
  reply["paymentMethodList"] = methods;
  reply["transactionID"] = transactionID;
  return reply.dump();
}

std::string statusReply(const std::string& status, const std::string& transactionID = kCheckoutID) {
  nlohmann::json reply = nlohmann::json::parse(samples::kStatusReply);
  reply["paymentStatus"] = status;
  reply["transactionID"] = transactionID;
  return reply.dump();
}

std::string statusTarget(const std::string& transactionID = kCheckoutID) {
  return "/api/v1/payments/" + transactionID + "/status";
}

TransactionParamsSDK paymentParams() {
  return TransactionParamsSDK(1234, std::nullopt, "order-2024-0001", "Order 2024-0001", 149.99, "PLN",
                              {PaymentMethod::card, PaymentMethod::applePay}, std::nullopt, std::nullopt, std::nullopt,
                              std::nullopt, std::nullopt, std::nullopt, "merchant.com.example");
}

const KelnSDKError* sdkError(const PaymentResult& result) {
  return result.isFailure() ? dynamic_cast<const KelnSDKError*>(result.error().get()) : nullptr;
}

const http::RequestError* requestError(const PaymentResult& result) {
  return result.isFailure() ? dynamic_cast<const http::RequestError*>(result.error().get()) : nullptr;
}

void expectCanceledByUser(const PaymentResult& result) {
  const KelnSDKError* error = sdkError(result);
  ASSERT_NE(error, nullptr) << (result.isFailure() ? result.error()->description() : "success");
  EXPECT_EQ(error->kind(), KelnSDKError::Kind::canceledByUser);
}

struct MenuEntry {
  std::optional<std::string> imageResource;
  std::string title;
  friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
  friend std::ostream& operator<<(std::ostream& out, const MenuEntry& entry) {
    return out << entry.imageResource.value_or("<none>") << "/" << entry.title;
  }
};

std::vector<MenuEntry> entries(const std::vector<CardItem>& items) {
  std::vector<MenuEntry> out;
  for (const CardItem& item : items) out.push_back({CardItemAccess::imageResource(item), CardItemAccess::title(item)});
  return out;
}

const MenuEntry kWalletEntry{"apple_pay", "apple_pay"};
const MenuEntry kOtherMethodsEntry{"more_options", "other_payment_options"};

// How a test starts a checkout; the defaults make an ordinary payment on the local gateway.
struct Start {
  TransactionParamsSDK params = paymentParams();
  std::string root;  // the local gateway unless set
  std::string token = kToken;
  bool storeSource = true;
  std::vector<Result<TransactionResultSDK>>* results = nullptr;  // the fixture's unless set

  Start& withParams(TransactionParamsSDK value) {
    params = std::move(value);
    return *this;
  }
  Start& withRoot(std::string value) {
    root = std::move(value);
    return *this;
  }
  Start& withToken(std::string value) {
    token = std::move(value);
    return *this;
  }
  Start& withoutSource() {
    storeSource = false;
    return *this;
  }
  Start& into(std::vector<Result<TransactionResultSDK>>& value) {
    results = &value;
    return *this;
  }
};

class PaymentViewModelTest : public GatewayClientTest {
 protected:
  enum class Device { noWallet, cannotPay, canPay };

  // One checkout on screen: the screen owns its view model, which owns its service.
  struct Checkout {
    std::shared_ptr<FakeCheckoutScreen> screen;
    std::shared_ptr<DefaultPaymentViewModel> viewModel;
    std::shared_ptr<CountingPaymentService::Counts> counts;
  };

  void SetUp() override {
    GatewayClientTest::SetUp();
    previousWallet_ = passkit::Wallet::install(nullptr);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    templatePath_ = std::filesystem::temp_directory_path() /
                    (std::string("flow-") + info->name() + "-" + std::to_string(::getpid()) + ".html");
    std::ofstream(templatePath_) << kTemplate;
  }

  void TearDown() override {
    std::filesystem::remove(templatePath_);
    passkit::Wallet::install(previousWallet_);
    GatewayClientTest::TearDown();
  }

  void setDevice(Device device) {
    if (device == Device::noWallet) {
      passkit::Wallet::install(nullptr);
      return;
    }
    auto wallet = std::make_shared<passkit::Wallet>();
    wallet->setCanMakePayments(device == Device::canPay);
    passkit::Wallet::install(wallet);
  }

  std::shared_ptr<DefaultPaymentViewModel> makeViewModel(const Start& start,
                                                         std::shared_ptr<CountingPaymentService::Counts>* counts) {
    const std::string root = start.root.empty() ? gateway_.url() : start.root;
    auto service = std::make_shared<CountingPaymentService>(
        std::make_shared<DefaultPaymentService>(makeClient(root, kClientID, start.token)));
    if (counts != nullptr) *counts = service->counts();
    return std::make_shared<DefaultPaymentViewModel>(SDKConfigFactory::withRoot(root, kClientID, start.token),
                                                     start.params, service, templatePath_, coordinator_);
  }

  // Begins a payment and shows its checkout from host_ in the coordinator's navigation
  // controller; loading the screen opens the checkout.
  Checkout startCheckout(Start start = Start()) {
    std::vector<PaymentResult>* results = start.results != nullptr ? start.results : &results_;
    coordinator_->beginPayment();
    if (start.storeSource) coordinator_->setSource(host_);
    coordinator_->setPaymentCompletion([results](PaymentResult result) { results->push_back(std::move(result)); });
    Checkout checkout;
    checkout.viewModel = makeViewModel(start, &checkout.counts);
    checkout.screen = std::make_shared<FakeCheckoutScreen>(checkout.viewModel);
    // Presented before the screen joins it, so that the screen loads (and opens the
    // checkout) with the presentation in place whether or not the navigation
    // controller's view was loaded by an earlier payment.
    const auto& navigation = coordinator_->navigationController();
    uikit::ViewControllerAccess::setModalPresentationStyle(*navigation, uikit::ModalPresentationStyle::fullScreen);
    uikit::ViewControllerAccess::present(*host_, navigation, true);
    navigation->setViewControllers({checkout.screen});
    return checkout;
  }

  // Runs the main queue, without moving its clock, until `condition` holds.
  void runUntil(const std::function<bool()>& condition) { runQueueUntil(condition); }
  void runPending() { dispatch::MainQueue::main().runPending(); }
  void advance(std::chrono::milliseconds by) {
    clock_->advance(by);
    runPending();
  }

  // Opens the checkout and waits for the screen to be told what to show.
  Checkout openCheckout(Start start = Start()) {
    Checkout checkout = startCheckout(std::move(start));
    runUntil([&] { return !checkout.screen->answers().empty(); });
    return checkout;
  }

  // After the payment's ending: the host shows a controller of its own, which any further
  // dismissal asked of the host would take away.
  std::shared_ptr<uikit::ViewController> presentSentinel() {
    runPending();
    EXPECT_EQ(host_->presentedViewController(), nullptr) << "the checkout was not dismissed";
    auto sentinel = std::make_shared<uikit::ViewController>();
    uikit::ViewControllerAccess::present(*host_, sentinel, false);
    runPending();
    return sentinel;
  }

  int getstatusLines() const {
    int count = 0;
    for (const std::string& line : standardOutput()) count += line == "getstatus";
    return count;
  }

  std::size_t statusRequests() const {
    std::size_t count = 0;
    for (const RecordedRequest& request : gateway_.requests()) count += request.method == "GET";
    return count;
  }

  bool checkoutOnScreen() const { return host_->presentedViewController() == coordinator_->navigationController(); }

  static constexpr const char* kTemplate =
      "<form action=\"[[[webURL]]]\">[[[transactionID]]]|[[[context]]]|[[[amount]]]|[[[currency]]]|"
      "[[[redirectURL]]]</form>";

  LocalGateway gateway_;
  std::shared_ptr<PaymentCoordinator> coordinator_ = std::make_shared<PaymentCoordinator>(
      std::make_shared<uikit::NavigationController>(), SDKConfigFactory::withRoot(gateway_.url(), kClientID, kToken),
      &PaymentViewController::makeCheckout);
  std::shared_ptr<uikit::ViewController> host_ = std::make_shared<uikit::ViewController>();
  std::vector<PaymentResult> results_;
  std::filesystem::path templatePath_;
  std::shared_ptr<passkit::Wallet> previousWallet_;
};

TEST_F(PaymentViewModelTest, MenuIsShownOnlyForTheWalletMethodOnADeviceThatCanPay) {
  struct Case {
    const char* name;
    std::vector<std::string> methods;
    Device device;
    PaymentEvent event;
    std::vector<MenuEntry> menu;  // what cardItems() gives, shown or not
  };
  const Case cases[] = {
      {"card and wallet, device can pay",
       {"CARD", "XPAY"},
       Device::canPay,
       PaymentEvent::native,
       {kWalletEntry, kOtherMethodsEntry}},
      {"wallet alone, device can pay", {"XPAY"}, Device::canPay, PaymentEvent::native, {kWalletEntry}},
      {"wallet listed, device cannot pay",
       {"CARD", "XPAY"},
       Device::cannotPay,
       PaymentEvent::webviewTLX,
       {kWalletEntry, kOtherMethodsEntry}},
      {"wallet listed, no wallet on the device",
       {"XPAY", "BLIK"},
       Device::noWallet,
       PaymentEvent::webviewTLX,
       {kWalletEntry, kOtherMethodsEntry}},
      {"wallet code in lower case",
       {"CARD", "xpay"},
       Device::canPay,
       PaymentEvent::webviewTLX,
       {kWalletEntry, kOtherMethodsEntry}},
      {"no wallet method",
       {"CARD", "BLIK"},
       Device::canPay,
       PaymentEvent::webviewTLX,
       {kWalletEntry, kOtherMethodsEntry}},
      {"one method, not the wallet", {"CARD"}, Device::canPay, PaymentEvent::webviewTLX, {kWalletEntry}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setDevice(c.device);
    results_.clear();
    gateway_.clearRequests();
    gateway_.enqueue(Reply::json(200, checkoutReply(c.methods)));
    Checkout checkout = openCheckout();

    ASSERT_EQ(checkout.screen->answers().size(), 1u);
    ASSERT_TRUE(checkout.screen->answers().front().isSuccess());
    EXPECT_EQ(checkout.screen->answers().front().value(), c.event);
    if (c.event == PaymentEvent::native) {
      EXPECT_EQ(checkout.screen->showing(), Showing::menu);
      EXPECT_EQ(entries(checkout.screen->cards()), c.menu);
    } else {
      EXPECT_EQ(checkout.screen->showing(), Showing::webForm);
      EXPECT_TRUE(checkout.screen->page().has_value());
    }
    EXPECT_EQ(entries(checkout.viewModel->cardItems()), c.menu);
    ASSERT_TRUE(checkout.viewModel->transactionResponse().has_value());
    EXPECT_EQ(checkout.viewModel->transactionResponse()->paymentMethodList(), c.methods);

    const std::vector<RecordedRequest> requests = gateway_.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.front().method, "POST");
    EXPECT_EQ(requests.front().target, "/api/v1/payments");
    EXPECT_TRUE(results_.empty());
    EXPECT_TRUE(checkoutOnScreen());
    checkout.screen->close();
    settle();
  }
}

TEST_F(PaymentViewModelTest, PageIsFilledOnceWithTheFirstCheckout) {
  gateway_.enqueue(Reply::json(200, checkoutReply({"CARD", "BLIK"})));
  Checkout checkout = openCheckout();
  ASSERT_EQ(checkout.screen->showing(), Showing::webForm);
  const std::optional<CheckoutResponse> response = checkout.viewModel->transactionResponse()->parse();
  ASSERT_TRUE(response.has_value());
  const std::string expected = "<form action=\"" + gateway_.url() + "\">" + kCheckoutID + "|" +
                               response->formContext() + "|149.99|PLN|" + kRedirect + "</form>";
  EXPECT_EQ(checkout.screen->page(), expected);

  nlohmann::json other = nlohmann::json::parse(checkoutReply({"CARD"}, "another-checkout"));
  other["amount"] = {{"currency", "EUR"}, {"value", 5}};
  const std::optional<CheckoutResponse> otherResponse =
      foundation::JSONDecoder().decode<CheckoutResponseDTO>(other.dump()).parse();
  ASSERT_TRUE(otherResponse.has_value());
  EXPECT_EQ(checkout.viewModel->buildHTML(*otherResponse), expected);

  checkout.screen->back();
  checkout.screen->chooseOtherMethods();
  EXPECT_EQ(checkout.screen->page(), expected);
}

TEST_F(PaymentViewModelTest, UnconvertibleReplyLeavesTheCheckoutOpenUntilClosed) {
  setDevice(Device::canPay);
  nlohmann::json reply = nlohmann::json::parse(checkoutReply({"CARD", "XPAY"}));
  reply["formContext"] = "not Base64!";
  gateway_.enqueue(Reply::json(200, reply.dump()));
  Checkout checkout = openCheckout();
  ASSERT_EQ(checkout.screen->answers().size(), 1u);
  EXPECT_TRUE(checkout.screen->answers().front().isSuccess());
  EXPECT_TRUE(checkout.screen->cards().empty());
  checkout.screen->chooseOtherMethods();
  EXPECT_FALSE(checkout.screen->page().has_value());
  settle();
  EXPECT_TRUE(results_.empty());
  EXPECT_TRUE(checkoutOnScreen());

  checkout.screen->close();
  runUntil([&] { return !results_.empty(); });
  ASSERT_EQ(results_.size(), 1u);
  expectCanceledByUser(results_.front());
}

TEST_F(PaymentViewModelTest, OnlyTheRedirectURLStartsAStatusQuery) {
  gateway_.enqueue(Reply::json(200, checkoutReply({"CARD"})));
  gateway_.setDefaultReply(Reply::json(200, statusReply("Pending")));
  Checkout checkout = openCheckout();
  struct Case {
    const char* url;  // nullptr: the navigation has no URL
    bool redirect;
  };
  const Case cases[] = {
      {"keln://transfer/success", true},
      {"keln://transfer/success?status=OK&id=1", true},
      {"keln://transfer/success/more#end", true},
      {"keln://transfer/successful", true},
      {"KELN://transfer/success", false},
      {"keln://transfer/succes", false},
      {"keln://transfer/", false},
      {"about:blank", false},
      {"https://gateway.example/pay?next=keln://transfer/success", false},
      {nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url != nullptr ? c.url : "<no URL>");
    std::optional<foundation::URL> url;
    if (c.url != nullptr) {
      url = foundation::URL::parse(c.url);
      ASSERT_TRUE(url.has_value());
    }
    EXPECT_EQ(checkout.viewModel->isRedirectURL(url), c.redirect);
    if (c.url == nullptr) continue;
    const int linesBefore = getstatusLines();
    EXPECT_EQ(checkout.screen->navigate(c.url), !c.redirect);
    EXPECT_EQ(getstatusLines(), linesBefore + (c.redirect ? 1 : 0));
  }
  settle();  // the queries started above are answered before the gateway goes
}

TEST_F(PaymentViewModelTest, StatusQueryNeedsAnOpenCheckout) {
  std::shared_ptr<CountingPaymentService::Counts> counts;
  auto viewModel = makeViewModel({}, &counts);
  viewModel->getStatus();
  settle();
  EXPECT_TRUE(standardOutput().empty());
  EXPECT_EQ(counts->statusQueries, 0);
  EXPECT_EQ(gateway_.requestCount(), 0u);
}

TEST_F(PaymentViewModelTest, PendingStatusIsQueriedAgainEveryThreeSecondsUntilFinal) {
  gateway_.enqueue({Reply::json(200, checkoutReply({"CARD"})), Reply::json(200, statusReply("Pending")),
                    Reply::json(200, statusReply("Pending")), Reply::json(200, statusReply("Success"))});
  Checkout checkout = openCheckout();
  EXPECT_FALSE(checkout.screen->navigate("keln://transfer/success?x=1"));

  for (int query = 1; query <= 3; ++query) {
    SCOPED_TRACE("query " + std::to_string(query));
    if (query > 1) {
      advance(std::chrono::milliseconds(2999));
      EXPECT_EQ(getstatusLines(), query - 1);
      EXPECT_EQ(checkout.counts->statusQueries, query - 1);
      advance(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(getstatusLines(), query);
    runUntil([&] { return checkout.counts->statusAnswers == query; });
    EXPECT_EQ(statusRequests(), static_cast<std::size_t>(query));
    if (query < 3) {
      EXPECT_TRUE(results_.empty());
    }
  }

  runUntil([&] { return !results_.empty(); });
  auto sentinel = presentSentinel();
  settle();
  ASSERT_EQ(results_.size(), 1u);
  ASSERT_TRUE(results_.front().isSuccess());
  EXPECT_TRUE(results_.front().value().isSuccess());
  EXPECT_EQ(results_.front().value().transactionID(), kCheckoutID);
  EXPECT_EQ(results_.front().value().paymentStatus(), PaymentStatus::success);
  EXPECT_EQ(getstatusLines(), 3);
  EXPECT_EQ(statusRequests(), 3u);
  for (const RecordedRequest& request : gateway_.requests()) {
    if (request.method == "GET") {
      EXPECT_EQ(request.target, statusTarget());
    }
  }
  EXPECT_EQ(host_->presentedViewController(), sentinel);
}

TEST_F(PaymentViewModelTest, FinalStatusOtherThanSuccessEndsWithAnUnsuccessfulResult) {
  for (auto [text, status] :
       {std::pair{"Declined", PaymentStatus::declined}, std::pair{"Error", PaymentStatus::error}}) {
    SCOPED_TRACE(text);
    results_.clear();
    gateway_.clearRequests();
    gateway_.enqueue({Reply::json(200, checkoutReply({"CARD"})), Reply::json(200, statusReply(text))});
    Checkout checkout = openCheckout();
    checkout.screen->navigate(kRedirect);
    runUntil([&] { return !results_.empty(); });
    auto sentinel = presentSentinel();
    settle();
    ASSERT_EQ(results_.size(), 1u);
    ASSERT_TRUE(results_.front().isSuccess());
    EXPECT_FALSE(results_.front().value().isSuccess());
    EXPECT_EQ(results_.front().value().paymentStatus(), status);
    EXPECT_EQ(statusRequests(), 1u);
    EXPECT_EQ(host_->presentedViewController(), sentinel);
    uikit::ViewControllerAccess::dismiss(*host_, false);
    runPending();
  }
}

TEST_F(PaymentViewModelTest, FailedStatusQueryEndsThePaymentWithItsError) {
  gateway_.enqueue(Reply::json(200, checkoutReply({"CARD"})));
  gateway_.setDefaultReply(Reply::json(500, R"({"error":"boom"})"));
  Checkout checkout = openCheckout();
  checkout.screen->navigate(kRedirect);
  drive([&] { return !results_.empty(); });
  auto sentinel = presentSentinel();
  settle();
  ASSERT_EQ(results_.size(), 1u);
  const http::RequestError* error = requestError(results_.front());
  ASSERT_NE(error, nullptr) << (results_.front().isFailure() ? results_.front().error()->description() : "success");
  EXPECT_EQ(error->responseCode(), 500);
  EXPECT_EQ(getstatusLines(), 1);
  EXPECT_EQ(statusRequests(), 1u + DefaultNetworkClient::kRetryLimit);
  EXPECT_EQ(host_->presentedViewController(), sentinel);
}

TEST_F(PaymentViewModelTest, FailedCheckoutCallEndsThePaymentWithoutAnsweringTheScreen) {
  struct Case {
    const char* name;
    Start start;
    std::function<void(LocalGateway&)> script;
    std::function<void(const PaymentResult&)> check;
  };
  const Case cases[] = {
      {"gateway rejects the checkout", Start(), [](LocalGateway& g) { g.setDefaultReply(Reply::json(503, "{}")); },
       [](const PaymentResult& r) {
         const http::RequestError* error = requestError(r);
         ASSERT_NE(error, nullptr);
         EXPECT_EQ(error->responseCode(), 503);
       }},
      {"gateway unreachable", Start().withRoot(LocalGateway::refusedURL()), [](LocalGateway&) {},
       [](const PaymentResult& r) {
         const http::RequestError* error = requestError(r);
         ASSERT_NE(error, nullptr);
         EXPECT_EQ(error->kind(), http::RequestError::Kind::sessionTaskFailed);
       }},
      {"no token", Start().withToken(""), [](LocalGateway&) {},
       [](const PaymentResult& r) {
         const KelnSDKError* error = sdkError(r);
         ASSERT_NE(error, nullptr);
         EXPECT_EQ(error->errorDescription(), "Incorrect token");
       }},
      {"reply is not a checkout", Start(),
       [](LocalGateway& g) { g.setDefaultReply(Reply::json(200, R"({"amount":1})")); },
       [](const PaymentResult& r) {
         ASSERT_TRUE(r.isFailure());
         EXPECT_NE(dynamic_cast<const foundation::DecodingError*>(r.error().get()), nullptr);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    results_.clear();
    c.script(gateway_);
    Checkout checkout = startCheckout(c.start);
    drive([&] { return !results_.empty(); });
    auto sentinel = presentSentinel();
    settle();
    ASSERT_EQ(results_.size(), 1u);
    c.check(results_.front());
    EXPECT_TRUE(checkout.screen->answers().empty());
    EXPECT_FALSE(checkout.viewModel->transactionResponse().has_value());
    EXPECT_EQ(host_->presentedViewController(), sentinel);
    uikit::ViewControllerAccess::dismiss(*host_, false);
    runPending();
  }
}

TEST_F(PaymentViewModelTest, CloseWhilePollingEndsThePaymentAndStopsPolling) {
  struct Case {
    const char* name;
    bool queryInFlight;  // closed before the first status answer has arrived
  };
  for (const Case& c : {Case{"while the next query waits", false}, Case{"while a query is in flight", true}}) {
    SCOPED_TRACE(c.name);
    results_.clear();
    gateway_.clearRequests();
    gateway_.enqueue(Reply::json(200, checkoutReply({"CARD"})));
    gateway_.setDefaultReply(Reply::json(200, statusReply(c.queryInFlight ? "Success" : "Pending")));
    Checkout checkout = openCheckout();
    checkout.screen->navigate(kRedirect);
    if (!c.queryInFlight) runUntil([&] { return checkout.counts->statusAnswers == 1; });
    checkout.screen->close();
    runUntil([&] { return !results_.empty() && checkout.counts->statusAnswers == 1; });
    auto sentinel = presentSentinel();
    settle();
    ASSERT_EQ(results_.size(), 1u);
    expectCanceledByUser(results_.front());
    EXPECT_EQ(checkout.counts->statusQueries, 1);
    EXPECT_EQ(getstatusLines(), 1);
    EXPECT_EQ(statusRequests(), 1u);
    EXPECT_EQ(host_->presentedViewController(), sentinel);
    capture_.clear();
    uikit::ViewControllerAccess::dismiss(*host_, false);
    runPending();
  }
}

TEST_F(PaymentViewModelTest, EndingsAfterTheFirstDeliverNothing) {
  using Action = std::function<void(Checkout&)>;
  const Action redirect = [](Checkout& c) { c.screen->navigate(kRedirect); };
  const Action close = [](Checkout& c) { c.screen->close(); };
  const Action walletSuccess = [](Checkout& c) { c.screen->walletFinished(ApplePayStatus::success); };
  const Action walletError = [](Checkout& c) { c.screen->walletFinished(ApplePayStatus::error); };
  const auto waitForStatusAnswers = [this](int count) -> Action {
    return [this, count](Checkout& c) { runUntil([&] { return c.counts->statusAnswers == count; }); };
  };
  const auto isSuccess = [](const PaymentResult& r) {
    ASSERT_TRUE(r.isSuccess());
    EXPECT_TRUE(r.value().isSuccess());
  };
  const auto isDeclined = [](const PaymentResult& r) {
    ASSERT_TRUE(r.isSuccess());
    EXPECT_FALSE(r.value().isSuccess());
  };

  struct Case {
    const char* name;
    std::vector<Reply> statusReplies;  // in the order the queries reach the gateway
    std::vector<Action> first;         // up to the first ending
    std::vector<Action> later;         // what follows it
    std::function<void(const PaymentResult&)> check;
    int statusQueries;
    std::size_t statusRequests;
  };
  const Case cases[] = {
      {"a second chain's final status",
       {Reply::json(200, statusReply("Pending")), Reply::json(200, statusReply("Declined"))},
       {redirect, waitForStatusAnswers(1), redirect, waitForStatusAnswers(2)},
       {[this](Checkout&) { advance(std::chrono::seconds(3)); }},
       isDeclined,
       2,
       2},
      {"a chain's final status after the close button",
       {Reply::json(200, statusReply("Success"))},
       {redirect, close},
       {waitForStatusAnswers(1)},
       expectCanceledByUser,
       1,
       1},
      {"a chain's failure after the wallet's success",
       std::vector<Reply>(1 + DefaultNetworkClient::kRetryLimit, Reply::json(500, "{}")),
       {redirect, walletSuccess},
       {[this](Checkout& c) { drive([&] { return c.counts->statusAnswers == 1; }); }},
       isSuccess,
       1,
       1 + DefaultNetworkClient::kRetryLimit},
      {"close after a final status",
       {Reply::json(200, statusReply("Success"))},
       {redirect, waitForStatusAnswers(1)},
       {close},
       isSuccess,
       1,
       1},
      {"wallet outcomes after a final status",
       {Reply::json(200, statusReply("Declined"))},
       {redirect, waitForStatusAnswers(1)},
       {walletSuccess, walletError},
       isDeclined,
       1,
       1},
      {"a new redirect after the wallet's error",
       {},
       {walletError},
       {redirect, redirect},
       [](const PaymentResult& r) {
         const KelnSDKError* error = sdkError(r);
         ASSERT_NE(error, nullptr);
         EXPECT_EQ(error->kind(), KelnSDKError::Kind::applePayError);
       },
       0,
       0},
  };
  // A query that should never have been sent would end the payment a second time.
  gateway_.setDefaultReply(Reply::json(200, statusReply("Success")));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    results_.clear();
    capture_.clear();
    gateway_.clearRequests();
    gateway_.enqueue(Reply::json(200, checkoutReply({"CARD", "XPAY"})));
    gateway_.enqueue(c.statusReplies);
    Checkout checkout = openCheckout();
    for (const Action& action : c.first) action(checkout);
    runUntil([&] { return !results_.empty(); });
    auto sentinel = presentSentinel();
    for (const Action& action : c.later) action(checkout);
    settle();

    ASSERT_EQ(results_.size(), 1u);
    c.check(results_.front());
    EXPECT_EQ(checkout.counts->statusQueries, c.statusQueries);
    EXPECT_EQ(getstatusLines(), c.statusQueries);
    EXPECT_EQ(statusRequests(), c.statusRequests);
    EXPECT_EQ(host_->presentedViewController(), sentinel);
    uikit::ViewControllerAccess::dismiss(*host_, false);
    runPending();
  }
}

TEST_F(PaymentViewModelTest, WalletOutcomes) {
  struct Case {
    ApplePayStatus status;
    std::function<void(const std::vector<PaymentResult>&)> check;
    bool ends;
  };
  const Case cases[] = {
      {ApplePayStatus::userCancelled, [](const std::vector<PaymentResult>& r) { EXPECT_TRUE(r.empty()); }, false},
      {ApplePayStatus::success,
       [](const std::vector<PaymentResult>& r) {
         ASSERT_EQ(r.size(), 1u);
         ASSERT_TRUE(r.front().isSuccess());
         const TransactionResultSDK& result = r.front().value();
         EXPECT_TRUE(result.isSuccess());
         EXPECT_EQ(result.transactionID(), kCheckoutID);
         EXPECT_FALSE(result.token() || result.merchant() || result.paymentType() || result.paymentStatus() ||
                      result.paymentMethod() || result.execution() || result.returnStatus());
       },
       true},
      {ApplePayStatus::error,
       [](const std::vector<PaymentResult>& r) {
         ASSERT_EQ(r.size(), 1u);
         const KelnSDKError* error = sdkError(r.front());
         ASSERT_NE(error, nullptr);
         EXPECT_EQ(error->kind(), KelnSDKError::Kind::applePayError);
         EXPECT_EQ(error->errorDescription(), "Apple Pay Error");
       },
       true},
  };
  setDevice(Device::canPay);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.status));
    results_.clear();
    capture_.clear();
    gateway_.clearRequests();
    gateway_.enqueue(Reply::json(200, checkoutReply({"CARD", "XPAY"})));
    Checkout checkout = openCheckout();
    ASSERT_EQ(checkout.screen->showing(), Showing::menu);
    checkout.screen->walletFinished(c.status);
    settle();
    c.check(results_);
    EXPECT_EQ(standardOutput(), c.ends ? std::vector<std::string>{} : std::vector<std::string>{"user cancelled"});
    EXPECT_EQ(checkoutOnScreen(), !c.ends);
    EXPECT_EQ(gateway_.requestCount(), 1u);
    if (checkoutOnScreen()) checkout.screen->close();
    settle();
  }
}

TEST_F(PaymentViewModelTest, WalletSuccessBeforeTheCheckoutReplyCarriesNoTransactionID) {
  gateway_.enqueue(Reply::json(200, checkoutReply({"CARD"})));
  Checkout checkout = startCheckout();
  checkout.screen->walletFinished(ApplePayStatus::success);
  runUntil([&] { return !results_.empty() && checkout.counts->checkoutAnswers == 1; });
  settle();
  ASSERT_EQ(results_.size(), 1u);
  ASSERT_TRUE(results_.front().isSuccess());
  EXPECT_TRUE(results_.front().value().isSuccess());
  EXPECT_FALSE(results_.front().value().transactionID().has_value());
}

TEST_F(PaymentViewModelTest, NothingIsDeliveredWithoutCoordinator) {
  gateway_.enqueue({Reply::json(200, checkoutReply({"CARD"})), Reply::json(200, statusReply("Success"))});
  Checkout checkout = openCheckout();
  const std::shared_ptr<uikit::NavigationController> navigation = coordinator_->navigationController();
  coordinator_.reset();
  checkout.screen->navigate(kRedirect);
  checkout.screen->walletFinished(ApplePayStatus::error);
  runUntil([&] { return checkout.counts->statusAnswers == 1; });
  settle();
  EXPECT_TRUE(results_.empty());
  EXPECT_EQ(host_->presentedViewController(), navigation);
  EXPECT_FALSE(checkout.viewModel->hasEnded());
  uikit::ViewControllerAccess::dismiss(*host_, false);
  runPending();
}

// The host let go of the controller it presented from (or none was stored): the payment
// still ends once, on the main queue, with the first ending found, and nothing of it stays
// on screen.
TEST_F(PaymentViewModelTest, PaymentWhosePresenterIsGoneStillDeliversItsOneResult) {
  struct Case {
    const char* name;
    bool storeSource;
    std::function<void()> lose;
  };
  const Case cases[] = {
      {"no presenting controller stored", false, [] {}},
      {"presenting controller released", true,
       [this] { coordinator_->setSource(std::make_shared<uikit::ViewController>()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    results_.clear();
    gateway_.clearRequests();
    gateway_.enqueue({Reply::json(200, checkoutReply({"CARD"})), Reply::json(200, statusReply("Success"))});
    Checkout checkout = openCheckout(c.storeSource ? Start() : Start().withoutSource());
    c.lose();
    checkout.screen->navigate(kRedirect);
    checkout.screen->walletFinished(ApplePayStatus::error);
    EXPECT_TRUE(results_.empty()) << "the result is handed over on the main queue";
    runUntil([&] { return checkout.counts->statusAnswers == 1; });
    settle();
    ASSERT_EQ(results_.size(), 1u);
    const KelnSDKError* error = sdkError(results_.front());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->kind(), KelnSDKError::Kind::applePayError);
    EXPECT_TRUE(checkout.viewModel->hasEnded());
    EXPECT_FALSE(checkoutOnScreen());
    checkout.screen->close();
    settle();
    EXPECT_EQ(results_.size(), 1u);
  }
}

TEST_F(PaymentViewModelTest, FailureFoundWithoutPresenterIsDeliveredOnce) {
  Checkout checkout = startCheckout(Start().withToken("").withoutSource());
  EXPECT_TRUE(results_.empty()) << "the result is handed over on the main queue";
  runPending();
  ASSERT_EQ(results_.size(), 1u);
  const KelnSDKError* error = sdkError(results_.front());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->kind(), KelnSDKError::Kind::sdkNotConfigured);
  EXPECT_EQ(error->message(), "Incorrect token");
  EXPECT_FALSE(checkoutOnScreen());
  checkout.screen->close();
  settle();
  EXPECT_EQ(results_.size(), 1u);
  EXPECT_EQ(gateway_.requestCount(), 0u);
}

// The next payment starts while the first checkout is still open and its screen is kept
// alive (as the wallet manager keeps a screen whose sheet it showed).
TEST_F(PaymentViewModelTest, ReplacedPaymentEndsOnceStopsPollingAndReachesNothingOfTheNext) {
  struct Case {
    const char* name;
    const char* firstStatus;
    bool waitForTheFirstAnswer;  // else its query is still in flight at the replacement
  };
  const Case cases[] = {
      {"while the next query waits", "Pending", true},
      {"while a query is in flight", "Success", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gateway_.setResponder([&c](const RecordedRequest& request) {
      if (request.method == "POST") {
        const nlohmann::json body = nlohmann::json::parse(request.body);
        return Reply::json(200, checkoutReply({"CARD", "XPAY"}, body["merchant"]["merchantTransactionId"]));
      }
      if (request.target == statusTarget("first")) return Reply::json(200, statusReply(c.firstStatus, "first"));
      return Reply::json(200, statusReply("Pending", "second"));
    });
    std::vector<PaymentResult> firstResults;
    std::vector<PaymentResult> secondResults;
    TransactionParamsSDK firstParams(1, std::nullopt, "first", "1", 10, "PLN", {PaymentMethod::card}, std::nullopt,
                                     std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                     std::nullopt);
    TransactionParamsSDK secondParams(1, std::nullopt, "second", "2", 20, "PLN", {PaymentMethod::card}, std::nullopt,
                                      std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                      std::nullopt);

    Checkout first = openCheckout(Start().withParams(firstParams).into(firstResults));
    first.screen->navigate(kRedirect);
    if (c.waitForTheFirstAnswer) runUntil([&] { return first.counts->statusAnswers == 1; });
    Checkout second = openCheckout(Start().withParams(secondParams).into(secondResults));
    runUntil([&] { return !firstResults.empty() && first.counts->statusAnswers == 1; });
    settle();

    ASSERT_EQ(firstResults.size(), 1u);
    const KelnSDKError* error = sdkError(firstResults.front());
    ASSERT_NE(error, nullptr) << (firstResults.front().isFailure() ? "other error" : "success");
    EXPECT_EQ(error->kind(), KelnSDKError::Kind::sdkNotConfigured);
    EXPECT_EQ(error->errorDescription(), "Payment replaced by a newer payment");
    EXPECT_EQ(first.counts->statusQueries, 1);
    EXPECT_TRUE(secondResults.empty());
    ASSERT_TRUE(checkoutOnScreen());
    EXPECT_EQ(coordinator_->navigationController()->topViewController(), second.screen);

    // Whatever else the replaced screen reports reaches nobody and dismisses nothing.
    first.screen->walletFinished(ApplePayStatus::success);
    first.screen->navigate(kRedirect);
    first.screen->close();
    settle();
    EXPECT_EQ(firstResults.size(), 1u);
    EXPECT_EQ(first.counts->statusQueries, 1);
    EXPECT_TRUE(secondResults.empty());
    EXPECT_TRUE(checkoutOnScreen());

    second.screen->navigate(kRedirect);
    runUntil([&] { return second.counts->statusAnswers == 1; });
    second.screen->close();
    runUntil([&] { return !secondResults.empty(); });
    settle();
    ASSERT_EQ(secondResults.size(), 1u);
    expectCanceledByUser(secondResults.front());
    EXPECT_EQ(firstResults.size(), 1u);
    EXPECT_EQ(second.counts->statusQueries, 1);
  }
}

TEST_F(PaymentViewModelTest, FailureWhileTheNextCheckoutIsSetUpReachesNoEarlierCompletion) {
  std::vector<PaymentResult> firstResults;
  std::vector<PaymentResult> secondResults;
  gateway_.enqueue(Reply::json(200, checkoutReply({"CARD"})));
  Checkout first = openCheckout(Start().into(firstResults));
  first.screen->close();
  runUntil([&] { return !firstResults.empty(); });

  // The next payment is set up as a start does it: the screen joins the (already loaded)
  // navigation controller before it is presented, and the presenter and completion are
  // stored last. Its checkout fails at once, before any of that.
  coordinator_->beginPayment();
  std::shared_ptr<CountingPaymentService::Counts> counts;
  auto screen = std::make_shared<FakeCheckoutScreen>(makeViewModel(Start().withToken(""), &counts));
  const auto& navigation = coordinator_->navigationController();
  navigation->setViewControllers({screen});
  uikit::ViewControllerAccess::present(*host_, navigation, true);
  coordinator_->setSource(host_);
  coordinator_->setPaymentCompletion([&](PaymentResult result) { secondResults.push_back(std::move(result)); });
  settle();
  EXPECT_EQ(firstResults.size(), 1u);
  ASSERT_EQ(secondResults.size(), 1u);
  const KelnSDKError* error = sdkError(secondResults.front());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->message(), "Incorrect token");

  screen->close();
  settle();
  EXPECT_EQ(firstResults.size(), 1u);
  EXPECT_EQ(secondResults.size(), 1u);
  uikit::ViewControllerAccess::dismiss(*host_, false);
  runPending();
}

TEST_F(PaymentViewModelTest, OnlyWebAndMailLinksOpenOutside) {
  gateway_.enqueue(Reply::json(200, checkoutReply({"CARD"})));
  Checkout checkout = openCheckout();
  struct Case {
    const char* url;
    bool opens;
  };
  const Case cases[] = {
      {"http://shop.example/terms", true},
      {"https://shop.example/terms?x=1#top", true},
      {"HTTPS://SHOP.EXAMPLE/TERMS", true},
      {"hTtP://shop.example", true},
      {"mailto:help@shop.example", true},
      {"MailTo:help@shop.example?subject=http://x", true},
      {"javascript:alert('http://shop.example')", false},
      {"JavaScript://http://evil.example/%0Aalert(1)", false},
      {"file:///etc/passwd?https://shop.example", false},
      {"intent://scan/#Intent;scheme=http://;package=evil;end", false},
      {"tel:+48123456789?note=http://x", false},
      {"data:text/html,<a href=\"http://evil.example\">x</a>", false},
      {"shopapp://open?next=http://evil.example", false},
      {"keln://transfer/success?back=https://shop.example", false},
      {"httpx://shop.example", false},
      {"https-evil://shop.example", false},
      {"mailtox:help@shop.example", false},
      {"ftp://files.example/http://", false},
      {"about:blank", false},
      {"//evil.example/http://x", false},
      {"shop.example/http://x", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    const std::optional<foundation::URL> url = foundation::URL::parse(c.url);
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(checkout.screen->requestNewWindow(*url), c.opens);
  }
}

}  // namespace
}  // namespace keln::testing
