#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "uikit/Image.h"

namespace keln::uikit {
class View;
}

namespace keln::gtk {

// The desktop icon that stands for one of the system's symbol images ("image-missing" for
// one it has none for).
const char* iconNameForSymbol(const std::string& symbol);

// Shows a tree of our views (platform/uikit) as GTK widgets, kept in step by update():
// each view gets one widget, placed at the view's frame inside its superview's widget, in
// the same order, hidden when the view is. A label shows its text, an image view its
// picture, an activity indicator spins while it animates, a collection view cell is a
// button whose click taps its item (exactly as a tap on the cell does), a web view shows
// its engine's widget (see WebViewWidget.h). Background, corner radius, border, shadow and
// clipping follow each view's layer; a cell shows a focus ring while the keyboard is on it,
// and images are not announced to assistive technology.
//
// Owns the widgets it made (a reference each) and holds the views weakly. Main thread only.
class ViewTreeWidgets {
 public:
  // `afterClick` runs after each click on a widget has been handed to its view, unless this
  // object is gone by then (the click may close the window that holds it).
  explicit ViewTreeWidgets(std::function<void()> afterClick = nullptr);
  ~ViewTreeWidgets();
  ViewTreeWidgets(const ViewTreeWidgets&) = delete;
  ViewTreeWidgets& operator=(const ViewTreeWidgets&) = delete;

  // The container the root view's widget sits in; the caller puts it in a window.
  GtkWidget* container() const { return container_; }

  // Gives `root` the frame (0, 0, width, height), lays its tree out, and brings the
  // widgets in line with it. A null root clears the container.
  void update(const std::shared_ptr<uikit::View>& root, double width, double height);

  // Takes every widget out and drops it.
  void clear();

  // The widgets a person operates (the menu's cells, the web pages), in the order Tab
  // visits them; hidden or covered ones included.
  std::vector<GtkWidget*> controls() const;

  // The widget showing `view`; null when none (tests and hosts look widgets up this way).
  GtkWidget* widgetFor(const uikit::View* view) const;

 private:
  struct Node {
    std::weak_ptr<uikit::View> view;
    GtkWidget* widget = nullptr;        // placed in the superview's box; one reference held
    GtkWidget* box = nullptr;           // where the subviews go; null when they are not shown
    GtkWidget* engineWidget = nullptr;  // a web view's page, placed in `widget`
    std::string styleClass;
    std::string textStyle;  // a label's font and colour, as last applied
    std::optional<uikit::Image> image;
  };

  void reconcile(const std::shared_ptr<uikit::View>& view, GtkWidget* parentBox, GtkWidget* previous,
                 std::set<const uikit::View*>& seen);
  Node makeNode(const std::shared_ptr<uikit::View>& view);
  void refreshContent(Node& node, uikit::View& view);
  void drop(Node& node);

  std::shared_ptr<const std::function<void()>> afterClick_;
  GtkWidget* container_;  // one reference held
  std::map<const uikit::View*, Node> nodes_;
};

}  // namespace keln::gtk
