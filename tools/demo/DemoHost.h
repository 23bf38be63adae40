#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <keln/KelnSDK.h>
#include <keln/platform/Wallet.h>

#include "DemoOptions.h"
#include "Narrator.h"

namespace keln::demo {

// The host application of the demo: its own screen, which the checkout is presented from,
// the SDK pointed at a gateway root, a device wallet, and the user's eyes and hands on the
// checkout. Reports what the SDK writes to its log and standard output through the
// narrator.
//
// Time: with a manual clock (installed as the main queue's), waits let virtual time pass
// quickly; without one, they pass in real time.
//
// Installs the wallet and a URL opener that reports instead of opening; the destructor
// releases the SDK and removes both. Main thread only.
class DemoHost {
 public:
  DemoHost(const DemoOptions& options, const std::string& gatewayRoot, Narrator& narrator,
           std::shared_ptr<dispatch::ManualClock> manualClock);
  ~DemoHost();
  DemoHost(const DemoHost&) = delete;
  DemoHost& operator=(const DemoHost&) = delete;

  // Starts the payment of `transactionID` with the options' amount, currency and methods.
  void startPayment(const std::string& transactionID);

  // Runs the main queue until `condition` holds; false after 60 s of real time.
  bool waitFor(const std::function<bool()>& condition);

  // -- What the user sees --
  bool checkoutPresented() const;
  bool menuShown() const;
  bool webFormShown() const;
  std::size_t menuEntryCount() const;
  bool walletSheetOnScreen() const { return wallet_->isSheetOnScreen(); }
  // Narrates the menu's entries, or the loaded page.
  void describeMenu();
  void describePage();

  // -- What the user does --
  void tapMenuEntry(const std::string& title, std::int64_t item);
  void tapCloseButton();
  // The gateway's form is done: the page goes to the redirect URL of the checkout's
  // transaction.
  void completeWebForm();
  // What the user will do when the wallet sheet opens.
  void setWalletAnswer(bool authorize);

  // The payment's one result, once it has arrived.
  const std::optional<Result<TransactionResultSDK>>& outcome() const { return outcome_; }

  // Shows what the SDK wrote since the last call.
  void showSDKOutput();

 private:
  struct Internals;

  const DemoOptions& options_;
  std::string root_;
  Narrator& narrator_;
  std::shared_ptr<dispatch::ManualClock> manualClock_;
  std::shared_ptr<passkit::Wallet> wallet_;
  std::shared_ptr<uikit::ViewController> screen_;
  std::unique_ptr<Internals> internals_;
  std::unique_ptr<SDK> sdk_;
  std::optional<Result<TransactionResultSDK>> outcome_;
};

}  // namespace keln::demo
