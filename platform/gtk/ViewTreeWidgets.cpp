#include "gtk/ViewTreeWidgets.h"

#include <keln/gtk/WindowViewController.h>

#include <charconv>
#include <cmath>
#include <functional>

#include "gtk/FrameBox.h"
#include "gtk/WebViewWidget.h"
#include "uikit/ActivityIndicatorView.h"
#include "uikit/CollectionView.h"
#include "uikit/CollectionViewCell.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/View.h"
#include "webkit/WebView.h"

namespace keln::gtk {
namespace {

// -- Style sheet: one CSS class per distinct look, shared by every window --

std::string number(double value) {
  char text[32];
  auto [end, error] = std::to_chars(text, text + sizeof text, std::isfinite(value) ? value : 0.0);
  return error == std::errc{} ? std::string(text, end) : "0";
}

std::string cssColor(const uikit::Color& color, double alphaFactor = 1) {
  auto channel = [](double component) { return number(std::lround(std::clamp(component, 0.0, 1.0) * 255)); };
  return "rgba(" + channel(color.red()) + "," + channel(color.green()) + "," + channel(color.blue()) + "," +
         number(std::clamp(color.alpha() * alphaFactor, 0.0, 1.0)) + ")";
}

std::string ruleBody(const uikit::View& view) {
  std::string body;
  if (const auto& background = view.backgroundColor()) body += "background-color:" + cssColor(*background) + ";";
  const uikit::Layer& layer = view.layer();
  if (layer.cornerRadius() > 0) body += "border-radius:" + number(layer.cornerRadius()) + "px;";
  if (layer.borderWidth() > 0) {
    body += "border:" + number(layer.borderWidth()) + "px solid " + cssColor(layer.borderColor()) + ";";
  }
  if (layer.shadowOpacity() > 0) {
    // A layer's shadow radius is the blur's standard deviation; a CSS blur radius is twice it.
    body += "box-shadow:" + number(layer.shadowOffset().width) + "px " + number(layer.shadowOffset().height) + "px " +
            number(2 * layer.shadowRadius()) + "px " + cssColor(layer.shadowColor(), layer.shadowOpacity()) + ";";
  }
  return body;
}

constexpr const char* kCellClass = "keln-cell";

// A cell's button loses the theme's look (its view's layer gives it one), but keeps a focus
// ring in the theme's selection colour, drawn just outside the card. These rules come first
// in the sheet and weigh no more than a style class, so a view's own style (its shadow)
// wins over them.
constexpr const char* kBaseRules =
    ".keln-cell{padding:0;margin:0;border:none;background:none;box-shadow:none;min-width:0;min-height:0;"
    "outline:0 solid transparent;outline-offset:2px;}"
    ".keln-cell:focus:focus-visible{outline:2px solid @theme_selected_bg_color;outline-offset:2px;}"
    // Our views keep their own colours in every theme (the checkout's are white), so an
    // activity indicator does not take the theme's text colour either: it is grey.
    ".keln-activity-indicator{color:rgb(128,128,128);}";

class StyleSheet {
 public:
  static StyleSheet& shared() {
    static StyleSheet* sheet = new StyleSheet();  // lives as long as the display
    return *sheet;
  }

  // The class that gives a widget `body`; empty for an empty body.
  std::string classFor(const std::string& body) {
    if (body.empty()) return {};
    ensureInstalled();
    auto found = classes_.find(body);
    if (found != classes_.end()) return found->second;
    std::string name = "keln-style-" + std::to_string(classes_.size());
    classes_.emplace(body, name);
    text_ += "." + name + "{" + body + "}";
    gtk_css_provider_load_from_data(provider_, text_.c_str(), static_cast<gssize>(text_.size()));
    return name;
  }

  void ensureInstalled() {
    if (installed_) return;
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) return;
    gtk_css_provider_load_from_data(provider_, text_.c_str(), static_cast<gssize>(text_.size()));
    gtk_style_context_add_provider_for_display(display, GTK_STYLE_PROVIDER(provider_),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    installed_ = true;
  }

 private:
  StyleSheet() : provider_(gtk_css_provider_new()), text_(kBaseRules) {}

  GtkCssProvider* provider_;
  std::string text_;
  std::map<std::string, std::string> classes_;
  bool installed_ = false;
};

// -- Cells --

std::optional<uikit::IndexPath> indexPathOf(const uikit::CollectionViewCell& cell) {
  auto* collectionView = dynamic_cast<uikit::CollectionView*>(cell.superview());
  if (collectionView == nullptr) return std::nullopt;
  for (std::int64_t section = 0; section < collectionView->numberOfSections(); ++section) {
    for (std::int64_t item = 0; item < collectionView->numberOfItems(section); ++item) {
      const uikit::IndexPath indexPath{section, item};
      if (collectionView->cellForItem(indexPath).get() == &cell) return indexPath;
    }
  }
  return std::nullopt;
}

const uikit::Label* firstLabel(const uikit::View& view) {
  if (const auto* label = dynamic_cast<const uikit::Label*>(&view)) return label;
  for (const auto& subview : view.subviews()) {
    if (const auto* label = firstLabel(*subview)) return label;
  }
  return nullptr;
}

struct CellClick {
  std::weak_ptr<uikit::View> cell;
  std::weak_ptr<const std::function<void()>> afterClick;
};

void cellClicked(GtkButton*, gpointer data) {
  const auto* click = static_cast<CellClick*>(data);
  auto cell = std::dynamic_pointer_cast<uikit::CollectionViewCell>(click->cell.lock());
  if (cell == nullptr) return;
  auto* collectionView = dynamic_cast<uikit::CollectionView*>(cell->superview());
  const std::optional<uikit::IndexPath> indexPath = indexPathOf(*cell);
  if (collectionView != nullptr && indexPath) collectionView->tapItem(*indexPath);
  if (auto afterClick = click->afterClick.lock(); afterClick && *afterClick) (*afterClick)();
}

// -- Images --

GtkContentFit contentFit(uikit::ContentMode mode) {
  switch (mode) {
    case uikit::ContentMode::scaleAspectFit: return GTK_CONTENT_FIT_CONTAIN;
    case uikit::ContentMode::scaleAspectFill: return GTK_CONTENT_FIT_COVER;
    case uikit::ContentMode::scaleToFill: break;
  }
  return GTK_CONTENT_FIT_FILL;
}

void showImage(GtkPicture* picture, const std::optional<uikit::Image>& image) {
  if (!image) {
    gtk_picture_set_paintable(picture, nullptr);
  } else if (image->path()) {
    gtk_picture_set_filename(picture, image->path()->c_str());
  } else {
    GtkIconPaintable* icon = gtk_icon_theme_lookup_icon(
        gtk_icon_theme_get_for_display(gtk_widget_get_display(GTK_WIDGET(picture))), iconNameForSymbol(image->name()),
        nullptr, 32, 1, GTK_TEXT_DIR_NONE, GTK_ICON_LOOKUP_FORCE_SYMBOLIC);
    gtk_picture_set_paintable(picture, GDK_PAINTABLE(icon));
    g_object_unref(icon);
  }
}

void setAccessibleLabel(GtkWidget* widget, const std::string& label) {
  gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);
}

}  // namespace

const char* iconNameForSymbol(const std::string& symbol) {
  return symbol == "chevron.backward" ? "go-previous-symbolic" : "image-missing";
}

ViewTreeWidgets::ViewTreeWidgets(std::function<void()> afterClick)
    : afterClick_(std::make_shared<const std::function<void()>>(std::move(afterClick))),
      container_(g_object_ref_sink(frameBoxNew())) {}

ViewTreeWidgets::~ViewTreeWidgets() {
  clear();
  g_object_unref(container_);
}

GtkWidget* ViewTreeWidgets::widgetFor(const uikit::View* view) const {
  auto found = nodes_.find(view);
  return found == nodes_.end() ? nullptr : found->second.widget;
}

std::vector<GtkWidget*> ViewTreeWidgets::controls() const {
  std::set<GtkWidget*> pages;
  for (const auto& [view, node] : nodes_) {
    if (node.engineWidget != nullptr) pages.insert(node.engineWidget);
  }
  std::vector<GtkWidget*> found;
  const std::function<void(GtkWidget*)> visit = [&](GtkWidget* widget) {
    if (gtk_widget_has_css_class(widget, kCellClass) || pages.count(widget) != 0) {
      found.push_back(widget);
      return;
    }
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
      visit(child);
    }
  };
  visit(container_);
  return found;
}

void ViewTreeWidgets::clear() {
  auto nodes = std::move(nodes_);
  nodes_.clear();
  for (auto& [view, node] : nodes) drop(node);
}

void ViewTreeWidgets::drop(Node& node) {
  if (node.engineWidget != nullptr) {
    if (gtk_widget_get_parent(node.engineWidget) == node.widget) gtk_widget_unparent(node.engineWidget);
    g_object_unref(node.engineWidget);
    node.engineWidget = nullptr;
  }
  if (node.widget != nullptr) {
    if (gtk_widget_get_parent(node.widget) != nullptr) gtk_widget_unparent(node.widget);
    g_object_unref(node.widget);
    node.widget = nullptr;
  }
}

void ViewTreeWidgets::update(const std::shared_ptr<uikit::View>& root, double width, double height) {
  std::set<const uikit::View*> seen;
  if (root != nullptr) {
    StyleSheet::shared().ensureInstalled();
    root->setFrame(uikit::Rect(0, 0, width, height));
    root->layoutIfNeeded();
    reconcile(root, container_, nullptr, seen);
  }
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    if (seen.count(it->first) != 0) {
      ++it;
      continue;
    }
    drop(it->second);
    it = nodes_.erase(it);
  }
}

ViewTreeWidgets::Node ViewTreeWidgets::makeNode(const std::shared_ptr<uikit::View>& view) {
  Node node;
  node.view = view;
  GtkWidget* widget = nullptr;
  if (std::dynamic_pointer_cast<uikit::CollectionViewCell>(view) != nullptr) {
    widget = gtk_button_new();
    gtk_widget_add_css_class(widget, kCellClass);
    gtk_widget_set_focus_on_click(widget, FALSE);
    node.box = frameBoxNew();
    gtk_button_set_child(GTK_BUTTON(widget), node.box);
    g_signal_connect_data(
        widget, "clicked", G_CALLBACK(cellClicked), new CellClick{view, afterClick_},
        [](gpointer data, GClosure*) { delete static_cast<CellClick*>(data); }, static_cast<GConnectFlags>(0));
  } else if (std::dynamic_pointer_cast<webkit::WebView>(view) != nullptr) {
    widget = frameBoxNew();
    gtk_widget_set_name(widget, webViewWidgetName);
  } else if (std::dynamic_pointer_cast<uikit::Label>(view) != nullptr) {
    widget = gtk_label_new(nullptr);
    gtk_label_set_xalign(GTK_LABEL(widget), 0);
    gtk_label_set_single_line_mode(GTK_LABEL(widget), TRUE);
  } else if (std::dynamic_pointer_cast<uikit::ImageView>(view) != nullptr) {
    // An image view is decoration: assistive technology does not announce its picture (a
    // card's title names the card).
    widget = GTK_WIDGET(g_object_new(GTK_TYPE_PICTURE, "accessible-role", GTK_ACCESSIBLE_ROLE_PRESENTATION, nullptr));
    gtk_picture_set_can_shrink(GTK_PICTURE(widget), TRUE);
  } else if (std::dynamic_pointer_cast<uikit::ActivityIndicatorView>(view) != nullptr) {
    // Drawn at the size of its view's frame (the style's natural size), not GTK's default.
    widget = gtk_spinner_new();
    gtk_widget_set_name(widget, activityIndicatorWidgetName);
    gtk_widget_add_css_class(widget, "keln-activity-indicator");
  } else {
    widget = frameBoxNew();
    node.box = widget;
    if (std::dynamic_pointer_cast<uikit::CollectionView>(view) != nullptr) gtk_widget_set_name(widget, menuWidgetName);
  }
  node.widget = g_object_ref_sink(widget);
  return node;
}

void ViewTreeWidgets::refreshContent(Node& node, uikit::View& view) {
  GtkWidget* widget = node.widget;
  gtk_widget_set_visible(widget, !view.isHidden());
  gtk_widget_set_overflow(widget, view.clipsToBounds() ? GTK_OVERFLOW_HIDDEN : GTK_OVERFLOW_VISIBLE);
  std::string styleClass = StyleSheet::shared().classFor(ruleBody(view));
  if (styleClass != node.styleClass) {
    if (!node.styleClass.empty()) gtk_widget_remove_css_class(widget, node.styleClass.c_str());
    if (!styleClass.empty()) gtk_widget_add_css_class(widget, styleClass.c_str());
    node.styleClass = std::move(styleClass);
  }

  if (auto* cell = dynamic_cast<uikit::CollectionViewCell*>(&view)) {
    if (auto indexPath = indexPathOf(*cell)) {
      const std::string name = cardWidgetName(indexPath->item);
      if (name != gtk_widget_get_name(widget)) gtk_widget_set_name(widget, name.c_str());
    }
    const uikit::Label* label = firstLabel(view);
    setAccessibleLabel(widget, label != nullptr && label->text() ? *label->text() : std::string());
  } else if (auto* webView = dynamic_cast<webkit::WebView*>(&view)) {
    GtkWidget* engineWidget = webViewWidget(*webView);
    if (engineWidget != node.engineWidget) {
      if (node.engineWidget != nullptr) {
        if (gtk_widget_get_parent(node.engineWidget) == widget) gtk_widget_unparent(node.engineWidget);
        g_object_unref(node.engineWidget);
      }
      node.engineWidget = engineWidget != nullptr ? GTK_WIDGET(g_object_ref(engineWidget)) : nullptr;
    }
    if (node.engineWidget != nullptr) frameBoxPlace(widget, node.engineWidget, nullptr, view.bounds());
  } else if (auto* label = dynamic_cast<uikit::Label*>(&view)) {
    const std::string text = label->text().value_or("");
    if (text != gtk_label_get_text(GTK_LABEL(widget))) gtk_label_set_text(GTK_LABEL(widget), text.c_str());
    const uikit::Color& color = label->textColor();
    std::string textStyle = number(label->font().pointSize()) + " " + cssColor(color);
    if (textStyle != node.textStyle) {
      auto channel = [](double component) {
        return static_cast<guint16>(std::lround(std::clamp(component, 0.0, 1.0) * 65535));
      };
      PangoAttrList* attributes = pango_attr_list_new();
      pango_attr_list_insert(attributes, pango_attr_size_new_absolute(
                                             static_cast<int>(std::lround(label->font().pointSize() * PANGO_SCALE))));
      pango_attr_list_insert(
          attributes, pango_attr_foreground_new(channel(color.red()), channel(color.green()), channel(color.blue())));
      gtk_label_set_attributes(GTK_LABEL(widget), attributes);
      pango_attr_list_unref(attributes);
      node.textStyle = std::move(textStyle);
    }
  } else if (auto* imageView = dynamic_cast<uikit::ImageView*>(&view)) {
    gtk_picture_set_content_fit(GTK_PICTURE(widget), contentFit(view.contentMode()));
    if (imageView->image() != node.image) {
      node.image = imageView->image();
      showImage(GTK_PICTURE(widget), node.image);
    }
  } else if (auto* indicator = dynamic_cast<uikit::ActivityIndicatorView*>(&view)) {
    gtk_spinner_set_spinning(GTK_SPINNER(widget), indicator->isAnimating());
  }
}

void ViewTreeWidgets::reconcile(const std::shared_ptr<uikit::View>& view, GtkWidget* parentBox, GtkWidget* previous,
                                std::set<const uikit::View*>& seen) {
  auto found = nodes_.find(view.get());
  if (found != nodes_.end() && found->second.view.lock() != view) {
    drop(found->second);  // a new view at a released one's address
    nodes_.erase(found);
    found = nodes_.end();
  }
  if (found == nodes_.end()) found = nodes_.emplace(view.get(), makeNode(view)).first;
  seen.insert(view.get());
  Node& node = found->second;
  frameBoxPlace(parentBox, node.widget, previous, view->frame());
  refreshContent(node, *view);
  if (node.box == nullptr) return;
  GtkWidget* previousChild = nullptr;
  const auto subviews = view->subviews();  // a copy: nothing here may change the tree, but be safe
  for (const auto& subview : subviews) {
    reconcile(subview, node.box, previousChild, seen);
    previousChild = nodes_.at(subview.get()).widget;
  }
}

}  // namespace keln::gtk
