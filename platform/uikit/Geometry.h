#pragma once

#include <keln/Export.h>

namespace keln::uikit {

// Points, sizes, rectangles and insets in points. A rectangle's origin is its top-left
// corner; y grows downwards. Plain values.

struct KELN_EXPORT Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct KELN_EXPORT Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct KELN_EXPORT Rect {
  Point origin;
  Size size;

  Rect() = default;
  Rect(Point origin, Size size) : origin(origin), size(size) {}
  Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

  double minX() const { return origin.x; }
  double midX() const { return origin.x + size.width / 2; }
  double maxX() const { return origin.x + size.width; }
  double minY() const { return origin.y; }
  double midY() const { return origin.y + size.height / 2; }
  double maxY() const { return origin.y + size.height; }
  double width() const { return size.width; }
  double height() const { return size.height; }

  friend bool operator==(const Rect&, const Rect&) = default;
};

struct KELN_EXPORT EdgeInsets {
  double top = 0;
  double left = 0;
  double bottom = 0;
  double right = 0;
  friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

}  // namespace keln::uikit
