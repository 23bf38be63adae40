#include "uikit/View.h"

#include "uikit/EdgeSystem.h"

#include <cxxabi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace keln::uikit {
namespace {

// An attribute as a combination of the view's edges.
struct EdgeTerms {
  Edge low;
  Edge high;
  double lowCoefficient;
  double highCoefficient;
};

std::optional<EdgeTerms> termsOf(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::left:
    case LayoutAttribute::leading: return EdgeTerms{xMin, xMax, 1, 0};
    case LayoutAttribute::right:
    case LayoutAttribute::trailing: return EdgeTerms{xMin, xMax, 0, 1};
    case LayoutAttribute::centerX: return EdgeTerms{xMin, xMax, 0.5, 0.5};
    case LayoutAttribute::width: return EdgeTerms{xMin, xMax, -1, 1};
    case LayoutAttribute::top: return EdgeTerms{yMin, yMax, 1, 0};
    case LayoutAttribute::bottom: return EdgeTerms{yMin, yMax, 0, 1};
    case LayoutAttribute::centerY: return EdgeTerms{yMin, yMax, 0.5, 0.5};
    case LayoutAttribute::height: return EdgeTerms{yMin, yMax, -1, 1};
    case LayoutAttribute::notAnAttribute: break;
  }
  return std::nullopt;
}

}  // namespace

View::View(const Rect& frame) : frame_(frame) {}

View::View(const Coder&) {}

View::~View() {
  auto installed = std::move(constraints_);
  constraints_.clear();
  for (const auto& constraint : installed) constraint->detach();
  while (!referencingConstraints_.empty()) referencingConstraints_.back()->detach();
  for (const auto& subview : subviews_) subview->superview_ = nullptr;
}

void View::addSubview(const std::shared_ptr<View>& view) {
  if (view == nullptr || isDescendant(view.get())) return;
  std::shared_ptr<View> keep = view;
  if (view->superview_ == this) {
    bringSubviewToFront(view.get());
    return;
  }
  view->removeFromSuperview();
  subviews_.push_back(keep);
  keep->superview_ = this;
}

void View::removeFromSuperview() {
  if (superview_ == nullptr) return;
  std::vector<LayoutConstraint*> crossing;
  std::vector<View*> pending{this};
  while (!pending.empty()) {
    View* current = pending.back();
    pending.pop_back();
    for (LayoutConstraint* constraint : current->referencingConstraints_) {
      View* host = constraint->installedOn_;
      if ((host == nullptr || !host->isDescendant(this)) &&
          std::find(crossing.begin(), crossing.end(), constraint) == crossing.end()) {
        crossing.push_back(constraint);
      }
    }
    for (const auto& subview : current->subviews_) pending.push_back(subview.get());
  }
  for (LayoutConstraint* constraint : crossing) constraint->detach();

  auto& siblings = superview_->subviews_;
  auto found = std::find_if(siblings.begin(), siblings.end(),
                            [this](const std::shared_ptr<View>& v) { return v.get() == this; });
  std::shared_ptr<View> keepAlive;  // the superview's reference may be the last one
  if (found != siblings.end()) {
    keepAlive = std::move(*found);
    siblings.erase(found);
  }
  superview_ = nullptr;
}

void View::bringSubviewToFront(const View* view) {
  auto found = std::find_if(subviews_.begin(), subviews_.end(),
                            [view](const std::shared_ptr<View>& v) { return v.get() == view; });
  if (found != subviews_.end()) std::rotate(found, found + 1, subviews_.end());
}

bool View::isDescendant(const View* ancestor) const {
  for (const View* current = this; current != nullptr; current = current->superview_) {
    if (current == ancestor) return true;
  }
  return false;
}

bool View::isHiddenInHierarchy() const {
  for (const View* current = this; current != nullptr; current = current->superview_) {
    if (current->hidden_) return true;
  }
  return false;
}

Size View::intrinsicContentSize() const { return {noIntrinsicMetric, noIntrinsicMetric}; }

void View::layoutIfNeeded() {
  layoutSubviews();
  auto subviews = subviews_;  // layout may rearrange the list
  for (const auto& subview : subviews) subview->layoutIfNeeded();
}

void View::layoutSubviews() { solveConstraintsForSubviews(); }

void View::solveConstraintsForSubviews() {
  // Participant 0 is this view, in its own coordinates; the others are its subviews, in
  // the same coordinates (their frames).
  std::vector<View*> participants{this};
  bool anyPlaced = false;
  for (const auto& subview : subviews_) {
    participants.push_back(subview.get());
    anyPlaced = anyPlaced || !subview->translatesAutoresizingMask_;
  }
  if (!anyPlaced) return;
  auto indexOf = [&participants](const View* view) -> std::optional<std::size_t> {
    auto found = std::find(participants.begin(), participants.end(), view);
    if (found == participants.end()) return std::nullopt;
    return static_cast<std::size_t>(found - participants.begin());
  };
  auto variable = [](std::size_t participant, Edge edge) { return participant * 4 + edge; };

  EdgeSystem system(participants.size() * 4);
  auto fixFrame = [&](std::size_t participant, const Rect& rect) {
    system.fix(variable(participant, xMin), rect.minX());
    system.fix(variable(participant, xMax), rect.maxX());
    system.fix(variable(participant, yMin), rect.minY());
    system.fix(variable(participant, yMax), rect.maxY());
  };
  fixFrame(0, bounds());
  for (std::size_t i = 1; i < participants.size(); ++i) {
    if (participants[i]->translatesAutoresizingMask_) fixFrame(i, participants[i]->frame_);
  }

  // The constraints among these views: installed here, or on a subview when they name
  // only that subview (its own width or height).
  std::vector<const LayoutConstraint*> relevant;
  for (View* participant : participants) {
    for (const auto& constraint : participant->constraints_) relevant.push_back(constraint.get());
  }
  for (const LayoutConstraint* constraint : relevant) {
    auto first = indexOf(constraint->firstItem_);
    auto firstTerms = termsOf(constraint->firstAttribute_);
    if (!first || !firstTerms) continue;
    Equation equation;
    equation.constant = constraint->constant_;
    equation.terms.emplace_back(variable(*first, firstTerms->low), firstTerms->lowCoefficient);
    equation.terms.emplace_back(variable(*first, firstTerms->high), firstTerms->highCoefficient);
    if (constraint->secondItem_ != nullptr) {
      auto second = indexOf(constraint->secondItem_);
      auto secondTerms = termsOf(constraint->secondAttribute_);
      if (!second || !secondTerms) continue;
      equation.terms.emplace_back(variable(*second, secondTerms->low), -secondTerms->lowCoefficient);
      equation.terms.emplace_back(variable(*second, secondTerms->high), -secondTerms->highCoefficient);
    }
    system.add(std::move(equation));
  }
  system.solve();

  // Axes the constraints leave open: the intrinsic content size, then the current frame.
  for (std::size_t i = 1; i < participants.size(); ++i) {
    Size intrinsic = participants[i]->intrinsicContentSize();
    for (auto [low, high, length] :
         {std::tuple{xMin, xMax, intrinsic.width}, std::tuple{yMin, yMax, intrinsic.height}}) {
      bool open = !system.isKnown(variable(i, low)) || !system.isKnown(variable(i, high));
      if (open && length >= 0) {
        system.add(Equation{{{variable(i, low), -1.0}, {variable(i, high), 1.0}}, length});
      }
    }
  }
  system.solve();
  for (std::size_t i = 1; i < participants.size(); ++i) {
    const Rect& current = participants[i]->frame_;
    for (auto [low, high, start, length] : {std::tuple{xMin, xMax, current.minX(), current.width()},
                                            std::tuple{yMin, yMax, current.minY(), current.height()}}) {
      if (system.isKnown(variable(i, low)) && system.isKnown(variable(i, high))) continue;
      system.add(Equation{{{variable(i, low), -1.0}, {variable(i, high), 1.0}}, length});
      system.solve();
      if (!system.isKnown(variable(i, low))) {
        system.fix(variable(i, low), start);
        system.solve();
      }
    }
  }

  for (std::size_t i = 1; i < participants.size(); ++i) {
    View* subview = participants[i];
    if (subview->translatesAutoresizingMask_) continue;
    double left = system.value(variable(i, xMin));
    double top = system.value(variable(i, yMin));
    subview->frame_ = Rect(left, top, system.value(variable(i, xMax)) - left, system.value(variable(i, yMax)) - top);
  }
}

std::string View::description() const { return objectDescription(this, typeid(*this)); }

std::string objectDescription(const void* address, const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled != nullptr ? demangled : type.name();
  std::free(demangled);
  if (auto separator = name.rfind("::"); separator != std::string::npos && name.find('<') == std::string::npos) {
    name.erase(0, separator + 2);
  }
  char text[64];
  std::snprintf(text, sizeof text, ": %p>", address);
  return "<" + name + text;
}

}  // namespace keln::uikit
