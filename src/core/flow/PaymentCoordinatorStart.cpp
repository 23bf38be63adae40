#include <keln/core/KelnSDKError.h>
#include <keln/platform/MainQueue.h>

#include "core/flow/DefaultPaymentService.h"
#include "core/flow/DefaultPaymentViewModel.h"
#include "core/flow/HTMLTemplate.h"
#include "core/flow/PaymentCoordinator.h"
#include "core/network/DefaultNetworkClient.h"
#include "core/network/NetworkConfiguration.h"
#include "presentation/DefaultPaymentView.h"
#include "presentation/PaymentViewController.h"
#include "uikit/NavigationController.h"

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
  if (auto reason = from->presentationUnavailableReason()) {
    failToStart(std::move(completion), *reason);
    return;
  }

  const std::uint64_t payment = beginPayment();
  // From here until the presentation completes, an ending waits for the presenter: the
  // new screen may load, and its checkout fail at once, as soon as it joins the stack.
  presenting_ = true;
  const NetworkConfigurationData configuration(config_.baseURL(), config_.clientID(), config_.token());
  std::shared_ptr<NetworkClient> networkClient =
      networkClientFactory_ ? networkClientFactory_(configuration) : std::make_shared<DefaultNetworkClient>(configuration);
  auto paymentService = std::make_shared<DefaultPaymentService>(std::move(networkClient));
  std::shared_ptr<DefaultPaymentView> contentView = BaseView::make<DefaultPaymentView>();
  auto viewModel =
      std::make_shared<DefaultPaymentViewModel>(config_, params, std::move(paymentService), *templateURL, shared_from_this());
  auto controller = std::make_shared<PaymentViewController>(std::move(contentView), std::move(viewModel));

  navigationController_->setViewControllers({controller});
  navigationController_->setModalPresentationStyle(uikit::ModalPresentationStyle::fullScreen);
  std::weak_ptr<PaymentCoordinator> weakSelf = weak_from_this();
  from->present(navigationController_, true, [weakSelf, payment] {
    if (auto self = weakSelf.lock()) self->presentationCompleted(payment);
  });
  setSource(from);
  setPaymentCompletion(std::move(completion));
  // A refused presentation never completes: release what waits for it now.
  if (!navigationController_->isBeingPresented()) presentationCompleted(payment);
}

}  // namespace keln
