#include "DemoHost.h"

#include <chrono>
#include <vector>

// The SDK made on any gateway root, its log, and the checkout's screens: the public headers
// give a host no way yet to read or act on a presented checkout, so the demo reaches them
// here, and only here.
#include "core/SDKAccess.h"
#include "core/SDKConfigFactory.h"
#include "foundation/Log.h"
#include "foundation/URL.h"
#include "presentation/CardCollectionViewCell.h"
#include "presentation/PaymentViewController.h"
#include "uikit/BarButtonItem.h"
#include "uikit/CollectionView.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"
#include "uikit/NavigationItem.h"
#include "uikit/View.h"
#include "webkit/WebView.h"

namespace keln::demo {
namespace {

using namespace std::chrono_literals;
using dispatch::MainQueue;

std::shared_ptr<PaymentViewController> checkoutOf(const uikit::ViewController& screen) {
  auto navigation = std::dynamic_pointer_cast<uikit::NavigationController>(screen.presentedViewController());
  if (!navigation) return nullptr;
  return std::dynamic_pointer_cast<PaymentViewController>(navigation->topViewController());
}

}  // namespace

struct DemoHost::Internals {
  foundation::ScopedLogCapture capture;
  std::size_t logLinesShown = 0;
};

DemoHost::DemoHost(const DemoOptions& options, const std::string& gatewayRoot, Narrator& narrator,
                   std::shared_ptr<dispatch::ManualClock> manualClock)
    : options_(options),
      root_(gatewayRoot),
      narrator_(narrator),
      manualClock_(std::move(manualClock)),
      wallet_(std::make_shared<passkit::Wallet>()),
      screen_(std::make_shared<uikit::ViewController>()),
      internals_(std::make_unique<Internals>()) {
  // A device with a Visa card in its wallet; it can pay with it where the route needs it.
  wallet_->setCardNetworks({passkit::PaymentNetwork::visa()});
  wallet_->setCanMakePayments(options.route == Route::wallet || options.route == Route::walletCancel ||
                              options.route == Route::menuWeb);
  passkit::Wallet::install(wallet_);
  uikit::Application::shared().setURLOpener([this](const std::string& url) {
    narrator_.say("open-url", "The system opens " + url, {{"url", url}});
    return true;
  });
  screen_->view()->setFrame(uikit::Rect{{0, 0}, {390, 844}});
  sdk_ = SDKAccess::make(SDKConfigFactory::withRoot(root_, options.clientId, options.token));
}

DemoHost::~DemoHost() {
  sdk_.reset();
  passkit::Wallet::install(nullptr);
  uikit::Application::shared().setURLOpener(nullptr);
  MainQueue::main().runPending();
  showSDKOutput();
}

void DemoHost::startPayment(const std::string& transactionID) {
  std::vector<PaymentMethod> methods;
  for (const auto& method : options_.methods) {
    if (auto known = fromRawValue<PaymentMethod>(method)) methods.push_back(*known);
  }
  TransactionParamsSDK params(1234, "Demo shop order", transactionID, "Two coffees and a cake", options_.amount,
                              options_.currency, methods, "Jane Doe", "jane@example.com", "https://shop.example/cart",
                              std::nullopt, std::nullopt, std::nullopt, std::string("merchant.example.demo"));
  sdk_->startPayment(screen_, params, [this](Result<TransactionResultSDK> result) { outcome_ = std::move(result); });
  showSDKOutput();
}

bool DemoHost::waitFor(const std::function<bool()>& condition) {
  const auto giveUp = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < giveUp) {
    // Short slices, so that the SDK's output is told as it comes.
    const bool done = MainQueue::main().runUntil(condition, manualClock_ ? 20ms : 100ms);
    showSDKOutput();
    if (done) return true;
    if (manualClock_) manualClock_->advance(250ms);
  }
  return false;
}

void DemoHost::showSDKOutput() {
  const auto lines = internals_->capture.lines();
  for (auto& shown = internals_->logLinesShown; shown < lines.size(); ++shown) {
    const auto& line = lines[shown];
    const bool log = line.stream == foundation::LogStream::systemLog;
    if (options_.json) {
      narrator_.say(log ? "sdk-log" : "sdk-output", line.message);
      continue;
    }
    // One line each, shortened: the bodies are in the JSON output.
    std::string text = line.message;
    for (char& c : text) {
      if (c == '\n') c = ' ';
    }
    if (text.size() > 140) text = text.substr(0, 137) + "...";
    narrator_.say(log ? "sdk-log" : "sdk-output", std::string(log ? "  sdk log: " : "  sdk out: ") + text);
  }
}

bool DemoHost::checkoutPresented() const { return screen_->presentedViewController() != nullptr; }

bool DemoHost::menuShown() const {
  auto checkout = checkoutOf(*screen_);
  return checkout && !checkout->contentView()->collectionView()->isHidden() &&
         checkout->contentView()->webView()->isHidden() && !checkout->cards().empty();
}

bool DemoHost::webFormShown() const {
  auto checkout = checkoutOf(*screen_);
  if (!checkout) return false;
  const auto& webView = checkout->contentView()->webView();
  return !webView->isHidden() && webView->htmlString().has_value() && !webView->isLoading();
}

std::size_t DemoHost::menuEntryCount() const {
  auto checkout = checkoutOf(*screen_);
  return checkout ? checkout->cards().size() : 0;
}

void DemoHost::describeMenu() {
  auto collection = checkoutOf(*screen_)->contentView()->collectionView();
  collection->layoutIfNeeded();
  std::vector<std::string> titles;
  for (const auto& cell : collection->visibleCells()) {
    if (auto card = std::dynamic_pointer_cast<CardCollectionViewCell>(cell)) {
      titles.push_back(card->titleLabel()->text().value_or(""));
    }
  }
  std::string text = "Screen: menu with " + std::to_string(titles.size()) + " entries:";
  for (const auto& title : titles) text += " [" + title + "]";
  narrator_.say("screen-menu", text, {{"entries", titles}});
}

void DemoHost::describePage() {
  const std::string& page = *checkoutOf(*screen_)->contentView()->webView()->htmlString();
  narrator_.say("screen-web-form",
                "Screen: web form loaded (" + std::to_string(page.size()) + " bytes of HTML, posts to " + root_ + ")",
                {{"bytes", page.size()}});
}

void DemoHost::tapMenuEntry(const std::string& title, std::int64_t item) {
  narrator_.say("user", "User taps \"" + title + "\"", {{"item", item}});
  checkoutOf(*screen_)->contentView()->collectionView()->tapItem(uikit::IndexPath{0, item});
}

void DemoHost::tapCloseButton() {
  narrator_.say("user", "User taps the close button");
  checkoutOf(*screen_)->navigationItem().leftBarButtonItem()->tap();
}

void DemoHost::completeWebForm() {
  auto checkout = checkoutOf(*screen_);
  const std::string target =
      "keln://transfer/success?transactionId=" + checkout->viewModel()->transactionResponse()->transactionId();
  narrator_.say("user", "User completes the gateway's form; the page goes to " + target, {{"url", target}});
  checkout->contentView()->webView()->navigateMainFrame(*foundation::URL::parse(target));
}

void DemoHost::setWalletAnswer(bool authorize) {
  wallet_->setUserAction(authorize ? passkit::Wallet::UserAction::authorize(R"({"version":"EC_v1","data":"demo"})")
                                   : passkit::Wallet::UserAction::cancel());
}

}  // namespace keln::demo
