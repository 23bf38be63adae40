#pragma once

#include <compare>
#include <cstdint>

namespace keln::uikit {

// The position of an item in a collection view: its section and its index there.
struct IndexPath {
  std::int64_t section = 0;
  std::int64_t item = 0;

  friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

}  // namespace keln::uikit
