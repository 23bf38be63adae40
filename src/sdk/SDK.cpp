#include <keln/KelnSDK.h>

#include "core/SDKConfigFactory.h"
#include "core/flow/DefaultPaymentService.h"
#include "core/flow/PaymentCoordinator.h"
#include "core/network/DefaultNetworkClient.h"
#include "core/network/NetworkConfiguration.h"
#include "presentation/PaymentViewController.h"
#include "uikit/NavigationController.h"

extern "C" {
const double KelnSDKVersionNumber = 1.0;
const unsigned char KelnSDKVersionString[] = "@(#)PROGRAM:KelnSDK  PROJECT:KelnSDK-1\n";
}

namespace keln {

SDK::SDK(std::string clientId, std::string accessToken, EnvironmentSDK environmentSDK)
    : SDK(SDKConfig(std::move(clientId), std::move(accessToken), environmentSDK)) {}

SDK::SDK(SDKConfig config) : config_(std::move(config)) {
  const NetworkConfigurationData configuration(config_.baseURL(), config_.clientID(), config_.token());
  paymentService_ = std::make_shared<DefaultPaymentService>(std::make_shared<DefaultNetworkClient>(configuration));
  paymentCoordinator_ = std::make_shared<PaymentCoordinator>(std::make_shared<uikit::NavigationController>(), config_,
                                                             &PaymentViewController::makeCheckout);
}

SDK::~SDK() = default;

void SDK::startPayment(const std::shared_ptr<uikit::ViewController>& from, const TransactionParamsSDK& with,
                       PaymentCompletion completion) {
  paymentCoordinator_->start(from, with, std::move(completion));
}

void SDK::getTransactionStatus(const std::string& transactionID, StatusCompletion completion) {
  paymentService_->getTransactionStatus(transactionID, std::move(completion));
}

}  // namespace keln
