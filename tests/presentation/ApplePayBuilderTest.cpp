#include <keln/core/TransactionParamsSDK.h>
#include <keln/presentation/ApplePayBuilder.h>

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <keln/passkit/PaymentRequest.h>
#include "foundation/Base64.h"
#include "model/CheckoutResponse.h"
#include "passkit/SystemVersion.h"
#include "presentation/applepay/ApplePayBuilderAccess.h"
#include "presentation/applepay/PKPaymentRequestBuilder.h"
#include "support/WireSamples.h"

namespace keln {
namespace {

using foundation::JSONDecoder;
using nlohmann::json;
using passkit::Decimal;
using passkit::PaymentNetwork;
using passkit::PaymentRequest;
using passkit::ScopedSystemVersion;
using passkit::SystemVersion;

CheckoutResponse checkoutWithExternalParameter(const std::optional<json>& externalParameter) {
  json reply = json::parse(samples::kCheckoutReply);
  if (externalParameter) reply["externalParameter"] = foundation::base64Encode(externalParameter->dump());
  const std::optional<CheckoutResponse> parsed = JSONDecoder().decode<CheckoutResponseDTO>(reply.dump()).parse();
  if (!parsed) throw std::runtime_error("the sample reply does not convert");
  return *parsed;
}

CheckoutResponse sampleCheckout() { return checkoutWithExternalParameter(std::nullopt); }

TransactionParamsSDK paymentParams(double amount, std::optional<std::string> applePayMerchantId = "merchant.com.shop",
                                   std::string currency = "EUR") {
  return TransactionParamsSDK(1234, std::nullopt, "order-1", "", amount, std::move(currency), {PaymentMethod::applePay},
                              std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                              std::move(applePayMerchantId));
}

// A builder holding exactly the values that build() requires.
PKPaymentRequestBuilder minimalBuilder() {
  PKPaymentRequestBuilder builder;
  builder.merchantIdentifier("merchant.com.shop")
      .countryCode("PL")
      .currencyCode("PLN")
      .supportedNetworks({PaymentNetwork::visa()})
      .paymentSummaryItems({{"Total", Decimal("5")}});
  return builder;
}

PaymentRequest minimalRequest() {
  PaymentRequest request;
  request.setMerchantIdentifier("merchant.com.shop");
  request.setCountryCode("PL");
  request.setCurrencyCode("PLN");
  request.setSupportedNetworks({PaymentNetwork::visa()});
  request.setPaymentSummaryItems({{"Total", Decimal("5")}});
  return request;
}

const passkit::RecurringPaymentRequest kRecurring{"Monthly", {"Plan", Decimal("9.99")}, "https://shop.example/m"};
const passkit::AutomaticReloadPaymentRequest kReload{"Top-up", {"Reload", Decimal("20")}, "https://shop.example/r"};
const passkit::DeferredPaymentRequest kDeferred{"Later", {"Stay", Decimal("120")}, "https://shop.example/d"};
const passkit::PaymentTokenContext kTokenContext{"merchant.com.other", "ext-1", "Other", std::nullopt, Decimal("3")};
const passkit::ApplePayLaterAvailability kLaterUnavailable = passkit::ApplePayLaterAvailability::unavailable(
    passkit::ApplePayLaterAvailability::UnavailableReason::itemIneligible);

TEST(ApplePayBuilder, BuildsTheRequestFromTheParametersAndTheCountryOfTheCheckout) {
  // The checkout's own amount and currency (149.99 PLN) are not read.
  const std::optional<PaymentRequest> request =
      ApplePayBuilderAccess::build(sampleCheckout(), paymentParams(10.5, "merchant.com.shop", "EUR"));
  ASSERT_TRUE(request.has_value());

  PaymentRequest expected;
  expected.setMerchantIdentifier("merchant.com.shop");
  expected.setCountryCode("PL");
  expected.setCurrencyCode("EUR");
  expected.setSupportedNetworks({PaymentNetwork::masterCard(), PaymentNetwork::visa()});
  expected.setMerchantCapabilities(passkit::MerchantCapability(13));
  expected.setPaymentSummaryItems({{"Total", Decimal("10.5"), passkit::PaymentSummaryItemType::final}});
  EXPECT_EQ(*request, expected);
  EXPECT_EQ(request->supportedNetworks(), ApplePayBuilderAccess::supportedNetworks());
}

TEST(ApplePayBuilder, GivesNoRequestWithoutItsInputs) {
  json noXPAYCountry = json::parse(samples::kExternalParameter);
  noXPAYCountry["XPAY"]["GenericData"].erase("AcceptorCountryCode");  // the other families keep theirs
  const CheckoutResponse sample = sampleCheckout();
  const CheckoutResponse noExternalParameter(
      sample.amount(), sample.merchant(), sample.transactionId(), sample.transactionSignature(), sample.formContext(),
      sample.tokenList(), sample.execution(), sample.returnStatus(), sample.regulationList(), sample.expiry(),
      sample.paymentMethodList(), std::nullopt, sample.actionResponse());
  struct Case {
    const char* name;
    CheckoutResponse checkout;
    std::optional<std::string> merchantId;
  };
  const Case cases[] = {
      {"no merchant identifier", sample, std::nullopt},
      {"no acceptor country code in XPAY", checkoutWithExternalParameter(noXPAYCountry), "merchant.com.shop"},
      {"no external parameter", noExternalParameter, "merchant.com.shop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ApplePayBuilderAccess::build(c.checkout, paymentParams(10.0, c.merchantId)), std::nullopt);
  }
}

TEST(ApplePayBuilder, TotalIsTheExactDecimalOfTheAmountsShortestText) {
  struct Case {
    double amount;
    std::optional<std::string> total;  // absent: no request
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {10.0, "10"},        {0.1, "0.1"},         {0.1 + 0.2, "0.30000000000000004"},
      {149.99, "149.99"},  {1e-05, "0.00001"},   {1e16, "10000000000000000"},
      {-0.0, "0"},         {-2.5, "-2.5"},       {nan, std::nullopt},
      {inf, std::nullopt}, {-inf, std::nullopt}, {1e300, std::nullopt},  // beyond the decimal's range
  };
  const CheckoutResponse checkout = sampleCheckout();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.amount);
    const std::optional<PaymentRequest> request = ApplePayBuilderAccess::build(checkout, paymentParams(c.amount));
    if (!c.total) {
      EXPECT_EQ(request, std::nullopt);
      continue;
    }
    ASSERT_TRUE(request.has_value());
    ASSERT_EQ(request->paymentSummaryItems().size(), 1u);
    EXPECT_EQ(request->paymentSummaryItems()[0].label, "Total");
    EXPECT_EQ(request->paymentSummaryItems()[0].amount.description(), *c.total);
  }
}

TEST(PKPaymentRequestBuilder, BuildsAnEmptyRequestWithoutARequiredValue) {
  struct Case {
    const char* name;
    PKPaymentRequestBuilder builder;
  };
  const Case cases[] = {
      {"empty builder", PKPaymentRequestBuilder()},
      {"no merchant identifier", minimalBuilder().merchantIdentifier(std::nullopt)},
      {"no country code", minimalBuilder().countryCode(std::nullopt)},
      {"no currency code", minimalBuilder().currencyCode(std::nullopt)},
      {"no networks", minimalBuilder().supportedNetworks({})},
      {"no summary items", minimalBuilder().paymentSummaryItems({})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.builder.build(), PaymentRequest());
  }
  EXPECT_EQ(minimalBuilder().build(), minimalRequest());
}

TEST(PKPaymentRequestBuilder, CopiesEveryOlderPropertyToItsOwnPlace) {
  passkit::Contact billing;
  billing.name.emplace().givenName = "Ada";
  billing.emailAddress = "ada@example.com";
  passkit::Contact shipping;
  shipping.postalAddress.emplace().city = "Kraków";
  shipping.phoneNumber = "+48 600";
  shipping.supplementarySubLocality = "Podgórze";
  const passkit::ShippingMethod courier{"Courier", Decimal("12.5"), passkit::PaymentSummaryItemType::final,
                                        "courier", "1-2 days",      std::nullopt};
  const PaymentRequest built =
      minimalBuilder()
          .merchantCapabilities(passkit::MerchantCapability::threeDSecure())
          .requiredBillingContactFields({passkit::ContactField::postalAddress})
          .requiredShippingContactFields({passkit::ContactField::phoneNumber, passkit::ContactField::name})
          .supportedCountries({"PL", "DE"})
          .billingContact(billing)
          .shippingContact(shipping)
          .shippingMethods({courier})
          .shippingType(passkit::ShippingType::storePickup)
          .applicationData("app-data")
          .build();

  PaymentRequest expected = minimalRequest();
  expected.setMerchantCapabilities(passkit::MerchantCapability::threeDSecure());
  expected.setRequiredBillingContactFields({passkit::ContactField::postalAddress});
  expected.setRequiredShippingContactFields({passkit::ContactField::phoneNumber, passkit::ContactField::name});
  expected.setSupportedCountries(std::set<std::string>{"PL", "DE"});
  expected.setBillingContact(billing);
  expected.setShippingContact(shipping);
  expected.setShippingMethods({courier});
  expected.setShippingType(passkit::ShippingType::storePickup);
  expected.setApplicationData("app-data");
  EXPECT_EQ(built, expected);

  // No country limit unless countries are named.
  EXPECT_EQ(minimalBuilder().build().supportedCountries(), std::nullopt);
}

TEST(PKPaymentRequestBuilder, CopiesNewerPropertiesOnlyFromTheSystemVersionThatHasThem) {
  struct Case {
    SystemVersion version;
    bool from15, from16, from16_4, from17;
  };
  const Case cases[] = {
      {{14, 9, 0}, false, false, false, false}, {{15, 0, 0}, true, false, false, false},
      {{15, 7, 9}, true, false, false, false},  {{16, 0, 0}, true, true, false, false},
      {{16, 3, 9}, true, true, false, false},   {{16, 4, 0}, true, true, true, false},
      {{17, 0, 0}, true, true, true, true},     {{18, 2, 1}, true, true, true, true},
  };
  const PaymentRequest defaults;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version.majorVersion << "." << c.version.minorVersion << "."
                                    << c.version.patchVersion);
    ScopedSystemVersion version(c.version);
    const PaymentRequest request = minimalBuilder()
                                       .couponCode("SPRING")
                                       .supportsCouponCode(true)
                                       .shippingContactEditingMode(passkit::ShippingContactEditingMode::storePickup)
                                       .recurringPaymentRequest(kRecurring)
                                       .automaticReloadPaymentRequest(kReload)
                                       .multiTokenContexts({kTokenContext})
                                       .deferredPaymentRequest(kDeferred)
                                       .applePayLaterAvailability(kLaterUnavailable)
                                       .build();
    EXPECT_EQ(request.couponCode(), c.from15 ? std::optional<std::string>("SPRING") : std::nullopt);
    EXPECT_EQ(request.supportsCouponCode(), c.from15);
    EXPECT_EQ(request.shippingContactEditingMode(),
              c.from15 ? passkit::ShippingContactEditingMode::storePickup : defaults.shippingContactEditingMode());
    EXPECT_EQ(request.recurringPaymentRequest().has_value(), c.from16);
    EXPECT_EQ(request.automaticReloadPaymentRequest().has_value(), c.from16);
    EXPECT_EQ(request.multiTokenContexts().size(), c.from16 ? 1u : 0u);
    EXPECT_EQ(request.deferredPaymentRequest().has_value(), c.from16_4);
    EXPECT_EQ(request.applePayLaterAvailability(), c.from17 ? kLaterUnavailable : defaults.applePayLaterAvailability());
  }
}

TEST(PKPaymentRequestBuilder, IgnoresAnUntypedValueOfTheWrongType) {
  struct Case {
    const char* name;
    PKPaymentRequestBuilder builder;
  };
  const Case cases[] = {
      {"editing mode as text", minimalBuilder().shippingContactEditingMode(std::string("storePickup"))},
      {"editing mode as its number", minimalBuilder().shippingContactEditingMode(1)},
      {"recurring holding a reload", minimalBuilder().recurringPaymentRequest(kReload)},
      {"reload holding a recurring payment", minimalBuilder().automaticReloadPaymentRequest(kRecurring)},
      {"deferred holding a recurring payment", minimalBuilder().deferredPaymentRequest(kRecurring)},
      {"token contexts with one other element", minimalBuilder().multiTokenContexts({kTokenContext, kDeferred})},
      {"later availability as its kind",
       minimalBuilder().applePayLaterAvailability(passkit::ApplePayLaterAvailability::Kind::unavailable)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.builder.build(), minimalRequest());
  }
}

}  // namespace
}  // namespace keln
