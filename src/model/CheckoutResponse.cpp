#include "model/CheckoutResponse.h"

#include <unicode/utf8.h>

#include <string_view>
#include <utility>

#include "foundation/Base64.h"
#include "foundation/Log.h"
#include "foundation/Unicode.h"

namespace keln {
namespace {

// The entry of the Apple Pay method in the web form's list of methods.
constexpr std::string_view kApplePayEntry = ",\"XPAY\"";

// Every occurrence of `pattern`, found from left to right, replaced by nothing.
std::string removingAll(std::string_view text, std::string_view pattern) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t found = text.find(pattern); found != std::string_view::npos; found = text.find(pattern, start)) {
    out.append(text.substr(start, found - start));
    start = found + pattern.size();
  }
  out.append(text.substr(start));
  return out;
}

}  // namespace

CheckoutResponse::CheckoutResponse(Amount amount, Merchant merchant, std::string transactionId,
                                   std::string transactionSignature, std::string formContext,
                                   std::optional<std::vector<Token>> tokenList, Execution execution,
                                   ReturnStatus returnStatus, std::vector<Regulation> regulationList,
                                   std::string expiry, std::vector<std::string> paymentMethodList,
                                   std::optional<ExternalParameter> externalParameter, ActionResponse actionResponse)
    : amount_(std::move(amount)),
      merchant_(std::move(merchant)),
      transactionId_(std::move(transactionId)),
      transactionSignature_(std::move(transactionSignature)),
      formContext_(std::move(formContext)),
      tokenList_(std::move(tokenList)),
      execution_(std::move(execution)),
      returnStatus_(std::move(returnStatus)),
      regulationList_(std::move(regulationList)),
      expiry_(std::move(expiry)),
      paymentMethodList_(std::move(paymentMethodList)),
      externalParameter_(std::move(externalParameter)),
      actionResponse_(std::move(actionResponse)) {}

std::optional<CheckoutResponse> CheckoutResponseDTO::parse() const {
  std::optional<Merchant> merchant = merchantDTO_.parse();
  if (!merchant) return std::nullopt;

  std::optional<std::string> externalParameterJSON = foundation::base64Decode(externalParameter_);
  if (!externalParameterJSON) {
    foundation::systemLog("Failed to decode Base64 string");
    return std::nullopt;
  }
  std::optional<ExternalParameter> externalParameter;
  try {
    externalParameter = foundation::JSONDecoder().decode<ExternalParameter>(*externalParameterJSON);
  } catch (const Error& error) {
    foundation::systemLog("Failed to decode JSON data: " + error.description());
    return std::nullopt;
  }

  std::optional<std::string> formContext = formContextWithoutXPAY();
  if (!formContext) return std::nullopt;

  return CheckoutResponse(amount_, std::move(*merchant), transactionId_, transactionSignature_, std::move(*formContext),
                          tokenList_, execution_, returnStatus_, regulationList_, expiry_, paymentMethodList_,
                          std::move(externalParameter), actionResponse_);
}

std::optional<std::string> CheckoutResponseDTO::formContextWithoutXPAY() const {
  std::optional<std::string> text = foundation::base64Decode(formContext_);
  if (!text || !foundation::isValidUTF8(*text)) {
    foundation::standardOutput("Invalid Base64 string or unable to decode.");
    return std::nullopt;
  }
  std::string edited = removingAll(*text, kApplePayEntry);
  // Removing an ASCII pattern from valid UTF-8 leaves valid UTF-8; checked all the same,
  // since the edited text goes to the web form.
  if (!foundation::isValidUTF8(edited)) {
    foundation::standardOutput("Unable to convert modified string back to data.");
    return std::nullopt;
  }
  return foundation::base64Encode(edited);
}

}  // namespace keln
