// The gateway's reply to a status query: decoding yields a value or throws DecodingError,
// a value encodes and decodes back to itself, and its conversion for the host keeps what
// the reply said.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <keln/foundation/JSONCoding.h>
#include <keln/model/TransactionStatus.h>

#include "fuzz/FuzzSupport.h"

namespace foundation = keln::foundation;
using keln::TransactionStatus;
using keln::TransactionStatusDTO;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  keln::fuzzing::QuietLog quiet;
  std::optional<TransactionStatusDTO> reply;
  try {
    reply = foundation::JSONDecoder().decode<TransactionStatusDTO>(keln::fuzzing::textOf(data, size));
  } catch (const foundation::DecodingError&) {
    return 0;
  }

  const std::string encoded = foundation::JSONEncoder().encode(*reply);
  const auto again = foundation::JSONDecoder().decode<TransactionStatusDTO>(encoded);
  KELN_FUZZ_CHECK(foundation::JSONEncoder().encode(again) == encoded);
  KELN_FUZZ_CHECK(keln::fromRawValue<keln::PaymentStatus>(keln::rawValue(reply->paymentStatus())) ==
                  reply->paymentStatus());

  const std::optional<TransactionStatus> status = reply->parse();
  KELN_FUZZ_CHECK(status.has_value() == reply->merchantDTO().parse().has_value());
  if (status) {
    KELN_FUZZ_CHECK(status->transactionID() == reply->transactionID());
    KELN_FUZZ_CHECK(status->paymentStatus() == reply->paymentStatus());
    KELN_FUZZ_CHECK(status->token().has_value() == reply->token().has_value());
    const std::string statusText = foundation::JSONEncoder().encode(*status);
    KELN_FUZZ_CHECK(foundation::JSONEncoder().encode(foundation::JSONDecoder().decode<TransactionStatus>(statusText)) ==
                    statusText);
  }
  return 0;
}
