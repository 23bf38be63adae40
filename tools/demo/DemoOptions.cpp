#include "DemoOptions.h"

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <utility>

namespace keln::demo {
namespace {

const char* const kUsage = R"(Usage: keln-demo [options]

Takes one payment end to end through the SDK and prints each step. A host window with a
Pay button opens; the checkout opens from it in a window of its own, where a person pays
(the route then sets only what the scripted wallet's sheet answers). With --auto the demo plays the
user itself, through the checkout's widgets and the gateway's web page; scripts/demo runs
it that way under a virtual display when there is no display.

Options:
  --route ROUTE        what the user does (default: web)
                         web            the web form opens at once; the user completes it
                         menu-web       menu, "Other payment options", then the web form
                         decline        the web form opens at once; the user declines
                         wallet         menu, the wallet; the user authorizes the payment
                         wallet-cancel  menu, the wallet; the user closes the sheet, then
                                        closes the checkout
                         close          the user closes the checkout
  --methods LIST       methods the sandbox lists, comma-separated (default: CARD,XPAY,BLIK
                       for the menu and wallet routes, CARD,BLIK otherwise)
  --statuses LIST      statuses the sandbox answers in turn, the last repeating, once the
                       user paid on its form (default: Pending,Success), e.g.
                       Pending,Declined: the gateway declines the card. Declining on the
                       form is always answered Pending, then Declined
  --amount NUMBER      the amount to pay (default: 149.99)
  --currency CODE      the currency (default: PLN)
  --gateway URL        use this gateway root instead of the sandbox; time is real. With
                       --auto the demo does not know that gateway's form: it waits for
                       the page to reach the redirect by itself, for at most 120 s
  --fast               skip the SDK's waits (3 s between status queries, 5 s before a
                       retry); the times printed are real time plus the waits skipped.
                       Not with --gateway
  --client-id TEXT     client id (default: demo-client)
  --token TEXT         access token (default: demo-token)
  --auto               the demo plays the user: it clicks Pay, the menu's cards, the
                       close button and the sandbox's form (scripts/demo adds it when
                       it runs the demo on a virtual display)
  --snapshots DIR      save a PNG of each screen (host, menu, form, back at the host)
                       in DIR (default: a new temporary folder)
  --json               one JSON object per line instead of text
  --help               this text
)";

const std::pair<const char*, Route> kRoutes[] = {
    {"web", Route::web},       {"menu-web", Route::menuWeb},           {"decline", Route::decline},
    {"wallet", Route::wallet}, {"wallet-cancel", Route::walletCancel}, {"close", Route::close},
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

Route parseRoute(const std::string& name) {
  for (const auto& [known, route] : kRoutes) {
    if (name == known) return route;
  }
  usageError("unknown route " + name);
}

}  // namespace

DemoOptions parseOptions(int argc, char** argv) {
  DemoOptions options;
  std::optional<std::vector<std::string>> methods;
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
      options.route = parseRoute(value(i));
    } else if (arg == "--methods") {
      methods = splitList(value(i));
    } else if (arg == "--statuses") {
      options.statuses = splitList(value(i));
      if (options.statuses->empty()) usageError("--statuses needs at least one status");
    } else if (arg == "--amount") {
      const std::string text = value(i);
      char* end = nullptr;
      options.amount = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0') usageError("not a number: " + text);
    } else if (arg == "--currency") {
      options.currency = value(i);
    } else if (arg == "--gateway") {
      options.gateway = value(i);
    } else if (arg == "--fast") {
      options.fast = true;
    } else if (arg == "--client-id") {
      options.clientId = value(i);
    } else if (arg == "--token") {
      options.token = value(i);
    } else if (arg == "--auto") {
      options.autoPlay = true;
    } else if (arg == "--snapshots") {
      options.snapshots = value(i);
    } else if (arg == "--json") {
      options.json = true;
    } else {
      usageError("unknown option " + arg);
    }
  }
  if (options.fast && options.gateway) usageError("--fast works only with the embedded sandbox");
  if (methods) {
    options.methods = std::move(*methods);
  } else {
    const bool menu = options.route != Route::web && options.route != Route::decline && options.route != Route::close;
    options.methods =
        menu ? std::vector<std::string>{"CARD", "XPAY", "BLIK"} : std::vector<std::string>{"CARD", "BLIK"};
  }
  return options;
}

}  // namespace keln::demo
