#include <keln/passkit/PaymentAuthorizationViewController.h>

#include <keln/passkit/Wallet.h>

namespace keln::passkit {

bool PaymentAuthorizationViewController::canMakePayments() {
  const std::shared_ptr<Wallet> wallet = Wallet::installed();
  return wallet && wallet->canMakePayments();
}

bool PaymentAuthorizationViewController::canMakePayments(const std::vector<PaymentNetwork>& usingNetworks) {
  const std::shared_ptr<Wallet> wallet = Wallet::installed();
  return wallet && wallet->canMakePayments(usingNetworks);
}

}  // namespace keln::passkit
