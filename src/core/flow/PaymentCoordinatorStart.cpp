#include <keln/core/KelnSDKError.h>
#include <keln/dispatch/MainQueue.h>

#include "core/flow/DefaultPaymentService.h"
#include "core/flow/DefaultPaymentViewModel.h"
#include "core/flow/HTMLTemplate.h"
#include "core/flow/PaymentCoordinator.h"
#include "core/network/DefaultNetworkClient.h"
#include "core/network/NetworkConfiguration.h"
#include "foundation/Log.h"
#include "uikit/NavigationController.h"
#include "uikit/ViewControllerAccess.h"

namespace keln {
namespace {

// Ends a payment that could not start: the completion receives `error` on the main queue.
void failToStart(PaymentCoordinator::Completion completion, std::string message) {
  if (!completion) return;
  dispatch::MainQueue::main().async([completion = std::move(completion), message = std::move(message)] {
    completion(Result<TransactionResultSDK>::failure(makeError(KelnSDKError::sdkNotConfigured(message))));
  });
}

}  // namespace

void PaymentCoordinator::start(const std::shared_ptr<uikit::ViewController>& from, const TransactionParamsSDK& params,
                               Completion completion) {
  const std::optional<std::filesystem::path> templateURL = bundle_.url("payment_template", templateFileExtension);
  if (!templateURL) {
    failToStart(std::move(completion), "Missing payment template");
    return;
  }
  if (!from) {
    failToStart(std::move(completion), "Missing presenting view controller");
    return;
  }
  // A host controller that cannot show screens at all (no display) says why; the payment
  // ends with that reason before anything is built or sent.
  if (auto reason = from->presentationUnavailableReason()) {
    failToStart(std::move(completion), *reason);
    return;
  }
  // A start from the controller that shows the checkout replaces the screen in place;
  // any other start must be able to present the checkout, or nothing of it is built: a
  // checkout screen that joined the (loaded) navigation controller would open the
  // checkout at the gateway with nobody to see it.
  if (from->presentedViewController() != navigationController_) {
    if (const std::optional<std::string> refusal =
            uikit::ViewControllerAccess::presentationRefusal(*from, navigationController_)) {
      foundation::systemLog(*refusal);
      failToStart(std::move(completion), "Failed to present the checkout");
      return;
    }
  }

  beginPayment();
  // From here until the presentation completes, an ending waits for the presenter: the
  // new screen may load, and its checkout fail at once, as soon as it joins the stack.
  presenting_ = true;
  const NetworkConfigurationData configuration(config_.baseURL(), config_.clientID(), config_.token());
  std::shared_ptr<NetworkClient> networkClient = networkClientFactory_
                                                     ? networkClientFactory_(configuration)
                                                     : std::make_shared<DefaultNetworkClient>(configuration);
  auto paymentService = std::make_shared<DefaultPaymentService>(std::move(networkClient));
  auto viewModel = std::make_shared<DefaultPaymentViewModel>(config_, params, std::move(paymentService), *templateURL,
                                                             shared_from_this());
  std::shared_ptr<uikit::ViewController> controller = checkoutScreenFactory_(std::move(viewModel));

  navigationController_->setViewControllers({controller});
  uikit::ViewControllerAccess::setModalPresentationStyle(*navigationController_,
                                                         uikit::ModalPresentationStyle::fullScreen);
  std::weak_ptr<PaymentCoordinator> weakSelf = weak_from_this();
  uikit::ViewControllerAccess::present(*from, navigationController_, true, [weakSelf] {
    if (auto self = weakSelf.lock()) self->presentationCompleted();
  });
  setSource(from);
  setPaymentCompletion(std::move(completion));
  // A checkout already on screen is not presented again: release what waits now, unless
  // its own presentation is still under way.
  if (!uikit::ViewControllerAccess::isBeingPresented(*navigationController_)) presentationCompleted();
}

}  // namespace keln
