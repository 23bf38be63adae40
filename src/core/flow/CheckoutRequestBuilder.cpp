#include "core/flow/CheckoutRequestBuilder.h"

#include "model/TimestampFormatter.h"

namespace keln {
namespace {

const TimestampFormatter& timestampDateFormatter() {
  static const TimestampFormatter formatter;
  return formatter;
}

}  // namespace

CheckoutRequest CheckoutRequestBuilder::build(const TransactionParamsSDK& params) {
  Merchant merchant(params.terminalID(), params.transactionID(), std::nullopt, std::string("web"), params.shopURL(),
                    params.transactionDescription());
  Transaction transaction(timestampDateFormatter().now(), params.transactionDescription().value_or(std::string()),
                          "PURS", Amount(params.amount(), params.currency()), params.paymentMethods());
  Customer customer(CustomerInfo(params.client(), params.email(), params.shippingAddress(), params.billingAddress()));
  return CheckoutRequest(std::move(merchant), std::move(transaction), std::move(customer), params.tokenizationParams());
}

}  // namespace keln
