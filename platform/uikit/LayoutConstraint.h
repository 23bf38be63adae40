#pragma once

#include <keln/Export.h>

#include <memory>
#include <vector>

namespace keln::uikit {

class View;

// The edges, centres and dimensions a constraint can tie together. Leading and trailing
// are left and right (the layer lays out left to right).
enum class LayoutAttribute {
  notAnAttribute,
  left,
  right,
  top,
  bottom,
  leading,
  trailing,
  width,
  height,
  centerX,
  centerY,
};

// An equality between two attributes of views, `first = second + constant`, or between an
// attribute and a constant, `first = constant` (widths and heights). Constraints are made
// by the anchors of a view (View::leadingAnchor() and so on) and take effect once
// activated.
//
// An active constraint is installed on the nearest common ancestor of its views, which
// owns it. It stops being active, for good, when one of its views leaves that ancestor's
// hierarchy or is destroyed; its views then read as null. Main thread only.
class KELN_EXPORT LayoutConstraint {
 public:
  // Activates each constraint of the list in order. A constraint whose views share no
  // ancestor is left inactive and reported in the system log; a constraint already active
  // or no longer usable is skipped.
  static void activate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);

  bool isActive() const { return installedOn_ != nullptr; }

  View* firstItem() const { return firstItem_; }
  LayoutAttribute firstAttribute() const { return firstAttribute_; }
  // Null for a constant width or height.
  View* secondItem() const { return secondItem_; }
  LayoutAttribute secondAttribute() const { return secondAttribute_; }
  double constant() const { return constant_; }

  LayoutConstraint(const LayoutConstraint&) = delete;
  LayoutConstraint& operator=(const LayoutConstraint&) = delete;

 private:
  friend class View;
  template <class Axis>
  friend class LayoutAnchor;
  friend class LayoutDimension;

  LayoutConstraint(View* firstItem, LayoutAttribute firstAttribute, View* secondItem, LayoutAttribute secondAttribute,
                   double constant);
  static std::shared_ptr<LayoutConstraint> make(View* firstItem, LayoutAttribute firstAttribute, View* secondItem,
                                                LayoutAttribute secondAttribute, double constant);

  // Removes the constraint from the view it is installed on and forgets its views.
  void detach();

  View* firstItem_;
  LayoutAttribute firstAttribute_;
  View* secondItem_;
  LayoutAttribute secondAttribute_;
  double constant_;
  View* installedOn_ = nullptr;
  bool detached_ = false;
};

struct LayoutXAxis {};
struct LayoutYAxis {};

// One edge or centre line of a view, on one axis; anchors of different axes cannot be
// tied together.
template <class Axis>
class KELN_EXPORT LayoutAnchor {
 public:
  // `this = anchor + constant`, not yet active.
  std::shared_ptr<LayoutConstraint> constraintEqualTo(const LayoutAnchor& anchor, double constant = 0) const {
    return LayoutConstraint::make(item_, attribute_, anchor.item_, anchor.attribute_, constant);
  }

  View* item() const { return item_; }
  LayoutAttribute attribute() const { return attribute_; }

 private:
  friend class View;
  LayoutAnchor(View* item, LayoutAttribute attribute) : item_(item), attribute_(attribute) {}

  View* item_;
  LayoutAttribute attribute_;
};

using LayoutXAxisAnchor = LayoutAnchor<LayoutXAxis>;
using LayoutYAxisAnchor = LayoutAnchor<LayoutYAxis>;

// The width or the height of a view.
class KELN_EXPORT LayoutDimension {
 public:
  // `this = constant`, not yet active.
  std::shared_ptr<LayoutConstraint> constraintEqualToConstant(double constant) const {
    return LayoutConstraint::make(item_, attribute_, nullptr, LayoutAttribute::notAnAttribute, constant);
  }
  // `this = dimension + constant`, not yet active.
  std::shared_ptr<LayoutConstraint> constraintEqualTo(const LayoutDimension& dimension, double constant = 0) const {
    return LayoutConstraint::make(item_, attribute_, dimension.item_, dimension.attribute_, constant);
  }

  View* item() const { return item_; }
  LayoutAttribute attribute() const { return attribute_; }

 private:
  friend class View;
  LayoutDimension(View* item, LayoutAttribute attribute) : item_(item), attribute_(attribute) {}

  View* item_;
  LayoutAttribute attribute_;
};

}  // namespace keln::uikit
