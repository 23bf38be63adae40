#include "gtk/PresentedWindow.h"

#include <vector>

#include <keln/dispatch/MainQueue.h>
#include <keln/gtk/WindowViewController.h>

#include "gtk/FrameBox.h"
#include "gtk/MainQueueSource.h"
#include "uikit/BarButtonItem.h"
#include "uikit/NavigationController.h"
#include "uikit/NavigationItem.h"
#include "uikit/View.h"
#include "uikit/ViewControllerAccess.h"

namespace keln::gtk {
namespace {

// The host window's size: as allocated when it is on screen, else as it will open.
void sizeOf(GtkWindow* window, int& width, int& height) {
  width = 0;
  height = 0;
  if (window != nullptr) {
    width = gtk_widget_get_width(GTK_WIDGET(window));
    height = gtk_widget_get_height(GTK_WIDGET(window));
  }
  if (width > 0 && height > 0) return;
  if (window != nullptr) gtk_window_get_default_size(window, &width, &height);
  if (width <= 0) width = 400;
  if (height <= 0) height = 600;
}

// Closes every window transient for `parent` (and those over them): the dialogs that the
// page's engine opened over the checkout (a file chooser, a print dialog) are cancelled,
// and their owner takes them down (a print dialog's owner waits for that answer in a main
// loop of its own); any other such window is destroyed. None outlives the checkout.
void closeWindowsOver(GtkWindow* parent) {
  GListModel* toplevels = gtk_window_get_toplevels();
  std::vector<GtkWindow*> over;
  for (guint index = 0; index < g_list_model_get_n_items(toplevels); ++index) {
    auto* window = GTK_WINDOW(g_list_model_get_item(toplevels, index));
    if (gtk_window_get_transient_for(window) == parent && window != parent) {
      over.push_back(window);
    } else {
      g_object_unref(window);
    }
  }
  for (GtkWindow* window : over) {
    closeWindowsOver(window);
    if (g_signal_lookup("response", G_OBJECT_TYPE(window)) != 0) {
      // A dialog: its owner destroys it once answered, and may hold no reference of its
      // own meanwhile, so it is answered rather than closed.
      g_signal_emit_by_name(window, "response", GTK_RESPONSE_CANCEL);
    } else {
      gtk_window_destroy(window);
    }
    g_object_unref(window);
  }
}

// Whether a person sees `widget` and can use it: it is drawn, laid out, sensitive, and what
// is drawn at its middle is it or part of it (not a view laid over it).
bool inSight(GtkWidget* widget) {
  if (!gtk_widget_is_drawable(widget) || !gtk_widget_is_sensitive(widget) || gtk_widget_get_width(widget) <= 0 ||
      gtk_widget_get_height(widget) <= 0) {
    return false;
  }
  GtkRoot* root = gtk_widget_get_root(widget);
  graphene_point_t middle;
  graphene_point_t inRoot;
  graphene_point_init(&middle, static_cast<float>(gtk_widget_get_width(widget)) / 2,
                      static_cast<float>(gtk_widget_get_height(widget)) / 2);
  if (root == nullptr || !gtk_widget_compute_point(widget, GTK_WIDGET(root), &middle, &inRoot)) return false;
  GtkWidget* picked = gtk_widget_pick(GTK_WIDGET(root), inRoot.x, inRoot.y, GTK_PICK_DEFAULT);
  return picked == widget || (picked != nullptr && gtk_widget_is_ancestor(picked, widget));
}

struct BarButtonClick {
  std::weak_ptr<uikit::BarButtonItem> item;
  std::weak_ptr<PresentedWindow> window;
};

}  // namespace

PresentedWindow::PresentedWindow()
    : widgets_([this] {
        // widgets_ runs this only while it (and so this window) is alive.
        refresh();
      }) {}

PresentedWindow::~PresentedWindow() { close(); }

void PresentedWindow::open(GtkWindow* parent, const std::shared_ptr<uikit::ViewController>& controller) {
  controller_ = controller;
  window_ = GTK_WINDOW(g_object_ref_sink(gtk_window_new()));
  gtk_widget_set_name(GTK_WIDGET(window_), checkoutWindowName);
  int width = 0;
  int height = 0;
  sizeOf(parent, width, height);
  gtk_window_set_default_size(window_, width, height);
  pendingWidth_ = width;
  pendingHeight_ = height;
  gtk_window_set_transient_for(window_, parent);
  gtk_window_set_modal(window_, TRUE);
  gtk_window_set_destroy_with_parent(window_, TRUE);

  // The window manager and assistive technology name the window by its title; the header
  // bar shows none (its title is an empty label that nothing announces).
  gtk_window_set_title(window_, presentedWindowTitle);
  gtk_accessible_update_property(GTK_ACCESSIBLE(window_), GTK_ACCESSIBLE_PROPERTY_LABEL, presentedWindowTitle, -1);
  headerBar_ = gtk_header_bar_new();
  gtk_header_bar_set_show_title_buttons(GTK_HEADER_BAR(headerBar_), FALSE);
  gtk_header_bar_set_title_widget(
      GTK_HEADER_BAR(headerBar_),
      GTK_WIDGET(g_object_new(GTK_TYPE_LABEL, "accessible-role", GTK_ACCESSIBLE_ROLE_PRESENTATION, nullptr)));
  gtk_window_set_titlebar(window_, headerBar_);

  // Escape does what the bar's button does on the screen shown.
  GtkEventController* shortcuts = gtk_shortcut_controller_new();
  gtk_shortcut_controller_add_shortcut(
      GTK_SHORTCUT_CONTROLLER(shortcuts),
      gtk_shortcut_new(gtk_keyval_trigger_new(GDK_KEY_Escape, static_cast<GdkModifierType>(0)),
                       gtk_callback_action_new(
                           +[](GtkWidget*, GVariant*, gpointer data) -> gboolean {
                             if (auto self = static_cast<std::weak_ptr<PresentedWindow>*>(data)->lock()) {
                               self->escapeKeyPressed();
                             }
                             return TRUE;
                           },
                           new std::weak_ptr<PresentedWindow>(weak_from_this()),
                           [](gpointer data) { delete static_cast<std::weak_ptr<PresentedWindow>*>(data); })));
  gtk_widget_add_controller(GTK_WIDGET(window_), shortcuts);

  GtkWidget* content = widgets_.container();
  gtk_widget_set_hexpand(content, TRUE);
  gtk_widget_set_vexpand(content, TRUE);
  gtk_window_set_child(window_, content);
  std::weak_ptr<PresentedWindow> weakSelf = weak_from_this();
  frameBoxOnResize(content, [weakSelf](int, int) {
    // Allocation is under way: refresh right after it rather than inside it.
    auto self = weakSelf.lock();
    if (self == nullptr || self->refreshQueued_) return;
    self->refreshQueued_ = true;
    g_idle_add_full(
        G_PRIORITY_HIGH_IDLE,
        [](gpointer data) {
          auto* weak = static_cast<std::weak_ptr<PresentedWindow>*>(data);
          if (auto strong = weak->lock()) {
            strong->refreshQueued_ = false;
            strong->refresh();
          }
          return G_SOURCE_REMOVE;
        },
        new std::weak_ptr<PresentedWindow>(weakSelf),
        [](gpointer data) { delete static_cast<std::weak_ptr<PresentedWindow>*>(data); });
  });
  g_signal_connect(window_, "close-request", G_CALLBACK(&PresentedWindow::closeRequested), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(&PresentedWindow::destroyed), this);
  if (parent != nullptr) {
    parent_ = parent;
    g_object_add_weak_pointer(G_OBJECT(parent_), reinterpret_cast<gpointer*>(&parent_));
    parentUnrealized_ = g_signal_connect_swapped(parent_, "unrealize", G_CALLBACK(+[](PresentedWindow* self) {
                                                   // GTK keeps no reference to a transient parent: let go of it while
                                                   // it still exists.
                                                   if (self->window_ != nullptr)
                                                     gtk_window_set_transient_for(self->window_, nullptr);
                                                   self->escapeLater();
                                                 }),
                                                 this);
  }
  observer_ = MainQueueSource::addObserver([weakSelf] {
    if (auto self = weakSelf.lock()) self->refresh();
  });
  refresh();
  gtk_window_present(window_);
  // GTK gives the first focusable widget the focus when the window maps: the bar's close
  // button while the checkout loads, where Enter would end the payment. Nothing has it
  // until the screen shows a control of its own (placeFocus()).
  gtk_window_set_focus(window_, nullptr);
  // A screen's controls can take the focus once laid out, which happens as a frame is drawn.
  if (GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(window_))) {
    frameClock_ = GDK_FRAME_CLOCK(g_object_ref(clock));
    afterPaint_ = g_signal_connect_swapped(clock, "after-paint",
                                           G_CALLBACK(+[](PresentedWindow* self) { self->placeFocus(); }), this);
  }
}

void PresentedWindow::close() {
  if (observer_ != 0) MainQueueSource::removeObserver(observer_);
  observer_ = 0;
  if (parent_ != nullptr) {
    g_signal_handler_disconnect(parent_, parentUnrealized_);
    g_object_remove_weak_pointer(G_OBJECT(parent_), reinterpret_cast<gpointer*>(&parent_));
    parent_ = nullptr;
  }
  if (frameClock_ != nullptr) {
    g_signal_handler_disconnect(frameClock_, afterPaint_);
    g_clear_object(&frameClock_);
  }
  if (focusTarget_ != nullptr) {
    g_object_remove_weak_pointer(G_OBJECT(focusTarget_), reinterpret_cast<gpointer*>(&focusTarget_));
    focusTarget_ = nullptr;
  }
  if (window_ == nullptr) return;
  widgets_.clear();
  g_signal_handlers_disconnect_by_data(window_, this);
  GtkWindow* window = window_;
  window_ = nullptr;
  headerBar_ = nullptr;
  barButton_ = nullptr;
  closeWindowsOver(window);
  if (!destroyedElsewhere_) gtk_window_destroy(window);
  g_object_unref(window);
}

std::shared_ptr<uikit::ViewController> PresentedWindow::topController() const {
  auto controller = controller_.lock();
  if (auto navigation = std::dynamic_pointer_cast<uikit::NavigationController>(controller)) {
    if (auto top = navigation->topViewController()) return top;
  }
  return controller;
}

void PresentedWindow::matchPresenterSize() {
  // The default size counts the window's own decorations (a frame drawn by GTK around a
  // window with a header bar), so the first size can differ from the presenter's by their
  // width: correct it once, as soon as the window has a size.
  if (pendingWidth_ == 0 && pendingHeight_ == 0) return;
  const int width = gtk_widget_get_width(GTK_WIDGET(window_));
  const int height = gtk_widget_get_height(GTK_WIDGET(window_));
  if (width <= 0 || height <= 0) return;
  int defaultWidth = 0;
  int defaultHeight = 0;
  gtk_window_get_default_size(window_, &defaultWidth, &defaultHeight);
  if (width != pendingWidth_ || height != pendingHeight_) {
    gtk_window_set_default_size(window_, defaultWidth + pendingWidth_ - width, defaultHeight + pendingHeight_ - height);
  }
  pendingWidth_ = 0;
  pendingHeight_ = 0;
}

void PresentedWindow::refresh() {
  if (window_ == nullptr) return;
  matchPresenterSize();
  auto controller = controller_.lock();
  GtkWidget* content = widgets_.container();
  int width = gtk_widget_get_width(content);
  int height = gtk_widget_get_height(content);
  if (width <= 0 || height <= 0) gtk_window_get_default_size(window_, &width, &height);
  widgets_.update(controller != nullptr ? uikit::ViewControllerAccess::view(*controller) : nullptr, width, height);
  updateBarButton(topController());
  placeFocus();
}

void PresentedWindow::placeFocus() {
  if (window_ == nullptr) return;
  GtkWidget* target = nullptr;
  for (GtkWidget* control : widgets_.controls()) {
    if (inSight(control)) {
      target = control;
      break;
    }
  }
  // A screen that shows no control for a moment (the loading indicator over the page) keeps
  // the focus where it is.
  if (target == nullptr || target == focusTarget_) return;
  if (focusTarget_ != nullptr) {
    g_object_remove_weak_pointer(G_OBJECT(focusTarget_), reinterpret_cast<gpointer*>(&focusTarget_));
  }
  focusTarget_ = target;
  g_object_add_weak_pointer(G_OBJECT(target), reinterpret_cast<gpointer*>(&focusTarget_));
  gtk_widget_grab_focus(target);
}

void PresentedWindow::escapeKeyPressed() {
  if (barButton_ != nullptr) {
    gtk_widget_activate(barButton_);  // as a click on it
  } else {
    escape();
  }
}

void PresentedWindow::updateBarButton(const std::shared_ptr<uikit::ViewController>& top) {
  std::shared_ptr<uikit::BarButtonItem> item =
      top != nullptr ? uikit::ViewControllerAccess::navigationItem(*top).leftBarButtonItem() : nullptr;
  if (item == barButtonItem_.lock() && (item == nullptr) == (barButton_ == nullptr)) return;
  if (barButton_ != nullptr) gtk_header_bar_remove(GTK_HEADER_BAR(headerBar_), barButton_);
  barButton_ = nullptr;
  barButtonItem_ = item;
  if (item == nullptr) return;

  const char* name = "keln-bar-button";
  const char* label = "Button";
  if (item->systemItem() == uikit::BarButtonItem::SystemItem::close) {
    barButton_ = gtk_button_new_from_icon_name("window-close-symbolic");
    name = closeButtonWidgetName;
    label = "Close";
  } else if (item->image() && item->image()->isSymbolImage()) {
    barButton_ = gtk_button_new_from_icon_name(iconNameForSymbol(item->image()->name()));
    if (item->image()->name() == "chevron.backward") {
      name = backButtonWidgetName;
      label = "Back";
    }
  } else {
    barButton_ = gtk_button_new();
    if (item->image() && item->image()->path()) {
      gtk_button_set_child(GTK_BUTTON(barButton_), gtk_image_new_from_file(item->image()->path()->c_str()));
    }
  }
  gtk_widget_set_name(barButton_, name);
  gtk_accessible_update_property(GTK_ACCESSIBLE(barButton_), GTK_ACCESSIBLE_PROPERTY_LABEL, label, -1);
  gtk_widget_set_tooltip_text(barButton_, label);
  g_signal_connect_data(
      barButton_, "clicked", G_CALLBACK(+[](GtkButton*, gpointer data) {
        auto* click = static_cast<BarButtonClick*>(data);
        if (auto tapped = click->item.lock()) tapped->tap();
        if (auto window = click->window.lock()) window->refresh();
      }),
      new BarButtonClick{item, weak_from_this()},
      [](gpointer data, GClosure*) { delete static_cast<BarButtonClick*>(data); }, static_cast<GConnectFlags>(0));
  gtk_header_bar_pack_start(GTK_HEADER_BAR(headerBar_), barButton_);
}

gboolean PresentedWindow::closeRequested(GtkWindow*, gpointer self) {
  static_cast<PresentedWindow*>(self)->escape();
  return TRUE;  // the window closes when the controller is dismissed
}

void PresentedWindow::destroyed(GtkWidget* window, gpointer data) {
  auto* self = static_cast<PresentedWindow*>(data);
  closeWindowsOver(GTK_WINDOW(window));
  self->destroyedElsewhere_ = true;
  self->escapeLater();
}

void PresentedWindow::escapeLater() {
  dispatch::MainQueue::main().async([weakSelf = weak_from_this()] {
    if (auto strong = weakSelf.lock()) strong->escape();
  });
}

void PresentedWindow::escape() {
  std::shared_ptr<PresentedWindow> keep = shared_from_this();  // escaping may dismiss and release this window
  auto top = topController();
  if (top == nullptr) return;
  if (!top->accessibilityPerformEscape()) {
    if (auto controller = controller_.lock()) uikit::ViewControllerAccess::dismiss(*controller, true);
  }
  refresh();
}

}  // namespace keln::gtk
