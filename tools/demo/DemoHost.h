#pragma once

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/KelnSDK.h>
#include <keln/gtk/WindowViewController.h>
#include <keln/passkit/Wallet.h>

#include "DemoOptions.h"
#include "FastClock.h"
#include "Narrator.h"

namespace keln::demo {

// The host application of the demo, a GTK host as a merchant's would be: its own window
// with the order, a Pay button and, once it has arrived, the payment's outcome; the
// checkout presented from that window through the
// public GTK adapter, the SDK pointed at a gateway root, and a scripted device wallet. It
// sees the checkout only through the widgets the adapter names and the WebKit view inside
// the web view's area, and narrates what appears: each screen, each page WebKit loaded,
// the window closing. It saves a picture of each screen in the snapshot folder.
//
// Time: with a fast clock (installed as the main queue's), a wait skips ahead to the SDK's
// next delayed task whenever, during the payment, neither GLib nor the main queue has
// anything to do at once; without one, everything takes real time. Waiting sleeps until
// GLib has something to do.
//
// Installs the wallet and a URL opener that reports; the destructor releases the SDK,
// the windows, and removes both. Needs gtk::initialize() to have succeeded. Main thread
// only.
class DemoHost {
 public:
  DemoHost(const DemoOptions& options, const std::string& gatewayRoot, std::string snapshotFolder, Narrator& narrator,
           std::shared_ptr<FastClock> fastClock);
  ~DemoHost();
  DemoHost(const DemoHost&) = delete;
  DemoHost& operator=(const DemoHost&) = delete;

  // Shows the host's window, waits until it is drawn and saves its picture. Its Pay button
  // starts the payment of `transactionID`, once.
  void show(const std::string& transactionID);

  // Runs GLib's main context (which runs the SDK's main queue) and narrates what changes,
  // until `condition` holds; false after `limit`, or when the person closed the host's
  // window before starting the payment.
  bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(60));

  // -- What the user sees --
  bool hostWindowOpen() const { return hostWindow_ != nullptr; }
  bool paymentStarted() const { return started_.has_value(); }
  bool checkoutOpen() const;
  // The menu is on screen (and has been narrated and pictured).
  bool menuShown() const { return menuTold_; }
  // A page other than the checkout's own template has finished loading in the web view,
  // and has been narrated and pictured: the gateway's form, or whatever it showed.
  bool gatewayPageShown() const { return gatewayPageTold_; }
  bool walletSheetOnScreen() const { return wallet_->isSheetOnScreen(); }

  // -- What the user does: false when the widget is not on screen (after 10 s) --
  bool clickPay();
  bool clickCard(std::int64_t item);
  bool clickCloseButton();
  // Runs `script` in the page as a person's action would arrive; false when it failed.
  bool actInPage(const std::string& what, const std::string& script);
  // What the user will do when the wallet sheet opens (at first: authorize, but cancel on
  // the wallet-cancel route).
  void setWalletAnswer(bool authorize);

  // Saves a picture of the window on top (the checkout's, else the host's) as
  // "<n>-<name>.png" in the snapshot folder, and tells its path.
  void snapshot(const std::string& name);

  // The payment's one result, once it has arrived.
  const std::optional<Result<TransactionResultSDK>>& outcome() const { return outcome_; }

 private:
  GtkWidget* checkoutWidget(const std::string& name) const;
  WebKitWebView* pageView() const;
  void observe();
  void watchPage(WebKitWebView* view);
  void pageFinished(WebKitWebView* view);
  bool click(GtkWidget* widget, const std::string& what);
  void startPayment();
  void showOutcome();
  void skipIdleWait();
  double secondsSinceStart() const;

  const DemoOptions& options_;
  std::string root_;
  std::string snapshotFolder_;
  Narrator& narrator_;
  std::shared_ptr<FastClock> fastClock_;
  std::shared_ptr<passkit::Wallet> wallet_;
  GtkWindow* hostWindow_ = nullptr;  // weak: cleared when the window is finalized
  GtkWidget* payButton_ = nullptr;
  GtkWidget* outcomeLabel_ = nullptr;
  std::shared_ptr<gtk::WindowViewController> screen_;
  std::unique_ptr<SDK> sdk_;
  std::string transactionID_;
  std::optional<dispatch::TimePoint> started_;  // on the main queue's clock
  std::optional<Result<TransactionResultSDK>> outcome_;

  // What has been narrated.
  bool checkoutTold_ = false;
  bool menuTold_ = false;
  bool backButtonTold_ = false;
  bool gatewayPageTold_ = false;
  WebKitWebView* watchedPage_ = nullptr;  // weak
  int pagesLoaded_ = 0;
  bool pageFinishedPending_ = false;  // a load finished; told by the next observe()
  int snapshotCount_ = 0;
};

}  // namespace keln::demo
