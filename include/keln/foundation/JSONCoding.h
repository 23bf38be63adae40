#pragma once

#include <keln/Export.h>

// JSON coding of the SDK's value types.
//
// Every codable type has one coding-key table: its encode operation writes its fields
// under their keys through an Encoder, and its decode operation reads them back through
// a Decoder. The rules are those of the SDK's wire format:
//  - a required field's key must be present, non-null and of the right JSON type;
//  - an optional field whose key is missing or null reads as absent, and an absent
//    optional is left out when encoding (never written as null);
//  - keys outside the table are ignored; keys are case-sensitive;
//  - text is a JSON string, an integer a JSON number with an integral value in the signed
//    64-bit range (7.0 and 1e2 read as 7 and 100), a double any JSON number, a flag
//    true or false, a list an array, a nested type an object;
//  - non-finite doubles cannot be encoded.
// Any failure throws DecodingError or EncodingError and nothing partial survives.
//
// A type T takes part by providing
//   void encode(keln::foundation::Encoder& encoder) const;
//   static T decode(const keln::foundation::Decoder& decoder);
// or by specialising keln::foundation::Coding<T>.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include <keln/foundation/Error.h>

namespace keln::foundation {

// Where in a document a value sits: object keys, and "Index N" for array elements.
using CodingPath = std::vector<std::string>;

// "merchant.terminalId", "tokens.Index 0.value"; "" for the top level.
KELN_EXPORT std::string describeCodingPath(const CodingPath& path);

class KELN_EXPORT DecodingError : public Error {
 public:
  enum class Kind { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

  DecodingError(Kind kind, CodingPath codingPath, std::string debugDescription);

  Kind kind() const { return kind_; }
  const CodingPath& codingPath() const { return codingPath_; }
  const std::string& debugDescription() const { return debugDescription_; }

  // "keyNotFound at merchant.terminalId: No value associated with key ..."
  std::string description() const override;
  // "The data couldn’t be read because it is missing." (key or value not found) or
  // "The data couldn’t be read because it isn’t in the correct format." (the others).
  std::string localizedDescription() const override;

 private:
  Kind kind_;
  CodingPath codingPath_;
  std::string debugDescription_;
};

class KELN_EXPORT EncodingError : public Error {
 public:
  enum class Kind { invalidValue };

  EncodingError(Kind kind, CodingPath codingPath, std::string debugDescription);

  Kind kind() const { return kind_; }
  const CodingPath& codingPath() const { return codingPath_; }
  const std::string& debugDescription() const { return debugDescription_; }

  // "invalidValue at transaction.amount.value: Unable to encode Double.nan directly in JSON."
  std::string description() const override;
  // "The data couldn’t be written because it isn’t in the correct format."
  std::string localizedDescription() const override;

 private:
  Kind kind_;
  CodingPath codingPath_;
  std::string debugDescription_;
};

class Encoder;
class Decoder;

// How a type is encoded and decoded. The primary template calls the type's own
// encode / decode; the specialisations below cover text, numbers, flags and lists.
template <typename T>
struct Coding {
  static void encode(const T& value, Encoder& encoder) { value.encode(encoder); }
  static T decode(const Decoder& decoder) { return T::decode(decoder); }
};

class JSONDocument;
class JSONEncoder;
class DocumentPaths;
struct JSONCodingAccess;

// A view of one JSON value while a document is being decoded. Cheap to copy; valid only
// while the document it reads from is alive (that is, inside a decode operation).
// Decoders of a JSONDocument learn their coding path from the document only when it is
// asked for (an error, codingPath()), so a nested decoder may outlive the decoder it was
// made from.
class KELN_EXPORT Decoder {
 public:
  // Valid while this decoder and its document are alive.
  const CodingPath& codingPath() const;

  // Keyed access; the value must be an object.
  template <typename T>
  T decode(std::string_view key) const {
    return Coding<T>::decode(nested(key));
  }
  template <typename T>
  std::optional<T> decodeIfPresent(std::string_view key) const {
    std::optional<Decoder> value = nestedIfPresent(key);
    if (!value) return std::nullopt;
    return Coding<T>::decode(*value);
  }
  // True when the key is present (null included).
  bool contains(std::string_view key) const;
  // The object's keys, sorted (byte order), not in document order.
  std::vector<std::string> allKeys() const;
  // The value under a required key (present and non-null).
  Decoder nested(std::string_view key) const;
  // The value under an optional key; nullopt when missing or null.
  std::optional<Decoder> nestedIfPresent(std::string_view key) const;

  // Single-value access.
  bool isNull() const;
  std::string decodeString() const;
  std::int64_t decodeInt() const;
  double decodeDouble() const;
  bool decodeBool() const;
  // The elements of an array, with their paths.
  std::vector<Decoder> elements() const;

  // Throws a DecodingError of `kind` at this value's path.
  [[noreturn]] void fail(DecodingError::Kind kind, std::string debugDescription) const;

 private:
  friend class JSONDocument;
  friend struct JSONCodingAccess;
  // A decoder of `value` that carries its path with it.
  Decoder(const nlohmann::json& value, CodingPath codingPath);
  Decoder(const DocumentPaths* paths, const nlohmann::json& value) : value_(&value), paths_(paths) {}
  void requireObject() const;
  [[noreturn]] void typeMismatch(std::string_view expected) const;

  const nlohmann::json* value_;
  // The document's path index; null when codingPath_ holds the path.
  const DocumentPaths* paths_ = nullptr;
  CodingPath codingPath_;
};

// Builds one JSON value while a document is being encoded. Valid only inside an encode
// operation.
class KELN_EXPORT Encoder {
 public:
  const CodingPath& codingPath() const { return codingPath_; }

  // Makes the value an object (left as it is when it already is one), so that a type
  // whose fields are all absent is written as {} rather than null.
  void beginObject();

  // Keyed writes; the value becomes an object. Keys are written in call order.
  template <typename T>
  void encode(std::string_view key, const T& value) {
    Encoder child = nested(key);
    Coding<T>::encode(value, child);
  }
  template <typename T>
  void encodeIfPresent(std::string_view key, const std::optional<T>& value) {
    if (value) encode(key, *value);
  }
  // The encoder of the value under `key` (created as null, replaced by what is written).
  Encoder nested(std::string_view key);

  // Single-value writes.
  void encodeString(std::string_view value);
  void encodeInt(std::int64_t value);
  // Throws EncodingError for NaN and infinities.
  void encodeDouble(double value);
  void encodeBool(bool value);
  // Makes the value an (empty) array; then appendElement() adds one element at a time.
  void beginArray();
  Encoder appendElement();

 private:
  friend class JSONEncoder;
  friend struct JSONCodingAccess;
  // Writes into `value`, which must outlive the encoder.
  Encoder(nlohmann::ordered_json& value, CodingPath codingPath);

  nlohmann::ordered_json* value_;
  CodingPath codingPath_;
};

template <>
struct KELN_EXPORT Coding<std::string> {
  static void encode(const std::string& value, Encoder& encoder) { encoder.encodeString(value); }
  static std::string decode(const Decoder& decoder) { return decoder.decodeString(); }
};
template <>
struct KELN_EXPORT Coding<std::int64_t> {
  static void encode(std::int64_t value, Encoder& encoder) { encoder.encodeInt(value); }
  static std::int64_t decode(const Decoder& decoder) { return decoder.decodeInt(); }
};
template <>
struct KELN_EXPORT Coding<double> {
  static void encode(double value, Encoder& encoder) { encoder.encodeDouble(value); }
  static double decode(const Decoder& decoder) { return decoder.decodeDouble(); }
};
template <>
struct KELN_EXPORT Coding<bool> {
  static void encode(bool value, Encoder& encoder) { encoder.encodeBool(value); }
  static bool decode(const Decoder& decoder) { return decoder.decodeBool(); }
};
template <typename T>
struct Coding<std::vector<T>> {
  static void encode(const std::vector<T>& values, Encoder& encoder) {
    encoder.beginArray();
    for (const T& value : values) {
      Encoder element = encoder.appendElement();
      Coding<T>::encode(value, element);
    }
  }
  static std::vector<T> decode(const Decoder& decoder) {
    std::vector<T> values;
    for (const Decoder& element : decoder.elements()) values.push_back(Coding<T>::decode(element));
    return values;
  }
};

// A parsed JSON document. Throws DecodingError (dataCorrupted, "The given data was not
// valid JSON.") when the text is not valid JSON in UTF-8, or holds more than 512 arrays and
// objects open at once. Top-level fragments are allowed.
class KELN_EXPORT JSONDocument {
 public:
  explicit JSONDocument(std::string_view text);
  ~JSONDocument();
  JSONDocument(JSONDocument&&) noexcept;
  JSONDocument& operator=(JSONDocument&&) noexcept;

  Decoder root() const;

 private:
  struct Contents;
  std::unique_ptr<Contents> contents_;
};

class KELN_EXPORT JSONEncoder {
 public:
  // Compact JSON text of `value`, keys in the order they were written. Throws
  // EncodingError.
  template <typename T>
  std::string encode(const T& value) const {
    return encodeWith([&value](Encoder& encoder) { Coding<T>::encode(value, encoder); });
  }

  // Compact JSON text of what `write` writes into a fresh top-level encoder.
  std::string encodeWith(const std::function<void(Encoder&)>& write) const;
};

class KELN_EXPORT JSONDecoder {
 public:
  // Throws DecodingError.
  template <typename T>
  T decode(std::string_view data) const {
    JSONDocument document(data);
    return Coding<T>::decode(document.root());
  }
};

}  // namespace keln::foundation
