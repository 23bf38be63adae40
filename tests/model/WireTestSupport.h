#pragma once

// Helpers shared by the wire model's tests.

#include <keln/foundation/JSONCoding.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cctype>
#include <functional>
#include <optional>
#include <set>
#include <string>

namespace keln::testing {

using foundation::DecodingError;

// Decodes `json` as T and checks that it fails with `kind` at `path` ("a.b", "" for the
// top level). Returns the error's debug description, or nullopt when it did not fail so.
template <typename T>
std::optional<std::string> expectDecodingError(const std::string& json, DecodingError::Kind kind,
                                               const std::string& path) {
  try {
    foundation::JSONDecoder().decode<T>(json);
    ADD_FAILURE() << "decoded: " << json;
  } catch (const DecodingError& error) {
    EXPECT_EQ(error.kind(), kind) << error.description();
    EXPECT_EQ(foundation::describeCodingPath(error.codingPath()), path) << error.description();
    return error.debugDescription();
  } catch (const std::exception& error) {
    ADD_FAILURE() << "unexpected exception: " << error.what();
  }
  return std::nullopt;
}

// The JSON text that `json` becomes after one decode and encode as T.
template <typename T>
std::string reencode(const std::string& json) {
  return foundation::JSONEncoder().encode(foundation::JSONDecoder().decode<T>(json));
}

// Which values of a valid document may be missing or null (optional) and which are not
// read at all (ignored), by coding path ("merchant.shopURL", "tokenList.Index 0.value").
struct WireShape {
  std::set<std::string> optional;
  std::set<std::string> ignored;
};

namespace detail {

inline void visitValues(const nlohmann::json& value, const std::string& path,
                        const std::function<void(const std::string&, const nlohmann::json::json_pointer&)>& visit,
                        const nlohmann::json::json_pointer& pointer) {
  if (value.is_object()) {
    for (auto it = value.begin(); it != value.end(); ++it) {
      const std::string child = path.empty() ? it.key() : path + "." + it.key();
      visit(child, pointer / it.key());
      visitValues(*it, child, visit, pointer / it.key());
    }
  } else if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) {
      const std::string component = "Index " + std::to_string(i);
      const std::string child = path.empty() ? component : path + "." + component;
      visit(child, pointer / i);
      visitValues(value[i], child, visit, pointer / i);
    }
  }
}

// A value of another JSON type than `value`.
inline nlohmann::json otherType(const nlohmann::json& value) {
  if (value.is_string()) return 5;
  if (value.is_number()) return "5";
  if (value.is_object()) return nlohmann::json::array();
  if (value.is_array()) return nlohmann::json::object();
  return "x";
}

inline std::string parentPath(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string::npos ? std::string() : path.substr(0, dot);
}

template <typename T>
void expectOutcome(const nlohmann::json& document, bool decodes, DecodingError::Kind kind, const std::string& path) {
  const std::string text = document.dump();
  if (decodes) {
    try {
      foundation::JSONDecoder().decode<T>(text);
    } catch (const std::exception& error) {
      ADD_FAILURE() << "failed: " << error.what();
    }
    return;
  }
  expectDecodingError<T>(text, kind, path);
}

}  // namespace detail

// Mutates a valid document of T at every value, at every level, and checks each outcome:
//  - a value of another JSON type fails with typeMismatch at its path;
//  - null fails with valueNotFound at its path, and a missing key with keyNotFound at its
//    parent's path, unless the value is optional;
//  - a key whose name differs only in letter case counts as missing;
//  - an extra key in any object is ignored.
// Ignored values decode whatever they hold. Every failure must be a DecodingError.
template <typename T>
void expectStrictShape(const std::string& validJson, const WireShape& shape) {
  using nlohmann::json;
  const json valid = json::parse(validJson);
  detail::expectOutcome<T>(valid, true, DecodingError::Kind::typeMismatch, "");
  detail::expectOutcome<T>(json::array(), false, DecodingError::Kind::typeMismatch, "");
  detail::expectOutcome<T>(json(nullptr), false, DecodingError::Kind::valueNotFound, "");

  detail::visitValues(
      valid, "",
      [&](const std::string& path, const json::json_pointer& pointer) {
        SCOPED_TRACE(path);
        const bool ignored = shape.ignored.count(path) > 0;
        const bool optional = ignored || shape.optional.count(path) > 0;
        {
          SCOPED_TRACE("another type");
          json mutated = valid;
          mutated[pointer] = detail::otherType(valid[pointer]);
          detail::expectOutcome<T>(mutated, ignored, DecodingError::Kind::typeMismatch, path);
        }
        {
          SCOPED_TRACE("null");
          json mutated = valid;
          mutated[pointer] = nullptr;
          detail::expectOutcome<T>(mutated, optional, DecodingError::Kind::valueNotFound, path);
        }
        const json& parent = valid[pointer.parent_pointer()];
        if (!parent.is_object()) return;
        const std::string key = pointer.back();
        {
          SCOPED_TRACE("missing");
          json mutated = valid;
          mutated[pointer.parent_pointer()].erase(key);
          detail::expectOutcome<T>(mutated, optional, DecodingError::Kind::keyNotFound, detail::parentPath(path));
          json recased = mutated;
          std::string otherCase = key;
          otherCase[0] = static_cast<char>(std::isupper(static_cast<unsigned char>(key[0])) ? std::tolower(key[0])
                                                                                            : std::toupper(key[0]));
          if (otherCase != key) {
            recased[pointer.parent_pointer()][otherCase] = valid[pointer];
            detail::expectOutcome<T>(recased, optional, DecodingError::Kind::keyNotFound, detail::parentPath(path));
          }
        }
        if (valid[pointer].is_object()) {
          SCOPED_TRACE("extra key");
          json mutated = valid;
          mutated[pointer]["unexpectedExtraKey"] = json::array({1, nullptr, "x"});
          detail::expectOutcome<T>(mutated, true, DecodingError::Kind::typeMismatch, path);
        }
      },
      json::json_pointer());
}

}  // namespace keln::testing
