#pragma once

#include <keln/Export.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <keln/passkit/Contact.h>
#include <keln/passkit/Decimal.h>
#include <keln/passkit/PaymentNetwork.h>

namespace keln::passkit {

// The payment processing protocols and card kinds a merchant supports; a set of flags.
class KELN_EXPORT MerchantCapability {
 public:
  constexpr MerchantCapability() = default;
  constexpr explicit MerchantCapability(std::uint32_t rawValue) : rawValue_(rawValue) {}

  static constexpr MerchantCapability threeDSecure() { return MerchantCapability(1); }
  static constexpr MerchantCapability emv() { return MerchantCapability(2); }
  static constexpr MerchantCapability credit() { return MerchantCapability(4); }
  static constexpr MerchantCapability debit() { return MerchantCapability(8); }
  static constexpr MerchantCapability instantFundsOut() { return MerchantCapability(128); }

  constexpr std::uint32_t rawValue() const { return rawValue_; }
  constexpr bool isEmpty() const { return rawValue_ == 0; }
  constexpr bool contains(MerchantCapability other) const { return (rawValue_ & other.rawValue_) == other.rawValue_; }

  friend constexpr MerchantCapability operator|(MerchantCapability a, MerchantCapability b) {
    return MerchantCapability(a.rawValue_ | b.rawValue_);
  }
  friend constexpr bool operator==(MerchantCapability, MerchantCapability) = default;

 private:
  std::uint32_t rawValue_ = 0;
};

// Whether a summary item's amount is known or still to be determined.
enum class PaymentSummaryItemType {
  final,
  pending,
};

// One line of the sheet's summary; the last one is the total.
struct KELN_EXPORT PaymentSummaryItem {
  std::string label;
  Decimal amount;
  PaymentSummaryItemType type = PaymentSummaryItemType::final;

  friend bool operator==(const PaymentSummaryItem&, const PaymentSummaryItem&) = default;
};

// A calendar date whose parts may each be missing.
struct KELN_EXPORT DateComponents {
  std::optional<int> year;
  std::optional<int> month;
  std::optional<int> day;

  friend bool operator==(const DateComponents&, const DateComponents&) = default;
};

// The first and last day of a span, such as when a shipment is expected to arrive.
struct KELN_EXPORT DateComponentsRange {
  DateComponents startDateComponents;
  DateComponents endDateComponents;

  friend bool operator==(const DateComponentsRange&, const DateComponentsRange&) = default;
};

// A way of delivering the goods, with its cost.
struct KELN_EXPORT ShippingMethod {
  std::string label;
  Decimal amount;
  PaymentSummaryItemType type = PaymentSummaryItemType::final;
  std::optional<std::string> identifier;
  std::optional<std::string> detail;
  // Available from system version 15.
  std::optional<DateComponentsRange> dateComponentsRange;

  friend bool operator==(const ShippingMethod&, const ShippingMethod&) = default;
};

enum class ShippingType {
  shipping,
  delivery,
  storePickup,
  servicePickup,
};

// Whether the user may edit the shipping contact on the sheet.
enum class ShippingContactEditingMode {
  available,
  storePickup,
};

// A payment that repeats at regular intervals.
struct KELN_EXPORT RecurringPaymentRequest {
  std::string paymentDescription;
  PaymentSummaryItem regularBilling;
  std::string managementURL;

  friend bool operator==(const RecurringPaymentRequest&, const RecurringPaymentRequest&) = default;
};

// A payment that tops up a balance when it falls below a threshold.
struct KELN_EXPORT AutomaticReloadPaymentRequest {
  std::string paymentDescription;
  PaymentSummaryItem automaticReloadBilling;
  std::string managementURL;

  friend bool operator==(const AutomaticReloadPaymentRequest&, const AutomaticReloadPaymentRequest&) = default;
};

// A payment taken later than it is authorized.
struct KELN_EXPORT DeferredPaymentRequest {
  std::string paymentDescription;
  PaymentSummaryItem deferredBilling;
  std::string managementURL;

  friend bool operator==(const DeferredPaymentRequest&, const DeferredPaymentRequest&) = default;
};

// One of several payment tokens that a single authorization yields, each for its own
// merchant.
struct KELN_EXPORT PaymentTokenContext {
  std::string merchantIdentifier;
  std::string externalIdentifier;
  std::string merchantName;
  std::optional<std::string> merchantDomain;
  Decimal amount;

  friend bool operator==(const PaymentTokenContext&, const PaymentTokenContext&) = default;
};

// Whether the sheet may offer paying in instalments, and why not.
class KELN_EXPORT ApplePayLaterAvailability {
 public:
  enum class Kind { available, unavailable };
  enum class UnavailableReason { itemIneligible, recurringTransaction };

  static ApplePayLaterAvailability available() { return ApplePayLaterAvailability(Kind::available, std::nullopt); }
  static ApplePayLaterAvailability unavailable(UnavailableReason reason) {
    return ApplePayLaterAvailability(Kind::unavailable, reason);
  }

  Kind kind() const { return kind_; }
  // Present exactly when kind() is unavailable.
  const std::optional<UnavailableReason>& reason() const { return reason_; }

  friend bool operator==(const ApplePayLaterAvailability&, const ApplePayLaterAvailability&) = default;

 private:
  ApplePayLaterAvailability(Kind kind, std::optional<UnavailableReason> reason) : kind_(kind), reason_(reason) {}

  Kind kind_;
  std::optional<UnavailableReason> reason_;
};

// What the wallet's sheet asks the user to pay: merchant, networks, amounts, and the
// contact and shipping details to collect. A plain value that its maker fills through the
// setters; the wallet judges it only when a sheet is presented (see Wallet). Copies are
// independent; main thread.
class KELN_EXPORT PaymentRequest {
 public:
  PaymentRequest() = default;

  const std::vector<PaymentNetwork>& supportedNetworks() const { return supportedNetworks_; }
  void setSupportedNetworks(std::vector<PaymentNetwork> value) { supportedNetworks_ = std::move(value); }

  const std::string& merchantIdentifier() const { return merchantIdentifier_; }
  void setMerchantIdentifier(std::string value) { merchantIdentifier_ = std::move(value); }

  MerchantCapability merchantCapabilities() const { return merchantCapabilities_; }
  void setMerchantCapabilities(MerchantCapability value) { merchantCapabilities_ = value; }

  const std::string& countryCode() const { return countryCode_; }
  void setCountryCode(std::string value) { countryCode_ = std::move(value); }

  const std::string& currencyCode() const { return currencyCode_; }
  void setCurrencyCode(std::string value) { currencyCode_ = std::move(value); }

  const std::vector<PaymentSummaryItem>& paymentSummaryItems() const { return paymentSummaryItems_; }
  void setPaymentSummaryItems(std::vector<PaymentSummaryItem> value) { paymentSummaryItems_ = std::move(value); }

  const std::optional<Contact>& billingContact() const { return billingContact_; }
  void setBillingContact(std::optional<Contact> value) { billingContact_ = std::move(value); }

  const std::optional<Contact>& shippingContact() const { return shippingContact_; }
  void setShippingContact(std::optional<Contact> value) { shippingContact_ = std::move(value); }

  const std::vector<ShippingMethod>& shippingMethods() const { return shippingMethods_; }
  void setShippingMethods(std::vector<ShippingMethod> value) { shippingMethods_ = std::move(value); }

  const std::set<ContactField>& requiredBillingContactFields() const { return requiredBillingContactFields_; }
  void setRequiredBillingContactFields(std::set<ContactField> value) {
    requiredBillingContactFields_ = std::move(value);
  }

  const std::set<ContactField>& requiredShippingContactFields() const { return requiredShippingContactFields_; }
  void setRequiredShippingContactFields(std::set<ContactField> value) {
    requiredShippingContactFields_ = std::move(value);
  }

  // Opaque bytes passed through to the payment token.
  const std::optional<std::string>& applicationData() const { return applicationData_; }
  void setApplicationData(std::optional<std::string> value) { applicationData_ = std::move(value); }

  ShippingType shippingType() const { return shippingType_; }
  void setShippingType(ShippingType value) { shippingType_ = value; }

  // ISO country codes of the cards accepted; absent accepts every country.
  const std::optional<std::set<std::string>>& supportedCountries() const { return supportedCountries_; }
  void setSupportedCountries(std::optional<std::set<std::string>> value) { supportedCountries_ = std::move(value); }

  // Available from system version 15.
  const std::optional<std::string>& couponCode() const { return couponCode_; }
  void setCouponCode(std::optional<std::string> value) { couponCode_ = std::move(value); }

  bool supportsCouponCode() const { return supportsCouponCode_; }
  void setSupportsCouponCode(bool value) { supportsCouponCode_ = value; }

  ShippingContactEditingMode shippingContactEditingMode() const { return shippingContactEditingMode_; }
  void setShippingContactEditingMode(ShippingContactEditingMode value) { shippingContactEditingMode_ = value; }

  // Available from system version 16.
  const std::optional<RecurringPaymentRequest>& recurringPaymentRequest() const { return recurringPaymentRequest_; }
  void setRecurringPaymentRequest(std::optional<RecurringPaymentRequest> value) {
    recurringPaymentRequest_ = std::move(value);
  }

  const std::optional<AutomaticReloadPaymentRequest>& automaticReloadPaymentRequest() const {
    return automaticReloadPaymentRequest_;
  }
  void setAutomaticReloadPaymentRequest(std::optional<AutomaticReloadPaymentRequest> value) {
    automaticReloadPaymentRequest_ = std::move(value);
  }

  const std::vector<PaymentTokenContext>& multiTokenContexts() const { return multiTokenContexts_; }
  void setMultiTokenContexts(std::vector<PaymentTokenContext> value) { multiTokenContexts_ = std::move(value); }

  // Available from system version 16.4.
  const std::optional<DeferredPaymentRequest>& deferredPaymentRequest() const { return deferredPaymentRequest_; }
  void setDeferredPaymentRequest(std::optional<DeferredPaymentRequest> value) {
    deferredPaymentRequest_ = std::move(value);
  }

  // Available from system version 17.
  const ApplePayLaterAvailability& applePayLaterAvailability() const { return applePayLaterAvailability_; }
  void setApplePayLaterAvailability(ApplePayLaterAvailability value) { applePayLaterAvailability_ = std::move(value); }

  friend bool operator==(const PaymentRequest&, const PaymentRequest&) = default;

 private:
  std::vector<PaymentNetwork> supportedNetworks_;
  std::string merchantIdentifier_;
  MerchantCapability merchantCapabilities_;
  std::string countryCode_;
  std::string currencyCode_;
  std::vector<PaymentSummaryItem> paymentSummaryItems_;
  std::optional<Contact> billingContact_;
  std::optional<Contact> shippingContact_;
  std::vector<ShippingMethod> shippingMethods_;
  std::set<ContactField> requiredBillingContactFields_;
  std::set<ContactField> requiredShippingContactFields_;
  std::optional<std::string> applicationData_;
  ShippingType shippingType_ = ShippingType::shipping;
  std::optional<std::set<std::string>> supportedCountries_;
  std::optional<std::string> couponCode_;
  bool supportsCouponCode_ = false;
  ShippingContactEditingMode shippingContactEditingMode_ = ShippingContactEditingMode::available;
  std::optional<RecurringPaymentRequest> recurringPaymentRequest_;
  std::optional<AutomaticReloadPaymentRequest> automaticReloadPaymentRequest_;
  std::vector<PaymentTokenContext> multiTokenContexts_;
  std::optional<DeferredPaymentRequest> deferredPaymentRequest_;
  ApplePayLaterAvailability applePayLaterAvailability_ = ApplePayLaterAvailability::available();
};

}  // namespace keln::passkit
