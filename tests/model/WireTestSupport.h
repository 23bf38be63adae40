#pragma once

// Helpers shared by the wire model's tests.

#include <keln/platform/JSONCoding.h>

#include <gtest/gtest.h>

#include <optional>
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

// A decoded and re-encoded value: the JSON text that `json` becomes after one round.
template <typename T>
std::string reencode(const std::string& json) {
  return foundation::JSONEncoder().encode(foundation::JSONDecoder().decode<T>(json));
}

}  // namespace keln::testing
