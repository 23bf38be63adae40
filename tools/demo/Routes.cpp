#include "Routes.h"

#include <keln/platform/MainQueue.h>

namespace keln::demo {
namespace {

using Failure = std::optional<std::string>;

Failure playWeb(DemoHost& host, Narrator&) {
  if (!host.webFormShown()) return "the web form is not shown (the sandbox listed XPAY and the device can pay)";
  host.completeWebForm();
  return std::nullopt;
}

Failure playMenuWeb(DemoHost& host, Narrator& narrator) {
  if (host.menuEntryCount() < 2) return "the menu has no other payment options (list two methods)";
  host.tapMenuEntry("Other payment options", 1);
  if (!host.waitFor([&] { return host.webFormShown(); })) return "the web form did not load";
  host.describePage();
  narrator.say("screen", "The left bar button is now the back chevron");
  host.completeWebForm();
  return std::nullopt;
}

Failure playWallet(DemoHost& host, Narrator& narrator) {
  host.setWalletAnswer(true);
  host.tapMenuEntry("Apple Pay", 0);
  narrator.say("user", "User authorizes the payment on the wallet sheet");
  return std::nullopt;
}

Failure playWalletCancel(DemoHost& host, Narrator& narrator) {
  host.setWalletAnswer(false);
  host.tapMenuEntry("Apple Pay", 0);
  narrator.say("user", "User closes the wallet sheet without paying");
  host.waitFor([&] { return !host.walletSheetOnScreen(); });
  host.waitFor([] { return dispatch::MainQueue::main().pendingCount() == 0; });
  if (host.menuShown()) narrator.say("screen-menu", "Screen: the menu is still shown");
  host.tapCloseButton();
  return std::nullopt;
}

Failure playClose(DemoHost& host, Narrator&) {
  host.tapCloseButton();
  return std::nullopt;
}

}  // namespace

std::optional<std::string> playRoute(Route route, DemoHost& host, Narrator& narrator) {
  if (host.menuShown()) host.describeMenu();
  if (host.webFormShown()) host.describePage();
  switch (route) {
    case Route::web:
      return playWeb(host, narrator);
    case Route::close:
      return playClose(host, narrator);
    case Route::menuWeb:
    case Route::wallet:
    case Route::walletCancel:
      break;
  }
  if (!host.menuShown()) return "the menu is not shown (the sandbox must list XPAY)";
  if (route == Route::menuWeb) return playMenuWeb(host, narrator);
  return route == Route::wallet ? playWallet(host, narrator) : playWalletCancel(host, narrator);
}

}  // namespace keln::demo
