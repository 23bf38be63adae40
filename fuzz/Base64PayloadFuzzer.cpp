// The two Base64 texts of a checkout reply: the web form's context, from which the Apple
// Pay entries are removed, and the payment-method parameters, a Base64 JSON document.
//
// The first byte of an input chooses how the rest is used: bit 0 set means the rest is
// the decoded content and is Base64-encoded here first (so that the fuzzer reaches the
// JSON and the text edits), clear means the rest is the Base64 text itself; bit 1 set
// puts it in "formContext", clear in "externalParameter". The other field keeps the
// value of a valid reply.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include <keln/foundation/JSONCoding.h>
#include <keln/model/PaymentMethodPayloads.h>

#include "foundation/Base64.h"
#include "foundation/Unicode.h"
#include "fuzz/FuzzSupport.h"
#include "model/CheckoutResponse.h"
#include "model/CheckoutResponseDTO.h"
#include "support/WireSamples.h"

namespace foundation = keln::foundation;
using keln::CheckoutResponse;
using keln::CheckoutResponseDTO;

namespace {

// The JSON text of a valid reply in two parts, before and after the value of `field`.
struct ReplyAround {
  std::string before;
  std::string after;
};

ReplyAround replyAround(const char* field) {
  nlohmann::json reply = nlohmann::json::parse(keln::samples::kCheckoutReply);
  const std::string marker = "\"field value\"";
  reply[field] = "field value";
  const std::string text = reply.dump();
  const std::size_t at = text.find(marker);
  return {text.substr(0, at), text.substr(at + marker.size())};
}

// A valid reply with `text` as the value of "formContext" or of "externalParameter".
std::string replyWith(bool inFormContext, const std::string& text) {
  static const ReplyAround formContext = replyAround("formContext");
  static const ReplyAround externalParameter = replyAround("externalParameter");
  const ReplyAround& around = inFormContext ? formContext : externalParameter;
  return around.before + nlohmann::json(text).dump() + around.after;
}

bool decodesAsExternalParameter(std::string_view text) {
  try {
    foundation::JSONDecoder().decode<keln::ExternalParameter>(text);
    return true;
  } catch (const foundation::DecodingError&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  keln::fuzzing::QuietLog quiet;
  const bool encodeFirst = (data[0] & 1) != 0;
  const bool inFormContext = (data[0] & 2) != 0;
  const std::string_view rest = keln::fuzzing::textOf(data + 1, size - 1);

  if (encodeFirst) {
    const std::optional<std::string> back = foundation::base64Decode(foundation::base64Encode(rest));
    KELN_FUZZ_CHECK(back && *back == rest);
  }
  const std::string text = encodeFirst ? foundation::base64Encode(rest) : std::string(rest);
  const std::optional<std::string> content = foundation::base64Decode(text);
  if (content) {
    const std::optional<std::string> again = foundation::base64Decode(foundation::base64Encode(*content));
    KELN_FUZZ_CHECK(again && *again == *content);
  }
  // A JSON text holds only UTF-8, and no such text is Base64 either.
  if (!foundation::isValidUTF8(text)) {
    KELN_FUZZ_CHECK(!content);
    return 0;
  }

  const auto reply = foundation::JSONDecoder().decode<CheckoutResponseDTO>(replyWith(inFormContext, text));

  const std::optional<std::string> formContext = reply.formContextWithoutXPAY();
  const std::optional<CheckoutResponse> screen = reply.parse();
  if (inFormContext) {
    const bool convertible = content && foundation::isValidUTF8(*content);
    KELN_FUZZ_CHECK(formContext.has_value() == convertible);
    KELN_FUZZ_CHECK(screen.has_value() == convertible);
    if (convertible) {
      const std::optional<std::string> edited = foundation::base64Decode(*formContext);
      KELN_FUZZ_CHECK(edited && foundation::isValidUTF8(*edited));
      KELN_FUZZ_CHECK(edited->size() <= content->size() && (content->size() - edited->size()) % 7 == 0);
      if (content->find(",\"XPAY\"") == std::string::npos) KELN_FUZZ_CHECK(*edited == *content);
      KELN_FUZZ_CHECK(screen->formContext() == *formContext);
    }
  } else {
    KELN_FUZZ_CHECK(formContext.has_value());
    KELN_FUZZ_CHECK(screen.has_value() == (content && decodesAsExternalParameter(*content)));
    if (screen) KELN_FUZZ_CHECK(screen->externalParameter().has_value());
  }
  return 0;
}
