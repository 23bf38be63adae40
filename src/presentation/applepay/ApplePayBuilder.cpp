#include <keln/presentation/ApplePayBuilder.h>

#include <keln/core/TransactionParamsSDK.h>

#include <keln/passkit/Decimal.h>
#include <keln/passkit/PaymentRequest.h>
#include "foundation/NumberText.h"
#include "model/CheckoutResponse.h"
#include "presentation/applepay/PKPaymentRequestBuilder.h"

namespace keln {

const std::vector<passkit::PaymentNetwork>& ApplePayBuilder::supportedNetworks() {
  static const std::vector<passkit::PaymentNetwork> networks{passkit::PaymentNetwork::masterCard(),
                                                             passkit::PaymentNetwork::visa()};
  return networks;
}

std::optional<passkit::PaymentRequest> ApplePayBuilder::build(const CheckoutResponse& from,
                                                              const TransactionParamsSDK& params) {
  const std::optional<std::string>& merchantId = params.applePayMerchantId();
  const std::optional<ExternalParameter>& externalParameter = from.externalParameter();
  if (!merchantId || !externalParameter) return std::nullopt;
  const std::optional<std::string>& countryCode = externalParameter->xpay().genericData().acceptorCountryCode();
  if (!countryCode) return std::nullopt;

  // The amount as written in its shortest text, so that 0.1 is exactly one tenth. A
  // text that is no number (nan, inf) or beyond the decimal's range would give a sheet
  // the wallet refuses, which would end the payment; no request keeps the menu open.
  const passkit::Decimal amount(foundation::doubleDescription(params.amount()));
  if (amount.isNaN()) return std::nullopt;

  return PKPaymentRequestBuilder()
      .merchantIdentifier(*merchantId)
      .countryCode(*countryCode)
      .currencyCode(params.currency())
      .supportedNetworks(supportedNetworks())
      .merchantCapabilities(passkit::MerchantCapability::threeDSecure() | passkit::MerchantCapability::credit() |
                            passkit::MerchantCapability::debit())
      .paymentSummaryItems({passkit::PaymentSummaryItem{"Total", amount}})
      .build();
}

}  // namespace keln
