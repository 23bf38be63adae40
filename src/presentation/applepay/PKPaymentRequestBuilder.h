#pragma once

#include <any>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <keln/passkit/PaymentRequest.h>

namespace keln {

// Assembles a wallet payment request. Setters store their argument (replacing an earlier
// value) and return the builder so that calls chain; build() leaves the builder as it was.
// One thread at a time.
//
// The properties that only newer systems have (shippingContactEditingMode and those
// after it) are held as untyped values; build() copies one only when the wallet layer
// reports a system version that has it and the value is of the wallet's type for it.
class PKPaymentRequestBuilder {
 public:
  PKPaymentRequestBuilder() = default;

  PKPaymentRequestBuilder& supportedNetworks(std::vector<passkit::PaymentNetwork> value);
  PKPaymentRequestBuilder& merchantIdentifier(std::optional<std::string> value);
  PKPaymentRequestBuilder& merchantCapabilities(passkit::MerchantCapability value);
  PKPaymentRequestBuilder& currencyCode(std::optional<std::string> value);
  PKPaymentRequestBuilder& countryCode(std::optional<std::string> value);
  PKPaymentRequestBuilder& paymentSummaryItems(std::vector<passkit::PaymentSummaryItem> value);
  PKPaymentRequestBuilder& requiredBillingContactFields(std::set<passkit::ContactField> value);
  PKPaymentRequestBuilder& requiredShippingContactFields(std::set<passkit::ContactField> value);
  // An empty set accepts cards of every country.
  PKPaymentRequestBuilder& supportedCountries(std::set<std::string> value);
  PKPaymentRequestBuilder& billingContact(std::optional<passkit::Contact> value);
  PKPaymentRequestBuilder& shippingContact(std::optional<passkit::Contact> value);
  PKPaymentRequestBuilder& shippingMethods(std::vector<passkit::ShippingMethod> value);
  PKPaymentRequestBuilder& shippingType(passkit::ShippingType value);
  PKPaymentRequestBuilder& applicationData(std::optional<std::string> value);
  // From system version 15.
  PKPaymentRequestBuilder& couponCode(std::optional<std::string> value);
  PKPaymentRequestBuilder& supportsCouponCode(bool value);
  // A passkit::ShippingContactEditingMode; from 15. Anything else leaves the request's default.
  PKPaymentRequestBuilder& shippingContactEditingMode(std::any value);
  // A passkit::RecurringPaymentRequest; from 16. Anything else gives none.
  PKPaymentRequestBuilder& recurringPaymentRequest(std::any value);
  // A passkit::AutomaticReloadPaymentRequest; from 16. Anything else gives none.
  PKPaymentRequestBuilder& automaticReloadPaymentRequest(std::any value);
  // passkit::PaymentTokenContext values; from 16. One element of another type gives an
  // empty list.
  PKPaymentRequestBuilder& multiTokenContexts(std::vector<std::any> value);
  // A passkit::DeferredPaymentRequest; from 16.4. Anything else gives none.
  PKPaymentRequestBuilder& deferredPaymentRequest(std::any value);
  // A passkit::ApplePayLaterAvailability; from 17. Anything else leaves the request's default.
  PKPaymentRequestBuilder& applePayLaterAvailability(std::any value);

  // The request with every stored value, when the merchant identifier, country code and
  // currency code are set and the networks and summary items are not empty; otherwise a
  // request with nothing set. Never fails otherwise: the values are not checked.
  passkit::PaymentRequest build() const;

 private:
  std::vector<passkit::PaymentNetwork> supportedNetworks_;
  std::optional<std::string> merchantIdentifier_;
  passkit::MerchantCapability merchantCapabilities_;
  std::optional<std::string> currencyCode_;
  std::optional<std::string> countryCode_;
  std::vector<passkit::PaymentSummaryItem> paymentSummaryItems_;
  std::set<passkit::ContactField> requiredBillingContactFields_;
  std::set<passkit::ContactField> requiredShippingContactFields_;
  std::set<std::string> supportedCountries_;
  std::optional<passkit::Contact> billingContact_;
  std::optional<passkit::Contact> shippingContact_;
  std::vector<passkit::ShippingMethod> shippingMethods_;
  passkit::ShippingType shippingType_ = passkit::ShippingType::shipping;
  std::optional<std::string> applicationData_;
  std::optional<std::string> couponCode_;
  bool supportsCouponCode_ = false;
  std::any shippingContactEditingMode_;
  std::any recurringPaymentRequest_;
  std::any automaticReloadPaymentRequest_;
  std::vector<std::any> multiTokenContexts_;
  std::any deferredPaymentRequest_;
  std::any applePayLaterAvailability_;
};

}  // namespace keln
