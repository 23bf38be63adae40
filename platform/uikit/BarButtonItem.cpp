#include "uikit/BarButtonItem.h"

namespace keln::uikit {

void BarButtonItem::tap() const {
  // A copy: the action may replace this item (and so destroy it) while it runs.
  auto action = action_;
  if (action) action();
}

}  // namespace keln::uikit
