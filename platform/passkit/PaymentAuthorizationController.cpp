#include <keln/passkit/PaymentAuthorizationController.h>

#include <utility>

#include <keln/dispatch/MainQueue.h>

namespace keln::passkit {

PaymentAuthorizationController::PaymentAuthorizationController(PaymentRequest paymentRequest)
    : paymentRequest_(std::move(paymentRequest)) {}

void PaymentAuthorizationController::present(std::function<void(bool presented)> completion) {
  std::shared_ptr<Wallet> wallet = Wallet::installed();
  std::shared_ptr<PaymentAuthorizationController> self = weak_from_this().lock();
  if (!wallet || !self) {
    dispatch::MainQueue::main().async([completion = std::move(completion)] {
      if (completion) completion(false);
    });
    return;
  }
  wallet->present(self, std::move(completion));
}

void PaymentAuthorizationController::dismiss(std::function<void()> completion) {
  if (std::shared_ptr<Wallet> wallet = wallet_.lock()) wallet->dismiss(*this);
  wallet_.reset();
  dispatch::MainQueue::main().async([completion = std::move(completion)] {
    if (completion) completion();
  });
}

bool PaymentAuthorizationController::isPresented() const {
  const std::shared_ptr<Wallet> wallet = wallet_.lock();
  return wallet && wallet->sheet_.get() == this;
}

}  // namespace keln::passkit
