#include <keln/model/CheckoutRequest.h>

#include <string_view>
#include <utility>

#include "foundation/NumberText.h"
#include "foundation/Unicode.h"
#include "model/TimestampFormatter.h"

namespace keln {

using foundation::Decoder;
using foundation::Encoder;
using Text = std::string;
using OptionalText = std::optional<std::string>;

namespace {

constexpr std::string_view kChannel = "web";
constexpr std::string_view kPaymentType = "PURS";
constexpr std::size_t kMaxTransactionIDLength = 35;
constexpr std::size_t kCurrencyCodeLength = 3;

[[noreturn]] void fail(std::string message) { throw BuilderError::incorrectParameter(std::move(message)); }

}  // namespace

// --- PaymentReference ------------------------------------------------------------------

PaymentReference::PaymentReference(std::string initialDatetime, std::string finalDatetime, Amount maxAmount,
                                   Amount minAmount, std::string entity)
    : initialDatetime_(std::move(initialDatetime)),
      finalDatetime_(std::move(finalDatetime)),
      maxAmount_(std::move(maxAmount)),
      minAmount_(std::move(minAmount)),
      entity_(std::move(entity)) {}

void PaymentReference::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("initialDatetime", initialDatetime_);
  encoder.encode("finalDatetime", finalDatetime_);
  encoder.encode("maxAmount", maxAmount_);
  encoder.encode("minAmount", minAmount_);
  encoder.encode("entity", entity_);
}

PaymentReference PaymentReference::decode(const Decoder& decoder) {
  Text initialDatetime = decoder.decode<Text>("initialDatetime");
  Text finalDatetime = decoder.decode<Text>("finalDatetime");
  Amount maxAmount = decoder.decode<Amount>("maxAmount");
  Amount minAmount = decoder.decode<Amount>("minAmount");
  Text entity = decoder.decode<Text>("entity");
  return PaymentReference(std::move(initialDatetime), std::move(finalDatetime), std::move(maxAmount),
                          std::move(minAmount), std::move(entity));
}

// --- Transaction -----------------------------------------------------------------------

Transaction::Transaction(std::string transactionTimestamp, std::string transactionDescription, std::string paymentType,
                         Amount amount, std::vector<PaymentMethod> paymentMethod)
    : Transaction(Fields(), std::move(transactionTimestamp), OptionalText(std::move(transactionDescription)),
                  std::move(paymentType), std::move(amount),
                  std::optional<std::vector<PaymentMethod>>(std::move(paymentMethod))) {}

Transaction::Transaction(Fields, std::string transactionTimestamp, std::optional<std::string> description,
                         std::string paymentType, Amount amount,
                         std::optional<std::vector<PaymentMethod>> paymentMethod)
    : transactionTimestamp_(std::move(transactionTimestamp)),
      description_(std::move(description)),
      paymentType_(std::move(paymentType)),
      amount_(std::move(amount)),
      paymentMethod_(std::move(paymentMethod)) {}

void Transaction::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("transactionTimestamp", transactionTimestamp_);
  encoder.encodeIfPresent("description", description_);
  encoder.encodeIfPresent("moto", moto_);
  encoder.encode("paymentType", paymentType_);
  encoder.encode("amount", amount_);
  encoder.encodeIfPresent("paymentMethod", paymentMethod_);
  encoder.encodeIfPresent("paymentReference", paymentReference_);
}

Transaction Transaction::decode(const Decoder& decoder) {
  Text transactionTimestamp = decoder.decode<Text>("transactionTimestamp");
  OptionalText description = decoder.decodeIfPresent<Text>("description");
  Text paymentType = decoder.decode<Text>("paymentType");
  Amount amount = decoder.decode<Amount>("amount");
  auto paymentMethod = decoder.decodeIfPresent<std::vector<PaymentMethod>>("paymentMethod");
  return Transaction(Fields(), std::move(transactionTimestamp), std::move(description), std::move(paymentType),
                     std::move(amount), std::move(paymentMethod));
}

// --- CustomerInfo, Customer ------------------------------------------------------------

CustomerInfo::CustomerInfo(std::optional<std::string> customerName, std::optional<std::string> customerEmail,
                           std::optional<Address> shippingAddress, std::optional<Address> billingAddress)
    : customerName_(std::move(customerName)),
      customerEmail_(std::move(customerEmail)),
      shippingAddress_(std::move(shippingAddress)),
      billingAddress_(std::move(billingAddress)) {}

void CustomerInfo::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encodeIfPresent("customerName", customerName_);
  encoder.encodeIfPresent("customerEmail", customerEmail_);
  encoder.encodeIfPresent("shippingAddress", shippingAddress_);
  encoder.encodeIfPresent("billingAddress", billingAddress_);
}

CustomerInfo CustomerInfo::decode(const Decoder& decoder) {
  OptionalText customerName = decoder.decodeIfPresent<Text>("customerName");
  OptionalText customerEmail = decoder.decodeIfPresent<Text>("customerEmail");
  std::optional<Address> shippingAddress = decoder.decodeIfPresent<Address>("shippingAddress");
  std::optional<Address> billingAddress = decoder.decodeIfPresent<Address>("billingAddress");
  return CustomerInfo(std::move(customerName), std::move(customerEmail), std::move(shippingAddress),
                      std::move(billingAddress));
}

Customer::Customer(CustomerInfo customerInfo) : customerInfo_(std::move(customerInfo)) {}

void Customer::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("customerInfo", customerInfo_);
}

Customer Customer::decode(const Decoder& decoder) { return Customer(decoder.decode<CustomerInfo>("customerInfo")); }

// --- TokenizationRequest, TokenizationParams -------------------------------------------

TokenizationRequest::TokenizationRequest(bool tokenizeCard) : tokenizeCard_(tokenizeCard) {}

void TokenizationRequest::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("tokeniseCard", tokenizeCard_);
}

TokenizationRequest TokenizationRequest::decode(const Decoder& decoder) {
  return TokenizationRequest(decoder.decode<bool>("tokeniseCard"));
}

TokenizationParams::TokenizationParams(TokenizationRequest tokenizeCard, std::vector<Token> tokens)
    : tokenizeCard_(std::move(tokenizeCard)), tokens_(std::move(tokens)) {}

void TokenizationParams::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("tokenisationRequest", tokenizeCard_);
  encoder.encode("paymentTokens", tokens_);
}

TokenizationParams TokenizationParams::decode(const Decoder& decoder) {
  TokenizationRequest tokenizeCard = decoder.decode<TokenizationRequest>("tokenisationRequest");
  std::vector<Token> tokens = decoder.decode<std::vector<Token>>("paymentTokens");
  return TokenizationParams(std::move(tokenizeCard), std::move(tokens));
}

TokenizationParams::Builder& TokenizationParams::Builder::tokenizeCard(bool value) {
  tokenizeCard_ = value;
  return *this;
}

TokenizationParams::Builder& TokenizationParams::Builder::cardTokens(std::optional<std::vector<Token>> tokens) {
  tokens_ = tokens ? std::move(*tokens) : std::vector<Token>();
  return *this;
}

TokenizationParams TokenizationParams::Builder::build() const {
  return TokenizationParams(TokenizationRequest(tokenizeCard_), tokens_);
}

// --- CheckoutRequest -------------------------------------------------------------------

CheckoutRequest::CheckoutRequest(Merchant merchant, Transaction transaction, std::optional<Customer> customer,
                                 std::optional<TokenizationParams> tokenizationParams)
    : merchant_(std::move(merchant)),
      transaction_(std::move(transaction)),
      customer_(std::move(customer)),
      tokenizationParams_(std::move(tokenizationParams)) {}

void CheckoutRequest::encode(Encoder& encoder) const {
  encoder.beginObject();
  encoder.encode("merchant", merchant_);
  encoder.encode("transaction", transaction_);
  encoder.encodeIfPresent("customer", customer_);
  encoder.encodeIfPresent("tokenisation", tokenizationParams_);
}

CheckoutRequest CheckoutRequest::decode(const Decoder& decoder) {
  Merchant merchant = decoder.decode<Merchant>("merchant");
  Transaction transaction = decoder.decode<Transaction>("transaction");
  std::optional<Customer> customer = decoder.decodeIfPresent<Customer>("customer");
  std::optional<TokenizationParams> tokenizationParams = decoder.decodeIfPresent<TokenizationParams>("tokenisation");
  return CheckoutRequest(std::move(merchant), std::move(transaction), std::move(customer),
                         std::move(tokenizationParams));
}

// --- CheckoutRequest::Builder ----------------------------------------------------------

CheckoutRequest::Builder& CheckoutRequest::Builder::terminalID(std::int64_t value) {
  terminalID_ = value;
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::transactionID(std::string value) {
  transactionID_ = std::move(value);
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::transactionDescription(std::string value) {
  transactionDescription_ = std::move(value);
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::amount(double value) {
  amount_ = value;
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::currency(Currency value) {
  currency_ = std::move(value);
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::paymentMethods(std::vector<PaymentMethod> value) {
  paymentMethods_ = std::move(value);
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::client(std::optional<std::string> value) {
  client_ = std::move(value);
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::email(std::optional<std::string> value) {
  email_ = std::move(value);
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::shopURL(std::string value) {
  shopURL_ = std::move(value);
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::shippingAddress(Address value) {
  shippingAddress_ = std::move(value);
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::billingAddress(Address value) {
  billingAddress_ = std::move(value);
  return *this;
}

CheckoutRequest::Builder& CheckoutRequest::Builder::tokenizationParams(std::optional<TokenizationParams> value) {
  tokenizationParams_ = std::move(value);
  return *this;
}

CheckoutRequest CheckoutRequest::Builder::build() {
  if (!terminalID_) fail("Missing terminal Id");
  if (*terminalID_ < 1) fail("Incorrect terminal ID: [" + std::to_string(*terminalID_) + "]");
  if (!transactionID_ || transactionID_->empty() ||
      foundation::characterCount(*transactionID_) > kMaxTransactionIDLength) {
    fail("Transaction ID length is limited to 35 alphanumeric characters");
  }
  if (!transactionDescription_ || transactionDescription_->empty()) fail("Missing transaction description");
  if (!paymentMethods_ || paymentMethods_->empty()) fail("No payment methods provided");
  if (!amount_) fail("Missing amount");
  // Written so that NaN fails too.
  if (!(*amount_ > 0.0)) fail("Incorrect amount: [" + foundation::doubleDescription(*amount_) + "]");
  if (!currency_) fail("Missing currency");
  std::string currencyCode = currency_->code();
  if (foundation::characterCount(currencyCode) != kCurrencyCodeLength) {
    fail("Invalid currency code: [" + currencyCode + "]. Should contain 3 characters");
  }

  if (!timestampDateFormatter_) timestampDateFormatter_ = std::make_shared<const TimestampFormatter>();

  Merchant merchant(*terminalID_, transactionID_, std::nullopt, std::string(kChannel), shopURL_,
                    transactionDescription_);
  Transaction transaction(timestampDateFormatter_->now(), *transactionDescription_, std::string(kPaymentType),
                          Amount(*amount_, std::move(currencyCode)), *paymentMethods_);
  Customer customer(CustomerInfo(client_, email_, shippingAddress_, billingAddress_));
  return CheckoutRequest(std::move(merchant), std::move(transaction), std::move(customer), tokenizationParams_);
}

}  // namespace keln
