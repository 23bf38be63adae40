#pragma once

#include <keln/Export.h>

#include <memory>

#include "uikit/BarButtonItem.h"

namespace keln::uikit {

// What a navigation bar shows for the controller on top of a navigation controller's
// stack: here only the button at its left end. Owned by its view controller; main thread
// only.
class KELN_EXPORT NavigationItem {
 public:
  const std::shared_ptr<BarButtonItem>& leftBarButtonItem() const { return leftBarButtonItem_; }
  void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item) { leftBarButtonItem_ = std::move(item); }

 private:
  std::shared_ptr<BarButtonItem> leftBarButtonItem_;
};

}  // namespace keln::uikit
