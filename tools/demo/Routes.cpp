#include "Routes.h"

#include <keln/dispatch/MainQueue.h>

namespace keln::demo {
namespace {

using Failure = std::optional<std::string>;

// The gateway's form: Pay (or Decline, on the decline route) on the sandbox's; nothing on
// a form the demo does not know.
Failure payInForm(const DemoOptions& options, DemoHost& host, Narrator& narrator) {
  if (!host.waitFor([&] { return host.gatewayPageShown() || host.outcome().has_value(); })) {
    return "the gateway's form page did not load";
  }
  if (host.outcome()) return std::nullopt;
  if (options.gateway) {
    narrator.say("wait", "The demo does not know this gateway's form: it waits for the page to reach the redirect");
    return std::nullopt;
  }
  const bool decline = options.route == Route::decline;
  if (!host.actInPage(
          decline ? "clicks Decline on the gateway's form" : "clicks Pay on the gateway's form",
          decline ? "document.getElementById('decline').click()" : "document.getElementById('pay').click()")) {
    return decline ? "the form's Decline button could not be clicked" : "the form's Pay button could not be clicked";
  }
  return std::nullopt;
}

Failure playMenuWeb(const DemoOptions& options, DemoHost& host, Narrator& narrator) {
  if (!host.clickCard(1)) return "the menu's second card is not on screen";
  return payInForm(options, host, narrator);
}

Failure playWallet(DemoHost& host, Narrator& narrator) {
  host.setWalletAnswer(true);
  if (!host.clickCard(0)) return "the menu's wallet card is not on screen";
  narrator.say("user", "User authorizes the payment on the wallet sheet");
  return std::nullopt;
}

Failure playWalletCancel(DemoHost& host, Narrator& narrator) {
  host.setWalletAnswer(false);
  if (!host.clickCard(0)) return "the menu's wallet card is not on screen";
  narrator.say("user", "User closes the wallet sheet without paying");
  host.waitFor([&] { return !host.walletSheetOnScreen(); });
  host.waitFor([] { return !dispatch::MainQueue::main().timeUntilNextTask(); });
  if (host.menuShown()) narrator.say("screen-menu", "Screen: the menu is still shown");
  if (!host.clickCloseButton()) return "the close button is not on screen";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> playRoute(const DemoOptions& options, DemoHost& host, Narrator& narrator) {
  switch (options.route) {
    case Route::web:
    case Route::decline:
      if (host.menuShown())
        return "the menu is shown, not the web form (the sandbox listed XPAY and the device can pay)";
      return payInForm(options, host, narrator);
    case Route::close:
      if (!host.clickCloseButton()) return "the close button is not on screen";
      return std::nullopt;
    case Route::menuWeb:
    case Route::wallet:
    case Route::walletCancel: break;
  }
  if (!host.menuShown()) return "the menu is not shown (the gateway must list XPAY)";
  if (options.route == Route::menuWeb) return playMenuWeb(options, host, narrator);
  return options.route == Route::wallet ? playWallet(host, narrator) : playWalletCancel(host, narrator);
}

}  // namespace keln::demo
