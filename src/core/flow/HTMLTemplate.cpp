#include "core/flow/HTMLTemplate.h"

#include <utility>

#include "foundation/NumberText.h"

namespace keln {
namespace {

// Replaces every occurrence of "[[[key]]]", found from left to right; the inserted value
// is not searched again.
void replacePlaceholder(std::string& text, std::string_view key, std::string_view value) {
  std::string placeholder = "[[[";
  placeholder.append(key);
  placeholder.append("]]]");
  std::size_t found = text.find(placeholder);
  if (found == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (; found != std::string::npos; found = text.find(placeholder, start)) {
    out.append(text, start, found - start);
    out.append(value);
    start = found + placeholder.size();
  }
  out.append(text, start, std::string::npos);
  text = std::move(out);
}

}  // namespace

HTMLTemplate::HTMLTemplate(std::string templateText) : template_(std::move(templateText)) {}

void HTMLTemplate::fill(const CheckoutResponse& checkout, std::string_view webURL, std::string_view redirectURL) {
  replacePlaceholder(template_, webURLKey, webURL);
  replacePlaceholder(template_, transactionIDKey, checkout.transactionId());
  replacePlaceholder(template_, contextKey, checkout.formContext());
  replacePlaceholder(template_, amountKey, foundation::doubleDescription(checkout.amount().value()));
  replacePlaceholder(template_, currencyKey, checkout.amount().currency());
  replacePlaceholder(template_, redirectURLKey, redirectURL);
}

}  // namespace keln
