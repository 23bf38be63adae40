#pragma once

#include <keln/Export.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/passkit/PaymentAuthorizationResult.h>
#include <keln/passkit/PaymentNetwork.h>

namespace keln::passkit {

class PaymentAuthorizationController;

// The device's wallet: the cards the user holds and the payment sheet the user answers.
//
// Linux has no wallet, so until a host (or a test) installs one, nothing can make
// payments and every sheet is refused. An installed wallet says whether the device can
// make payments, which card networks the user holds, whether sheets may be shown, and
// what the user does on a sheet: authorize a payment with given token data, or close the
// sheet. That happens on its own when a user action is set, or when the host calls
// authorize() or cancel() while a sheet is on screen.
//
// One sheet is on screen at a time; another presentation meanwhile is refused. The
// wallet tells the sheet's delegate what happened, always on the main queue and in the
// platform's order: each authorization with a handler to answer; then, after a
// successful answer or when the user closes the sheet, the finish. A sheet whose answer
// was a failure stays up for the user to try again or close it. A sheet leaves the
// screen when its controller is dismissed.
//
// Main thread only, install() and installed() included.
class KELN_EXPORT Wallet : public std::enable_shared_from_this<Wallet> {
 public:
  // What the user does as soon as a sheet is on screen.
  class UserAction {
   public:
    enum class Kind { authorize, cancel };

    static UserAction authorize(std::string tokenData) { return UserAction(Kind::authorize, std::move(tokenData)); }
    static UserAction cancel() { return UserAction(Kind::cancel, {}); }

    Kind kind() const { return kind_; }
    // The token data of an authorization; empty for a cancellation.
    const std::string& tokenData() const { return tokenData_; }

   private:
    UserAction(Kind kind, std::string tokenData) : kind_(kind), tokenData_(std::move(tokenData)) {}

    Kind kind_;
    std::string tokenData_;
  };

  // Makes `wallet` the device's wallet (nullptr removes it) and returns the one before.
  static std::shared_ptr<Wallet> install(std::shared_ptr<Wallet> wallet);
  // The installed wallet, or nullptr.
  static std::shared_ptr<Wallet> installed();

  // A wallet that can make payments, holds no card, shows sheets and waits for the host
  // to act on them.
  Wallet() = default;
  Wallet(const Wallet&) = delete;
  Wallet& operator=(const Wallet&) = delete;

  bool canMakePayments() const { return canMakePayments_; }
  void setCanMakePayments(bool value) { canMakePayments_ = value; }

  // True when the device can make payments and the user holds a card of one of
  // `networks`.
  bool canMakePayments(const std::vector<PaymentNetwork>& networks) const;
  const std::vector<PaymentNetwork>& cardNetworks() const { return cardNetworks_; }
  void setCardNetworks(std::vector<PaymentNetwork> networks) { cardNetworks_ = std::move(networks); }

  // Whether sheets may be shown at all; when false every presentation is refused.
  bool presentsSheets() const { return presentsSheets_; }
  void setPresentsSheets(bool value) { presentsSheets_ = value; }

  // What the user does on each sheet from now on; nullopt leaves it to authorize() and
  // cancel().
  void setUserAction(std::optional<UserAction> action) { userAction_ = std::move(action); }

  // True while a sheet is on screen (from its presentation until its dismissal).
  bool isSheetOnScreen() const { return sheet_ != nullptr; }

  // The user authorizes the payment on the sheet with `tokenData`. False, and nothing
  // happens, when no sheet is on screen, an earlier authorization awaits its answer, or
  // the sheet has finished.
  bool authorize(std::string tokenData);

  // The user closes the sheet. False, and nothing happens, when no sheet is on screen or
  // the sheet has already finished.
  bool cancel();

  // The answers the current sheet (or, once it has left the screen, the last one) has
  // received, oldest first. Each sheet starts a new list, so that a wallet that shows
  // sheets for ever keeps only those of one.
  const std::vector<PaymentAuthorizationResult>& authorizationResults() const { return authorizationResults_; }

 private:
  friend class PaymentAuthorizationController;

  // Called by a controller that is asked to present or dismiss its sheet.
  void present(const std::shared_ptr<PaymentAuthorizationController>& controller, std::function<void(bool)> completion);
  void dismiss(const PaymentAuthorizationController& controller);

  void deliverAuthorization(const std::shared_ptr<PaymentAuthorizationController>& controller, std::string tokenData);
  void receiveAnswer(const std::shared_ptr<PaymentAuthorizationController>& controller,
                     PaymentAuthorizationResult result);
  void deliverFinish(const std::shared_ptr<PaymentAuthorizationController>& controller);

  bool canMakePayments_ = true;
  std::vector<PaymentNetwork> cardNetworks_;
  bool presentsSheets_ = true;
  std::optional<UserAction> userAction_;

  std::shared_ptr<PaymentAuthorizationController> sheet_;         // the controller whose sheet is on screen
  bool awaitingAnswer_ = false;                                   // an authorization has not been answered yet
  bool finished_ = false;                                         // the sheet's delegate has been told of the finish
  std::vector<PaymentAuthorizationResult> authorizationResults_;  // the current or last sheet's
};

}  // namespace keln::passkit
