#pragma once

#include <keln/Export.h>

#include <memory>
#include <optional>
#include <string>

#include "uikit/View.h"

namespace keln::uikit {

// One item of a collection view. Subclasses put their subviews in contentView(), which
// always fills the cell. Cells are made by the collection view from the class registered
// for a reuse identifier, and reused for other items after a reload. Main thread only.
class KELN_EXPORT CollectionViewCell : public View {
 public:
  explicit CollectionViewCell(const Rect& frame = {});
  // Restores a plain cell from an archive.
  explicit CollectionViewCell(const Coder& coder);

  const std::shared_ptr<View>& contentView() const { return contentView_; }
  // The identifier the cell was dequeued for; nullopt for a cell made directly.
  const std::optional<std::string>& reuseIdentifier() const { return reuseIdentifier_; }

  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected) { selected_ = selected; }

  // Called before the cell is handed out again for another item.
  virtual void prepareForReuse() {}

  void layoutSubviews() override;

 private:
  friend class CollectionView;

  std::shared_ptr<View> contentView_;
  std::optional<std::string> reuseIdentifier_;
  bool selected_ = false;
};

}  // namespace keln::uikit
