#include "core/flow/DefaultPaymentService.h"

#include <optional>
#include <utility>

#include <keln/core/KelnSDKError.h>

#include "core/network/PaymentRouter.h"
#include "foundation/Log.h"

namespace keln {

DefaultPaymentService::DefaultPaymentService(std::shared_ptr<NetworkClient> networkClient)
    : networkClient_(std::move(networkClient)) {}

void DefaultPaymentService::createCheckout(const CheckoutRequest& request,
                                           std::function<void(Result<CheckoutResponseDTO>)> completion) {
  auto router =
      std::make_shared<PaymentRouter>(PaymentRouter::payment(networkClient_->configuration().baseURL(), request));
  networkClient_->request<CheckoutResponseDTO>(std::move(router), std::move(completion));
}

void DefaultPaymentService::getTransactionStatus(const std::string& transactionID,
                                                 std::function<void(Result<TransactionStatus>)> completion) {
  if (transactionID.empty()) {
    // The request would name no transaction ("/payments//status"): nothing is sent.
    auto failure = makeError(KelnSDKError::invalidParameter("Missing transactionID"));
    foundation::standardOutput(failure->localizedDescription());
    completion(Result<TransactionStatus>::failure(std::move(failure)));
    return;
  }
  auto router =
      std::make_shared<PaymentRouter>(PaymentRouter::status(networkClient_->configuration().baseURL(), transactionID));
  networkClient_->request<TransactionStatusDTO>(
      std::move(router), [completion = std::move(completion)](Result<TransactionStatusDTO> result) {
        if (result.isFailure()) {
          foundation::standardOutput(result.error()->localizedDescription());
          completion(Result<TransactionStatus>::failure(result.error()));
          return;
        }
        std::optional<TransactionStatus> status = result.value().parse();
        if (!status) {
          const std::string& terminalId = result.value().merchantDTO().terminalId();
          auto failure = makeError(
              foundation::DecodingError(foundation::DecodingError::Kind::dataCorrupted, {"merchant", "terminalId"},
                                        "The terminal id \"" + terminalId + "\" is not a base-10 integer in range."));
          foundation::standardOutput(failure->localizedDescription());
          completion(Result<TransactionStatus>::failure(std::move(failure)));
          return;
        }
        completion(Result<TransactionStatus>::success(std::move(*status)));
      });
}

}  // namespace keln
