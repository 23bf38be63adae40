#pragma once

#include <keln/Export.h>

#include "uikit/Color.h"
#include "uikit/Geometry.h"

namespace keln::uikit {

// The drawing properties of a view: curved corners, clipping, border and shadow. Each
// view owns exactly one layer (View::layer()). Headless: the properties are kept so that
// code and tests can read them; nothing is drawn. Main thread only.
//
// Defaults: no corner radius, no clipping, no border (width 0, colour black), no shadow
// (opacity 0, colour black, offset (0, -3), radius 3).
class KELN_EXPORT Layer {
 public:
  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double radius) { cornerRadius_ = radius; }

  // Whether sublayers and content are clipped to the layer's bounds (and curved corners).
  bool masksToBounds() const { return masksToBounds_; }
  void setMasksToBounds(bool masks) { masksToBounds_ = masks; }

  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double width) { borderWidth_ = width; }
  const Color& borderColor() const { return borderColor_; }
  void setBorderColor(const Color& color) { borderColor_ = color; }

  const Color& shadowColor() const { return shadowColor_; }
  void setShadowColor(const Color& color) { shadowColor_ = color; }
  float shadowOpacity() const { return shadowOpacity_; }
  void setShadowOpacity(float opacity) { shadowOpacity_ = opacity; }
  const Size& shadowOffset() const { return shadowOffset_; }
  void setShadowOffset(const Size& offset) { shadowOffset_ = offset; }
  double shadowRadius() const { return shadowRadius_; }
  void setShadowRadius(double radius) { shadowRadius_ = radius; }

 private:
  double cornerRadius_ = 0;
  bool masksToBounds_ = false;
  double borderWidth_ = 0;
  Color borderColor_ = Color::black();
  Color shadowColor_ = Color::black();
  float shadowOpacity_ = 0;
  Size shadowOffset_{0, -3};
  double shadowRadius_ = 3;
};

}  // namespace keln::uikit
