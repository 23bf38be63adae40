#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/Log.h"
#include "uikit/GeometryPrinters.h"
#include "uikit/Label.h"
#include "uikit/View.h"

namespace keln::uikit {
namespace {

using foundation::LogStream;
using foundation::ScopedLogCapture;

std::shared_ptr<View> placedView() {
  auto view = std::make_shared<View>();
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  return view;
}

class FixedSizeView : public View {
 public:
  explicit FixedSizeView(Size size) : size_(size) { setTranslatesAutoresizingMaskIntoConstraints(false); }
  Size intrinsicContentSize() const override { return size_; }

 private:
  Size size_;
};

TEST(LayoutTest, ConstraintsPlaceSubviews) {
  struct Case {
    std::string name;
    // Builds the children of a 300 x 200 root and their constraints; returns the child
    // whose frame is checked.
    std::function<std::shared_ptr<View>(View& root)> build;
    Rect expected;
  };
  const std::vector<Case> cases = {
      {"edges equal to the superview's",
       [](View& root) {
         auto child = placedView();
         root.addSubview(child);
         LayoutConstraint::activate({child->topAnchor().constraintEqualTo(root.topAnchor()),
                                     child->leadingAnchor().constraintEqualTo(root.leadingAnchor()),
                                     child->trailingAnchor().constraintEqualTo(root.trailingAnchor()),
                                     child->bottomAnchor().constraintEqualTo(root.bottomAnchor())});
         return child;
       },
       Rect(0, 0, 300, 200)},
      {"edges with offsets",
       [](View& root) {
         auto child = placedView();
         root.addSubview(child);
         LayoutConstraint::activate({child->topAnchor().constraintEqualTo(root.topAnchor(), 10),
                                     child->leftAnchor().constraintEqualTo(root.leftAnchor(), 15),
                                     child->rightAnchor().constraintEqualTo(root.rightAnchor(), -5),
                                     child->bottomAnchor().constraintEqualTo(root.bottomAnchor(), -20)});
         return child;
       },
       Rect(15, 10, 280, 170)},
      {"centred with its intrinsic size",
       [](View& root) {
         auto child = std::make_shared<FixedSizeView>(Size{37, 37});
         root.addSubview(child);
         LayoutConstraint::activate({child->centerXAnchor().constraintEqualTo(root.centerXAnchor()),
                                     child->centerYAnchor().constraintEqualTo(root.centerYAnchor())});
         return child;
       },
       Rect(131.5, 81.5, 37, 37)},
      {"top and centre give the full height; constant width",
       [](View& root) {
         auto child = placedView();
         root.addSubview(child);
         LayoutConstraint::activate({child->centerYAnchor().constraintEqualTo(root.centerYAnchor()),
                                     child->topAnchor().constraintEqualTo(root.topAnchor()),
                                     child->leadingAnchor().constraintEqualTo(root.leadingAnchor(), 20),
                                     child->widthAnchor().constraintEqualToConstant(50)});
         return child;
       },
       Rect(20, 0, 50, 200)},
      {"tied to a sibling that the frame places",
       [](View& root) {
         auto anchorView = std::make_shared<View>(Rect(10, 10, 40, 40));
         auto child = std::make_shared<FixedSizeView>(Size{30, 12});
         root.addSubview(anchorView);
         root.addSubview(child);
         LayoutConstraint::activate({child->leftAnchor().constraintEqualTo(anchorView->rightAnchor(), 30),
                                     child->centerYAnchor().constraintEqualTo(anchorView->centerYAnchor())});
         return child;
       },
       Rect(80, 24, 30, 12)},
      {"width equal to a sibling's, placed after it",
       [](View& root) {
         auto first = placedView();
         auto second = placedView();
         root.addSubview(first);
         root.addSubview(second);
         LayoutConstraint::activate({first->leadingAnchor().constraintEqualTo(root.leadingAnchor()),
                                     first->widthAnchor().constraintEqualToConstant(100),
                                     first->topAnchor().constraintEqualTo(root.topAnchor()),
                                     first->heightAnchor().constraintEqualToConstant(10),
                                     second->leadingAnchor().constraintEqualTo(first->trailingAnchor(), 8),
                                     second->widthAnchor().constraintEqualTo(first->widthAnchor()),
                                     second->topAnchor().constraintEqualTo(first->bottomAnchor()),
                                     second->heightAnchor().constraintEqualTo(first->heightAnchor(), 5)});
         return second;
       },
       Rect(108, 10, 100, 15)},
      {"open axes keep the current frame",
       [](View& root) {
         auto child = placedView();
         child->setFrame(Rect(1, 2, 3, 4));
         root.addSubview(child);
         LayoutConstraint::activate({child->leadingAnchor().constraintEqualTo(root.leadingAnchor(), 50)});
         return child;
       },
       Rect(50, 2, 3, 4)},
      {"a conflicting constraint loses to the first",
       [](View& root) {
         auto child = placedView();
         root.addSubview(child);
         LayoutConstraint::activate({child->leadingAnchor().constraintEqualTo(root.leadingAnchor(), 10),
                                     child->leadingAnchor().constraintEqualTo(root.leadingAnchor(), 99),
                                     child->widthAnchor().constraintEqualToConstant(10),
                                     child->topAnchor().constraintEqualTo(root.topAnchor()),
                                     child->heightAnchor().constraintEqualToConstant(10)});
         return child;
       },
       Rect(10, 0, 10, 10)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto root = std::make_shared<View>(Rect(0, 0, 300, 200));
    auto child = c.build(*root);
    root->layoutIfNeeded();
    EXPECT_EQ(child->frame(), c.expected);
  }
}

TEST(LayoutTest, LayoutReachesNestedViewsWithTheirNewBounds) {
  auto root = std::make_shared<View>(Rect(0, 0, 200, 100));
  auto middle = placedView();
  auto inner = placedView();
  root->addSubview(middle);
  middle->addSubview(inner);
  LayoutConstraint::activate({middle->topAnchor().constraintEqualTo(root->topAnchor(), 10),
                              middle->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 10),
                              middle->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -10),
                              middle->bottomAnchor().constraintEqualTo(root->bottomAnchor(), -10),
                              inner->centerXAnchor().constraintEqualTo(middle->centerXAnchor()),
                              inner->centerYAnchor().constraintEqualTo(middle->centerYAnchor()),
                              inner->widthAnchor().constraintEqualToConstant(20),
                              inner->heightAnchor().constraintEqualToConstant(20)});
  root->layoutIfNeeded();
  EXPECT_EQ(inner->frame(), Rect(80, 30, 20, 20));

  root->setFrame(Rect(0, 0, 400, 100));
  root->layoutIfNeeded();
  EXPECT_EQ(inner->frame(), Rect(180, 30, 20, 20));
}

TEST(LayoutTest, LabelTakesTheSizeOfItsText) {
  auto label = std::make_shared<Label>();
  EXPECT_EQ(label->intrinsicContentSize(), (Size{0, 0}));
  label->setFont(Font::systemFont(16));
  label->setText("Apple Pay");
  Size withText = label->intrinsicContentSize();
  EXPECT_GT(withText.width, 0);
  EXPECT_GE(withText.height, 16);
  label->setText("Apple Pay, and more");
  EXPECT_GT(label->intrinsicContentSize().width, withText.width);
}

TEST(LayoutTest, ActivationInstallsOnTheNearestCommonAncestor) {
  auto root = std::make_shared<View>();
  auto branch = std::make_shared<View>();
  auto leaf = std::make_shared<View>();
  auto other = std::make_shared<View>();
  root->addSubview(branch);
  branch->addSubview(leaf);
  root->addSubview(other);

  auto acrossBranches = leaf->leadingAnchor().constraintEqualTo(other->leadingAnchor());
  auto ownWidth = leaf->widthAnchor().constraintEqualToConstant(5);
  auto toParent = leaf->topAnchor().constraintEqualTo(branch->topAnchor());
  LayoutConstraint::activate({acrossBranches, ownWidth, toParent});

  EXPECT_EQ(root->constraints(), std::vector{acrossBranches});
  EXPECT_EQ(leaf->constraints(), std::vector{ownWidth});
  EXPECT_EQ(branch->constraints(), std::vector{toParent});
}

TEST(LayoutTest, ConstraintsBetweenSeparateHierarchiesStayInactive) {
  ScopedLogCapture log;
  auto a = std::make_shared<View>();
  auto b = std::make_shared<View>();
  auto constraint = a->topAnchor().constraintEqualTo(b->topAnchor());
  LayoutConstraint::activate({constraint, nullptr});
  EXPECT_FALSE(constraint->isActive());
  ASSERT_EQ(log.messages(LogStream::systemLog).size(), 1U);
  EXPECT_NE(log.messages(LogStream::systemLog)[0].find("because they have no common ancestor"), std::string::npos);
}

TEST(LayoutTest, LeavingTheHierarchyDropsTheConstraintsThatReachOutside) {
  auto root = std::make_shared<View>(Rect(0, 0, 100, 100));
  auto branch = placedView();
  auto leaf = placedView();
  root->addSubview(branch);
  branch->addSubview(leaf);
  auto outward = leaf->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 5);
  auto inward = leaf->topAnchor().constraintEqualTo(branch->topAnchor(), 5);
  LayoutConstraint::activate({outward, inward});

  branch->removeFromSuperview();
  EXPECT_FALSE(outward->isActive());
  EXPECT_EQ(outward->firstItem(), nullptr);
  EXPECT_TRUE(inward->isActive());
  EXPECT_TRUE(root->constraints().empty());
  EXPECT_EQ(branch->superview(), nullptr);
  EXPECT_TRUE(root->subviews().empty());
}

TEST(LayoutTest, DestroyedViewsLeaveNoDanglingConstraints) {
  auto root = std::make_shared<View>(Rect(0, 0, 100, 100));
  std::shared_ptr<LayoutConstraint> kept;
  {
    auto child = placedView();
    root->addSubview(child);
    kept = child->widthAnchor().constraintEqualTo(root->widthAnchor());
    LayoutConstraint::activate({kept});
    child->removeFromSuperview();
  }
  EXPECT_FALSE(kept->isActive());
  LayoutConstraint::activate({kept});  // no longer usable: ignored
  EXPECT_FALSE(kept->isActive());

  auto standalone = std::make_shared<View>();
  auto inner = std::make_shared<View>();
  standalone->addSubview(inner);
  auto innerToOuter = inner->topAnchor().constraintEqualTo(standalone->topAnchor());
  LayoutConstraint::activate({innerToOuter});
  standalone.reset();
  EXPECT_FALSE(innerToOuter->isActive());
  EXPECT_EQ(inner->superview(), nullptr);
  root->layoutIfNeeded();
}

TEST(LayoutTest, SubviewOrder) {
  auto root = std::make_shared<View>();
  auto a = std::make_shared<View>();
  auto b = std::make_shared<View>();
  auto c = std::make_shared<View>();
  root->addSubview(a);
  root->addSubview(b);
  root->addSubview(c);
  EXPECT_EQ(root->subviews(), (std::vector{a, b, c}));

  root->bringSubviewToFront(a.get());
  EXPECT_EQ(root->subviews(), (std::vector{b, c, a}));
  root->addSubview(b);  // already there: moves to the front
  EXPECT_EQ(root->subviews(), (std::vector{c, a, b}));

  auto elsewhere = std::make_shared<View>();
  elsewhere->addSubview(c);  // taken from its former superview
  EXPECT_EQ(root->subviews(), (std::vector{a, b}));
  EXPECT_EQ(c->superview(), elsewhere.get());

  root->addSubview(root);  // cycles are refused
  a->addSubview(root);
  root->addSubview(nullptr);
  EXPECT_EQ(root->subviews(), (std::vector{a, b}));
  EXPECT_EQ(root->superview(), nullptr);
}

TEST(LayoutTest, HiddenInHierarchy) {
  auto root = std::make_shared<View>();
  auto child = std::make_shared<View>();
  root->addSubview(child);
  EXPECT_FALSE(child->isHiddenInHierarchy());
  root->setHidden(true);
  EXPECT_FALSE(child->isHidden());
  EXPECT_TRUE(child->isHiddenInHierarchy());
}

}  // namespace
}  // namespace keln::uikit
