#pragma once

#include <memory>
#include <string>

#include "uikit/CollectionViewCell.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"

namespace keln {

// The cell of one entry of the checkout's payment-method menu: an image at the left and a
// title beside it, on a card with curved corners, a grey border and a soft shadow that
// falls outside the card. The cell shows what its data source puts in imageView() and
// titleLabel(); it keeps its styling when reused. Made in code only; restoring one from an
// archive stops the program with "init(coder:) has not been implemented". Main thread only.
class CardCollectionViewCell : public uikit::CollectionViewCell {
 public:
  // The reuse identifier the cell class is registered under.
  static inline const std::string identifier = "CardCell";

  explicit CardCollectionViewCell(const uikit::Rect& frame);
  // Not supported: stops the program.
  explicit CardCollectionViewCell(const uikit::Coder& coder);

  const std::shared_ptr<uikit::ImageView>& imageView() const { return imageView_; }
  const std::shared_ptr<uikit::Label>& titleLabel() const { return titleLabel_; }

 private:
  std::shared_ptr<uikit::ImageView> imageView_;
  std::shared_ptr<uikit::Label> titleLabel_;
};

}  // namespace keln
