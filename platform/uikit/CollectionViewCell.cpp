#include "uikit/CollectionViewCell.h"

namespace keln::uikit {

CollectionViewCell::CollectionViewCell(const Rect& frame)
    : View(frame), contentView_(std::make_shared<View>(bounds())) {
  addSubview(contentView_);
}

CollectionViewCell::CollectionViewCell(const Coder& coder) : View(coder), contentView_(std::make_shared<View>()) {
  addSubview(contentView_);
}

void CollectionViewCell::layoutSubviews() {
  contentView_->setFrame(bounds());
  View::layoutSubviews();
}

}  // namespace keln::uikit
