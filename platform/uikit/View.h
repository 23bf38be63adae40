#pragma once

#include <keln/Export.h>

#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "uikit/Color.h"
#include "uikit/Geometry.h"
#include "uikit/Layer.h"
#include "uikit/LayoutConstraint.h"

namespace keln::uikit {

class Coder;

// How a view fits its content (an image) into its bounds.
enum class ContentMode { scaleToFill, scaleAspectFit, scaleAspectFill };

// A rectangular area of a screen and the root of the views drawn inside it.
//
// Ownership: a view owns its subviews (std::shared_ptr) and the layout constraints
// installed on it; a subview knows its superview without owning it. Views are made with
// std::make_shared and are used on the main thread only.
//
// Layout: nothing is laid out on its own. layoutIfNeeded() lays out the whole subtree,
// top down: each view's layoutSubviews() places its direct subviews, then each subview
// lays out its own. A subview whose translatesAutoresizingMaskIntoConstraints() is true
// keeps the frame it was given; the others are placed by the constraints that tie them
// to their superview and to their siblings (equalities of edges, centres and sizes, with
// constants). An axis that the constraints leave open takes the view's intrinsic content
// size, and whatever is still open keeps its current size, then its current position.
// Conflicting constraints do not fail: the first one met wins. Constraints that reach
// past a view's subviews (to a subview's subview) take no part.
//
// Headless: nothing is drawn; the properties are kept so that code and tests can read
// them.
class KELN_EXPORT View : public std::enable_shared_from_this<View> {
 public:
  // A value of intrinsicContentSize() meaning "no natural size on this axis".
  static constexpr double noIntrinsicMetric = -1;

  explicit View(const Rect& frame = {});
  // Restores a plain view from an archive.
  explicit View(const Coder& coder);
  virtual ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // -- Hierarchy --

  // The view this one is a subview of; null when it has none.
  View* superview() const { return superview_; }
  // Back to front.
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  // Adds `view` in front of the other subviews, taking it from its former superview.
  // Adding null, the view itself or one of its ancestors does nothing.
  void addSubview(const std::shared_ptr<View>& view);
  // Drops the view from its superview; the constraints that tie it (or a view inside
  // it) to views outside it stop being active.
  void removeFromSuperview();
  // Moves a subview in front of its siblings; anything else is ignored.
  void bringSubviewToFront(const View* view);
  // True for the view itself and every view inside it.
  bool isDescendant(const View* ancestor) const;

  // -- Geometry --

  // In the superview's coordinates.
  const Rect& frame() const { return frame_; }
  void setFrame(const Rect& frame) { frame_ = frame; }
  // In the view's own coordinates: origin zero, the frame's size.
  Rect bounds() const { return Rect({0, 0}, frame_.size); }

  // -- Appearance --

  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden) { hidden_ = hidden; }
  // True when the view or one of its ancestors is hidden: nobody can see or touch it.
  bool isHiddenInHierarchy() const;

  const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const std::optional<Color>& color) { backgroundColor_ = color; }

  ContentMode contentMode() const { return contentMode_; }
  void setContentMode(ContentMode mode) { contentMode_ = mode; }

  // The layer's masksToBounds.
  bool clipsToBounds() const { return layer_.masksToBounds(); }
  void setClipsToBounds(bool clips) { layer_.setMasksToBounds(clips); }

  Layer& layer() { return layer_; }
  const Layer& layer() const { return layer_; }

  // -- Auto Layout --

  // True (the default) when the frame is set by hand; false when constraints place the
  // view.
  bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool translates) { translatesAutoresizingMask_ = translates; }

  LayoutXAxisAnchor leadingAnchor() { return {this, LayoutAttribute::leading}; }
  LayoutXAxisAnchor trailingAnchor() { return {this, LayoutAttribute::trailing}; }
  LayoutXAxisAnchor leftAnchor() { return {this, LayoutAttribute::left}; }
  LayoutXAxisAnchor rightAnchor() { return {this, LayoutAttribute::right}; }
  LayoutXAxisAnchor centerXAnchor() { return {this, LayoutAttribute::centerX}; }
  LayoutYAxisAnchor topAnchor() { return {this, LayoutAttribute::top}; }
  LayoutYAxisAnchor bottomAnchor() { return {this, LayoutAttribute::bottom}; }
  LayoutYAxisAnchor centerYAnchor() { return {this, LayoutAttribute::centerY}; }
  LayoutDimension widthAnchor() { return {this, LayoutAttribute::width}; }
  LayoutDimension heightAnchor() { return {this, LayoutAttribute::height}; }

  // The active constraints installed on this view.
  const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const { return constraints_; }

  // The view's natural size; noIntrinsicMetric on an axis where it has none (the default).
  virtual Size intrinsicContentSize() const;

  // Lays out this view's subtree now (see the class comment).
  void layoutIfNeeded();
  // Places the direct subviews. Subclasses that place subviews themselves override it.
  virtual void layoutSubviews();

  // "<TypeName: 0x...>", as the platform's log lines name objects.
  virtual std::string description() const;

 private:
  friend class LayoutConstraint;

  // Places the direct subviews that constraints position.
  void solveConstraintsForSubviews();

  View* superview_ = nullptr;
  std::vector<std::shared_ptr<View>> subviews_;
  std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
  std::vector<LayoutConstraint*> referencingConstraints_;  // active constraints naming this view
  Rect frame_;
  bool hidden_ = false;
  std::optional<Color> backgroundColor_;
  ContentMode contentMode_ = ContentMode::scaleToFill;
  Layer layer_;
  bool translatesAutoresizingMask_ = true;
};

// "<TypeName: 0x...>" for any object, from its dynamic type and address.
KELN_EXPORT std::string objectDescription(const void* address, const std::type_info& type);

}  // namespace keln::uikit
