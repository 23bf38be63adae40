#pragma once

#include <keln/core/TransactionParamsSDK.h>
#include <keln/model/CheckoutRequest.h>

namespace keln {

// Maps the host's payment parameters onto the checkout request the flow sends. Checks
// nothing: values a validating builder would reject (terminal id 0, an empty transaction
// id or method list, a zero amount, a lower-case currency) go to the gateway as given.
//
// The request has channel "web", payment type "PURS" and the moment of the call in UTC as
// its time stamp; its customer is always present. The time-stamp formatter is one per
// process, made by the first call (safe when several threads get there at once). Any
// thread; the flow calls it on the main thread.
class CheckoutRequestBuilder {
 public:
  CheckoutRequestBuilder() = delete;

  static CheckoutRequest build(const TransactionParamsSDK& params);
};

}  // namespace keln
