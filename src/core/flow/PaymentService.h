#pragma once

#include <functional>
#include <string>

#include <keln/foundation/Result.h>
#include <keln/model/CheckoutRequest.h>
#include <keln/model/TransactionStatus.h>

#include "model/CheckoutResponseDTO.h"

namespace keln {

// The gateway operations the flows use: open a checkout, and query a transaction's
// status.
//
// Main thread only. Each completion runs exactly once: on the main queue, or at once on
// the calling thread when the client's configuration is rejected before sending, or when a
// status query names no transaction (KelnSDKError::invalidParameter("Missing
// transactionID")).
class PaymentService {
 public:
  virtual ~PaymentService() = default;

  virtual void createCheckout(const CheckoutRequest& request,
                              std::function<void(Result<CheckoutResponseDTO>)> completion) = 0;
  virtual void getTransactionStatus(const std::string& transactionID,
                                    std::function<void(Result<TransactionStatus>)> completion) = 0;
};

}  // namespace keln
