#include "uikit/LayoutConstraint.h"

#include <algorithm>

#include "foundation/Log.h"
#include "uikit/View.h"

namespace keln::uikit {
namespace {

View* nearestCommonAncestor(View* a, View* b) {
  for (View* candidate = a; candidate != nullptr; candidate = candidate->superview()) {
    if (b->isDescendant(candidate)) return candidate;
  }
  return nullptr;
}

}  // namespace

LayoutConstraint::LayoutConstraint(View* firstItem, LayoutAttribute firstAttribute, View* secondItem,
                                   LayoutAttribute secondAttribute, double constant)
    : firstItem_(firstItem),
      firstAttribute_(firstAttribute),
      secondItem_(secondItem),
      secondAttribute_(secondAttribute),
      constant_(constant) {}

std::shared_ptr<LayoutConstraint> LayoutConstraint::make(View* firstItem, LayoutAttribute firstAttribute,
                                                         View* secondItem, LayoutAttribute secondAttribute,
                                                         double constant) {
  return std::shared_ptr<LayoutConstraint>(
      new LayoutConstraint(firstItem, firstAttribute, secondItem, secondAttribute, constant));
}

void LayoutConstraint::activate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
  for (const auto& constraint : constraints) {
    if (constraint == nullptr || constraint->detached_ || constraint->isActive() || constraint->firstItem_ == nullptr) {
      continue;
    }
    View* first = constraint->firstItem_;
    View* second = constraint->secondItem_;
    View* host = second == nullptr ? first : nearestCommonAncestor(first, second);
    if (host == nullptr) {
      foundation::systemLog("Unable to activate constraint with anchors " + first->description() + " and " +
                            second->description() + " because they have no common ancestor.");
      continue;
    }
    host->constraints_.push_back(constraint);
    constraint->installedOn_ = host;
    first->referencingConstraints_.push_back(constraint.get());
    if (second != nullptr && second != first) second->referencingConstraints_.push_back(constraint.get());
  }
}

void LayoutConstraint::detach() {
  std::shared_ptr<LayoutConstraint> keepAlive;  // the host's reference may be the last one
  if (installedOn_ != nullptr) {
    auto& installed = installedOn_->constraints_;
    auto found = std::find_if(installed.begin(), installed.end(),
                              [this](const std::shared_ptr<LayoutConstraint>& c) { return c.get() == this; });
    if (found != installed.end()) {
      keepAlive = std::move(*found);
      installed.erase(found);
    }
  }
  for (View* item : {firstItem_, secondItem_}) {
    if (item != nullptr) std::erase(item->referencingConstraints_, this);
  }
  firstItem_ = nullptr;
  secondItem_ = nullptr;
  installedOn_ = nullptr;
  detached_ = true;
}

}  // namespace keln::uikit
