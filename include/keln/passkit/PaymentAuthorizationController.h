#pragma once

#include <keln/Export.h>

#include <functional>
#include <memory>

#include <keln/passkit/PaymentAuthorizationControllerDelegate.h>
#include <keln/passkit/PaymentRequest.h>
#include <keln/passkit/Wallet.h>

namespace keln::passkit {

// Shows the wallet's payment sheet for one request and reports, through its delegate,
// what the user does on it (see Wallet for the order of the calls).
//
// Held by std::shared_ptr (presentation needs it); holds its delegate weakly. While its
// sheet is on screen the wallet keeps it alive. Main thread only; every completion runs
// later on the main queue.
class KELN_EXPORT PaymentAuthorizationController : public std::enable_shared_from_this<PaymentAuthorizationController> {
 public:
  explicit PaymentAuthorizationController(PaymentRequest paymentRequest);
  PaymentAuthorizationController(const PaymentAuthorizationController&) = delete;
  PaymentAuthorizationController& operator=(const PaymentAuthorizationController&) = delete;

  const PaymentRequest& paymentRequest() const { return paymentRequest_; }

  std::shared_ptr<PaymentAuthorizationControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<PaymentAuthorizationControllerDelegate> delegate) { delegate_ = std::move(delegate); }

  // Asks the installed wallet to show the sheet; `completion` learns whether it did. The
  // wallet refuses when there is none, when it shows no sheets, when another sheet is on
  // screen (this one included), or when the request lacks a merchant identifier, a
  // country code, a currency code, a network or a summary item, has an amount that is
  // not a number, or a negative total.
  void present(std::function<void(bool presented)> completion);

  // Takes the sheet off the screen (if it is there) and then runs `completion`.
  void dismiss(std::function<void()> completion);

  // True from a successful presentation until the dismissal.
  bool isPresented() const;

 private:
  friend class Wallet;

  PaymentRequest paymentRequest_;
  std::weak_ptr<PaymentAuthorizationControllerDelegate> delegate_;
  std::weak_ptr<Wallet> wallet_;  // the wallet showing the sheet, while it does
};

}  // namespace keln::passkit
