// Takes one payment end to end through the SDK, as a host application would, and tells
// each step: against the sandbox gateway it embeds (on 127.0.0.1), or against a gateway
// root given with --gateway.
//
// The demo plays the user: it reads the screen the SDK shows, taps menu entries and the
// close button, completes the web form by taking the page to its final redirect, and
// answers the wallet sheet. Time runs on a virtual clock, so the waits between status
// queries pass quickly; network exchanges run for real.

#include <keln/KelnSDK.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/SDKAccess.h"
#include "core/SDKConfigFactory.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/NumberText.h"
#include "foundation/URL.h"
#include <keln/platform/Wallet.h>
#include "presentation/CardCollectionViewCell.h"
#include "presentation/PaymentViewController.h"
#include "sandbox/SandboxGateway.h"
#include "uikit/BarButtonItem.h"
#include "uikit/CollectionView.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"
#include "uikit/NavigationItem.h"
#include "uikit/View.h"
#include "webkit/WebView.h"

namespace {

using namespace std::chrono_literals;
using keln::dispatch::MainQueue;

const char* const kUsage = R"(Usage: keln-demo [options]

Takes one payment end to end through the SDK and prints each step.

Options:
  --route ROUTE        what the user does (default: web)
                         web            the web form opens at once; the user completes it
                         menu-web       menu, "Other payment options", then the web form
                         wallet         menu, the wallet; the user authorizes the payment
                         wallet-cancel  menu, the wallet; the user closes the sheet, then
                                        closes the checkout
                         close          the user closes the checkout
  --methods LIST       methods the sandbox lists, comma-separated (default: CARD,XPAY,BLIK
                       for the menu and wallet routes, CARD,BLIK otherwise)
  --statuses LIST      statuses the sandbox answers in turn, the last repeating
                       (default: Pending,Pending,Success)
  --amount NUMBER      the amount to pay (default: 149.99)
  --currency CODE      the currency (default: PLN)
  --gateway URL        use this gateway root instead of the sandbox
  --client-id TEXT     client id (default: demo-client)
  --token TEXT         access token (default: demo-token)
  --json               one JSON object per line instead of text
  --help               this text
)";

struct Options {
  std::string route = "web";
  std::optional<std::vector<std::string>> methods;
  std::vector<std::string> statuses{"Pending", "Pending", "Success"};
  double amount = 149.99;
  std::string currency = "PLN";
  std::optional<std::string> gateway;
  std::string clientId = "demo-client";
  std::string token = "demo-token";
  bool json = false;
};

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream stream(text);
  for (std::string item; std::getline(stream, item, ',');) {
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

[[noreturn]] void usageError(const std::string& message) {
  std::cerr << "keln-demo: " << message << "\n\n" << kUsage;
  std::exit(2);
}

Options parseOptions(int argc, char** argv) {
  Options options;
  auto value = [&](int& i) -> std::string {
    if (i + 1 >= argc) usageError(std::string("missing value after ") + argv[i]);
    return argv[++i];
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg == "--route") {
      options.route = value(i);
    } else if (arg == "--methods") {
      options.methods = splitList(value(i));
    } else if (arg == "--statuses") {
      options.statuses = splitList(value(i));
    } else if (arg == "--amount") {
      const std::string text = value(i);
      char* end = nullptr;
      options.amount = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0') usageError("not a number: " + text);
    } else if (arg == "--currency") {
      options.currency = value(i);
    } else if (arg == "--gateway") {
      options.gateway = value(i);
    } else if (arg == "--client-id") {
      options.clientId = value(i);
    } else if (arg == "--token") {
      options.token = value(i);
    } else if (arg == "--json") {
      options.json = true;
    } else {
      usageError("unknown option " + arg);
    }
  }
  static const std::vector<std::string> routes{"web", "menu-web", "wallet", "wallet-cancel", "close"};
  if (std::find(routes.begin(), routes.end(), options.route) == routes.end()) {
    usageError("unknown route " + options.route);
  }
  if (!options.methods) {
    const bool menu = options.route != "web" && options.route != "close";
    options.methods = menu ? std::vector<std::string>{"CARD", "XPAY", "BLIK"} : std::vector<std::string>{"CARD", "BLIK"};
  }
  return options;
}

// Prints the story, as text or as JSON lines, with the virtual time of each step.
class Narrator {
 public:
  Narrator(bool json, std::shared_ptr<keln::dispatch::ManualClock> clock)
      : json_(json), clock_(std::move(clock)), start_(clock_->now()) {}

  void say(const std::string& event, const std::string& text, nlohmann::json details = nlohmann::json::object()) {
    std::lock_guard lock(mutex_);
    const double seconds = std::chrono::duration<double>(clock_->now() - start_).count();
    if (json_) {
      details["event"] = event;
      details["time"] = seconds;
      details["text"] = text;
      std::cout << details.dump() << std::endl;
    } else {
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "[%6.1fs] ", seconds);
      std::cout << stamp << text << std::endl;
    }
  }

 private:
  bool json_;
  std::shared_ptr<keln::dispatch::ManualClock> clock_;
  keln::dispatch::TimePoint start_;
  std::mutex mutex_;
};

struct Demo {
  Options options;
  std::shared_ptr<keln::dispatch::ManualClock> clock = std::make_shared<keln::dispatch::ManualClock>();
  Narrator narrator{options.json, clock};
  keln::foundation::ScopedLogCapture capture;
  std::size_t logLinesShown = 0;

  explicit Demo(Options o) : options(std::move(o)), narrator(options.json, clock) {}

  // Shows what the SDK wrote to its log and standard output since the last call.
  void showSDKOutput() {
    const auto lines = capture.lines();
    for (; logLinesShown < lines.size(); ++logLinesShown) {
      const auto& line = lines[logLinesShown];
      const bool log = line.stream == keln::foundation::LogStream::systemLog;
      if (options.json) {
        narrator.say(log ? "sdk-log" : "sdk-output", line.message);
        continue;
      }
      // One line each, shortened: the bodies are in the JSON output.
      std::string text = line.message;
      for (char& c : text) {
        if (c == '\n') c = ' ';
      }
      if (text.size() > 140) text = text.substr(0, 137) + "...";
      narrator.say(log ? "sdk-log" : "sdk-output", std::string(log ? "  sdk log: " : "  sdk out: ") + text);
    }
  }

  // Runs the main queue until `condition` holds, letting virtual time pass while the SDK
  // only waits; false after 60 s of real time.
  bool waitFor(const std::function<bool()>& condition) {
    const auto giveUp = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < giveUp) {
      const bool done = MainQueue::main().runUntil(condition, 20ms);
      showSDKOutput();
      if (done) return true;
      clock->advance(250ms);
    }
    return false;
  }
};

std::string describeError(const keln::Error& error) { return error.localizedDescription(); }

}  // namespace

int main(int argc, char** argv) {
  Demo demo(parseOptions(argc, argv));
  const Options& options = demo.options;
  Narrator& say = demo.narrator;
  MainQueue::main().setClock(demo.clock);

  // The gateway: the embedded sandbox unless a root was given.
  std::unique_ptr<keln::sandbox::SandboxGateway> sandbox;
  std::string root;
  if (options.gateway) {
    root = *options.gateway;
    say.say("gateway", "Using the gateway at " + root, {{"root", root}});
  } else {
    keln::sandbox::SandboxOptions sandboxOptions;
    sandboxOptions.paymentMethods = *options.methods;
    sandboxOptions.statuses = options.statuses;
    sandbox = std::make_unique<keln::sandbox::SandboxGateway>(sandboxOptions);
    root = sandbox->root();
    say.say("gateway", "Sandbox gateway listening on " + root, {{"root", root}});
    sandbox->setObserver([&say](const keln::sandbox::SandboxExchange& exchange) {
      std::string summary = "Gateway: " + exchange.method + " " + exchange.path + " -> " +
                            std::to_string(exchange.status);
      nlohmann::json reply = nlohmann::json::parse(exchange.responseBody, nullptr, false);
      if (reply.is_object() && reply.contains("paymentStatus")) {
        summary += " (" + reply["paymentStatus"].get<std::string>() + ")";
      } else if (reply.is_object() && reply.contains("transactionID")) {
        summary += " (checkout " + reply["transactionID"].get<std::string>() + ")";
      }
      say.say("gateway-exchange", summary,
              {{"method", exchange.method}, {"path", exchange.path}, {"status", exchange.status}});
    });
  }

  // The device: a wallet with a Visa card when the route needs one, and a URL opener
  // that reports instead of opening.
  auto wallet = std::make_shared<keln::passkit::Wallet>();
  wallet->setCardNetworks({keln::passkit::PaymentNetwork::visa()});
  wallet->setCanMakePayments(options.route == "wallet" || options.route == "wallet-cancel" ||
                             options.route == "menu-web");
  keln::passkit::Wallet::install(wallet);
  keln::uikit::Application::shared().setURLOpener([&say](const std::string& url) {
    say.say("open-url", "The system opens " + url, {{"url", url}});
    return true;
  });

  // The host application's own screen, which the checkout is presented from.
  auto host = std::make_shared<keln::uikit::ViewController>();
  host->view()->setFrame(keln::uikit::Rect{{0, 0}, {390, 844}});

  std::unique_ptr<keln::SDK> sdk =
      keln::SDKAccess::make(keln::SDKConfigFactory::withRoot(root, options.clientId, options.token));

  const std::string transactionID = "ORDER-" + std::to_string(std::time(nullptr) % 100000);
  std::vector<keln::PaymentMethod> methods;
  for (const auto& method : *options.methods) {
    if (auto known = keln::fromRawValue<keln::PaymentMethod>(method)) methods.push_back(*known);
  }
  keln::TransactionParamsSDK params(1234, "Demo shop order", transactionID, "Two coffees and a cake", options.amount,
                                    options.currency, methods, "Jane Doe", "jane@example.com",
                                    "https://shop.example/cart", std::nullopt, std::nullopt, std::nullopt,
                                    std::string("merchant.example.demo"));

  std::optional<keln::Result<keln::TransactionResultSDK>> outcome;
  say.say("start", "Host starts a payment: transaction " + transactionID + ", " +
                       keln::foundation::doubleDescription(options.amount) + " " + options.currency,
          {{"transactionID", transactionID}, {"amount", options.amount}, {"currency", options.currency}});
  sdk->startPayment(host, params, [&outcome](keln::Result<keln::TransactionResultSDK> result) { outcome = result; });
  demo.showSDKOutput();

  // The checkout screen.
  auto screen = [&]() -> std::shared_ptr<keln::PaymentViewController> {
    auto navigation = std::dynamic_pointer_cast<keln::uikit::NavigationController>(host->presentedViewController());
    if (!navigation) return nullptr;
    return std::dynamic_pointer_cast<keln::PaymentViewController>(navigation->topViewController());
  };
  auto menuShown = [&] {
    auto controller = screen();
    return controller && !controller->contentView()->collectionView()->isHidden() &&
           controller->contentView()->webView()->isHidden() && !controller->cards().empty();
  };
  auto webFormShown = [&] {
    auto controller = screen();
    return controller && !controller->contentView()->webView()->isHidden() &&
           controller->contentView()->webView()->htmlString().has_value() &&
           !controller->contentView()->webView()->isLoading();
  };
  auto finished = [&] { return outcome.has_value(); };
  auto fail = [&](const std::string& why) {
    say.say("error", "Demo stopped: " + why);
    keln::passkit::Wallet::install(nullptr);
    return 1;
  };

  if (!screen()) {
    demo.waitFor(finished);
    if (!outcome) return fail("the checkout was not shown");
  } else {
    say.say("screen", "Checkout presented full screen; loading");
    if (!demo.waitFor([&] { return menuShown() || webFormShown() || finished(); })) {
      return fail("the checkout did not open");
    }
  }

  auto describeMenu = [&] {
    auto controller = screen();
    auto collection = controller->contentView()->collectionView();
    collection->layoutIfNeeded();
    std::vector<std::string> titles;
    for (const auto& cell : collection->visibleCells()) {
      if (auto card = std::dynamic_pointer_cast<keln::CardCollectionViewCell>(cell)) {
        titles.push_back(card->titleLabel()->text().value_or(""));
      }
    }
    std::string text = "Screen: menu with " + std::to_string(titles.size()) + " entries:";
    for (const auto& title : titles) text += " [" + title + "]";
    say.say("screen-menu", text, {{"entries", titles}});
  };
  auto describePage = [&] {
    auto webView = screen()->contentView()->webView();
    const std::string& page = *webView->htmlString();
    say.say("screen-web-form",
            "Screen: web form loaded (" + std::to_string(page.size()) + " bytes of HTML, posts to " + root + ")",
            {{"bytes", page.size()}});
  };
  auto tap = [&](const std::string& what, std::int64_t item) {
    say.say("user", "User taps \"" + what + "\"", {{"item", item}});
    screen()->contentView()->collectionView()->tapItem(keln::uikit::IndexPath{0, item});
  };
  auto closeCheckout = [&] {
    say.say("user", "User taps the close button");
    screen()->navigationItem().leftBarButtonItem()->tap();
  };
  auto completeWebForm = [&] {
    auto webView = screen()->contentView()->webView();
    const std::string target = "keln://transfer/success?transactionId=" + screen()->viewModel()->transactionResponse()->transactionId();
    say.say("user", "User completes the gateway's form; the page goes to " + target, {{"url", target}});
    webView->navigateMainFrame(*keln::foundation::URL::parse(target));
  };

  if (!outcome) {
    if (menuShown()) describeMenu();
    if (webFormShown()) describePage();
    const std::string& route = options.route;
    if (route == "close") {
      closeCheckout();
    } else if (route == "web") {
      if (!webFormShown()) return fail("the web form is not shown (the sandbox listed XPAY and the device can pay)");
      completeWebForm();
    } else {
      if (!menuShown()) return fail("the menu is not shown (the sandbox must list XPAY)");
      if (route == "menu-web") {
        if (screen()->cards().size() < 2) return fail("the menu has no other payment options (list two methods)");
        tap("Other payment options", 1);
        if (!demo.waitFor(webFormShown)) return fail("the web form did not load");
        describePage();
        say.say("screen", "The left bar button is now the back chevron");
        completeWebForm();
      } else {
        wallet->setUserAction(route == "wallet"
                                  ? keln::passkit::Wallet::UserAction::authorize(R"({"version":"EC_v1","data":"demo"})")
                                  : keln::passkit::Wallet::UserAction::cancel());
        tap("Apple Pay", 0);
        say.say("user", route == "wallet" ? "User authorizes the payment on the wallet sheet"
                                          : "User closes the wallet sheet without paying");
        if (route == "wallet-cancel") {
          demo.waitFor([&] { return !wallet->isSheetOnScreen(); });
          demo.waitFor([] { return MainQueue::main().pendingCount() == 0; });
          if (menuShown()) say.say("screen-menu", "Screen: the menu is still shown");
          closeCheckout();
        }
      }
    }
    if (!demo.waitFor(finished)) return fail("no result arrived");
  }

  demo.waitFor([&] { return host->presentedViewController() == nullptr; });
  const auto& result = *outcome;
  int exitCode = 0;
  if (result.isSuccess()) {
    const auto& value = result.value();
    std::string text = std::string("Result: payment ") + (value.isSuccess() ? "succeeded" : "did not succeed");
    nlohmann::json details = {{"isSuccess", value.isSuccess()}};
    if (value.transactionID()) {
      text += ", transaction " + *value.transactionID();
      details["transactionID"] = *value.transactionID();
    }
    if (value.paymentStatus()) {
      text += ", status " + keln::rawValue(*value.paymentStatus());
      details["paymentStatus"] = keln::rawValue(*value.paymentStatus());
    }
    say.say("result", text, details);
  } else {
    say.say("result", "Result: error: " + describeError(*result.error()),
            {{"error", result.error()->description()}, {"localizedDescription", describeError(*result.error())}});
    exitCode = 0;
  }
  if (host->presentedViewController() == nullptr) say.say("screen", "Checkout dismissed; the host's screen is back");
  sdk.reset();
  keln::passkit::Wallet::install(nullptr);
  keln::uikit::Application::shared().setURLOpener(nullptr);
  MainQueue::main().runPending();
  demo.showSDKOutput();
  return exitCode;
}
