#pragma once

#include <map>
#include <optional>

#include "uikit/CollectionViewLayout.h"
#include "uikit/Geometry.h"
#include "uikit/IndexPath.h"

namespace keln::uikit {

// Lays items out in rows, filled from the leading edge, one section after the other. Item
// sizes, line spacing, spacing between items of a row and section insets come from the
// collection view's delegate when it adopts CollectionViewDelegateFlowLayout and answers,
// and from the properties below otherwise. Negative or non-finite sizes count as zero.
class CollectionViewFlowLayout : public CollectionViewLayout {
 public:
  enum class ScrollDirection { vertical, horizontal };

  ScrollDirection scrollDirection() const { return scrollDirection_; }
  void setScrollDirection(ScrollDirection direction) { scrollDirection_ = direction; }
  const Size& itemSize() const { return itemSize_; }
  void setItemSize(const Size& size) { itemSize_ = size; }
  double minimumLineSpacing() const { return minimumLineSpacing_; }
  void setMinimumLineSpacing(double spacing) { minimumLineSpacing_ = spacing; }
  double minimumInteritemSpacing() const { return minimumInteritemSpacing_; }
  void setMinimumInteritemSpacing(double spacing) { minimumInteritemSpacing_ = spacing; }
  const EdgeInsets& sectionInset() const { return sectionInset_; }
  void setSectionInset(const EdgeInsets& inset) { sectionInset_ = inset; }

  void prepare(CollectionView& collectionView) override;
  std::optional<Rect> frameForItem(const IndexPath& indexPath) const override;
  Size collectionViewContentSize() const override { return contentSize_; }

 private:
  ScrollDirection scrollDirection_ = ScrollDirection::vertical;
  Size itemSize_{50, 50};
  double minimumLineSpacing_ = 10;
  double minimumInteritemSpacing_ = 10;
  EdgeInsets sectionInset_;

  std::map<IndexPath, Rect> frames_;
  Size contentSize_;
};

}  // namespace keln::uikit
