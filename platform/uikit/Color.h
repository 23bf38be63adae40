#pragma once

#include <keln/Export.h>

namespace keln::uikit {

// A colour in the sRGB space: red, green, blue and alpha components from 0 to 1.
// A plain value; equal when all four components are equal.
class KELN_EXPORT Color {
 public:
  constexpr Color(double red, double green, double blue, double alpha = 1)
      : red_(red), green_(green), blue_(blue), alpha_(alpha) {}
  // A grey of the given brightness.
  static constexpr Color gray(double white, double alpha = 1) { return Color(white, white, white, alpha); }

  static constexpr Color black() { return gray(0); }
  static constexpr Color white() { return gray(1); }
  static constexpr Color lightGray() { return gray(2.0 / 3.0); }
  static constexpr Color clear() { return gray(0, 0); }

  constexpr double red() const { return red_; }
  constexpr double green() const { return green_; }
  constexpr double blue() const { return blue_; }
  constexpr double alpha() const { return alpha_; }

  friend constexpr bool operator==(const Color&, const Color&) = default;

 private:
  double red_;
  double green_;
  double blue_;
  double alpha_;
};

}  // namespace keln::uikit
