#include "presentation/applepay/PKPaymentRequestBuilder.h"

#include <utility>

#include "passkit/SystemVersion.h"

namespace keln {
namespace {

using passkit::SystemVersion;

// The value `held` holds when it is a T; none for an empty value or one of another type.
template <typename T>
std::optional<T> valueOf(const std::any& held) {
  if (const T* value = std::any_cast<T>(&held)) return *value;
  return std::nullopt;
}

}  // namespace

PKPaymentRequestBuilder& PKPaymentRequestBuilder::supportedNetworks(std::vector<passkit::PaymentNetwork> value) {
  supportedNetworks_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::merchantIdentifier(std::optional<std::string> value) {
  merchantIdentifier_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::merchantCapabilities(passkit::MerchantCapability value) {
  merchantCapabilities_ = value;
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::currencyCode(std::optional<std::string> value) {
  currencyCode_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::countryCode(std::optional<std::string> value) {
  countryCode_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::paymentSummaryItems(std::vector<passkit::PaymentSummaryItem> value) {
  paymentSummaryItems_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::requiredBillingContactFields(std::set<passkit::ContactField> value) {
  requiredBillingContactFields_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::requiredShippingContactFields(std::set<passkit::ContactField> value) {
  requiredShippingContactFields_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::supportedCountries(std::set<std::string> value) {
  supportedCountries_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::billingContact(std::optional<passkit::Contact> value) {
  billingContact_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::shippingContact(std::optional<passkit::Contact> value) {
  shippingContact_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::shippingMethods(std::vector<passkit::ShippingMethod> value) {
  shippingMethods_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::shippingType(passkit::ShippingType value) {
  shippingType_ = value;
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::applicationData(std::optional<std::string> value) {
  applicationData_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::couponCode(std::optional<std::string> value) {
  couponCode_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::supportsCouponCode(bool value) {
  supportsCouponCode_ = value;
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::shippingContactEditingMode(std::any value) {
  shippingContactEditingMode_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::recurringPaymentRequest(std::any value) {
  recurringPaymentRequest_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::automaticReloadPaymentRequest(std::any value) {
  automaticReloadPaymentRequest_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::multiTokenContexts(std::vector<std::any> value) {
  multiTokenContexts_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::deferredPaymentRequest(std::any value) {
  deferredPaymentRequest_ = std::move(value);
  return *this;
}

PKPaymentRequestBuilder& PKPaymentRequestBuilder::applePayLaterAvailability(std::any value) {
  applePayLaterAvailability_ = std::move(value);
  return *this;
}

passkit::PaymentRequest PKPaymentRequestBuilder::build() const {
  passkit::PaymentRequest request;
  if (!merchantIdentifier_ || !countryCode_ || !currencyCode_ || supportedNetworks_.empty() ||
      paymentSummaryItems_.empty()) {
    return request;
  }

  request.setSupportedNetworks(supportedNetworks_);
  request.setMerchantIdentifier(*merchantIdentifier_);
  request.setMerchantCapabilities(merchantCapabilities_);
  request.setCountryCode(*countryCode_);
  request.setCurrencyCode(*currencyCode_);
  request.setPaymentSummaryItems(paymentSummaryItems_);
  request.setBillingContact(billingContact_);
  request.setShippingContact(shippingContact_);
  request.setShippingMethods(shippingMethods_);
  request.setRequiredBillingContactFields(requiredBillingContactFields_);
  request.setRequiredShippingContactFields(requiredShippingContactFields_);
  request.setApplicationData(applicationData_);
  request.setShippingType(shippingType_);
  // A present set limits the cards to its countries; the builder's empty set sets no limit.
  if (!supportedCountries_.empty()) request.setSupportedCountries(supportedCountries_);

  const SystemVersion version = SystemVersion::current();
  if (version >= SystemVersion{15, 0, 0}) {
    request.setCouponCode(couponCode_);
    request.setSupportsCouponCode(supportsCouponCode_);
    if (auto mode = valueOf<passkit::ShippingContactEditingMode>(shippingContactEditingMode_)) {
      request.setShippingContactEditingMode(*mode);
    }
  }
  if (version >= SystemVersion{16, 0, 0}) {
    request.setRecurringPaymentRequest(valueOf<passkit::RecurringPaymentRequest>(recurringPaymentRequest_));
    request.setAutomaticReloadPaymentRequest(
        valueOf<passkit::AutomaticReloadPaymentRequest>(automaticReloadPaymentRequest_));
    std::vector<passkit::PaymentTokenContext> contexts;
    contexts.reserve(multiTokenContexts_.size());
    for (const std::any& element : multiTokenContexts_) {
      const auto* context = std::any_cast<passkit::PaymentTokenContext>(&element);
      if (context == nullptr) {
        contexts.clear();
        break;
      }
      contexts.push_back(*context);
    }
    request.setMultiTokenContexts(std::move(contexts));
  }
  if (version >= SystemVersion{16, 4, 0}) {
    request.setDeferredPaymentRequest(valueOf<passkit::DeferredPaymentRequest>(deferredPaymentRequest_));
  }
  if (version >= SystemVersion{17, 0, 0}) {
    if (auto availability = valueOf<passkit::ApplePayLaterAvailability>(applePayLaterAvailability_)) {
      request.setApplePayLaterAvailability(std::move(*availability));
    }
  }
  return request;
}

}  // namespace keln
