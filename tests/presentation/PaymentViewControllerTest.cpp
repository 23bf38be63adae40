// The checkout screen driven as a user drives it: a payment started through the SDK on
// the local gateway, the menu tapped, the bar button pressed, the web form's page
// navigating or asking for new windows, the wallet sheet answered.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/core/KelnSDKError.h>
#include <keln/dispatch/MainQueue.h>
#include <keln/passkit/Wallet.h>
#include <keln/presentation/ApplePayManager.h>
#include <keln/sdk/SDK.h>
#include <keln/uikit/Application.h>

#include <keln/passkit/Decimal.h>
#include <keln/passkit/PaymentAuthorizationController.h>
#include <keln/passkit/PaymentRequest.h>
#include "core/GatewayClientHarness.h"
#include "core/SDKConfigFactory.h"
#include "foundation/Base64.h"
#include "foundation/Bundle.h"
#include "foundation/URL.h"
#include "presentation/CardCollectionViewCell.h"
#include "presentation/PaymentViewController.h"
#include "presentation/applepay/ApplePayManagerAccess.h"
#include "sdk/SDKAccess.h"
#include "support/WireSamples.h"
#include "uikit/BarButtonItem.h"
#include "uikit/Coder.h"
#include "uikit/GeometryPrinters.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"
#include "uikit/NavigationItem.h"
#include "uikit/ViewControllerAccess.h"
#include "webkit/WebView.h"

namespace keln::testing {
namespace {

using PaymentResult = Result<TransactionResultSDK>;
using webkit::NavigationActionPolicy;

constexpr const char* kCheckoutID = "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f";
constexpr const char* kWalletLine = "request build apple deu errado ";

std::string checkoutReply(const std::vector<std::string>& methods,
                          const std::function<void(nlohmann::json&)>& edit = nullptr) {
  nlohmann::json reply = nlohmann::json::parse(samples::kCheckoutReply);
  reply["paymentMethodList"] = methods;
  if (edit) edit(reply);
  return reply.dump();
}

std::string statusReply(const std::string& status) {
  nlohmann::json reply = nlohmann::json::parse(samples::kStatusReply);
  reply["paymentStatus"] = status;
  reply["transactionID"] = kCheckoutID;
  return reply.dump();
}

// The reply's wallet data without the card acceptor's country.
void dropAcceptorCountry(nlohmann::json& reply) {
  nlohmann::json parameter = nlohmann::json::parse(samples::kExternalParameter);
  parameter["XPAY"]["GenericData"].erase("AcceptorCountryCode");
  reply["externalParameter"] = foundation::base64Encode(parameter.dump());
}

TransactionParamsSDK paymentParams(std::optional<std::string> walletMerchant = "merchant.com.example") {
  return TransactionParamsSDK(1234, std::nullopt, "order-2024-0001", "Order 2024-0001", 149.99, "PLN",
                              {PaymentMethod::card, PaymentMethod::applePay}, std::nullopt, std::nullopt, std::nullopt,
                              std::nullopt, std::nullopt, std::nullopt, std::move(walletMerchant));
}

void expectCanceledByUser(const std::vector<PaymentResult>& results) {
  ASSERT_EQ(results.size(), 1U);
  ASSERT_TRUE(results[0].isFailure());
  const auto* error = dynamic_cast<const KelnSDKError*>(results[0].error().get());
  ASSERT_NE(error, nullptr) << results[0].error()->description();
  EXPECT_EQ(error->kind(), KelnSDKError::Kind::canceledByUser);
}

void expectCloseItem(PaymentViewController& screen) {
  const auto& item = screen.navigationItem().leftBarButtonItem();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->systemItem(), uikit::BarButtonItem::SystemItem::close);
  EXPECT_FALSE(item->image().has_value());
  EXPECT_EQ(item->target().get(), static_cast<void*>(&screen));
}

void expectBackItem(PaymentViewController& screen) {
  const auto& item = screen.navigationItem().leftBarButtonItem();
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(item->systemItem().has_value());
  EXPECT_EQ(item->image(), uikit::Image::systemImage("chevron.backward"));
  EXPECT_EQ(item->style(), uikit::BarButtonItem::Style::plain);
  EXPECT_EQ(item->target().get(), static_cast<void*>(&screen));
}

bool menuShown(PaymentViewController& screen) {
  return !screen.contentView()->collectionView()->isHidden() && screen.contentView()->webView()->isHidden();
}

bool webFormShown(PaymentViewController& screen) {
  return screen.contentView()->collectionView()->isHidden() && !screen.contentView()->webView()->isHidden();
}

// Stands between the web view and the screen and notes, for each navigation the screen
// decides, its policy and how many status queries had started by then.
class DecisionRecorder final : public webkit::NavigationDelegate {
 public:
  struct Decision {
    NavigationActionPolicy policy;
    int statusQueriesStarted;
  };

  DecisionRecorder(std::shared_ptr<webkit::NavigationDelegate> screen, std::function<int()> statusQueries)
      : screen_(std::move(screen)), statusQueries_(std::move(statusQueries)) {}

  void webView(const std::shared_ptr<webkit::WebView>& webView, const webkit::NavigationAction& action,
               DecisionHandler handler) override {
    screen_->webView(webView, action, [this, handler](NavigationActionPolicy policy) {
      decisions.push_back({policy, statusQueries_()});
      handler(policy);
    });
  }
  void webView(const std::shared_ptr<webkit::WebView>& webView,
               const std::shared_ptr<webkit::Navigation>& navigation) override {
    screen_->webView(webView, navigation);
  }
  void webView(const std::shared_ptr<webkit::WebView>& webView, const std::shared_ptr<webkit::Navigation>& navigation,
               const Error& error) override {
    screen_->webView(webView, navigation, error);
  }

  std::vector<Decision> decisions;

 private:
  std::shared_ptr<webkit::NavigationDelegate> screen_;
  std::function<int()> statusQueries_;
};

class PaymentViewControllerTest : public GatewayClientTest {
 protected:
  enum class Device { noWallet, cannotPay, canPay };

  void SetUp() override {
    GatewayClientTest::SetUp();
    previousWallet_ = passkit::Wallet::install(nullptr);
    uikit::Application::shared().setURLOpener([this](const std::string& url) {
      opened_.push_back(url);
      return true;
    });
    uikit::ViewControllerAccess::view(*host_)->setFrame(uikit::Rect(0, 0, 390, 844));
    serve(checkoutReply({"CARD", "BLIK"}));
    sdk_ = SDKAccess::make(SDKConfigFactory::withRoot(gateway_.url(), kClientID, kToken));
  }

  void TearDown() override {
    sdk_.reset();
    // The wallet manager keeps the last sheet's completion, and with it a screen: a start
    // that cannot be shown replaces it.
    passkit::Wallet::install(nullptr);
    ApplePayManagerAccess::startPayment(*ApplePayManager::shared(), passkit::PaymentRequest(), nullptr);
    dispatch::MainQueue::main().runPending();
    passkit::Wallet::install(previousWallet_);
    uikit::Application::shared().setURLOpener(nullptr);
    GatewayClientTest::TearDown();
  }

  void serve(std::string checkout, std::string status = "Success") {
    gateway_.setResponder([checkout, status](const RecordedRequest& request) {
      return request.method == "POST" ? GatewayReply::json(200, checkout)
                                      : GatewayReply::json(200, statusReply(status));
    });
  }

  void setDevice(Device device) {
    wallet_ = nullptr;
    if (device != Device::noWallet) {
      wallet_ = std::make_shared<passkit::Wallet>();
      wallet_->setCardNetworks({passkit::PaymentNetwork::visa()});
      wallet_->setCanMakePayments(device == Device::canPay);
    }
    passkit::Wallet::install(wallet_);
  }

  // The checkout screen on top of what the host presents; null when nothing is presented.
  std::shared_ptr<PaymentViewController> screen() const {
    auto navigation = std::dynamic_pointer_cast<uikit::NavigationController>(host_->presentedViewController());
    return navigation ? std::dynamic_pointer_cast<PaymentViewController>(navigation->topViewController()) : nullptr;
  }

  std::shared_ptr<PaymentViewController> start(const TransactionParamsSDK& params = paymentParams()) {
    results_.clear();
    gateway_.clearRequests();
    capture_.clear();
    sdk_->startPayment(host_, params, [this](PaymentResult result) { results_.push_back(std::move(result)); });
    return screen();
  }

  // Starts a payment and waits until the screen has settled on what the checkout answer
  // asks for.
  std::shared_ptr<PaymentViewController> open(const TransactionParamsSDK& params = paymentParams()) {
    auto opened = start(params);
    if (opened == nullptr) {
      ADD_FAILURE() << "no checkout was presented";
      return nullptr;
    }
    EXPECT_TRUE(runUntil([&] { return settled(*opened); }));
    return opened;
  }

  static bool settled(PaymentViewController& screen) {
    return !screen.activityIndicatorView()->isAnimating() && !screen.contentView()->webView()->isLoading();
  }

  // Runs the main queue, without moving its clock, until `condition` holds.
  bool runUntil(const std::function<bool()>& condition) { return runQueueUntil(condition, std::chrono::seconds(10)); }
  static void runPending() { dispatch::MainQueue::main().runPending(); }

  // Taps the close button and waits for the payment's end.
  void close(PaymentViewController& screen) {
    screen.navigationItem().leftBarButtonItem()->tap();
    EXPECT_TRUE(runUntil([&] { return !results_.empty(); }));
    runPending();
    EXPECT_EQ(host_->presentedViewController(), nullptr);
  }

  int lines(const std::string& text) const {
    const auto out = standardOutput();
    return static_cast<int>(std::count(out.begin(), out.end(), text));
  }

  std::size_t statusRequests() const {
    std::size_t count = 0;
    for (const auto& request : gateway_.requests()) count += request.method == "GET";
    return count;
  }

  LocalGateway gateway_;
  std::shared_ptr<uikit::ViewController> host_ = std::make_shared<uikit::ViewController>();
  std::unique_ptr<SDK> sdk_;
  std::shared_ptr<passkit::Wallet> wallet_;
  std::shared_ptr<passkit::Wallet> previousWallet_;
  std::vector<PaymentResult> results_;
  std::vector<std::string> opened_;
};

TEST_F(PaymentViewControllerTest, OpensOnTheMenuOrTheWebFormAndCloseCancelsThePayment) {
  struct Case {
    const char* name;
    std::vector<std::string> methods;
    Device device;
    double width;
    std::vector<std::string> menu;  // titles of the menu shown; none: the web form
  };
  const Case cases[] = {
      {"wallet and other methods",
       {"CARD", "XPAY", "BLIK"},
       Device::canPay,
       390,
       {"Apple Pay", "Other payment options"}},
      {"the wallet alone", {"XPAY"}, Device::canPay, 320, {"Apple Pay"}},
      {"no wallet listed", {"CARD", "BLIK"}, Device::canPay, 390, {}},
      {"device cannot pay", {"CARD", "XPAY"}, Device::cannotPay, 390, {}},
      {"device has no wallet", {"XPAY"}, Device::noWallet, 390, {}},
  };
  const std::vector<std::string> images{"apple_pay", "more_options"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setDevice(c.device);
    serve(checkoutReply(c.methods));
    uikit::ViewControllerAccess::view(*host_)->setFrame(uikit::Rect(0, 0, c.width, 844));
    auto shown = start();
    ASSERT_NE(shown, nullptr);
    PaymentViewController& screen = *shown;
    // The loading screen is drawn before the answer arrives.
    uikit::ViewControllerAccess::view(*host_->presentedViewController())->layoutIfNeeded();
    EXPECT_TRUE(screen.activityIndicatorView()->isAnimating()) << "loading";
    EXPECT_FALSE(screen.contentView()->collectionView()->isHidden());
    EXPECT_EQ(screen.contentView()->collectionView()->numberOfItems(0), 0);
    expectCloseItem(screen);
    ASSERT_TRUE(runUntil([&] { return settled(screen); }));

    EXPECT_EQ(gateway_.requestCount(), 1U);
    EXPECT_TRUE(screen.activityIndicatorView()->isHidden());
    expectCloseItem(screen);
    const auto& webView = screen.contentView()->webView();
    const auto& collection = screen.contentView()->collectionView();
    if (c.menu.empty()) {
      EXPECT_TRUE(webFormShown(screen));
      ASSERT_TRUE(webView->htmlString().has_value());
      EXPECT_NE(webView->htmlString()->find(std::string("value=\"") + kCheckoutID + "\""), std::string::npos);
      EXPECT_NE(webView->htmlString()->find("action=\"" + gateway_.url() + "\""), std::string::npos);
      EXPECT_EQ(collection->numberOfItems(0), 0);
    } else {
      EXPECT_TRUE(menuShown(screen));
      EXPECT_FALSE(webView->htmlString().has_value());
      uikit::ViewControllerAccess::view(*host_->presentedViewController())->layoutIfNeeded();
      const auto cells = collection->visibleCells();
      ASSERT_EQ(cells.size(), c.menu.size());
      for (std::size_t i = 0; i < cells.size(); ++i) {
        SCOPED_TRACE(c.menu[i]);
        auto cell = std::dynamic_pointer_cast<CardCollectionViewCell>(cells[i]);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->titleLabel()->text(), c.menu[i]);
        EXPECT_EQ(cell->imageView()->image(), uikit::Image::named(images[i], foundation::Bundle::module()));
        EXPECT_NE(cell->imageView()->image(), std::nullopt);
        // 60 high, 10 in from every edge, 20 apart.
        EXPECT_EQ(cell->frame(), uikit::Rect(10, 10 + 80.0 * static_cast<double>(i), c.width - 20, 60));
      }
    }
    close(screen);
    expectCanceledByUser(results_);
    EXPECT_EQ(statusRequests(), 0U);
  }
}

TEST_F(PaymentViewControllerTest, OtherOptionsOpenTheWebFormAndBackReturnsToTheMenu) {
  setDevice(Device::canPay);
  serve(checkoutReply({"CARD", "XPAY", "BLIK"}));
  auto shown = open();
  ASSERT_NE(shown, nullptr);
  PaymentViewController& screen = *shown;
  const auto& webView = screen.contentView()->webView();
  const auto& collection = screen.contentView()->collectionView();
  ASSERT_TRUE(menuShown(screen));

  std::optional<std::string> firstPage;
  for (int visit = 1; visit <= 2; ++visit) {
    SCOPED_TRACE("visit " + std::to_string(visit));
    ASSERT_TRUE(collection->tapItem(uikit::IndexPath{0, PaymentViewController::OTHER_METHOD_POSITION}));
    EXPECT_TRUE(webFormShown(screen));
    EXPECT_TRUE(screen.cameFromMenu());
    expectBackItem(screen);
    EXPECT_TRUE(webView->isLoading()) << "the page is loaded again on each visit";
    EXPECT_TRUE(screen.activityIndicatorView()->isAnimating());
    ASSERT_TRUE(runUntil([&] { return settled(screen); }));
    ASSERT_TRUE(webView->htmlString().has_value());
    if (!firstPage) firstPage = webView->htmlString();
    EXPECT_EQ(webView->htmlString(), firstPage);
    EXPECT_NE(firstPage->find(kCheckoutID), std::string::npos);

    screen.navigationItem().leftBarButtonItem()->tap();
    EXPECT_TRUE(menuShown(screen));
    EXPECT_FALSE(screen.cameFromMenu());
    expectCloseItem(screen);
    EXPECT_EQ(collection->numberOfItems(0), 2);
    EXPECT_EQ(webView->htmlString(), firstPage) << "the page stays loaded underneath";
    runPending();
    EXPECT_TRUE(results_.empty());
    EXPECT_EQ(host_->presentedViewController()->presentingViewController(), host_);
  }
  EXPECT_EQ(gateway_.requestCount(), 1U) << "the page is built from the stored reply";
  close(screen);
  expectCanceledByUser(results_);
}

TEST_F(PaymentViewControllerTest, IndicatorHidesWhenTheFormFinishesOrFails) {
  setDevice(Device::canPay);
  serve(checkoutReply({"CARD", "XPAY"}));
  for (const bool fails : {false, true}) {
    SCOPED_TRACE(fails ? "fails" : "finishes");
    auto shown = open();
    ASSERT_NE(shown, nullptr);
    PaymentViewController& screen = *shown;
    if (fails) screen.contentView()->webView()->failNextLoad(makeError(KelnSDKError::sdkNotConfigured("offline")));
    ASSERT_TRUE(screen.contentView()->collectionView()->tapItem(uikit::IndexPath{0, 1}));
    EXPECT_TRUE(screen.activityIndicatorView()->isAnimating());
    ASSERT_TRUE(runUntil([&] { return !screen.contentView()->webView()->isLoading(); }));
    EXPECT_FALSE(screen.activityIndicatorView()->isAnimating());
    EXPECT_TRUE(screen.activityIndicatorView()->isHidden());
    EXPECT_TRUE(webFormShown(screen));
    screen.navigationItem().leftBarButtonItem()->tap();  // back
    close(screen);
    expectCanceledByUser(results_);
  }
}

TEST_F(PaymentViewControllerTest, RedirectIsCancelledAfterTheStatusQueryStartsAndOtherNavigationsGoAhead) {
  struct Case {
    const char* url;
    bool redirect;
  };
  const Case cases[] = {
      {"keln://transfer/success?transactionId=3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f&status=ok", true},
      {"keln://transfer/success", true},
      {"https://gateway.example/3ds?step=2", false},
      {"keln://transfer/failure?transactionId=3f2c9a7e", false},
      {"https://shop.example/back?to=keln://transfer/success", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    auto shown = open();
    ASSERT_NE(shown, nullptr);
    PaymentViewController& screen = *shown;
    const auto& webView = screen.contentView()->webView();
    ASSERT_TRUE(webFormShown(screen));
    const std::optional<std::string> page = webView->htmlString();
    auto recorder = std::make_shared<DecisionRecorder>(shown, [this] { return lines("getstatus"); });
    webView->setNavigationDelegate(recorder);

    webView->navigateMainFrame(*foundation::URL::parse(c.url));
    ASSERT_TRUE(runUntil([&] { return !webView->isLoading(); }));
    ASSERT_EQ(recorder->decisions.size(), 1U);
    const DecisionRecorder::Decision& decision = recorder->decisions[0];
    if (c.redirect) {
      EXPECT_EQ(decision.policy, NavigationActionPolicy::cancel);
      EXPECT_EQ(decision.statusQueriesStarted, 1);
      EXPECT_EQ(webView->url()->absoluteString(), "about:blank");
      EXPECT_EQ(webView->htmlString(), page);
      ASSERT_TRUE(runUntil([&] { return !results_.empty(); }));
      ASSERT_TRUE(results_[0].isSuccess()) << results_[0].error()->description();
      EXPECT_EQ(results_[0].value().transactionID(), std::optional<std::string>(kCheckoutID));
      EXPECT_EQ(statusRequests(), 1U);
      runPending();
      EXPECT_EQ(host_->presentedViewController(), nullptr);
    } else {
      EXPECT_EQ(decision.policy, NavigationActionPolicy::allow);
      EXPECT_EQ(decision.statusQueriesStarted, 0);
      EXPECT_EQ(webView->url()->absoluteString(), c.url);
      EXPECT_EQ(statusRequests(), 0U);
      close(screen);
      expectCanceledByUser(results_);
    }
  }
}

TEST_F(PaymentViewControllerTest, NewWindowRequestsOpenOutsideOrAreDropped) {
  struct Case {
    const char* url;
    bool opens;
  };
  const Case cases[] = {
      {"https://bank.example/terms?lang=pl", true},
      {"HTTP://bank.example/", true},
      {"mailto:help@shop.example", true},
      {"keln://transfer/success?transactionId=3f2c9a7e", false},
      {"tel:+48123456789", false},
      {"javascript:alert(1)", false},
  };
  auto shown = open();
  ASSERT_NE(shown, nullptr);
  PaymentViewController& screen = *shown;
  const auto& webView = screen.contentView()->webView();
  const std::optional<std::string> page = webView->htmlString();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    opened_.clear();
    webView->openNewWindow(*foundation::URL::parse(c.url));
    runPending();
    EXPECT_EQ(opened_, c.opens ? std::vector<std::string>{c.url} : std::vector<std::string>{});
    EXPECT_FALSE(webView->isLoading());
    EXPECT_EQ(webView->url()->absoluteString(), "about:blank");
    EXPECT_EQ(webView->htmlString(), page);
  }
  EXPECT_EQ(lines("getstatus"), 0);

  // A request that names a frame is no new window: nothing opens, and no web view is made
  // for either kind.
  opened_.clear();
  const auto url = foundation::URL::parse("https://bank.example/terms");
  for (const std::optional<webkit::FrameInfo>& frame :
       {std::optional<webkit::FrameInfo>(webkit::FrameInfo(true)), std::optional<webkit::FrameInfo>()}) {
    EXPECT_EQ(screen.webView(webView, webView->configuration(),
                             webkit::NavigationAction(webkit::NavigationRequest(url), frame), webkit::WindowFeatures()),
              nullptr);
  }
  EXPECT_EQ(opened_, std::vector<std::string>{"https://bank.example/terms"});
  close(screen);
  expectCanceledByUser(results_);
}

TEST_F(PaymentViewControllerTest, WalletCancellationKeepsTheMenuAndAnotherChoiceStartsANewSheet) {
  setDevice(Device::canPay);
  serve(checkoutReply({"CARD", "XPAY"}));
  auto shown = open();
  ASSERT_NE(shown, nullptr);
  PaymentViewController& screen = *shown;
  const auto& collection = screen.contentView()->collectionView();
  ASSERT_TRUE(menuShown(screen));

  wallet_->setUserAction(passkit::Wallet::UserAction::cancel());
  ASSERT_TRUE(collection->tapItem(uikit::IndexPath{0, PaymentViewController::APPLE_PAY_POSITION}));
  const auto firstSheet = ApplePayManagerAccess::paymentController(*ApplePayManager::shared());
  ASSERT_NE(firstSheet, nullptr);
  const passkit::PaymentRequest& request = firstSheet->paymentRequest();
  EXPECT_EQ(request.merchantIdentifier(), "merchant.com.example");
  EXPECT_EQ(request.countryCode(), "PL");
  EXPECT_EQ(request.currencyCode(), "PLN");
  ASSERT_EQ(request.paymentSummaryItems().size(), 1U);
  EXPECT_EQ(request.paymentSummaryItems()[0].amount, passkit::Decimal("149.99"));
  ASSERT_TRUE(runUntil([&] { return lines("user cancelled") == 1; }));
  runPending();
  EXPECT_FALSE(wallet_->isSheetOnScreen());
  EXPECT_TRUE(menuShown(screen));
  EXPECT_EQ(collection->numberOfItems(0), 2);
  expectCloseItem(screen);
  EXPECT_TRUE(results_.empty());
  EXPECT_EQ(this->screen(), shown);

  wallet_->setUserAction(passkit::Wallet::UserAction::authorize(R"({"version":"EC_v1","data":"abc"})"));
  ASSERT_TRUE(collection->tapItem(uikit::IndexPath{0, PaymentViewController::APPLE_PAY_POSITION}));
  EXPECT_NE(ApplePayManagerAccess::paymentController(*ApplePayManager::shared()), firstSheet);
  ASSERT_TRUE(runUntil([&] { return !results_.empty(); }));
  EXPECT_EQ(lines("Presented PaymentController"), 2);
  ASSERT_EQ(results_.size(), 1U);
  ASSERT_TRUE(results_[0].isSuccess()) << results_[0].error()->description();
  EXPECT_TRUE(results_[0].value().isSuccess());
  EXPECT_EQ(results_[0].value().transactionID(), std::optional<std::string>(kCheckoutID));
  runPending();
  EXPECT_EQ(host_->presentedViewController(), nullptr);
}

TEST_F(PaymentViewControllerTest, MissingWalletInputsPrintALineAndKeepTheMenu) {
  struct Case {
    const char* name;
    std::function<void(nlohmann::json&)> edit;
    std::optional<std::string> walletMerchant;
    std::int64_t item;
    std::string line;
  };
  const Case cases[] = {
      {"no merchant identifier", nullptr, std::nullopt, 0, kWalletLine},
      {"no acceptor country", dropAcceptorCountry, "merchant.com.example", 0, kWalletLine},
      {"a position past the menu", nullptr, "merchant.com.example", 2, "Other Card"},
  };
  setDevice(Device::canPay);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    serve(checkoutReply({"CARD", "XPAY"}, c.edit));
    auto shown = open(paymentParams(c.walletMerchant));
    ASSERT_NE(shown, nullptr);
    PaymentViewController& screen = *shown;
    const auto& collection = screen.contentView()->collectionView();
    ASSERT_TRUE(menuShown(screen));
    const auto sheetBefore = ApplePayManagerAccess::paymentController(*ApplePayManager::shared());

    capture_.clear();
    if (c.item < collection->numberOfItems(0)) {
      ASSERT_TRUE(collection->tapItem(uikit::IndexPath{0, c.item}));
    } else {
      screen.didSelectItemAt(*collection, uikit::IndexPath{0, c.item});
    }
    runPending();
    EXPECT_EQ(standardOutput(), std::vector<std::string>{c.line});
    EXPECT_EQ(ApplePayManagerAccess::paymentController(*ApplePayManager::shared()), sheetBefore);
    EXPECT_FALSE(wallet_->isSheetOnScreen());
    EXPECT_TRUE(menuShown(screen));
    expectCloseItem(screen);
    EXPECT_TRUE(results_.empty());
    close(screen);
    expectCanceledByUser(results_);
  }
}

TEST_F(PaymentViewControllerTest, ReplyThatCannotBeConvertedLeavesNothingToChooseButTheCloseButton) {
  setDevice(Device::canPay);
  for (const bool walletListed : {true, false}) {
    SCOPED_TRACE(walletListed ? "menu" : "web form");
    serve(checkoutReply(walletListed ? std::vector<std::string>{"CARD", "XPAY"} : std::vector<std::string>{"CARD"},
                        [](nlohmann::json& reply) { reply["formContext"] = "not*base64"; }));
    auto shown = open();
    ASSERT_NE(shown, nullptr);
    PaymentViewController& screen = *shown;
    uikit::ViewControllerAccess::view(*host_->presentedViewController())->layoutIfNeeded();
    EXPECT_TRUE(screen.contentView()->collectionView()->visibleCells().empty());
    EXPECT_FALSE(screen.contentView()->webView()->htmlString().has_value());
    EXPECT_FALSE(screen.contentView()->collectionView()->tapItem(uikit::IndexPath{0, 0}));
    expectCloseItem(screen);
    close(screen);
    expectCanceledByUser(results_);
  }
}

TEST(PaymentViewControllerDeathTest, CannotBeRestoredFromAnArchive) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  uikit::Coder archive;
  EXPECT_DEATH(PaymentViewController{archive}, "init\\(coder:\\) has not been implemented");
}

}  // namespace
}  // namespace keln::testing
