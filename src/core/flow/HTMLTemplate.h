#pragma once

#include <string>
#include <string_view>

#include "model/CheckoutResponse.h"

namespace keln {

// The module's fixed texts: the template resource's extension, the placeholder keys
// (a placeholder is "[[[" + key + "]]]"), the link schemes the checkout opens outside the
// SDK, and the image and title key of the menu's Apple Pay entry.
inline constexpr std::string_view templateFileExtension = "html";
inline constexpr std::string_view webURLKey = "webURL";
inline constexpr std::string_view transactionIDKey = "transactionID";
inline constexpr std::string_view contextKey = "context";
inline constexpr std::string_view amountKey = "amount";
inline constexpr std::string_view currencyKey = "currency";
inline constexpr std::string_view redirectURLKey = "redirectURL";
inline constexpr std::string_view applePayCardName = "apple_pay";

// The checkout page for one checkout screen: the template text, filled in place with the
// checkout's values. Owned by the checkout view model; main thread.
class HTMLTemplate {
 public:
  explicit HTMLTemplate(std::string templateText);

  // Replaces, in this order and each over the text the previous step left, every
  // "[[[webURL]]]" with `webURL`, "[[[transactionID]]]" with the transaction id,
  // "[[[context]]]" with the form context, "[[[amount]]]" with the amount's value
  // (shortest text that reads back as the same double, as 10.0 or 12.5),
  // "[[[currency]]]" with the currency and "[[[redirectURL]]]" with `redirectURL`.
  // Values are inserted as they are, without escaping. Placeholders are matched exactly;
  // once filled, the text has none left, so a second fill changes nothing.
  void fill(const CheckoutResponse& checkout, std::string_view webURL, std::string_view redirectURL);

  // The text, filled or not.
  const std::string& description() const { return template_; }

 private:
  std::string template_;
};

}  // namespace keln
