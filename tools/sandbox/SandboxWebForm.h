#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace keln::sandbox {

// The pages of the sandbox's web form. Every value a page shows is escaped for HTML text
// and attributes, so a posted field can never add markup or script. Pure functions; any
// thread.
//
// Element ids the pages keep stable, for a host that plays the user through the DOM:
//   form page:     "amount", "currency", "card-form", "card-number", "card-expiry",
//                  "card-cvc", "card-holder", "pay", "decline", "terms"
//   decision page: "decision", "return" (a link to the redirect, which the page follows)
//   error page:    "error"

// `text` with & < > " ' replaced by character references.
std::string escapeHTML(std::string_view text);

// The fields of a form post (application/x-www-form-urlencoded), decoded; nullopt when a
// field name appears more than once.
std::optional<std::map<std::string, std::string>> parseFormFields(const std::string& body);

// The card form of one transaction: its amount and currency, card fields, Pay and Decline
// buttons (both post to `decisionPath`), and a link that opens `termsURL` in a new window.
std::string formPage(const std::string& transactionID, const std::string& amount, const std::string& currency,
                     const std::string& decisionPath, const std::string& termsURL);

// Tells the outcome and leads the page to `redirectURL` at once.
std::string decisionPage(bool paid, const std::string& redirectURL);

// A page that tells why the post was refused.
std::string errorPage(int status, const std::string& message);

}  // namespace keln::sandbox
