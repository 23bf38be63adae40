#include <keln/passkit/Wallet.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

#include <keln/dispatch/MainQueue.h>

#include <keln/passkit/PaymentAuthorizationController.h>

namespace keln::passkit {
namespace {

std::mutex installedMutex;
std::shared_ptr<Wallet> installedWallet;  // guarded by installedMutex

bool isPresentable(const PaymentRequest& request) {
  if (request.merchantIdentifier().empty() || request.countryCode().empty() || request.currencyCode().empty()) {
    return false;
  }
  if (request.supportedNetworks().empty() || request.paymentSummaryItems().empty()) return false;
  for (const PaymentSummaryItem& item : request.paymentSummaryItems()) {
    if (item.amount.isNaN()) return false;
  }
  return !request.paymentSummaryItems().back().amount.isNegative();
}

}  // namespace

std::shared_ptr<Wallet> Wallet::install(std::shared_ptr<Wallet> wallet) {
  std::lock_guard<std::mutex> lock(installedMutex);
  std::swap(installedWallet, wallet);
  return wallet;
}

std::shared_ptr<Wallet> Wallet::installed() {
  std::lock_guard<std::mutex> lock(installedMutex);
  return installedWallet;
}

bool Wallet::canMakePayments(const std::vector<PaymentNetwork>& networks) const {
  if (!canMakePayments_) return false;
  return std::any_of(networks.begin(), networks.end(), [this](const PaymentNetwork& network) {
    return std::find(cardNetworks_.begin(), cardNetworks_.end(), network) != cardNetworks_.end();
  });
}

void Wallet::present(const std::shared_ptr<PaymentAuthorizationController>& controller,
                     std::function<void(bool)> completion) {
  const bool shown = presentsSheets_ && sheet_ == nullptr && isPresentable(controller->paymentRequest());
  if (shown) {
    sheet_ = controller;
    awaitingAnswer_ = false;
    finished_ = false;
    authorizationResults_ = {};  // gives the last sheet's storage back
    controller->wallet_ = weak_from_this();
  }
  dispatch::MainQueue::main().async([completion = std::move(completion), shown] {
    if (completion) completion(shown);
  });
  if (shown && userAction_) {
    std::weak_ptr<Wallet> weakSelf = weak_from_this();
    std::weak_ptr<PaymentAuthorizationController> weakController = controller;
    dispatch::MainQueue::main().async([weakSelf, weakController, action = *userAction_] {
      const std::shared_ptr<Wallet> self = weakSelf.lock();
      const std::shared_ptr<PaymentAuthorizationController> sheet = weakController.lock();
      if (!self || !sheet || self->sheet_ != sheet) return;
      if (action.kind() == UserAction::Kind::authorize) {
        self->authorize(action.tokenData());
      } else {
        self->cancel();
      }
    });
  }
}

void Wallet::dismiss(const PaymentAuthorizationController& controller) {
  if (sheet_.get() != &controller) return;
  sheet_.reset();
  awaitingAnswer_ = false;
  finished_ = false;
}

bool Wallet::authorize(std::string tokenData) {
  if (!sheet_ || awaitingAnswer_ || finished_) return false;
  awaitingAnswer_ = true;
  std::weak_ptr<Wallet> weakSelf = weak_from_this();
  dispatch::MainQueue::main().async([weakSelf, controller = sheet_, tokenData = std::move(tokenData)]() mutable {
    if (const std::shared_ptr<Wallet> self = weakSelf.lock()) {
      self->deliverAuthorization(controller, std::move(tokenData));
    }
  });
  return true;
}

bool Wallet::cancel() {
  if (!sheet_ || finished_) return false;
  finished_ = true;
  std::weak_ptr<Wallet> weakSelf = weak_from_this();
  dispatch::MainQueue::main().async([weakSelf, controller = sheet_] {
    if (const std::shared_ptr<Wallet> self = weakSelf.lock()) self->deliverFinish(controller);
  });
  return true;
}

void Wallet::deliverAuthorization(const std::shared_ptr<PaymentAuthorizationController>& controller,
                                  std::string tokenData) {
  if (sheet_ != controller || finished_) return;
  const std::shared_ptr<PaymentAuthorizationControllerDelegate> delegate = controller->delegate();
  if (!delegate) {
    // Nobody can answer; the sheet stays up for the user to close.
    awaitingAnswer_ = false;
    return;
  }
  auto answered = std::make_shared<std::atomic<bool>>(false);
  std::weak_ptr<Wallet> weakSelf = weak_from_this();
  std::weak_ptr<PaymentAuthorizationController> weakController = controller;
  delegate->paymentAuthorizationController(
      controller, Payment(PaymentToken(std::move(tokenData))),
      [weakSelf, weakController, answered](PaymentAuthorizationResult result) {
        if (answered->exchange(true)) return;
        dispatch::MainQueue::main().async([weakSelf, weakController, result = std::move(result)] {
          const std::shared_ptr<Wallet> self = weakSelf.lock();
          const std::shared_ptr<PaymentAuthorizationController> sheet = weakController.lock();
          if (self && sheet) self->receiveAnswer(sheet, result);
        });
      });
}

void Wallet::receiveAnswer(const std::shared_ptr<PaymentAuthorizationController>& controller,
                           PaymentAuthorizationResult result) {
  if (sheet_ != controller) return;
  const bool succeeded = result.status() == PaymentAuthorizationStatus::success;
  authorizationResults_.push_back(std::move(result));
  awaitingAnswer_ = false;
  if (finished_ || !succeeded) return;
  finished_ = true;
  std::weak_ptr<Wallet> weakSelf = weak_from_this();
  dispatch::MainQueue::main().async([weakSelf, controller] {
    if (const std::shared_ptr<Wallet> self = weakSelf.lock()) self->deliverFinish(controller);
  });
}

void Wallet::deliverFinish(const std::shared_ptr<PaymentAuthorizationController>& controller) {
  if (sheet_ != controller) return;
  const std::shared_ptr<PaymentAuthorizationControllerDelegate> delegate = controller->delegate();
  if (!delegate) {
    // Nobody will dismiss the sheet; it closes by itself.
    dismiss(*controller);
    controller->wallet_.reset();
    return;
  }
  delegate->paymentAuthorizationControllerDidFinish(controller);
}

}  // namespace keln::passkit
