#include "core/flow/PaymentCoordinator.h"

#include <keln/core/KelnSDKError.h>
#include <keln/dispatch/MainQueue.h>
#include <keln/uikit/ViewController.h>

#include "uikit/NavigationController.h"

namespace keln {

PaymentCoordinator::PaymentCoordinator(std::shared_ptr<uikit::NavigationController> navigationController,
                                       SDKConfig config, CheckoutScreenFactory checkoutScreenFactory)
    : navigationController_(std::move(navigationController)),
      config_(std::move(config)),
      bundle_(foundation::Bundle::module()),
      checkoutScreenFactory_(std::move(checkoutScreenFactory)) {}

PaymentCoordinator::~PaymentCoordinator() = default;

void PaymentCoordinator::finish(const Result<TransactionResultSDK>& result, std::uint64_t payment) {
  if (isCurrentPayment(payment)) {
    if (currentEnded_) return;
    currentEnded_ = true;
    if (!paymentCompletion_) return;
    // The completion stays stored until the next start replaces it; call a copy so that a
    // completion starting the next payment does not destroy itself while running.
    Completion completion = paymentCompletion_;
    completion(result);
    return;
  }
  for (auto it = endingEarlier_.begin(); it != endingEarlier_.end(); ++it) {
    if (it->first != payment) continue;
    Completion completion = std::move(it->second);
    endingEarlier_.erase(it);
    completion(result);
    return;
  }
}

void PaymentCoordinator::paymentEnding(std::uint64_t payment) {
  if (isCurrentPayment(payment)) currentEnding_ = true;
}

std::uint64_t PaymentCoordinator::beginPayment() {
  if (currentPayment_ != 0 && !currentEnded_ && paymentCompletion_) {
    if (currentEnding_) {
      endingEarlier_.emplace_back(currentPayment_, std::move(paymentCompletion_));
    } else {
      dispatch::MainQueue::main().async([completion = std::move(paymentCompletion_)] {
        completion(Result<TransactionResultSDK>::failure(
            makeError(KelnSDKError::sdkNotConfigured("Payment replaced by a newer payment"))));
      });
    }
  }
  paymentCompletion_ = nullptr;
  currentEnded_ = false;
  currentEnding_ = false;
  afterPresentation_.clear();
  presenting_ = false;
  // The earlier payment's presenter is not this payment's: an ending found before this
  // checkout is presented must not dismiss or deliver through it.
  source_.reset();
  return ++currentPayment_;
}

void PaymentCoordinator::afterPresentation(std::function<void()> action) {
  afterPresentation_.push_back(std::move(action));
}

void PaymentCoordinator::presentationCompleted() {
  presenting_ = false;
  std::vector<std::function<void()>> actions;
  actions.swap(afterPresentation_);
  for (auto& action : actions) action();
}

}  // namespace keln
