#include <keln/foundation/JSONCoding.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "foundation/JSONValue.h"
#include "foundation/NumberText.h"

namespace keln::foundation {
namespace {

using json = nlohmann::json;
using ordered_json = nlohmann::ordered_json;

const char* kindName(DecodingError::Kind kind) {
  switch (kind) {
    case DecodingError::Kind::typeMismatch: return "typeMismatch";
    case DecodingError::Kind::valueNotFound: return "valueNotFound";
    case DecodingError::Kind::keyNotFound: return "keyNotFound";
    case DecodingError::Kind::dataCorrupted: return "dataCorrupted";
  }
  return "dataCorrupted";
}

// How the decoder names what it found, in "Expected to decode X but found <this> instead."
const char* foundName(const json& value) {
  switch (value.type()) {
    case json::value_t::string: return "a string";
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
    case json::value_t::number_float: return "a number";
    case json::value_t::boolean: return "bool";
    case json::value_t::null: return "null";
    case json::value_t::object: return "a dictionary";
    case json::value_t::array: return "an array";
    default: return "an unsupported value";
  }
}

CodingPath appending(const CodingPath& path, std::string component) {
  CodingPath result = path;
  result.push_back(std::move(component));
  return result;
}

std::string describe(const char* kind, const CodingPath& path, const std::string& debugDescription) {
  std::string text = kind;
  if (!path.empty()) text += " at " + describeCodingPath(path);
  return text + ": " + debugDescription;
}

}  // namespace

std::string describeCodingPath(const CodingPath& path) {
  std::string text;
  for (const auto& component : path) {
    if (!text.empty()) text += '.';
    text += component;
  }
  return text;
}

DecodingError::DecodingError(Kind kind, CodingPath codingPath, std::string debugDescription)
    : kind_(kind), codingPath_(std::move(codingPath)), debugDescription_(std::move(debugDescription)) {}

std::string DecodingError::description() const { return describe(kindName(kind_), codingPath_, debugDescription_); }

std::string DecodingError::localizedDescription() const {
  if (kind_ == Kind::keyNotFound || kind_ == Kind::valueNotFound) {
    return "The data couldn\u2019t be read because it is missing.";
  }
  return "The data couldn\u2019t be read because it isn\u2019t in the correct format.";
}

EncodingError::EncodingError(Kind kind, CodingPath codingPath, std::string debugDescription)
    : kind_(kind), codingPath_(std::move(codingPath)), debugDescription_(std::move(debugDescription)) {}

std::string EncodingError::description() const { return describe("invalidValue", codingPath_, debugDescription_); }

std::string EncodingError::localizedDescription() const {
  return "The data couldn\u2019t be written because it isn\u2019t in the correct format.";
}

// --- Coding paths of a parsed document --------------------------------------------------

// The coding path of any value of one parsed document, worked out on demand: decoding a
// document that reads well never builds a path. The first request indexes every value's
// parent; the paths handed out stay alive, unchanged, as long as the document. Safe to use
// from several threads at once, as reading the document is.
class DocumentPaths {
 public:
  explicit DocumentPaths(const json& root) : root_(&root) {}
  DocumentPaths(const DocumentPaths&) = delete;
  DocumentPaths& operator=(const DocumentPaths&) = delete;

  // `value` is the document's root or one of the values inside it.
  const CodingPath& pathOf(const json& value) const {
    const std::lock_guard lock(mutex_);
    auto known = paths_.find(&value);
    if (known != paths_.end()) return known->second;
    if (!indexed_) indexParents();
    CodingPath path;
    for (auto link = links_.find(&value); link != links_.end(); link = links_.find(link->second.parent)) {
      const Link& step = link->second;
      path.push_back(step.key ? *step.key : "Index " + std::to_string(step.index));
    }
    std::reverse(path.begin(), path.end());
    return paths_.emplace(&value, std::move(path)).first->second;
  }

 private:
  // How a value hangs from its parent: under `key` in an object, at `index` in an array.
  struct Link {
    const json* parent;
    const std::string* key;
    std::size_t index;
  };

  // Iterative, as documents may nest as deep as the parser allows.
  void indexParents() const {
    std::vector<const json*> pending{root_};
    while (!pending.empty()) {
      const json* node = pending.back();
      pending.pop_back();
      if (node->is_object()) {
        for (const auto& [key, child] : node->get_ref<const json::object_t&>()) {
          links_.emplace(&child, Link{node, &key, 0});
          if (child.is_structured()) pending.push_back(&child);
        }
      } else if (node->is_array()) {
        std::size_t index = 0;
        for (const json& child : node->get_ref<const json::array_t&>()) {
          links_.emplace(&child, Link{node, nullptr, index++});
          if (child.is_structured()) pending.push_back(&child);
        }
      }
    }
    indexed_ = true;
  }

  const json* root_;
  mutable std::mutex mutex_;
  mutable bool indexed_ = false;
  mutable std::unordered_map<const json*, Link> links_;
  mutable std::unordered_map<const json*, CodingPath> paths_;
};

// --- Decoder ---------------------------------------------------------------------------

Decoder::Decoder(const json& value, CodingPath codingPath) : value_(&value), codingPath_(std::move(codingPath)) {}

const CodingPath& Decoder::codingPath() const { return paths_ ? paths_->pathOf(*value_) : codingPath_; }

void Decoder::fail(DecodingError::Kind kind, std::string debugDescription) const {
  throw DecodingError(kind, codingPath(), std::move(debugDescription));
}

void Decoder::typeMismatch(std::string_view expected) const {
  if (value_->is_null()) {
    fail(DecodingError::Kind::valueNotFound,
         "Cannot get value of type " + std::string(expected) + " -- found null value instead");
  }
  fail(DecodingError::Kind::typeMismatch,
       "Expected to decode " + std::string(expected) + " but found " + foundName(*value_) + " instead.");
}

void Decoder::requireObject() const {
  if (!value_->is_object()) typeMismatch("Dictionary<String, Any>");
}

bool Decoder::contains(std::string_view key) const {
  requireObject();
  return value_->find(key) != value_->end();
}

std::vector<std::string> Decoder::allKeys() const {
  requireObject();
  std::vector<std::string> keys;
  for (auto it = value_->begin(); it != value_->end(); ++it) keys.push_back(it.key());
  return keys;
}

Decoder Decoder::nested(std::string_view key) const {
  requireObject();
  auto it = value_->find(key);
  if (it == value_->end()) {
    fail(DecodingError::Kind::keyNotFound, "No value associated with key \"" + std::string(key) + "\".");
  }
  if (paths_) return Decoder(paths_, *it);
  return Decoder(*it, appending(codingPath_, std::string(key)));
}

std::optional<Decoder> Decoder::nestedIfPresent(std::string_view key) const {
  requireObject();
  auto it = value_->find(key);
  if (it == value_->end() || it->is_null()) return std::nullopt;
  if (paths_) return Decoder(paths_, *it);
  return Decoder(*it, appending(codingPath_, std::string(key)));
}

bool Decoder::isNull() const { return value_->is_null(); }

std::string Decoder::decodeString() const {
  if (!value_->is_string()) typeMismatch("String");
  return value_->get_ref<const std::string&>();
}

std::int64_t Decoder::decodeInt() const {
  switch (value_->type()) {
    case json::value_t::number_integer: return value_->get<std::int64_t>();
    case json::value_t::number_unsigned: {
      const auto unsignedValue = value_->get<std::uint64_t>();
      if (unsignedValue <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return static_cast<std::int64_t>(unsignedValue);
      }
      break;
    }
    case json::value_t::number_float: {
      // Integral doubles in range read as integers (7.0, 1e2): -2^63 < d < 2^63. An integer
      // written below -2^63 is read as a double that rounds to -2^63 itself, so that bound
      // is excluded here; -2^63 written as an integer never reaches this branch.
      const double d = value_->get<double>();
      if (std::isfinite(d) && std::trunc(d) == d && d > -9223372036854775808.0 && d < 9223372036854775808.0) {
        return static_cast<std::int64_t>(d);
      }
      break;
    }
    default: typeMismatch("Int");
  }
  fail(DecodingError::Kind::dataCorrupted, "Parsed JSON number <" + value_->dump() + "> does not fit in Int.");
}

double Decoder::decodeDouble() const {
  if (!value_->is_number()) typeMismatch("Double");
  return value_->get<double>();
}

bool Decoder::decodeBool() const {
  if (!value_->is_boolean()) typeMismatch("Bool");
  return value_->get<bool>();
}

std::vector<Decoder> Decoder::elements() const {
  if (!value_->is_array()) typeMismatch("Array<Any>");
  std::vector<Decoder> result;
  result.reserve(value_->size());
  std::size_t index = 0;
  for (const auto& element : *value_) {
    if (paths_) {
      result.push_back(Decoder(paths_, element));
    } else {
      result.push_back(Decoder(element, appending(codingPath_, "Index " + std::to_string(index++))));
    }
  }
  return result;
}

// --- Encoder ---------------------------------------------------------------------------

Encoder::Encoder(ordered_json& value, CodingPath codingPath) : value_(&value), codingPath_(std::move(codingPath)) {}

void Encoder::beginObject() {
  if (!value_->is_object()) *value_ = ordered_json::object();
}

Encoder Encoder::nested(std::string_view key) {
  beginObject();
  ordered_json& child = (*value_)[std::string(key)];
  return Encoder(child, appending(codingPath_, std::string(key)));
}

void Encoder::encodeString(std::string_view value) { *value_ = std::string(value); }

void Encoder::encodeInt(std::int64_t value) { *value_ = value; }

void Encoder::encodeDouble(double value) {
  if (!std::isfinite(value)) {
    throw EncodingError(EncodingError::Kind::invalidValue, codingPath_,
                        "Unable to encode Double." + doubleDescription(value) + " directly in JSON.");
  }
  *value_ = value;
}

void Encoder::encodeBool(bool value) { *value_ = value; }

void Encoder::beginArray() { *value_ = ordered_json::array(); }

Encoder Encoder::appendElement() {
  if (!value_->is_array()) beginArray();
  const std::size_t index = value_->size();
  value_->push_back(nullptr);
  return Encoder(value_->back(), appending(codingPath_, "Index " + std::to_string(index)));
}

// --- Documents -------------------------------------------------------------------------

namespace {

// The most arrays and objects a document may hold open at once, far beyond any gateway
// reply. Deep nesting costs the parser many times the memory of its text.
constexpr std::size_t kMaxNesting = 512;

// True when `text` holds more than kMaxNesting arrays and objects open at once. Brackets
// inside strings do not count; the text need not be valid JSON (the parser judges that).
bool nestsTooDeep(std::string_view text) {
  std::size_t depth = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    switch (text[at]) {
      case '"':
        // Skip to the string's closing quote, passing over escaped characters.
        for (++at; at < text.size() && text[at] != '"'; ++at) {
          if (text[at] == '\\') ++at;
        }
        if (at >= text.size()) return false;
        break;
      case '[':
      case '{':
        if (++depth > kMaxNesting) return true;
        break;
      case ']':
      case '}':
        if (depth > 0) --depth;
        break;
      default: break;
    }
  }
  return false;
}

}  // namespace

struct JSONDocument::Contents {
  explicit Contents(json parsed) : value(std::move(parsed)), paths(value) {}

  json value;
  DocumentPaths paths;
};

JSONDocument::JSONDocument(std::string_view text) {
  // The parser stops at a NUL byte as at the end of the text, which would accept what
  // follows it. JSON allows no raw NUL anywhere (inside a string it must be escaped).
  // A document nested deeper than kMaxNesting is refused before the parser builds any of
  // it, whatever memory that nesting would take.
  if (text.find('\0') != std::string_view::npos || nestsTooDeep(text)) {
    throw DecodingError(DecodingError::Kind::dataCorrupted, {}, "The given data was not valid JSON.");
  }
  try {
    contents_ = std::make_unique<Contents>(json::parse(text));
  } catch (const json::exception&) {
    throw DecodingError(DecodingError::Kind::dataCorrupted, {}, "The given data was not valid JSON.");
  }
}

JSONDocument::~JSONDocument() = default;
JSONDocument::JSONDocument(JSONDocument&&) noexcept = default;
JSONDocument& JSONDocument::operator=(JSONDocument&&) noexcept = default;

Decoder JSONDocument::root() const { return Decoder(&contents_->paths, contents_->value); }

std::string JSONEncoder::encodeWith(const std::function<void(Encoder&)>& write) const {
  ordered_json root;
  Encoder encoder(root, {});
  write(encoder);
  return serializeJSON(root);
}

}  // namespace keln::foundation
