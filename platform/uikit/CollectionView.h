#pragma once

#include <keln/Export.h>

#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/CollectionViewCell.h"
#include "uikit/CollectionViewLayout.h"
#include "uikit/IndexPath.h"
#include "uikit/View.h"

namespace keln::uikit {

class CollectionView;

// Supplies a collection view's items.
class KELN_EXPORT CollectionViewDataSource {
 public:
  virtual ~CollectionViewDataSource() = default;
  virtual std::int64_t numberOfSections(CollectionView&) { return 1; }
  virtual std::int64_t numberOfItemsInSection(CollectionView& collectionView, std::int64_t section) = 0;
  // Usually a cell from CollectionView::dequeueReusableCell(); null leaves the item without
  // a cell.
  virtual std::shared_ptr<CollectionViewCell> cellForItemAt(CollectionView& collectionView,
                                                            const IndexPath& indexPath) = 0;
};

// Hears what the user does with a collection view.
class KELN_EXPORT CollectionViewDelegate {
 public:
  virtual ~CollectionViewDelegate() = default;
  virtual void didSelectItemAt(CollectionView&, const IndexPath&) {}
};

// A delegate that also sizes and spaces the items of a flow layout. Each answer left at
// nullopt falls back on the layout's own property. Adopting it adopts
// CollectionViewDelegate (inherited virtually, so a class may name both).
class KELN_EXPORT CollectionViewDelegateFlowLayout : public virtual CollectionViewDelegate {
 public:
  virtual std::optional<Size> sizeForItemAt(CollectionView&, CollectionViewLayout&, const IndexPath&) {
    return std::nullopt;
  }
  virtual std::optional<double> minimumLineSpacingForSectionAt(CollectionView&, CollectionViewLayout&, std::int64_t) {
    return std::nullopt;
  }
  virtual std::optional<double> minimumInteritemSpacingForSectionAt(CollectionView&, CollectionViewLayout&,
                                                                    std::int64_t) {
    return std::nullopt;
  }
  virtual std::optional<EdgeInsets> insetForSectionAt(CollectionView&, CollectionViewLayout&, std::int64_t) {
    return std::nullopt;
  }
};

// A view that shows items supplied by a data source, in cells placed by a layout.
//
// The data source and the delegate are held weakly; the layout is owned. The item counts
// are read from the data source when first needed after reloadData() (or creation). Cells
// are asked for at the next layout pass (View::layoutIfNeeded()); headless, every item gets
// a cell, whether it lies inside the bounds or not. reloadData() takes the cells back for
// reuse and clears the selection. Main thread only.
class KELN_EXPORT CollectionView : public View {
 public:
  // A null layout is replaced by a default flow layout.
  CollectionView(const Rect& frame, std::shared_ptr<CollectionViewLayout> layout);
  // Restores a collection view from an archive, with a default flow layout.
  explicit CollectionView(const Coder& coder);

  CollectionViewLayout& collectionViewLayout() const { return *layout_; }

  std::shared_ptr<CollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
  void setDataSource(std::weak_ptr<CollectionViewDataSource> dataSource) { dataSource_ = std::move(dataSource); }
  std::shared_ptr<CollectionViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<CollectionViewDelegate> delegate) { delegate_ = std::move(delegate); }

  // Cells dequeued for `reuseIdentifier` are made as Cell(Rect{}) from now on.
  template <class Cell>
  requires std::derived_from<Cell, CollectionViewCell> && std::constructible_from<Cell, Rect>
  void registerClass(const std::string& reuseIdentifier) {
    cellFactories_[reuseIdentifier] = [] { return std::make_shared<Cell>(Rect{}); };
  }

  // A cell for the item at `indexPath`: one given back by reloadData() when there is one
  // (prepareForReuse() is called on it), else a new one of the registered class. Null,
  // with a line in the system log, when no class is registered for `reuseIdentifier`.
  std::shared_ptr<CollectionViewCell> dequeueReusableCell(const std::string& reuseIdentifier,
                                                          const IndexPath& indexPath);

  void reloadData();

  std::int64_t numberOfSections();
  // Zero for a section that does not exist.
  std::int64_t numberOfItems(std::int64_t section);

  // The cell shown for the item; null when it has none (yet).
  std::shared_ptr<CollectionViewCell> cellForItem(const IndexPath& indexPath) const;
  // In index path order.
  std::vector<std::shared_ptr<CollectionViewCell>> visibleCells() const;
  std::vector<IndexPath> indexPathsForSelectedItems() const;

  // What a user's tap on the item does: selects it (alone) and tells the delegate. Does
  // nothing and returns false when the item does not exist or the collection view cannot
  // be seen (it or an ancestor is hidden).
  bool tapItem(const IndexPath& indexPath);

  void layoutSubviews() override;

 private:
  void loadCountsIfNeeded();
  bool contains(const IndexPath& indexPath);

  std::shared_ptr<CollectionViewLayout> layout_;
  std::weak_ptr<CollectionViewDataSource> dataSource_;
  std::weak_ptr<CollectionViewDelegate> delegate_;
  std::map<std::string, std::function<std::shared_ptr<CollectionViewCell>()>> cellFactories_;
  std::map<std::string, std::vector<std::shared_ptr<CollectionViewCell>>> reusableCells_;
  std::map<IndexPath, std::shared_ptr<CollectionViewCell>> visibleCells_;
  std::optional<std::vector<std::int64_t>> itemCounts_;  // per section; empty until read
  std::optional<IndexPath> selected_;
};

}  // namespace keln::uikit
