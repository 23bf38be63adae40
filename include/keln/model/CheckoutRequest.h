#pragma once

#include <keln/Export.h>

// The checkout request: the JSON body the SDK posts to the gateway to open a checkout.
//
//   {"merchant": {...}, "transaction": {...}, "customer": {...}, "tokenisation": {...}}
//
// All values are immutable once made, hold no shared state and may be copied, read and
// encoded on any thread. No constructor validates its arguments: CheckoutRequest::Builder
// assembles a request with validation. Decoding throws foundation::DecodingError and
// yields nothing partial; encoding throws foundation::EncodingError, which with these
// types only happens for an amount that is not finite.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <keln/foundation/JSONCoding.h>
#include <keln/model/AddressBuilder.h>
#include <keln/model/BuilderError.h>
#include <keln/model/Codes.h>
#include <keln/model/WireParts.h>

namespace keln {

class TimestampFormatter;

// A reference to an earlier payment. Part of the transaction record, but no transaction
// made or decoded by the SDK ever holds one.
class KELN_EXPORT PaymentReference {
 public:
  PaymentReference(std::string initialDatetime, std::string finalDatetime, Amount maxAmount, Amount minAmount,
                   std::string entity);

  const std::string& initialDatetime() const { return initialDatetime_; }
  const std::string& finalDatetime() const { return finalDatetime_; }
  const Amount& maxAmount() const { return maxAmount_; }
  const Amount& minAmount() const { return minAmount_; }
  const std::string& entity() const { return entity_; }

  void encode(foundation::Encoder& encoder) const;
  static PaymentReference decode(const foundation::Decoder& decoder);

 private:
  std::string initialDatetime_;
  std::string finalDatetime_;
  Amount maxAmount_;
  Amount minAmount_;
  std::string entity_;
};

// The payment being opened. `description` travels as "description". `moto` and
// `paymentReference` never hold a value: the constructor does not take them and decoding
// does not read them, so no encoded transaction carries them.
class KELN_EXPORT Transaction {
 public:
  // `description` and `paymentMethod` always hold the given text and list, even empty.
  Transaction(std::string transactionTimestamp, std::string transactionDescription, std::string paymentType,
              Amount amount, std::vector<PaymentMethod> paymentMethod);

  const std::string& transactionTimestamp() const { return transactionTimestamp_; }
  const std::optional<std::string>& description() const { return description_; }
  const std::optional<bool>& moto() const { return moto_; }
  const std::string& paymentType() const { return paymentType_; }
  const Amount& amount() const { return amount_; }
  const std::optional<std::vector<PaymentMethod>>& paymentMethod() const { return paymentMethod_; }
  const std::optional<PaymentReference>& paymentReference() const { return paymentReference_; }

  void encode(foundation::Encoder& encoder) const;
  static Transaction decode(const foundation::Decoder& decoder);

 private:
  struct Fields {};
  Transaction(Fields, std::string transactionTimestamp, std::optional<std::string> description, std::string paymentType,
              Amount amount, std::optional<std::vector<PaymentMethod>> paymentMethod);

  std::string transactionTimestamp_;
  std::optional<std::string> description_;
  std::optional<bool> moto_;
  std::string paymentType_;
  Amount amount_;
  std::optional<std::vector<PaymentMethod>> paymentMethod_;
  std::optional<PaymentReference> paymentReference_;
};

// The customer's details; every field is optional, so an empty one encodes as {}.
class KELN_EXPORT CustomerInfo {
 public:
  CustomerInfo(std::optional<std::string> customerName, std::optional<std::string> customerEmail,
               std::optional<Address> shippingAddress, std::optional<Address> billingAddress);

  const std::optional<std::string>& customerName() const { return customerName_; }
  const std::optional<std::string>& customerEmail() const { return customerEmail_; }
  const std::optional<Address>& shippingAddress() const { return shippingAddress_; }
  const std::optional<Address>& billingAddress() const { return billingAddress_; }

  void encode(foundation::Encoder& encoder) const;
  static CustomerInfo decode(const foundation::Decoder& decoder);

 private:
  std::optional<std::string> customerName_;
  std::optional<std::string> customerEmail_;
  std::optional<Address> shippingAddress_;
  std::optional<Address> billingAddress_;
};

// {"customerInfo": {...}}
class KELN_EXPORT Customer {
 public:
  explicit Customer(CustomerInfo customerInfo);

  const CustomerInfo& customerInfo() const { return customerInfo_; }

  void encode(foundation::Encoder& encoder) const;
  static Customer decode(const foundation::Decoder& decoder);

 private:
  CustomerInfo customerInfo_;
};

// {"tokeniseCard": true|false}: whether the gateway is to tokenise the card.
class KELN_EXPORT TokenizationRequest {
 public:
  explicit TokenizationRequest(bool tokenizeCard);

  bool tokenizeCard() const { return tokenizeCard_; }

  void encode(foundation::Encoder& encoder) const;
  static TokenizationRequest decode(const foundation::Decoder& decoder);

 private:
  bool tokenizeCard_;
};

// The tokenisation part of a request: {"tokenisationRequest": {...}, "paymentTokens": [...]}.
// An empty token list is written as [].
class KELN_EXPORT TokenizationParams {
 public:
  class Builder;

  TokenizationParams(TokenizationRequest tokenizeCard, std::vector<Token> tokens);

  const TokenizationRequest& tokenizeCard() const { return tokenizeCard_; }
  const std::vector<Token>& tokens() const { return tokens_; }

  void encode(foundation::Encoder& encoder) const;
  static TokenizationParams decode(const foundation::Decoder& decoder);

 private:
  TokenizationRequest tokenizeCard_;
  std::vector<Token> tokens_;
};

// Assembles TokenizationParams; checks nothing. Starts with the flag false and no tokens.
class KELN_EXPORT TokenizationParams::Builder {
 public:
  Builder() = default;

  Builder& tokenizeCard(bool value);
  // nullopt stores an empty list.
  Builder& cardTokens(std::optional<std::vector<Token>> tokens);

  TokenizationParams build() const;

 private:
  bool tokenizeCard_ = false;
  std::vector<Token> tokens_;
};

// The root of the request body. "customer" and "tokenisation" are left out when absent.
class KELN_EXPORT CheckoutRequest {
 public:
  class Builder;

  CheckoutRequest(Merchant merchant, Transaction transaction, std::optional<Customer> customer,
                  std::optional<TokenizationParams> tokenizationParams);

  const Merchant& merchant() const { return merchant_; }
  const Transaction& transaction() const { return transaction_; }
  const std::optional<Customer>& customer() const { return customer_; }
  const std::optional<TokenizationParams>& tokenizationParams() const { return tokenizationParams_; }

  void encode(foundation::Encoder& encoder) const;
  static CheckoutRequest decode(const foundation::Decoder& decoder);

 private:
  Merchant merchant_;
  Transaction transaction_;
  std::optional<Customer> customer_;
  std::optional<TokenizationParams> tokenizationParams_;
};

// Assembles a CheckoutRequest with validation, for hosts that build requests themselves.
// Setters store their argument (replacing an earlier value) and return the builder so
// that calls chain. A builder is used from one thread at a time; a build changes none of
// its fields, so it can be built again, after further setter calls or not.
class KELN_EXPORT CheckoutRequest::Builder {
 public:
  Builder() = default;

  Builder& terminalID(std::int64_t value);
  Builder& transactionID(std::string value);
  Builder& transactionDescription(std::string value);
  Builder& amount(double value);
  Builder& currency(Currency value);
  Builder& paymentMethods(std::vector<PaymentMethod> value);
  // nullopt clears the field.
  Builder& client(std::optional<std::string> value);
  // nullopt clears the field.
  Builder& email(std::optional<std::string> value);
  Builder& shopURL(std::string value);
  Builder& shippingAddress(Address value);
  Builder& billingAddress(Address value);
  // nullopt clears the field.
  Builder& tokenizationParams(std::optional<TokenizationParams> value);

  // Checks, in this order, and throws BuilderError with the message of the first that
  // fails (characters are user-perceived characters):
  //   1. terminal id set                        "Missing terminal Id"
  //   2. terminal id at least 1                 "Incorrect terminal ID: [<id>]"
  //   3. transaction id set, 1 to 35 characters "Transaction ID length is limited to 35 alphanumeric characters"
  //   4. description set and not empty          "Missing transaction description"
  //   5. payment methods set and not empty      "No payment methods provided"
  //   6. amount set                             "Missing amount"
  //   7. amount greater than 0.0                "Incorrect amount: [<amount>]"
  //   8. currency set                           "Missing currency"
  //   9. currency code of exactly 3 characters  "Invalid currency code: [<code>]. Should contain 3 characters"
  // The amount is written as the platform writes a double (0.0, -12.5, nan); the currency
  // code is Currency::code(), upper-cased.
  //
  // The request has channel "web", payment type "PURS", the moment of the build in UTC
  // as its time stamp, the currency code upper-cased, and always a customer (possibly
  // with every field absent). The builder's time-stamp formatter is made by the first
  // build that passes the checks and reused by later ones.
  CheckoutRequest build();

 private:
  std::optional<std::int64_t> terminalID_;
  std::optional<std::string> transactionID_;
  std::optional<std::string> transactionDescription_;
  std::optional<double> amount_;
  std::optional<Currency> currency_;
  std::optional<std::vector<PaymentMethod>> paymentMethods_;
  std::optional<std::string> client_;
  std::optional<std::string> email_;
  std::optional<std::string> shopURL_;
  std::optional<Address> shippingAddress_;
  std::optional<Address> billingAddress_;
  std::optional<TokenizationParams> tokenizationParams_;
  std::shared_ptr<const TimestampFormatter> timestampDateFormatter_;
};

}  // namespace keln
