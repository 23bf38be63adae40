#pragma once

// The gateway's web side for tests where a real web engine shows the checkout: the payment
// form page that the checkout page posts to, and replies that a web engine does not keep
// connections open for.

#include <string>

#include "support/LocalGateway.h"

namespace keln::testing {

// `reply` with "Connection: close": a web engine keeps idle connections open, and the
// gateway would otherwise wait for them to time out when it stops.
GatewayReply closingConnection(GatewayReply reply);

// The gateway's payment form: a "Pay" button (id "pay") that takes the page to the
// redirect URL the checkout page sent, two links that ask for a new window: a web address
// (id "terms", https://bank.example/terms?lang=pl) and a script (id "script"), and a link
// that downloads a file (id "save").
std::string formPage(const std::string& redirectURL, const std::string& transactionID);

// The form page for the checkout page's post `request`, as HTML on a closing connection.
GatewayReply formPageReply(const RecordedRequest& request);

// A form field of an application/x-www-form-urlencoded body, decoded; empty when absent.
std::string formField(const std::string& body, const std::string& name);

}  // namespace keln::testing
