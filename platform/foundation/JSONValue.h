#pragma once

// Internal access to JSON values for the layers that hand JSON on as a value (the HTTP
// layer's parameters, JSON serialization of untyped data).

#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include <keln/foundation/JSONCoding.h>

namespace keln::foundation {

// The SDK's own way to a decoder or encoder over a JSON value it holds.
struct JSONCodingAccess {
  // A decoder of `value` at `codingPath`; valid while `value` is alive.
  static Decoder decoder(const nlohmann::json& value, CodingPath codingPath) {
    return Decoder(value, std::move(codingPath));
  }
  // An encoder that writes into `value`, which must outlive it.
  static Encoder encoder(nlohmann::ordered_json& value, CodingPath codingPath) {
    return Encoder(value, std::move(codingPath));
  }
};

// The JSON value of `value`. Throws EncodingError.
template <typename T>
nlohmann::ordered_json encodeToValue(const T& value) {
  nlohmann::ordered_json root;
  Encoder encoder = JSONCodingAccess::encoder(root, {});
  Coding<T>::encode(value, encoder);
  return root;
}

// Compact JSON text of a value built by an Encoder or by hand: strings escaped as the
// platform encoder does ("/" written as "\/"), integral doubles up to 2^53 without a
// fraction. Throws EncodingError when a text is not valid UTF-8 or a number is not finite.
std::string serializeJSON(const nlohmann::ordered_json& value);

}  // namespace keln::foundation
