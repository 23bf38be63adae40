#include "presentation/applepay/PKShippingMethodBuilder.h"

#include <utility>

#include "passkit/SystemVersion.h"

namespace keln {

PKShippingMethodBuilder& PKShippingMethodBuilder::amount(std::optional<passkit::Decimal> value) {
  amount_ = std::move(value);
  return *this;
}

PKShippingMethodBuilder& PKShippingMethodBuilder::label(std::optional<std::string> value) {
  label_ = std::move(value);
  return *this;
}

PKShippingMethodBuilder& PKShippingMethodBuilder::type(std::optional<passkit::PaymentSummaryItemType> value) {
  type_ = value;
  return *this;
}

PKShippingMethodBuilder& PKShippingMethodBuilder::detail(std::optional<std::string> value) {
  detail_ = std::move(value);
  return *this;
}

PKShippingMethodBuilder& PKShippingMethodBuilder::identifier(std::optional<std::string> value) {
  identifier_ = std::move(value);
  return *this;
}

PKShippingMethodBuilder& PKShippingMethodBuilder::dateComponentsRange(std::any value) {
  dateComponentsRange_ = std::move(value);
  return *this;
}

passkit::ShippingMethod PKShippingMethodBuilder::build() const {
  passkit::ShippingMethod method;
  method.label = label_.value_or(std::string());
  method.amount = amount_.value_or(passkit::Decimal());
  method.type = type_.value_or(passkit::PaymentSummaryItemType::final);
  method.identifier = identifier_;
  method.detail = detail_;
  if (passkit::SystemVersion::current() >= passkit::SystemVersion{15, 0, 0}) {
    if (const auto* range = std::any_cast<passkit::DateComponentsRange>(&dateComponentsRange_)) {
      method.dateComponentsRange = *range;
    }
  }
  return method;
}

}  // namespace keln
