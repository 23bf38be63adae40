#pragma once

// Internal access to JSON values for the layers that hand JSON on as a value (the HTTP
// layer's parameters, JSON serialization of untyped data).

#include <string>

#include <nlohmann/json.hpp>

#include <keln/foundation/JSONCoding.h>

namespace keln::foundation {

// The JSON value of `value`. Throws EncodingError.
template <typename T>
nlohmann::ordered_json encodeToValue(const T& value) {
  nlohmann::ordered_json root;
  Encoder encoder(root, {});
  Coding<T>::encode(value, encoder);
  return root;
}

// Compact JSON text of a value built by an Encoder or by hand: strings escaped as the
// platform encoder does ("/" written as "\/"), integral doubles up to 2^53 without a
// fraction. Throws EncodingError when a text is not valid UTF-8 or a number is not finite.
std::string serializeJSON(const nlohmann::ordered_json& value);

}  // namespace keln::foundation
