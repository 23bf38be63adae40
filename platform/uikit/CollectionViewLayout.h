#pragma once

#include <optional>

#include "uikit/Geometry.h"
#include "uikit/IndexPath.h"

namespace keln::uikit {

class CollectionView;

// Where the items of a collection view go. The collection view calls prepare() at each
// layout pass and then places its cells at the frames computed. Main thread only.
class CollectionViewLayout {
 public:
  virtual ~CollectionViewLayout() = default;

  // Computes the frames of every item the collection view currently holds.
  virtual void prepare(CollectionView& collectionView) = 0;
  // The frame of an item, in the collection view's coordinates, as of the last prepare();
  // nullopt for an item it does not hold.
  virtual std::optional<Rect> frameForItem(const IndexPath& indexPath) const = 0;
  // The size of the area the items cover, insets included.
  virtual Size collectionViewContentSize() const = 0;
};

}  // namespace keln::uikit
