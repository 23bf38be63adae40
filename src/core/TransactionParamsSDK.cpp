#include <keln/core/TransactionParamsSDK.h>

#include <utility>

namespace keln {

TransactionParamsSDK::TransactionParamsSDK(
    std::int64_t terminalID, std::optional<std::string> merchantTransactionDescription, std::string transactionID,
    std::string transactionDescription, double amount, std::string currency, std::vector<PaymentMethod> paymentMethods,
    std::optional<std::string> client, std::optional<std::string> email, std::optional<std::string> shopURL,
    std::optional<Address> shippingAddress, std::optional<Address> billingAddress,
    std::optional<TokenizationParams> tokenizationParams, std::optional<std::string> applePayMerchantId)
    : terminalID_(terminalID),
      merchantTransactionDescription_(std::move(merchantTransactionDescription)),
      transactionID_(std::move(transactionID)),
      transactionDescription_(std::move(transactionDescription)),
      amount_(amount),
      currency_(std::move(currency)),
      paymentMethods_(std::move(paymentMethods)),
      client_(std::move(client)),
      email_(std::move(email)),
      shopURL_(std::move(shopURL)),
      shippingAddress_(std::move(shippingAddress)),
      billingAddress_(std::move(billingAddress)),
      tokenizationParams_(std::move(tokenizationParams)),
      applePayMerchantId_(std::move(applePayMerchantId)) {}

TransactionParamsSDK::TransactionParamsSDK(Fields fields)
    : TransactionParamsSDK(fields.terminalID, std::move(fields.merchantTransactionDescription),
                           std::move(fields.transactionID), std::move(fields.transactionDescription), fields.amount,
                           std::move(fields.currency), std::move(fields.paymentMethods), std::move(fields.client),
                           std::move(fields.email), std::move(fields.shopURL), std::move(fields.shippingAddress),
                           std::move(fields.billingAddress), std::move(fields.tokenizationParams),
                           std::move(fields.applePayMerchantId)) {}

}  // namespace keln
