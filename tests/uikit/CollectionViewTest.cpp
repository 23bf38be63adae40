#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/Log.h"
#include "uikit/CollectionView.h"
#include "uikit/CollectionViewFlowLayout.h"
#include "uikit/GeometryPrinters.h"

namespace keln::uikit {
namespace {

using foundation::LogStream;
using foundation::ScopedLogCapture;

class CountingCell : public CollectionViewCell {
 public:
  using CollectionViewCell::CollectionViewCell;
  void prepareForReuse() override { ++reuseCount; }
  int reuseCount = 0;
};

// A data source and flow-layout delegate with the menu's metrics: items as wide as the
// collection view less 20, 60 high, 20 apart, inset 10 on every side.
class Menu : public CollectionViewDataSource, public CollectionViewDelegateFlowLayout {
 public:
  std::int64_t numberOfItemsInSection(CollectionView&, std::int64_t) override { return itemCount; }
  std::shared_ptr<CollectionViewCell> cellForItemAt(CollectionView& collectionView,
                                                    const IndexPath& indexPath) override {
    return collectionView.dequeueReusableCell(identifier, indexPath);
  }
  std::optional<Size> sizeForItemAt(CollectionView& collectionView, CollectionViewLayout&, const IndexPath&) override {
    return Size{collectionView.frame().width() - 20, 60};
  }
  std::optional<double> minimumLineSpacingForSectionAt(CollectionView&, CollectionViewLayout&, std::int64_t) override {
    return 20;
  }
  std::optional<EdgeInsets> insetForSectionAt(CollectionView&, CollectionViewLayout&, std::int64_t) override {
    return EdgeInsets{10, 10, 10, 10};
  }
  void didSelectItemAt(CollectionView&, const IndexPath& indexPath) override { selected.push_back(indexPath); }

  std::int64_t itemCount = 2;
  std::string identifier = "Cell";
  std::vector<IndexPath> selected;
};

class CollectionViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto layout = std::make_shared<CollectionViewFlowLayout>();
    collectionView = std::make_shared<CollectionView>(Rect(0, 0, 320, 500), layout);
    collectionView->registerClass<CountingCell>("Cell");
    collectionView->setDataSource(menu);
    collectionView->setDelegate(menu);
  }

  std::shared_ptr<Menu> menu = std::make_shared<Menu>();
  std::shared_ptr<CollectionView> collectionView;
};

TEST_F(CollectionViewTest, ItemsTakeTheSizesInsetsAndSpacingTheDelegateGives) {
  collectionView->layoutIfNeeded();
  auto cells = collectionView->visibleCells();
  ASSERT_EQ(cells.size(), 2U);
  EXPECT_EQ(cells[0]->frame(), Rect(10, 10, 300, 60));
  EXPECT_EQ(cells[1]->frame(), Rect(10, 90, 300, 60));
  EXPECT_EQ(collectionView->collectionViewLayout().collectionViewContentSize(), (Size{320, 160}));
  EXPECT_EQ(cells[1]->superview(), collectionView.get());
  EXPECT_EQ(cells[1]->contentView()->frame(), Rect(0, 0, 300, 60));
}

TEST_F(CollectionViewTest, FlowLayoutOnItsOwnFillsRowsFromTheLeadingEdge) {
  struct Case {
    std::string name;
    CollectionViewFlowLayout::ScrollDirection direction;
    std::vector<Rect> expected;
  };
  const std::vector<Case> cases = {
      {"vertical",
       CollectionViewFlowLayout::ScrollDirection::vertical,
       {Rect(5, 5, 40, 30), Rect(55, 5, 40, 30), Rect(5, 40, 40, 30)}},
      {"horizontal",
       CollectionViewFlowLayout::ScrollDirection::horizontal,
       {Rect(5, 5, 40, 30), Rect(5, 45, 40, 30), Rect(50, 5, 40, 30)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto layout = std::make_shared<CollectionViewFlowLayout>();
    layout->setScrollDirection(c.direction);
    layout->setItemSize({40, 30});
    layout->setMinimumLineSpacing(5);
    layout->setMinimumInteritemSpacing(10);
    layout->setSectionInset({5, 5, 5, 5});
    auto view = std::make_shared<CollectionView>(Rect(0, 0, 100, 80), layout);
    view->registerClass<CountingCell>("Cell");
    menu->itemCount = 3;
    view->setDataSource(menu);  // no delegate: the layout's own properties apply
    view->layoutIfNeeded();
    for (std::int64_t item = 0; item < 3; ++item) {
      ASSERT_TRUE(layout->frameForItem({0, item}));
      EXPECT_EQ(*layout->frameForItem({0, item}), c.expected[static_cast<std::size_t>(item)]);
    }
  }
}

TEST_F(CollectionViewTest, SizesThatCannotBeUsedCountAsZero) {
  collectionView->setFrame(Rect());  // a menu item would be -20 wide
  collectionView->layoutIfNeeded();
  auto frame = collectionView->collectionViewLayout().frameForItem({0, 0});
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->size, (Size{0, 60}));
}

TEST_F(CollectionViewTest, ReloadHandsCellsOutAgain) {
  collectionView->layoutIfNeeded();
  auto first = std::dynamic_pointer_cast<CountingCell>(collectionView->cellForItem({0, 0}));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->reuseIdentifier(), std::optional<std::string>("Cell"));
  EXPECT_EQ(collectionView->cellForItem({0, 2}), nullptr);

  menu->itemCount = 1;
  collectionView->reloadData();
  EXPECT_TRUE(collectionView->visibleCells().empty());
  EXPECT_TRUE(collectionView->subviews().empty());
  collectionView->layoutIfNeeded();
  ASSERT_EQ(collectionView->visibleCells().size(), 1U);
  auto reused = std::dynamic_pointer_cast<CountingCell>(collectionView->cellForItem({0, 0}));
  ASSERT_NE(reused, nullptr);
  EXPECT_EQ(reused->reuseCount, 1);
  EXPECT_EQ(collectionView->numberOfItems(0), 1);
  EXPECT_EQ(collectionView->numberOfItems(7), 0);
}

TEST_F(CollectionViewTest, AnUnregisteredIdentifierGivesNoCell) {
  ScopedLogCapture log;
  menu->identifier = "Unknown";
  collectionView->layoutIfNeeded();
  EXPECT_TRUE(collectionView->visibleCells().empty());
  EXPECT_EQ(log.messages(LogStream::systemLog).size(), 2U);
}

TEST_F(CollectionViewTest, TapsSelectLikeAUser) {
  collectionView->layoutIfNeeded();
  struct Case {
    std::string name;
    IndexPath tapped;
    bool hidden;
    bool reached;
  };
  const std::vector<Case> cases = {
      {"second item", {0, 1}, false, true},    {"first item", {0, 0}, false, true},
      {"past the end", {0, 2}, false, false},  {"negative", {0, -1}, false, false},
      {"other section", {1, 0}, false, false}, {"while hidden", {0, 1}, true, false},
  };
  std::vector<IndexPath> expectedSelections;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    collectionView->setHidden(c.hidden);
    EXPECT_EQ(collectionView->tapItem(c.tapped), c.reached);
    if (c.reached) expectedSelections.push_back(c.tapped);
    EXPECT_EQ(menu->selected, expectedSelections);
  }
  EXPECT_EQ(collectionView->indexPathsForSelectedItems(), (std::vector<IndexPath>{IndexPath{0, 0}}));
  EXPECT_TRUE(collectionView->cellForItem({0, 0})->isSelected());
  EXPECT_FALSE(collectionView->cellForItem({0, 1})->isSelected());
}

TEST_F(CollectionViewTest, GoneDataSourceAndDelegateAreNotCalled) {
  menu.reset();
  collectionView->reloadData();
  collectionView->layoutIfNeeded();
  EXPECT_EQ(collectionView->numberOfSections(), 0);
  EXPECT_FALSE(collectionView->tapItem({0, 0}));
}

}  // namespace
}  // namespace keln::uikit
