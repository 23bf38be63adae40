#pragma once

#include <keln/Export.h>

#include "uikit/View.h"

namespace keln::uikit {

// The spinning wheel shown during a long step. It is made stopped; while
// hidesWhenStopped() holds (the default), stopping hides it and starting shows it.
// Its natural size is 20 points square (medium) or 37 (large). Main thread only.
class KELN_EXPORT ActivityIndicatorView : public View {
 public:
  enum class Style { medium, large };

  explicit ActivityIndicatorView(Style style = Style::medium);

  Style style() const { return style_; }
  bool isAnimating() const { return animating_; }
  void startAnimating();
  void stopAnimating();

  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool hides);

  Size intrinsicContentSize() const override;

 private:
  Style style_;
  bool animating_ = false;
  bool hidesWhenStopped_ = true;
};

}  // namespace keln::uikit
