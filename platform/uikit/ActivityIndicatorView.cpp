#include "uikit/ActivityIndicatorView.h"

namespace keln::uikit {

ActivityIndicatorView::ActivityIndicatorView(Style style) : style_(style) { setHidden(true); }

void ActivityIndicatorView::startAnimating() {
  animating_ = true;
  if (hidesWhenStopped_) setHidden(false);
}

void ActivityIndicatorView::stopAnimating() {
  animating_ = false;
  if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides) {
  hidesWhenStopped_ = hides;
  if (hides && !animating_) setHidden(true);
}

Size ActivityIndicatorView::intrinsicContentSize() const {
  double side = style_ == Style::large ? 37 : 20;
  return {side, side};
}

}  // namespace keln::uikit
