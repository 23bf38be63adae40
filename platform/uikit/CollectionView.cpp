#include "uikit/CollectionView.h"

#include <algorithm>

#include "foundation/Log.h"
#include "uikit/CollectionViewFlowLayout.h"

namespace keln::uikit {

CollectionView::CollectionView(const Rect& frame, std::shared_ptr<CollectionViewLayout> layout)
    : View(frame), layout_(layout != nullptr ? std::move(layout) : std::make_shared<CollectionViewFlowLayout>()) {}

CollectionView::CollectionView(const Coder& coder)
    : View(coder), layout_(std::make_shared<CollectionViewFlowLayout>()) {}

std::shared_ptr<CollectionViewCell> CollectionView::dequeueReusableCell(const std::string& reuseIdentifier,
                                                                        const IndexPath&) {
  if (auto pool = reusableCells_.find(reuseIdentifier); pool != reusableCells_.end() && !pool->second.empty()) {
    auto cell = std::move(pool->second.back());
    pool->second.pop_back();
    cell->prepareForReuse();
    return cell;
  }
  auto factory = cellFactories_.find(reuseIdentifier);
  if (factory == cellFactories_.end()) {
    foundation::systemLog("could not dequeue a view of kind: UICollectionElementKindCell with identifier " +
                          reuseIdentifier + " - must register a nib or a class for the identifier");
    return nullptr;
  }
  auto cell = factory->second();
  if (cell != nullptr) cell->reuseIdentifier_ = reuseIdentifier;
  return cell;
}

void CollectionView::reloadData() {
  for (auto& [indexPath, cell] : visibleCells_) {
    cell->removeFromSuperview();
    cell->setSelected(false);
    if (cell->reuseIdentifier_) reusableCells_[*cell->reuseIdentifier_].push_back(std::move(cell));
  }
  visibleCells_.clear();
  itemCounts_.reset();
  selected_.reset();
}

void CollectionView::loadCountsIfNeeded() {
  if (itemCounts_) return;
  std::vector<std::int64_t> counts;
  if (auto source = dataSource()) {
    std::int64_t sections = std::max<std::int64_t>(0, source->numberOfSections(*this));
    for (std::int64_t section = 0; section < sections; ++section) {
      counts.push_back(std::max<std::int64_t>(0, source->numberOfItemsInSection(*this, section)));
    }
  }
  itemCounts_ = std::move(counts);
}

std::int64_t CollectionView::numberOfSections() {
  loadCountsIfNeeded();
  return static_cast<std::int64_t>(itemCounts_->size());
}

std::int64_t CollectionView::numberOfItems(std::int64_t section) {
  loadCountsIfNeeded();
  if (section < 0 || section >= static_cast<std::int64_t>(itemCounts_->size())) return 0;
  return (*itemCounts_)[static_cast<std::size_t>(section)];
}

bool CollectionView::contains(const IndexPath& indexPath) {
  return indexPath.item >= 0 && indexPath.item < numberOfItems(indexPath.section);
}

std::shared_ptr<CollectionViewCell> CollectionView::cellForItem(const IndexPath& indexPath) const {
  auto found = visibleCells_.find(indexPath);
  return found == visibleCells_.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<CollectionViewCell>> CollectionView::visibleCells() const {
  std::vector<std::shared_ptr<CollectionViewCell>> cells;
  for (const auto& [indexPath, cell] : visibleCells_) cells.push_back(cell);
  return cells;
}

std::vector<IndexPath> CollectionView::indexPathsForSelectedItems() const {
  if (!selected_) return {};
  return {*selected_};
}

bool CollectionView::tapItem(const IndexPath& indexPath) {
  if (isHiddenInHierarchy() || !contains(indexPath)) return false;
  if (selected_) {
    if (auto previous = cellForItem(*selected_)) previous->setSelected(false);
  }
  selected_ = indexPath;
  if (auto cell = cellForItem(indexPath)) cell->setSelected(true);
  if (auto listener = delegate()) listener->didSelectItemAt(*this, indexPath);
  return true;
}

void CollectionView::layoutSubviews() {
  loadCountsIfNeeded();
  layout_->prepare(*this);
  auto source = dataSource();
  const auto counts = *itemCounts_;
  for (std::size_t section = 0; section < counts.size(); ++section) {
    for (std::int64_t item = 0; item < counts[section]; ++item) {
      IndexPath indexPath{static_cast<std::int64_t>(section), item};
      auto cell = cellForItem(indexPath);
      if (cell == nullptr && source != nullptr) {
        cell = source->cellForItemAt(*this, indexPath);
        if (cell == nullptr) continue;
        cell->setSelected(selected_ == indexPath);
        visibleCells_[indexPath] = cell;
        addSubview(cell);
      }
      if (cell == nullptr) continue;
      if (auto frame = layout_->frameForItem(indexPath)) cell->setFrame(*frame);
    }
  }
  View::layoutSubviews();
}

}  // namespace keln::uikit
