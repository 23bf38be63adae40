#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "uikit/Geometry.h"

namespace keln::gtk {

// A GTK container that places each child exactly at a frame given in the container's own
// coordinates (the frames our layout solver computes), never below the child's minimum
// size. It asks for no minimum size of its own, so the window around it can shrink freely;
// its natural size covers its children's frames. Children are kept in the order given
// (back to front). Main thread only.

// A new, empty container (a floating reference, as GTK constructors give).
GtkWidget* frameBoxNew();

// Puts `child` into `box` right after `previousSibling` (first when null), moving it from
// any other parent, and gives it `frame`. Relayout is queued only when something changed.
void frameBoxPlace(GtkWidget* box, GtkWidget* child, GtkWidget* previousSibling, const uikit::Rect& frame);

// Called from the box's size allocation with its new size whenever that size differs from
// the last one it was called with. It must not change the widget tree synchronously.
void frameBoxOnResize(GtkWidget* box, std::function<void(int width, int height)> callback);

// The frame `child` was last placed at; a zero rectangle when none.
uikit::Rect frameBoxFrameOf(GtkWidget* child);

}  // namespace keln::gtk
