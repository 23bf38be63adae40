#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <keln/core/SDKConfig.h>
#include <keln/core/TransactionParamsSDK.h>
#include <keln/core/TransactionResultSDK.h>
#include <keln/foundation/Result.h>

#include "core/flow/Coordinator.h"
#include "foundation/Bundle.h"

namespace keln {
namespace uikit {
class ViewController;
}
class NetworkClient;
class NetworkConfiguration;
class PaymentViewModel;

// Starts every checkout of one SDK and hands each payment's result to the host.
//
// Owns the navigation controller that every checkout is shown in (and through it the
// checkout on screen) and the host's completion of the latest payment; refers to the
// host's presenting controller weakly.
//
// Each start numbers its payment, and every payment whose completion is stored ends
// exactly once. A start while the latest payment is still open replaces its screen and
// ends it at once: its completion receives KelnSDKError::sdkNotConfigured("Payment
// replaced by a newer payment") on the main queue. A payment whose checkout was already
// being dismissed when it was replaced still receives its own result. No result of one
// payment ever reaches the completion of another.
//
// Made by the SDK with std::make_shared; main thread only.
class PaymentCoordinator final : public Coordinator, public std::enable_shared_from_this<PaymentCoordinator> {
 public:
  using Completion = std::function<void(Result<TransactionResultSDK>)>;
  using NetworkClientFactory = std::function<std::shared_ptr<NetworkClient>(const NetworkConfiguration&)>;
  // Makes the checkout screen of one payment around its view model. The screens belong
  // to the presentation layer, which provides this; it is set when the coordinator is
  // made and must not be empty.
  using CheckoutScreenFactory =
      std::function<std::shared_ptr<uikit::ViewController>(std::shared_ptr<PaymentViewModel> viewModel)>;

  PaymentCoordinator(std::shared_ptr<uikit::NavigationController> navigationController, SDKConfig config,
                     CheckoutScreenFactory checkoutScreenFactory);
  ~PaymentCoordinator() override;

  std::vector<std::shared_ptr<Coordinator>>& childCoordinators() override { return childCoordinators_; }
  void setChildCoordinators(std::vector<std::shared_ptr<Coordinator>> coordinators) override {
    childCoordinators_ = std::move(coordinators);
  }
  const std::shared_ptr<uikit::NavigationController>& navigationController() const override {
    return navigationController_;
  }
  void setNavigationController(std::shared_ptr<uikit::NavigationController> controller) override {
    navigationController_ = std::move(controller);
  }

  const SDKConfig& config() const { return config_; }

  // The host's completion of the latest payment; empty before the first.
  const Completion& paymentCompletion() const { return paymentCompletion_; }
  void setPaymentCompletion(Completion completion) { paymentCompletion_ = std::move(completion); }

  // The controller that presented the latest checkout; null when none or released.
  std::shared_ptr<uikit::ViewController> source() const { return source_.lock(); }
  void setSource(const std::shared_ptr<uikit::ViewController>& source) { source_ = source; }

  // Builds the checkout of one payment and presents it full screen from `from`, or, when
  // `from` already presents the checkout, replaces the screen in place. A payment that
  // cannot start ends at once: nothing is presented, dismissed or sent, the payment on
  // screen (if any) goes on, and `completion` receives KelnSDKError::sdkNotConfigured on
  // the main queue with "Missing payment template", "Missing presenting view controller"
  // or, when `from` presents another screen or cannot present the checkout for another
  // reason, "Failed to present the checkout".
  void start(const std::shared_ptr<uikit::ViewController>& from, const TransactionParamsSDK& params,
             Completion completion);

  // Hands `result` to the completion of `payment`, once its checkout has been dismissed.
  // Nothing happens when that payment has already ended or was replaced before its
  // ending began, or when it has no completion.
  void finish(const Result<TransactionResultSDK>& result, std::uint64_t payment);
  // Hands `result` to the latest payment's completion.
  void finish(const Result<TransactionResultSDK>& result) { finish(result, currentPayment_); }

  // Called when the checkout of `payment` is asked to dismiss with the payment's result:
  // from then on, a replacement no longer ends it; finish() will.
  void paymentEnding(std::uint64_t payment);

  // Numbers a new payment, which becomes the latest; start() begins with it. The payment
  // before it ends as replaced unless its ending has begun. The earlier presenter is
  // forgotten until the new checkout's is stored.
  std::uint64_t beginPayment();
  // The number of the latest payment; 0 before the first start.
  std::uint64_t currentPayment() const { return currentPayment_; }
  bool isCurrentPayment(std::uint64_t payment) const { return payment != 0 && payment == currentPayment_; }
  // True while `payment`'s checkout is being presented (its presenter not yet stored).
  bool isPresenting(std::uint64_t payment) const { return presenting_ && isCurrentPayment(payment); }
  // True once a newer payment has begun after `payment`.
  bool isReplaced(std::uint64_t payment) const { return payment != 0 && payment < currentPayment_; }
  // Runs `action` once the current presentation has completed.
  void afterPresentation(std::function<void()> action);

  // Where the page template is looked up; the SDK's own bundle unless replaced (tests).
  void setResourceBundle(foundation::Bundle bundle) { bundle_ = std::move(bundle); }
  // How each payment's network client is made; a DefaultNetworkClient over the
  // configuration unless replaced (tests and the demo use other session settings).
  void setNetworkClientFactory(NetworkClientFactory factory) { networkClientFactory_ = std::move(factory); }

 private:
  // The navigation controller's presentation has completed: the presenter of the latest
  // payment is stored by then, also when that payment replaced the screen meanwhile.
  void presentationCompleted();

  std::vector<std::shared_ptr<Coordinator>> childCoordinators_;
  std::shared_ptr<uikit::NavigationController> navigationController_;
  const SDKConfig config_;
  Completion paymentCompletion_;
  std::weak_ptr<uikit::ViewController> source_;
  foundation::Bundle bundle_;
  NetworkClientFactory networkClientFactory_;
  const CheckoutScreenFactory checkoutScreenFactory_;
  std::uint64_t currentPayment_ = 0;
  bool currentEnded_ = false;   // the latest payment's completion has run (or never will)
  bool currentEnding_ = false;  // the latest payment's checkout is being dismissed
  // Replaced payments whose checkout was being dismissed: number and completion, until
  // finish() hands them their result.
  std::vector<std::pair<std::uint64_t, Completion>> endingEarlier_;
  bool presenting_ = false;
  std::vector<std::function<void()>> afterPresentation_;
};

}  // namespace keln
