#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <keln/core/CardItem.h>
#include <keln/dispatch/MainQueue.h>

#include "core/flow/CardItemAccess.h"
#include "presentation/BaseView.h"
#include "presentation/BaseViewController.h"
#include "presentation/CardCollectionViewCell.h"
#include "presentation/DefaultPaymentView.h"
#include "uikit/Coder.h"
#include "uikit/CollectionView.h"
#include "uikit/CollectionViewFlowLayout.h"
#include "uikit/GeometryPrinters.h"

namespace keln {
namespace {

using uikit::Rect;

static_assert(!std::is_default_constructible_v<CardItem>);
static_assert(!std::is_constructible_v<CardItem, std::optional<std::string>, std::string>);

TEST(ScreenTest, RootViewIsWhiteWithTheIndicatorInItsCentre) {
  auto controller = std::make_shared<BaseViewController>();
  auto root = controller->view();
  EXPECT_EQ(root->backgroundColor(), uikit::Color::white());
  const auto& indicator = controller->activityIndicatorView();
  EXPECT_EQ(indicator->style(), uikit::ActivityIndicatorView::Style::large);
  EXPECT_EQ(indicator->superview(), root.get());
  EXPECT_FALSE(indicator->isAnimating());
  EXPECT_TRUE(indicator->isHidden());

  root->setFrame(Rect(0, 0, 390, 844));
  root->layoutIfNeeded();
  EXPECT_EQ(indicator->frame().midX(), 195);
  EXPECT_EQ(indicator->frame().midY(), 422);
  EXPECT_GT(indicator->frame().width(), 0);
}

TEST(ScreenTest, IndicatorShowsInFrontAndHides) {
  auto controller = std::make_shared<BaseViewController>();
  auto root = controller->view();
  const auto& indicator = controller->activityIndicatorView();

  controller->showActivityIndicator();
  EXPECT_TRUE(indicator->isAnimating());
  EXPECT_FALSE(indicator->isHidden());
  controller->hideActivityIndicator();
  EXPECT_FALSE(indicator->isAnimating());
  EXPECT_TRUE(indicator->isHidden());

  root->addSubview(std::make_shared<uikit::View>());  // now above the indicator
  controller->showActivityIndicator();
  EXPECT_EQ(root->subviews().back(), indicator);
  EXPECT_FALSE(indicator->isHidden());
  EXPECT_EQ(root->subviews().size(), 2U);
}

class RecordingView : public BaseView {
 public:
  using BaseView::BaseView;
  void setupView() override { setUpWithSubviews = subviews().size() + 1; }
  std::size_t setUpWithSubviews = 0;
};

TEST(ScreenTest, SetupRunsBeforeTheViewIsHandedOut) {
  auto view = BaseView::make<RecordingView>();
  EXPECT_EQ(view->setUpWithSubviews, 1U);
  EXPECT_EQ(view->frame(), Rect());
}

TEST(ScreenTest, ContentViewStacksTheMenuOverTheWebFormEdgeToEdge) {
  auto content = BaseView::make<DefaultPaymentView>();
  const auto& web = content->webView();
  const auto& menu = content->collectionView();
  EXPECT_EQ(content->webView(), web);  // made once
  EXPECT_EQ(web->configuration(), content->webViewConfiguration());
  ASSERT_EQ(content->subviews().size(), 2U);
  EXPECT_EQ(content->subviews()[0], web);
  EXPECT_EQ(content->subviews()[1], menu);
  EXPECT_EQ(content->asView().get(), content.get());
  EXPECT_EQ(menu->backgroundColor(), uikit::Color::white());
  EXPECT_FALSE(web->isHidden());
  EXPECT_FALSE(menu->isHidden());
  auto* flow = dynamic_cast<uikit::CollectionViewFlowLayout*>(&menu->collectionViewLayout());
  ASSERT_NE(flow, nullptr);
  EXPECT_EQ(flow->scrollDirection(), uikit::CollectionViewFlowLayout::ScrollDirection::vertical);

  content->setFrame(Rect(0, 0, 390, 844));
  content->layoutIfNeeded();
  EXPECT_EQ(web->frame(), Rect(0, 0, 390, 844));
  EXPECT_EQ(menu->frame(), Rect(0, 0, 390, 844));

  content->showWebForm();
  EXPECT_FALSE(web->isHidden());
  EXPECT_TRUE(menu->isHidden());
  content->showMenu();
  EXPECT_TRUE(web->isHidden());
  EXPECT_FALSE(menu->isHidden());
}

// The menu's data source and metrics, as the checkout screen sets them up.
class Menu : public uikit::CollectionViewDataSource, public uikit::CollectionViewDelegateFlowLayout {
 public:
  std::int64_t numberOfItemsInSection(uikit::CollectionView&, std::int64_t) override {
    return static_cast<std::int64_t>(titles.size());
  }
  std::shared_ptr<uikit::CollectionViewCell> cellForItemAt(uikit::CollectionView& collectionView,
                                                           const uikit::IndexPath& indexPath) override {
    auto cell = std::dynamic_pointer_cast<CardCollectionViewCell>(
        collectionView.dequeueReusableCell(CardCollectionViewCell::identifier, indexPath));
    if (cell != nullptr) cell->titleLabel()->setText(titles[static_cast<std::size_t>(indexPath.item)]);
    return cell;
  }
  std::optional<uikit::Size> sizeForItemAt(uikit::CollectionView& collectionView, uikit::CollectionViewLayout&,
                                           const uikit::IndexPath&) override {
    return uikit::Size{collectionView.frame().width() - 20, 60};
  }
  std::optional<double> minimumLineSpacingForSectionAt(uikit::CollectionView&, uikit::CollectionViewLayout&,
                                                       std::int64_t) override {
    return 20;
  }
  std::optional<uikit::EdgeInsets> insetForSectionAt(uikit::CollectionView&, uikit::CollectionViewLayout&,
                                                     std::int64_t) override {
    return uikit::EdgeInsets{10, 10, 10, 10};
  }

  std::vector<std::string> titles{"Apple Pay", "Other payment options"};
};

TEST(ScreenTest, CardCellsLayOutImageAndTitleOnAStyledCard) {
  auto content = BaseView::make<DefaultPaymentView>();
  auto menu = std::make_shared<Menu>();
  const auto& collection = content->collectionView();
  collection->registerClass<CardCollectionViewCell>(CardCollectionViewCell::identifier);
  collection->setDataSource(menu);
  collection->setDelegate(menu);
  content->setFrame(Rect(0, 0, 390, 844));

  for (int pass = 0; pass < 2; ++pass) {  // the second pass reuses the cells
    SCOPED_TRACE(pass == 0 ? "new cells" : "reused cells");
    collection->reloadData();
    content->layoutIfNeeded();
    auto cells = collection->visibleCells();
    ASSERT_EQ(cells.size(), 2U);
    EXPECT_EQ(cells[0]->frame(), Rect(10, 10, 370, 60));
    EXPECT_EQ(cells[1]->frame(), Rect(10, 90, 370, 60));
    for (const auto& plain : cells) {
      auto cell = std::dynamic_pointer_cast<CardCollectionViewCell>(plain);
      ASSERT_NE(cell, nullptr);
      EXPECT_EQ(cell->imageView()->frame(), Rect(20, 0, 50, 60));
      EXPECT_EQ(cell->titleLabel()->frame().minX(), 100);
      EXPECT_EQ(cell->titleLabel()->frame().midY(), 30);
      EXPECT_GT(cell->titleLabel()->frame().width(), 0);

      const auto& card = cell->contentView()->layer();
      EXPECT_EQ(card.cornerRadius(), 8);
      EXPECT_TRUE(card.masksToBounds());
      EXPECT_EQ(card.borderWidth(), 1);
      EXPECT_EQ(card.borderColor(), uikit::Color::lightGray());
      const auto& shadow = cell->layer();
      EXPECT_EQ(shadow.cornerRadius(), 8);
      EXPECT_FALSE(shadow.masksToBounds());  // the shadow falls outside the clipped card
      EXPECT_EQ(shadow.shadowColor(), uikit::Color::black());
      EXPECT_FLOAT_EQ(shadow.shadowOpacity(), 0.2F);
      EXPECT_EQ(shadow.shadowOffset(), (uikit::Size{2, 2}));
      EXPECT_EQ(shadow.shadowRadius(), 4);
      EXPECT_EQ(cell->imageView()->contentMode(), uikit::ContentMode::scaleAspectFit);
      EXPECT_TRUE(cell->imageView()->clipsToBounds());
      EXPECT_EQ(cell->titleLabel()->font(), uikit::Font::systemFont(16));
      EXPECT_EQ(cell->titleLabel()->textColor(), uikit::Color::black());
      EXPECT_EQ(cell->contentView()->subviews().size(), 2U);
    }
  }
}

TEST(ScreenTest, MenuEntriesKeepWhatTheSdkPutsInThem) {
  CardItem withImage = CardItemAccess::make("apple_pay", "apple_pay");
  CardItem copy = withImage;
  EXPECT_EQ(CardItemAccess::imageResource(copy), std::optional<std::string>("apple_pay"));
  EXPECT_EQ(CardItemAccess::title(copy), "apple_pay");
  CardItem withoutImage = CardItemAccess::make(std::nullopt, "other_payment_options");
  EXPECT_EQ(CardItemAccess::imageResource(withoutImage), std::nullopt);
}

TEST(ScreenDeathTest, ScreensCannotBeRestoredFromAnArchive) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  uikit::Coder archive;
  EXPECT_DEATH(BaseView{archive}, "init\\(coder:\\) has not been implemented");
  EXPECT_DEATH(DefaultPaymentView{archive}, "init\\(coder:\\) has not been implemented");
  EXPECT_DEATH(CardCollectionViewCell{archive}, "init\\(coder:\\) has not been implemented");
  BaseViewController restored{archive};  // a controller from an archive is fine
  EXPECT_NE(restored.view(), nullptr);
}

}  // namespace
}  // namespace keln
