// The gateway's checkout reply, as it arrives, and its conversion to the checkout's screen
// data. Whatever the reply holds, decoding either yields a value or throws DecodingError;
// a value encodes and decodes back to itself; the screen data, when there is any, agrees
// with the reply it came from.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <keln/foundation/JSONCoding.h>

#include "foundation/Base64.h"
#include "foundation/Unicode.h"
#include "fuzz/FuzzSupport.h"
#include "model/CheckoutResponse.h"
#include "model/CheckoutResponseDTO.h"

using keln::CheckoutResponse;
using keln::CheckoutResponseDTO;
namespace foundation = keln::foundation;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  keln::fuzzing::QuietLog quiet;
  std::optional<CheckoutResponseDTO> reply;
  try {
    reply = foundation::JSONDecoder().decode<CheckoutResponseDTO>(keln::fuzzing::textOf(data, size));
  } catch (const foundation::DecodingError&) {
    return 0;
  }

  try {
    const std::string encoded = foundation::JSONEncoder().encode(*reply);
    const auto again = foundation::JSONDecoder().decode<CheckoutResponseDTO>(encoded);
    KELN_FUZZ_CHECK(foundation::JSONEncoder().encode(again) == encoded);
  } catch (const foundation::EncodingError&) {
    // A number too large for a double reads as infinity and cannot be written back.
  }

  const std::optional<std::string> formContext = reply->formContextWithoutXPAY();
  if (formContext) {
    const std::optional<std::string> text = foundation::base64Decode(*formContext);
    KELN_FUZZ_CHECK(text.has_value());
    KELN_FUZZ_CHECK(foundation::isValidUTF8(*text));
    const std::optional<std::string> original = foundation::base64Decode(reply->formContext());
    KELN_FUZZ_CHECK(original.has_value());
    KELN_FUZZ_CHECK(text->size() <= original->size() && (original->size() - text->size()) % 7 == 0);
    if (original->find(",\"XPAY\"") == std::string::npos) KELN_FUZZ_CHECK(*text == *original);
  }

  const std::optional<CheckoutResponse> screen = reply->parse();
  if (screen) {
    KELN_FUZZ_CHECK(formContext && screen->formContext() == *formContext);
    KELN_FUZZ_CHECK(screen->externalParameter().has_value());
    KELN_FUZZ_CHECK(screen->transactionId() == reply->transactionId());
    KELN_FUZZ_CHECK(screen->paymentMethodList() == reply->paymentMethodList());
    KELN_FUZZ_CHECK(std::to_string(screen->merchant().terminalId()).size() <= reply->merchantDTO().terminalId().size());
  }
  return 0;
}
