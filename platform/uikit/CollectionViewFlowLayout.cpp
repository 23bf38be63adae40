#include "uikit/CollectionViewFlowLayout.h"

#include <algorithm>
#include <cmath>

#include "uikit/CollectionView.h"

namespace keln::uikit {
namespace {

double nonNegative(double value) { return std::isfinite(value) && value > 0 ? value : 0; }

}  // namespace

void CollectionViewFlowLayout::prepare(CollectionView& collectionView) {
  frames_.clear();
  auto flowDelegate = std::dynamic_pointer_cast<CollectionViewDelegateFlowLayout>(collectionView.delegate());
  const bool vertical = scrollDirection_ == ScrollDirection::vertical;
  // Work along "rows" (across the scroll direction) and "lines" (along it); a horizontal
  // layout is the vertical one with the axes swapped.
  const Size bounds = collectionView.bounds().size;
  const double across = vertical ? bounds.width : bounds.height;

  double along = 0;
  const std::int64_t sections = collectionView.numberOfSections();
  for (std::int64_t section = 0; section < sections; ++section) {
    EdgeInsets inset = sectionInset_;
    double lineSpacing = minimumLineSpacing_;
    double interitemSpacing = minimumInteritemSpacing_;
    if (flowDelegate != nullptr) {
      inset = flowDelegate->insetForSectionAt(collectionView, *this, section).value_or(inset);
      lineSpacing = flowDelegate->minimumLineSpacingForSectionAt(collectionView, *this, section).value_or(lineSpacing);
      interitemSpacing =
          flowDelegate->minimumInteritemSpacingForSectionAt(collectionView, *this, section).value_or(interitemSpacing);
    }
    const double leadingInset = vertical ? inset.left : inset.top;
    const double trailingInset = vertical ? inset.right : inset.bottom;
    const double startInset = vertical ? inset.top : inset.left;
    const double endInset = vertical ? inset.bottom : inset.right;
    const double rowEnd = across - trailingInset;

    along += startInset;
    double position = leadingInset;  // across, in the current line
    double lineExtent = 0;           // along, of the current line
    bool lineEmpty = true;
    const std::int64_t items = collectionView.numberOfItems(section);
    for (std::int64_t item = 0; item < items; ++item) {
      IndexPath indexPath{section, item};
      Size size = itemSize_;
      if (flowDelegate != nullptr) {
        size = flowDelegate->sizeForItemAt(collectionView, *this, indexPath).value_or(size);
      }
      const double itemAcross = nonNegative(vertical ? size.width : size.height);
      const double itemAlong = nonNegative(vertical ? size.height : size.width);
      if (!lineEmpty && position + itemAcross > rowEnd) {
        along += lineExtent + lineSpacing;
        position = leadingInset;
        lineExtent = 0;
      }
      frames_[indexPath] =
          vertical ? Rect(position, along, itemAcross, itemAlong) : Rect(along, position, itemAlong, itemAcross);
      position += itemAcross + interitemSpacing;
      lineExtent = std::max(lineExtent, itemAlong);
      lineEmpty = false;
    }
    along += lineExtent + endInset;
  }
  contentSize_ = vertical ? Size{bounds.width, along} : Size{along, bounds.height};
}

std::optional<Rect> CollectionViewFlowLayout::frameForItem(const IndexPath& indexPath) const {
  auto found = frames_.find(indexPath);
  if (found == frames_.end()) return std::nullopt;
  return found->second;
}

}  // namespace keln::uikit
