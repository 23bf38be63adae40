#pragma once

#include <keln/Export.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <keln/model/CheckoutRequest.h>
#include <keln/model/Codes.h>
#include <keln/model/WireParts.h>

namespace keln {

// The one payment a host asks the SDK to take (SDK::startPayment). A plain immutable
// value: the SDK copies it, never changes or validates it, and sends what it holds to the
// gateway as given (a zero or negative amount, a lower-case currency, an empty method
// list). Any thread.
//
// `merchantTransactionDescription` is carried but not sent. `applePayMerchantId` serves
// only the Apple Pay request; without it none is made.
class KELN_EXPORT TransactionParamsSDK {
 public:
  // Every field, named, in the order of the constructor's arguments below, so that a host
  // can name each at the call site:
  //
  //   keln::TransactionParamsSDK params({.terminalID = 1234,
  //                                      .transactionID = "ORDER-1",
  //                                      .transactionDescription = "Two coffees",
  //                                      .amount = 12.5,
  //                                      .currency = "PLN",
  //                                      .paymentMethods = {keln::PaymentMethod::card}});
  //
  // A field left out is absent when optional; otherwise it is zero or empty, and is sent
  // as such.
  struct Fields {
    std::int64_t terminalID = 0;
    std::optional<std::string> merchantTransactionDescription{};
    std::string transactionID{};
    std::string transactionDescription{};
    double amount = 0;
    std::string currency{};
    std::vector<PaymentMethod> paymentMethods{};
    std::optional<std::string> client{};
    std::optional<std::string> email{};
    std::optional<std::string> shopURL{};
    std::optional<Address> shippingAddress{};
    std::optional<Address> billingAddress{};
    std::optional<TokenizationParams> tokenizationParams{};
    std::optional<std::string> applePayMerchantId{};
  };

  explicit TransactionParamsSDK(Fields fields);
  // `transactionDescription` is stored as present, even when empty.
  TransactionParamsSDK(std::int64_t terminalID, std::optional<std::string> merchantTransactionDescription,
                       std::string transactionID, std::string transactionDescription, double amount,
                       std::string currency, std::vector<PaymentMethod> paymentMethods,
                       std::optional<std::string> client, std::optional<std::string> email,
                       std::optional<std::string> shopURL, std::optional<Address> shippingAddress,
                       std::optional<Address> billingAddress, std::optional<TokenizationParams> tokenizationParams,
                       std::optional<std::string> applePayMerchantId);

  std::int64_t terminalID() const { return terminalID_; }
  const std::optional<std::string>& merchantTransactionDescription() const { return merchantTransactionDescription_; }
  const std::string& transactionID() const { return transactionID_; }
  const std::optional<std::string>& transactionDescription() const { return transactionDescription_; }
  double amount() const { return amount_; }
  const std::string& currency() const { return currency_; }
  const std::vector<PaymentMethod>& paymentMethods() const { return paymentMethods_; }
  const std::optional<std::string>& client() const { return client_; }
  const std::optional<std::string>& email() const { return email_; }
  const std::optional<std::string>& shopURL() const { return shopURL_; }
  const std::optional<Address>& shippingAddress() const { return shippingAddress_; }
  const std::optional<Address>& billingAddress() const { return billingAddress_; }
  const std::optional<TokenizationParams>& tokenizationParams() const { return tokenizationParams_; }
  const std::optional<std::string>& applePayMerchantId() const { return applePayMerchantId_; }

 private:
  std::int64_t terminalID_;
  std::optional<std::string> merchantTransactionDescription_;
  std::string transactionID_;
  std::optional<std::string> transactionDescription_;
  double amount_;
  std::string currency_;
  std::vector<PaymentMethod> paymentMethods_;
  std::optional<std::string> client_;
  std::optional<std::string> email_;
  std::optional<std::string> shopURL_;
  std::optional<Address> shippingAddress_;
  std::optional<Address> billingAddress_;
  std::optional<TokenizationParams> tokenizationParams_;
  std::optional<std::string> applePayMerchantId_;
};

}  // namespace keln
