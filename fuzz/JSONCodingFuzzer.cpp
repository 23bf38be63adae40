// The JSON coding layer on any text: a document either parses or throws DecodingError;
// every value is read through the Decoder as exactly one JSON kind, the keyed accessors
// agree with each other, and what is read, written back through the Encoder, reads and
// writes again to the same text.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include <keln/foundation/JSONCoding.h>

#include "foundation/JSONValue.h"
#include "fuzz/FuzzSupport.h"

namespace foundation = keln::foundation;

namespace {

// Deeper values are written as null: the walk is recursive and the fuzzer's inputs are
// small, so this only keeps the stack bounded.
constexpr int kMaxDepth = 64;

template <typename T, typename Read>
std::optional<T> attempt(Read read) {
  try {
    return read();
  } catch (const foundation::DecodingError& error) {
    KELN_FUZZ_CHECK(error.kind() == foundation::DecodingError::Kind::typeMismatch ||
                    error.kind() == foundation::DecodingError::Kind::dataCorrupted);
    return std::nullopt;
  }
}

bool isPrefix(const foundation::CodingPath& parent, const foundation::CodingPath& child) {
  return child.size() == parent.size() + 1 && std::equal(parent.begin(), parent.end(), child.begin());
}

// Reads `value` through the Decoder and writes what it read through `out`.
void copy(const foundation::Decoder& value, foundation::Encoder& out, int depth) {
  if (depth > kMaxDepth || value.isNull()) return;  // the encoder's value starts as null
  if (auto flag = attempt<bool>([&] { return value.decodeBool(); })) {
    out.encodeBool(*flag);
    return;
  }
  if (auto text = attempt<std::string>([&] { return value.decodeString(); })) {
    out.encodeString(*text);
    return;
  }
  if (auto integer = attempt<std::int64_t>([&] { return value.decodeInt(); })) {
    out.encodeInt(*integer);
    return;
  }
  if (auto number = attempt<double>([&] { return value.decodeDouble(); })) {
    try {
      out.encodeDouble(*number);
    } catch (const foundation::EncodingError&) {
      // A number beyond the range of a double reads as infinity, which JSON cannot hold.
      out.encodeString("non-finite");
    }
    return;
  }
  if (auto elements = attempt<std::vector<foundation::Decoder>>([&] { return value.elements(); })) {
    out.beginArray();
    for (const foundation::Decoder& element : *elements) {
      KELN_FUZZ_CHECK(isPrefix(value.codingPath(), element.codingPath()));
      foundation::Encoder child = out.appendElement();
      copy(element, child, depth + 1);
    }
    return;
  }
  const std::vector<std::string> keys = value.allKeys();  // the one kind left: an object
  out.beginObject();
  for (const std::string& key : keys) {
    KELN_FUZZ_CHECK(value.contains(key));
    const std::optional<foundation::Decoder> present = value.nestedIfPresent(key);
    foundation::Encoder child = out.nested(key);
    if (!present) {
      // A null under a key: present for the keyed access, missing for a typed read.
      const foundation::Decoder null = value.nested(key);
      KELN_FUZZ_CHECK(null.isNull());
      try {
        null.decodeString();
        KELN_FUZZ_CHECK(!"null read as a text");
      } catch (const foundation::DecodingError& error) {
        KELN_FUZZ_CHECK(error.kind() == foundation::DecodingError::Kind::valueNotFound);
      }
      continue;
    }
    KELN_FUZZ_CHECK(isPrefix(value.codingPath(), present->codingPath()) && present->codingPath().back() == key);
    copy(*present, child, depth + 1);
  }
  KELN_FUZZ_CHECK(!value.contains(std::string(1, '\x01') + "absent key"));
}

std::optional<std::string> roundTrip(std::string_view text) {
  std::optional<foundation::JSONDocument> document;
  try {
    document.emplace(text);
  } catch (const foundation::DecodingError& error) {
    KELN_FUZZ_CHECK(error.kind() == foundation::DecodingError::Kind::dataCorrupted);
    return std::nullopt;
  }
  nlohmann::ordered_json value;
  foundation::Encoder encoder = foundation::JSONCodingAccess::encoder(value, {});
  copy(document->root(), encoder, 0);
  return foundation::serializeJSON(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  keln::fuzzing::QuietLog quiet;
  const std::optional<std::string> first = roundTrip(keln::fuzzing::textOf(data, size));
  if (!first) return 0;
  const std::optional<std::string> second = roundTrip(*first);
  KELN_FUZZ_CHECK(second && *second == *first);
  return 0;
}
