#pragma once

#include <any>
#include <optional>
#include <string>

#include <keln/passkit/Decimal.h>
#include <keln/passkit/PaymentRequest.h>

namespace keln {

// Assembles a wallet shipping method. Every property starts unset; setters store their
// argument (replacing an earlier value) and return the builder so that calls chain. One
// thread at a time.
class PKShippingMethodBuilder {
 public:
  PKShippingMethodBuilder() = default;

  PKShippingMethodBuilder& amount(std::optional<passkit::Decimal> value);
  PKShippingMethodBuilder& label(std::optional<std::string> value);
  PKShippingMethodBuilder& type(std::optional<passkit::PaymentSummaryItemType> value);
  PKShippingMethodBuilder& detail(std::optional<std::string> value);
  PKShippingMethodBuilder& identifier(std::optional<std::string> value);
  // A passkit::DateComponentsRange; honoured from system version 15. Anything else
  // leaves the method without a date range.
  PKShippingMethodBuilder& dateComponentsRange(std::any value);

  // The method with the stored values. Checks nothing: an unset label is empty, an unset
  // amount zero and an unset type final.
  passkit::ShippingMethod build() const;

 private:
  std::optional<passkit::Decimal> amount_;
  std::optional<std::string> label_;
  std::optional<passkit::PaymentSummaryItemType> type_;
  std::optional<std::string> detail_;
  std::optional<std::string> identifier_;
  std::any dateComponentsRange_;
};

}  // namespace keln
