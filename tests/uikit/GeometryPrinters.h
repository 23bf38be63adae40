#pragma once

#include <ostream>

#include "uikit/Geometry.h"

// Readable geometry in test failures.
namespace keln::uikit {

inline void PrintTo(const Size& size, std::ostream* out) { *out << "(" << size.width << " x " << size.height << ")"; }
inline void PrintTo(const Rect& rect, std::ostream* out) {
  *out << "(" << rect.minX() << ", " << rect.minY() << ", " << rect.width() << " x " << rect.height() << ")";
}

}  // namespace keln::uikit
