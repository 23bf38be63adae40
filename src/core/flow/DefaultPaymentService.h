#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/flow/PaymentService.h"
#include "core/network/NetworkClient.h"

namespace keln {

// The payment service over a network client, which it owns: the checkout POST and the
// status GET, both on the client's configured base URL.
//
// A failed status query prints the error's localized description on standard output; a
// status reply whose merchant terminal id is not an integer fails with a
// foundation::DecodingError (dataCorrupted at merchant.terminalId). Main thread only.
class DefaultPaymentService final : public PaymentService {
 public:
  explicit DefaultPaymentService(std::shared_ptr<NetworkClient> networkClient);

  const std::shared_ptr<NetworkClient>& networkClient() const { return networkClient_; }

  void createCheckout(const CheckoutRequest& request,
                      std::function<void(Result<CheckoutResponseDTO>)> completion) override;
  void getTransactionStatus(const std::string& transactionID,
                            std::function<void(Result<TransactionStatus>)> completion) override;

 private:
  const std::shared_ptr<NetworkClient> networkClient_;
};

}  // namespace keln
